// Receive thread and sending side of one open link.
#include "device/link/Link.h"

#include <thread>

#include "device/link/LinkTimeline.h"

CLink::CLink(std::unique_ptr<ILinkTransport> pTransport, QVRCOMM_CALLBACK pfnCallback, void* pContext, bool bTrace)
    : m_pTransport(std::move(pTransport)), m_pfnCallback(pfnCallback), m_pContext(pContext), m_nTrace(bTrace ? 1 : 0)
{
}

CLink::~CLink() { Stop(); }

bool CLink::Start(const std::shared_ptr<CLink>& pLink)
{
    if (pLink->m_pTransport->StartDelivery(&CLink::OnBytes, pLink.get()))
        return true;
    DWORD dwThreadId = 0;
    auto* pThreadRef = new std::shared_ptr<CLink>(pLink);
    pLink->m_hThread.Reset(::CreateThread(nullptr, 0, &CLink::ReceiveThread, pThreadRef, 0, &dwThreadId));
    if (!pLink->m_hThread) {
        delete pThreadRef;
        return false;
    }
    pLink->m_dwThreadId = dwThreadId;
    return true;
}

bool CLink::Write(const std::uint8_t* pBytes, int cbBytes)
{
    CLock lock(m_csWrite);
    if (m_bStopped || m_bGone || !m_pTransport)
        return false;
    CLinkTimeline::Mark(CLinkTimeline::SEND_BEGIN);
    const bool bSent = m_pTransport->Write(pBytes, cbBytes);
    CLinkTimeline::Mark(CLinkTimeline::SEND_END);
    return bSent;
}

void CLink::Stop()
{
    m_bStop = true;
    const bool bOnReceiveThread = ::GetCurrentThreadId() == m_dwThreadId;
    if (m_hThread && !bOnReceiveThread && m_pTransport)
        m_pTransport->Interrupt(); // a read that waits for bytes returns now
    if (m_hThread) {
        // Called from the callback itself (the receive thread): the thread
        // ends on its own when the callback returns.
        if (!bOnReceiveThread)
            ::WaitForSingleObject(m_hThread, INFINITE);
        m_hThread.Reset();
    }
    std::unique_ptr<ILinkTransport> pTransport;
    {
        CLock lock(m_csWrite);
        if (m_bStopped)
            return;
        m_bStopped = true;
        pTransport = std::move(m_pTransport);
    }
    if (bOnReceiveThread) {
        // Closed from inside the callback: the calling thread cannot end
        // itself, and the link must outlive the callback that is running.
        // Another thread releases both once the callback has returned.  When
        // the last owner went on this thread (the destructor runs here) there
        // is no link left to keep: only the transport is released elsewhere.
        std::thread([self = weak_from_this().lock(), p = std::move(pTransport)]() mutable {
            p.reset();
            self.reset();
        }).detach();
        return;
    }
    pTransport.reset(); // ends a transport's own thread
}

DWORD WINAPI CLink::ReceiveThread(LPVOID pParam)
{
    std::unique_ptr<std::shared_ptr<CLink>> pLink(static_cast<std::shared_ptr<CLink>*>(pParam));
    (*pLink)->ReceiveLoop();
    return 0;
}

void CLink::ReceiveLoop()
{
    std::uint8_t bBuffer[256];
    while (!m_bStop) {
        const int nGot = m_pTransport->Read(bBuffer, sizeof(bBuffer), RECEIVE_POLL_MS);
        if (nGot < 0) {
            // The device vanished: deliver nothing more, send nothing more,
            // and wait to be stopped.
            m_bGone = true;
            while (!m_bStop)
                ::Sleep(RECEIVE_POLL_MS);
            return;
        }
        if (nGot > 0) {
            CLinkTimeline::Mark(CLinkTimeline::RECEIVED);
            m_Framer.Feed(bBuffer, static_cast<std::size_t>(nGot), ::GetTickCount64(), &CLink::OnPacket, this);
        }
    }
}

void CLink::OnBytes(void* pContext, const std::uint8_t* pBytes, std::size_t n)
{
    CLink* pThis = static_cast<CLink*>(pContext);
    pThis->m_dwThreadId = ::GetCurrentThreadId();
    CLinkTimeline::Mark(CLinkTimeline::RECEIVED);
    if (!pThis->m_bStop)
        pThis->m_Framer.Feed(pBytes, n, ::GetTickCount64(), &CLink::OnPacket, pThis);
}

void CLink::OnPacket(void* pContext, const std::uint8_t* pPacket)
{
    CLink* pThis = static_cast<CLink*>(pContext);
    if (pThis->m_bStop || pThis->m_pfnCallback == nullptr)
        return;
    // The first argument is reserved and always null.
    pThis->m_pfnCallback(nullptr, pPacket, CPacketFramer::PACKET_SIZE, pThis->m_pContext, pThis->m_nTrace);
}
