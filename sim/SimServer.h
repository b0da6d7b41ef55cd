#pragma once
// POSIX front end of the qvr500-sim program: serves one simulated unit's
// link over TCP (one client at a time) or a pseudo-terminal, and its text
// control interface over TCP.  Native Linux only.

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "sim/SimControl.h"
#include "sim/SimPort.h"
#include "sim/SimUnit.h"

class CSimServer {
public:
    explicit CSimServer(CSimUnit& unit);
    ~CSimServer();
    CSimServer(const CSimServer&) = delete;
    CSimServer& operator=(const CSimServer&) = delete;

    // "HOST:PORT"; port 0 picks a free port (see LinkPort / ControlPort).
    bool ListenLink(const std::string& hostPort, std::string& error);
    // Create a pseudo-terminal and make linkPath a symbolic link to its slave.
    bool OpenPty(const std::string& linkPath, std::string& error);
    bool ListenControl(const std::string& hostPort, std::string& error);

    int LinkPort() const { return m_nLinkPort; }
    int ControlPort() const { return m_nControlPort; }
    const std::string& PtyPath() const { return m_ptyPath; }

    // Serve until stop becomes true or a control client sends "quit".
    void Run(const std::atomic<bool>& stop);
    // The control command "line": the serial format the host set on the
    // pseudo-terminal (speed, bits, parity, stop bits, handshakes).
    std::string DescribeLine() const;

private:
    struct ControlClient {
        int fd;
        std::string pending;
    };

    void OnLinkListenReadable();
    void OnLinkReadable();
    void DropLinkClient();
    void OnControlListenReadable();
    bool OnControlReadable(ControlClient& client, bool& bQuit); // false: drop the client
    void SendToHost(const std::uint8_t* pBytes, std::size_t n); // on the port's thread

    CSimUnit& m_unit;
    CSimControl m_control;
    CSimPort m_port;
    int m_linkListenFd = -1;
    int m_controlListenFd = -1;
    int m_ptyMasterFd = -1;
    int m_ptySlaveFd = -1; // held open so the line survives the host closing it
    std::string m_ptyLink;
    std::string m_ptyPath;
    int m_nLinkPort = 0;
    int m_nControlPort = 0;
    std::mutex m_linkMutex; // guards m_linkFd against the port's thread
    int m_linkFd = -1;      // where replies go: the TCP client or the pty master
    std::vector<ControlClient> m_controls;
};
