#include "device/link/LinkLog.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {
void CopyText(char (&szOut)[CLinkLog::TEXT_CHARS], std::string_view text)
{
    const std::size_t n = text.size() < CLinkLog::TEXT_CHARS - 1 ? text.size() : CLinkLog::TEXT_CHARS - 1;
    std::memcpy(szOut, text.data(), n);
    szOut[n] = '\0';
}

const char* EventName(CLinkLog::EEvent eEvent)
{
    switch (eEvent) {
    case CLinkLog::EEvent::Opened: return "link opened";
    case CLinkLog::EEvent::OpenFailed: return "link could not be opened";
    case CLinkLog::EEvent::Closed: return "link closed";
    case CLinkLog::EEvent::TimeOut: return "time-out";
    case CLinkLog::EEvent::Nack: return "refused (NACK)";
    case CLinkLog::EEvent::BadChecksum: return "checksum failure";
    case CLinkLog::EEvent::Resend: return "resend";
    case CLinkLog::EEvent::Failure: return "request failed, link given up (failure record)";
    case CLinkLog::EEvent::LateReply: return "late reply dropped";
    }
    return "?";
}

std::string LocalTime(std::uint64_t nTimeMs)
{
    const std::time_t t = static_cast<std::time_t>(nTimeMs / 1000);
    std::tm tm{};
#ifdef _WIN32
    if (localtime_s(&tm, &t) != 0)
        tm = std::tm{};
#else
    if (!localtime_r(&t, &tm))
        tm = std::tm{};
#endif
    char sz[40];
    std::snprintf(sz, sizeof sz, "%04d-%02d-%02d %02d:%02d:%02d.%03u", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<unsigned>(nTimeMs % 1000));
    return sz;
}
} // namespace

CLinkLog::CLinkLog(Clock pfnClock) : m_pfnClock(pfnClock ? pfnClock : &SystemClockMs), m_events(CAPACITY) {}

std::uint64_t CLinkLog::SystemClockMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

void CLinkLog::Push(SEvent& event)
{
    // Called with the lock held.
    event.nTimeMs = m_pfnClock();
    m_events[m_nNext] = event;
    m_nNext = (m_nNext + 1) % CAPACITY;
    ++m_nTotal;
}

void CLinkLog::LinkOpened(std::string_view entry)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nRequests.store(0, std::memory_order_relaxed);
    m_firmware.clear();
    m_entry = std::string(entry.substr(0, TEXT_CHARS - 1));
    SEvent event;
    event.eEvent = EEvent::Opened;
    CopyText(event.szText, entry);
    Push(event);
}

void CLinkLog::OpenFailed(std::string_view entry, std::uint32_t nStatus)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entry = std::string(entry.substr(0, TEXT_CHARS - 1));
    SEvent event;
    event.eEvent = EEvent::OpenFailed;
    event.nDetail = nStatus;
    CopyText(event.szText, entry);
    Push(event);
}

void CLinkLog::LinkClosed()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SEvent event;
    event.eEvent = EEvent::Closed;
    event.nRequests = m_nRequests.load(std::memory_order_relaxed);
    Push(event);
}

void CLinkLog::Add(EEvent eEvent, const SRequest& request, int nAttempt)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SEvent event;
    event.eEvent = eEvent;
    event.request = request;
    event.nAttempt = static_cast<std::uint8_t>(nAttempt < 0 ? 0 : nAttempt > 255 ? 255 : nAttempt);
    event.nRequests = m_nRequests.load(std::memory_order_relaxed);
    Push(event);
}

void CLinkLog::AddLateReply(const std::uint8_t (&bPacket)[16])
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SEvent event;
    event.eEvent = EEvent::LateReply;
    std::memcpy(event.bPacket, bPacket, sizeof bPacket);
    event.nRequests = m_nRequests.load(std::memory_order_relaxed);
    Push(event);
}

void CLinkLog::SetFirmwareRevision(std::string_view text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_firmware = std::string(text.substr(0, TEXT_CHARS - 1));
}

std::string CLinkLog::GetFirmwareRevision() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_firmware;
}

std::string CLinkLog::GetEntry() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entry;
}

std::vector<CLinkLog::SEvent> CLinkLog::Events(std::uint64_t* pnDropped) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<SEvent> out;
    const std::size_t nKept = m_nTotal < CAPACITY ? static_cast<std::size_t>(m_nTotal) : CAPACITY;
    out.reserve(nKept);
    const std::size_t nFirst = (m_nNext + CAPACITY - nKept) % CAPACITY;
    for (std::size_t i = 0; i < nKept; ++i)
        out.push_back(m_events[(nFirst + i) % CAPACITY]);
    if (pnDropped)
        *pnDropped = m_nTotal - nKept;
    return out;
}

std::string CLinkLog::DescribeRequest(const SRequest& r)
{
    char sz[120];
    switch (r.bKind) {
    case 0:
        std::snprintf(sz, sizeof sz, "GET channel %u parameter %u", r.bChannel, r.bParameter);
        break;
    case 1:
        std::snprintf(sz, sizeof sz, "SET channel %u parameter %u = %g", r.bChannel, r.bParameter,
                      static_cast<double>(r.fltValue));
        break;
    default:
        std::snprintf(sz, sizeof sz, "command %u (0x%08X, 0x%08X, 0x%08X)", r.bCommand, static_cast<unsigned>(r.dwIter),
                      static_cast<unsigned>(r.dwUWord), static_cast<unsigned>(r.dwLWord));
        break;
    }
    return sz;
}

std::string CLinkLog::FormatEvent(const SEvent& e)
{
    std::string line = LocalTime(e.nTimeMs);
    char sz[48];
    std::snprintf(sz, sizeof sz, "  req %-7llu ", static_cast<unsigned long long>(e.nRequests));
    line += sz;
    line += EventName(e.eEvent);
    switch (e.eEvent) {
    case EEvent::Opened:
        line += ": ";
        line += e.szText;
        break;
    case EEvent::OpenFailed:
        line += ": ";
        line += e.szText;
        std::snprintf(sz, sizeof sz, " (status %u)", static_cast<unsigned>(e.nDetail));
        line += sz;
        break;
    case EEvent::Closed:
        break;
    case EEvent::LateReply:
        line += ":";
        for (const std::uint8_t b : e.bPacket) {
            std::snprintf(sz, sizeof sz, " %02X", b);
            line += sz;
        }
        break;
    default:
        std::snprintf(sz, sizeof sz, ", attempt %u: ", e.nAttempt);
        line += sz;
        line += DescribeRequest(e.request);
        break;
    }
    return line;
}

std::string CLinkLog::Format(const std::vector<std::string>& header) const
{
    std::string text;
    for (const std::string& line : header)
        text += line + "\r\n";
    std::uint64_t nDropped = 0;
    const std::vector<SEvent> events = Events(&nDropped);
    char sz[96];
    std::snprintf(sz, sizeof sz, "Events: %zu kept (the last %zu)", events.size(), CAPACITY);
    text += sz;
    if (nDropped > 0) {
        std::snprintf(sz, sizeof sz, ", %llu older ones dropped", static_cast<unsigned long long>(nDropped));
        text += sz;
    }
    text += "\r\n\r\n";
    for (const SEvent& e : events)
        text += FormatEvent(e) + "\r\n";
    return text;
}
