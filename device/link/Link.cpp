// Receive thread and sending side of one open link.
#include "device/link/Link.h"

CLink::CLink(std::unique_ptr<ILinkTransport> pTransport, QVRCOMM_CALLBACK pfnCallback, void* pContext, bool bTrace)
    : m_pTransport(std::move(pTransport)), m_pfnCallback(pfnCallback), m_pContext(pContext), m_nTrace(bTrace ? 1 : 0)
{
}

CLink::~CLink() { Stop(); }

bool CLink::Start(const std::shared_ptr<CLink>& pLink)
{
    auto* pThreadRef = new std::shared_ptr<CLink>(pLink);
    pLink->m_hThread.Reset(::CreateThread(nullptr, 0, &CLink::ReceiveThread, pThreadRef, 0, &pLink->m_dwThreadId));
    if (!pLink->m_hThread) {
        delete pThreadRef;
        return false;
    }
    return true;
}

bool CLink::Write(const std::uint8_t* pBytes, int cbBytes)
{
    CLock lock(m_csWrite);
    if (m_bStopped || m_bGone || !m_pTransport)
        return false;
    return m_pTransport->Write(pBytes, cbBytes);
}

void CLink::Stop()
{
    m_bStop = true;
    if (m_hThread) {
        // Called from the callback itself (the receive thread): the thread
        // ends on its own when the callback returns.
        if (::GetCurrentThreadId() != m_dwThreadId)
            ::WaitForSingleObject(m_hThread, INFINITE);
        m_hThread.Reset();
    }
    CLock lock(m_csWrite);
    if (!m_bStopped) {
        m_bStopped = true;
        if (::GetCurrentThreadId() != m_dwThreadId)
            m_pTransport.reset();
    }
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
        if (nGot > 0)
            m_Framer.Feed(bBuffer, static_cast<std::size_t>(nGot), ::GetTickCount64(), &CLink::OnPacket, this);
    }
}

void CLink::OnPacket(void* pContext, const std::uint8_t* pPacket)
{
    CLink* pThis = static_cast<CLink*>(pContext);
    if (pThis->m_bStop || pThis->m_pfnCallback == nullptr)
        return;
    // The first argument is reserved and always null.
    pThis->m_pfnCallback(nullptr, pPacket, CPacketFramer::PACKET_SIZE, pThis->m_pContext, pThis->m_nTrace);
}
