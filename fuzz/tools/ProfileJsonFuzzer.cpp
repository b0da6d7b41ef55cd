// libFuzzer target for qvrtool's profile file reader.  Besides the
// sanitizers it checks that whatever is accepted, once applied to a
// profile, is written and read back to the same profile.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/ProfileInfo.h"
#include "tools/qvrtool/ProfileJson.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
    CProfileJson::SProfile json;
    std::string error;
    if (!CProfileJson::Parse(text, json, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    CProfileInfo profile;
    CProfileJson::Apply(json, profile);
    const std::string written = CProfileJson::Write(profile);
    CProfileJson::SProfile again;
    if (!CProfileJson::Parse(written, again, error))
        std::abort();
    CProfileInfo profile2;
    CProfileJson::Apply(again, profile2);
    if (std::u16string(profile.Project()) != profile2.Project() ||
        std::u16string(profile.Theater()) != profile2.Theater() ||
        std::u16string(profile.Screen()) != profile2.Screen() ||
        std::u16string(profile.Comments()) != profile2.Comments())
        std::abort();
    return 0;
}
