#include "device/records/UnitReadPlan.h"

#include "model/ChannelConfig.h"
#include "model/ParameterMap.h"
#include "model/TextMemory.h"

static_assert(CUnitReadPlan::SECTION_COUNT == TEXT_SECTION_COUNT + 1, "the directory is section 0");

std::vector<CUnitReadPlan::SRead> CUnitReadPlan::Channel(int nChannel, int nMode)
{
    std::vector<SRead> reads;
    // A channel outside 0..5 addresses nothing.
    if (nChannel < 0 || nChannel >= CHANNEL_COUNT)
        return reads;
    // The parameter map holds which outputs belong to the channel.
    const ReadChannelPlan plan = GetReadChannelPlan(nChannel, nMode);
    for (int i = 0; i < plan.nParameters; ++i)
        reads.push_back({false, plan.parameters[i], 0});
    for (int i = 0; i < plan.nOutputs; ++i)
        reads.push_back({true, 0, plan.outputs[i]});
    return reads;
}

void CUnitReadPlan::SetSectionTable(const std::uint32_t adwStart[SECTION_COUNT],
                                    const std::uint32_t adwLength[SECTION_COUNT])
{
    for (int i = 1; i < SECTION_COUNT; ++i) {
        m_adwStart[i] = adwStart[i];
        m_adwLength[i] = adwLength[i];
    }
}

void CUnitReadPlan::SetSectionTableFromDirectory(const std::uint32_t adwDirectory[21])
{
    for (int i = 1; i < SECTION_COUNT; ++i) {
        m_adwStart[i] = adwDirectory[2 * i - 1];
        m_adwLength[i] = adwDirectory[2 * i];
    }
}

std::vector<std::uint32_t> CUnitReadPlan::MemoryWords(int& nSection) const
{
    std::uint32_t dwStart = 0;
    std::uint32_t dwBytes = 0;
    if (nSection <= 0) {
        dwStart = TEXT_MEMORY_START;
        dwBytes = 4 * TEXT_DIRECTORY_WORDS;
    } else {
        while (nSection < SECTION_COUNT - 1 && m_adwLength[nSection] == 0)
            ++nSection;
        if (nSection >= SECTION_COUNT || m_adwLength[nSection] == 0)
            return {};
        dwStart = m_adwStart[nSection];
        // Two bytes per UTF-16 unit, held in 8 bits.
        dwBytes = static_cast<std::uint8_t>(2 * m_adwLength[nSection]);
    }
    std::vector<std::uint32_t> words;
    for (std::uint32_t dwOffset = 0; dwOffset < dwBytes; dwOffset += 4)
        words.push_back(dwStart + dwOffset);
    return words;
}
