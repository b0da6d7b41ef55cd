// The connection workflow's decisions, as tables of event sequences: each
// step names an event, the actions expected in their order, and the state
// after it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/ConnectionFlow.h"

namespace {

using A = CConnectionFlow::EAction;
using P = CConnectionFlow::EPhase;
using Answer = CConnectionFlow::EAnswer;

enum class E {
    Connect,        // arg: the link is open
    DeviceMissing,
    OpenFailed,
    Opened,
    Flags,          // arg: the link is open
    Marker,
    Failure,        // arg: the link is open
    Disconnect,     // arg: the link is open
    AnswerYes,      // arg: the unit is muted
    AnswerDoNotSave,
    AnswerNo,
    Stored,
    // The firmware dialog closed; arg: the link is open.
    DownloadOpenedCompleted,
    DownloadOpenedFailed,
    DownloadOnOurLink,
    DownloadOnOurLinkFailed,
};

struct Step {
    E event;
    bool arg;
    std::vector<A> actions;
    P phase;
    bool bConnectEnabled;
};

CConnectionFlow::Actions Fire(CConnectionFlow& flow, const Step& s)
{
    switch (s.event) {
    case E::Connect: return flow.Connect(s.arg);
    case E::DeviceMissing: return flow.DeviceMissing();
    case E::OpenFailed: return flow.OpenFailed();
    case E::Opened: return flow.Opened();
    case E::Flags: return flow.FlagsAnswered(s.arg);
    case E::Marker: return flow.MarkerReached();
    case E::Failure: return flow.QueueFailed(s.arg);
    case E::Disconnect: return flow.Disconnect(s.arg);
    case E::AnswerYes: return flow.DisconnectAnswered(Answer::Yes, s.arg);
    case E::AnswerDoNotSave: return flow.DisconnectAnswered(Answer::DoNotSave, s.arg);
    case E::AnswerNo: return flow.DisconnectAnswered(Answer::No, s.arg);
    case E::Stored: return flow.StoreAnswered();
    case E::DownloadOpenedCompleted: return flow.DownloadClosed(true, true, s.arg);
    case E::DownloadOpenedFailed: return flow.DownloadClosed(true, false, s.arg);
    case E::DownloadOnOurLink: return flow.DownloadClosed(false, true, s.arg);
    case E::DownloadOnOurLinkFailed: return flow.DownloadClosed(false, false, s.arg);
    }
    return {};
}

void Play(const char* name, const std::vector<Step>& steps)
{
    CConnectionFlow flow;
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(std::string(name) + ", step " + std::to_string(i + 1));
        EXPECT_EQ(Fire(flow, steps[i]), steps[i].actions);
        EXPECT_EQ(flow.GetPhase(), steps[i].phase);
        EXPECT_EQ(flow.IsConnectEnabled(), steps[i].bConnectEnabled);
        EXPECT_EQ(flow.IsConnecting(), steps[i].phase == P::AwaitingFlags || steps[i].phase == P::ReadingBack);
    }
}

const std::vector<A> kAwait = {A::DisableConnectButton, A::QueueFlagsRead, A::CreateWaitBox, A::HoldForm};

const std::vector<Step> kConnect = {
    {E::Connect, false, {A::SetPollingOn, A::FindDeviceAndOpen}, P::Idle, true},
    {E::Opened, false, kAwait, P::AwaitingFlags, false},
    {E::Flags, true, {A::SendReadSettings}, P::ReadingBack, false},
    {E::Marker, false, {A::DestroyWaitBox, A::ShowState}, P::Connected, false},
};

std::vector<Step> Then(std::vector<Step> steps, const std::vector<Step>& more)
{
    steps.insert(steps.end(), more.begin(), more.end());
    return steps;
}

} // namespace

TEST(ConnectionFlow, ConnectReadBackAndTheThreeDisconnectAnswers)
{
    Play("connect", kConnect);
    Play("disconnect, Yes, muted", Then(kConnect, {
        {E::Disconnect, true, {A::SetPollingOff, A::AskDisconnect}, P::Connected, false},
        {E::AnswerYes, true, {A::Unmute, A::QueueStoreSettings}, P::Storing, true},
        // Connect while the store is on its way: the link is still open.
        {E::Connect, true, {}, P::Storing, true},
        {E::Stored, false, {A::CloseLink, A::ClearFlags, A::ShowState}, P::Idle, true},
        {E::Connect, false, {A::SetPollingOn, A::FindDeviceAndOpen}, P::Idle, true},
    }));
    Play("disconnect, Do Not Save", Then(kConnect, {
        {E::Disconnect, true, {A::SetPollingOff, A::AskDisconnect}, P::Connected, false},
        {E::AnswerDoNotSave, false, {A::CloseLink, A::ClearFlags, A::ShowState}, P::Idle, true},
    }));
    Play("disconnect, No, muted", Then(kConnect, {
        {E::Disconnect, true, {A::SetPollingOff, A::AskDisconnect}, P::Connected, false},
        {E::AnswerNo, true, {A::Unmute, A::SetPollingOn}, P::Connected, false},
        {E::Disconnect, true, {A::SetPollingOff, A::AskDisconnect}, P::Connected, false},
    }));
}

TEST(ConnectionFlow, ConnectThatCannotStartChangesNothing)
{
    Play("no unit", {
        {E::Connect, false, {A::SetPollingOn, A::FindDeviceAndOpen}, P::Idle, true},
        {E::DeviceMissing, false, {A::ShowDeviceNotFound}, P::Idle, true},
        {E::Connect, false, {A::SetPollingOn, A::FindDeviceAndOpen}, P::Idle, true},
        {E::OpenFailed, false, {A::ShowCommFailed}, P::Idle, true},
    });
    Play("already connecting or open", {
        {E::Connect, true, {}, P::Idle, true}, // a firmware download holds the link
        {E::Connect, false, {A::SetPollingOn, A::FindDeviceAndOpen}, P::Idle, true},
        {E::Opened, false, kAwait, P::AwaitingFlags, false},
        {E::Connect, false, {}, P::AwaitingFlags, false},
        {E::Connect, true, {}, P::AwaitingFlags, false},
    });
}

TEST(ConnectionFlow, DisconnectWaitsForTheReadBackAndNeedsALink)
{
    Play("while reading", {
        {E::Disconnect, false, {}, P::Idle, true},
        {E::Connect, false, {A::SetPollingOn, A::FindDeviceAndOpen}, P::Idle, true},
        {E::Opened, false, kAwait, P::AwaitingFlags, false},
        {E::Disconnect, true, {A::Beep}, P::AwaitingFlags, false},
        {E::Flags, true, {A::SendReadSettings}, P::ReadingBack, false},
        {E::Disconnect, true, {A::Beep}, P::ReadingBack, false},
        {E::Marker, false, {A::DestroyWaitBox, A::ShowState}, P::Connected, false},
        {E::Disconnect, true, {A::SetPollingOff, A::AskDisconnect}, P::Connected, false},
    });
    // A download's link (not a connection of ours) may be disconnected.
    Play("someone else's link", {{E::Disconnect, true, {A::SetPollingOff, A::AskDisconnect}, P::Idle, true}});
}

TEST(ConnectionFlow, FailuresSayWhatFailedAndLeaveConnectUsable)
{
    // The first request unanswered: "Failed to establish a connection...", and
    // Connect stays grey while the message is up.
    Play("no answer to the flags read", {
        {E::Connect, false, {A::SetPollingOn, A::FindDeviceAndOpen}, P::Idle, true},
        {E::Opened, false, kAwait, P::AwaitingFlags, false},
        {E::Failure, true,
         {A::CloseLink, A::ClearFlags, A::ShowStateConnectOff, A::DestroyWaitBox, A::ShowConnectFailed,
          A::EnableConnectButton},
         P::Idle, true},
    });
    const std::vector<A> lost = {A::CloseLink, A::ClearFlags, A::DestroyWaitBox, A::ShowState, A::ShowCommLost};
    Play("lost during the read-back", {
        {E::Connect, false, {A::SetPollingOn, A::FindDeviceAndOpen}, P::Idle, true},
        {E::Opened, false, kAwait, P::AwaitingFlags, false},
        {E::Flags, true, {A::SendReadSettings}, P::ReadingBack, false},
        {E::Failure, true, lost, P::Idle, true},
        // The marker of requests queued before the failure never comes; a late one changes nothing.
        {E::Marker, false, {A::DestroyWaitBox, A::ShowState}, P::Idle, true},
    });
    Play("lost while connected", Then(kConnect, {{E::Failure, true, lost, P::Idle, true}}));
    Play("lost while storing", Then(kConnect, {
        {E::Disconnect, true, {A::SetPollingOff, A::AskDisconnect}, P::Connected, false},
        {E::AnswerYes, false, {A::QueueStoreSettings}, P::Storing, true},
        {E::Failure, true, lost, P::Idle, true},
    }));
    Play("a download's link lost", {{E::Failure, true, lost, P::Idle, true}});
    // The queue may fail once more while the frame stops it (a meter poll on
    // the dead line): that record comes after the link was closed and says nothing.
    Play("a second failure after the close", Then(kConnect, {
        {E::Failure, true, lost, P::Idle, true},
        {E::Failure, false, {}, P::Idle, true},
    }));
}

TEST(ConnectionFlow, AFlagsAnswerStartsAReadBackOnlyForItsOwnConnection)
{
    // An answer that arrives after the link closed (or that answers someone
    // else's read, e.g. the terminal's) starts nothing.
    Play("answer after the close", {
        {E::Connect, false, {A::SetPollingOn, A::FindDeviceAndOpen}, P::Idle, true},
        {E::Opened, false, kAwait, P::AwaitingFlags, false},
        {E::Flags, false, {A::ShowState}, P::AwaitingFlags, false},
    });
    Play("answers while connected or idle", Then(kConnect, {
        {E::Flags, true, {A::ShowState}, P::Connected, false},
        {E::Failure, true, {A::CloseLink, A::ClearFlags, A::DestroyWaitBox, A::ShowState, A::ShowCommLost}, P::Idle,
         true},
        {E::Flags, true, {A::ShowState}, P::Idle, true},
    }));
}

// A device number always denotes the same unit, found again by its serial
// number, or none: never whatever took its place in the list.
TEST(ConnectionFlow, DeviceNumberFollowsItsUnitByItsSerialOrIsNone)
{
    struct Row {
        bool bChosen;
        int nChosen, nKnown, nFound, nExpected;
    };
    const Row rows[] = {
        {false, -1, -1, -1, -1}, // nothing known, nothing found
        {false, -1, -1, 2, 2},   // the automatic lookup fills an empty number
        {false, -1, -1, 0, 0},   // the known automatic unit went away: the lookup's unit, if any
        {false, -1, 1, 0, 1},    // a known unit is never swapped for another one that comes first
        {false, -1, 3, 0, 3},    // ...and is followed to its new index (its old number now names another unit)
        // A unit chosen in Select Device ("QVR500 USB"): followed while
        // attached, whatever the automatic lookup finds.
        {true, 3, -1, -1, 3},
        {true, 3, -1, 0, 3},
        {true, 1, -1, -1, 1},    // moved to another index: followed
        {true, -1, -1, 0, -1},   // gone: none ("could not be found"), not the automatic unit
        {true, -1, 2, 2, -1},
    };
    for (const Row& r : rows)
        EXPECT_EQ(CConnectionFlow::DeviceAfterChange(r.bChosen, r.nChosen, r.nKnown, r.nFound), r.nExpected)
            << r.bChosen << " " << r.nChosen << " " << r.nKnown << " " << r.nFound;
}

// The terminal may send the store command too: only the store that
// Disconnect's Yes queued ends the link.
TEST(ConnectionFlow, OnlyTheStoreOfDisconnectEndsTheLink)
{
    Play("terminal's store while connected", Then(kConnect, {
        {E::Stored, false, {}, P::Connected, false},
        {E::Disconnect, true, {A::SetPollingOff, A::AskDisconnect}, P::Connected, false},
    }));
    Play("terminal's store on a download's link", {{E::Stored, false, {}, P::Idle, true}});
}

// A download that opened the link itself: completed, the unit is read back
// like a Connect (and its failure ends as a Connect's read-back does); not
// completed, the link it opened is closed.  On a link of ours nothing changes.
TEST(ConnectionFlow, ALinkOpenedByADownloadIsReadBackOrClosed)
{
    std::vector<A> readBack = {A::SetPollingOn};
    readBack.insert(readBack.end(), kAwait.begin(), kAwait.end());
    Play("completed", {
        {E::DownloadOpenedCompleted, true, readBack, P::AwaitingFlags, false},
        {E::Flags, true, {A::SendReadSettings}, P::ReadingBack, false},
        {E::Marker, false, {A::DestroyWaitBox, A::ShowState}, P::Connected, false},
    });
    Play("completed, then the read-back fails", {
        {E::DownloadOpenedCompleted, true, readBack, P::AwaitingFlags, false},
        {E::Flags, true, {A::SendReadSettings}, P::ReadingBack, false},
        {E::Failure, true, {A::CloseLink, A::ClearFlags, A::DestroyWaitBox, A::ShowState, A::ShowCommLost}, P::Idle,
         true},
    });
    Play("failed", {{E::DownloadOpenedFailed, true, {A::CloseLink, A::ClearFlags, A::ShowState}, P::Idle, true}});
    Play("link lost during the download", {{E::DownloadOpenedCompleted, false, {A::ShowState}, P::Idle, true},
                                            {E::DownloadOpenedFailed, false, {A::ShowState}, P::Idle, true}});
    // Over our connection: new firmware may have reset the unit, so a
    // completed download reads it back like a Connect; one that failed
    // leaves the connection as it was.
    Play("completed on a connection of ours", Then(kConnect, {
        {E::DownloadOnOurLink, true, readBack, P::AwaitingFlags, false},
        {E::Flags, true, {A::SendReadSettings}, P::ReadingBack, false},
        {E::Marker, false, {A::DestroyWaitBox, A::ShowState}, P::Connected, false},
    }));
    Play("failed on a connection of ours",
         Then(kConnect, {{E::DownloadOnOurLinkFailed, true, {A::ShowState}, P::Connected, false}}));
    Play("on a link that is not ours", {{E::DownloadOnOurLink, true, {A::ShowState}, P::Idle, true}});
}
