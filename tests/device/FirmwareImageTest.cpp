// The firmware file check: what passes becomes exactly the file's words;
// every other file is refused with its reason and the record concerned.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "device/firmware/FirmwareImage.h"

namespace {

std::string Record(std::uint32_t w, bool bUpper = true)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, bUpper ? "%02X %02X %02X %02X " : "%02x %02x %02x %02x ", w & 0xFF, (w >> 8) & 0xFF,
                  (w >> 16) & 0xFF, (w >> 24) & 0xFF);
    return sz;
}

// An image file of the given words, a line break after every nPerLine records (0: none).
std::string Image(const std::vector<std::uint32_t>& words, int nPerLine)
{
    std::string s = "\x02\r\n";
    for (size_t i = 0; i < words.size(); ++i) {
        s += Record(words[i]);
        if (nPerLine > 0 && (i + 1) % static_cast<size_t>(nPerLine) == 0)
            s += "\r\n";
    }
    return s;
}

SFirmwareCheck Check(CFirmwareImage& image, const std::string& s)
{
    return image.Parse(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

std::vector<std::uint32_t> RandomWords(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> w(n);
    for (auto& x : w)
        x = rng();
    return w;
}

} // namespace

TEST(FirmwareImage, WordsComeOutAsWrittenWithOrWithoutLineBreaks)
{
    const auto words = RandomWords(1000, 7);
    for (int nPerLine : {0, 1, 4, 7}) {
        CFirmwareImage image;
        const SFirmwareCheck c = Check(image, Image(words, nPerLine));
        ASSERT_EQ(c.eResult, EFirmwareCheck::Ok) << nPerLine;
        EXPECT_EQ(image.Words(), words) << nPerLine;
    }
    // b0 is the least significant byte; lower-case digits read the same.
    CFirmwareImage image;
    ASSERT_EQ(Check(image, "\x02\r\n" + Record(0xE3A0001Fu, false) + "\r\n\r\n" + Record(1)).eResult,
              EFirmwareCheck::Ok);
    EXPECT_EQ(image.Words(), (std::vector<std::uint32_t>{0xE3A0001Fu, 1}));
    EXPECT_EQ(CFirmwareImage::AddressOf(1), 0x90000004u);
}

TEST(FirmwareImage, TheTailAfterTheLastRecordHoldsNoData)
{
    CFirmwareImage image;
    for (const char* tail : {"", "\r\n", "\x03", "\r\n\x03\r\n", "\x1a", "  "}) {
        ASSERT_EQ(Check(image, Image({5, 6}, 0) + tail).eResult, EFirmwareCheck::Ok) << tail;
        EXPECT_EQ(image.WordCount(), 2u);
    }
    // What the check sees of a cut file: a cut inside a record (the rest of
    // the record is missing), wherever in the record it falls.
    const std::string whole = Image({5, 6, 7}, 1);
    for (std::size_t nCut = 1; nCut < CFirmwareImage::RECORD_BYTES; ++nCut) {
        const std::string cut = whole.substr(0, whole.size() - 2 - nCut); // into the third record
        const SFirmwareCheck c = Check(image, cut);
        EXPECT_EQ(c.eResult, EFirmwareCheck::TruncatedRecord) << nCut;
        EXPECT_EQ(c.nRecord, 3u) << nCut;
        EXPECT_EQ(image.WordCount(), 0u) << nCut;
    }
    // What it cannot see: the format has no end mark, so a file cut on a
    // record boundary, before or after the line break, is a smaller image
    // that passes.  Only its word count, which the download shows, tells
    // the two apart.
    for (std::size_t nWords = 1; nWords <= 3; ++nWords) {
        const std::size_t nBytes = CFirmwareImage::HEADER_BYTES + nWords * (CFirmwareImage::RECORD_BYTES + 2);
        ASSERT_EQ(Check(image, whole.substr(0, nBytes)).eResult, EFirmwareCheck::Ok) << nWords;
        EXPECT_EQ(image.WordCount(), nWords);
        ASSERT_EQ(Check(image, whole.substr(0, nBytes - 2)).eResult, EFirmwareCheck::Ok) << nWords;
        EXPECT_EQ(image.WordCount(), nWords);
    }
}

TEST(FirmwareImage, AFullProgramAreaFitsAndOneWordMoreIsRefused)
{
    CFirmwareImage image;
    auto words = RandomWords(CFirmwareImage::MAX_WORDS, 3);
    ASSERT_EQ(Check(image, Image(words, 4)).eResult, EFirmwareCheck::Ok);
    EXPECT_EQ(image.WordCount(), 65536u);
    words.push_back(0);
    const SFirmwareCheck c = Check(image, Image(words, 4));
    EXPECT_EQ(c.eResult, EFirmwareCheck::TooManyWords);
    EXPECT_EQ(c.nRecord, 65537u);
    EXPECT_EQ(image.WordCount(), 0u);
}

TEST(FirmwareImage, BadFilesAreRefusedWithTheRecordConcerned)
{
    CFirmwareImage image;
    const std::string good = Record(0x11223344);
    struct Case {
        std::string text;
        EFirmwareCheck eResult;
        std::uint32_t nRecord;
    } cases[] = {
        {"", EFirmwareCheck::BadHeader, 0},
        {"\x02\r", EFirmwareCheck::BadHeader, 0},
        {"\x02\n\r" + good, EFirmwareCheck::BadHeader, 0},
        {"QVR\x02\r\n" + good, EFirmwareCheck::BadHeader, 0},
        {"\x02\r\n", EFirmwareCheck::NoWords, 0},          // only the header: erase and nothing written
        {"\x02\r\n\r\n\r\n", EFirmwareCheck::NoWords, 0},
        {"\x02\r\n" + good + "0G 00 00 00 ", EFirmwareCheck::BadRecord, 2},   // not hexadecimal
        {"\x02\r\n" + good + "00,00 00 00 ", EFirmwareCheck::BadRecord, 2},   // wrong separator
        {"\x02\r\n" + good + "00 00 00 000", EFirmwareCheck::BadRecord, 2},   // no space after the last
        {"\x02\r\n" + good + "\n" + good + good, EFirmwareCheck::BadRecord, 2}, // LF alone is no line break
        {"\x02\r\n" + good + "0 00 00 00 0 ", EFirmwareCheck::BadRecord, 2},  // shifted pairs
        {"\x02\r\n" + good + good + "1 2 3 4 5 6 7", EFirmwareCheck::BadRecord, 3},
        {"\x02\r\n" + good + std::string("\0\0\0\0\0\0\0\0\0\0\0\0", 12), EFirmwareCheck::BadRecord, 2},
    };
    for (const Case& k : cases) {
        const SFirmwareCheck c = Check(image, k.text);
        EXPECT_EQ(c.eResult, k.eResult) << k.text;
        EXPECT_EQ(c.nRecord, k.nRecord) << k.text;
        EXPECT_EQ(image.WordCount(), 0u);
    }
}

TEST(FirmwareImage, AFileFarLargerThanAnyImageIsRefusedUnread)
{
    CFirmwareImage image;
    std::string huge = "\x02\r\n";
    huge.resize(CFirmwareImage::MAX_FILE_BYTES + 1, '\n');
    EXPECT_EQ(Check(image, huge).eResult, EFirmwareCheck::TooLarge);
}
