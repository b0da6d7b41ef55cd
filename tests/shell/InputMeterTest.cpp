#include <windows.h>

#include <gtest/gtest.h>
#include <cmath>
#include <limits>

#include "editor/InputMeter.h"
#include "shell/MeterStrip.h"

namespace {

constexpr COLORREF kLit[7] = {0x0000FF, 0x0000FF, 0x00FFFF, 0x00FF00, 0x00FF00, 0x00FF00, 0x00FF00};
constexpr COLORREF kDim[7] = {0x000080, 0x000080, 0x008080, 0x008000, 0x008000, 0x008000, 0x008000};

class MeterWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        const RECT rc{100, 100, 100 + 57, 100 + 70};
        ASSERT_TRUE(m_meter.Create(nullptr, rc, nullptr, WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
        Pump();
    }
    void TearDown() override { ::DestroyWindow(m_meter); }

    static void Pump()
    {
        MSG msg;
        for (int i = 0; i < 5; ++i) {
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageW(&msg);
            ::Sleep(10);
        }
    }
    COLORREF Segment(int i)
    {
        ::UpdateWindow(m_meter);
        HDC dc = ::GetDC(m_meter);
        const RECT seg = m_meter.SegmentRect(i);
        EXPECT_EQ(seg.left, 57 / 2 - 13);
        EXPECT_EQ(seg.top, 2 + 9 * i);
        const COLORREF c = ::GetPixel(dc, 57 / 2 - 13 + 3, 2 + 9 * i + 4);
        ::ReleaseDC(m_meter, dc);
        return c;
    }
    void ExpectSegments(float level)
    {
        m_meter.SetLevel(level);
        for (int i = 0; i < 7; ++i) {
            SCOPED_TRACE(::testing::Message() << "level " << level << " segment " << i);
            EXPECT_EQ(Segment(i), CInputMeter::IsSegmentLit(i, level) ? kLit[i] : kDim[i]);
        }
    }

    CInputMeter m_meter;
};

} // namespace

TEST(InputMeter, SegmentsLightAtTheirThresholds)
{
    auto lit = [](float level) {
        int n = 0;
        for (int i = 0; i < CInputMeter::SEGMENT_COUNT; ++i)
            n |= CInputMeter::IsSegmentLit(i, level) << i;
        return n;
    };
    EXPECT_EQ(lit(-80.0f), 0);
    EXPECT_EQ(lit(0.0f), 0b1111100);  // " 0" and the four minus segments
    EXPECT_EQ(lit(1.5f), 0b1111111);
    EXPECT_EQ(lit(1.49f), 0b1111110); // +2 dim
    EXPECT_EQ(lit(-10.5f), 0b1000000);
    EXPECT_EQ(lit(-10.6f), 0);
    EXPECT_EQ(lit(-std::numeric_limits<float>::infinity()), 0);
}

TEST(InputMeter, ReadingsBecomeLevels)
{
    EXPECT_FLOAT_EQ(CMeterStrip::ReadingToLevel(2147483392.0f), 29.0f);
    EXPECT_NEAR(CMeterStrip::ReadingToLevel(67909632.0f), -1.0f, 0.01f);
    EXPECT_EQ(CMeterStrip::ReadingToLevel(0.0f), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(CMeterStrip::ReadingToLevel(-5.0f), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(CMeterStrip::ReadingToLevel(std::nanf("")), -std::numeric_limits<float>::infinity());
}

TEST_F(MeterWindow, PaintsLitAndDimSegments)
{
    for (float level : {-80.0f, 0.0f, 1.49f, 1.5f, -10.5f, -3.0f})
        ExpectSegments(level);
}

TEST_F(MeterWindow, ColumnIsCentredIn57Pixels)
{
    m_meter.SetLevel(0.0f);
    ::UpdateWindow(m_meter);
    HDC dc = ::GetDC(m_meter);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF outline = ::GetSysColor(COLOR_WINDOWTEXT);
    EXPECT_EQ(::GetPixel(dc, 14, 6), face);
    EXPECT_EQ(::GetPixel(dc, 15, 6), outline);
    EXPECT_EQ(::GetPixel(dc, 40, 6), outline);
    EXPECT_EQ(::GetPixel(dc, 41, 6), face);
    EXPECT_EQ(::GetPixel(dc, 20, 2 + 6 * 9 + 10), outline); // last segment's bottom edge at y = 66
    EXPECT_EQ(::GetPixel(dc, 20, 67), face);
    ::ReleaseDC(m_meter, dc);
}

TEST_F(MeterWindow, RepaintsOnlyWhenTheLevelChanges)
{
    m_meter.SetLevel(-3.0f);
    ::UpdateWindow(m_meter);
    RECT rc;
    m_meter.SetLevel(-3.0f);
    EXPECT_FALSE(::GetUpdateRect(m_meter, &rc, FALSE));
    m_meter.SetLevel(-2.0f);
    EXPECT_TRUE(::GetUpdateRect(m_meter, &rc, FALSE));
    EXPECT_FLOAT_EQ(m_meter.GetLevel(), -2.0f);
}

TEST_F(MeterWindow, TakesNoMouseAndCannotBeClosed)
{
    EXPECT_EQ(::SendMessageW(m_meter, WM_NCHITTEST, 0, MAKELPARAM(110, 110)), HTTRANSPARENT);
    ::SendMessageW(m_meter, WM_CLOSE, 0, 0);
    EXPECT_TRUE(::IsWindow(m_meter));
}

// At 144 dpi (150 %): in a meter grown with the resolution the column is
// half as large again; in one the frame gives less height, it is shortened
// to fit.  Either way every segment shows lit or dim.
TEST(InputMeter, GrowsWithTheResolutionAndFitsItsHeight)
{
    const CDpiScale s144(144, 144);
    for (int height : {110, 80}) {
        SCOPED_TRACE(height);
        CInputMeter meter;
        meter.SetScale(s144);
        const RECT rc{100, 100, 100 + s144.X(57), 100 + height};
        ASSERT_TRUE(meter.Create(nullptr, rc, nullptr, WS_POPUP | WS_VISIBLE));
        meter.SetLevel(-3.0f);
        ::UpdateWindow(meter);
        const RECT top = meter.SegmentRect(0);
        const RECT last = meter.SegmentRect(CInputMeter::SEGMENT_COUNT - 1);
        EXPECT_EQ(top.right - top.left, 2 * s144.X(13));
        EXPECT_EQ((top.left + top.right) / 2, s144.X(57) / 2);
        if (height >= s144.Y(67))
            EXPECT_EQ(last.bottom, s144.Y(67));
        else
            EXPECT_EQ(last.bottom, height);
        HDC dc = ::GetDC(meter);
        for (int i = 0; i < CInputMeter::SEGMENT_COUNT; ++i) {
            const RECT seg = meter.SegmentRect(i);
            const COLORREF expected = CInputMeter::IsSegmentLit(i, -3.0f) ? kLit[i] : kDim[i];
            EXPECT_EQ(::GetPixel(dc, seg.left + 3, seg.top + 3), expected) << "segment " << i;
        }
        ::ReleaseDC(meter, dc);
        ::DestroyWindow(meter);
    }
}
