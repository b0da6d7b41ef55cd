#include "resources/strings/StringTable.h"

#include <gtest/gtest.h>
#include <fstream>
#include <string>

TEST(StringTable, HoldsTheSharedTexts)
{
    EXPECT_EQ(std::u16string(qvr::LoadStringText(100)), u"QVR500");
    EXPECT_EQ(std::u16string(qvr::LoadStringText(526)), u"Subwoofer");
    EXPECT_EQ(std::u16string(qvr::LoadStringText(527)), u"DEFAULT Triamp");
    EXPECT_EQ(qvr::LoadStringText(519), nullptr);
}

TEST(StringTable, IdsAreUnique)
{
    const qvr::StringEntry* b = qvr::StringTableBegin();
    for (std::size_t i = 0; i < qvr::StringTableSize(); ++i)
        for (std::size_t j = i + 1; j < qvr::StringTableSize(); ++j)
            EXPECT_NE(b[i].id, b[j].id);
}

// The list is compiled twice, into the C++ table and by the resource
// compiler into the program's string table (the Windows tests compare the
// two texts string by string): a quote must read alike to both.
TEST(StringTable, QuotesReadAlikeToBothCompilers)
{
    EXPECT_EQ(std::u16string(qvr::LoadStringText(547)).substr(0, 4), u"\"%s\"");
#ifdef QVR_STRINGS_INC
    std::ifstream list(QVR_STRINGS_INC);
    ASSERT_TRUE(list.is_open());
    std::string line;
    for (int n = 1; std::getline(list, line); ++n) {
        if (line.rfind("QVR_STRING(", 0) != 0)
            continue;
        // No quote inside a text: \" makes the resource compiler warn, and
        // "" is a quote to it but ends the literal for C++ (\042 is right).
        const std::size_t nText = line.find('"');
        const std::string text = line.substr(nText + 1, line.rfind('"') - nText - 1);
        EXPECT_EQ(text.find('"'), std::string::npos) << "line " << n;
    }
#endif
}
