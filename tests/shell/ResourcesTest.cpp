// The compiled resource script against the shared string table and the
// fixed tables of the shell (menu, accelerators, pictures, dialogs).
#include <windows.h>

#include <gtest/gtest.h>
#include <cwctype>
#include <string>
#include <vector>

#include "framework/ExeModule.h"
#include "resources/resource.h"
#include "resources/strings/StringTable.h"

namespace {

std::wstring Wide(const char16_t* p)
{
    return std::wstring(p, p + std::char_traits<char16_t>::length(p));
}

SIZE BitmapSize(UINT nId, int* pnBits = nullptr)
{
    HANDLE h = ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(nId), IMAGE_BITMAP, 0, 0,
                            LR_CREATEDIBSECTION);
    DIBSECTION ds{};
    SIZE s{0, 0};
    if (h && ::GetObjectW(h, sizeof ds, &ds)) {
        s = {ds.dsBm.bmWidth, ds.dsBm.bmHeight};
        if (pnBits)
            *pnBits = ds.dsBmih.biBitCount;
    }
    if (h)
        ::DeleteObject(h);
    return s;
}

} // namespace

TEST(Resources, EveryStringOfTheTableIsCompiledUnchanged)
{
    const qvr::StringEntry* p = qvr::StringTableBegin();
    ASSERT_GT(qvr::StringTableSize(), 30u);
    for (std::size_t i = 0; i < qvr::StringTableSize(); ++i) {
        SCOPED_TRACE(p[i].id);
        EXPECT_EQ(g_Module.LoadString(p[i].id), Wide(p[i].text));
    }
}

TEST(Resources, MenuCarriesTheCommandsInOrder)
{
    HMENU hMenu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_TRUE(hMenu);
    const std::vector<std::vector<std::pair<std::wstring, UINT>>> expected = {
        {{L"&New\tCtrl+N", 32773}, {L"&Open\tCtrl+O", 32774}, {L"&Save\tCtrl+S", 32775}, {L"S&ave As...", 32776},
         {L"&Profile Information...", 32785}, {L"", 0}, {L"&Copy Channel...\tCtrl+Shift+C", 32780}, {L"", 0},
         {L"System &Mute", 32781}, {L"", 0}, {L"E&xit\tAlt+F4", 32768}},
        {{L"&Undo\tCtrl+Z", 32810}, {L"&Redo\tCtrl+Y", 32811}},
        {{L"&Summed Response\tCtrl+U", 32800}, {L"&Phase", 32801}, {L"", 0}, {L"M&easured", 32803},
         {L"P&redicted", 32804}, {L"&Target", 32805}, {L"", 0}, {L"&Measurements...", 32802}},
        {{L"Se&lect Device...", 32777}, {L"&Connect\tF2", 32778}, {L"&Disconnect\tF3", 32779}, {L"", 0},
         {L"Download &Firmware...", 32771}},
        {{L"Diagnostics", 32783}, {L"&Save Link Log...", 32790}, {L"", 0}, {L"&About...", 32769}},
    };
    const wchar_t* titles[] = {L"&File", L"&Edit", L"&View", L"&Communication", L"&Help"};
    ASSERT_EQ(::GetMenuItemCount(hMenu), 5);
    for (int m = 0; m < 5; ++m) {
        wchar_t sz[64];
        ::GetMenuStringW(hMenu, m, sz, 64, MF_BYPOSITION);
        EXPECT_STREQ(sz, titles[m]);
        HMENU hSub = ::GetSubMenu(hMenu, m);
        ASSERT_EQ(::GetMenuItemCount(hSub), static_cast<int>(expected[m].size()));
        for (int i = 0; i < ::GetMenuItemCount(hSub); ++i) {
            sz[0] = 0;
            ::GetMenuStringW(hSub, i, sz, 64, MF_BYPOSITION);
            EXPECT_EQ(sz, expected[m][i].first);
            if (expected[m][i].second)
                EXPECT_EQ(::GetMenuItemID(hSub, i), expected[m][i].second);
            else
                EXPECT_TRUE(::GetMenuState(hSub, i, MF_BYPOSITION) & MF_SEPARATOR);
        }
        // Alt, the menu's letter, then the item's letter reaches each item: no two items of one menu
        // may share a letter (the second would never be reached).
        std::wstring letters;
        for (const auto& item : expected[m]) {
            const std::size_t amp = item.first.find(L'&');
            if (amp == std::wstring::npos || amp + 1 >= item.first.size())
                continue;
            const wchar_t c = static_cast<wchar_t>(::towupper(item.first[amp + 1]));
            EXPECT_EQ(letters.find(c), std::wstring::npos) << "menu " << m << " letter " << static_cast<char>(c);
            letters += c;
        }
    }
    // Every command of the menus has status help: its string holds a
    // description after the newline (the status bar shows that part).
    for (int m = 0; m < 5; ++m) {
        HMENU hSub = ::GetSubMenu(hMenu, m);
        for (int i = 0; i < ::GetMenuItemCount(hSub); ++i) {
            const UINT nId = ::GetMenuItemID(hSub, i);
            if (nId == 0 || nId == static_cast<UINT>(-1))
                continue;
            const std::wstring text = g_Module.LoadString(nId);
            const std::size_t n = text.find(L'\n');
            EXPECT_TRUE(n != std::wstring::npos && n + 1 < text.size()) << nId;
        }
    }
    ::DestroyMenu(hMenu);
}

TEST(Resources, AcceleratorsAreExactlyTheEleven)
{
    HACCEL hAccel = ::LoadAcceleratorsW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_TRUE(hAccel);
    ACCEL a[16];
    const int n = ::CopyAcceleratorTableW(hAccel, a, 16);
    ASSERT_EQ(n, 11);
    struct E {
        BYTE fVirt;
        WORD key;
        WORD cmd;
    } expected[] = {{FVIRTKEY | FCONTROL | FSHIFT, 'C', 32780}, {FVIRTKEY | FCONTROL, 'M', 32781},
                    {FVIRTKEY | FCONTROL, 'N', 32773},          {FVIRTKEY | FCONTROL, 'O', 32774},
                    {FVIRTKEY | FCONTROL, 'S', 32775},          {FVIRTKEY | FCONTROL, 'U', 32800},
                    {FVIRTKEY | FCONTROL, 'Y', 32811},          {FVIRTKEY | FCONTROL, 'Z', 32810},
                    {FVIRTKEY | FCONTROL | FSHIFT, 'Z', 32811},
                    {FVIRTKEY, VK_F2, 32778},                   {FVIRTKEY, VK_F3, 32779}};
    for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a[i].fVirt & ~0x80, expected[i].fVirt);
        EXPECT_EQ(a[i].key, expected[i].key);
        EXPECT_EQ(a[i].cmd, expected[i].cmd);
    }
    ::DestroyAcceleratorTable(hAccel);
}

TEST(Resources, PicturesHaveTheirSizes)
{
    int nBits = 0;
    SIZE s = BitmapSize(IDB_TOOLBAR, &nBits);
    EXPECT_EQ(s.cx, 14 * 32); // all fourteen 32 x 32 images
    EXPECT_EQ(s.cy, 32);
    EXPECT_EQ(nBits, 4);
    s = BitmapSize(IDB_SPEAKERLIB);
    EXPECT_EQ(s.cx, 32);
    EXPECT_EQ(s.cy, 16);
    EXPECT_TRUE(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_QVR500)));
    EXPECT_TRUE(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PLM40)));
}

TEST(Resources, SplashPicturesFillTheirRectanglesAt96Dpi)
{
    HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    if (dpi != 96)
        GTEST_SKIP() << "screen at " << dpi << " dpi";
    // The template as a plain dialog: its picture controls take their bitmaps' sizes.
    HWND hDlg = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SPLASH), nullptr,
                                     [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_TRUE(hDlg);
    struct P {
        UINT id;
        RECT du;
    } pictures[] = {{IDB_SPLASH_LOGO, {53, 3, 53 + 58, 3 + 21}},
                    {IDB_SPLASH_UNIT, {21, 51, 21 + 122, 51 + 22}},
                    {IDB_SPLASH_STRAP, {6, 78, 6 + 151, 78 + 13}}};
    for (const P& p : pictures) {
        SCOPED_TRACE(p.id);
        RECT rc = p.du;
        ::MapDialogRect(hDlg, &rc);
        const SIZE s = BitmapSize(p.id);
        EXPECT_EQ(s.cx, rc.right - rc.left);
        EXPECT_EQ(s.cy, rc.bottom - rc.top);
    }
    ::DestroyWindow(hDlg);
}
