#pragma once
// One open link: a transport, the reply framing and the receive thread that
// calls the link's callback for every whole reply.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "device/link/LinkTransport.h"
#include "device/link/PacketFramer.h"
#include "device/link/QVRCOMM.h"
#include "framework/Handles.h"

class CLink : public std::enable_shared_from_this<CLink> {
public:
    CLink(std::unique_ptr<ILinkTransport> pTransport, QVRCOMM_CALLBACK pfnCallback, void* pContext, bool bTrace);
    ~CLink();
    CLink(const CLink&) = delete;
    CLink& operator=(const CLink&) = delete;

    // Starts the receive thread, which holds its own reference to the link:
    // a link closed from inside its callback is released when the thread ends.
    static bool Start(const std::shared_ptr<CLink>& pLink);
    // Sends bytes; false once the link is stopped or the device is gone.
    bool Write(const std::uint8_t* pBytes, int cbBytes);
    // Ends the receive thread (the callback is not called once this has
    // returned) and closes the transport.  Prompt: the thread looks at the
    // stop request at least every RECEIVE_POLL_MS, and a callback in
    // progress is waited for.
    void Stop();

    static constexpr DWORD RECEIVE_POLL_MS = 20;

private:
    static DWORD WINAPI ReceiveThread(LPVOID pParam);
    void ReceiveLoop();
    static void OnBytes(void* pContext, const std::uint8_t* pBytes, std::size_t n);
    static void OnPacket(void* pContext, const std::uint8_t* pPacket);

    std::unique_ptr<ILinkTransport> m_pTransport;
    QVRCOMM_CALLBACK m_pfnCallback;
    void* m_pContext;
    int m_nTrace;
    CPacketFramer m_Framer;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bGone{false}; // the device vanished (read error, connection reset)
    bool m_bStopped = false; // transport released; guarded by m_csWrite
    CHandle m_hThread;
    std::atomic<DWORD> m_dwThreadId{0}; // the thread that runs the callback
    CCriticalSection m_csWrite;
};
