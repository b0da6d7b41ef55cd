#include <gtest/gtest.h>

#include <cstring>

#include "device/RXQueue.h"
#include "device/records/FlagsWriteTracker.h"
#include "device/records/NotificationRecord.h"
#include "device/records/UnitReadPlan.h"
#include "model/ChannelConfig.h"
#include "model/ParameterMap.h"
#include "model/TextMemory.h"

TEST(NotificationRecord, ValueAndCommandRecordsAsTheWindowsReadThem)
{
    const CNotificationRecord::Bytes value = CNotificationRecord::Value(5, 31, -3.5f);
    utRXQueue rx;
    std::memcpy(&rx, value.data(), sizeof rx);
    EXPECT_EQ(rx.bKind, RX_VALUE);
    EXPECT_EQ(rx.bChannel, 5);
    EXPECT_EQ(rx.bParameter, 31);
    float f = 0;
    std::memcpy(&f, rx.bValue, 4);
    EXPECT_EQ(f, -3.5f);

    // An output read: the request's address and the value as shown (the unit
    // applies gain - 8; a stored -0.7 shows as 7.3, never 7.4).
    std::uint8_t request[16] = {0xA5, 0x01, CMD_READ_OUTPUT, 0, 0, 0, 0, 0x02, 0x00, 0x00, 0x00};
    std::uint8_t reply[16] = {0x5A, 0x02, 0x77, 0, 0, 0, 0, 0x02, 0, 0, 0};
    const float fltUnit = -0.7f;
    std::uint32_t w = 0;
    std::memcpy(&w, &fltUnit, 4);
    for (int i = 0; i < 4; ++i)
        reply[11 + i] = static_cast<std::uint8_t>(w >> (8 * i));
    const CNotificationRecord::Bytes command = CNotificationRecord::Command(request, reply);
    std::memcpy(&rx, command.data(), sizeof rx);
    EXPECT_EQ(rx.bKind, RX_COMMAND);
    EXPECT_EQ(rx.bReserved8, 0);
    EXPECT_EQ(rx.bReserved9, 0);
    EXPECT_EQ(rx.bCommand, CMD_READ_OUTPUT);
    EXPECT_EQ(std::memcmp(rx.bUWord, request + 7, 4), 0);
    std::memcpy(&f, rx.bLWord, 4);
    EXPECT_FLOAT_EQ(f, 7.3f);
    EXPECT_FLOAT_EQ(CNotificationRecord::ShownOutput(-0.7f), 7.3f);
    EXPECT_FLOAT_EQ(CNotificationRecord::ShownOutput(-8.0f), 0.0f);

    // Any other command: the reply as it came, its command byte the request's.
    request[2] = CMD_READ_WORD;
    std::memcpy(&rx, CNotificationRecord::Command(request, reply).data(), sizeof rx);
    EXPECT_EQ(rx.bCommand, CMD_READ_WORD);
    EXPECT_EQ(std::memcmp(&rx.bIter, reply + 3, 13), 0);

    const CNotificationRecord::Bytes failure = CNotificationRecord::Simple(RX_FAILURE, 0);
    EXPECT_EQ(failure[0], RX_FAILURE);
    for (std::size_t i = 1; i < failure.size(); ++i)
        EXPECT_EQ(failure[i], 0) << i;
}

TEST(UnitReadPlan, ChannelReadsFollowTheParameterMap)
{
    for (int nMode : {MODE_BIAMP, MODE_TRIAMP})
        for (int c = 0; c < 6; ++c) {
            const ReadChannelPlan plan = GetReadChannelPlan(c, nMode);
            const auto reads = CUnitReadPlan::Channel(c, nMode);
            ASSERT_EQ(reads.size(), static_cast<std::size_t>(plan.nParameters + plan.nOutputs));
            for (int i = 0; i < plan.nParameters; ++i)
                EXPECT_TRUE(!reads[i].bRaw && reads[i].bParameter == plan.parameters[i]);
            for (int i = 0; i < plan.nOutputs; ++i)
                EXPECT_TRUE(reads[plan.nParameters + i].bRaw && reads[plan.nParameters + i].dwAddress == plan.outputs[i]);
        }
    EXPECT_TRUE(CUnitReadPlan::Channel(-1, MODE_TRIAMP).empty());
    EXPECT_TRUE(CUnitReadPlan::Channel(6, MODE_TRIAMP).empty());
}

TEST(UnitReadPlan, SectionsAreSkippedWhenEmptyAndBoundedWhenCorrupt)
{
    CUnitReadPlan plan;
    int nSection = 0;
    const auto directory = plan.MemoryWords(nSection);
    ASSERT_EQ(directory.size(), static_cast<std::size_t>(TEXT_DIRECTORY_WORDS));
    EXPECT_EQ(directory.front(), TEXT_MEMORY_START);

    nSection = 1; // nothing known yet: every section is empty
    EXPECT_TRUE(plan.MemoryWords(nSection).empty());
    EXPECT_EQ(nSection, 9);

    std::uint32_t adwDirectory[21] = {};
    adwDirectory[2 * 3 - 1] = TEXT_AREA_START; // section 3: 5 units
    adwDirectory[2 * 3] = 5;
    adwDirectory[2 * 4 - 1] = TEXT_AREA_START + 12;
    adwDirectory[2 * 4] = 0xFFFFFFFF; // erased or corrupt length
    plan.SetSectionTableFromDirectory(adwDirectory);
    nSection = 1;
    const auto words = plan.MemoryWords(nSection);
    EXPECT_EQ(nSection, 3);
    EXPECT_EQ(words, (std::vector<std::uint32_t>{TEXT_AREA_START, TEXT_AREA_START + 4, TEXT_AREA_START + 8}));
    nSection = 4;
    EXPECT_EQ(plan.MemoryWords(nSection).size(), 254u / 4 + 1); // 8 bits of bytes at most
}

// The copy of the system flags is the value last written, or, when no write
// is on its way (waiting, on the line, or answered but not yet taken), the
// value last read.  Answers are taken in the order the queue reported them.
TEST(FlagsWriteTracker, AnAnswerSetsTheCopyOnlyWhenNoLaterWriteIsOnItsWay)
{
    CFlagsWriteTracker connect; // Connect's read alone
    connect.Answered(false);
    EXPECT_TRUE(connect.TakeAnswer());
    EXPECT_TRUE(connect.TakeAnswer()) << "an answer never reported, with no write on its way";

    CFlagsWriteTracker twice; // two changes in a row: only the last write's answer counts
    twice.WriteQueued();
    twice.WriteQueued();
    for (const bool bWrite : {false, true, false, true})
        twice.Answered(bWrite);
    EXPECT_FALSE(twice.TakeAnswer()) << "first read";
    EXPECT_FALSE(twice.TakeAnswer()) << "first write, the second on its way";
    EXPECT_FALSE(twice.TakeAnswer()) << "second read";
    EXPECT_TRUE(twice.TakeAnswer()) << "second write";
    EXPECT_EQ(twice.GetWritesOnTheirWay(), 0u);

    // A change made after an answer went into the pipe, before it was taken:
    // the answer is older than the change.
    CFlagsWriteTracker late;
    late.Answered(false);
    late.WriteQueued();
    EXPECT_FALSE(late.TakeAnswer());
    late.Answered(false);
    late.Answered(true);
    EXPECT_FALSE(late.TakeAnswer());
    EXPECT_TRUE(late.TakeAnswer());
}

TEST(FlagsWriteTracker, AWriteDroppedUnansweredHoldsNothingBack)
{
    // The write failed (or was withdrawn) after its read was answered: the
    // read's answer is the unit's word again, and a count never goes below 0.
    CFlagsWriteTracker t;
    t.WriteQueued();
    t.Answered(false);
    t.WritesDropped(1);
    EXPECT_TRUE(t.TakeAnswer());
    t.WritesDropped(3);
    EXPECT_EQ(t.GetWritesOnTheirWay(), 0u);
    t.WriteQueued();
    EXPECT_EQ(t.GetWritesOnTheirWay(), 1u);
    EXPECT_FALSE(t.TakeAnswer());
}
