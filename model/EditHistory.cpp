#include "model/EditHistory.h"

#include "model/ChannelFields.h"
#include "model/WriteOrder.h"

namespace {

std::u16string ProfileText(const CProfileInfo& profile, CEditHistory::ETextItem eItem)
{
    switch (eItem) {
    case CEditHistory::TEXT_PROJECT: return profile.Project();
    case CEditHistory::TEXT_THEATER: return profile.Theater();
    case CEditHistory::TEXT_SCREEN: return profile.Screen();
    default: return profile.Comments();
    }
}

void SetProfileText(CProfileInfo& profile, CEditHistory::ETextItem eItem, const char16_t* psz)
{
    switch (eItem) {
    case CEditHistory::TEXT_PROJECT: profile.SetProject(psz); break;
    case CEditHistory::TEXT_THEATER: profile.SetTheater(psz); break;
    case CEditHistory::TEXT_SCREEN: profile.SetScreen(psz); break;
    default: profile.SetComments(psz); break;
    }
}

} // namespace

bool CEditHistory::SStep::Touches(int nChannel) const
{
    for (const SValueChange& v : aValues)
        if (v.nChannel == nChannel)
            return true;
    for (const STextChange& t : aTexts)
        if (t.nChannel == nChannel)
            return true;
    return false;
}

std::size_t CEditHistory::SStep::Bytes() const
{
    std::size_t n = sizeof(SStep) + aValues.capacity() * sizeof(SValueChange) + aTexts.capacity() * sizeof(STextChange);
    for (const STextChange& t : aTexts) {
        // Texts longer than the string's own small buffer live on the heap.
        if (t.strBefore.capacity() > std::u16string().capacity())
            n += (t.strBefore.capacity() + 1) * sizeof(char16_t);
        if (t.strAfter.capacity() > std::u16string().capacity())
            n += (t.strAfter.capacity() + 1) * sizeof(char16_t);
    }
    return n;
}

CEditHistory::SStep CEditHistory::Diff(const CConfigImage& before, const CConfigImage& after, int nWhat)
{
    SStep step;
    step.nWhat = nWhat;
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        const CChannelConfig& a = before.Channel(c);
        const CChannelConfig& b = after.Channel(c);
        for (int f = 0; f < FIELD_COUNT; ++f) {
            const auto eField = static_cast<EChannelField>(f);
            const std::uint32_t dwA = GetChannelFieldBits(a, eField);
            const std::uint32_t dwB = GetChannelFieldBits(b, eField);
            if (dwA != dwB)
                step.aValues.push_back({static_cast<std::int8_t>(c), static_cast<std::int8_t>(f), dwA, dwB});
        }
        // A name that differs only in case is the same name to the record.
        if (!CChannelConfig::NamesEqualNoCase(a.GetSpeakerNameRaw(), b.GetSpeakerNameRaw()))
            step.aTexts.push_back({static_cast<std::int8_t>(c), TEXT_SPEAKER, a.GetSpeakerNameRaw(), b.GetSpeakerNameRaw()});
    }
    for (ETextItem eItem : {TEXT_PROJECT, TEXT_THEATER, TEXT_SCREEN, TEXT_COMMENTS}) {
        std::u16string strA = ProfileText(before.Profile(), eItem);
        std::u16string strB = ProfileText(after.Profile(), eItem);
        if (strA != strB)
            step.aTexts.push_back({-1, eItem, std::move(strA), std::move(strB)});
    }
    step.aValues.shrink_to_fit();
    step.aTexts.shrink_to_fit();
    return step;
}

bool CEditHistory::Apply(const SStep& step, bool bUndo, CChannelConfig* const apChannels[CHANNEL_COUNT],
                         CProfileInfo& profile)
{
    // A step of several values goes out as any change of several values
    // does: nothing on the way louder than both ends.
    std::vector<CWriteOrder::SWrite> writes;
    for (const SValueChange& v : step.aValues) {
        if (v.nChannel < 0 || v.nChannel >= CHANNEL_COUNT || v.nField < 0 || v.nField >= FIELD_COUNT)
            continue;
        writes.push_back({apChannels[v.nChannel], static_cast<EChannelField>(v.nField), bUndo ? v.dwBefore : v.dwAfter});
    }
    CWriteOrder::Apply(writes, true, false);
    bool bTexts = false;
    for (const STextChange& t : step.aTexts) {
        const std::u16string& str = bUndo ? t.strBefore : t.strAfter;
        if (t.eItem == TEXT_SPEAKER) {
            if (t.nChannel >= 0 && t.nChannel < CHANNEL_COUNT)
                apChannels[t.nChannel]->SetSpeakerName(str.c_str());
        } else {
            SetProfileText(profile, t.eItem, str.c_str());
        }
        bTexts = true;
    }
    return bTexts;
}

void CEditHistory::Clear()
{
    m_aSteps.clear();
    m_nPosition = 0;
    m_nOpenWhat = NOTHING;
}

void CEditHistory::Begin(int nWhat, const CConfigImage& current)
{
    if (m_nOpenWhat == nWhat && nWhat != NOTHING)
        return; // the same gesture goes on
    End(current);
    m_nOpenWhat = nWhat;
    m_imageAtBegin = current;
}

void CEditHistory::End(const CConfigImage& current)
{
    if (m_nOpenWhat == NOTHING)
        return;
    SStep step = Diff(m_imageAtBegin, current, m_nOpenWhat);
    m_nOpenWhat = NOTHING;
    if (step.Empty())
        return;
    // A new step ends the steps that could have been redone.
    m_aSteps.erase(m_aSteps.begin() + static_cast<std::ptrdiff_t>(m_nPosition), m_aSteps.end());
    m_aSteps.push_back(std::move(step));
    if (m_aSteps.size() > MAX_STEPS)
        m_aSteps.pop_front();
    m_nPosition = m_aSteps.size();
}

int CEditHistory::UndoWhat(const CConfigImage& current) const
{
    if (m_nOpenWhat != NOTHING && !Diff(m_imageAtBegin, current, m_nOpenWhat).Empty())
        return m_nOpenWhat;
    return m_nPosition > 0 ? m_aSteps[m_nPosition - 1].nWhat : NOTHING;
}

int CEditHistory::RedoWhat(const CConfigImage& current) const
{
    // An open gesture that changed something will drop what could be redone.
    if (m_nOpenWhat != NOTHING && !Diff(m_imageAtBegin, current, m_nOpenWhat).Empty())
        return NOTHING;
    return m_nPosition < m_aSteps.size() ? m_aSteps[m_nPosition].nWhat : NOTHING;
}

const CEditHistory::SStep* CEditHistory::Undo(const CConfigImage& current)
{
    End(current);
    if (m_nPosition == 0)
        return nullptr;
    --m_nPosition;
    return &m_aSteps[m_nPosition];
}

const CEditHistory::SStep* CEditHistory::Redo(const CConfigImage& current)
{
    End(current);
    if (m_nPosition >= m_aSteps.size())
        return nullptr;
    return &m_aSteps[m_nPosition++];
}

std::size_t CEditHistory::Bytes() const
{
    std::size_t n = 0;
    for (const SStep& s : m_aSteps)
        n += s.Bytes();
    return n;
}
