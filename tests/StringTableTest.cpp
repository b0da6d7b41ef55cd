#include "resources/strings/StringTable.h"

#include <gtest/gtest.h>
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
