#pragma once
// A native qvr500-sim serving one unit in another process (started from the
// Windows test through Wine), with its text control port.  The program's
// path comes from QVR500_SIM_EXE or from the build (QVR_NATIVE_SIM).

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>

class CSimProcess {
public:
    CSimProcess() = default;
    ~CSimProcess();
    CSimProcess(const CSimProcess&) = delete;
    CSimProcess& operator=(const CSimProcess&) = delete;

    // Starts qvr500-sim with the link arguments (e.g. "--tcp 127.0.0.1:5500")
    // and a control port, and waits until it answers.  False (with the
    // reason in Error()) when the program is missing or does not answer.
    bool Start(const std::string& linkArguments, bool bInstant);
    // One control command; the reply line ("OK ..." or "ERR ...").
    std::string Control(const std::string& command);
    // Ends the simulator (control "quit").
    void Stop();

    static std::string ProgramPath();  // Unix path of qvr500-sim
    static std::uint16_t FreePort();   // a TCP port nobody listens on now
    const std::string& Error() const { return m_error; }

private:
    bool Connect();

    std::uint16_t m_nControlPort = 0;
    SOCKET m_control = INVALID_SOCKET;
    bool m_bRunning = false;
    std::string m_error;
};
