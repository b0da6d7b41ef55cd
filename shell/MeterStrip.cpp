#include "shell/MeterStrip.h"

#include <cmath>
#include <limits>

#include "device/RXQueue.h"
#include "framework/DpiScale.h"
#include "model/ParameterMap.h"

namespace {

// Meters, left to right: Left, Left Center, Center, Right Center, Right, Subwoofer.
constexpr int kMeterOrder[CHANNEL_COUNT] = {0, 3, 2, 4, 1, 5};
constexpr int kMeterWidth = 57;
constexpr int kMeterStep = 56;  // neighbours share one pixel
constexpr int kMeterSpan = 337; // six meters
constexpr int kMeterBelowToolBar = 6;

constexpr float kMeterFullScale = 2147483392.0f;
constexpr double kMeterOffsetDb = 29.0;

} // namespace

float CMeterStrip::ReadingToLevel(float fltValue)
{
    if (!(fltValue > 0.0f)) // 0, negative or not a number: no signal
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(20.0 * std::log10(fltValue / static_cast<double>(kMeterFullScale)) + kMeterOffsetDb);
}

void CMeterStrip::Create(HWND hToolBar)
{
    const RECT rcEmpty{};
    for (CInputMeter& meter : m_meters)
        meter.Create(hToolBar, rcEmpty, nullptr, WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_NOACTIVATE);
}

void CMeterStrip::Show()
{
    // Shown, and kept, without activation (they never take the focus): a
    // window manager (and Wine without one) then treats them as the frame's
    // decorations rather than as windows of their own, whose every hiding
    // Wine waits for when no window manager answers (two seconds each at exit).
    for (CInputMeter& meter : m_meters)
        ::ShowWindow(meter, SW_SHOWNOACTIVATE);
}

void CMeterStrip::Layout(HWND hFrame, HWND hToolBar)
{
    if (!::IsWindow(hToolBar))
        return;
    RECT r;
    ::GetClientRect(hToolBar, &r);
    const CDpiScale& scale = CDpiScale::FromScreen();
    const int nSpan = scale.X(kMeterSpan);
    RECT rc{r.right - nSpan, r.top - ::GetSystemMetrics(SM_CYMENU), r.right - nSpan + scale.X(kMeterWidth),
            r.bottom + scale.Y(kMeterBelowToolBar)};
    ::MapWindowPoints(hFrame, nullptr, reinterpret_cast<POINT*>(&rc), 2);

    HDWP hdwp = ::BeginDeferWindowPos(CHANNEL_COUNT);
    for (int nChannel : kMeterOrder) {
        if (hdwp && m_meters[nChannel].IsWindow())
            hdwp = ::DeferWindowPos(hdwp, m_meters[nChannel], nullptr, rc.left, rc.top, rc.right - rc.left,
                                    rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
        ::OffsetRect(&rc, scale.X(kMeterStep), 0);
    }
    if (hdwp)
        ::EndDeferWindowPos(hdwp);
}

void CMeterStrip::OnRecord(const utRXQueue& record)
{
    if (record.bParameter == PARAMETER_METER && record.bChannel < CHANNEL_COUNT)
        m_meters[record.bChannel].SetLevel(ReadingToLevel(RXGetValue(record)));
}

void CMeterStrip::Reset()
{
    for (CInputMeter& meter : m_meters)
        meter.SetLevel(CInputMeter::LEVEL_OFF);
}
