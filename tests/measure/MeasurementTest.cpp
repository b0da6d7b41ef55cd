// The measurement and mask readers: every format the files come in, what
// bad data does, and the refusals (which keep nothing).

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "measure/Measurement.h"
#include "measure/ToleranceMask.h"

namespace {

std::string ReadData(const char* pszName)
{
    std::ifstream f(std::string(QVR_MEASURE_DATA) + "/" + pszName, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

CMeasurement MustParse(const std::string& text, STableSummary* pSummary = nullptr)
{
    CMeasurement m;
    STableSummary summary;
    EXPECT_TRUE(CMeasurement::Parse(text, m, summary)) << summary.Describe() << "\n" << text;
    if (pSummary)
        *pSummary = summary;
    return m;
}

} // namespace

TEST(Measurement, EveryFormatGivesTheSamePoints)
{
    // The same three points as a program's export with '*' comments, as
    // tab- and blank-separated columns, as CSV with a header, and as
    // semicolon-separated text with decimal commas (which a comma-separated
    // file cannot have).
    const char* apszText[] = {
        "* Exported measurement\n* Freq SPL Phase\n20 80.5 -10\n1000 85 -90.25\n20000 70 -170\n",
        "20\t80.5\t-10\r\n1000  85\t-90.25\r\n\r\n20000\t70\t-170\r\n",
        "Frequency,Magnitude,Phase\n20,80.5,-10\n1000, 85, -90.25\n20000,70,-170\n",
        "Freq;dB;deg\n20;80,5;-10\n1000;85;-90,25\n20000;70;-170\n",
        "# comment\n; another\n20 80,5 -10\n1e3 8.5E1 -90.25\n+20000 70 -170\n",
    };
    for (const char* pszText : apszText) {
        const CMeasurement m = MustParse(pszText);
        ASSERT_EQ(m.Points().size(), 3u) << pszText;
        EXPECT_TRUE(m.HasPhase());
        EXPECT_DOUBLE_EQ(m.Points()[0].dDb, 80.5) << pszText;
        EXPECT_DOUBLE_EQ(m.Points()[1].dFreq, 1000.0) << pszText;
        EXPECT_DOUBLE_EQ(m.Points()[1].dPhase, -90.25) << pszText;
        EXPECT_DOUBLE_EQ(m.Points()[2].dPhase, -170.0) << pszText;
    }
    // Two columns: no phase.
    const CMeasurement m = MustParse("20 1\n40 2\n");
    EXPECT_FALSE(m.HasPhase());
    // The generated samples of every kind read whole.
    for (const char* pszName : {"room_channel.txt", "room_channel_semicolon.csv", "driver_woofer.frd",
                                "driver_horn.frd"}) {
        STableSummary s;
        const CMeasurement g = MustParse(ReadData(pszName), &s);
        EXPECT_EQ(g.Points().size(), 1000u) << pszName;
        EXPECT_EQ(s.nSkipped, 0u) << pszName;
    }
}

TEST(Measurement, BadDataIsSortedDroppedSkippedAndCounted)
{
    STableSummary s;
    const CMeasurement m = MustParse("* header\n"
                                     "Frequency Magnitude Phase\n" // line 2: a header before the data
                                     "100 1 0\n"
                                     "50 2 0\n"                     // out of order
                                     "100 9 0\n"                    // repeated: the first is kept
                                     "oops\n"                       // line 6: skipped
                                     "200 400 0\n"                  // beyond 300 dB
                                     "-5 1 0\n"                     // not positive
                                     "300 1 nan\n"                  // not a number at all
                                     "400 1\n"                      // no phase in a file with phase
                                     "# a comment is no skip\n"
                                     "25 3 0\n",
                                     &s);
    ASSERT_EQ(m.Points().size(), 3u);
    EXPECT_DOUBLE_EQ(m.Points()[0].dFreq, 25.0);
    EXPECT_DOUBLE_EQ(m.Points()[1].dFreq, 50.0);
    EXPECT_DOUBLE_EQ(m.Points()[2].dDb, 1.0); // 100 Hz: the first point
    EXPECT_EQ(s.nRead, 3u);
    EXPECT_EQ(s.nSorted, 2u);
    EXPECT_EQ(s.nRepeated, 1u);
    EXPECT_EQ(s.nSkipped, 5u);
    EXPECT_EQ(s.nFirstSkippedLine, 6);
    EXPECT_EQ(s.Describe(), "3 points read, 2 sorted, 1 repeated, 5 skipped (first: line 6)");
}

TEST(Measurement, PhaseIsUnwrapped)
{
    const CMeasurement m = MustParse("100 0 170\n200 0 -170\n300 0 150\n400 0 -30\n500 0 -750\n");
    ASSERT_EQ(m.Points().size(), 5u);
    EXPECT_DOUBLE_EQ(m.Points()[1].dPhase, 190.0);
    EXPECT_DOUBLE_EQ(m.Points()[2].dPhase, 150.0);
    EXPECT_DOUBLE_EQ(m.Points()[3].dPhase, -30.0);
    EXPECT_DOUBLE_EQ(m.Points()[4].dPhase, -30.0); // whole turns in the file change nothing
    // An exported phase already unwrapped keeps its course; an absurdly
    // large angle (finite, so taken) still leaves steps of at most 180.
    const CMeasurement u = MustParse("100 0 -100\n200 0 -250\n300 0 -400\n400 0 1e300\n500 0 -1e17\n");
    EXPECT_DOUBLE_EQ(u.Points()[1].dPhase, -250.0);
    EXPECT_DOUBLE_EQ(u.Points()[2].dPhase, -400.0);
    for (std::size_t i = 1; i < u.Points().size(); ++i)
        EXPECT_LE(std::fabs(u.Points()[i].dPhase - u.Points()[i - 1].dPhase), 180.0);
}

TEST(Measurement, RefusedFilesSayWhyAndKeepNothing)
{
    const CMeasurement kept = MustParse("10 1\n20 2\n");
    struct SCase {
        std::string text;
        ETableRefusal eRefusal;
        int nLine;
        const char* pszDescribe;
    };
    std::string tooMany;
    for (std::size_t i = 0; i <= CTextTable::MAX_POINTS; ++i)
        tooMany += std::to_string(i + 1) + " 0\n";
    const SCase cases[] = {
        {"", ETableRefusal::NoData, 0, "refused: no line holds data"},
        {"* only comments\nFrequency dB\n", ETableRefusal::NoData, 0, "refused: no line holds data"},
        {"100 1\n", ETableRefusal::TooFewPoints, 0, "refused: fewer than 2 usable points"},
        {"100 1\n100 2\n", ETableRefusal::TooFewPoints, 0, "refused: fewer than 2 usable points"},
        {"100 1\n0 2\n", ETableRefusal::TooFewPoints, 2,
         "refused: fewer than 2 usable points (first line not taken: 2)"},
        {std::string(CTextTable::MAX_BYTES + 1, '*'), ETableRefusal::TooLarge, 0,
         "refused: the file is larger than 16 MiB"},
        {tooMany, ETableRefusal::TooManyPoints, 262145, "refused: more than 262144 points (line 262145)"},
    };
    for (const SCase& c : cases) {
        CMeasurement m = kept;
        STableSummary s;
        EXPECT_FALSE(CMeasurement::Parse(c.text, m, s)) << c.text.substr(0, 40);
        EXPECT_EQ(s.eRefusal, c.eRefusal) << c.text.substr(0, 40);
        EXPECT_EQ(s.nRefusalLine, c.nLine) << c.text.substr(0, 40);
        EXPECT_EQ(s.Describe(), c.pszDescribe);
        ASSERT_EQ(m.Points().size(), 2u);
        EXPECT_DOUBLE_EQ(m.Points()[1].dDb, 2.0);
    }
}

TEST(Measurement, ValuesOnAGridAreLogInterpolatedAndNothingOutsideTheRange)
{
    const CMeasurement m = MustParse("100 0 0\n400 12 -90\n");
    const double f[] = {50.0, 100.0, 200.0, 400.0, 800.0, 0.0};
    double db[6], deg[6];
    m.Sample(f, 6, EPhaseChoice::Measured, db, deg);
    EXPECT_TRUE(std::isnan(db[0]) && std::isnan(deg[0]));
    EXPECT_DOUBLE_EQ(db[1], 0.0);
    EXPECT_NEAR(db[2], 6.0, 1e-12); // half-way in log-frequency
    EXPECT_NEAR(deg[2], -45.0, 1e-12);
    EXPECT_DOUBLE_EQ(db[3], 12.0);
    EXPECT_TRUE(std::isnan(db[4]) && std::isnan(db[5]));
    std::complex<double> c[6];
    m.SampleComplex(f, 6, EPhaseChoice::Measured, c);
    EXPECT_NEAR(std::abs(c[3]), std::pow(10.0, 12.0 / 20.0), 1e-12);
    EXPECT_NEAR(std::arg(c[3]), -std::acos(0.0), 1e-12); // -90 degrees
    EXPECT_TRUE(std::isnan(c[4].real()));
}

TEST(ToleranceMask, StepsAtRepeatedFrequenciesAndTheRulesOfTheReader)
{
    CToleranceMask mask;
    STableSummary s;
    // The generated example: steps at 63 Hz and 8 kHz.
    std::ifstream f(std::string(QVR_MEASURE_DATA) + "/mask_example.csv", std::ios::binary);
    std::stringstream text;
    text << f.rdbuf();
    ASSERT_TRUE(CToleranceMask::Parse(text.str(), mask, s)) << s.Describe();
    EXPECT_EQ(mask.Points().size(), 6u);
    const double freq[] = {10.0, 20.0, 62.0, 63.0, 64.0, 8000.0, 20000.0, 30000.0};
    double lo[8], hi[8];
    mask.Sample(freq, 8, lo, hi);
    EXPECT_TRUE(std::isnan(lo[0]) && std::isnan(hi[7]));
    EXPECT_DOUBLE_EQ(lo[1], -6.0);
    EXPECT_DOUBLE_EQ(lo[2], -6.0);
    EXPECT_DOUBLE_EQ(lo[4], -3.0); // above the step
    EXPECT_DOUBLE_EQ(hi[4], 3.0);
    EXPECT_DOUBLE_EQ(lo[6], -8.0);

    // Ideal outside min..max is not a point of a mask; three columns are not data.
    CToleranceMask other;
    ASSERT_TRUE(CToleranceMask::Parse("100 -1 0 1\n200 5 0 6\n300 -1 0\n400 -2 0 2\n", other, s));
    EXPECT_EQ(other.Points().size(), 2u);
    EXPECT_EQ(s.nSkipped, 2u);
    EXPECT_EQ(s.nFirstSkippedLine, 2);
    EXPECT_FALSE(CToleranceMask::Parse("100 -1 0 1\n100 -2 0 2\n", other, s)); // spans nothing
    EXPECT_EQ(s.eRefusal, ETableRefusal::TooFewPoints);
    EXPECT_EQ(other.Points().size(), 2u);
}
