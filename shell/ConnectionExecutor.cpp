#include "shell/ConnectionExecutor.h"

#include <vector>

#include "device/Comm.h"
#include "device/RXQueue.h"
#include "device/usbxp/DeviceEnvironment.h"
#include "framework/ExeModule.h"
#include "model/ChannelConfig.h"
#include "model/ParameterMap.h"
#include "shell/DeviceChoice.h"
#include "shell/LinkLogCommand.h"

using A = CConnectionFlow::EAction;
using CExec = CConnectionExecutor;

struct CConnectionExecutor::SStep {
    A action;
    void (CConnectionExecutor::*pfnStep)();
};

constexpr CConnectionExecutor::SStep CConnectionExecutor::s_aSteps[CConnectionFlow::ACTION_COUNT] = {
    {A::SetPollingOn, &CExec::SetPollingOn},
    {A::SetPollingOff, &CExec::SetPollingOff},
    {A::FindDeviceAndOpen, &CExec::FindDeviceAndOpen},
    {A::QueueFlagsRead, &CExec::QueueFlagsRead},
    {A::CreateWaitBox, &CExec::CreateWaitBox},
    {A::HoldForm, &CExec::HoldForm},
    {A::DestroyWaitBox, &CExec::DestroyWaitBox},
    {A::SendReadSettings, &CExec::SendReadSettings},
    {A::AskDisconnect, &CExec::AskDisconnect},
    {A::Unmute, &CExec::Unmute},
    {A::QueueStoreSettings, &CExec::QueueStoreSettings},
    {A::CloseLink, &CExec::CloseLink},
    {A::ClearFlags, &CExec::ClearFlags},
    {A::ShowState, &CExec::ShowState},
    {A::ShowStateConnectOff, &CExec::ShowStateConnectOff},
    {A::EnableConnectButton, &CExec::EnableConnectButton},
    {A::DisableConnectButton, &CExec::DisableConnectButton},
    {A::Beep, &CExec::Beep},
    {A::ShowDeviceNotFound, &CExec::ShowDeviceNotFound},
    {A::ShowCommFailed, &CExec::ShowCommFailed},
    {A::ShowConnectFailed, &CExec::ShowConnectFailed},
    {A::ShowCommLost, &CExec::ShowCommLost},
};

constexpr bool CConnectionExecutor::StepsInOrder()
{
    for (std::size_t i = 0; i < CConnectionFlow::ACTION_COUNT; ++i)
        if (static_cast<std::size_t>(s_aSteps[i].action) != i || !s_aSteps[i].pfnStep)
            return false;
    return true;
}

CConnectionExecutor::CConnectionExecutor(IHost& host, CDeviceChoice& device) : m_host(host), m_device(device) {}

void CConnectionExecutor::Perform(const CConnectionFlow::Actions& actions)
{
    static_assert(StepsInOrder(), "every action has its step, at the action's index");
    for (const A action : actions)
        (this->*s_aSteps[static_cast<std::size_t>(action)].pfnStep)();
}

// --- events ------------------------------------------------------------------

void CConnectionExecutor::Connect() { Perform(m_flow.Connect(g_Comm.IsOpen())); }

void CConnectionExecutor::Disconnect() { Perform(m_flow.Disconnect(g_Comm.IsOpen())); }

void CConnectionExecutor::PacketArrived(const utRXQueue& record)
{
    switch (record.bCommand) {
    case CMD_SYSTEM_FLAGS:
        // A change of the flags is a read and then the write: the read's
        // answer tells of the word the write replaces, and taking it would
        // have the copy (and a Disconnect meanwhile) see the change undone
        // until the write's answer is in.  The queue knows which answers are
        // of that kind; every answer is still reported to the flow.
        if (g_Comm.TakeFlagsAnswer())
            SetSystemFlags(RXGetWord(record.bLWord), false);
        Perform(m_flow.FlagsAnswered(g_Comm.IsOpen()));
        break;
    case CMD_STORE_SETTINGS:
        Perform(m_flow.StoreAnswered());
        break;
    case CMD_FIRMWARE_REVISION:
        CLinkLogCommand::NoteFirmwareRevision(record);
        break;
    default:
        break;
    }
}

void CConnectionExecutor::MarkerReached() { Perform(m_flow.MarkerReached()); }

void CConnectionExecutor::QueueFailed() { Perform(m_flow.QueueFailed(g_Comm.IsOpen())); }

void CConnectionExecutor::DownloadClosed(bool bOpenedLink, bool bCompleted)
{
    Perform(m_flow.DownloadClosed(bOpenedLink, bCompleted, g_Comm.IsOpen()));
}

// --- the steps -----------------------------------------------------------------

void CConnectionExecutor::SetPollingOn() { g_Comm.SetPolling(true); }

void CConnectionExecutor::SetPollingOff() { g_Comm.SetPolling(false); }

void CConnectionExecutor::FindDeviceAndOpen()
{
    // The unit is found again by its serial number (the automatic
    // lookup runs when none is known); a chosen unit that has gone
    // opens nothing.
    if (m_device.ResolveForConnect() == -1)
        Perform(m_flow.DeviceMissing());
    else if (!g_Comm.Open())
        Perform(m_flow.OpenFailed());
    else
        Perform(m_flow.Opened());
}

void CConnectionExecutor::QueueFlagsRead() { g_Comm.QueueCommand(CMD_SYSTEM_FLAGS, 0, 0, 0); }

void CConnectionExecutor::CreateWaitBox()
{
    if (!m_dlgConnecting.IsWindow())
        m_dlgConnecting.Create(m_hOwner);
}

void CConnectionExecutor::HoldForm() { m_host.HoldForm(); }

void CConnectionExecutor::DestroyWaitBox()
{
    if (m_dlgConnecting.IsWindow())
        m_dlgConnecting.DestroyWindow();
}

void CConnectionExecutor::SendReadSettings() { m_host.StartReadBack(); }

void CConnectionExecutor::AskDisconnect()
{
    const CConnectionFlow::EAnswer answer = m_host.AskDisconnect();
    Perform(m_flow.DisconnectAnswered(answer, (GetSystemFlags() & SYSFLAG_MUTE) != 0));
}

void CConnectionExecutor::Unmute() { SetSystemFlags(GetSystemFlags() & ~SYSFLAG_MUTE, true); }

void CConnectionExecutor::QueueStoreSettings() { g_Comm.QueueCommand(CMD_STORE_SETTINGS, 0, 0, 0); }

void CConnectionExecutor::CloseLink()
{
    g_Comm.Close();
    // Only this close decides: a flag left from a close that showed another
    // message must not add the line to a later one.
    m_bConfigurationPutBack = m_host.LinkClosed();
}

void CConnectionExecutor::ClearFlags() { SetSystemFlags(0, false); }

void CConnectionExecutor::ShowState() { m_host.ShowState(m_flow.IsConnectEnabled()); }

void CConnectionExecutor::ShowStateConnectOff() { m_host.ShowState(false); }

void CConnectionExecutor::EnableConnectButton() { m_host.EnableConnectButton(true); }

void CConnectionExecutor::DisableConnectButton() { m_host.EnableConnectButton(false); }

void CConnectionExecutor::Beep() { ::MessageBeep(MB_OK); }

void CConnectionExecutor::ShowDeviceNotFound() { m_host.ShowError(DeviceNotFoundText()); }

void CConnectionExecutor::ShowCommFailed() { m_host.ShowError(g_Module.LoadString(IDS_COMM_FAILED)); }

void CConnectionExecutor::ShowConnectFailed() { m_host.ShowError(g_Module.LoadString(IDS_CONNECT_FAILED)); }

void CConnectionExecutor::ShowCommLost()
{
    // A read-back that the loss cut short has put the configuration from
    // before it back: the second line says so, so nobody takes the screen
    // for the unit's.
    // It goes right after the first line, before the advice about the link log.
    std::wstring text = g_Module.LoadString(IDS_COMM_LOST);
    if (m_bConfigurationPutBack) {
        const size_t nBreak = text.find(L"\r\n");
        text.insert(nBreak == std::wstring::npos ? text.size() : nBreak, L"\r\n" + g_Module.LoadString(IDS_CONFIG_PUT_BACK));
    }
    m_bConfigurationPutBack = false;
    m_host.ShowError(text);
}

std::wstring CConnectionExecutor::DeviceNotFoundText()
{
    std::wstring text = g_Module.LoadString(IDS_DEVICE_NOT_FOUND);
    const CDeviceList list = ReadDeviceEnvironment();
    const std::vector<std::string>& errors = list.Errors();
    for (std::size_t i = 0; i < errors.size() && i < SHOWN_ERRORS; ++i) {
        text += i == 0 ? L"\r\n\r\n" : L"\r\n";
        for (const char ch : errors[i]) // the variable's text is ANSI; a reason is ASCII
            text += static_cast<wchar_t>(static_cast<unsigned char>(ch) < 0x80 ? ch : '?');
    }
    if (errors.size() > SHOWN_ERRORS)
        text += L"\r\n(" + std::to_wstring(errors.size() - SHOWN_ERRORS) + L" more)";
    return text;
}
