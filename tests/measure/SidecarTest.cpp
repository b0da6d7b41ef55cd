// The sidecar document: what is written reads back to the same document
// (as-measured configurations bit for bit), and what is damaged or foreign
// is refused whole with its reason.

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "measure/JsonStrict.h"
#include "measure/Sidecar.h"
#include "model/ChannelFields.h"

namespace {

SSidecarMeasurement Sample(const char* pszName, bool bPhase, double dOffset)
{
    SSidecarMeasurement m;
    m.name = pszName;
    m.ePhase = bPhase ? EPhaseChoice::Measured : EPhaseChoice::Minimum;
    std::string error;
    EXPECT_TRUE(CMeasurement::FromPoints({{20.0, 80.0 + dOffset, 10.0}, {1000.0 / 3.0, 81.25, -100.0},
                                          {20000.0, 70.1, -250.0}},
                                         bPhase, m.data, error));
    return m;
}

CSidecar FullDocument()
{
    CSidecar s;
    s.channels[1].room = Sample("Rechts \xC3\xA9t\xC3\xA9.txt", true, 0.1);
    CChannelConfig cfg(1);
    cfg.SetMode(MODE_BIAMP);
    cfg.SetLevel(-3.3f, false);
    cfg.SetHighFlags(BAND_FLAG_INVERT | BAND_FLAG_MUTE, false);
    cfg.SetDelay(std::numeric_limits<float>::quiet_NaN(), false); // kept as it stands
    s.channels[1].asMeasured = cfg;
    s.channels[5].drivers[0] = Sample("sub.frd", false, 0.0);
    s.channels[1].drivers[2] = Sample("horn.frd", true, 2.0);
    s.view.eTarget = ETargetCurve::S4K;
    s.view.bTypedLevel = true;
    s.view.dTypedLevel = 82.5;
    s.view.nSmoothing = 6;
    CToleranceMask mask;
    std::string error;
    EXPECT_TRUE(CToleranceMask::FromPoints({{20.0, -3.0, 0.0, 3.0}, {63.0, -3.0, 0.0, 3.0}, {63.0, -1.0, 0.0, 1.0},
                                            {20000.0, -1.0, 0.0, 1.0}},
                                           mask, error));
    s.mask = mask;
    s.maskName = "mask.csv";
    return s;
}

} // namespace

TEST(Sidecar, WhatIsWrittenReadsBackTheSame)
{
    const CSidecar s = FullDocument();
    const std::string text = s.Write();
    CSidecar r;
    std::string error;
    ASSERT_TRUE(CSidecar::Read(text, r, error)) << error << "\n" << text;
    EXPECT_EQ(r.Write(), text);
    ASSERT_TRUE(r.channels[1].room && r.channels[1].asMeasured);
    EXPECT_EQ(r.channels[1].room->name, "Rechts \xC3\xA9t\xC3\xA9.txt");
    EXPECT_EQ(r.channels[1].room->data.Points()[1].dFreq, 1000.0 / 3.0); // exactly
    EXPECT_EQ(r.channels[1].room->data.Points()[2].dPhase, -250.0);
    EXPECT_FALSE(r.channels[5].drivers[0]->data.HasPhase());
    EXPECT_EQ(r.channels[5].drivers[0]->ePhase, EPhaseChoice::Minimum);
    EXPECT_FALSE(r.channels[0].room);
    for (int k = 0; k < FIELD_COUNT; ++k) {
        const auto field = static_cast<EChannelField>(k);
        EXPECT_EQ(GetChannelFieldBits(*r.channels[1].asMeasured, field),
                  GetChannelFieldBits(*s.channels[1].asMeasured, field))
            << GetChannelFieldInfo(field).pszName;
    }
    EXPECT_EQ(r.channels[1].asMeasured->GetMode(), MODE_BIAMP);
    EXPECT_EQ(r.view.eTarget, ETargetCurve::S4K);
    EXPECT_EQ(r.view.dTypedLevel, 82.5);
    EXPECT_EQ(r.view.nSmoothing, 6);
    ASSERT_TRUE(r.mask);
    EXPECT_EQ(r.mask->Points().size(), 4u);
    // An empty document is a document too.
    CSidecar empty;
    EXPECT_TRUE(empty.IsEmpty());
    ASSERT_TRUE(CSidecar::Read(empty.Write(), r, error)) << error;
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_FALSE(r.view.bTypedLevel);
}

TEST(Sidecar, DamagedOrForeignDocumentsAreRefusedWholeWithTheReason)
{
    const std::string good = FullDocument().Write();
    auto replaced = [&](const char* pszFrom, const char* pszTo) {
        std::string s = good;
        const std::size_t at = s.find(pszFrom);
        EXPECT_NE(at, std::string::npos) << pszFrom;
        return at == std::string::npos ? s : s.replace(at, std::strlen(pszFrom), pszTo);
    };
    const struct {
        std::string text;
        const char* pszError;
    } cases[] = {
        {"", "offset 0: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"},
        {"{\"format\": 1", "offset 12: syntax error while parsing object - unexpected end of input; expected '}'"},
        {"{\"format\": \"other\"}", "not a measurements file of this program"},
        {"[1, 2]", "not a measurements file of this program"},
        {replaced("\"version\": 1", "\"version\": 2"), "written by a later version of the program (version 2)"},
        {replaced("\"target\": \"S4K\"", "\"target\": \"X7\""), "target: unknown curve \"X7\""},
        {replaced("\"smoothing\": 6", "\"smoothing\": 12"), "smoothing: expected 0, 3 or 6"},
        {replaced("\"smoothing\": 6", "\"smoothing\": 6, \"smoothing\": 3"),
         "the key \"smoothing\" appears twice in one object"},
        {replaced("\"smoothing\": 6", "\"smoothing\": 6, \"extra\": 3"), "document: unknown key \"extra\""},
        {replaced("\"channel\": 1", "\"channel\": 6"), "channels: channel expected 0..5"},
        {replaced("\"channel\": 5", "\"channel\": 1"), "channels: channel 1 given twice"},
        // (Keys are written in order: the drivers come before the room.)
        {replaced("\"phase\": \"measured\"", "\"phase\": \"guessed\""),
         "channel 1.drivers.high.phase: expected \"measured\" or \"minimum\""},
        {replaced("20.0,", "-20.0,"), "channel 1.drivers.high: point 1 is not valid"},
        {replaced("\"m_fltLevel\": ", "\"m_fltLevel\": 1e39, \"x\": "),
         "channel 1.as_measured.fields.m_fltLevel: out of range"},
        {replaced("\"mode\": 2", "\"mode\": 4"), "channel 1.as_measured.mode: expected 2 or 3"},
        {replaced("\"mode\": 2", "\"mode\": 4294967298"), "channel 1.as_measured.mode: expected 2 or 3"},
    };
    for (const auto& c : cases) {
        CSidecar out = FullDocument();
        out.view.nSmoothing = 3; // a mark: a refused read leaves out alone
        std::string error;
        EXPECT_FALSE(CSidecar::Read(c.text, out, error)) << c.text.substr(0, 60);
        EXPECT_EQ(error, c.pszError);
        EXPECT_EQ(out.view.nSmoothing, 3);
    }
    // Nesting beyond reason is refused before it costs anything.
    nlohmann::json j;
    std::string error;
    EXPECT_FALSE(CJsonStrict::Parse(std::string(100, '[') + std::string(100, ']'), j, error));
    EXPECT_EQ(error, "nested deeper than 16 levels");
}

TEST(Sidecar, PathBesideTheConfiguration)
{
    EXPECT_EQ(CSidecar::PathFor("/a/b/hall.qvr"), "/a/b/hall.qvm");
    EXPECT_EQ(CSidecar::PathFor("C:\\x.y\\hall"), "C:\\x.y\\hall.qvm");
    EXPECT_EQ(CSidecar::PathFor("/a.b/.hidden"), "/a.b/.hidden.qvm");
    EXPECT_EQ(CSidecar::PathFor("hall.v2.qvr"), "hall.v2.qvm");
}
