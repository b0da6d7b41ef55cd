// qvr500-sim-ctl: sends control commands to a running qvr500-sim and prints
// the replies.  With command words: one command, exit status 0 on "OK".
// Without: one command per line from stdin.
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool SendLine(int fd, const std::string& line, std::string& reply)
{
    const std::string out = line + "\n";
    if (send(fd, out.data(), out.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(out.size()))
        return false;
    reply.clear();
    char c;
    while (true) {
        const ssize_t n = recv(fd, &c, 1, 0);
        if (n <= 0)
            return false;
        if (c == '\n')
            return true;
        reply += c;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: qvr500-sim-ctl HOST:PORT [command words...]\n", stderr);
        return 2;
    }
    std::string hostPort = argv[1];
    const auto colon = hostPort.rfind(':');
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    std::string host = colon == std::string::npos ? "127.0.0.1" : hostPort.substr(0, colon);
    if (host.empty() || host == "localhost")
        host = "127.0.0.1";
    const int nPort = std::atoi(hostPort.substr(colon == std::string::npos ? 0 : colon + 1).c_str());
    addr.sin_port = htons(static_cast<std::uint16_t>(nPort));
    if (nPort <= 0 || nPort > 65535 || inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
        std::fprintf(stderr, "qvr500-sim-ctl: bad address '%s'\n", argv[1]);
        return 2;
    }
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "qvr500-sim-ctl: cannot connect to %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    std::string reply;
    if (argc > 2) {
        std::string line;
        for (int i = 2; i < argc; ++i)
            line += (i > 2 ? " " : "") + std::string(argv[i]);
        if (!SendLine(fd, line, reply)) {
            std::fputs("qvr500-sim-ctl: connection lost\n", stderr);
            return 1;
        }
        std::puts(reply.c_str());
        close(fd);
        return reply.rfind("OK", 0) == 0 ? 0 : 1;
    }
    int nStatus = 0;
    for (std::string line; std::getline(std::cin, line);) {
        if (line.empty())
            continue;
        if (!SendLine(fd, line, reply)) {
            std::fputs("qvr500-sim-ctl: connection lost\n", stderr);
            return 1;
        }
        std::puts(reply.c_str());
        std::fflush(stdout);
        if (reply.rfind("OK", 0) != 0)
            nStatus = 1;
    }
    close(fd);
    return nStatus;
}
