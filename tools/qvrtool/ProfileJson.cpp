#include "tools/qvrtool/ProfileJson.h"

#include "model/ProfileInfo.h"
#include "tools/qvrtool/TextCodec.h"

namespace {

class CParser {
public:
    CParser(std::string_view text, std::string& error) : m_text(text), m_error(error) {}

    bool Fail(const char* pszWhat)
    {
        m_error = "offset " + std::to_string(m_nPos) + ": " + pszWhat;
        return false;
    }

    void SkipBlanks()
    {
        while (m_nPos < m_text.size() &&
               (m_text[m_nPos] == ' ' || m_text[m_nPos] == '\t' || m_text[m_nPos] == '\n' || m_text[m_nPos] == '\r'))
            ++m_nPos;
    }

    bool Take(char c)
    {
        SkipBlanks();
        if (m_nPos < m_text.size() && m_text[m_nPos] == c) {
            ++m_nPos;
            return true;
        }
        return false;
    }

    bool AtEnd()
    {
        SkipBlanks();
        return m_nPos == m_text.size();
    }

    bool Hex4(unsigned& v)
    {
        if (m_text.size() - m_nPos < 4)
            return Fail("a \\u escape needs four hexadecimal digits");
        v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_nPos++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<unsigned>(c - 'A' + 10);
            else
                return Fail("a \\u escape needs four hexadecimal digits");
        }
        return true;
    }

    // A string literal (the opening quote not yet taken) as UTF-16.
    bool String(std::u16string& out)
    {
        SkipBlanks();
        if (m_nPos >= m_text.size() || m_text[m_nPos] != '"')
            return Fail("expected a string");
        ++m_nPos;
        std::string utf8;
        out.clear();
        const auto flush = [&]() {
            std::u16string part;
            if (!Utf8ToUtf16(utf8, part))
                return false;
            out += part;
            utf8.clear();
            return true;
        };
        for (;;) {
            if (m_nPos >= m_text.size())
                return Fail("the string is not closed");
            const char c = m_text[m_nPos];
            if (c == '"') {
                ++m_nPos;
                return flush() || Fail("the string is not valid UTF-8");
            }
            if (static_cast<unsigned char>(c) < 0x20)
                return Fail("a control character in a string must be escaped");
            if (c != '\\') {
                utf8 += c;
                ++m_nPos;
                continue;
            }
            ++m_nPos;
            if (m_nPos >= m_text.size())
                return Fail("the string is not closed");
            const char e = m_text[m_nPos++];
            char16_t u = 0;
            switch (e) {
            case '"': u = u'"'; break;
            case '\\': u = u'\\'; break;
            case '/': u = u'/'; break;
            case 'b': u = u'\b'; break;
            case 'f': u = u'\f'; break;
            case 'n': u = u'\n'; break;
            case 'r': u = u'\r'; break;
            case 't': u = u'\t'; break;
            case 'u': {
                unsigned v = 0;
                if (!Hex4(v))
                    return false;
                u = static_cast<char16_t>(v);
                break;
            }
            default:
                --m_nPos;
                return Fail("unknown escape in a string");
            }
            if (!flush())
                return Fail("the string is not valid UTF-8");
            if (u == 0)
                return Fail("a string may not contain NUL");
            out.push_back(u);
        }
    }

private:
    std::string_view m_text;
    std::string& m_error;
    std::size_t m_nPos = 0;
};

} // namespace

bool CProfileJson::Parse(std::string_view text, SProfile& profile, std::string& error)
{
    profile = SProfile{};
    if (text.size() > MAX_BYTES) {
        error = "larger than " + std::to_string(MAX_BYTES) + " bytes: not a profile file";
        return false;
    }
    // A UTF-8 byte order mark is what some editors put first.
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    CParser p(text, error);
    if (!p.Take('{'))
        return p.Fail("expected '{': a profile file is one JSON object");
    if (!p.Take('}')) {
        for (;;) {
            std::u16string key, value;
            if (!p.String(key))
                return false;
            if (!p.Take(':'))
                return p.Fail("expected ':'");
            std::optional<std::u16string>* pField = nullptr;
            if (key == u"project")
                pField = &profile.project;
            else if (key == u"theater")
                pField = &profile.theater;
            else if (key == u"screen")
                pField = &profile.screen;
            else if (key == u"comments")
                pField = &profile.comments;
            else
                return p.Fail("unknown key (expected project, theater, screen or comments)");
            if (pField->has_value())
                return p.Fail("the key appears twice");
            if (!p.String(value))
                return false;
            *pField = std::move(value);
            if (p.Take('}'))
                break;
            if (!p.Take(','))
                return p.Fail("expected ',' or '}'");
        }
    }
    if (!p.AtEnd())
        return p.Fail("text after the object");
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
