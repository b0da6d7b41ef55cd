// Takes the editor's pictures for the documentation: a Triamp channel, a
// Biamp channel and the Subwoofer, each with an adjuster selected, and the
// summed response (alone, with its phase, with an inverted band).  The form
// is set up with real clicks and typing, and its pixels are read from the
// screen into 24-bit BMP files (tests/editor/screenshots.sh turns them into
// PNGs).  Usage: editor_screenshots.exe OUTDIR
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/editor/FormDriver.h"

namespace {

bool SaveWindowPixels(HWND hWnd, const std::wstring& path)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    HDC hdcScreen = ::GetDC(nullptr);
    HDC hdcMem = ::CreateCompatibleDC(hdcScreen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = cy; // bottom-up, as a BMP file stores it
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HBITMAP hbm = ::CreateDIBSection(hdcScreen, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HGDIOBJ hOld = ::SelectObject(hdcMem, hbm);
    ::BitBlt(hdcMem, 0, 0, cx, cy, hdcScreen, rc.left, rc.top, SRCCOPY);
    ::GdiFlush();
    const DWORD cbRow = (static_cast<DWORD>(cx) * 3 + 3) & ~3u;
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + cbRow * static_cast<DWORD>(cy);
    bool bOk = false;
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (f) {
        bOk = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
              fwrite(pBits, cbRow * static_cast<DWORD>(cy), 1, f) == 1;
        fclose(f);
    }
    ::SelectObject(hdcMem, hOld);
    ::DeleteObject(hbm);
    ::DeleteDC(hdcMem);
    ::ReleaseDC(nullptr, hdcScreen);
    return bOk;
}

void Settle(CFormDriver& d)
{
    d.Pump(200);
    ::RedrawWindow(d.FormWnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    d.Pump(200);
}

void SetField(CFormDriver& d, int nId, const char* pszValue)
{
    d.ClearField(nId);
    d.Type(pszValue);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring dir = argc > 1 ? argv[1] : L".";
    int nFailures = 0;

    {
        // Triamp: Center with a cut in the High band's equaliser, its handle selected.
        CFormDriver d;
        if (!d.Create())
            return 2;
        SetField(d, IDC_LOW_PEQ_FREQ, "63");
        SetField(d, IDC_LOW_PEQ_GAIN, "3");
        SetField(d, IDC_HIGH_PEQ_GAIN, "-4.5");
        SetField(d, IDC_HIGH_PEQ_Q, "2");
        SetField(d, IDC_HIGH_PEQ_FREQ, "5000");
        Settle(d);
        nFailures += !SaveWindowPixels(d.FormWnd(), dir + L"\\editor-triamp.bmp");
    }
    {
        // Biamp: Left with an 800 Hz crossover, the Low LP handle selected.
        CFormDriver d;
        if (!d.Create())
            return 2;
        d.AnswerNextMessageBox(IDYES);
        d.Click(IDC_BIAMP);
        d.WaitFor([&] { return d.BoxAnswered(); });
        d.Click(IDC_CH_LEFT);
        SetField(d, IDC_HIGH_HP_FREQ, "800");
        SetField(d, IDC_HIGH_GAIN, "-3");
        SetField(d, IDC_LOW_LP_FREQ, "800");
        Settle(d);
        nFailures += !SaveWindowPixels(d.FormWnd(), dir + L"\\editor-biamp.bmp");
    }
    {
        // Subwoofer: level -4 dB, the Low band's handle selected from its gain field.
        CFormDriver d;
        if (!d.Create())
            return 2;
        d.Click(IDC_CH_SUBWOOFER);
        ::SendMessageW(d.Item(IDC_LEVEL), TBM_SETPOS, TRUE, 8);
        ::SendMessageW(d.FormWnd(), WM_VSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 8),
                       reinterpret_cast<LPARAM>(d.Item(IDC_LEVEL)));
        ::SendMessageW(d.FormWnd(), WM_VSCROLL, MAKEWPARAM(TB_ENDTRACK, 0),
                       reinterpret_cast<LPARAM>(d.Item(IDC_LEVEL)));
        SetField(d, IDC_LOW_GAIN, "-2");
        Settle(d);
        nFailures += !SaveWindowPixels(d.FormWnd(), dir + L"\\editor-subwoofer.bmp");
    }
    {
        // The factory Triamp channel with its summed response: the dips at
        // the Low/Mid and Mid/High crossovers.
        CFormDriver d;
        if (!d.Create())
            return 2;
        d.Form().GetPlot().ShowSum(true);
        Settle(d);
        nFailures += !SaveWindowPixels(d.FormWnd(), dir + L"\\editor-sum.bmp");
        // ... and its phase.
        d.Form().GetPlot().ShowPhase(true);
        Settle(d);
        nFailures += !SaveWindowPixels(d.FormWnd(), dir + L"\\editor-sum-phase.bmp");
    }
    {
        // Biamp Left, 800 Hz crossover, the High band inverted: a null at 800 Hz.
        CFormDriver d;
        if (!d.Create())
            return 2;
        d.AnswerNextMessageBox(IDYES);
        d.Click(IDC_BIAMP);
        d.WaitFor([&] { return d.BoxAnswered(); });
        d.Click(IDC_CH_LEFT);
        SetField(d, IDC_HIGH_HP_FREQ, "800");
        SetField(d, IDC_LOW_LP_FREQ, "800");
        d.Click(IDC_HIGH_INVERT);
        d.Form().GetPlot().ShowSum(true);
        d.Form().GetPlot().SelectAdjuster(0); // its line would hide the null's bottom
        Settle(d);
        nFailures += !SaveWindowPixels(d.FormWnd(), dir + L"\\editor-sum-inverted.bmp");
    }
    std::printf("%s\n", nFailures ? "failed" : "ok");
    return nFailures ? 1 : 0;
}
