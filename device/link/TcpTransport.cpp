// TCP byte stream to a unit in another process.
#include "device/link/TcpTransport.h"

CTcpTransport::CTcpTransport()
{
    WSADATA data;
    m_bStarted = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

CTcpTransport::~CTcpTransport()
{
    if (m_socket != INVALID_SOCKET)
        ::closesocket(m_socket);
    if (m_bStarted)
        ::WSACleanup();
}

bool CTcpTransport::Connect(const std::string& host, std::uint16_t nPort, DWORD nTimeoutMs)
{
    if (!m_bStarted)
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* pResult = nullptr;
    const std::string port = std::to_string(nPort);
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &pResult) != 0 || pResult == nullptr)
        return false;

    bool bConnected = false;
    for (addrinfo* p = pResult; p != nullptr && !bConnected; p = p->ai_next) {
        SOCKET s = ::socket(p->ai_family, p->ai_socktype, p->ai_protocol);
        if (s == INVALID_SOCKET)
            continue;
        // Connect without blocking so that an unreachable host costs at most
        // the time-out.
        u_long nNonBlocking = 1;
        ::ioctlsocket(s, FIONBIO, &nNonBlocking);
        int nResult = ::connect(s, p->ai_addr, static_cast<int>(p->ai_addrlen));
        if (nResult == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s, &writable);
            FD_SET(s, &failed);
            timeval tv{static_cast<long>(nTimeoutMs / 1000), static_cast<long>((nTimeoutMs % 1000) * 1000)};
            nResult = ::select(0, nullptr, &writable, &failed, &tv) == 1 && FD_ISSET(s, &writable) ? 0 : SOCKET_ERROR;
            if (nResult == 0) {
                int nError = 0;
                int cbError = sizeof(nError);
                ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&nError), &cbError);
                if (nError != 0)
                    nResult = SOCKET_ERROR;
            }
        }
        if (nResult == 0) {
            u_long nBlocking = 0;
            ::ioctlsocket(s, FIONBIO, &nBlocking);
            BOOL bNoDelay = TRUE; // one small packet at a time: send it now
            ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&bNoDelay), sizeof(bNoDelay));
            m_socket = s;
            bConnected = true;
        } else {
            ::closesocket(s);
        }
    }
    ::freeaddrinfo(pResult);
    return bConnected;
}

int CTcpTransport::Read(std::uint8_t* pBuffer, int cbBuffer, DWORD /*nTimeoutMs*/)
{
    if (m_socket == INVALID_SOCKET)
        return -1;
    // One call per read: a receive that waits until bytes come, or until
    // Interrupt shuts the socket down.  Every Winsock call is a round trip to
    // Wine's server, and a select before each receive made every exchange
    // about a tenth of the wire's time longer; a receive time-out instead
    // would leave the connection in an undefined state on Windows whenever
    // it expires.
    const int nGot = ::recv(m_socket, reinterpret_cast<char*>(pBuffer), cbBuffer, 0);
    // 0: the other side closed the connection, or Interrupt; an error: it
    // was reset.
    return nGot > 0 ? nGot : -1;
}

void CTcpTransport::Interrupt()
{
    if (m_socket != INVALID_SOCKET)
        ::shutdown(m_socket, SD_BOTH);
}

bool CTcpTransport::Write(const std::uint8_t* pBytes, int cbBytes)
{
    if (m_socket == INVALID_SOCKET)
        return false;
    int nSent = 0;
    while (nSent < cbBytes) {
        const int n = ::send(m_socket, reinterpret_cast<const char*>(pBytes) + nSent, cbBytes - nSent, 0);
        if (n == SOCKET_ERROR || n == 0)
            return false;
        nSent += n;
    }
    return true;
}
