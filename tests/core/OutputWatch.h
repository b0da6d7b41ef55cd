#pragma once
// Watches the writes a change of several values sends, one at a time, as
// the unit receives them, and checks the promise of their order: no band
// output is ever louder than both its value before and after the change,
// and no high-pass in the band's path stands lower than at both ends while
// the output is louder than at the end.  Outputs are compared in dB as the
// unit takes them (level plus band gain); Triamp, all six channels.

#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>

#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/FieldRanges.h"
#include "model/ParameterMap.h"

class COutputWatch {
public:
    // apBefore / apAfter: the six records before and after the change.
    COutputWatch(const CChannelConfig* const* apBefore, const CChannelConfig* const* apAfter)
    {
        for (int c = 0; c < CHANNEL_COUNT; ++c) {
            for (EBand band : {BAND_LOW, BAND_MID, BAND_HIGH}) {
                std::uint32_t dwAddress = 0;
                if (!FindOutputAddress(c, band, false, &dwAddress))
                    continue;
                SBand& b = m_bands[dwAddress];
                b.nChannel = c;
                b.band = band;
                b.fltBefore = OutputOf(*apBefore[c], band);
                b.fltAfter = OutputOf(*apAfter[c], band);
                b.fltNow = b.fltBefore;
            }
            for (EChannelField f : {FIELD_HP_FREQ, FIELD_MID_HP_FREQ, FIELD_HIGH_HP_FREQ}) {
                const int p = ParameterForField(f, c);
                if (p == PARAMETER_NONE)
                    continue;
                SHighPass& h = m_highPasses[{c, p}];
                h.fltBefore = GetChannelFieldFloat(*apBefore[c], f);
                h.fltAfter = GetChannelFieldFloat(*apAfter[c], f);
                h.fltNow = h.fltBefore;
                h.eField = f;
            }
        }
    }

    // One write as the unit received it.
    void OnOutput(std::uint32_t dwAddress, float fltDb)
    {
        auto it = m_bands.find(dwAddress);
        if (it != m_bands.end())
            it->second.fltNow = fltDb;
        Check();
    }
    void OnParameter(int nChannel, int nParameter, float v)
    {
        auto it = m_highPasses.find({nChannel, nParameter});
        if (it != m_highPasses.end())
            it->second.fltNow = v;
        Check();
    }

    // The first broken promise ("" when none), and whether every output
    // ended at its value after the change.
    const std::string& Fault() const { return m_fault; }
    bool AllAtTheEnd() const
    {
        for (const auto& [dwAddress, b] : m_bands)
            if (b.fltNow != b.fltAfter)
                return false;
        return true;
    }

    static float OutputOf(const CChannelConfig& cfg, EBand band)
    {
        const float g = band == BAND_LOW ? cfg.GetLowGain() : band == BAND_MID ? cfg.GetMidGain() : cfg.GetHighGain();
        return OutputGainValue(g, cfg.GetLevel());
    }

private:
    struct SBand {
        int nChannel = 0;
        EBand band = BAND_LOW;
        float fltBefore = 0, fltAfter = 0, fltNow = 0;
    };
    struct SHighPass {
        EChannelField eField = FIELD_NONE;
        float fltBefore = 0, fltAfter = 0, fltNow = 0;
    };

    bool InPath(EChannelField eField, EBand band) const
    {
        return eField == FIELD_HP_FREQ || (eField == FIELD_MID_HP_FREQ && band == BAND_MID) ||
               (eField == FIELD_HIGH_HP_FREQ && band == BAND_HIGH);
    }

    void Check()
    {
        ++m_nWrites;
        if (!m_fault.empty())
            return;
        for (const auto& [dwAddress, b] : m_bands) {
            const float fltMax = b.fltBefore > b.fltAfter ? b.fltBefore : b.fltAfter;
            if (b.fltNow > fltMax) {
                m_fault = "write " + std::to_string(m_nWrites) + ": channel " + std::to_string(b.nChannel) +
                          " band " + std::to_string(b.band) + " output " + std::to_string(b.fltNow) +
                          " dB, before " + std::to_string(b.fltBefore) + ", after " + std::to_string(b.fltAfter);
                return;
            }
            for (const auto& [key, h] : m_highPasses) {
                if (key.first != b.nChannel || !InPath(h.eField, b.band))
                    continue;
                const float fltLowest = h.fltBefore < h.fltAfter ? h.fltBefore : h.fltAfter;
                // The high-pass at its lower end (reached from above) with an output still above its end.
                if (h.fltNow <= fltLowest && h.fltNow < h.fltBefore && b.fltNow > b.fltAfter) {
                    m_fault = "write " + std::to_string(m_nWrites) + ": channel " + std::to_string(b.nChannel) +
                              " high-pass " + GetChannelFieldInfo(h.eField).pszName + " lowered to " +
                              std::to_string(h.fltNow) + " Hz while band " + std::to_string(b.band) + " plays " +
                              std::to_string(b.fltNow) + " dB, above its end " + std::to_string(b.fltAfter);
                    return;
                }
            }
        }
    }

    std::map<std::uint32_t, SBand> m_bands;
    std::map<std::pair<int, int>, SHighPass> m_highPasses;
    std::string m_fault;
    int m_nWrites = 0;
};

// A record with every value drawn inside the editor's Triamp ranges (the
// level over its slider's -22..8 dB, Q 0.707), bands muted now and then.
inline void RandomiseRecord(CChannelConfig& cfg, std::mt19937& rng)
{
    auto pick = [&](float lo, float hi) {
        const float v = std::round(std::uniform_real_distribution<float>(lo, hi)(rng) * 2.0f) / 2.0f;
        return v < lo ? lo : v > hi ? hi : v;
    };
    for (int f = 0; f < FIELD_COUNT; ++f) {
        const auto eField = static_cast<EChannelField>(f);
        if (GetChannelFieldInfo(eField).bFlags) {
            SetChannelFieldBits(cfg, eField, (rng() & 1) ? BAND_FLAG_MUTE : 0u, false, false);
            continue;
        }
        CFieldRanges::SRange r{-22.0f, 8.0f};
        if (eField == FIELD_HP_Q)
            r = {0.707f, 0.707f};
        else if (eField != FIELD_LEVEL && !CFieldRanges::GetEditorRange(eField, MODE_TRIAMP, r))
            continue;
        SetChannelFieldBits(cfg, eField, FloatToBits(eField == FIELD_HP_Q ? 0.707f : pick(r.fltMin, r.fltMax)),
                            false, false);
    }
}
