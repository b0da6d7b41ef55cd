#pragma once
// CLinkLog: what went wrong on the link, for support.  The queue engine adds
// an event when a link opens or closes, for each time-out, refusal (NACK)
// and checksum failure with the request it hit and the attempt, for each
// resend, for each failure record and for each reply that arrived when none
// was awaited.  Successful exchanges add nothing: the engine only counts its
// requests.  The last CAPACITY events are kept, in memory only.
//
// Thread-safe: the worker and the receive thread add, the user interface
// reads.  Portable: no Windows headers.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class CLinkLog {
public:
    static constexpr std::size_t CAPACITY = 2000;
    static constexpr std::size_t TEXT_CHARS = 160; // the entry text of an open or close, cut

    enum class EEvent : std::uint8_t {
        Opened,      // text: the device entry
        OpenFailed,  // text: the device entry; nDetail: the link library's status
        Closed,
        TimeOut,     // request, attempt
        Nack,        // request, attempt
        BadChecksum, // request, attempt
        Resend,      // request, the attempt it starts
        Failure,     // request, its last attempt: the queue was emptied
        LateReply,   // packet: a reply that no request awaited, dropped
    };

    // A request as the queue holds it.
    struct SRequest {
        std::uint8_t bKind = 0; // 0 GET, 1 SET, 2 raw command
        std::uint8_t bChannel = 0;
        std::uint8_t bParameter = 0;
        float fltValue = 0.0f;
        std::uint8_t bCommand = 0; // raw commands
        std::uint32_t dwIter = 0, dwUWord = 0, dwLWord = 0;
    };

    struct SEvent {
        std::uint64_t nTimeMs = 0;   // milliseconds since 1970-01-01 UTC
        std::uint64_t nRequests = 0; // requests handled since the link opened
        EEvent eEvent = EEvent::Opened;
        std::uint8_t nAttempt = 0;
        std::uint32_t nDetail = 0;
        SRequest request;
        std::uint8_t bPacket[16] = {};
        char szText[TEXT_CHARS] = {};
    };

    using Clock = std::uint64_t (*)();
    explicit CLinkLog(Clock pfnClock = &SystemClockMs);

    // The link opened to (or could not be opened to) entry; the request
    // count starts again.
    void LinkOpened(std::string_view entry);
    void OpenFailed(std::string_view entry, std::uint32_t nStatus);
    void LinkClosed();
    void Add(EEvent eEvent, const SRequest& request, int nAttempt);
    void AddLateReply(const std::uint8_t (&bPacket)[16]);
    // One request handed to the link (the worker's thread only: a plain
    // store, no lock, no locked instruction).
    void CountRequest() { m_nRequests.store(m_nRequests.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed); }

    // The unit's firmware revision as the program shows it, once a reply
    // told it; forgotten when the next link opens.
    void SetFirmwareRevision(std::string_view text);
    std::string GetFirmwareRevision() const;
    // The entry of the link opened last (empty when none was).
    std::string GetEntry() const;

    // The kept events, oldest first, and how many older ones were dropped.
    std::vector<SEvent> Events(std::uint64_t* pnDropped = nullptr) const;

    // One line per event (without line break), e.g.
    // "2026-12-07 21:34:05.123  req 152  time-out, attempt 1: GET channel 2 parameter 23".
    static std::string FormatEvent(const SEvent& event);
    static std::string DescribeRequest(const SRequest& request);
    // The whole log as text with CR LF line breaks: the header lines, then
    // the events.
    std::string Format(const std::vector<std::string>& header) const;

    static std::uint64_t SystemClockMs();

private:
    void Push(SEvent& event);

    Clock m_pfnClock;
    mutable std::mutex m_mutex;
    std::vector<SEvent> m_events; // ring of CAPACITY, allocated once
    std::size_t m_nNext = 0;      // where the next event goes
    std::uint64_t m_nTotal = 0;   // events ever added
    std::atomic<std::uint64_t> m_nRequests{0};
    std::string m_firmware;
    std::string m_entry;
};
