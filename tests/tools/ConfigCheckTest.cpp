#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "files/ConfigFile.h"
#include "model/ChannelConfig.h"
#include "tools/qvrtool/ConfigCheck.h"

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
    return CConfigCheck::Check(file.data(), file.size(), nMode);
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

    // In Biamp the Low LP frequency may go down to 100 Hz.
    EXPECT_EQ(Check(file, MODE_BIAMP).size(), 3u);
    // The range bounds themselves are in range.
    auto edges = DefaultFile();
    PutFloat(edges, 0, FIELD_LEVEL, -22.0f);
    PutFloat(edges, 1, FIELD_LEVEL, 8.0f);
    PutFloat(edges, 0, FIELD_SEQ_FREQ, 15000.0f);
    EXPECT_TRUE(Check(edges).empty());
}

TEST(ConfigCheck, TwoRecordsClaimingOneChannelAndTrailingBytes)
{
    auto file = DefaultFile();
    const std::uint8_t two[4] = {2, 0, 0, 0};
    std::memcpy(&file[CConfigFile::HEADER_BYTES + 4 * CConfigFile::RECORD_BYTES], two, 4);
    file.push_back(0x00);
    file.push_back(0x41);
    const auto findings = Check(file);
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].text, "records 2 and 4 both claim channel 2");
    EXPECT_EQ(findings[1].nRecord, -1);
    EXPECT_EQ(findings[1].text, "2 bytes follow the sixth record; the program ignores them");
}

TEST(ConfigCheck, ShortInputGivesNothing)
{
    const auto file = DefaultFile();
    EXPECT_TRUE(CConfigCheck::Check(file.data(), 100, MODE_TRIAMP).empty());
    EXPECT_TRUE(CConfigCheck::Check(nullptr, 0, MODE_TRIAMP).empty());
}
