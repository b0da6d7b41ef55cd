#include "SimProcess.h"

#include <ws2tcpip.h>

#include <cstdlib>

#ifndef QVR_NATIVE_SIM
#define QVR_NATIVE_SIM ""
#endif

namespace {
struct SWinsock {
    SWinsock()
    {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~SWinsock() { ::WSACleanup(); }
};
SWinsock g_winsock;

// Wine maps the Unix root to drive Z:.
std::string DosPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}
} // namespace

std::string CSimProcess::ProgramPath()
{
    char szPath[1024] = {};
    if (::GetEnvironmentVariableA("QVR500_SIM_EXE", szPath, sizeof(szPath)) > 0 &&
        ::GetEnvironmentVariableA("QVR500_SIM_EXE", szPath, sizeof(szPath)) < sizeof(szPath))
        return szPath;
    return QVR_NATIVE_SIM;
}

std::uint16_t CSimProcess::FreePort()
{
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    std::uint16_t nPort = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
        int cb = sizeof(addr);
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &cb);
        nPort = ntohs(addr.sin_port);
    }
    ::closesocket(s);
    return nPort;
}

CSimProcess::~CSimProcess() { Stop(); }

bool CSimProcess::Start(const std::string& linkArguments, bool bInstant)
{
    const std::string program = ProgramPath();
    if (program.empty() || ::GetFileAttributesA(DosPath(program).c_str()) == INVALID_FILE_ATTRIBUTES) {
        m_error = "qvr500-sim not found at \"" + program + "\" (build the native tree or set QVR500_SIM_EXE)";
        return false;
    }
    m_nControlPort = FreePort();
    std::string command = "\"" + DosPath(program) + "\" " + linkArguments + " --control 127.0.0.1:" +
                          std::to_string(m_nControlPort) + (bInstant ? " --instant" : "");
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        m_error = "could not start " + command;
        return false;
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    m_bRunning = true;
    for (int i = 0; i < 100; ++i) {
        if (Connect() && Control("ping").rfind("OK", 0) == 0)
            return true;
        ::Sleep(50);
    }
    m_error = "qvr500-sim does not answer on its control port";
    return false;
}

bool CSimProcess::Connect()
{
    if (m_control != INVALID_SOCKET)
        return true;
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(m_nControlPort);
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::closesocket(s);
        return false;
    }
    DWORD dwTimeout = 5000;
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&dwTimeout), sizeof(dwTimeout));
    m_control = s;
    return true;
}

std::string CSimProcess::Control(const std::string& command)
{
    if (!Connect())
        return "ERR not connected";
    const std::string line = command + "\n";
    ::send(m_control, line.data(), static_cast<int>(line.size()), 0);
    std::string reply;
    char c = 0;
    while (::recv(m_control, &c, 1, 0) == 1 && c != '\n')
        reply += c;
    return reply;
}

void CSimProcess::Stop()
{
    if (m_bRunning) {
        Control("quit");
        m_bRunning = false;
    }
    if (m_control != INVALID_SOCKET) {
        ::closesocket(m_control);
        m_control = INVALID_SOCKET;
    }
}
