#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "model/ChannelConfig.h"
#include "model/ProfileInfo.h"
#include "measure/Sidecar.h"
#include "tools/qvrtool/ReportWriter.h"

namespace {

struct SReport {
    std::vector<CChannelConfig> channels;
    CProfileInfo profile;
    CReportWriter::SInput input;
    SReport()
    {
        for (int c = 0; c < CHANNEL_COUNT; ++c)
            channels.emplace_back(c);
        input.pChannels = channels.data();
        input.pProfile = &profile;
        input.source = "the unit SIM00001";
    }
    std::string Build() { return CReportWriter::Build(input); }
};

std::size_t Count(const std::string& s, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t pos = s.find(what); pos != std::string::npos; pos = s.find(what, pos + 1))
        ++n;
    return n;
}

} // namespace

TEST(ReportWriter, SelfContainedPageWithOnePlotPerChannelAndTheBandsItHas)
{
    SReport r;
    const std::string html = r.Build();
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("http://") , html.find("http://www.w3.org/2000/svg")); // only the SVG namespace
    EXPECT_EQ(html.find("https://"), std::string::npos);
    EXPECT_NE(html.find("size: A4"), std::string::npos);
    EXPECT_EQ(Count(html, "<svg "), 6u);
    // Triamp: Low, Mid and High for channels 0..4, Low only for the Subwoofer,
    // and each plot's sum over its bands, with its deepest dip named below.
    EXPECT_EQ(Count(html, "<polyline"), 5u * 4u + 2u);
    EXPECT_EQ(Count(html, "stroke=\"#000000\""), 6u);
    EXPECT_EQ(Count(html, "Deepest dip of the sum: 250 Hz, 4.5 dB below its median level (-5.5 dB there"), 5u);
    EXPECT_EQ(Count(html, "No dip of the sum deeper than 1 dB"), 1u); // the Subwoofer's one band

    r.input.nMode = MODE_BIAMP;
    r.input.bNoLeftRightCenter = true;
    const std::string biamp = r.Build();
    EXPECT_EQ(Count(biamp, "<svg "), 4u);
    EXPECT_EQ(Count(biamp, "<polyline"), 3u * 3u + 2u);
    EXPECT_NE(biamp.find("no Left Center and Right Center"), std::string::npos);
}

TEST(ReportWriter, TextsAreEscapedAndValuesShownAsTheEditorShowsThem)
{
    SReport r;
    r.profile.SetProject(u"<b>Hall & \"Co\"</b>");
    r.channels[1].SetSpeakerName(u"X<script>");
    r.channels[2].SetLowGain(-2.26f, false, false);
    r.channels[0].SetLevel(-3.46f, false);
    const std::string html = r.Build();
    EXPECT_NE(html.find("&lt;b&gt;Hall &amp; &quot;Co&quot;&lt;/b&gt;"), std::string::npos);
    EXPECT_EQ(html.find("<b>Hall"), std::string::npos);
    EXPECT_NE(html.find("X&lt;script&gt;"), std::string::npos);
    EXPECT_NE(html.find(">-2.3<"), std::string::npos) << "gains with one decimal";
    EXPECT_NE(html.find(">-3.4<"), std::string::npos) << "the level cut toward zero, as the editor shows it";
}

TEST(ReportWriter, ValuesTheEditorWouldRefuseAreMarkedAndCurvesStayInsideThePlot)
{
    SReport r;
    r.channels[0].SetLevel(std::numeric_limits<float>::quiet_NaN(), false);
    r.channels[3].SetHighGain(40.0f, false, false);
    const std::string html = r.Build();
    EXPECT_EQ(Count(html, "class=\"warn\""), 2u);
    EXPECT_NE(html.find(">NaN<"), std::string::npos);
    EXPECT_EQ(html.find("nan,"), std::string::npos);
    EXPECT_EQ(html.find("inf,"), std::string::npos);
    EXPECT_NE(html.find("outside the ranges the editor accepts"), std::string::npos);
}

TEST(ReportWriter, AUnitReportMarksWhatTheReadBackDoesNotRead)
{
    SReport r;
    EXPECT_EQ(Count(r.Build(), "n/r</td>"), 0u) << "a file's values are all the file's";
    r.input.bFromUnit = true;
    const std::string html = r.Build();
    // The Subwoofer's name is not stored in the unit, and of its filters
    // only the level, delays, Low gain and Low flags are read back.
    EXPECT_EQ(Count(html, "n/r</td>"), 7u);
    EXPECT_NE(html.find("not read from the unit"), std::string::npos);
}

TEST(ReportWriter, TheSumIncludesPolarityAndMuteAndNamesANull)
{
    SReport r;
    r.input.nMode = MODE_BIAMP;
    // Left: slopes meeting at 1 kHz, the High band inverted; Right: every band muted.
    r.channels[0].SetLowLPFreq(1000.0f, false);
    r.channels[0].SetHighHPFreq(1000.0f, false);
    r.channels[0].SetHighFlags(BAND_FLAG_INVERT, false);
    r.channels[1].SetLowFlags(BAND_FLAG_MUTE, false);
    r.channels[1].SetHighFlags(BAND_FLAG_MUTE, false);
    const std::string html = r.Build();
    EXPECT_EQ(Count(html, "Deepest dip of the sum: a null at 1000 Hz (below -60 dB"), 1u);
    EXPECT_EQ(Count(html, "Every band is muted: the channel is silent."), 1u);
    // The silent sum lies along the plot's floor.
    const std::size_t nRight = html.find("<figcaption>Right");
    ASSERT_NE(nRight, std::string::npos);
    const std::size_t nSum = html.find("stroke=\"#000000\"", nRight);
    const std::size_t nEnd = html.find("/>", nSum);
    EXPECT_EQ(Count(html.substr(nSum, nEnd - nSum), ",172.0 "), Count(html.substr(nSum, nEnd - nSum), " ") - 2);
}

TEST(ReportWriter, AChannelWithARoomMeasurementGetsMeasuredPredictedAndTarget)
{
    SReport r;
    r.input.nMode = MODE_TRIAMP;
    CSidecar sidecar;
    SSidecarMeasurement room;
    room.name = "room.txt";
    std::string error;
    // Measured flat with the Center 6 dB quieter than the report's settings.
    ASSERT_TRUE(CMeasurement::FromPoints({{30.0, 80.0, 0.0}, {16000.0, 80.0, 0.0}}, false, room.data, error));
    sidecar.channels[2].room = room;
    CChannelConfig asMeasured(2);
    asMeasured.SetLevel(r.channels[2].GetLevel() - 6.0f, false);
    sidecar.channels[2].asMeasured = asMeasured;
    r.input.pSidecar = &sidecar;
    const std::string html = r.Build();
    EXPECT_EQ(Count(html, "<svg "), 7u); // one more drawing, for the Center only
    EXPECT_EQ(Count(html, "stroke=\"#909090\""), 1u);
    EXPECT_EQ(Count(html, "stroke=\"#8000a0\""), 1u);
    EXPECT_EQ(Count(html, "stroke-dasharray"), 1u);
    // The axis is the room's: the target's level is the prediction's mean,
    // 86 dB, and the labels run 12 above it to 36 below.
    EXPECT_NE(html.find(">98</text>"), std::string::npos);
    EXPECT_NE(html.find(">50</text>"), std::string::npos);
    // Without the sidecar the report is as before.
    r.input.pSidecar = nullptr;
    EXPECT_EQ(Count(r.Build(), "<svg "), 6u);
}
