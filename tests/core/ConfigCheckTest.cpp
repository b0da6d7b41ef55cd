#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "files/ConfigFile.h"
#include "model/ChannelConfig.h"
#include "model/ConfigCheck.h"
#include "model/FieldRanges.h"

namespace {

std::vector<std::uint8_t> DefaultFile()
{
    std::vector<CChannelConfig> channels;
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        channels.emplace_back(c);
    std::uint8_t image[CConfigFile::FILE_BYTES];
    CConfigFile::BuildImage(channels.data(), image);
    return std::vector<std::uint8_t>(image, image + sizeof image);
}

void PutFloat(std::vector<std::uint8_t>& file, int nRecord, EChannelField field, float v)
{
    std::memcpy(&file[CConfigFile::HEADER_BYTES + nRecord * CConfigFile::RECORD_BYTES + CConfigFile::VALUES_OFFSET +
                      4 * field],
                &v, 4);
}

std::vector<CConfigCheck::SFinding> Check(const std::vector<std::uint8_t>& file, int nMode = MODE_TRIAMP)
{
    return CConfigFile::Check(file.data(), file.size(), nMode);
}

} // namespace

TEST(ConfigCheck, FactoryFileHasNoFindings)
{
    EXPECT_TRUE(Check(DefaultFile()).empty());
    EXPECT_TRUE(Check(DefaultFile(), MODE_BIAMP).empty());
}

TEST(ConfigCheck, NonFiniteAndOutOfRangeValuesAreNamedWithTheRange)
{
    auto file = DefaultFile();
    PutFloat(file, 2, FIELD_LEVEL, std::numeric_limits<float>::quiet_NaN());
    PutFloat(file, 3, FIELD_HIGH_GAIN, -std::numeric_limits<float>::infinity());
    PutFloat(file, 0, FIELD_LOW_LP_FREQ, 150.0f); // Biamp takes it, Triamp does not
    PutFloat(file, 1, FIELD_LEVEL, 8.5f);         // above the trackbar's top
    const auto findings = Check(file);
    ASSERT_EQ(findings.size(), 4u);
    EXPECT_EQ(findings[0].text, "record 0 m_fltLowLPFreq is 150, outside the editor's range 200..4000 (Triamp)");
    EXPECT_FALSE(findings[0].bNonFinite);
    EXPECT_EQ(findings[1].text, "record 1 m_fltLevel is 8.5, outside the editor's range -22..8 (Triamp)");
    EXPECT_EQ(findings[2].text, "record 2 m_fltLevel is NaN, which no field of the editor takes");
    EXPECT_TRUE(findings[2].bNonFinite);
    EXPECT_EQ(findings[2].nRecord, 2);
    EXPECT_EQ(findings[2].eField, FIELD_LEVEL);
    EXPECT_TRUE(findings[3].bNonFinite);
    EXPECT_NE(findings[3].text.find("-inf"), std::string::npos);

    // A channel high-pass Q the editor's two buttons cannot show.
    auto q = DefaultFile();
    PutFloat(q, 5, FIELD_HP_Q, 2.5f);
    const auto qFindings = Check(q);
    ASSERT_EQ(qFindings.size(), 1u);
    EXPECT_EQ(qFindings[0].text, "record 5 m_fltHPQ is 2.5, outside the editor's range 0.707|2 (Triamp)");
    EXPECT_EQ(qFindings[0].eVerdict, CConfigCheck::EVerdict::OutOfRange);
    EXPECT_EQ(qFindings[0].fltValue, 2.5f);

    // In Biamp the Low LP frequency may go down to 100 Hz.
    EXPECT_EQ(Check(file, MODE_BIAMP).size(), 3u);
    // The range bounds themselves are in range.
    auto edges = DefaultFile();
    PutFloat(edges, 0, FIELD_LEVEL, -22.0f);
    PutFloat(edges, 1, FIELD_LEVEL, 8.0f);
    PutFloat(edges, 0, FIELD_SEQ_FREQ, 15000.0f);
    EXPECT_TRUE(Check(edges).empty());
}

TEST(ConfigCheck, ARecordClaimingAnotherChannelAndTrailingBytes)
{
    auto file = DefaultFile();
    const std::uint8_t two[4] = {2, 0, 0, 0};
    std::memcpy(&file[CConfigFile::HEADER_BYTES + 4 * CConfigFile::RECORD_BYTES], two, 4);
    file.push_back(0x00);
    file.push_back(0x41);
    const auto findings = Check(file);
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].text, "record 4 claims channel index 2; the file is damaged (record 4 is channel 4)");
    EXPECT_TRUE(findings[0].bForeignIndex);
    EXPECT_EQ(findings[0].nRecord, 4);
    EXPECT_EQ(findings[0].nClaimedChannel, 2);
    EXPECT_EQ(findings[1].nRecord, -1);
    EXPECT_EQ(findings[1].text, "2 bytes follow the sixth record; the program ignores them");
}

TEST(ConfigCheck, ShortInputGivesNothing)
{
    const auto file = DefaultFile();
    EXPECT_TRUE(CConfigFile::Check(file.data(), 100, MODE_TRIAMP).empty());
    EXPECT_TRUE(CConfigFile::Check(nullptr, 0, MODE_TRIAMP).empty());
}

TEST(ConfigCheck, BoundsAreInclusiveAndTheNextFloatOutsideIsNamed)
{
    for (const int nMode : {MODE_BIAMP, MODE_TRIAMP}) {
        for (int i = 0; i < FIELD_COUNT; ++i) {
            const auto eField = static_cast<EChannelField>(i);
            EXPECT_EQ(CConfigCheck::CheckValue(eField, nMode, std::numeric_limits<float>::quiet_NaN()),
                      GetChannelFieldInfo(eField).bFlags ? CConfigCheck::EVerdict::Ok
                                                         : CConfigCheck::EVerdict::NonFinite);
            CFieldRanges::SRange r{};
            if (!CFieldRanges::GetEditorRange(eField, nMode, r))
                continue;
            const float below = std::nextafter(r.fltMin, -std::numeric_limits<float>::infinity());
            const float above = std::nextafter(r.fltMax, std::numeric_limits<float>::infinity());
            EXPECT_EQ(CConfigCheck::CheckValue(eField, nMode, r.fltMin), CConfigCheck::EVerdict::Ok) << i;
            EXPECT_EQ(CConfigCheck::CheckValue(eField, nMode, r.fltMax), CConfigCheck::EVerdict::Ok) << i;
            EXPECT_EQ(CConfigCheck::CheckValue(eField, nMode, below), CConfigCheck::EVerdict::OutOfRange) << i;
            EXPECT_EQ(CConfigCheck::CheckValue(eField, nMode, above), CConfigCheck::EVerdict::OutOfRange) << i;
            EXPECT_EQ(CConfigCheck::CheckValue(eField, nMode, 1e30f), CConfigCheck::EVerdict::OutOfRange) << i;
            EXPECT_EQ(CConfigCheck::CheckValue(eField, nMode, -std::numeric_limits<float>::infinity()),
                      CConfigCheck::EVerdict::NonFinite) << i;
        }
    }
    // The channel high-pass Q: exactly the editor's two buttons, nothing between or beyond them.
    for (const float q : {0.707f, 2.0f})
        EXPECT_EQ(CConfigCheck::CheckValue(FIELD_HP_Q, MODE_TRIAMP, q), CConfigCheck::EVerdict::Ok) << q;
    for (const float q : {0.5f, 0.70699996f, 1.0f, 1.9999999f, 2.0000002f, 2.5f, 1e30f})
        EXPECT_EQ(CConfigCheck::CheckValue(FIELD_HP_Q, MODE_TRIAMP, q), CConfigCheck::EVerdict::OutOfRange) << q;
    EXPECT_EQ(CConfigCheck::DescribeRange(FIELD_HP_Q, MODE_BIAMP), "0.707 or 2.0");
    // A few bounds a person reads in the program's messages.
    EXPECT_EQ(CConfigCheck::DescribeRange(FIELD_LOW_LP_FREQ, MODE_BIAMP), "100 to 4000 Hz");
    EXPECT_EQ(CConfigCheck::DescribeRange(FIELD_HIGH_GAIN, MODE_TRIAMP), "-18 to 0 dB");
    EXPECT_EQ(CConfigCheck::DescribeRange(FIELD_LOW_FLAGS, MODE_TRIAMP), "");
    // A flag word carries any bits.
    EXPECT_EQ(CConfigCheck::CheckBits(FIELD_HIGH_FLAGS, MODE_TRIAMP, 0x7FC00000u), CConfigCheck::EVerdict::Ok);
    EXPECT_EQ(CConfigCheck::CheckBits(FIELD_HIGH_GAIN, MODE_TRIAMP, 0x7FC00000u), CConfigCheck::EVerdict::NonFinite);
}

TEST(ConfigCheck, AnOpenedFileIsRefusedForNonNumbersOrForeignIndicesAndConfirmedOnlyForRangeBreaksItWouldApply)
{
    CConfigCheck::SRecordBits current[CHANNEL_COUNT];
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        current[c] = CConfigCheck::BitsOf(CChannelConfig(c));
    auto incoming = [&current] {
        CConfigCheck::SRecordBits records[CHANNEL_COUNT];
        for (int c = 0; c < CHANNEL_COUNT; ++c)
            records[c] = current[c];
        return std::to_array(records);
    };
    std::vector<CConfigCheck::SFinding> named;
    auto admit = [&](const std::array<CConfigCheck::SRecordBits, CHANNEL_COUNT>& in, int nMode = MODE_TRIAMP) {
        CConfigCheck::SRecordBits records[CHANNEL_COUNT];
        for (int c = 0; c < CHANNEL_COUNT; ++c)
            records[c] = in[static_cast<std::size_t>(c)];
        return CConfigCheck::Admit(records, current, nMode, named);
    };

    // Its own configuration, and values inside the ranges: applied without a word.
    auto same = incoming();
    EXPECT_EQ(admit(same), CConfigCheck::EAdmission::Apply);
    EXPECT_TRUE(named.empty());
    same[1].adwValues[FIELD_HIGH_GAIN] = FloatToBits(-12.0f);
    EXPECT_EQ(admit(same), CConfigCheck::EAdmission::Apply);
    // A record claiming another channel: the file is damaged, refused like a
    // non-number, and named by its record and the index it claims.
    same[4].nChannel = 1;
    EXPECT_EQ(admit(same), CConfigCheck::EAdmission::Refuse);
    ASSERT_EQ(named.size(), 1u);
    EXPECT_TRUE(named[0].bForeignIndex);
    EXPECT_EQ(named[0].nRecord, 4);
    EXPECT_EQ(named[0].nClaimedChannel, 1);
    same[4].nChannel = 4;

    // Outside the ranges and different from what the program holds: named, to be confirmed.
    auto wide = incoming();
    wide[0].adwValues[FIELD_HP_FREQ] = FloatToBits(45.0f);
    wide[2].adwValues[FIELD_HIGH_GAIN] = FloatToBits(1e30f);
    wide[3].adwValues[FIELD_LOW_LP_FREQ] = FloatToBits(150.0f); // Biamp takes it
    EXPECT_EQ(admit(wide), CConfigCheck::EAdmission::Confirm);
    ASSERT_EQ(named.size(), 3u);
    EXPECT_EQ(named[0].nRecord, 0);
    EXPECT_EQ(named[0].eField, FIELD_HP_FREQ);
    EXPECT_EQ(named[1].nRecord, 2);
    EXPECT_EQ(named[1].fltValue, 1e30f);
    EXPECT_EQ(admit(wide, MODE_BIAMP), CConfigCheck::EAdmission::Confirm);
    EXPECT_EQ(named.size(), 2u);
    // The same values already held (read from a unit that holds them): nothing to ask.
    current[0].adwValues[FIELD_HP_FREQ] = FloatToBits(45.0f);
    current[2].adwValues[FIELD_HIGH_GAIN] = FloatToBits(1e30f);
    EXPECT_EQ(admit(wide, MODE_BIAMP), CConfigCheck::EAdmission::Apply);
    EXPECT_TRUE(named.empty());

    // A value that is no number refuses the file, however the rest looks; only those are named.
    auto damaged = wide;
    damaged[2].adwValues[FIELD_LOW_PEQ_GAIN] = FloatToBits(std::numeric_limits<float>::quiet_NaN());
    damaged[5].adwValues[FIELD_LEVEL] = FloatToBits(std::numeric_limits<float>::infinity());
    EXPECT_EQ(admit(damaged), CConfigCheck::EAdmission::Refuse);
    ASSERT_EQ(named.size(), 2u);
    EXPECT_TRUE(named[0].bNonFinite && named[1].bNonFinite);
    EXPECT_EQ(named[0].eField, FIELD_LOW_PEQ_GAIN);
    EXPECT_EQ(named[1].nRecord, 5);
}
