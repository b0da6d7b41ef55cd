#pragma once
// CConnectionExecutor: carries out the connection workflow's decisions.
// The frame reports what happened (Connect or Disconnect chosen, the
// unit's answers, the read-back's marker, a queue failure, the firmware
// dialog closed); CConnectionFlow decides, and each action it returns is
// done here, in order, by the entry of one table: the queue's requests and
// polling, the device lookup and the link, the "Retrieving Settings..."
// box, the messages.  What belongs to the frame's windows (the toolbar and
// status text, the form, the Disconnect question and the message boxes)
// goes through IHost, so a test can answer and record it.
//
// Every wait here is a modal loop of the system (the question, a message
// box): messages the queue sends meanwhile are still delivered.

#include <windows.h>

#include <string>

#include "shell/ConnectionFlow.h"
#include "shell/DlgConnecting.h"

class CDeviceChoice;
struct utRXQueue;

class CConnectionExecutor {
public:
    class IHost {
    public:
        virtual ~IHost() = default;
        // Toolbar, menu and status text from the link, Connect as given.
        virtual void ShowState(bool bConnectEnabled) = 0;
        // The toolbar's Connect button alone.
        virtual void EnableConnectButton(bool bEnabled) = 0;
        // The form takes no input until the read-back ends (see EAction::HoldForm).
        virtual void HoldForm() = 0;
        // WM_READ_SETTINGS to the frame's children: the read-back starts.
        virtual void StartReadBack() = 0;
        // The link was closed: the form is told; true when a read-back it
        // ended put the configuration from before it back.
        virtual bool LinkClosed() = 0;
        // "Disconnect and save changes to the QVR500?"
        virtual CConnectionFlow::EAnswer AskDisconnect() = 0;
        // A message with the error icon and the program's caption.
        virtual void ShowError(const std::wstring& text) = 0;
    };

    CConnectionExecutor(IHost& host, CDeviceChoice& device);

    // The window that owns the wait box.
    void Attach(HWND hOwner) { m_hOwner = hOwner; }

    // --- events ------------------------------------------------------------
    void Connect();
    void Disconnect();
    // A packet of the unit for the frame (flags, store, firmware revision).
    void PacketArrived(const utRXQueue& record);
    void MarkerReached();
    void QueueFailed();
    void DownloadClosed(bool bOpenedLink, bool bCompleted);

    // --- state -------------------------------------------------------------
    bool IsConnecting() const { return m_flow.IsConnecting(); }
    bool IsConnectEnabled() const { return m_flow.IsConnectEnabled(); }

    // "QVR500 device could not be found.", and when the device list has
    // entries that were skipped, which and why (at most SHOWN_ERRORS, then
    // how many more): a mistyped entry is the likeliest reason a unit that
    // is there is not found.
    static constexpr std::size_t SHOWN_ERRORS = 5;
    static std::wstring DeviceNotFoundText();

private:
    void Perform(const CConnectionFlow::Actions& actions);

    // One per CConnectionFlow::EAction, in the enumeration's order.
    void SetPollingOn();
    void SetPollingOff();
    void FindDeviceAndOpen();
    void QueueFlagsRead();
    void CreateWaitBox();
    void HoldForm();
    void DestroyWaitBox();
    void SendReadSettings();
    void AskDisconnect();
    void Unmute();
    void QueueStoreSettings();
    void CloseLink();
    void ClearFlags();
    void ShowState();
    void ShowStateConnectOff();
    void EnableConnectButton();
    void DisableConnectButton();
    void Beep();
    void ShowDeviceNotFound();
    void ShowCommFailed();
    void ShowConnectFailed();
    void ShowCommLost();

    // The table: which step carries out which action (checked at compile
    // time to hold every action, at its own index).
    struct SStep;
    static const SStep s_aSteps[CConnectionFlow::ACTION_COUNT];
    static constexpr bool StepsInOrder();

    IHost& m_host;
    CDeviceChoice& m_device;
    CConnectionFlow m_flow;
    CDlgConnecting m_dlgConnecting;
    HWND m_hOwner = nullptr;
    bool m_bConfigurationPutBack = false; // the last link close ended a read-back and put the configuration back
};
