#include "model/TextMemory.h"

#include <algorithm>
#include <cstring>

#include "model/ChannelConfig.h"
#include "model/ProfileInfo.h"

std::uint32_t g_adwTextDirectory[TEXT_DIRECTORY_WORDS] = {};

namespace {
constexpr int s_anSectionUnits[TEXT_SECTION_COUNT] = {
    PROFILE_PROJECT_UNITS, PROFILE_THEATER_UNITS, PROFILE_SCREEN_UNITS, PROFILE_COMMENTS_UNITS,
    SPEAKER_NAME_UNITS,    SPEAKER_NAME_UNITS,    SPEAKER_NAME_UNITS,   SPEAKER_NAME_UNITS,
    SPEAKER_NAME_UNITS,
};
static_assert(PROFILE_COMMENTS_UNITS <= TEXT_COLLECT_UNITS, "every text fits the collection buffer");
} // namespace

std::uint32_t PackTextUnits(char16_t uLow, char16_t uHigh)
{
    return static_cast<std::uint32_t>(uLow) | (static_cast<std::uint32_t>(uHigh) << 16);
}

bool STextMemoryImage::operator==(const STextMemoryImage& o) const
{
    return std::equal(std::begin(adwDirectory), std::end(adwDirectory), std::begin(o.adwDirectory)) &&
           adwText == o.adwText;
}

int CTextMemory::SectionUnits(int nSection)
{
    return nSection >= 1 && nSection <= TEXT_SECTION_COUNT ? s_anSectionUnits[nSection - 1] : 0;
}

void CTextMemory::CollectTexts(const CProfileInfo& profile,
                               const CChannelConfig* const apChannels[TEXT_NAME_SECTIONS], STexts& texts)
{
    texts = STexts{};
    profile.GetProject(texts.aszText[0], 2 * PROFILE_PROJECT_UNITS);
    profile.GetTheater(texts.aszText[1], 2 * PROFILE_THEATER_UNITS);
    profile.GetScreen(texts.aszText[2], 2 * PROFILE_SCREEN_UNITS);
    profile.GetComments(texts.aszText[3], 2 * PROFILE_COMMENTS_UNITS);
    for (int i = 0; i < TEXT_NAME_SECTIONS; ++i)
        if (apChannels[i])
            apChannels[i]->GetSpeakerName(texts.aszText[TEXT_FIRST_NAME_SECTION - 1 + i], 2 * SPEAKER_NAME_UNITS);
}

void CTextMemory::Build(const STexts& texts, STextMemoryImage& image)
{
    image = STextMemoryImage{};
    image.adwDirectory[0] = TEXT_DIRECTORY_WRITTEN;
    std::uint32_t dwAddress = TEXT_AREA_START;
    for (int nSection = 1; nSection <= TEXT_SECTION_COUNT; ++nSection) {
        const char16_t* psz = texts.aszText[nSection - 1];
        const int nMax = SectionUnits(nSection) - 1;
        int nLength = 0;
        while (nLength < nMax && psz[nLength])
            ++nLength;
        image.adwDirectory[TextSectionLengthWord(nSection)] = static_cast<std::uint32_t>(nLength);
        if (nSection != 1 || nLength != 0)
            image.adwDirectory[TextSectionStartWord(nSection)] = dwAddress;
        for (int k = 0; k < nLength; k += 2) {
            const char16_t uHigh = k + 1 < nLength ? psz[k + 1] : u'\0';
            image.adwText.push_back(PackTextUnits(psz[k], uHigh));
            dwAddress += 4;
        }
    }
    image.adwDirectory[TEXT_DIRECTORY_END_WORD] = dwAddress;
    image.adwDirectory[TEXT_DIRECTORY_END_WORD + 1] = 0;
}
