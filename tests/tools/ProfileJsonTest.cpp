#include <gtest/gtest.h>

#include <string>

#include "model/ProfileInfo.h"
#include "tools/qvrtool/ProfileJson.h"

TEST(ProfileJson, WrittenProfileReadsBackWithEscapesAndNonAscii)
{
    CProfileInfo profile;
    profile.SetProject(u"Odéon \"Grand\"");
    profile.SetTheater(u"Salle\\1");
    profile.SetScreen(u"12");
    profile.SetComments(u"line one\r\nline two\t\x0001 \xD83C\xDFA5");
    const std::string text = CProfileJson::Write(profile);
    CProfileJson::SProfile json;
    std::string error;
    ASSERT_TRUE(CProfileJson::Parse(text, json, error)) << error << "\n" << text;
    CProfileInfo again;
    again.SetProject(u"");
    EXPECT_FALSE(CProfileJson::Apply(json, again));
    EXPECT_EQ(std::u16string(again.Project()), profile.Project());
    EXPECT_EQ(std::u16string(again.Theater()), profile.Theater());
    EXPECT_EQ(std::u16string(again.Screen()), profile.Screen());
    EXPECT_EQ(std::u16string(again.Comments()), profile.Comments());
}

TEST(ProfileJson, MissingKeysKeepTheFieldsAndLongTextsAreCut)
{
    CProfileJson::SProfile json;
    std::string error;
    ASSERT_TRUE(CProfileJson::Parse("\xEF\xBB\xBF { \"screen\" : \"12345\" }\n", json, error)) << error;
    CProfileInfo profile;
    profile.SetTheater(u"kept");
    EXPECT_TRUE(CProfileJson::Apply(json, profile));
    EXPECT_EQ(std::u16string(profile.Screen()), u"123");
    EXPECT_EQ(std::u16string(profile.Theater()), u"kept");
    EXPECT_EQ(std::u16string(profile.Project()), u"* FACTORY DEFAULTS *");
}

TEST(ProfileJson, MalformedInputIsRefusedWithOffsetAndReason)
{
    const struct {
        const char* pszText;
        const char* pszError;
    } cases[] = {
        {"", "offset 0: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"},
        {"[]", "expected '{': a profile file is one JSON object"},
        {"{\"project\": 5}", "\"project\": expected a string"},
        {"{\"owner\": \"x\"}", "\"owner\": unknown key (expected project, theater, screen or comments)"},
        {"{\"screen\": \"1\", \"screen\": \"2\"}", "the key \"screen\" appears twice in one object"},
        {"{\"screen\": \"1\" \"x\"}", "offset 17: syntax error while parsing object - unexpected string literal; expected '}'"},
        {"{\"screen\": \"1\"} x", "offset 16: syntax error while parsing value - invalid literal; expected end of input"},
        {"{\"screen\": \"a\nb\"}",
         "offset 13: syntax error while parsing value - invalid string: control character U+000A (LF) must be escaped to "
         "\\u000A or \\n"},
        {"{\"screen\": \"\\q\"}", "offset 13: syntax error while parsing value - invalid string: forbidden character after backslash"},
        {"{\"screen\": \"\\u12\"}", "offset 16: syntax error while parsing value - invalid string: '\\u' must be followed by 4 hex digits"},
        {"{\"screen\": \"\\u0000\"}", "\"screen\": a string may not contain NUL"},
        {"{\"screen\": \"\xC3\"}", "offset 13: syntax error while parsing value - invalid string: ill-formed UTF-8 byte"},
        {"{\"screen\": \"abc", "offset 15: syntax error while parsing value - invalid string: missing closing quote"},
        {"{\"screen\": \"\\uD800\"}",
         "offset 18: syntax error while parsing value - invalid string: surrogate U+D800..U+DBFF must be followed by "
         "U+DC00..U+DFFF"},
    };
    for (const auto& c : cases) {
        CProfileJson::SProfile json;
        std::string error;
        EXPECT_FALSE(CProfileJson::Parse(c.pszText, json, error)) << c.pszText;
        EXPECT_EQ(error, c.pszError) << c.pszText;
    }
    CProfileJson::SProfile json;
    std::string error;
    EXPECT_FALSE(CProfileJson::Parse(std::string(CProfileJson::MAX_BYTES + 1, ' '), json, error));
    EXPECT_NE(error.find("larger than"), std::string::npos);
}
