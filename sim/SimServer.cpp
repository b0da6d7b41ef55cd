// TCP and pseudo-terminal serving of the simulated unit.
#include "sim/SimServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool SplitHostPort(const std::string& hostPort, sockaddr_in& addr, std::string& error)
{
    const auto colon = hostPort.rfind(':');
    if (colon == std::string::npos) {
        error = "expected HOST:PORT, got '" + hostPort + "'";
        return false;
    }
    std::string host = hostPort.substr(0, colon);
    const std::string port = hostPort.substr(colon + 1);
    if (host.empty() || host == "localhost")
        host = "127.0.0.1";
    char* end = nullptr;
    const long nPort = std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end != '\0' || nPort < 0 || nPort > 65535) {
        error = "bad port '" + port + "'";
        return false;
    }
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(nPort));
    if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
        error = "bad IPv4 address '" + host + "'";
        return false;
    }
    return true;
}

int Listen(const std::string& hostPort, int& nBoundPort, std::string& error)
{
    sockaddr_in addr;
    if (!SplitHostPort(hostPort, addr, error))
        return -1;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 4) != 0) {
        error = "cannot listen on " + hostPort + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    nBoundPort = ntohs(addr.sin_port);
    return fd;
}

void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

void WriteAll(int fd, const char* p, std::size_t n)
{
    while (n > 0) {
        const ssize_t k = send(fd, p, n, MSG_NOSIGNAL);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return;
        p += k;
        n -= static_cast<std::size_t>(k);
    }
}

} // namespace

CSimServer::CSimServer(CSimUnit& unit) : m_unit(unit), m_control(unit), m_port(unit)
{
    m_port.Start([this](const std::uint8_t* p, std::size_t n) { SendToHost(p, n); });
}

CSimServer::~CSimServer()
{
    m_port.Close();
    for (auto& c : m_controls)
        close(c.fd);
    for (int fd : {m_linkListenFd, m_controlListenFd, m_ptyMasterFd, m_ptySlaveFd})
        if (fd >= 0)
            close(fd);
    if (m_linkFd >= 0 && m_linkFd != m_ptyMasterFd)
        close(m_linkFd);
    if (!m_ptyLink.empty())
        unlink(m_ptyLink.c_str());
}

bool CSimServer::ListenLink(const std::string& hostPort, std::string& error)
{
    m_linkListenFd = Listen(hostPort, m_nLinkPort, error);
    return m_linkListenFd >= 0;
}

bool CSimServer::ListenControl(const std::string& hostPort, std::string& error)
{
    m_controlListenFd = Listen(hostPort, m_nControlPort, error);
    return m_controlListenFd >= 0;
}

bool CSimServer::OpenPty(const std::string& linkPath, std::string& error)
{
    m_ptyMasterFd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_ptyMasterFd < 0 || grantpt(m_ptyMasterFd) != 0 || unlockpt(m_ptyMasterFd) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* szSlave = ptsname(m_ptyMasterFd);
    if (!szSlave) {
        error = "ptsname failed";
        return false;
    }
    m_ptyPath = szSlave;
    // Our own slave descriptor keeps the line up between host sessions and
    // puts it in raw mode: no echo, no line editing, 8 bits through.  The
    // line's format starts as one the unit does not speak (9600 baud, 7 bits,
    // even parity, 2 stop bits, hardware handshake): a host that opens the
    // port must set it, and "line" shows what it set.
    m_ptySlaveFd = open(szSlave, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_ptySlaveFd < 0) {
        error = "cannot open " + m_ptyPath + ": " + std::strerror(errno);
        return false;
    }
    termios tio;
    if (tcgetattr(m_ptySlaveFd, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
        tcsetattr(m_ptySlaveFd, TCSANOW, &tio);
    }
    SetNonBlocking(m_ptyMasterFd);
    unlink(linkPath.c_str()); // a stale link from an earlier run
    if (symlink(szSlave, linkPath.c_str()) != 0) {
        error = "cannot create the link " + linkPath + ": " + std::strerror(errno);
        return false;
    }
    m_ptyLink = linkPath;
    std::lock_guard<std::mutex> lock(m_linkMutex);
    m_linkFd = m_ptyMasterFd;
    return true;
}

void CSimServer::SendToHost(const std::uint8_t* pBytes, std::size_t n)
{
    std::lock_guard<std::mutex> lock(m_linkMutex);
    if (m_linkFd < 0)
        return; // nobody on the line: the bytes are lost, as on a cable
    if (m_linkFd == m_ptyMasterFd) {
        // Non-blocking: when the host does not read, the line drops bytes.
        const ssize_t k = write(m_linkFd, pBytes, n);
        (void)k;
    } else {
        WriteAll(m_linkFd, reinterpret_cast<const char*>(pBytes), n);
    }
}

void CSimServer::OnLinkListenReadable()
{
    const int fd = accept4(m_linkListenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    std::lock_guard<std::mutex> lock(m_linkMutex);
    if (m_linkFd >= 0) {
        // One host at a time, like a serial port that is already open.
        close(fd);
        std::fprintf(stderr, "qvr500-sim: refused a second link client\n");
        return;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_linkFd = fd;
    m_unit.ResetStream();
    std::fprintf(stderr, "qvr500-sim: link client connected\n");
}

void CSimServer::DropLinkClient()
{
    std::lock_guard<std::mutex> lock(m_linkMutex);
    if (m_linkFd >= 0 && m_linkFd != m_ptyMasterFd) {
        close(m_linkFd);
        m_linkFd = -1;
        m_unit.ResetStream();
        std::fprintf(stderr, "qvr500-sim: link client disconnected\n");
    }
}

void CSimServer::OnLinkReadable()
{
    int fd;
    {
        std::lock_guard<std::mutex> lock(m_linkMutex);
        fd = m_linkFd;
    }
    if (fd < 0)
        return;
    std::uint8_t buf[4096];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
        m_port.Write(buf, static_cast<std::size_t>(n));
    } else if (fd != m_ptyMasterFd && (n == 0 || (errno != EINTR && errno != EAGAIN))) {
        DropLinkClient();
    }
}

void CSimServer::OnControlListenReadable()
{
    const int fd = accept4(m_controlListenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0)
        m_controls.push_back(ControlClient{fd, {}});
}

bool CSimServer::OnControlReadable(ControlClient& client, bool& bQuit)
{
    char buf[4096];
    const ssize_t n = read(client.fd, buf, sizeof buf);
    if (n <= 0)
        return n < 0 && (errno == EINTR || errno == EAGAIN);
    client.pending.append(buf, static_cast<std::size_t>(n));
    if (client.pending.size() > 65536)
        return false; // no line end in sight: not a control client
    std::size_t eol;
    while ((eol = client.pending.find('\n')) != std::string::npos) {
        std::string line = client.pending.substr(0, eol);
        client.pending.erase(0, eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        const std::string reply = (line == "line" ? DescribeLine() : m_control.Execute(line, &bQuit)) + "\n";
        WriteAll(client.fd, reply.data(), reply.size());
        if (bQuit)
            return true;
    }
    return true;
}

void CSimServer::Run(const std::atomic<bool>& stop)
{
    bool bQuit = false;
    while (!stop && !bQuit) {
        std::vector<pollfd> fds;
        int linkFd;
        {
            std::lock_guard<std::mutex> lock(m_linkMutex);
            linkFd = m_linkFd;
        }
        const auto add = [&fds](int fd) {
            fds.push_back(pollfd{fd, POLLIN, 0});
            return fds.size() - 1;
        };
        const std::size_t iLinkListen = m_linkListenFd >= 0 ? add(m_linkListenFd) : SIZE_MAX;
        const std::size_t iLink = linkFd >= 0 ? add(linkFd) : SIZE_MAX;
        const std::size_t iControlListen = m_controlListenFd >= 0 ? add(m_controlListenFd) : SIZE_MAX;
        const std::size_t iControls = fds.size();
        for (const auto& c : m_controls)
            add(c.fd);

        const int nReady = poll(fds.data(), fds.size(), 200);
        if (nReady <= 0)
            continue;
        if (iLink != SIZE_MAX && fds[iLink].revents)
            OnLinkReadable();
        if (iLinkListen != SIZE_MAX && (fds[iLinkListen].revents & POLLIN))
            OnLinkListenReadable();
        if (iControlListen != SIZE_MAX && (fds[iControlListen].revents & POLLIN))
            OnControlListenReadable();
        // Control clients accepted just now are not in fds yet.
        std::vector<ControlClient> keep;
        for (std::size_t i = 0; i < m_controls.size(); ++i) {
            ControlClient& c = m_controls[i];
            const std::size_t k = iControls + i;
            bool bKeep = true;
            if (k < fds.size() && fds[k].revents && !bQuit)
                bKeep = OnControlReadable(c, bQuit);
            if (bKeep)
                keep.push_back(std::move(c));
            else
                close(c.fd);
        }
        m_controls = std::move(keep);
    }
}

std::string CSimServer::DescribeLine() const
{
    termios tio;
    if (m_ptySlaveFd < 0 || tcgetattr(m_ptySlaveFd, &tio) != 0)
        return "ERR no serial line (the unit is served over TCP)";
    const speed_t speed = cfgetospeed(&tio);
    struct SSpeed {
        speed_t code;
        unsigned baud;
    };
    static const SSpeed kSpeeds[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},
                                     {B19200, 19200}, {B38400, 38400}, {B57600, 57600},   {B115200, 115200},
                                     {B230400, 230400}};
    unsigned baud = 0;
    for (const SSpeed& s : kSpeeds)
        if (s.code == speed)
            baud = s.baud;
    int nBits = 8;
    switch (tio.c_cflag & CSIZE) {
    case CS5: nBits = 5; break;
    case CS6: nBits = 6; break;
    case CS7: nBits = 7; break;
    default: break;
    }
    const char* parity = !(tio.c_cflag & PARENB) ? "none" : (tio.c_cflag & PARODD) ? "odd" : "even";
    char sz[160];
    std::snprintf(sz, sizeof sz, "OK speed=%u bits=%d parity=%s stop=%d rtscts=%s xonxoff=%s", baud, nBits, parity,
                  (tio.c_cflag & CSTOPB) ? 2 : 1, (tio.c_cflag & CRTSCTS) ? "on" : "off",
                  (tio.c_iflag & (IXON | IXOFF)) ? "on" : "off");
    return sz;
}
