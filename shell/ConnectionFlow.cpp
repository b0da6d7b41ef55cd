#include "shell/ConnectionFlow.h"

using A = CConnectionFlow::EAction;

CConnectionFlow::Actions CConnectionFlow::Connect(bool bLinkOpen)
{
    if (IsConnecting() || bLinkOpen)
        return {}; // already connecting or connected
    return {A::SetPollingOn, A::FindDeviceAndOpen};
}

CConnectionFlow::Actions CConnectionFlow::DeviceMissing() { return {A::ShowDeviceNotFound}; }

CConnectionFlow::Actions CConnectionFlow::OpenFailed() { return {A::ShowCommFailed}; }

CConnectionFlow::Actions CConnectionFlow::Opened() { return AwaitFlags(); }

CConnectionFlow::Actions CConnectionFlow::AwaitFlags()
{
    m_ePhase = EPhase::AwaitingFlags;
    m_bConnectEnabled = false;
    // The unit's first answer is on its way while the box is made (the
    // answer is handled only once the frame's handler has returned).  The
    // form is held from here, not from the flags answer: a preset or a
    // channel copy taken meanwhile would be overwritten by the read-back.
    return {A::DisableConnectButton, A::QueueFlagsRead, A::CreateWaitBox, A::HoldForm};
}

CConnectionFlow::Actions CConnectionFlow::DownloadClosed(bool bOpenedLink, bool bCompleted, bool bLinkOpen)
{
    if (!bLinkOpen)
        return {A::ShowState}; // already gone (and said so)
    // New firmware may have reset the unit's values: a completed download is
    // read back whether it opened the link or ran over our connection, so the
    // screen never shows what the unit held before it.
    const bool bOurs = bOpenedLink ? m_ePhase == EPhase::Idle : m_ePhase == EPhase::Connected;
    if (!bOurs)
        return {A::ShowState}; // the link is someone else's
    if (!bCompleted) {
        if (!bOpenedLink)
            return {A::ShowState}; // our connection stays as it was
        Actions actions = DropLink();
        actions.push_back(A::ShowState);
        return actions;
    }
    Actions actions{A::SetPollingOn};
    const Actions await = AwaitFlags();
    actions.insert(actions.end(), await.begin(), await.end());
    return actions;
}

CConnectionFlow::Actions CConnectionFlow::FlagsAnswered(bool bLinkOpen)
{
    // An answer that was still on its way when the link closed starts no
    // read-back; neither does one to someone else's flags read.
    if (m_ePhase == EPhase::AwaitingFlags && bLinkOpen) {
        m_ePhase = EPhase::ReadingBack;
        return {A::SendReadSettings};
    }
    return {A::ShowState};
}

CConnectionFlow::Actions CConnectionFlow::MarkerReached()
{
    if (m_ePhase == EPhase::ReadingBack)
        m_ePhase = EPhase::Connected;
    return {A::DestroyWaitBox, A::ShowState};
}

CConnectionFlow::Actions CConnectionFlow::QueueFailed(bool bLinkOpen)
{
    if (!bLinkOpen)
        return {};
    if (m_ePhase == EPhase::AwaitingFlags) {
        // The unit never answered the first request: Connect stays disabled
        // until the message has been read.
        m_ePhase = EPhase::Idle;
        m_bConnectEnabled = true;
        return {A::CloseLink, A::ClearFlags, A::ShowStateConnectOff, A::DestroyWaitBox, A::ShowConnectFailed,
                A::EnableConnectButton};
    }
    Actions actions = DropLink();
    actions.insert(actions.end(), {A::DestroyWaitBox, A::ShowState, A::ShowCommLost});
    return actions;
}

CConnectionFlow::Actions CConnectionFlow::Disconnect(bool bLinkOpen)
{
    if (!bLinkOpen)
        return {};
    // While the settings are read the button is greyed; the key agrees.  The
    // read-back ends by itself, with the marker or with a failure.
    if (IsConnecting())
        return {A::Beep};
    return {A::SetPollingOff, A::AskDisconnect};
}

CConnectionFlow::Actions CConnectionFlow::DisconnectAnswered(EAnswer answer, bool bMuted)
{
    // Leaving the unit muted behind would silence the cinema: unmute whatever the answer.
    Actions actions;
    if (bMuted)
        actions.push_back(A::Unmute);
    switch (answer) {
    case EAnswer::Yes: // the unit stores its settings; the answer closes the link
        m_ePhase = EPhase::Storing;
        m_bConnectEnabled = true;
        actions.push_back(A::QueueStoreSettings);
        break;
    case EAnswer::DoNotSave: {
        const Actions drop = DropLink();
        actions.insert(actions.end(), drop.begin(), drop.end());
        actions.push_back(A::ShowState);
        break;
    }
    case EAnswer::No:
        actions.push_back(A::SetPollingOn);
        break;
    }
    return actions;
}

CConnectionFlow::Actions CConnectionFlow::StoreAnswered()
{
    // Only the store that Disconnect's Yes asked for ends the link: the
    // terminal may send the same command, and its answer is the terminal's.
    if (m_ePhase != EPhase::Storing)
        return {};
    Actions actions = DropLink();
    actions.push_back(A::ShowState);
    return actions;
}

CConnectionFlow::Actions CConnectionFlow::DropLink()
{
    m_ePhase = EPhase::Idle;
    m_bConnectEnabled = true;
    return {A::CloseLink, A::ClearFlags};
}

int CConnectionFlow::DeviceAfterChange(bool bChosen, int nChosenIndex, int nKnownIndex, int nFound)
{
    if (bChosen)
        return nChosenIndex;
    return nKnownIndex >= 0 ? nKnownIndex : nFound;
}
