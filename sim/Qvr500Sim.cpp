// qvr500-sim: a simulated QVR500 unit served over TCP or a pseudo-terminal,
// with a text control port.  See docs/simulator.md.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/SimServer.h"
#include "sim/SimUnit.h"

namespace {

std::atomic<bool> g_bStop{false};

void OnSignal(int) { g_bStop = true; }

void Usage(FILE* out)
{
    std::fputs("usage: qvr500-sim (--tcp HOST:PORT | --pty LINKPATH) [--control HOST:PORT]\n"
               "                  [--instant] [--no-lcr] [--seed N]\n"
               "  --tcp HOST:PORT     serve the unit's link on a TCP port (one client at a time)\n"
               "  --pty LINKPATH      serve it on a new pseudo-terminal, symlinked at LINKPATH\n"
               "  --control HOST:PORT text control port (commands: see docs/simulator.md, or 'help')\n"
               "  --instant           no modelled line or erase time\n"
               "  --no-lcr            a unit without Left Center and Right Center (flags bit 1)\n"
               "  --seed N            seed of the synthesised input levels (default 1)\n"
               "Port 0 picks a free port; the chosen ports are printed on stdout.\n",
               out);
}

} // namespace

int main(int argc, char** argv)
{
    std::string tcp, pty, control;
    CSimUnit::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "qvr500-sim: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--tcp")
            tcp = value();
        else if (arg == "--pty")
            pty = value();
        else if (arg == "--control")
            control = value();
        else if (arg == "--instant")
            options.timing = ESimTiming::Instant;
        else if (arg == "--no-lcr")
            options.bNoLeftRightCenter = true;
        else if (arg == "--seed") {
            const std::string s = value();
            char* end = nullptr;
            const unsigned long n = std::strtoul(s.c_str(), &end, 0);
            if (s.empty() || *end != '\0' || n > 0xFFFFFFFFul) {
                std::fprintf(stderr, "qvr500-sim: bad seed '%s'\n", s.c_str());
                return 2;
            }
            options.dwSeed = static_cast<std::uint32_t>(n);
        } else if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "qvr500-sim: unknown option '%s'\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
    }
    if (tcp.empty() == pty.empty()) {
        std::fputs("qvr500-sim: give exactly one of --tcp and --pty\n", stderr);
        Usage(stderr);
        return 2;
    }

    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    CSimUnit unit(options);
    CSimServer server(unit);
    std::string error;
    if (!tcp.empty() && !server.ListenLink(tcp, error)) {
        std::fprintf(stderr, "qvr500-sim: %s\n", error.c_str());
        return 1;
    }
    if (!pty.empty() && !server.OpenPty(pty, error)) {
        std::fprintf(stderr, "qvr500-sim: %s\n", error.c_str());
        return 1;
    }
    if (!control.empty() && !server.ListenControl(control, error)) {
        std::fprintf(stderr, "qvr500-sim: %s\n", error.c_str());
        return 1;
    }
    if (!tcp.empty())
        std::printf("link tcp %d\n", server.LinkPort());
    else
        std::printf("link pty %s %s\n", pty.c_str(), server.PtyPath().c_str());
    if (!control.empty())
        std::printf("control tcp %d\n", server.ControlPort());
    std::printf("ready\n");
    std::fflush(stdout);

    server.Run(g_bStop);
    return 0;
}
