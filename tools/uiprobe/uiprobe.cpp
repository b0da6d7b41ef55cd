// uiprobe: reads the windows of a running program for the end-to-end tests.
// Every answer is one line of JSON on stdout; exit code 0 on success, 1 when
// the window or control is not found, 2 on a usage error.
//
//   uiprobe list                        top-level windows (all processes)
//   uiprobe info SEL [ID]               one window, or its control ID
//   uiprobe children SEL                every descendant window
//   uiprobe pixel SEL X Y               colour at client (X, Y) of the window
//   uiprobe screenpixel X Y             colour at a screen point
//   uiprobe pixels SEL X Y W H          colours (with counts) of a client rectangle on screen
//   uiprobe toolbar SEL                 buttons of the toolbar inside SEL
//   uiprobe status SEL                  parts of the status bar inside SEL
//   uiprobe combo SEL ID                items of combo box ID
//   uiprobe listview SEL ID             items of list view ID (text, image index)
//   uiprobe command SEL ID              posts WM_COMMAND ID to SEL
//   uiprobe post SEL MSG WPARAM LPARAM  posts a message (numbers: decimal or 0x hex)
//   uiprobe send SEL MSG WPARAM LPARAM  sends a message, prints the result
//   uiprobe adjust CX CY STYLE EXSTYLE MENU   AdjustWindowRectEx of a client size
//   uiprobe metrics                     screen resolution and a few system metrics
//   uiprobe active                      the foreground window
//   uiprobe focus                       the window with the keyboard focus
//   uiprobe foreground SEL              brings SEL to the foreground
//   uiprobe serialports [COMn...]       makes these the machine's serial ports (HKLM SERIALCOMM)
//
// SEL picks a top-level window: "class:NAME", "title:TEXT", "hwnd:0xHEX",
// optionally followed by ",visible" (only visible ones) or ",owner:SEL2"
// is not supported; the first match in z-order wins.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& s)
{
    if (s.empty())
        return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const char* s)
{
    int n = ::MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1)
        ::MultiByteToWideChar(CP_UTF8, 0, s, -1, out.data(), n);
    return out;
}

std::string Json(const std::wstring& s)
{
    std::string u = Utf8(s), out = "\"";
    for (unsigned char c : u) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char b[8];
                std::snprintf(b, sizeof b, "\\u%04x", c);
                out += b;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string Rect(const RECT& r)
{
    char b[96];
    std::snprintf(b, sizeof b, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    return b;
}

std::wstring ClassOf(HWND h)
{
    wchar_t sz[256] = {};
    ::GetClassNameW(h, sz, 256);
    return sz;
}

// Window text; for windows of other processes WM_GETTEXT is marshalled.
std::wstring TextOf(HWND h)
{
    DWORD_PTR n = 0;
    if (!::SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &n))
        return {};
    std::wstring s(n + 1, L'\0');
    DWORD_PTR got = 0;
    ::SendMessageTimeoutW(h, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(s.data()), SMTO_ABORTIFHUNG, 2000, &got);
    s.resize(got);
    return s;
}

unsigned long long Num(const char* s)
{
    return std::strtoull(s, nullptr, 0);
}

std::string Hwnd(HWND h)
{
    char b[32];
    std::snprintf(b, sizeof b, "\"0x%llx\"", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(h)));
    return b;
}

std::string Describe(HWND h)
{
    RECT rw{}, rc{};
    ::GetWindowRect(h, &rw);
    ::GetClientRect(h, &rc);
    POINT org{0, 0};
    ::ClientToScreen(h, &org);
    const std::wstring cls = ClassOf(h);
    const LONG style = ::GetWindowLongW(h, GWL_STYLE);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    std::string out = "{\"hwnd\":" + Hwnd(h) + ",\"class\":" + Json(cls) + ",\"text\":" + Json(TextOf(h));
    char b[512];
    std::snprintf(b, sizeof b,
                  ",\"id\":%d,\"visible\":%s,\"enabled\":%s,\"style\":%ld,\"exstyle\":%ld,\"pid\":%lu,"
                  "\"owner\":%s,\"parent\":%s,\"rect\":%s,\"client\":[%ld,%ld],\"origin\":[%ld,%ld]",
                  static_cast<int>(::GetDlgCtrlID(h)), ::IsWindowVisible(h) ? "true" : "false",
                  ::IsWindowEnabled(h) ? "true" : "false", style, ::GetWindowLongW(h, GWL_EXSTYLE), pid,
                  Hwnd(::GetWindow(h, GW_OWNER)).c_str(), Hwnd(::GetAncestor(h, GA_PARENT)).c_str(), Rect(rw).c_str(),
                  rc.right, rc.bottom, org.x, org.y);
    out += b;
    if (::lstrcmpiW(cls.c_str(), L"Button") == 0) {
        std::snprintf(b, sizeof b, ",\"checked\":%d", static_cast<int>(::SendMessageW(h, BM_GETCHECK, 0, 0)));
        out += b;
    }
    return out + "}";
}

struct SFind {
    std::wstring cls, title;
    HWND hwnd = nullptr;
    bool visibleOnly = false;
    HWND found = nullptr;
};

BOOL CALLBACK FindProc(HWND h, LPARAM lp)
{
    auto* f = reinterpret_cast<SFind*>(lp);
    if (f->visibleOnly && !::IsWindowVisible(h))
        return TRUE;
    if (!f->cls.empty() && ::lstrcmpiW(ClassOf(h).c_str(), f->cls.c_str()) != 0)
        return TRUE;
    if (!f->title.empty() && TextOf(h) != f->title)
        return TRUE;
    f->found = h;
    return FALSE;
}

HWND Select(const char* sel)
{
    SFind f;
    std::string s = sel;
    size_t comma = s.find(",visible");
    if (comma != std::string::npos) {
        f.visibleOnly = true;
        s.erase(comma);
    }
    if (s.rfind("hwnd:", 0) == 0) {
        HWND h = reinterpret_cast<HWND>(static_cast<UINT_PTR>(Num(s.c_str() + 5)));
        return ::IsWindow(h) ? h : nullptr;
    }
    if (s.rfind("class:", 0) == 0)
        f.cls = Wide(s.c_str() + 6);
    else if (s.rfind("title:", 0) == 0)
        f.title = Wide(s.c_str() + 6);
    else
        return nullptr;
    ::EnumWindows(FindProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

BOOL CALLBACK CollectProc(HWND h, LPARAM lp)
{
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

HWND FindChildByClass(HWND parent, const wchar_t* cls)
{
    std::vector<HWND> all;
    ::EnumChildWindows(parent, CollectProc, reinterpret_cast<LPARAM>(&all));
    for (HWND h : all)
        if (::lstrcmpiW(ClassOf(h).c_str(), cls) == 0)
            return h;
    return nullptr;
}

// Memory in the window's process, for control messages that take pointers.
class CRemote {
public:
    CRemote(HWND h, SIZE_T size) : m_size(size)
    {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(h, &pid);
        m_hProcess = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_hProcess)
            m_p = ::VirtualAllocEx(m_hProcess, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~CRemote()
    {
        if (m_p)
            ::VirtualFreeEx(m_hProcess, m_p, 0, MEM_RELEASE);
        if (m_hProcess)
            ::CloseHandle(m_hProcess);
    }
    LPARAM Ptr() const { return reinterpret_cast<LPARAM>(m_p); }
    bool Read(void* out, SIZE_T n) const
    {
        SIZE_T got = 0;
        return m_p && ::ReadProcessMemory(m_hProcess, m_p, out, n, &got) && got == n;
    }
    bool Write(const void* in, SIZE_T n) const
    {
        SIZE_T put = 0;
        return m_p && ::WriteProcessMemory(m_hProcess, m_p, in, n, &put) && put == n;
    }
    explicit operator bool() const { return m_p != nullptr; }

private:
    HANDLE m_hProcess = nullptr;
    void* m_p = nullptr;
    SIZE_T m_size;
};

int Usage()
{
    std::fprintf(stderr, "usage: uiprobe list|info|children|pixel|screenpixel|toolbar|status|combo|listview|command|post|send|"
                         "adjust|metrics|foreground ...\n");
    return 2;
}

int NotFound(const char* what)
{
    std::printf("{\"error\":\"not found\",\"what\":%s}\n", Json(Wide(what)).c_str());
    return 1;
}

std::string Colour(COLORREF c)
{
    char b[64];
    if (c == CLR_INVALID)
        return "null";
    std::snprintf(b, sizeof b, "[%u,%u,%u]", GetRValue(c), GetGValue(c), GetBValue(c));
    return b;
}

int CmdList()
{
    std::vector<HWND> all;
    ::EnumWindows(CollectProc, reinterpret_cast<LPARAM>(&all));
    std::string out = "[";
    bool first = true;
    for (HWND h : all) {
        if (!first)
            out += ",";
        first = false;
        out += Describe(h);
    }
    std::printf("%s]\n", out.c_str());
    return 0;
}

int CmdChildren(HWND h)
{
    std::vector<HWND> all;
    ::EnumChildWindows(h, CollectProc, reinterpret_cast<LPARAM>(&all));
    std::string out = "[";
    for (size_t i = 0; i < all.size(); ++i)
        out += (i ? "," : "") + Describe(all[i]);
    std::printf("%s]\n", out.c_str());
    return 0;
}

int CmdToolbar(HWND h)
{
    HWND tb = ::lstrcmpiW(ClassOf(h).c_str(), TOOLBARCLASSNAMEW) == 0 ? h : FindChildByClass(h, TOOLBARCLASSNAMEW);
    if (!tb)
        return NotFound("toolbar");
    const int n = static_cast<int>(::SendMessageW(tb, TB_BUTTONCOUNT, 0, 0));
    CRemote mem(tb, sizeof(TBBUTTON) + sizeof(RECT));
    if (!mem)
        return NotFound("toolbar process");
    std::string out = "{\"hwnd\":" + Hwnd(tb) + ",\"buttons\":[";
    for (int i = 0; i < n; ++i) {
        TBBUTTON b{};
        RECT r{};
        ::SendMessageW(tb, TB_GETBUTTON, i, mem.Ptr());
        mem.Read(&b, sizeof b);
        ::SendMessageW(tb, TB_GETITEMRECT, i, mem.Ptr());
        mem.Read(&r, sizeof r);
        ::MapWindowPoints(tb, nullptr, reinterpret_cast<POINT*>(&r), 2);
        char buf[256];
        std::snprintf(buf, sizeof buf,
                      "%s{\"index\":%d,\"command\":%d,\"image\":%d,\"separator\":%s,\"enabled\":%s,\"checked\":%s,"
                      "\"rect\":%s}",
                      i ? "," : "", i, b.idCommand, b.iBitmap, (b.fsStyle & BTNS_SEP) ? "true" : "false",
                      (b.fsState & TBSTATE_ENABLED) ? "true" : "false", (b.fsState & TBSTATE_CHECKED) ? "true" : "false",
                      Rect(r).c_str());
        out += buf;
    }
    std::printf("%s]}\n", out.c_str());
    return 0;
}

int CmdStatus(HWND h)
{
    HWND sb = ::lstrcmpiW(ClassOf(h).c_str(), STATUSCLASSNAMEW) == 0 ? h : FindChildByClass(h, STATUSCLASSNAMEW);
    if (!sb)
        return NotFound("status bar");
    const int n = static_cast<int>(::SendMessageW(sb, SB_GETPARTS, 0, 0));
    CRemote mem(sb, 1024 * sizeof(wchar_t));
    std::string out = "{\"hwnd\":" + Hwnd(sb) + ",\"parts\":[";
    for (int i = 0; i < n; ++i) {
        wchar_t text[1024] = {};
        const LRESULT len = ::SendMessageW(sb, SB_GETTEXTLENGTHW, i, 0);
        if (LOWORD(len) < 1023) {
            ::SendMessageW(sb, SB_GETTEXTW, i, mem.Ptr());
            mem.Read(text, (LOWORD(len) + 1) * sizeof(wchar_t));
            text[LOWORD(len)] = L'\0';
        }
        RECT r{};
        ::SendMessageW(sb, SB_GETRECT, i, mem.Ptr());
        mem.Read(&r, sizeof r);
        ::MapWindowPoints(sb, nullptr, reinterpret_cast<POINT*>(&r), 2);
        out += std::string(i ? "," : "") + "{\"text\":" + Json(text) + ",\"rect\":" + Rect(r) + "}";
    }
    std::printf("%s]}\n", out.c_str());
    return 0;
}

int CmdCombo(HWND h)
{
    const int n = static_cast<int>(::SendMessageW(h, CB_GETCOUNT, 0, 0));
    const int sel = static_cast<int>(::SendMessageW(h, CB_GETCURSEL, 0, 0));
    std::string out = "{\"selected\":" + std::to_string(sel) + ",\"items\":[";
    for (int i = 0; i < n; ++i) {
        const LRESULT len = ::SendMessageW(h, CB_GETLBTEXTLEN, i, 0);
        std::wstring s(static_cast<size_t>(len > 0 ? len : 0) + 1, L'\0');
        ::SendMessageW(h, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(s.data()));
        s.resize(static_cast<size_t>(len > 0 ? len : 0));
        const LRESULT data = ::SendMessageW(h, CB_GETITEMDATA, i, 0);
        out += std::string(i ? "," : "") + "{\"text\":" + Json(s) + ",\"data\":" + std::to_string(static_cast<long long>(
                   static_cast<int>(data))) + "}";
    }
    std::printf("%s]}\n", out.c_str());
    return 0;
}

// Counts the colours of a client rectangle as the screen shows it.
int CmdPixels(HWND h, int x, int y, int w, int hgt)
{
    POINT org{x, y};
    ::ClientToScreen(h, &org);
    HDC dc = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(dc);
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = -hgt;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = ::CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, w, hgt, dc, org.x, org.y, SRCCOPY);
    ::GdiFlush();
    std::vector<std::pair<DWORD, int>> counts;
    const DWORD* px = static_cast<const DWORD*>(bits);
    for (int i = 0; i < w * hgt; ++i) {
        const DWORD c = px[i] & 0xFFFFFF;
        bool found = false;
        for (auto& e : counts)
            if (e.first == c) {
                ++e.second;
                found = true;
                break;
            }
        if (!found)
            counts.emplace_back(c, 1);
    }
    ::SelectObject(mem, old);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, dc);
    std::string out = "{\"colors\":[";
    for (size_t i = 0; i < counts.size(); ++i) {
        char b[64];
        const DWORD c = counts[i].first; // 0x00RRGGBB in a DIB
        std::snprintf(b, sizeof b, "%s[%lu,%lu,%lu,%d]", i ? "," : "", (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF,
                      counts[i].second);
        out += b;
    }
    std::printf("%s]}\n", out.c_str());
    return 0;
}

} // namespace

// Items of a list view (text of the first column and image index), top to
// bottom, read through memory in the list's process.
int CmdListView(HWND lv)
{
    const int n = static_cast<int>(::SendMessageW(lv, LVM_GETITEMCOUNT, 0, 0));
    constexpr int kChars = 512;
    CRemote mem(lv, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    if (!mem)
        return NotFound("list view process");
    std::string out = "{\"hwnd\":" + Hwnd(lv) + ",\"items\":[";
    for (int i = 0; i < n; ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = reinterpret_cast<LPWSTR>(mem.Ptr() + static_cast<LPARAM>(sizeof(LVITEMW)));
        item.cchTextMax = kChars;
        mem.Write(&item, sizeof item);
        ::SendMessageW(lv, LVM_GETITEMW, 0, mem.Ptr());
        LVITEMW got{};
        mem.Read(&got, sizeof got);
        std::vector<unsigned char> raw(sizeof(LVITEMW) + kChars * sizeof(wchar_t));
        mem.Read(raw.data(), raw.size());
        std::wstring text(reinterpret_cast<const wchar_t*>(raw.data() + sizeof(LVITEMW)), kChars);
        text.resize(std::wcslen(text.c_str()));
        char buf[64];
        std::snprintf(buf, sizeof buf, "%s{\"image\":%d,\"text\":", i ? "," : "", got.iImage);
        out += buf + Json(text) + "}";
    }
    std::printf("%s]}\n", out.c_str());
    return 0;
}

// The machine's serial ports as Windows lists them: the values of
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, a volatile key (the system makes it
// at each start; a stable key cannot be made under HARDWARE, so reg.exe and
// regedit cannot make it either).
int CmdSerialPorts(const std::vector<std::string>& ports)
{
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, REG_OPTION_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &hKey, nullptr) != ERROR_SUCCESS) {
        std::printf("{\"serialports\":false}\n");
        return 1;
    }
    for (;;) {
        wchar_t szName[16384];
        DWORD cchName = 16384;
        if (::RegEnumValueW(hKey, 0, szName, &cchName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            ::RegDeleteValueW(hKey, szName) != ERROR_SUCCESS)
            break;
    }
    for (const std::string& port : ports) {
        const std::wstring name = L"\\Device\\QvrTest" + Wide(port.c_str());
        const std::wstring data = Wide(port.c_str());
        ::RegSetValueExW(hKey, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    ::RegCloseKey(hKey);
    std::printf("{\"serialports\":%zu}\n", ports.size());
    return 0;
}

int wmain(int argc, wchar_t** wargv)
{
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.push_back(Utf8(wargv[i]));
    if (argc < 2)
        return Usage();
    const std::string cmd = args[1];
    auto arg = [&](int i) { return i < argc ? args[static_cast<size_t>(i)].c_str() : ""; };

    if (cmd == "list")
        return CmdList();
    if (cmd == "hold") {
        // Holds a file open with no sharing (as another program that has it
        // open would) until a line arrives on standard input.
        const std::wstring path = argc > 2 ? wargv[2] : L"";
        HANDLE hFile = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        std::printf("{\"held\":%s}\n", hFile != INVALID_HANDLE_VALUE ? "true" : "false");
        std::fflush(stdout);
        char line[16];
        if (!std::fgets(line, sizeof line, stdin)) {
        }
        if (hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(hFile);
        return 0;
    }
    if (cmd == "serialports")
        return CmdSerialPorts(std::vector<std::string>(args.begin() + 2, args.end()));
    if (cmd == "metrics") {
        HDC dc = ::GetDC(nullptr);
        std::printf("{\"dpi\":[%d,%d],\"screen\":[%d,%d],\"cymenu\":%d,\"cxsizeframe\":%d,\"cxfixedframe\":%d}\n",
                    ::GetDeviceCaps(dc, LOGPIXELSX), ::GetDeviceCaps(dc, LOGPIXELSY), ::GetSystemMetrics(SM_CXSCREEN),
                    ::GetSystemMetrics(SM_CYSCREEN), ::GetSystemMetrics(SM_CYMENU),
                    ::GetSystemMetrics(SM_CXSIZEFRAME), ::GetSystemMetrics(SM_CXFIXEDFRAME));
        ::ReleaseDC(nullptr, dc);
        return 0;
    }
    if (cmd == "adjust") {
        if (argc < 7)
            return Usage();
        RECT r{0, 0, static_cast<LONG>(Num(arg(2))), static_cast<LONG>(Num(arg(3)))};
        ::AdjustWindowRectEx(&r, static_cast<DWORD>(Num(arg(4))), static_cast<BOOL>(Num(arg(6))),
                             static_cast<DWORD>(Num(arg(5))));
        std::printf("{\"rect\":%s,\"size\":[%ld,%ld]}\n", Rect(r).c_str(), r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (cmd == "active" || cmd == "focus") {
        // The foreground window, or the window with the keyboard focus in its thread.
        HWND h = ::GetForegroundWindow();
        if (h && cmd == "focus") {
            GUITHREADINFO gti{};
            gti.cbSize = sizeof gti;
            h = ::GetGUIThreadInfo(::GetWindowThreadProcessId(h, nullptr), &gti) ? gti.hwndFocus : nullptr;
        }
        if (!h)
            return NotFound(cmd.c_str());
        std::printf("%s\n", Describe(h).c_str());
        return 0;
    }
    if (cmd == "screenpixel") {
        HDC dc = ::GetDC(nullptr);
        const COLORREF c = ::GetPixel(dc, static_cast<int>(Num(arg(2))), static_cast<int>(Num(arg(3))));
        ::ReleaseDC(nullptr, dc);
        std::printf("{\"rgb\":%s}\n", Colour(c).c_str());
        return 0;
    }
    if (argc < 3)
        return Usage();
    HWND h = Select(arg(2));
    if (!h)
        return NotFound(arg(2));

    if (cmd == "info") {
        if (argc > 3) {
            h = ::GetDlgItem(h, static_cast<int>(Num(arg(3))));
            if (!h)
                return NotFound(arg(3));
        }
        std::printf("%s\n", Describe(h).c_str());
        return 0;
    }
    if (cmd == "children")
        return CmdChildren(h);
    if (cmd == "toolbar")
        return CmdToolbar(h);
    if (cmd == "status")
        return CmdStatus(h);
    if (cmd == "combo") {
        HWND c = ::GetDlgItem(h, static_cast<int>(Num(arg(3))));
        return c ? CmdCombo(c) : NotFound(arg(3));
    }
    if (cmd == "listview") {
        HWND c = ::GetDlgItem(h, static_cast<int>(Num(arg(3))));
        return c ? CmdListView(c) : NotFound(arg(3));
    }
    if (cmd == "pixel") {
        HDC dc = ::GetDC(h);
        const COLORREF c = ::GetPixel(dc, static_cast<int>(Num(arg(3))), static_cast<int>(Num(arg(4))));
        ::ReleaseDC(h, dc);
        std::printf("{\"rgb\":%s}\n", Colour(c).c_str());
        return 0;
    }
    if (cmd == "pixels") {
        const int x = static_cast<int>(Num(arg(3))), y = static_cast<int>(Num(arg(4)));
        const int w = static_cast<int>(Num(arg(5))), hgt = static_cast<int>(Num(arg(6)));
        if (w <= 0 || hgt <= 0 || w > 4096 || hgt > 4096)
            return Usage();
        return CmdPixels(h, x, y, w, hgt);
    }
    if (cmd == "command") {
        const BOOL ok = ::PostMessageW(h, WM_COMMAND, static_cast<WPARAM>(Num(arg(3))), 0);
        std::printf("{\"posted\":%s}\n", ok ? "true" : "false");
        return ok ? 0 : 1;
    }
    if (cmd == "post" || cmd == "send") {
        if (argc < 6)
            return Usage();
        const UINT msg = static_cast<UINT>(Num(arg(3)));
        const WPARAM wp = static_cast<WPARAM>(Num(arg(4)));
        const LPARAM lp = static_cast<LPARAM>(Num(arg(5)));
        if (cmd == "post") {
            const BOOL ok = ::PostMessageW(h, msg, wp, lp);
            std::printf("{\"posted\":%s}\n", ok ? "true" : "false");
            return ok ? 0 : 1;
        }
        DWORD_PTR result = 0;
        const LRESULT ok = ::SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &result);
        std::printf("{\"sent\":%s,\"result\":%lld}\n", ok ? "true" : "false", static_cast<long long>(result));
        return ok ? 0 : 1;
    }
    if (cmd == "raise") {
        const BOOL ok = ::SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        std::printf("{\"raised\":%s}\n", ok ? "true" : "false");
        return 0;
    }
    if (cmd == "foreground") {
        const BOOL ok = ::SetForegroundWindow(h);
        std::printf("{\"foreground\":%s}\n", ok ? "true" : "false");
        return 0;
    }
    return Usage();
}
