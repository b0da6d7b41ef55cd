#pragma once
// The decisions of the connection workflow, apart from the windows that
// carry them out.  CConnectionExecutor reports what happened (the user pressed
// Connect, the unit answered the flags read, the read-back's marker came, the
// queue failed, the user answered the Disconnect question, the store was
// answered) and performs the actions returned, in their order.  Which windows
// exist, which messages are shown and when Connect may be pressed again is
// decided here, in one place, and tested without windows.
//
// Portable: no Windows headers.

#include <cstddef>
#include <cstdint>
#include <vector>

class CConnectionFlow {
public:
    enum class EAction : std::uint8_t {
        SetPollingOn,      // the queue polls the meters while idle
        SetPollingOff,
        FindDeviceAndOpen, // look the unit up when none is known, open the link; answer with
                           // DeviceMissing, OpenFailed or Opened
        QueueFlagsRead,    // the first request of a connection
        CreateWaitBox,     // "Retrieving Settings..."
        HoldForm,          // the form takes no input and keeps a copy of the configuration until the
                           // read-back ends; a read-back that fails puts the copy back
        DestroyWaitBox,
        SendReadSettings,  // WM_READ_SETTINGS to the frame's children: the read-back starts
        AskDisconnect,     // the Disconnect question; answer with DisconnectAnswered
        Unmute,            // clear the system mute bit on the unit (it is set)
        QueueStoreSettings,
        CloseLink,         // close the queue's link and tell the form
        ClearFlags,        // the system flags word back to 0, nothing sent
        ShowState,         // toolbar, menu and status text from the link and IsConnectEnabled()
        ShowStateConnectOff, // the same with Connect disabled whatever IsConnectEnabled() says
        EnableConnectButton, // the toolbar's Connect button, directly
        DisableConnectButton,
        Beep,
        ShowDeviceNotFound, // the messages, each with the error icon
        ShowCommFailed,
        ShowConnectFailed,
        ShowCommLost,      // keep last: ACTION_COUNT follows it
    };
    static constexpr std::size_t ACTION_COUNT = static_cast<std::size_t>(EAction::ShowCommLost) + 1;
    using Actions = std::vector<EAction>;

    enum class EPhase : std::uint8_t {
        Idle,        // no connection of ours (the link may still be open: a firmware download opens it)
        AwaitingFlags, // link opened by Connect, flags read queued, wait box up
        ReadingBack,   // WM_READ_SETTINGS sent; the wait box stays until the marker
        Connected,
        Storing,       // the user chose Yes: the store's answer closes the link
    };

    enum class EAnswer : std::uint8_t { Yes, DoNotSave, No };

    // --- events ------------------------------------------------------------
    Actions Connect(bool bLinkOpen);
    Actions DeviceMissing();
    Actions OpenFailed();
    Actions Opened();
    Actions FlagsAnswered(bool bLinkOpen);
    Actions MarkerReached();
    // A failure record of the queue.  One that arrives after the link has
    // been closed (the queue may fail once more while it is being stopped, a
    // meter poll on a dead line) is stale: nothing is done and nothing said twice.
    Actions QueueFailed(bool bLinkOpen);
    Actions Disconnect(bool bLinkOpen);
    Actions DisconnectAnswered(EAnswer answer, bool bMuted);
    Actions StoreAnswered();
    // The firmware dialog closed.  A link it opened itself is either read
    // back like a Connect (the download completed: "Connected" always means
    // the screen shows the unit) or closed again (it did not).  A download
    // completed over our connection is read back too (new firmware may have
    // reset the unit's values); one that did not complete leaves it as it is.
    Actions DownloadClosed(bool bOpenedLink, bool bCompleted, bool bLinkOpen);

    // --- state -------------------------------------------------------------
    EPhase GetPhase() const { return m_ePhase; }
    // Between Connect and the read-back's end: Disconnect, New, Open and the
    // like wait (the wait box is up).
    bool IsConnecting() const { return m_ePhase == EPhase::AwaitingFlags || m_ePhase == EPhase::ReadingBack; }
    bool IsConnectEnabled() const { return m_bConnectEnabled; }

    // The device number after a device change and before every Connect.
    // Device numbers are positions in a list that changes, so the number is
    // derived each time from the unit it denotes, found by its serial number:
    // a unit the user chose in Select Device (bChosen) at its index now
    // (nChosenIndex), or none while it is gone, never another unit; without
    // a choice, the automatic unit known before at its index now
    // (nKnownIndex), or when it has gone (or none was known) the automatic
    // lookup's result (nFound).
    static int DeviceAfterChange(bool bChosen, int nChosenIndex, int nKnownIndex, int nFound);

private:
    Actions DropLink(); // close the link, clear the flags, Connect usable again
    Actions AwaitFlags(); // the link is open: read the flags, the wait box up, the form held

    EPhase m_ePhase = EPhase::Idle;
    bool m_bConnectEnabled = true;
};
