#pragma once
// CProfileJson: the profile of an installation as a small JSON file beside a
// configuration file (the configuration file holds no profile):
//
//   {"project": "...", "theater": "...", "screen": "...", "comments": "..."}
//
// Reading is strict (CJsonStrict, the house's JSON reader): one object whose
// keys are these four names (each at most once, any of them may be left out)
// and whose values are strings; anything else is refused with the reason (a
// syntax error with its byte offset, anything else naming the key).  Texts
// longer than the profile's fields are cut as the profile dialog cuts them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class CProfileInfo;

class CProfileJson {
public:
    // A profile file is a few hundred bytes; far larger input is refused.
    static constexpr std::size_t MAX_BYTES = 64 * 1024;

    struct SProfile {
        std::optional<std::u16string> project, theater, screen, comments;
    };

    // False with a one-line reason (e.g. "offset 12: expected a string").
    static bool Parse(std::string_view text, SProfile& profile, std::string& error);
    // The JSON text of a profile record (all four fields), ending in a newline.
    static std::string Write(const CProfileInfo& profile);
    // Applies the fields the file names; true when a text had to be cut.
    static bool Apply(const SProfile& json, CProfileInfo& profile);
};
