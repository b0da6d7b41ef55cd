// The link log's ring: bounded, oldest first, the dropped ones counted, and
// its text (what support reads).
#include <gtest/gtest.h>

#include <string>

#include "device/link/LinkLog.h"

namespace {
std::uint64_t s_nNow = 0;
std::uint64_t FakeClock() { return s_nNow; }

CLinkLog::SRequest Get(std::uint8_t bChannel, std::uint8_t bParameter)
{
    CLinkLog::SRequest r;
    r.bKind = 0;
    r.bChannel = bChannel;
    r.bParameter = bParameter;
    return r;
}
} // namespace

TEST(LinkLog, KeepsTheLastEventsOldestFirstAndCountsTheDropped)
{
    CLinkLog log(&FakeClock);
    s_nNow = 1000;
    log.LinkOpened(std::string(500, 'e')); // an entry text is cut, never overruns
    const std::size_t nAdded = CLinkLog::CAPACITY + 499;
    for (std::size_t i = 0; i < nAdded; ++i) {
        ++s_nNow;
        log.CountRequest();
        log.Add(CLinkLog::EEvent::TimeOut, Get(static_cast<std::uint8_t>(i % 6), 7), 1);
    }
    std::uint64_t nDropped = 0;
    const std::vector<CLinkLog::SEvent> events = log.Events(&nDropped);
    ASSERT_EQ(events.size(), CLinkLog::CAPACITY);
    EXPECT_EQ(nDropped, 500u); // the "link opened" and the first 499 time-outs
    EXPECT_EQ(events.front().nRequests, 500u);
    EXPECT_EQ(events.back().nRequests, nAdded);
    for (std::size_t i = 1; i < events.size(); ++i)
        EXPECT_EQ(events[i].nTimeMs, events[i - 1].nTimeMs + 1);
    EXPECT_EQ(log.GetEntry().size(), CLinkLog::TEXT_CHARS - 1);

    const std::string text = log.Format({"Program: test"});
    EXPECT_EQ(text.rfind("Program: test\r\nEvents: 2000 kept (the last 2000), 500 older ones dropped\r\n\r\n", 0), 0u);
}

TEST(LinkLog, EventLinesNameTheRequestTheAttemptAndTheCount)
{
    CLinkLog log(&FakeClock);
    s_nNow = 86400000ull * 20000 + 1234; // some day, 1.234 s into it (UTC)
    log.LinkOpened("com:COM5 \"QVR500 USB\" COM5 (device 0)");
    log.SetFirmwareRevision("Firmware Revision 1.2");
    log.CountRequest();
    CLinkLog::SRequest set = Get(2, 23);
    set.bKind = 1;
    set.fltValue = 1200.0f;
    log.Add(CLinkLog::EEvent::Nack, set, 2);
    CLinkLog::SRequest raw;
    raw.bKind = 2;
    raw.bCommand = 1;
    raw.dwUWord = 0x90060000;
    log.CountRequest();
    log.Add(CLinkLog::EEvent::Failure, raw, 3);
    const std::uint8_t bReply[16] = {0x25, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0x5A};
    log.AddLateReply(bReply);
    log.LinkClosed();

    const std::vector<CLinkLog::SEvent> events = log.Events();
    ASSERT_EQ(events.size(), 5u);
    const std::string opened = CLinkLog::FormatEvent(events[0]);
    EXPECT_NE(opened.find(".234  req 0       link opened: com:COM5 \"QVR500 USB\" COM5 (device 0)"), std::string::npos)
        << opened;
    EXPECT_NE(CLinkLog::FormatEvent(events[1]).find("req 1       refused (NACK), attempt 2: SET channel 2 parameter 23 = 1200"),
              std::string::npos)
        << CLinkLog::FormatEvent(events[1]);
    EXPECT_NE(CLinkLog::FormatEvent(events[2]).find("req 2       request failed, link given up (failure record), attempt 3: "
                                                    "command 1 (0x00000000, 0x90060000, 0x00000000)"),
              std::string::npos)
        << CLinkLog::FormatEvent(events[2]);
    EXPECT_NE(CLinkLog::FormatEvent(events[3]).find("late reply dropped: 25 00 0B 00 00 00 00 00 00 00 00 04 00 00 00 5A"),
              std::string::npos);
    EXPECT_NE(CLinkLog::FormatEvent(events[4]).find("req 2       link closed"), std::string::npos);
    EXPECT_EQ(log.GetFirmwareRevision(), "Firmware Revision 1.2");

    // A new link starts the count again and forgets the old unit's firmware.
    log.LinkOpened("sim:u");
    EXPECT_EQ(log.GetFirmwareRevision(), "");
    log.CountRequest();
    log.Add(CLinkLog::EEvent::TimeOut, Get(0, 0), 1);
    EXPECT_EQ(log.Events().back().nRequests, 1u);
}
