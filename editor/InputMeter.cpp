#include "editor/InputMeter.h"

namespace {

struct SSegment {
    float fltThreshold; // lit when the level is at least this (dB)
    int nGroup;         // 0 high (red), 1 normal (yellow), 2 low (green)
    const wchar_t* pszLabel;
};

// Top to bottom.
const SSegment kSegments[CInputMeter::SEGMENT_COUNT] = {
    {1.5f, 0, L"+2"},  {0.5f, 0, L"+1"},  {-0.5f, 1, L" 0"},   {-1.5f, 2, L"-1"},
    {-3.5f, 2, L"-3"}, {-5.5f, 2, L"-5"}, {-10.5f, 2, L"-10"},
};

// Pixels at 96 dpi.
constexpr int kSegmentHalfWidth = 13;
constexpr int kSegmentTop = 2;
constexpr int kSegmentBottom = 13;
constexpr int kSegmentStep = 9; // segments overlap by 2 pixels
constexpr int kColumnBottom = kSegmentBottom + kSegmentStep * (CInputMeter::SEGMENT_COUNT - 1); // 67
constexpr int kFontHeight = 8;

} // namespace

CInputMeter::CInputMeter()
    : m_scale(CDpiScale::FromScreen()),
      m_scaleDrawn(m_scale),
      m_fntDB(CreateFaceFont(m_scale.Y(kFontHeight), FW_NORMAL, L"MS Trebuchet")),
      m_brushLevelHigh(::CreateSolidBrush(0x0000FF)),
      m_brushLevelHighDim(::CreateSolidBrush(0x000080)),
      m_brushLevelNormal(::CreateSolidBrush(0x00FFFF)),
      m_brushLevelNormalDim(::CreateSolidBrush(0x008080)),
      m_brushLevelLow(::CreateSolidBrush(0x00FF00)),
      m_brushLevelLowDim(::CreateSolidBrush(0x008000)),
      m_penOutline(::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_WINDOWTEXT)))
{
    CClientDC dcScreen(nullptr);
    m_dcMem.Reset(::CreateCompatibleDC(dcScreen));
}

CInputMeter::~CInputMeter()
{
    if (m_hbmOld)
        ::SelectObject(m_dcMem, m_hbmOld);
    // The window, if it still exists, must not paint with freed objects.
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

void CInputMeter::SetScale(const CDpiScale& scale)
{
    if (scale == m_scale)
        return;
    m_scale = scale;
    m_scaleDrawn = m_hWnd ? DrawingScale(m_cyClient) : m_scale;
    CreateLabelFont();
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CInputMeter::CreateLabelFont()
{
    m_fntDB.Reset(CreateFaceFont(m_scaleDrawn.Y(kFontHeight), FW_NORMAL, L"MS Trebuchet"));
}

CDpiScale CInputMeter::DrawingScale(int nHeight) const
{
    if (m_scale.GetDpiY() <= CDpiScale::BASE_DPI || m_scale.Y(kColumnBottom) <= nHeight)
        return m_scale;
    const int nDpiY = nHeight * CDpiScale::BASE_DPI / kColumnBottom; // rounded down: the column fits
    return CDpiScale(m_scale.GetDpiX(), nDpiY > CDpiScale::BASE_DPI ? nDpiY : CDpiScale::BASE_DPI);
}

RECT CInputMeter::SegmentRect(int nSegment) const
{
    // Each edge is scaled from its 96-dpi place, so the overlaps stay even.
    const CDpiScale& s = m_scaleDrawn;
    const int nHalf = s.X(kSegmentHalfWidth);
    return RECT{m_cxClient / 2 - nHalf, s.Y(kSegmentTop + kSegmentStep * nSegment), m_cxClient / 2 + nHalf,
                s.Y(kSegmentBottom + kSegmentStep * nSegment)};
}

bool CInputMeter::IsSegmentLit(int nSegment, float fltLevel)
{
    return nSegment >= 0 && nSegment < SEGMENT_COUNT && fltLevel >= kSegments[nSegment].fltThreshold;
}

void CInputMeter::SetLevel(float fltLevel)
{
    if (fltLevel == m_fltLevel)
        return;
    m_fltLevel = fltLevel;
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT CInputMeter::OnSize(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    const int cx = static_cast<short>(LOWORD(lParam));
    const int cy = static_cast<short>(HIWORD(lParam));
    if (cx == m_cxClient && cy == m_cyClient)
        return 0;
    m_cxClient = cx;
    m_cyClient = cy;
    const CDpiScale scaleDrawn = DrawingScale(cy);
    if (scaleDrawn != m_scaleDrawn) {
        m_scaleDrawn = scaleDrawn;
        CreateLabelFont();
    }
    if (m_bmpMem) {
        ::SelectObject(m_dcMem, m_hbmOld);
        m_hbmOld = nullptr;
        m_bmpMem.Reset();
    }
    CClientDC dc(m_hWnd);
    m_bmpMem.Reset(::CreateCompatibleBitmap(dc, cx, cy));
    if (m_bmpMem)
        m_hbmOld = ::SelectObject(m_dcMem, m_bmpMem);
    return 0;
}

LRESULT CInputMeter::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    CPaintDC dc(m_hWnd);
    if (!m_bmpMem)
        return 0;
    RECT rcClient;
    ::GetClientRect(m_hWnd, &rcClient);
    const int w = rcClient.right;
    const int h = rcClient.bottom;
    {
        CSaveDC save(m_dcMem);
        ::FillRect(m_dcMem, &rcClient, ::GetSysColorBrush(COLOR_BTNFACE));
        ::SetBkMode(m_dcMem, TRANSPARENT);
        ::SelectObject(m_dcMem, m_fntDB);
        ::SelectObject(m_dcMem, m_penOutline);
        ::SetTextColor(m_dcMem, ::GetSysColor(COLOR_WINDOWTEXT));

        const HBRUSH lit[3] = {m_brushLevelHigh, m_brushLevelNormal, m_brushLevelLow};
        const HBRUSH dim[3] = {m_brushLevelHighDim, m_brushLevelNormalDim, m_brushLevelLowDim};
        for (int i = 0; i < SEGMENT_COUNT; ++i) {
            const SSegment& seg = kSegments[i];
            const RECT rc = SegmentRect(i);
            ::SelectObject(m_dcMem, IsSegmentLit(i, m_fltLevel) ? lit[seg.nGroup] : dim[seg.nGroup]);
            ::Rectangle(m_dcMem, rc.left, rc.top, rc.right, rc.bottom);
            RECT rcText = rc;
            ::OffsetRect(&rcText, 0, m_scaleDrawn.Y(1));
            ::DrawTextW(m_dcMem, seg.pszLabel, -1, &rcText, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
        ::BitBlt(dc, 0, 0, w, h, m_dcMem, 0, 0, SRCCOPY);
    }
    return 0;
}

LRESULT CInputMeter::OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&)
{
    return 1; // the paint covers every pixel
}

LRESULT CInputMeter::OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&)
{
    return HTTRANSPARENT;
}

LRESULT CInputMeter::OnClose(UINT, WPARAM, LPARAM, BOOL&)
{
    return 0; // a meter is closed only with its frame
}
