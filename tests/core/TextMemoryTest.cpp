// The text memory: the layout the program writes, and the read-back's checks
// of a directory that comes from the unit (untrusted).

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "model/ChannelConfig.h"
#include "model/ProfileInfo.h"
#include "model/TextMemory.h"
#include "model/TextMemoryReader.h"

namespace {

// A unit's text memory as a map of words; unset words read erased.
struct SMemory {
    std::map<std::uint32_t, std::uint32_t> words;
    std::uint32_t Read(std::uint32_t a) const
    {
        const auto it = words.find(a);
        return it == words.end() ? TEXT_MEMORY_ERASED : it->second;
    }
    void Store(const STextMemoryImage& image)
    {
        for (int i = 0; i < TEXT_DIRECTORY_WORDS; ++i)
            words[TEXT_MEMORY_START + 4u * i] = image.adwDirectory[i];
        std::uint32_t a = TEXT_AREA_START;
        for (std::uint32_t w : image.adwText) {
            words[a] = w;
            a += 4;
        }
    }
};

CTextMemory::STexts Texts(std::initializer_list<std::u16string> list)
{
    CTextMemory::STexts t;
    int i = 0;
    for (const auto& s : list) {
        for (size_t k = 0; k < s.size() && k < TEXT_COLLECT_UNITS - 1; ++k)
            t.aszText[i][k] = s[k];
        ++i;
    }
    return t;
}

// What a read-back stores, and every address it asks the unit for.
struct SReadBack {
    std::map<int, std::u16string> stored; // section -> text
    std::vector<std::uint32_t> addresses;
    bool bFinished = false;
    int nSteps = 0;
};

// Runs a read-back against the memory as the form and the queue do: the
// directory first, then each section the reader asks for, word by word in
// address order, the byte count held in 8 bits.
SReadBack RunReadBack(CTextMemoryReader& reader, const SMemory& mem)
{
    SReadBack rb;
    reader.BeginDirectory();
    std::vector<std::uint32_t> pending;
    for (int i = 0; i < TEXT_DIRECTORY_WORDS; ++i)
        pending.push_back(TEXT_MEMORY_START + 4u * i);
    while (!pending.empty() && rb.nSteps < 10000) {
        const std::uint32_t a = pending.front();
        pending.erase(pending.begin());
        rb.addresses.push_back(a);
        ++rb.nSteps;
        const CTextMemoryReader::SStep step = reader.OnWord(a, mem.Read(a));
        for (int n = 1; n <= TEXT_SECTION_COUNT; ++n)
            if (step.nStoreMask & (1u << (n - 1)))
                rb.stored[n] = step.aszText[n - 1];
        if (step.nReadSection) {
            const std::uint32_t start = reader.SectionStarts()[step.nReadSection];
            const std::uint32_t bytes = static_cast<std::uint8_t>(2 * reader.SectionLengths()[step.nReadSection]);
            for (std::uint32_t off = 0; off < bytes; off += 4)
                pending.push_back(start + off);
        }
        if (step.bFinished) {
            EXPECT_FALSE(rb.bFinished) << "finished twice";
            rb.bFinished = true;
        }
    }
    return rb;
}

std::u16string Str(const char16_t* p) { return std::u16string(p); }

} // namespace

TEST(TextMemory, LayoutOfAWrittenProfile)
{
    // Lengths 5 (odd), 0 (empty theater), 3, 4, and the five names.
    STextMemoryImage image;
    CTextMemory::Build(Texts({u"Odeon", u"", u"123", u"Nice", u"Left", u"R", u"Centre", u"LC", u"RC\u00e9"}), image);
    const std::uint32_t* d = image.adwDirectory;
    EXPECT_EQ(d[0], 1u);
    EXPECT_EQ(d[1], 0x90060054u);
    EXPECT_EQ(d[2], 5u);
    // Empty theater: the address where the next text begins.
    EXPECT_EQ(d[3], 0x90060054u + 12);
    EXPECT_EQ(d[4], 0u);
    EXPECT_EQ(d[5], 0x90060060u);
    EXPECT_EQ(d[6], 3u);
    EXPECT_EQ(d[7], 0x90060068u);
    EXPECT_EQ(d[20], 0u);
    // "Odeon": O d | e o | n 0
    ASSERT_GE(image.adwText.size(), 3u);
    EXPECT_EQ(image.adwText[0], 0x0064004Fu);
    EXPECT_EQ(image.adwText[1], 0x006F0065u);
    EXPECT_EQ(image.adwText[2], 0x0000006Eu);
    // The end address is just past the last word.
    EXPECT_EQ(d[19], TEXT_AREA_START + 4u * static_cast<std::uint32_t>(image.adwText.size()));
    // The non-ASCII letter is stored as its UTF-16 unit.
    EXPECT_EQ(image.adwText.back(), 0x00E9u);
}

TEST(TextMemory, EmptyProjectNameHasAddressZeroAndLimitsCut)
{
    CProfileInfo profile;
    profile.SetProject(u"");
    profile.SetScreen(u"12345"); // stored as its first three
    std::u16string comment(127, u'c');
    profile.SetComments(comment.c_str());
    std::vector<CChannelConfig> channels;
    for (int c = 0; c < 5; ++c)
        channels.emplace_back(c);
    channels[1].SetSpeakerName(u"");
    const CChannelConfig* ap[5] = {&channels[0], &channels[1], &channels[2], &channels[3], &channels[4]};
    CTextMemory::STexts texts;
    CTextMemory::CollectTexts(profile, ap, texts);
    STextMemoryImage image;
    CTextMemory::Build(texts, image);
    EXPECT_EQ(image.adwDirectory[1], 0u);
    EXPECT_EQ(image.adwDirectory[2], 0u);
    EXPECT_EQ(image.adwDirectory[6], 3u);
    EXPECT_EQ(image.adwDirectory[8], 127u);
    // 127 units fill 64 words, the last with an upper half of 0.
    const std::uint32_t comments = (image.adwDirectory[7] - TEXT_AREA_START) / 4;
    EXPECT_EQ(image.adwDirectory[9] - image.adwDirectory[7], 64u * 4);
    EXPECT_EQ(image.adwText[comments + 63], 0x00000063u);
    // An empty speaker name is written as "Unknown".
    EXPECT_EQ(image.adwDirectory[12], 7u);
}

TEST(TextMemoryReader, ReadsBackWhatWasWritten)
{
    SMemory mem;
    STextMemoryImage image;
    const auto texts = Texts({u"Odeon Refit", u"Grand", u"7", u"Line one\r\nline two", u"Left Main", u"R",
                              u"Centre \u00e9", u"LCR", u"X"});
    CTextMemory::Build(texts, image);
    mem.Store(image);
    CTextMemoryReader reader;
    const SReadBack rb = RunReadBack(reader, mem);
    ASSERT_TRUE(rb.bFinished);
    EXPECT_EQ(reader.GetDirectoryState(), CTextMemoryReader::EDirectory::Written);
    for (int n = 1; n <= 9; ++n)
        EXPECT_EQ(rb.stored.at(n), Str(texts.aszText[n - 1])) << "section " << n;
    // Every word was read once: the directory and the texts.
    EXPECT_EQ(rb.addresses.size(), TEXT_DIRECTORY_WORDS + image.adwText.size());
    EXPECT_TRUE(reader.UnitHolds(image));
    STextMemoryImage other = image;
    other.adwText[0] ^= 1;
    EXPECT_FALSE(reader.UnitHolds(other));
}

TEST(TextMemoryReader, ErasedOrUnreadableDirectoryReadsNoTextAndFinishes)
{
    for (std::uint32_t w0 : {TEXT_MEMORY_ERASED, 0u, 2u, 0x12345678u}) {
        SMemory mem;
        mem.words[TEXT_MEMORY_START] = w0;
        mem.words[TEXT_MEMORY_START + 4] = TEXT_AREA_START;
        mem.words[TEXT_MEMORY_START + 8] = 4;
        CTextMemoryReader reader;
        const SReadBack rb = RunReadBack(reader, mem);
        EXPECT_TRUE(rb.bFinished) << w0;
        EXPECT_TRUE(rb.stored.empty()) << w0;
        EXPECT_EQ(rb.addresses.size(), static_cast<size_t>(TEXT_DIRECTORY_WORDS)) << w0;
        EXPECT_FALSE(reader.KnowsUnitImage());
    }
}

TEST(TextMemoryReader, AllSectionsEmptyStillFinishesAndStoresEmptyTexts)
{
    SMemory mem;
    STextMemoryImage image;
    CTextMemory::Build(Texts({}), image);
    mem.Store(image);
    CTextMemoryReader reader;
    const SReadBack rb = RunReadBack(reader, mem);
    EXPECT_TRUE(rb.bFinished);
    EXPECT_EQ(rb.stored.size(), 9u);
    for (const auto& [n, s] : rb.stored)
        EXPECT_TRUE(s.empty()) << n;
}

// Each way a directory can be broken: the bad section is skipped (its field
// keeps the program's value), the others are read, nothing is read outside
// the text memory, and the read-back finishes.
TEST(TextMemoryReader, BadSectionsAreSkippedAndTheRestIsRead)
{
    struct SCase {
        const char* what;
        int nBadSection;
        void (*corrupt)(std::uint32_t (&d)[21]);
    };
    const SCase cases[] = {
        {"length beyond the collection buffer", 4, [](std::uint32_t (&d)[21]) { d[8] = 300; }},
        {"length with an 8-bit byte count of 0", 4, [](std::uint32_t (&d)[21]) { d[8] = 128; }},
        {"huge length", 2, [](std::uint32_t (&d)[21]) { d[4] = 0xFFFFFFF0u; }},
        {"start before the text area", 1, [](std::uint32_t (&d)[21]) { d[1] = TEXT_MEMORY_START; }},
        {"start in the program area", 3, [](std::uint32_t (&d)[21]) { d[5] = 0x90000000u; }},
        {"start past the text memory", 9, [](std::uint32_t (&d)[21]) { d[17] = 0x9006FFFCu; d[18] = 30; }},
        {"start that wraps around", 5, [](std::uint32_t (&d)[21]) { d[9] = 0xFFFFFFFCu; }},
        {"misaligned start", 6, [](std::uint32_t (&d)[21]) { d[11] += 2; }},
        {"running backwards", 7, [](std::uint32_t (&d)[21]) { d[13] = d[1]; }},
        // The theater name starts on the project name's last word.
        {"overlapping the section before by one word", 2,
         [](std::uint32_t (&d)[21]) { d[3] = d[1] + 4 * ((d[2] + 1) / 2) - 4; }},
    };
    for (const SCase& c : cases) {
        SMemory mem;
        STextMemoryImage image;
        CTextMemory::Build(Texts({u"Project", u"Theater", u"12", u"Comments", u"N5", u"N6", u"N7", u"N8", u"N9"}),
                           image);
        c.corrupt(image.adwDirectory);
        mem.Store(image);
        CTextMemoryReader reader;
        const SReadBack rb = RunReadBack(reader, mem);
        EXPECT_TRUE(rb.bFinished) << c.what;
        for (std::uint32_t a : rb.addresses)
            EXPECT_TRUE(a >= TEXT_MEMORY_START && a < TEXT_MEMORY_END) << c.what << std::hex << " 0x" << a;
        EXPECT_EQ(rb.stored.count(c.nBadSection), 0u) << c.what;
        EXPECT_EQ(reader.GetSkippedMask(), 1u << (c.nBadSection - 1)) << c.what;
        EXPECT_EQ(rb.stored.size(), 8u) << c.what;
        // A partly read memory is not known: the next write rewrites it.
        EXPECT_FALSE(reader.KnowsUnitImage()) << c.what;
    }
}

TEST(TextMemoryReader, EndAddressBoundsTheTexts)
{
    SMemory mem;
    STextMemoryImage image;
    CTextMemory::Build(Texts({u"Project", u"Theater", u"12", u"Comments", u"N5", u"N6", u"N7", u"N8", u"N9"}), image);
    // The end address comes before the last two names: they are skipped.
    image.adwDirectory[19] = image.adwDirectory[15];
    mem.Store(image);
    CTextMemoryReader reader;
    SReadBack rb = RunReadBack(reader, mem);
    EXPECT_TRUE(rb.bFinished);
    EXPECT_EQ(reader.GetSkippedMask(), (1u << 7) | (1u << 8));
    // An end address outside the text area is no bound: the area's end is.
    image.adwDirectory[19] = 0xFFFFFFFF;
    mem.Store(image);
    rb = RunReadBack(reader, mem);
    EXPECT_EQ(reader.GetSkippedMask(), 0u);
    EXPECT_EQ(rb.stored.size(), 9u);
}

TEST(TextMemoryReader, OddLengthEndsAtTheLengthAndStrayWordsChangeNothing)
{
    SMemory mem;
    STextMemoryImage image;
    CTextMemory::Build(Texts({u"abc"}), image);
    mem.Store(image);
    // Another program left a letter in the upper half of the last word.
    mem.words[TEXT_AREA_START + 4] = 0x00580063u;
    CTextMemoryReader reader;
    reader.BeginDirectory();
    for (int i = 0; i < TEXT_DIRECTORY_WORDS - 1; ++i)
        reader.OnWord(TEXT_MEMORY_START + 4u * i, mem.Read(TEXT_MEMORY_START + 4u * i));
    auto step = reader.OnWord(TEXT_DIRECTORY_LAST, mem.Read(TEXT_DIRECTORY_LAST));
    ASSERT_EQ(step.nReadSection, 1);
    // A word of another address (a terminal user's read) is not taken.
    step = reader.OnWord(TEXT_AREA_START + 8, 0x41414141u);
    EXPECT_EQ(step.nStoreMask, 0u);
    step = reader.OnWord(TEXT_AREA_START, mem.Read(TEXT_AREA_START));
    EXPECT_EQ(step.nStoreMask, 0u);
    step = reader.OnWord(TEXT_AREA_START + 4, mem.Read(TEXT_AREA_START + 4));
    EXPECT_EQ(step.nStoreMask, 1u);
    EXPECT_EQ(Str(step.aszText[0]), u"abc");
    EXPECT_TRUE(step.bFinished);
    // After the read-back, memory words start nothing.
    step = reader.OnWord(TEXT_DIRECTORY_LAST, 0);
    EXPECT_FALSE(step.bFinished);
    EXPECT_EQ(step.nReadSection, 0);
}
