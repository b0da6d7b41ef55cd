// qvr500-linkclient: the plainest client of a qvr500-sim served over TCP, for
// comparison with the program's link (a benchmark that prints figures):
// one GET at a time, a blocking send, a blocking receive of the 16-byte
// reply, the next GET.  Prints the rate against what the 115200-baud line
// allows.
//
//   qvr500-linkclient HOST:PORT [requests]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "protocol/QVRSCP.h"

namespace {
constexpr double EXCHANGE_SECONDS = 32 * 10 / 115200.0; // 16 bytes out, 16 back, 10 bits a byte

bool ReceiveAll(int fd, unsigned char* p, std::size_t n)
{
    while (n > 0) {
        const ssize_t got = recv(fd, p, n, 0);
        if (got <= 0)
            return false;
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: qvr500-linkclient HOST:PORT [requests]\n", stderr);
        return 2;
    }
    const std::string hostPort = argv[1];
    const auto colon = hostPort.rfind(':');
    const long nRequests = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1800;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    const std::string host = colon == std::string::npos ? "127.0.0.1" : hostPort.substr(0, colon);
    const int nPort = std::atoi(hostPort.substr(colon == std::string::npos ? 0 : colon + 1).c_str());
    addr.sin_port = htons(static_cast<std::uint16_t>(nPort));
    if (nRequests < 1 || nPort <= 0 || nPort > 65535 || inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
        std::fprintf(stderr, "qvr500-linkclient: bad arguments\n");
        return 2;
    }
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "qvr500-linkclient: cannot connect to %s\n", argv[1]);
        return 1;
    }
    int nOne = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof nOne);
    unsigned char bRequest[16];
    SCP_GenerateGET(bRequest, 0, 31, 0);
    bRequest[15] = SCP_BuildChecksum(bRequest);
    unsigned char bReply[16];
    const auto tStart = std::chrono::steady_clock::now();
    long nDone = 0;
    for (; nDone < nRequests; ++nDone)
        if (send(fd, bRequest, sizeof bRequest, MSG_NOSIGNAL) != sizeof bRequest || !ReceiveAll(fd, bReply, 16))
            break;
    const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
    close(fd);
    const double dRate = nDone / dSeconds;
    std::printf("native_client_requests_per_s=%.1f\n", dRate);
    std::printf("native_client_ratio=%.3f\n", dRate * EXCHANGE_SECONDS);
    return nDone == nRequests ? 0 : 1;
}
