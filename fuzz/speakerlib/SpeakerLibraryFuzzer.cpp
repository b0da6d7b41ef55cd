// libFuzzer target for the speaker library reader and the preset checks.
// Besides the sanitizers it checks what the rest of the program relies on:
// listed names are non-empty single lines of at most 63 units and distinct
// ignoring case, and a preset that is usable only ever sets values the
// editor's fields accept (checked on the writes it queues to the unit).

#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/CommandSink.h"
#include "model/FieldRanges.h"
#include "model/ParameterMap.h"
#include "speakerlib/SpeakerLibrary.h"
#include "speakerlib/SpeakerPreset.h"

namespace {

constexpr std::size_t MAX_SECTIONS_CHECKED = 64; // keeps each run short

int g_nMode = MODE_TRIAMP;

class CCheckingSink : public ICommandSink {
public:
    bool QueueRequest(bool set, std::uint8_t channel, std::uint8_t parameter, float value) override
    {
        if (!set || channel != CHANNEL_LEFT)
            std::abort();
        for (int f = 0; f < FIELD_COUNT; ++f) {
            const auto field = static_cast<EChannelField>(f);
            if (ParameterForField(field, CHANNEL_LEFT) != parameter)
                continue;
            CFieldRanges::SRange r;
            if (field == FIELD_HP_Q) {
                if (value != 0.707f && value != 2.0f)
                    std::abort();
            } else if (CFieldRanges::Get(field, g_nMode, r) && !(value >= r.fltMin && value <= r.fltMax)) {
                std::abort();
            }
        }
        return true;
    }
    bool QueueRequestBits(bool, std::uint8_t, std::uint8_t, std::uint32_t) override
    {
        std::abort(); // presets carry no flag words
    }
    bool QueueCommand(std::uint8_t, std::uint32_t, std::uint32_t, std::uint32_t) override { return true; }
};

CCheckingSink g_sink;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SetCommandSink(&g_sink);
    CSpeakerLibrary lib;
    if (lib.Load(data, size) != CSpeakerLibrary::ELoad::Ok) {
        if (!lib.Sections().empty())
            std::abort();
        return 0;
    }
    const auto& names = lib.Sections();
    for (std::size_t i = 0; i < names.size() && i < MAX_SECTIONS_CHECKED; ++i) {
        const std::u16string& name = names[i];
        if (name.empty() || name.size() > CSpeakerLibrary::MAX_NAME_UNITS ||
            name.find_first_of(u"\r\n") != std::u16string::npos || !lib.HasSection(name))
            std::abort();
        for (std::size_t j = 0; j < i; ++j)
            if (CChannelConfig::NamesEqualNoCase(name.c_str(), names[j].c_str()))
                std::abort();
        const int nBands = CSpeakerPreset::BandsOf(lib, name);
        if (nBands != 0 && nBands != MODE_BIAMP && nBands != MODE_TRIAMP)
            std::abort();
        for (int nMode : {MODE_BIAMP, MODE_TRIAMP}) {
            CSpeakerPreset preset;
            preset.Read(lib, name, nMode);
            const std::u16string text = preset.DescribeFault();
            if (preset.Usable() != text.empty())
                std::abort();
            // Apply with sending on to a record that differs in every field,
            // so every value the preset sets is queued and checked.
            g_nMode = nMode;
            CChannelConfig cfg(CHANNEL_LEFT);
            cfg.SetMode(nMode);
            for (int f = 0; f < FIELD_COUNT; ++f)
                if (!GetChannelFieldInfo(static_cast<EChannelField>(f)).bFlags)
                    SetChannelFieldBits(cfg, static_cast<EChannelField>(f), FloatToBits(-12345.0f), false, false);
            preset.ApplyTo(cfg, true);
            if (preset.Usable() && !CChannelConfig::SameSpeakerName(cfg.GetSpeakerNameRaw(), name.c_str()))
                std::abort();
        }
    }
    SetCommandSink(nullptr);
    return 0;
}
