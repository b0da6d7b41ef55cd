// libFuzzer target for the configuration file reader and its check.
// Besides the sanitizers it checks that no request ever addresses a channel
// outside 0..5, that a file read through the gate the program's Open uses
// (no value that is not finite) leaves no such value in any record and sends
// none, and that what was read survives a write and a second read unchanged.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/ConfigFile.h"
#include "files/MemoryStream.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/CommandSink.h"
#include "model/ParameterMap.h"
#include "model/ProfileInfo.h"

namespace {

class CCheckingSink : public ICommandSink {
public:
    bool QueueRequest(bool, std::uint8_t channel, std::uint8_t parameter, float v) override
    {
        Check(channel, parameter);
        if (m_bFiniteOnly && !std::isfinite(v))
            std::abort();
        return true;
    }
    bool QueueRequestBits(bool, std::uint8_t channel, std::uint8_t parameter, std::uint32_t) override
    {
        Check(channel, parameter);
        return true;
    }
    bool QueueCommand(std::uint8_t command, std::uint32_t, std::uint32_t uword, std::uint32_t) override
    {
        if (command == CMD_WRITE_OUTPUT && ((uword & 0xFF) > 3 || ((uword >> 8) & 0xFF) > 3 || (uword >> 16) != 0))
            std::abort(); // output address outside the 16 outputs
        return true;
    }

    bool m_bFiniteOnly = false;

private:
    static void Check(std::uint8_t channel, std::uint8_t parameter)
    {
        if (channel >= CHANNEL_COUNT || parameter >= PARAMETER_COUNT)
            std::abort();
    }
};

struct Set {
    CChannelConfig ch[CHANNEL_COUNT] = {CChannelConfig(0), CChannelConfig(1), CChannelConfig(2),
                                        CChannelConfig(3), CChannelConfig(4), CChannelConfig(5)};
    CProfileInfo profile;
};

bool SameRecords(const Set& a, const Set& b)
{
    for (int i = 0; i < CHANNEL_COUNT; ++i) {
        if (a.ch[i].GetChannel() != b.ch[i].GetChannel())
            return false;
        if (std::memcmp(a.ch[i].GetSpeakerNameRaw(), b.ch[i].GetSpeakerNameRaw(),
                        sizeof(char16_t) * SPEAKER_NAME_UNITS) != 0)
            return false;
        for (int f = 0; f < FIELD_COUNT; ++f)
            if (GetChannelFieldBits(a.ch[i], static_cast<EChannelField>(f)) !=
                GetChannelFieldBits(b.ch[i], static_cast<EChannelField>(f)))
                return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static CCheckingSink sink;
    SetCommandSink(&sink);
    // A byte past the end of the file (which the reader ignores) picks the
    // system mode, the gate and reset.
    const std::uint8_t sel = size > CConfigFile::FILE_BYTES ? data[CConfigFile::FILE_BYTES] : 0;
    SetSystemFlags((sel & 0x40) ? SYSFLAG_BIAMP : 0, false);

    const int nMode = (sel & 0x40) ? MODE_BIAMP : MODE_TRIAMP;
    const bool bGated = (sel & 0x20) != 0;
    CConfigFile::Gate gate;
    if (bGated)
        gate = [nMode](const std::uint8_t* p, std::size_t cb) {
            for (const CConfigCheck::SFinding& f : CConfigFile::Check(p, cb, nMode))
                if (f.bNonFinite)
                    return false;
            return true;
        };

    Set a;
    CMemoryStream in(data, size);
    sink.m_bFiniteOnly = bGated;
    const ConfigResult r = CConfigFile::Read(in, a.ch, &a.profile, (sel & 0x80) != 0, gate);
    sink.m_bFiniteOnly = false;
    if (!r.Ok())
        return 0;
    if (bGated)
        for (const CChannelConfig& c : a.ch)
            for (int f = 0; f < FIELD_COUNT; ++f) {
                const auto field = static_cast<EChannelField>(f);
                if (!GetChannelFieldInfo(field).bFlags && !std::isfinite(GetChannelFieldFloat(c, field)))
                    std::abort();
            }

    CMemoryStream out;
    if (!CConfigFile::Write(out, a.ch, nullptr, false).Ok() || out.Data().size() != CConfigFile::FILE_BYTES)
        std::abort();
    Set b;
    CMemoryStream again(out.Data());
    if (!CConfigFile::Read(again, b.ch, &b.profile, false).Ok() || !SameRecords(a, b))
        std::abort();
    return 0;
}
