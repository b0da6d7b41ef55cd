#include "device/link/LinkTimeline.h"

#include <algorithm>

std::atomic<CLinkTimeline*> CLinkTimeline::s_pActive{nullptr};

void CLinkTimeline::Stamp(EPoint ePoint)
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    // One exchange at a time is on the line, so each point belongs to the
    // exchange opened last.
    const std::size_t nOpen = ePoint == SEND_BEGIN ? m_nOpen.fetch_add(1) + 1 : m_nOpen.load();
    if (nOpen == 0 || nOpen > m_exchanges.size())
        return;
    LONGLONG& at = m_exchanges[nOpen - 1].at[ePoint];
    if (at == 0)
        at = now.QuadPart;
}

std::vector<CLinkTimeline::SExchange> CLinkTimeline::Exchanges() const
{
    const std::size_t n = std::min(m_nOpen.load(), m_exchanges.size());
    return std::vector<SExchange>(m_exchanges.begin(), m_exchanges.begin() + static_cast<std::ptrdiff_t>(n));
}
