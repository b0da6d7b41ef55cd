#include "model/TextMemoryReader.h"

#include <algorithm>
#include <bit>
#include <cstring>

void CTextMemoryReader::BeginDirectory()
{
    m_eState = EState::Directory;
    m_eDirectory = EDirectory::None;
    m_nDirectorySeen = 0;
    m_nSection = 0;
    m_nCount = 0;
    m_nSkippedMask = 0;
    std::fill(std::begin(m_adwStart), std::end(m_adwStart), 0u);
    std::fill(std::begin(m_adwLength), std::end(m_adwLength), 0u);
    m_mapRead.clear();
    // A new read-back tells afresh what the unit holds.
    m_bKnown = false;
}

void CTextMemoryReader::Abort()
{
    m_eState = EState::Idle;
    m_bKnown = false;
}

CTextMemoryReader::EDirectory CTextMemoryReader::CheckDirectory(
    const std::uint32_t (&adwDirectory)[TEXT_DIRECTORY_WORDS], std::uint32_t (&adwStart)[TEXT_SECTION_COUNT + 1],
    std::uint32_t (&adwLength)[TEXT_SECTION_COUNT + 1], unsigned& nSkippedMask)
{
    std::fill(std::begin(adwStart), std::end(adwStart), 0u);
    std::fill(std::begin(adwLength), std::end(adwLength), 0u);
    nSkippedMask = 0;
    if (adwDirectory[0] == TEXT_MEMORY_ERASED)
        return EDirectory::Erased;
    if (adwDirectory[0] != TEXT_DIRECTORY_WRITTEN)
        return EDirectory::Unreadable;

    // The end address bounds the texts when it lies in the text area itself.
    const std::uint64_t qwEndWord = adwDirectory[TEXT_DIRECTORY_END_WORD];
    const std::uint64_t qwLimit =
        (qwEndWord >= TEXT_AREA_START && qwEndWord <= TEXT_MEMORY_END) ? qwEndWord : TEXT_MEMORY_END;
    std::uint64_t qwPreviousEnd = TEXT_AREA_START;
    for (int n = 1; n <= TEXT_SECTION_COUNT; ++n) {
        const std::uint64_t qwStart = adwDirectory[TextSectionStartWord(n)];
        const std::uint64_t qwLength = adwDirectory[TextSectionLengthWord(n)];
        if (qwLength == 0)
            continue; // held empty: nothing to read
        const std::uint64_t qwEnd = qwStart + 4 * ((qwLength + 1) / 2);
        const bool bGood = qwLength <= TEXT_SECTION_MAX_UNITS && qwStart % 4 == 0 && qwStart >= qwPreviousEnd &&
                           qwEnd <= qwLimit;
        if (!bGood) {
            nSkippedMask |= 1u << (n - 1);
            continue;
        }
        adwStart[n] = static_cast<std::uint32_t>(qwStart);
        adwLength[n] = static_cast<std::uint32_t>(qwLength);
        qwPreviousEnd = qwEnd;
    }
    return EDirectory::Written;
}

int CTextMemoryReader::NextSection(int nAfter) const
{
    for (int n = nAfter + 1; n <= TEXT_SECTION_COUNT; ++n)
        if (m_adwLength[n] != 0)
            return n;
    return 0;
}

void CTextMemoryReader::StartSection(int nSection, SStep& step)
{
    m_eState = EState::Text;
    m_nSection = nSection;
    m_dwExpected = m_adwStart[nSection];
    m_nCount = 0;
    std::fill(std::begin(m_aBuffer), std::end(m_aBuffer), u'\0');
    step.nReadSection = nSection;
}

void CTextMemoryReader::Finish(SStep& step)
{
    step.bFinished = true;
    m_eState = EState::Idle;
    // Everything the directory names was read whole: the image is known.
    if (m_eDirectory == EDirectory::Written && m_nSkippedMask == 0) {
        m_bKnown = true;
        std::copy(std::begin(m_adwReadDirectory), std::end(m_adwReadDirectory), std::begin(m_adwKnownDirectory));
        m_mapKnown = m_mapRead;
    }
}

CTextMemoryReader::SStep CTextMemoryReader::OnWord(std::uint32_t dwAddress, std::uint32_t dwValue)
{
    SStep step;
    if (m_eState == EState::Directory) {
        // The directory is read in order: a word of another address is not
        // one of these replies.
        const unsigned nIndex = static_cast<unsigned>(std::popcount(m_nDirectorySeen));
        if (dwAddress != TEXT_MEMORY_START + 4u * nIndex)
            return step;
        m_adwReadDirectory[nIndex] = dwValue;
        g_adwTextDirectory[nIndex] = dwValue;
        m_nDirectorySeen |= 1u << nIndex;
        if (dwAddress != TEXT_DIRECTORY_LAST)
            return step;
        m_eDirectory = CheckDirectory(m_adwReadDirectory, m_adwStart, m_adwLength, m_nSkippedMask);
        if (m_eDirectory != EDirectory::Written) {
            Finish(step);
            return step;
        }
        // Sections the unit holds empty are empty texts of the unit.
        for (int n = 1; n <= TEXT_SECTION_COUNT; ++n)
            if (m_adwReadDirectory[TextSectionLengthWord(n)] == 0)
                step.nStoreMask |= 1u << (n - 1);
        const int nFirst = NextSection(0);
        if (nFirst == 0)
            Finish(step);
        else
            StartSection(nFirst, step);
        return step;
    }
    if (m_eState != EState::Text || dwAddress != m_dwExpected)
        return step;

    m_mapRead[dwAddress] = dwValue;
    m_dwExpected += 4;
    if (m_nCount + 2 <= TEXT_COLLECT_UNITS) {
        m_aBuffer[m_nCount] = static_cast<char16_t>(dwValue & 0xFFFF);
        m_aBuffer[m_nCount + 1] = static_cast<char16_t>(dwValue >> 16);
        m_nCount += 2;
    }
    const int nLength = static_cast<int>(m_adwLength[m_nSection]);
    if (m_nCount < nLength)
        return step;
    // The length is the text's; an odd length's extra unit is not part of it.
    std::copy(m_aBuffer, m_aBuffer + nLength, step.aszText[m_nSection - 1]);
    step.aszText[m_nSection - 1][nLength] = u'\0';
    step.nStoreMask |= 1u << (m_nSection - 1);
    const int nNext = NextSection(m_nSection);
    if (nNext == 0)
        Finish(step);
    else
        StartSection(nNext, step);
    return step;
}

void CTextMemoryReader::SetUnitImage(const STextMemoryImage& image)
{
    m_bKnown = true;
    std::copy(std::begin(image.adwDirectory), std::end(image.adwDirectory), std::begin(m_adwKnownDirectory));
    m_mapKnown.clear();
    std::uint32_t dwAddress = TEXT_AREA_START;
    for (std::uint32_t dw : image.adwText) {
        m_mapKnown[dwAddress] = dw;
        dwAddress += 4;
    }
}

bool CTextMemoryReader::UnitHolds(const STextMemoryImage& image) const
{
    if (!m_bKnown || !std::equal(std::begin(image.adwDirectory), std::end(image.adwDirectory),
                                 std::begin(m_adwKnownDirectory)))
        return false;
    std::uint32_t dwAddress = TEXT_AREA_START;
    for (std::uint32_t dw : image.adwText) {
        const auto it = m_mapKnown.find(dwAddress);
        if (it == m_mapKnown.end() || it->second != dw)
            return false;
        dwAddress += 4;
    }
    return true;
}
