// qvr500-sim's server: the link over TCP (one client at a time, dropped
// clients) and over a pseudo-terminal, and the control port.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "protocol/QVRSCP.h"
#include "sim/SimServer.h"

namespace {

int Connect(int nPort)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(nPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads until n bytes came or the time-out passed; returns what came.
std::vector<std::uint8_t> ReadBytes(int fd, std::size_t n, int timeoutMs = 2000)
{
    std::vector<std::uint8_t> out;
    while (out.size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0)
            break;
        std::uint8_t buf[256];
        const ssize_t k = read(fd, buf, std::min(sizeof buf, n - out.size()));
        if (k <= 0)
            break;
        out.insert(out.end(), buf, buf + k);
    }
    return out;
}

std::string Command(int fd, const std::string& line)
{
    const std::string out = line + "\n";
    EXPECT_EQ(write(fd, out.data(), out.size()), static_cast<ssize_t>(out.size()));
    std::string reply;
    for (;;) {
        const auto b = ReadBytes(fd, 1);
        if (b.empty() || b[0] == '\n')
            return reply;
        reply += static_cast<char>(b[0]);
    }
}

std::array<std::uint8_t, 16> Raw(std::uint8_t cmd, std::uint32_t u, std::uint32_t l)
{
    std::array<std::uint8_t, 16> p;
    SCP_GenerateRAW(p.data(), cmd, 0, u, l);
    return p;
}

class SimServerTest : public ::testing::Test {
protected:
    CSimUnit unit{CSimUnit::Options{false, 1, ESimTiming::Instant}};
    CSimServer server{unit};
    std::atomic<bool> stop{false};
    std::thread thread;

    void Serve() { thread = std::thread([this] { server.Run(stop); }); }
    void TearDown() override
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
};

} // namespace

TEST_F(SimServerTest, TcpServesOneClientAtATimeAndSurvivesDrops)
{
    std::string error;
    ASSERT_TRUE(server.ListenLink("127.0.0.1:0", error)) << error;
    ASSERT_TRUE(server.ListenControl("127.0.0.1:0", error)) << error;
    Serve();

    int fd = Connect(server.LinkPort());
    ASSERT_GE(fd, 0);
    const auto flags = Raw(11, 0, 0);
    ASSERT_EQ(write(fd, flags.data(), 16), 16);
    auto reply = ReadBytes(fd, 16);
    ASSERT_EQ(reply.size(), 16u);
    EXPECT_EQ(SCP_GetWord(reply.data(), 11), 0x00A50000u);

    const int second = Connect(server.LinkPort()); // refused: closed at once
    ASSERT_GE(second, 0);
    EXPECT_TRUE(ReadBytes(second, 1).empty());
    close(second);

    // Half a packet, then the client vanishes; the next client starts clean.
    ASSERT_EQ(write(fd, flags.data(), 7), 7);
    close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    fd = Connect(server.LinkPort());
    ASSERT_GE(fd, 0);
    const auto write7 = Raw(7, 0x0102, 0xC1100000);
    ASSERT_EQ(write(fd, write7.data(), 16), 16);
    reply = ReadBytes(fd, 16);
    ASSERT_EQ(reply.size(), 16u);
    EXPECT_TRUE(SCP_IsCommandReply(reply.data()));
    close(fd);

    const int control = Connect(server.ControlPort());
    ASSERT_GE(control, 0);
    EXPECT_EQ(Command(control, "get output 2 1"), "OK 0xC1100000 -9");
    EXPECT_EQ(Command(control, "count cmd 11"), "OK 1");
    EXPECT_EQ(Command(control, "bad"), "ERR unknown command 'bad' (try help)");
    EXPECT_EQ(Command(control, "quit"), "OK bye");
    close(control);
    thread.join(); // quit ends Run
}

TEST_F(SimServerTest, PseudoTerminalCarriesPacketsRaw)
{
    const std::string link = ::testing::TempDir() + "qvr-sim-pty-test";
    std::string error;
    ASSERT_TRUE(server.OpenPty(link, error)) << error;
    Serve();

    const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio;
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    // Bytes that a cooked terminal would alter (CR, DEL, ^C, ^S) pass through.
    const auto write4 = Raw(4, CSimUnit::TEXT_BASE, 0x130D7F03);
    ASSERT_EQ(write(fd, write4.data(), 16), 16);
    const auto reply = ReadBytes(fd, 16);
    ASSERT_EQ(reply.size(), 16u);
    EXPECT_EQ(SCP_GetWord(reply.data(), 11), 0x130D7F03u);
    close(fd);
    EXPECT_EQ(unit.ReadMemory(CSimUnit::TEXT_BASE), 0x130D7F03u);
}
