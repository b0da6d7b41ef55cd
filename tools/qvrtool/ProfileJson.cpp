#include "tools/qvrtool/ProfileJson.h"

#include "measure/JsonStrict.h"
#include "model/ProfileInfo.h"
#include "tools/qvrtool/TextCodec.h"

bool CProfileJson::Parse(std::string_view text, SProfile& profile, std::string& error)
{
    profile = SProfile{};
    if (text.size() > MAX_BYTES) {
        error = "larger than " + std::to_string(MAX_BYTES) + " bytes: not a profile file";
        return false;
    }
    // The house's JSON reader: syntax, UTF-8, a key given twice.
    nlohmann::json doc;
    if (!CJsonStrict::Parse(text, doc, error))
        return false;
    if (!doc.is_object()) {
        error = "expected '{': a profile file is one JSON object";
        return false;
    }
    for (auto it = doc.begin(); it != doc.end(); ++it) {
        const std::string& key = it.key();
        std::optional<std::u16string>* pField = key == "project"    ? &profile.project
                                                : key == "theater"  ? &profile.theater
                                                : key == "screen"   ? &profile.screen
                                                : key == "comments" ? &profile.comments
                                                                    : nullptr;
        if (!pField) {
            error = "\"" + key + "\": unknown key (expected project, theater, screen or comments)";
            profile = SProfile{};
            return false;
        }
        std::u16string value;
        if (!it->is_string() || !Utf8ToUtf16(it->get<std::string>(), value)) {
            error = "\"" + key + "\": expected a string";
            profile = SProfile{};
            return false;
        }
        if (value.find(u'\0') != std::u16string::npos) {
            error = "\"" + key + "\": a string may not contain NUL";
            profile = SProfile{};
            return false;
        }
        *pField = std::move(value);
    }
    return true;
}

std::string CProfileJson::Write(const CProfileInfo& profile)
{
    return "{\n  \"project\": " + JsonString(profile.Project()) + ",\n  \"theater\": " +
           JsonString(profile.Theater()) + ",\n  \"screen\": " + JsonString(profile.Screen()) +
           ",\n  \"comments\": " + JsonString(profile.Comments()) + "\n}\n";
}

bool CProfileJson::Apply(const SProfile& json, CProfileInfo& profile)
{
    bool bCut = false;
    const auto apply = [&](const std::optional<std::u16string>& text, void (CProfileInfo::*pfnSet)(const char16_t*),
                           int nUnits) {
        if (!text)
            return;
        if (text->size() >= static_cast<std::size_t>(nUnits))
            bCut = true;
        (profile.*pfnSet)(text->c_str());
    };
    apply(json.project, &CProfileInfo::SetProject, PROFILE_PROJECT_UNITS);
    apply(json.theater, &CProfileInfo::SetTheater, PROFILE_THEATER_UNITS);
    apply(json.screen, &CProfileInfo::SetScreen, PROFILE_SCREEN_UNITS);
    apply(json.comments, &CProfileInfo::SetComments, PROFILE_COMMENTS_UNITS);
    return bCut;
}
