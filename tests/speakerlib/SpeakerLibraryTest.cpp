// The speaker library file reader and the preset checks: what a library
// file from outside the program may and may not do.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/ChannelConfig.h"
#include "model/FieldRanges.h"
#include "speakerlib/SpeakerLibrary.h"
#include "speakerlib/SpeakerPreset.h"
#include "tests/core/RecordingSink.h"

namespace {

std::vector<std::uint8_t> Utf16(const std::u16string& text, bool bBom = true)
{
    std::vector<std::uint8_t> out;
    if (bBom)
        out = {0xFF, 0xFE};
    for (char16_t ch : text) {
        out.push_back(static_cast<std::uint8_t>(ch & 0xFF));
        out.push_back(static_cast<std::uint8_t>(ch >> 8));
    }
    return out;
}

CSpeakerLibrary::ELoad Load(CSpeakerLibrary& lib, const std::u16string& text, bool bBom = true)
{
    const std::vector<std::uint8_t> bytes = Utf16(text, bBom);
    return lib.Load(bytes.data(), bytes.size());
}

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

// A complete, valid three-band section body.
const std::u16string kThreeBand = u"Bands=3\r\nLBLP=300\r\nMBHP=300\r\nMBLP=1400\r\nHBHP=1400\r\nHPF=35\r\nHPQ=0.707\r\n"
                                  u"LBG=-1\r\nMBG=-3\r\nHBG=-7\r\nLBD=1.5\r\nMBPF=650\r\n";
const std::u16string kTwoBand = u"Bands=2\r\nLBLP=1200\r\nHBHP=1200\r\nHPF=30\r\nHPQ=2\r\nHBG=-6\r\n";

} // namespace

TEST(SpeakerLibrary, TheShippedLibraryHoldsUsablePresetsOfBothBandCounts)
{
    std::ifstream in(QVR_SPEAKERLIB_INI, std::ios::binary);
    ASSERT_TRUE(in) << QVR_SPEAKERLIB_INI;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF); // UTF-16LE with its mark, as the program's own file
    EXPECT_EQ(bytes[1], 0xFE);
    CSpeakerLibrary lib;
    ASSERT_EQ(lib.Load(bytes.data(), bytes.size()), CSpeakerLibrary::ELoad::Ok);
    int anCount[4] = {};
    for (size_t i = 0; i < lib.Sections().size(); ++i) {
        const std::u16string& name = lib.Sections()[i];
        EXPECT_LE(name.size(), 31u) << Narrow(name); // stored whole in the channel and the unit
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(CChannelConfig::SameSpeakerName(name.c_str(), lib.Sections()[j].c_str())) << Narrow(name);
        const int nBands = CSpeakerPreset::BandsOf(lib, name);
        ASSERT_TRUE(nBands == 2 || nBands == 3) << Narrow(name);
        ++anCount[nBands];
        CSpeakerPreset preset;
        preset.Read(lib, name, nBands);
        EXPECT_TRUE(preset.Usable()) << Narrow(preset.DescribeFault());
        // Every key is written out: nothing rests on a library default.
        for (int k = 0; k < CSpeakerPreset::KEY_COUNT; ++k) {
            const CSpeakerPreset::SKey& key = CSpeakerPreset::Keys()[k];
            if (!key.bMid || nBands == 3) {
                EXPECT_NE(lib.Find(name, key.pszKey), nullptr) << Narrow(name) << " " << Narrow(key.pszKey);
            }
        }
        // The crossover points meet: Low LP = High HP (two-band) or Low LP =
        // Mid HP and Mid LP = High HP (three-band).
        if (nBands == 2) {
            EXPECT_EQ(preset.Value(FIELD_LOW_LP_FREQ), preset.Value(FIELD_HIGH_HP_FREQ)) << Narrow(name);
        } else {
            EXPECT_EQ(preset.Value(FIELD_LOW_LP_FREQ), preset.Value(FIELD_MID_HP_FREQ)) << Narrow(name);
            EXPECT_EQ(preset.Value(FIELD_MID_LP_FREQ), preset.Value(FIELD_HIGH_HP_FREQ)) << Narrow(name);
        }
    }
    EXPECT_GE(anCount[2], 5);
    EXPECT_GE(anCount[3], 5);
}

TEST(SpeakerLibrary, EncodingsOtherThanUtf16LittleEndianAreRefusedAsAWhole)
{
    CSpeakerLibrary lib;
    const std::u16string text = u"[A]\r\n" + kTwoBand;
    EXPECT_EQ(Load(lib, text, true), CSpeakerLibrary::ELoad::Ok);
    EXPECT_EQ(lib.Sections().size(), 1u);
    EXPECT_EQ(Load(lib, text, false), CSpeakerLibrary::ELoad::Ok); // no mark, ASCII first character
    EXPECT_EQ(lib.Sections().size(), 1u);

    const std::string ascii = "[A]\r\nBands=2\r\n";
    const std::vector<std::uint8_t> ansi(ascii.begin(), ascii.end());
    EXPECT_EQ(lib.Load(ansi.data(), ansi.size()), CSpeakerLibrary::ELoad::NotUtf16);
    EXPECT_TRUE(lib.Sections().empty());
    std::vector<std::uint8_t> utf8 = {0xEF, 0xBB, 0xBF};
    utf8.insert(utf8.end(), ascii.begin(), ascii.end());
    utf8.push_back('\n'); // even length, still not UTF-16
    EXPECT_EQ(lib.Load(utf8.data(), utf8.size()), CSpeakerLibrary::ELoad::NotUtf16);
    std::vector<std::uint8_t> be = {0xFE, 0xFF, 0x00, '[', 0x00, 'A', 0x00, ']'};
    EXPECT_EQ(lib.Load(be.data(), be.size()), CSpeakerLibrary::ELoad::NotUtf16);
    std::vector<std::uint8_t> odd = Utf16(u"[A]");
    odd.push_back(0);
    EXPECT_EQ(lib.Load(odd.data(), odd.size()), CSpeakerLibrary::ELoad::NotUtf16);

    // A refusal empties what was loaded before.
    ASSERT_EQ(Load(lib, text), CSpeakerLibrary::ELoad::Ok);
    std::vector<std::uint8_t> big(CSpeakerLibrary::MAX_FILE_BYTES + 2, 0);
    big[0] = 0xFF;
    big[1] = 0xFE;
    EXPECT_EQ(lib.Load(big.data(), big.size()), CSpeakerLibrary::ELoad::TooLarge);
    EXPECT_TRUE(lib.Sections().empty());
    EXPECT_EQ(lib.Load(nullptr, 0), CSpeakerLibrary::ELoad::Ok); // empty file: empty library
    EXPECT_TRUE(lib.Sections().empty());

    // The text ends at the first NUL.
    ASSERT_EQ(Load(lib, u"[A]\r\nBands=2\r\n" + std::u16string(1, u'\0') + u"[B]\r\n"), CSpeakerLibrary::ELoad::Ok);
    EXPECT_EQ(lib.Sections(), std::vector<std::u16string>{u"A"});
}

TEST(SpeakerLibrary, OnlySectionHeaderLinesNameSections)
{
    CSpeakerLibrary lib;
    const std::u16string name63(63, u'x');
    const std::u16string name64(64, u'y');
    ASSERT_EQ(Load(lib, u"; [Commented] out\r\n"
                        u"[First]\r\nNote=see [Old Model] for the rest\r\nLBG=-1\r\n"
                        u"[Unclosed\r\nLBG=-2\r\n"          // no "]" on its line: no section, keys go nowhere
                        u"  [ Second ]  trailing\nLBG=-3\n"  // blanks trimmed, text after "]" ignored
                        u"[]\r\nLBG=-4\r\n"
                        u"[" + name64 + u"]\rLBG=-5\r"
                        u"[" + name63 + u"]\r\nLBG=-6\r\n"
                        u"[second]\r\nLBG=-7\r\nHBG=-8\r\n"  // a duplicate, ignoring case
                        u"[Third]\r\nlbg = \"-9\"\r\nLBG=-10\r\n"),
              CSpeakerLibrary::ELoad::Ok);
    const std::vector<std::u16string> expected = {u"First", u"Second", name63, u"Third"};
    EXPECT_EQ(lib.Sections(), expected);
    EXPECT_EQ(*lib.Find(u"FIRST", u"lbg"), u"-1");
    EXPECT_EQ(*lib.Find(u"Second", u"LBG"), u"-3");
    EXPECT_EQ(lib.Find(u"Second", u"HBG"), nullptr); // the duplicate's keys are ignored
    EXPECT_EQ(*lib.Find(name63, u"LBG"), u"-6");
    EXPECT_EQ(*lib.Find(u"Third", u"LBG"), u"-9"); // the first line of a key answers, unquoted
    EXPECT_EQ(lib.Find(u"Unclosed", u"LBG"), nullptr);
    EXPECT_EQ(lib.Find(u"Old Model", u"LBG"), nullptr);
    EXPECT_FALSE(lib.HasSection(name64));
}

TEST(SpeakerLibrary, HarmfulOrMalformedPresetsAreUnusableAndNameTheKey)
{
    struct SCase {
        std::u16string body;
        int nBands;
        CSpeakerPreset::EFault eFault;
        const char16_t* pszKey;
        const char* pszText;
    };
    const SCase cases[] = {
        // The crossover keys have no safe default.
        {u"Bands=2\nLBLP=1200\nHPF=30\nHPQ=2\n", 2, CSpeakerPreset::EFault::Missing, u"HBHP",
         "\"S\" cannot be used: HBHP is missing."},
        {u"Bands=3\nLBLP=300\nMBLP=1400\nHBHP=1400\nHPF=30\nHPQ=2\n", 3, CSpeakerPreset::EFault::Missing, u"MBHP",
         "\"S\" cannot be used: MBHP is missing."},
        {u"Bands=2\nLBLP=1200\nHBHP=1200\nHPQ=2\n", 2, CSpeakerPreset::EFault::Missing, u"HPF", nullptr},
        {u"Bands=2\nLBLP=1200\nHBHP=1200\nHPF=30\n", 2, CSpeakerPreset::EFault::Missing, u"HPQ", nullptr},
        // Values that are not plain decimal numbers.
        {kTwoBand + u"LBG=abc\n", 2, CSpeakerPreset::EFault::NotANumber, u"LBG",
         "\"S\" cannot be used: LBG is not a number."},
        {u"Bands=2\nLBLP=1200Hz\nHBHP=1200\nHPF=30\nHPQ=2\n", 2, CSpeakerPreset::EFault::NotANumber, u"LBLP", nullptr},
        {kTwoBand + u"HBPF=0x1000\n", 2, CSpeakerPreset::EFault::NotANumber, u"HBPF", nullptr},
        {kTwoBand + u"HBPG=nan\n", 2, CSpeakerPreset::EFault::NotANumber, u"HBPG", nullptr},
        {kTwoBand + u"SEF=1e40\n", 2, CSpeakerPreset::EFault::NotANumber, u"SEF", nullptr},
        {kTwoBand + u"SEG=\n", 2, CSpeakerPreset::EFault::NotANumber, u"SEG", nullptr},
        {kTwoBand + u"HEG=+-1\n", 2, CSpeakerPreset::EFault::NotANumber, u"HEG", nullptr},
        {kTwoBand + u"LBD=0.0000000000000000000000000000000000001\n", 2, CSpeakerPreset::EFault::NotANumber, u"LBD", nullptr},
        // Outside what the editor's field accepts, in the preset's mode.
        {u"Bands=3\nLBLP=150\nMBHP=300\nMBLP=1400\nHBHP=1400\nHPF=30\nHPQ=2\n", 3,
         CSpeakerPreset::EFault::OutOfRange, u"LBLP", "\"S\" cannot be used: LBLP = 150 is outside 200 to 4000."},
        {u"Bands=2\nLBLP=1200\nHBHP=1200\nHPF=30\nHPQ=2\nLBPF=1000\nHBG=3\n", 2, CSpeakerPreset::EFault::OutOfRange, u"HBG", nullptr},
        {kThreeBand + u"LBPF=1000\n", 3, CSpeakerPreset::EFault::OutOfRange, u"LBPF", nullptr},
        {u"Bands=2\nLBLP=1200\nHBHP=1200\nHPF=10\nHPQ=2\n", 2, CSpeakerPreset::EFault::OutOfRange, u"HPF", nullptr},
        {u"Bands=2\nLBLP=1200\nHBHP=1200\nHPF=30\nHPQ=1\n", 2, CSpeakerPreset::EFault::OutOfRange, u"HPQ",
         "\"S\" cannot be used: HPQ = 1 is neither 0.707 nor 2.0."},
        // The two values the editor offers are the only ones: not a range between or above them.
        {u"Bands=2\nLBLP=1200\nHBHP=1200\nHPF=30\nHPQ=2.5\n", 2, CSpeakerPreset::EFault::OutOfRange, u"HPQ", nullptr},
        {u"Bands=2\nLBLP=1200\nHBHP=1200\nHPF=30\nHPQ=2.0000002\n", 2, CSpeakerPreset::EFault::OutOfRange, u"HPQ", nullptr},
        {u"Bands=2\nLBLP=1200\nHBHP=1200\nHPF=30\nHPQ=0.5\n", 2, CSpeakerPreset::EFault::OutOfRange, u"HPQ", nullptr},
        {kThreeBand + u"MBD=6\n", 3, CSpeakerPreset::EFault::OutOfRange, u"MBD", nullptr},
    };
    for (const SCase& c : cases) {
        CSpeakerLibrary lib;
        ASSERT_EQ(Load(lib, u"[S]\n" + c.body), CSpeakerLibrary::ELoad::Ok);
        CSpeakerPreset preset;
        preset.Read(lib, u"S", c.nBands);
        EXPECT_EQ(preset.Fault(), c.eFault) << Narrow(c.body);
        ASSERT_NE(preset.FaultKey(), nullptr) << Narrow(c.body);
        EXPECT_EQ(std::u16string(preset.FaultKey()), c.pszKey) << Narrow(c.body);
        if (c.pszText) {
            EXPECT_EQ(Narrow(preset.DescribeFault()), c.pszText);
        }
        // An unusable preset changes nothing, sent or not.
        CRecordingSink sink;
        CChannelConfig cfg(CHANNEL_LEFT);
        cfg.SetMode(c.nBands);
        const CChannelConfig before = cfg;
        preset.ApplyTo(cfg, true);
        EXPECT_TRUE(sink.requests.empty());
        EXPECT_EQ(std::u16string(cfg.GetSpeakerNameRaw()), std::u16string(before.GetSpeakerNameRaw()));
        EXPECT_EQ(cfg.GetHighHPFreq(), before.GetHighHPFreq());
    }
    // A section that is not in the file is unusable too.
    CSpeakerLibrary lib;
    CSpeakerPreset preset;
    preset.Read(lib, u"Nowhere", 2);
    EXPECT_FALSE(preset.Usable());
}

TEST(SpeakerLibrary, BandsIsTwoWhenMissingAndNothingButTwoOrThreeOtherwise)
{
    CSpeakerLibrary lib;
    ASSERT_EQ(Load(lib, u"[A]\nLBG=0\n[B]\nBands = 3 \n[C]\nBands=4\n[D]\nBands=three\n[E]\nBands=3.0\n[F]\nbands=2\n"),
              CSpeakerLibrary::ELoad::Ok);
    EXPECT_EQ(CSpeakerPreset::BandsOf(lib, u"A"), 2);
    EXPECT_EQ(CSpeakerPreset::BandsOf(lib, u"B"), 3);
    EXPECT_EQ(CSpeakerPreset::BandsOf(lib, u"C"), 0);
    EXPECT_EQ(CSpeakerPreset::BandsOf(lib, u"D"), 0);
    EXPECT_EQ(CSpeakerPreset::BandsOf(lib, u"E"), 0);
    EXPECT_EQ(CSpeakerPreset::BandsOf(lib, u"F"), 2);
}

TEST(SpeakerLibrary, ApplyingSetsTheFieldsWithoutSendingAndKeepsTheRestOfTheChannel)
{
    const std::u16string longName = u"A Very Long Screen Speaker Model Name X"; // 39 characters
    CSpeakerLibrary lib;
    ASSERT_EQ(Load(lib, u"[" + longName + u"]\r\n" + kThreeBand + u"[Two]\r\n" + kTwoBand +
                            u"MBHP=abc\r\nMBLP=9\r\nMBG=5\r\n"), // Mid keys of a two-band preset: not read
              CSpeakerLibrary::ELoad::Ok);
    CRecordingSink sink;

    CSpeakerPreset three;
    three.Read(lib, longName, 3);
    ASSERT_TRUE(three.Usable()) << Narrow(three.DescribeFault());
    CChannelConfig cfg(CHANNEL_LEFT);
    cfg.SetLevel(-4.0f, false);
    cfg.SetLowFlags(BAND_FLAG_MUTE, false);
    three.ApplyTo(cfg, false);
    EXPECT_TRUE(sink.requests.empty());
    EXPECT_EQ(cfg.GetLowLPFreq(), 300.0f);
    EXPECT_EQ(cfg.GetMidHPFreq(), 300.0f);
    EXPECT_EQ(cfg.GetMidLPFreq(), 1400.0f);
    EXPECT_EQ(cfg.GetHighHPFreq(), 1400.0f);
    EXPECT_EQ(cfg.GetHPFreq(), 35.0f);
    EXPECT_EQ(cfg.GetHPQ(), 0.707f);
    EXPECT_EQ(cfg.GetMidGain(), -3.0f);
    EXPECT_EQ(cfg.GetMidPEQFreq(), 650.0f);
    EXPECT_EQ(cfg.GetLowDelay(), 1.5f);
    EXPECT_EQ(cfg.GetHighPEQFreq(), 4000.0f); // missing: the library default
    EXPECT_EQ(cfg.GetLowPEQFreq(), 40.0f);
    EXPECT_EQ(cfg.GetSEQFreq(), 10000.0f);
    EXPECT_EQ(cfg.GetLevel(), -4.0f);          // not part of a preset
    EXPECT_EQ(cfg.GetLowFlags(), BAND_FLAG_MUTE);
    EXPECT_EQ(std::u16string(cfg.GetSpeakerNameRaw()), longName.substr(0, 31));

    // In Biamp the Mid band is left as the mode made it.
    CChannelConfig biamp(CHANNEL_RIGHT);
    biamp.SetMode(MODE_BIAMP);
    biamp.SetMidHPFreq(10.0f, false);
    CSpeakerPreset two;
    two.Read(lib, u"two", 2);
    ASSERT_TRUE(two.Usable()) << Narrow(two.DescribeFault());
    two.ApplyTo(biamp, false);
    EXPECT_EQ(biamp.GetMidHPFreq(), 10.0f);
    EXPECT_EQ(biamp.GetLowLPFreq(), 1200.0f);
    EXPECT_EQ(biamp.GetHPQ(), 2.0f);
    EXPECT_EQ(std::u16string(biamp.GetSpeakerNameRaw()), u"Two");
    EXPECT_TRUE(sink.requests.empty());

    // Names a channel cannot tell apart once stored (31 characters, case
    // ignored): the later one names the earlier; shorter names are their own.
    const std::vector<std::u16string> names = {longName, u"Two", longName.substr(0, 31) + u"Y",
                                               u"TWO", longName.substr(0, 30)};
    EXPECT_EQ(CSpeakerPreset::EarlierWithSameStoredName(names, 0), -1);
    EXPECT_EQ(CSpeakerPreset::EarlierWithSameStoredName(names, 1), -1);
    EXPECT_EQ(CSpeakerPreset::EarlierWithSameStoredName(names, 2), 0);
    EXPECT_EQ(CSpeakerPreset::EarlierWithSameStoredName(names, 3), 1);
    EXPECT_EQ(CSpeakerPreset::EarlierWithSameStoredName(names, 4), -1);
    EXPECT_EQ(CSpeakerPreset::EarlierWithSameStoredName(names, 9), -1);
}

TEST(SpeakerLibrary, NumbersArePlainDecimals)
{
    float v = 0.0f;
    EXPECT_TRUE(CSpeakerPreset::ParseNumber(u" -3.5 ", v));
    EXPECT_EQ(v, -3.5f);
    EXPECT_TRUE(CSpeakerPreset::ParseNumber(u"+1e3", v));
    EXPECT_EQ(v, 1000.0f);
    EXPECT_TRUE(CSpeakerPreset::ParseNumber(u".5", v));
    EXPECT_EQ(v, 0.5f);
    for (const char16_t* psz : {u"", u" ", u"-", u"+", u".", u"e3", u"1e", u"1..2", u"--1", u"1 2", u"inf", u"1,5",
                                u"\uFF11", u"1e39"})
        EXPECT_FALSE(CSpeakerPreset::ParseNumber(psz, v)) << Narrow(psz);
}
