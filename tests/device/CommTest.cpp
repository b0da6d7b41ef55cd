// The command queue engine against an in-process simulated unit: what goes
// on the wire, in which order, what comes back as records, and how faults of
// the unit and of the line are survived or reported.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "CommHarness.h"
#include "device/LinkLogFile.h"
#include "protocol/QVRSCP.h"
#include "model/ParameterMap.h"
#include "model/TextMemory.h"

namespace {
float RecordValue(const utRXQueue& r) { return RXGetValue(r); }

float Bits(DWORD dw)
{
    float f;
    std::memcpy(&f, &dw, 4);
    return f;
}

// The requests the unit has seen, as (type, channel or command, parameter or UWord).
struct SSeen {
    BYTE bType;
    BYTE bFollow;
    BYTE bChannel;  // GET/SET channel, RAW command
    DWORD dwDetail; // GET/SET parameter, RAW UWord
    float fltValue; // SET value
};

std::vector<SSeen> Seen(const CSimUnit& unit)
{
    std::vector<SSeen> seen;
    for (const SimLogEntry& e : unit.GetLog()) {
        const auto& r = e.request;
        SSeen s{r[0], r[1], r[2], 0, 0.0f};
        if (r[0] == SCP_TYPE_RAW) {
            s.dwDetail = RXGetWord(&r[7]);
        } else {
            s.dwDetail = r[3];
            std::memcpy(&s.fltValue, &r[4], 4);
        }
        seen.push_back(s);
    }
    return seen;
}

// Waits until the worker has taken everything queued.
void WaitUntilTaken(CComm& comm)
{
    for (int i = 0; i < 2000 && comm.GetQueueLength() != 0; ++i)
        ::Sleep(1);
}
} // namespace

TEST(Comm, ClosedLinkTakesEveryRequestAndQueuesNothing)
{
    CCommHarness h("closed");
    EXPECT_FALSE(h.comm.IsOpen());
    EXPECT_TRUE(h.comm.QueueRequest(true, 0, 31, -3.0f));
    EXPECT_TRUE(h.comm.QueueRequest(false, 0, 31, DWORD(0)));
    EXPECT_TRUE(h.comm.QueueCommand(11, 0, 0, 0));
    EXPECT_TRUE(h.comm.QueueReadChannel(0, 3));
    int nSection = 0;
    EXPECT_TRUE(h.comm.QueueReadMemory(nSection));
    EXPECT_EQ(h.comm.GetQueueLength(), 0u);

    ASSERT_TRUE(h.Open());
    EXPECT_TRUE(h.NothingBeforeFence());
    EXPECT_EQ(h.unit.GetStats().nRequests, 0u);
    h.comm.Close();
    EXPECT_FALSE(h.comm.IsOpen());
}

TEST(Comm, OpenFailsForAnUnknownDeviceAndTwiceForAnOpenLink)
{
    CCommHarness h("openclose");
    h.comm.SetDeviceNumber(-1);
    EXPECT_FALSE(h.Open());
    EXPECT_FALSE(h.comm.IsOpen());
    h.comm.SetDeviceNumber(5);
    EXPECT_FALSE(h.Open());
    h.comm.SetDeviceNumber(0);
    ASSERT_TRUE(h.Open());
    EXPECT_FALSE(h.Open());
    EXPECT_TRUE(h.comm.IsOpen());
    h.comm.Close();

    // A queue with nowhere to write its results (its notification pipe could
    // not be made) refuses to open instead of running a link that reports nothing.
    CComm orphan;
    orphan.SetDeviceNumber(0);
    EXPECT_FALSE(orphan.Open());
    EXPECT_FALSE(orphan.IsOpen());
}

TEST(Comm, RequestsReachTheUnitAndResultsComeBackAsRecords)
{
    CCommHarness h("roundtrip");
    ASSERT_TRUE(h.Open());
    EXPECT_TRUE(h.comm.QueueRequest(true, 2, 23, 180.0f));
    EXPECT_TRUE(h.comm.QueueRequest(false, 2, 23, 0.0f));
    EXPECT_TRUE(h.comm.QueueRequest(true, 0, 13, DWORD(0x00010000)));
    EXPECT_TRUE(h.comm.QueueCommand(10, 0, 0, 0));

    // A SET answers nothing; a GET a value record; a raw command the reply.
    const std::vector<utRXQueue> records = h.Take(2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].bKind, RX_VALUE);
    EXPECT_EQ(records[0].bChannel, 2);
    EXPECT_EQ(records[0].bParameter, 23);
    EXPECT_EQ(RecordValue(records[0]), 180.0f);

    const utRXQueue& reply = records[1];
    EXPECT_EQ(reply.bKind, RX_COMMAND);
    EXPECT_EQ(reply.bReserved8, 0);
    EXPECT_EQ(reply.bReserved9, 0);
    EXPECT_EQ(reply.bCommand, 10);
    EXPECT_EQ(RecordIter(reply), 0u);
    EXPECT_EQ(RecordUWord(reply), CSimUnit::REVISION_UWORD);
    EXPECT_EQ(RecordLWord(reply), CSimUnit::REVISION_LWORD);
    unsigned char bExpected[16];
    SCP_GenerateREPLY(bExpected, 10, 0, CSimUnit::REVISION_UWORD, CSimUnit::REVISION_LWORD);
    EXPECT_EQ(reply.bChecksum, bExpected[15]);

    EXPECT_EQ(h.unit.GetParameterFloat(2, 23), 180.0f);
    EXPECT_EQ(h.unit.GetParameter(0, 13), 0x00010000u);
    EXPECT_TRUE(h.NothingBeforeFence());
}

TEST(Comm, WaitingRequestsOfTheSameKindAndAddressMergeInPlace)
{
    CCommHarness h("merge");
    ASSERT_TRUE(h.Open());
    h.unit.DelayReplies(1, 400); // holds the worker on the first request
    h.comm.QueueCommand(10, 0, 0, 0);
    WaitUntilTaken(h.comm);

    h.comm.QueueRequest(true, 1, 5, 1.0f);
    h.comm.QueueRequest(false, 1, 5, 0.0f);
    h.comm.QueueRequest(true, 1, 6, 7.0f);
    h.comm.QueueRequest(true, 1, 5, 2.0f);  // updates the first SET, which keeps its place
    h.comm.QueueRequest(false, 1, 5, 0.0f); // one GET is enough
    h.comm.QueueCommand(10, 0, 0, 0);       // raw commands are never merged
    h.comm.QueueCommand(10, 0, 0, 0);
    EXPECT_EQ(h.comm.GetQueueLength(), 5u);

    const std::vector<utRXQueue> records = h.Take(4);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].bCommand, 10);
    EXPECT_EQ(records[1].bKind, RX_VALUE);
    EXPECT_EQ(RecordValue(records[1]), 2.0f); // the GET came after the merged SET
    EXPECT_EQ(records[2].bCommand, 10);
    EXPECT_EQ(records[3].bCommand, 10);

    const std::vector<SSeen> seen = Seen(h.unit);
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[1].bType, SCP_TYPE_SET);
    EXPECT_EQ(seen[1].dwDetail, 5u);
    EXPECT_EQ(seen[1].fltValue, 2.0f);
    EXPECT_EQ(seen[2].bType, SCP_TYPE_GET);
    EXPECT_EQ(seen[3].bType, SCP_TYPE_SET);
    EXPECT_EQ(seen[3].dwDetail, 6u);
    EXPECT_EQ(h.unit.CountSets(1, 5), 1u);
}

// A producer (a firmware download) withdraws what of it still waits: the
// other requests keep their order and their merging, the request already on
// the line is not taken back, and a fence shows that nothing withdrawn went out.
TEST(Comm, AProducerWithdrawsItsWaitingRequestsAndNothingElse)
{
    CCommHarness h("withdraw");
    ASSERT_TRUE(h.Open());
    const int nDownload = 0, nOther = 0;
    h.unit.DelayReplies(1, 400); // holds the worker on the first request
    h.comm.QueueCommand(CMD_FIRMWARE_REVISION, 0, 0, 0, &nDownload);
    WaitUntilTaken(h.comm);

    h.comm.QueueCommand(CMD_WRITE_WORD, 0, 0x90000000u, 1, &nDownload);
    h.comm.QueueRequest(true, 1, 5, 1.0f);
    h.comm.QueueCommand(CMD_WRITE_WORD, 0, 0x90000004u, 2, &nDownload);
    h.comm.QueueCommand(CMD_READ_WORD, 0, TEXT_MEMORY_START, 0, &nOther);
    h.comm.QueueRequest(true, 1, 5, 2.0f); // merges into the first SET
    h.comm.QueueCommand(CMD_WRITE_WORD, 0, 0x90000008u, 3, &nDownload);
    EXPECT_EQ(h.comm.GetQueueLength(), 5u);
    EXPECT_EQ(h.comm.DropWaiting(nullptr), 0u); // names nobody
    EXPECT_EQ(h.comm.DropWaiting(&nDownload), 3u);
    EXPECT_EQ(h.comm.GetQueueLength(), 2u);

    std::vector<utRXQueue> before;
    ASSERT_TRUE(h.comm.QueueRequest(false, 3, PARAMETER_MARKER, 0.0f));
    ASSERT_TRUE(h.UntilMarker(3, before));
    ASSERT_EQ(before.size(), 2u);
    EXPECT_EQ(before[0].bCommand, CMD_FIRMWARE_REVISION); // was on the line: answered
    EXPECT_EQ(before[1].bCommand, CMD_READ_WORD);
    const std::vector<SSeen> seen = Seen(h.unit);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].bType, SCP_TYPE_SET);
    EXPECT_EQ(seen[1].fltValue, 2.0f);
    EXPECT_EQ(seen[2].bChannel, CMD_READ_WORD);
    EXPECT_EQ(h.unit.CountCommands(CMD_WRITE_WORD), 0u);
}

TEST(Comm, FollowOnFlagMarksAGetThatFollowsAGet)
{
    CCommHarness h("follow");
    ASSERT_TRUE(h.Open());
    h.unit.DelayReplies(1, 300);
    h.comm.QueueCommand(10, 0, 0, 0);
    WaitUntilTaken(h.comm);
    h.comm.QueueRequest(false, 0, 1, 0.0f);
    h.comm.QueueRequest(false, 0, 2, 0.0f);
    h.comm.QueueRequest(true, 0, 3, 1.0f);
    h.comm.QueueRequest(false, 0, 4, 0.0f);
    h.comm.QueueCommand(10, 0, 0, 0);
    h.comm.QueueRequest(false, 0, 5, 0.0f);
    ASSERT_EQ(h.Take(6).size(), 6u);

    const std::vector<SSeen> seen = Seen(h.unit);
    ASSERT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen[1].bFollow, 0); // after a raw command: cleared
    EXPECT_EQ(seen[2].bFollow, 1); // a GET came before and this GET was next
    EXPECT_EQ(seen[3].bFollow, 0); // a SET follows: cleared
    EXPECT_EQ(seen[4].bFollow, 0); // after a SET: cleared
    EXPECT_EQ(seen[6].bFollow, 0); // after a raw command: cleared
}

TEST(Comm, FaultsWithinThreeAttemptsAreRecoveredAndTheQueueGoesOn)
{
    CCommHarness h("retry");
    ASSERT_TRUE(h.Open());
    h.unit.SetParameterFloat(0, 31, -3.0f);
    h.unit.SetParameterFloat(0, 29, 1.25f);

    struct Fault {
        const char* pszName;
        void (*pfnInject)(CSimUnit&);
        std::uint64_t nExpectedGets;
    };
    const Fault faults[] = {
        {"two dropped replies", [](CSimUnit& u) { u.DropReplies(2); }, 3},
        {"two corrupted replies", [](CSimUnit& u) { u.CorruptReplies(2); }, 3},
        {"two refusals", [](CSimUnit& u) { u.NackRequests(2); }, 3},
        {"a cut reply", [](CSimUnit& u) { u.ShortReplies(1, 8); }, 2},
        {"garbage before the reply", [](CSimUnit& u) { u.GarbageBeforeReply(37); }, 1},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.pszName);
        h.unit.ClearLog();
        fault.pfnInject(h.unit);
        h.comm.QueueRequest(false, 0, 31, 0.0f);
        h.comm.QueueRequest(false, 0, 29, 0.0f);
        const std::vector<utRXQueue> records = h.Take(2, 8000);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].bKind, RX_VALUE);
        EXPECT_EQ(records[0].bParameter, 31);
        EXPECT_EQ(RecordValue(records[0]), -3.0f);
        EXPECT_EQ(records[1].bParameter, 29);
        EXPECT_EQ(RecordValue(records[1]), 1.25f);
        EXPECT_EQ(h.unit.CountGets(0, 31), fault.nExpectedGets);
        EXPECT_EQ(h.unit.CountGets(0, 29), 1u);
    }
}

TEST(Comm, ThirdFailureEmptiesTheQueueAndWritesOneFailureRecord)
{
    CCommHarness h("failure");
    ASSERT_TRUE(h.Open());
    for (const bool bDrop : {false, true}) {
        SCOPED_TRACE(bDrop ? "replies dropped" : "requests refused");
        if (bDrop)
            h.unit.DropReplies(3);
        else
            h.unit.NackRequests(3);
        h.comm.QueueRequest(true, 0, 0, 40.0f);
        h.comm.QueueRequest(false, 0, 1, 0.0f);
        h.comm.QueueCommand(10, 0, 0, 0);
        h.comm.QueueRequest(false, 0, 32, 0.0f); // marker: never reached

        utRXQueue record;
        ASSERT_TRUE(h.Next(record, 6000));
        EXPECT_EQ(record.bKind, RX_FAILURE);
        const BYTE bZero[24] = {RX_FAILURE};
        EXPECT_EQ(std::memcmp(&record, bZero, 24), 0);
        EXPECT_TRUE(h.NothingBeforeFence()); // nothing else, no marker
        EXPECT_EQ(h.comm.GetQueueLength(), 0u);
        EXPECT_EQ(h.unit.CountGets(0, 1), 0u);

        // The link stays open and the queue takes new requests.
        EXPECT_TRUE(h.comm.IsOpen());
        EXPECT_TRUE(h.comm.QueueRequest(false, 0, 1, 0.0f));
        ASSERT_TRUE(h.Next(record));
        EXPECT_EQ(record.bKind, RX_VALUE);
        h.unit.ClearLog();
    }
}

TEST(Comm, MarkerComesAfterEverythingQueuedBeforeIt)
{
    CCommHarness h("marker");
    ASSERT_TRUE(h.Open());
    ASSERT_TRUE(h.comm.QueueReadChannel(0, 3));
    ASSERT_TRUE(h.comm.QueueRequest(false, 3, 32, 0.0f));
    ASSERT_TRUE(h.comm.QueueRequest(true, 4, 32, 1.0f)); // a SET of 32 is a marker too

    std::vector<utRXQueue> before;
    ASSERT_TRUE(h.UntilMarker(3, before));
    ASSERT_EQ(before.size(), 35u); // 32 parameters and 3 outputs
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(before[i].bKind, RX_VALUE);
        EXPECT_EQ(before[i].bParameter, i);
    }
    for (int i = 32; i < 35; ++i)
        EXPECT_EQ(before[i].bCommand, 13);
    utRXQueue record;
    ASSERT_TRUE(h.Next(record));
    EXPECT_EQ(record.bKind, RX_MARKER);
    EXPECT_EQ(record.bChannel, 4);
    EXPECT_EQ(h.unit.GetStats().nRequests, 35u); // markers never go on the wire
}

// A reply that comes after its request's time-out, when the worker has moved
// on, must not be taken for the answer of a later request.
TEST(Comm, LateRepliesAreDroppedNotTakenForTheNextRequest)
{
    CCommHarness h("late");
    ASSERT_TRUE(h.Open());
    for (int p = 0; p < 6; ++p)
        h.unit.SetParameterFloat(1, p, 100.0f + p);
    h.unit.DelayReplies(1, 1200);
    for (int p = 0; p < 6; ++p)
        h.comm.QueueRequest(false, 1, static_cast<BYTE>(p), 0.0f);
    const std::vector<utRXQueue> records = h.Take(6, 4000);
    ASSERT_EQ(records.size(), 6u);
    for (int p = 0; p < 6; ++p) {
        EXPECT_EQ(records[p].bParameter, p);
        EXPECT_EQ(RecordValue(records[p]), 100.0f + p);
    }
    EXPECT_TRUE(h.NothingBeforeFence());
}

TEST(Comm, SystemFlagsWriteCarriesTheUpperBitsOfTheLastRead)
{
    CCommHarness h("flags");
    ASSERT_TRUE(h.Open());
    // Before any read since the worker started nothing is added.
    h.comm.QueueCommand(11, 0, 1, 0x4);
    utRXQueue record;
    ASSERT_TRUE(h.Next(record));
    EXPECT_EQ(RecordLWord(record), 0x4u);
    EXPECT_EQ(h.unit.GetFlags(), 0x4u);

    h.unit.SetFlags(0x00A5000D);
    h.comm.QueueCommand(11, 0, 0, 0); // read
    h.comm.QueueCommand(11, 0, 1, 0x1);
    const std::vector<utRXQueue> records = h.Take(2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(RecordLWord(records[0]), 0x00A5000Du);
    // The low four bits are the caller's alone.
    EXPECT_EQ(RecordLWord(records[1]), 0x00A50001u);
    EXPECT_EQ(h.unit.GetFlags(), 0x00A50001u);
    const std::vector<SSeen> seen = Seen(h.unit);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(RXGetWord(&h.unit.GetLog().back().request[11]), 0x00A50001u);

    // The handler of flags answers learns which it may take for the copy, in
    // the order of the records: none of a write with a later write on its way.
    EXPECT_EQ(h.comm.GetFlagsWritesOnTheirWay(), 2u);
    EXPECT_FALSE(h.comm.TakeFlagsAnswer()) << "first write, the second on its way";
    EXPECT_FALSE(h.comm.TakeFlagsAnswer()) << "the read before the second";
    EXPECT_TRUE(h.comm.TakeFlagsAnswer()) << "the second write";
    // A write that a failure drops is on its way no more.
    h.unit.NackRequests(3);
    h.comm.QueueCommand(11, 0, 0, 0);
    h.comm.QueueCommand(11, 0, 1, 0x1);
    ASSERT_TRUE(h.Next(record, 6000));
    EXPECT_EQ(record.bKind, RX_FAILURE);
    EXPECT_EQ(h.comm.GetFlagsWritesOnTheirWay(), 0u);

    // A new worker starts with nothing saved.
    h.comm.Close();
    ASSERT_TRUE(h.Open());
    h.comm.QueueCommand(11, 0, 1, 0x2);
    ASSERT_TRUE(h.Next(record));
    EXPECT_EQ(RXGetWord(&h.unit.GetLog().back().request[11]), 0x2u);
}

TEST(Comm, OutputReadingsAreShownAsTenthsPlusEight)
{
    CCommHarness h("outputs");
    ASSERT_TRUE(h.Open());
    struct Case {
        int nBank, nIndex;
        float fltUnit, fltShown;
    };
    const Case cases[] = {
        {1, 3, -0.7f, -0.7f + 8.0f}, // tenths taken in single precision: -7, not -6
        {0, 2, 3.0f, 11.0f},
        {2, 0, -9.05f, -1.0f},       // truncated toward zero
        {3, 1, 0.05f, 8.0f},
        {0, 0, -8.0f, 0.0f},         // a factory output reads as gain 0
    };
    for (const Case& c : cases) {
        h.unit.SetOutputFloat(c.nBank, c.nIndex, c.fltUnit);
        h.comm.QueueCommand(13, 0, DWORD(c.nBank + 256 * c.nIndex), 0);
    }
    for (const Case& c : cases) {
        utRXQueue record;
        ASSERT_TRUE(h.Next(record));
        EXPECT_EQ(record.bKind, RX_COMMAND);
        EXPECT_EQ(record.bCommand, 13);
        EXPECT_EQ(record.bUWord[0], c.nBank);
        EXPECT_EQ(record.bUWord[1], c.nIndex);
        EXPECT_EQ(Bits(RecordLWord(record)), c.fltShown) << c.fltUnit;
    }
}

TEST(Comm, MetersArePolledAfterHalfASecondIdleOnlyWhilePollingIsOn)
{
    CCommHarness h("poll");
    ASSERT_TRUE(h.Open());
    ::Sleep(800); // the idle time after which polls would start, and more
    EXPECT_TRUE(h.NothingBeforeFence()); // polling off: none came
    h.comm.SetPolling(true);
    const std::vector<utRXQueue> records = h.Take(6, 1500);
    ASSERT_EQ(records.size(), 6u);
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(records[c].bKind, RX_VALUE);
        EXPECT_EQ(records[c].bChannel, c);
        EXPECT_EQ(records[c].bParameter, 12);
    }
    h.comm.SetPolling(false);
    // Polls queued before the switch still come (before the fence); after
    // it, more than the idle time passes without a poll.
    h.comm.QueueRequest(false, 0xFD, PARAMETER_MARKER, 0.0f);
    std::vector<utRXQueue> before;
    ASSERT_TRUE(h.UntilMarker(0xFD, before)) << "no marker";
    ::Sleep(800); // the idle time after which polls would start, and more
    EXPECT_TRUE(h.NothingBeforeFence());
}

TEST(Comm, ReadChannelAndReadMemoryQueueTheirReadsInOrder)
{
    CCommHarness h("plans");
    ASSERT_TRUE(h.Open());
    // Channels outside 0..5 queue nothing and are not reported as a lost
    // link: the reads checked below are the first to arrive.
    EXPECT_TRUE(h.comm.QueueReadChannel(6, 3));
    EXPECT_TRUE(h.comm.QueueReadChannel(-1, 3));
    ASSERT_TRUE(h.comm.QueueReadChannel(2, 2));
    ASSERT_TRUE(h.comm.QueueReadChannel(5, 3));
    ASSERT_TRUE(h.comm.QueueReadChannel(0, 3));
    int nSection = 0;
    ASSERT_TRUE(h.comm.QueueReadMemory(nSection));
    EXPECT_EQ(nSection, 0);

    const DWORD adwStart[10] = {0, 0, 0, 0x90060054, 0, 0, 0, 0, 0, 0};
    const DWORD adwLength[10] = {0, 0, 0, 3, 0, 0, 0, 0, 0, 0};
    h.comm.SetSectionTable(adwStart, adwLength);
    nSection = 1; // sections 1 and 2 are empty: reading moves on to 3
    ASSERT_TRUE(h.comm.QueueReadMemory(nSection));
    EXPECT_EQ(nSection, 3);
    nSection = 4; // nothing from 4 on
    ASSERT_TRUE(h.comm.QueueReadMemory(nSection));
    EXPECT_EQ(nSection, 9);

    const std::size_t nTotal = (32 + 2) + (4 + 1) + (32 + 3) + 21 + 2;
    ASSERT_EQ(h.Take(nTotal).size(), nTotal);
    const std::vector<SSeen> seen = Seen(h.unit);
    ASSERT_EQ(seen.size(), nTotal);
    std::size_t i = 0;
    for (int p = 0; p < 32; ++p, ++i)
        EXPECT_EQ(seen[i].dwDetail, DWORD(p));
    EXPECT_EQ(seen[i++].dwDetail, 0x0001u); // Center High (1, 0)
    EXPECT_EQ(seen[i++].dwDetail, 0x0201u); // Center Mid/Biamp Low (1, 2)
    for (int p : {11, 13, 29, 31}) {
        EXPECT_EQ(seen[i].bChannel, 5);
        EXPECT_EQ(seen[i++].dwDetail, DWORD(p));
    }
    EXPECT_EQ(seen[i++].dwDetail, 0x0301u); // Subwoofer (1, 3), also in Triamp only this one
    i += 32;
    EXPECT_EQ(seen[i++].dwDetail, 0x0200u); // Left High (0, 2)
    EXPECT_EQ(seen[i++].dwDetail, 0x0000u); // Left Mid (0, 0)
    EXPECT_EQ(seen[i++].dwDetail, 0x0002u); // Left Low (2, 0), Triamp
    for (DWORD a = 0; a < 84; a += 4, ++i) {
        EXPECT_EQ(seen[i].bChannel, 1);
        EXPECT_EQ(seen[i].dwDetail, 0x90060000u + a);
    }
    EXPECT_EQ(seen[i++].dwDetail, 0x90060054u);
    EXPECT_EQ(seen[i++].dwDetail, 0x90060058u);
}

// A section's byte count is twice its length held in 8 bits: 130 units read
// 4 bytes (one word), 128 units read nothing, and neither is skipped as empty.
TEST(Comm, MemorySectionByteCountWrapsAtEightBits)
{
    CCommHarness h("sections");
    ASSERT_TRUE(h.Open());
    DWORD adwStart[10] = {};
    DWORD adwLength[10] = {};
    adwStart[5] = 0x90060100;
    adwLength[5] = 130;
    adwStart[6] = 0x90060200;
    adwLength[6] = 128;
    h.comm.SetSectionTable(adwStart, adwLength);
    int nSection = 6;
    ASSERT_TRUE(h.comm.QueueReadMemory(nSection));
    EXPECT_EQ(nSection, 6);
    nSection = 5;
    ASSERT_TRUE(h.comm.QueueReadMemory(nSection));
    EXPECT_EQ(nSection, 5);
    ASSERT_EQ(h.Take(1).size(), 1u);
    EXPECT_TRUE(h.NothingBeforeFence());
    const std::vector<SSeen> seen = Seen(h.unit);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].bChannel, 1);
    EXPECT_EQ(seen[0].dwDetail, 0x90060100u);
}

// A queue worker busy past Close's wait (an erase the unit never answers)
// is stopped without touching the closed link; everything still queued,
// the interrupted request first, goes out after the next Open.  A producer
// waiting for room meanwhile is refused, and Open lifts that refusal.
TEST(Comm, RequestsLeftAtCloseGoOutAfterTheNextOpen)
{
    CCommHarness h("reopen");
    ASSERT_TRUE(h.Open());
    h.unit.Unplug();
    h.comm.QueueCommand(6, 0, 0x90060000, 0x100);
    WaitUntilTaken(h.comm);
    for (int p = 0; p < 5; ++p)
        h.comm.QueueRequest(true, 0, static_cast<BYTE>(p), 50.0f + p);
    for (int i = 0; i < 250; ++i)
        h.comm.QueueCommand(10, DWORD(i), 0, 0);
    EXPECT_EQ(h.comm.GetQueueLength(), 255u);

    std::atomic<int> nProducerResult{-1};
    std::thread producer([&] { nProducerResult = h.comm.QueueRequest(true, 0, 9, 1.0f) ? 1 : 0; });
    // Paced by the full queue: it waits for room (Close must find it waiting).
    for (int i = 0; i < 5000 && h.comm.GetProducersWaiting() == 0; ++i)
        ::Sleep(1);
    ASSERT_EQ(h.comm.GetProducersWaiting(), 1);
    EXPECT_EQ(nProducerResult, -1);

    const DWORD dwStart = ::GetTickCount();
    h.comm.Close();
    const DWORD dwTook = ::GetTickCount() - dwStart;
    producer.join();
    EXPECT_EQ(nProducerResult, 0);
    EXPECT_GE(dwTook, 4900u); // waited out its time-out...
    EXPECT_LT(dwTook, 9000u); // ...and did not hang on the worker
    EXPECT_FALSE(h.comm.IsOpen());
    EXPECT_EQ(h.comm.GetQueueLength(), 256u);
    EXPECT_TRUE(h.comm.QueueRequest(true, 0, 9, 1.0f)); // closed: taken, not queued

    h.unit.Plug();
    h.unit.ClearLog();
    ASSERT_TRUE(h.Open());
    EXPECT_TRUE(h.comm.QueueRequest(true, 0, 9, 2.0f)); // the refusal is lifted
    std::vector<utRXQueue> records = h.Take(251, 5000);
    ASSERT_EQ(records.size(), 251u);
    EXPECT_EQ(records[0].bCommand, 6);
    for (int i = 0; i < 250; ++i)
        EXPECT_EQ(RecordIter(records[1 + i]), DWORD(i));
    ::Sleep(100);
    const std::vector<SSeen> seen = Seen(h.unit);
    ASSERT_EQ(seen.size(), 257u);
    EXPECT_EQ(seen[0].bChannel, 6);
    for (int p = 0; p < 5; ++p)
        EXPECT_EQ(h.unit.GetParameterFloat(0, p), 50.0f + p);
    EXPECT_EQ(h.unit.GetParameterFloat(0, 9), 2.0f);
}

TEST(Comm, ProducersArePacedByAFullQueueAndNothingIsLost)
{
    CCommHarness h("paced");
    ASSERT_TRUE(h.Open());
    constexpr int COUNT = 1500;
    std::size_t nLongest = 0;
    std::thread producer([&] {
        for (int i = 0; i < COUNT; ++i) {
            ASSERT_TRUE(h.comm.QueueCommand(13, DWORD(i), DWORD((i % 4) + 256 * ((i / 4) % 4)), 0));
            nLongest = std::max(nLongest, h.comm.GetQueueLength());
        }
    });
    const std::vector<utRXQueue> records = h.Take(COUNT, 5000);
    producer.join();
    EXPECT_LE(nLongest, 255u);
    ASSERT_EQ(records.size(), std::size_t(COUNT));
    for (int i = 0; i < COUNT; ++i)
        ASSERT_EQ(RecordIter(records[i]), DWORD(i));
}

TEST(Comm, AnEraseMayTakeLongerThanTheOrdinaryReplyTime)
{
    CCommHarness h("erase");
    ASSERT_TRUE(h.Open());
    h.unit.DelayReplies(2, 1500); // longer than 1000 ms, well within the erase's 20000 ms
    h.comm.QueueCommand(6, 0, 0x90060000, 0x100);
    h.comm.QueueRequest(false, 0, 31, 0.0f); // an ordinary request is retried after 1000 ms
    const std::vector<utRXQueue> records = h.Take(2, 5000);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].bCommand, 6);
    EXPECT_EQ(records[1].bKind, RX_VALUE);
    EXPECT_EQ(h.unit.CountCommands(6), 1u);
    EXPECT_EQ(h.unit.CountGets(0, 31), 2u);
}

// What support reads after a flaky link: each fault of the unit and of the
// line, in order, with the request it hit, its attempt and the request count;
// nothing for the exchanges that went well.
TEST(Comm, LinkLogNamesEachFaultInOrderWithItsRequest)
{
    using E = CLinkLog::EEvent;
    CCommHarness h("linklog");
    const std::size_t nBefore = h.comm.GetLinkLog().Events().size();
    ASSERT_TRUE(h.Open());
    auto answered = [&](BYTE bParameter) {
        utRXQueue record;
        return h.Next(record, 8000) && record.bParameter == bParameter;
    };
    h.comm.QueueRequest(false, 0, 30, 0.0f); // a clean exchange: nothing logged
    ASSERT_TRUE(answered(30));
    h.unit.DropReplies(1);
    h.comm.QueueRequest(false, 0, 31, 0.0f);
    ASSERT_TRUE(answered(31));
    h.unit.CorruptReplies(1);
    h.comm.QueueRequest(false, 0, 29, 0.0f);
    ASSERT_TRUE(answered(29));
    h.unit.NackRequests(2);
    h.comm.QueueRequest(true, 1, 5, 250.0f);
    h.comm.QueueRequest(false, 1, 5, 0.0f);
    ASSERT_TRUE(answered(5));
    // A reply that comes after its time-out: the resend is answered, the
    // late one dropped when it arrives.
    h.unit.DelayReplies(1, 1300);
    h.comm.QueueRequest(false, 1, 7, 0.0f);
    ASSERT_TRUE(answered(7));
    for (int i = 0; i < 3000 && h.comm.GetLinkLog().Events().back().eEvent != E::LateReply; ++i)
        ::Sleep(1);
    // The cable pulled: three time-outs and the failure record.
    h.unit.Unplug();
    h.comm.QueueRequest(false, 2, 3, 0.0f);
    utRXQueue record;
    ASSERT_TRUE(h.Next(record, 8000));
    EXPECT_EQ(record.bKind, RX_FAILURE);
    h.comm.Close();
    h.unit.Plug();

    struct SExpected {
        E eEvent;
        int nAttempt;
        BYTE bKind, bChannel, bParameter;
        std::uint64_t nRequest;
    };
    const SExpected expected[] = {
        {E::TimeOut, 1, 0, 0, 31, 2},     {E::Resend, 2, 0, 0, 31, 2},      // dropped reply
        // A corrupted reply: the link library discards a window whose checksum
        // fails (it cannot tell where such a packet begins), so at the queue
        // it is a time-out.
        {E::TimeOut, 1, 0, 0, 29, 3},     {E::Resend, 2, 0, 0, 29, 3},
        {E::Nack, 1, 1, 1, 5, 4},         {E::Resend, 2, 1, 1, 5, 4},       // two refusals of the SET
        {E::Nack, 2, 1, 1, 5, 4},         {E::Resend, 3, 1, 1, 5, 4},       //
        {E::TimeOut, 1, 0, 1, 7, 6},      {E::Resend, 2, 0, 1, 7, 6},       // a slow reply
        {E::LateReply, 0, 0, 0, 0, 6},                                      //
        {E::TimeOut, 1, 0, 2, 3, 7},      {E::Resend, 2, 0, 2, 3, 7},       // the pulled cable
        {E::TimeOut, 2, 0, 2, 3, 7},      {E::Resend, 3, 0, 2, 3, 7},       //
        {E::TimeOut, 3, 0, 2, 3, 7},      {E::Failure, 3, 0, 2, 3, 7},      //
    };
    const std::vector<CLinkLog::SEvent> all = h.comm.GetLinkLog().Events();
    ASSERT_EQ(all.size(), nBefore + 2 + std::size(expected)) << "opened, the faults, closed";
    EXPECT_EQ(all[nBefore].eEvent, E::Opened);
    EXPECT_NE(std::string(all[nBefore].szText).find("sim:linklog,instant \"USBXpress Device\" SN-linklog"),
              std::string::npos)
        << all[nBefore].szText;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const CLinkLog::SEvent& e = all[nBefore + 1 + i];
        SCOPED_TRACE(CLinkLog::FormatEvent(e));
        EXPECT_EQ(e.eEvent, expected[i].eEvent);
        EXPECT_EQ(e.nRequests, expected[i].nRequest);
        if (e.eEvent == E::LateReply)
            continue;
        EXPECT_EQ(e.nAttempt, expected[i].nAttempt);
        EXPECT_EQ(e.request.bKind, expected[i].bKind);
        EXPECT_EQ(e.request.bChannel, expected[i].bChannel);
        EXPECT_EQ(e.request.bParameter, expected[i].bParameter);
    }
    EXPECT_EQ(all.back().eEvent, E::Closed);

    // The file support gets: the header, then the events; written through the
    // safe replacement, so a path that is no file is refused untouched.
    const std::string text = CLinkLogFile::Compose(h.comm, "QVR500 test");
    EXPECT_EQ(text.rfind("QVR500 link log\r\nProgram: QVR500 test\r\nUnit firmware: not known", 0), 0u) << text;
    EXPECT_NE(text.find("\r\nDevice: sim:linklog,instant \"USBXpress Device\" SN-linklog (device 0)\r\n"
                        "Line: 115200 baud, 8 data bits, no parity, 1 stop bit(s), no flow control\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("time-out, attempt 3: GET channel 2 parameter 3\r\n"), std::string::npos);
    wchar_t szTemp[MAX_PATH];
    ASSERT_NE(::GetTempPathW(MAX_PATH, szTemp), 0u);
    const std::wstring folder = std::wstring(szTemp) + L"qvr-linklog-test";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\link.txt";
    ASSERT_TRUE(CLinkLogFile::Write(path, text).Ok());
    CFileHandle hFile(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(hFile);
    std::string read(text.size() + 16, '\0');
    DWORD dwRead = 0;
    ::ReadFile(hFile, read.data(), static_cast<DWORD>(read.size()), &dwRead, nullptr);
    read.resize(dwRead);
    EXPECT_EQ(read, text);
    hFile.Reset();
    EXPECT_EQ(CLinkLogFile::Write(folder, text).status, CSafeFile::EStatus::NotRegularFile);
    ::DeleteFileW(path.c_str());
    EXPECT_TRUE(::RemoveDirectoryW(folder.c_str())) << "nothing left beside the file";
}
