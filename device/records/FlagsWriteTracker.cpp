#include "device/records/FlagsWriteTracker.h"

void CFlagsWriteTracker::WriteQueued()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nWritesOnTheirWay;
}

void CFlagsWriteTracker::WritesDropped(std::size_t nCount)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nWritesOnTheirWay -= nCount < m_nWritesOnTheirWay ? nCount : m_nWritesOnTheirWay;
}

void CFlagsWriteTracker::Answered(bool bWrite)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Code without a flags handler (the command-line tool's sessions) never
    // takes its answers: keep the newest, a bounded number.
    if (m_answers.size() >= MAX_UNTAKEN_ANSWERS)
        m_answers.pop_front();
    m_answers.push_back(bWrite);
}

bool CFlagsWriteTracker::TakeAnswer()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_answers.empty())
        return m_nWritesOnTheirWay == 0;
    const bool bWrite = m_answers.front();
    m_answers.pop_front();
    // A write's own answer leaves the count before the judgement: it tells
    // of the word as that write left it.
    if (bWrite && m_nWritesOnTheirWay > 0)
        --m_nWritesOnTheirWay;
    return m_nWritesOnTheirWay == 0;
}

std::size_t CFlagsWriteTracker::GetWritesOnTheirWay() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nWritesOnTheirWay;
}
