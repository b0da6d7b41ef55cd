#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/ConfigFile.h"
#include "files/MemoryStream.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/ConfigurationSet.h"
#include "model/ProfileInfo.h"
#include "tests/core/RecordingSink.h"

namespace {

// The editor's side of a file: its working copy is stored into the six
// records before a write, and before a read applies the file (once it is let
// through) and loaded after, as the form does.
struct ChannelSet {
    CChannelConfig working{0};
    CConfigurationSet set{working};
    CChannelConfig* ch = set.Records();
    CProfileInfo& profile = set.Profile();
};

std::vector<std::uint8_t> WriteSet(ChannelSet& s, bool reset = false)
{
    CMemoryStream out;
    s.set.StoreShown();
    EXPECT_TRUE(CConfigFile::Write(out, s.ch, &s.profile, reset).Ok());
    return out.Data();
}

ConfigResult ReadInto(ChannelSet& s, const std::vector<std::uint8_t>& data, bool reset = false)
{
    CMemoryStream in(data);
    const ConfigResult r = CConfigFile::Read(in, s.ch, &s.profile, reset, [&](const std::uint8_t*, std::size_t) {
        s.set.StoreShown();
        return true;
    });
    if (r.Ok())
        s.set.LoadShown();
    return r;
}

std::uint32_t U32(const std::vector<std::uint8_t>& d, size_t off)
{
    return d[off] | (d[off + 1] << 8) | (d[off + 2] << 16) | (std::uint32_t(d[off + 3]) << 24);
}

TEST(ConfigFile, FactoryDefaultFileBytes)
{
    ChannelSet s;
    s.ch[3].SetLevel(-6.0f, false);
    s.profile.SetProject(u"Theatre 4");
    const std::vector<std::uint8_t> d = WriteSet(s, true);
    ASSERT_EQ(d.size(), 1144u);
    const std::uint8_t head[16] = {0x4E, 0, 0x52, 0, 0x56, 0, 0x58, 0, 0x4F, 0, 0, 0, 0x01, 0x00, 0x34, 0x12};
    EXPECT_EQ(0, std::memcmp(d.data(), head, 16));
    // The reset applies to the live records and the profile too.
    EXPECT_EQ(s.ch[3].GetLevel(), 0.0f);
    EXPECT_EQ(std::u16string(s.profile.Project()), u"* FACTORY DEFAULTS *");

    for (int i = 0; i < CHANNEL_COUNT; ++i) {
        const size_t rec = 16 + 188 * i;
        EXPECT_EQ(U32(d, rec), static_cast<std::uint32_t>(i));
        const std::u16string name = i == 5 ? u"Subwoofer" : u"DEFAULT Triamp";
        for (size_t k = 0; k < 32; ++k) {
            const char16_t expected = k < name.size() ? name[k] : 0; // zeros after the terminator
            EXPECT_EQ(d[rec + 4 + 2 * k] | (d[rec + 5 + 2 * k] << 8), expected);
        }
        const CChannelConfig def(i);
        for (int f = 0; f < FIELD_COUNT; ++f)
            EXPECT_EQ(U32(d, rec + 68 + 4 * f), GetChannelFieldBits(def, static_cast<EChannelField>(f)));
    }
    // Spot checks of offsets: HP frequency 30 at 72, Low LP of the Subwoofer 500 at 84.
    EXPECT_EQ(U32(d, 16 + 72), FloatToBits(30.0f));
    EXPECT_EQ(U32(d, 16 + 188 * 5 + 84), FloatToBits(500.0f));
}

TEST(ConfigFile, WriteStoresTheWorkingCopyOfTheShownChannel)
{
    ChannelSet s;
    s.working = CChannelConfig(2);
    s.working.SetLowGain(4.5f, false, false);
    s.working.SetSpeakerName(u"Centre Stack");
    const std::vector<std::uint8_t> d = WriteSet(s);
    EXPECT_EQ(s.ch[2].GetLowGain(), 4.5f);
    EXPECT_EQ(U32(d, 16 + 188 * 2 + 100), FloatToBits(4.5f));
    EXPECT_EQ(d[16 + 188 * 2 + 4], 'C');
}

TEST(ConfigFile, RoundTripAppliesEveryFieldAndSendsChanges)
{
    ChannelSet src;
    for (int i = 0; i < CHANNEL_COUNT; ++i)
        for (int f = 0; f < FIELD_COUNT; ++f) {
            const auto field = static_cast<EChannelField>(f);
            SetChannelFieldBits(src.ch[i], field,
                                GetChannelFieldInfo(field).bFlags ? 0x10000u * i + f : FloatToBits(50.0f + f + i),
                                false, false);
        }
    src.working = src.ch[0];
    const std::vector<std::uint8_t> d = WriteSet(src);

    CRecordingSink sink;
    ChannelSet dst;
    dst.working = CChannelConfig(4);
    ASSERT_TRUE(ReadInto(dst, d).Ok());
    for (int i = 0; i < CHANNEL_COUNT; ++i)
        for (int f = 0; f < FIELD_COUNT; ++f)
            EXPECT_EQ(GetChannelFieldBits(dst.ch[i], static_cast<EChannelField>(f)),
                      GetChannelFieldBits(src.ch[i], static_cast<EChannelField>(f)));
    // The shown channel reaches the working copy without sending.
    EXPECT_EQ(dst.working.GetLevel(), dst.ch[4].GetLevel());
    EXPECT_FALSE(sink.requests.empty());

    // Loading the same file again sends nothing: every value is unchanged.
    sink.Clear();
    ASSERT_TRUE(ReadInto(dst, d).Ok());
    EXPECT_TRUE(sink.requests.empty());
}

TEST(ConfigFile, LoadSendsOnlyValuesThatDiffer)
{
    ChannelSet src;
    src.ch[1].SetHighDelay(2.0f, false);
    src.ch[1].SetHighGain(1.0f, false, false);
    src.working = src.ch[0];
    const std::vector<std::uint8_t> d = WriteSet(src);
    CRecordingSink sink;
    ChannelSet dst;
    ASSERT_TRUE(ReadInto(dst, d).Ok());
    ASSERT_EQ(sink.requests.size(), 2u); // band gains are applied without force
    EXPECT_EQ(sink.requests[0].kind, QueuedRequest::COMMAND); // High gain (0,3)
    EXPECT_EQ(sink.requests[0].uword, 0u + 256u * 3u);
    EXPECT_EQ(sink.requests[1].parameter, 11);
    EXPECT_EQ(sink.requests[1].channel, 1);
}

TEST(ConfigFile, SignatureMustMatchExactly)
{
    ChannelSet src;
    const std::vector<std::uint8_t> good = WriteSet(src);
    auto refused = [&](std::vector<std::uint8_t> d) {
        ChannelSet s;
        s.ch[0].SetLevel(-1.0f, false);
        const ConfigResult r = ReadInto(s, d);
        EXPECT_EQ(r.status, EConfigStatus::WrongSignature);
        EXPECT_EQ(s.ch[0].GetLevel(), -1.0f); // nothing changed
    };
    std::vector<std::uint8_t> lower = good;
    lower[0] = 'n'; // "nRVXO"
    refused(lower);
    std::vector<std::uint8_t> sixth = good;
    sixth[10] = 'X'; // a sixth letter instead of the NUL
    refused(sixth);
    std::vector<std::uint8_t> ignorable = good;
    ignorable[10] = 0xAD; // soft hyphen instead of the NUL: refused as well
    refused(ignorable);
    refused(std::vector<std::uint8_t>(1144, 0));

    // Any version is accepted.
    std::vector<std::uint8_t> other = good;
    other[12] = 0x99;
    other[15] = 0x77;
    ChannelSet s;
    EXPECT_TRUE(ReadInto(s, other).Ok());
}

TEST(ConfigFile, ShortFileChangesNothingAndReportsWhereItEnds)
{
    ChannelSet src;
    src.ch[0].SetLevel(-5.0f, false);
    src.ch[5].SetLevel(-5.0f, false);
    src.working = src.ch[0];
    const std::vector<std::uint8_t> good = WriteSet(src);
    for (size_t len : {size_t(0), size_t(7), size_t(12), size_t(15), size_t(16), size_t(100), size_t(1143)}) {
        CRecordingSink sink;
        ChannelSet s;
        const ConfigResult r = ReadInto(s, std::vector<std::uint8_t>(good.begin(), good.begin() + len));
        EXPECT_EQ(r.status, EConfigStatus::ShortFile) << len;
        EXPECT_EQ(r.nOffset, len);
        EXPECT_EQ(s.ch[0].GetLevel(), 0.0f) << "no record applied from a short file";
        EXPECT_TRUE(sink.requests.empty());
    }
    // Trailing bytes beyond the six records are ignored.
    std::vector<std::uint8_t> longer = good;
    longer.resize(2000, 0xEE);
    ChannelSet s;
    EXPECT_TRUE(ReadInto(s, longer).Ok());
    EXPECT_EQ(s.ch[5].GetLevel(), -5.0f);

    // The gate sees the whole file before anything is applied; its No changes
    // nothing and sends nothing, its Yes applies the file as without a gate.
    for (const bool bLetThrough : {false, true}) {
        CRecordingSink sink;
        ChannelSet t;
        std::vector<std::uint8_t> seen;
        CMemoryStream in(longer);
        const ConfigResult r = CConfigFile::Read(in, t.ch, &t.profile, false,
                                                 [&](const std::uint8_t* p, std::size_t cb) {
                                                     seen.assign(p, p + cb);
                                                     return bLetThrough;
                                                 });
        EXPECT_EQ(seen, good);
        EXPECT_EQ(r.status, bLetThrough ? EConfigStatus::Ok : EConfigStatus::Declined);
        EXPECT_EQ(t.ch[5].GetLevel(), bLetThrough ? -5.0f : 0.0f);
        EXPECT_EQ(sink.requests.empty(), !bLetThrough);
    }
}

TEST(ConfigFile, UnreadableAndUnwritableStreams)
{
    ChannelSet s;
    CMemoryStream in(std::vector<std::uint8_t>(1144, 0));
    in.FailReads(true);
    EXPECT_EQ(CConfigFile::Read(in, s.ch, &s.profile, false).status, EConfigStatus::ReadError);

    CMemoryStream out;
    out.LimitWrites(600);
    EXPECT_EQ(CConfigFile::Write(out, s.ch, &s.profile, false).status, EConfigStatus::WriteError);
}

// Record i of the program's files carries index i.  Another index would put
// the record's values on another channel of the unit than the screen shows
// them as: the check refuses such a file as damaged, and the reader, given
// one without the check, keeps every record at its own channel.
TEST(ConfigFile, ForeignChannelIndex)
{
    ChannelSet src;
    src.working = src.ch[0];
    std::vector<std::uint8_t> d = WriteSet(src);
    EXPECT_TRUE(CConfigFile::Check(d.data(), d.size(), MODE_TRIAMP).empty());
    d[16 + 188 * 1] = 3; // record 1 claims channel 3
    std::memcpy(&d[16 + 188 * 1 + 68], "\x00\x00\x80\x3F", 4); // level 1.0
    d[16 + 188 * 2] = 77; // an index that addresses nothing
    std::memcpy(&d[16 + 188 * 2 + 68], "\x00\x00\x00\x40", 4); // level 2.0
    std::memset(&d[16 + 188 * 4], 0xFF, 4); // -1

    const std::vector<CConfigCheck::SFinding> findings = CConfigFile::Check(d.data(), d.size(), MODE_TRIAMP);
    std::vector<std::pair<int, int>> claims;
    for (const CConfigCheck::SFinding& f : findings)
        if (f.bForeignIndex)
            claims.emplace_back(f.nRecord, f.nClaimedChannel);
    EXPECT_EQ(claims, (std::vector<std::pair<int, int>>{{1, 3}, {2, 77}, {4, -1}}));
    EXPECT_EQ(findings[0].text, "record 1 claims channel index 3; the file is damaged (record 1 is channel 1)");

    // Open's gate: refused, whatever the values, naming each record.
    CConfigCheck::SRecordBits incoming[CHANNEL_COUNT], current[CHANNEL_COUNT];
    ASSERT_TRUE(CConfigFile::SplitImage(d.data(), d.size(), incoming));
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        current[c] = CConfigCheck::BitsOf(src.ch[c]);
    std::vector<CConfigCheck::SFinding> named;
    EXPECT_EQ(CConfigCheck::Admit(incoming, current, MODE_TRIAMP, named), CConfigCheck::EAdmission::Refuse);
    ASSERT_EQ(named.size(), 3u);
    EXPECT_TRUE(named[0].bForeignIndex && named[0].nRecord == 1 && named[0].nClaimedChannel == 3);

    // A reader without the gate: every record stays its own channel, and
    // every value goes out under that channel.
    CRecordingSink sink;
    ChannelSet s;
    const ConfigResult r = ReadInto(s, d);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.nKeptIndexMask, (1u << 1) | (1u << 2) | (1u << 4));
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        EXPECT_EQ(s.ch[c].GetChannel(), c);
    EXPECT_EQ(s.ch[1].GetLevel(), 1.0f);
    EXPECT_EQ(s.ch[2].GetLevel(), 2.0f);
    ASSERT_FALSE(sink.requests.empty());
    bool bLevelOfRecord1 = false;
    for (const QueuedRequest& q : sink.requests) {
        if (q.kind == QueuedRequest::COMMAND)
            continue;
        EXPECT_TRUE(q.channel == 1 || q.channel == 2) << int(q.channel);
        bLevelOfRecord1 = bLevelOfRecord1 || (q.channel == 1 && q.parameter == 31 && q.Float() == 1.0f);
    }
    EXPECT_TRUE(bLevelOfRecord1);
}

TEST(ConfigFile, BiampGuardOnLoadAndUnterminatedName)
{
    ChannelSet src;
    src.ch[2].SetMidGain(3.0f, false, false);
    src.ch[2].SetMidHPFreq(250.0f, false);
    src.working = src.ch[0];
    std::vector<std::uint8_t> d = WriteSet(src);
    // 32 letters with no terminator in record 0's name.
    for (int k = 0; k < 32; ++k) {
        d[16 + 4 + 2 * k] = 'A' + (k % 26);
        d[16 + 5 + 2 * k] = 0;
    }
    ChannelSet s;
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        s.ch[c].SetMode(MODE_BIAMP);
    ASSERT_TRUE(ReadInto(s, d).Ok());
    EXPECT_EQ(s.ch[2].GetMidGain(), 0.0f);
    EXPECT_EQ(s.ch[2].GetMidHPFreq(), 250.0f);
    EXPECT_EQ(std::u16string(s.ch[0].GetSpeakerNameRaw()).size(), 31u);
}

TEST(ConfigFile, ResetOnReadAppliesProfileDefaults)
{
    ChannelSet src;
    src.working = src.ch[0];
    const std::vector<std::uint8_t> d = WriteSet(src);
    ChannelSet s;
    s.profile.SetProject(u"Old");
    s.profile.SetScreen(u"7");
    ASSERT_TRUE(ReadInto(s, d, true).Ok());
    EXPECT_EQ(std::u16string(s.profile.Project()), u"* FACTORY DEFAULTS *");
    EXPECT_EQ(std::u16string(s.profile.Screen()), u"7");
}

TEST(ProfileInfo, BoundedCopies)
{
    CProfileInfo p;
    EXPECT_EQ(std::u16string(p.Project()), u"* FACTORY DEFAULTS *");
    EXPECT_EQ(std::u16string(p.Theater()), u"");
    EXPECT_EQ(std::u16string(p.Screen()), u"");
    EXPECT_EQ(std::u16string(p.Comments()), u"");
    p.SetScreen(u"12345");
    EXPECT_EQ(std::u16string(p.Screen()), u"123");
    p.SetComments(std::u16string(200, u'c').c_str());
    EXPECT_EQ(std::u16string(p.Comments()).size(), 127u);
    p.SetTheater(nullptr);
    EXPECT_EQ(std::u16string(p.Theater()), u"");

    char16_t buf[8];
    p.SetProject(u"Grand Hall");
    p.GetProject(buf, sizeof buf);
    EXPECT_EQ(std::u16string(buf), u"Grand H");
    p.GetScreen(buf, 4); // two units: one character and the terminator
    EXPECT_EQ(std::u16string(buf), u"1");
    p.SetDefaults();
    EXPECT_EQ(std::u16string(p.Project()), u"* FACTORY DEFAULTS *");
    EXPECT_EQ(std::u16string(p.Screen()), u"123");
}

} // namespace
