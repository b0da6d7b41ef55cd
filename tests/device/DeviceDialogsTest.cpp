// The firmware download dialog and the diagnostics terminal inside the test
// process, on the real queue and notification pipe, with an in-process
// simulated unit.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "device/Advise.h"
#include "device/Comm.h"
#include "device/DlgDownload.h"
#include "device/DlgTerminal.h"
#include "framework/ExeModule.h"
#include "model/ParameterMap.h"
#include "model/TextMemory.h"
#include "sim/SimRegistry.h"
#include "sim/SimUnit.h"

namespace {

constexpr char UNIT_NAME[] = "dialogs";

void Pump(DWORD nMs)
{
    const DWORD dwEnd = ::GetTickCount() + nMs;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (static_cast<LONG>(dwEnd - ::GetTickCount()) <= 0)
            return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool WaitFor(const std::function<bool()>& pred, DWORD nMs = 20000)
{
    const DWORD dwEnd = ::GetTickCount() + nMs;
    while (!pred()) {
        if (static_cast<LONG>(dwEnd - ::GetTickCount()) <= 0)
            return pred();
        Pump(5);
    }
    return true;
}

// The unit, the device list naming it, and the link closed at the end.
class DeviceDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_Module.Init(::GetModuleHandleW(nullptr));
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        const std::string list = std::string("sim:") + UNIT_NAME + ",instant:USBXpress Device:SIMDL001";
        ::SetEnvironmentVariableA("QVR500_DEVICES", list.c_str());
        g_Comm.LookupDevice();
    }
    void SetUp() override
    {
        unit.FactoryReset();
        unit.SetTiming(ESimTiming::Instant);
        unit.ClearLog();
    }
    void TearDown() override
    {
        g_Comm.Close();
        unit.Plug();
        Pump(20);
    }
    CSimUnit& unit = GetSharedSimUnit(UNIT_NAME);
};

std::string Record(std::uint32_t w)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "%02X %02X %02X %02X ", w & 0xFF, (w >> 8) & 0xFF, (w >> 16) & 0xFF, w >> 24);
    return sz;
}

// A firmware file of our own in the temporary folder.
class CTempFile {
public:
    explicit CTempFile(const std::string& bytes)
    {
        wchar_t szDir[MAX_PATH];
        ::GetTempPathW(MAX_PATH, szDir);
        ::GetTempFileNameW(szDir, L"xof", 0, m_szPath);
        FILE* f = _wfopen(m_szPath, L"wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    ~CTempFile() { ::DeleteFileW(m_szPath); }
    const wchar_t* Path() const { return m_szPath; }

private:
    wchar_t m_szPath[MAX_PATH] = {};
};

std::vector<std::uint32_t> RandomWords(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> w(n);
    for (auto& x : w)
        x = rng();
    return w;
}

std::string Image(const std::vector<std::uint32_t>& words)
{
    std::string s = "\x02\r\n";
    for (size_t i = 0; i < words.size(); ++i) {
        s += Record(words[i]);
        if (i % 4 == 3)
            s += "\r\n";
    }
    return s;
}

std::wstring ItemText(HWND hList, int nItem)
{
    wchar_t sz[256] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = sz;
    item.cchTextMax = 256;
    ::SendMessageW(hList, LVM_GETITEMTEXTW, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item));
    return sz;
}

int ItemIcon(HWND hList, int nItem)
{
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = nItem;
    ::SendMessageW(hList, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

// Status lines, newest first.
std::vector<std::wstring> StatusLines(HWND hDlg)
{
    const HWND hList = ::GetDlgItem(hDlg, IDC_DOWNLOAD_STATUS);
    std::vector<std::wstring> lines;
    const int n = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i)
        lines.push_back(ItemText(hList, i));
    return lines;
}

// Answers the next message box "QVR500" of this process with OK and keeps its text.
class CBoxAnswerer {
public:
    CBoxAnswerer()
        : m_thread([this] {
              const DWORD dwEnd = ::GetTickCount() + 20000;
              while (static_cast<LONG>(dwEnd - ::GetTickCount()) > 0 && !m_bStop) {
                  HWND hBox = ::FindWindowW(L"#32770", L"QVR500");
                  if (hBox && ::GetDlgItem(hBox, 0xFFFF)) {
                      wchar_t sz[1024] = {};
                      ::GetDlgItemTextW(hBox, 0xFFFF, sz, 1024);
                      m_text = sz;
                      ::PostMessageW(hBox, WM_COMMAND, IDOK, 0);
                      return;
                  }
                  ::Sleep(20);
              }
          })
    {
    }
    ~CBoxAnswerer()
    {
        m_bStop = true;
        m_thread.join();
    }
    std::wstring Text()
    {
        m_bStop = false;
        m_thread.join();
        m_thread = std::thread([] {});
        return m_text;
    }

private:
    std::atomic<bool> m_bStop{false};
    std::wstring m_text;
    std::thread m_thread;
};

void StartDownload(CDlgDownload& dlg, const wchar_t* pszPath)
{
    ::SetDlgItemTextW(dlg.m_hWnd, IDC_DOWNLOAD_PATH, pszPath);
    ::SendMessageW(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_DOWNLOAD_START, BN_CLICKED), 0);
}

} // namespace

TEST_F(DeviceDialogs, DownloadWritesVerifiesAndOwnsTheDialogUntilDone)
{
    const auto words = RandomWords(3000, 11);
    CTempFile file(Image(words));
    unit.PokeMemory(PROGRAM_AREA_START + 4 * 5000, 0x12345678u); // inside the area, beyond the image

    CDlgDownload dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    const HWND hDlg = dlg.m_hWnd;
    ::ShowWindow(hDlg, SW_SHOW);
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(hDlg, IDC_DOWNLOAD_PROGRESS)));
    StartDownload(dlg, file.Path()); // the link is opened by the dialog
    ASSERT_TRUE(dlg.IsRunning());
    EXPECT_TRUE(g_Comm.IsOpen());
    EXPECT_TRUE(dlg.OpenedLink());
    EXPECT_FALSE(g_Comm.IsPolling());
    EXPECT_EQ(dlg.GetTotalWords(), 3000u);

    // While it runs: nothing restarts or closes it, and the file cannot be changed.
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hDlg, IDC_DOWNLOAD_START)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hDlg, IDOK)));
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(hDlg, IDC_DOWNLOAD_PROGRESS)));
    ::SendMessageW(hDlg, WM_CLOSE, 0, 0);
    ::SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDC_DOWNLOAD_START, BN_CLICKED), 0);
    EXPECT_TRUE(::IsWindow(hDlg));
    HANDLE hWrite = ::CreateFileW(file.Path(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(hWrite, INVALID_HANDLE_VALUE);
    if (hWrite != INVALID_HANDLE_VALUE)
        ::CloseHandle(hWrite);

    // One write reply lost on the way: the queue sends that write again and
    // its second reply is the one compared.
    bool bDropped = false;
    ASSERT_TRUE(WaitFor([&] {
        if (!bDropped && dlg.GetWordsWritten() >= 1000u) {
            unit.DropReplies(1);
            bDropped = true;
        }
        return !dlg.IsRunning();
    }, 60000));
    EXPECT_EQ(dlg.GetPhase(), CDlgDownload::EPhase::Complete);
    EXPECT_EQ(dlg.GetWordsWritten(), 3000u);
    const std::vector<std::wstring> expected = {L"Firmware download complete",
                                                L"3000 words verified, 0x90000000 to 0x90002EDC",
                                                L"Writing program to flash", L"Erasing flash RAM",
                                                L"Image: 3000 words, 0x90000000 to 0x90002EDC"};
    EXPECT_EQ(StatusLines(hDlg), expected);
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(hDlg, IDC_DOWNLOAD_PROGRESS)));
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(hDlg, IDC_DOWNLOAD_ESTIMATE)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hDlg, IDOK)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hDlg, IDC_DOWNLOAD_START)));

    // The unit: one erase of the program area, every word written once (the
    // one whose reply was lost twice, back to back), nothing read back.
    EXPECT_EQ(unit.CountCommands(CMD_ERASE), 1u);
    EXPECT_EQ(unit.CountCommands(CMD_WRITE_WORD), 3001u);
    EXPECT_EQ(unit.CountCommands(CMD_READ_WORD), 0u);
    const std::vector<SimLogEntry> log = unit.GetLog();
    int nUnanswered = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].bAnswer != 0)
            continue;
        ++nUnanswered;
        ASSERT_LT(i + 1, log.size());
        EXPECT_EQ(log[i + 1].request, log[i].request);
        EXPECT_NE(log[i + 1].bAnswer, 0);
    }
    EXPECT_EQ(nUnanswered, 1);
    for (size_t i = 0; i < words.size(); ++i)
        ASSERT_EQ(unit.ReadMemory(PROGRAM_AREA_START + static_cast<std::uint32_t>(4 * i)), words[i]) << i;
    EXPECT_EQ(unit.ReadMemory(PROGRAM_AREA_START + 4 * 5000), 0xFFFFFFFFu); // erased
    EXPECT_EQ(unit.ReadMemory(0x90060000u), 0xFFFFFFFFu);

    // The file is let go, and the link stays open when the dialog ends.
    HANDLE hAgain = ::CreateFileW(file.Path(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(hAgain, INVALID_HANDLE_VALUE);
    if (hAgain != INVALID_HANDLE_VALUE)
        ::CloseHandle(hAgain);
    ::DestroyWindow(hDlg);
    EXPECT_TRUE(g_Comm.IsOpen());
    EXPECT_TRUE(g_Comm.IsPolling());
}

TEST_F(DeviceDialogs, ABitTheFlashKeepsEndsTheDownloadAtThatWord)
{
    const auto words = RandomWords(2000, 5);
    const std::uint32_t dwFile = words[37];
    const std::uint32_t dwStuck = ~dwFile & (0u - ~dwFile); // the lowest bit that the file clears
    ASSERT_NE(dwStuck, 0u);
    ASSERT_TRUE(unit.StickBits(PROGRAM_AREA_START + 4 * 37, dwStuck));
    // At the line's own pace: the writes queued ahead of the replies are
    // still waiting when the failing word's reply arrives.
    unit.SetTiming(ESimTiming::Wire);
    CTempFile file(Image(words));
    CDlgDownload dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    StartDownload(dlg, file.Path());
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsRunning(); }));
    const std::size_t nWritesAtFailure = unit.CountCommands(CMD_WRITE_WORD);
    EXPECT_EQ(dlg.GetPhase(), CDlgDownload::EPhase::Failed);
    EXPECT_EQ(dlg.GetWordsWritten(), 37u);
    const auto lines = StatusLines(dlg.m_hWnd);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"The unit needs a new firmware download");
    EXPECT_EQ(lines[1], L"Verify failed at 0x90000094");
    wchar_t szExpected[128];
    std::swprintf(szExpected, 128, L"The unit holds 0x%08X, the file 0x%08X", dwFile | dwStuck, dwFile);
    EXPECT_EQ(lines[2], szExpected);
    EXPECT_EQ(ItemIcon(::GetDlgItem(dlg.m_hWnd, IDC_DOWNLOAD_STATUS), 0), CDlgDownload::ICON_ERROR);
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, IDOK)));
    // At once, from the write's own reply: nothing is read back, and the
    // writes the download had queued ahead are withdrawn.  The fence, a
    // request queued after the failure, reaches the unit after everything
    // queued before it: by then only the write that was on the line when
    // the download learnt of the failure may have followed it.
    ASSERT_TRUE(g_Comm.QueueCommand(CMD_FIRMWARE_REVISION, 0, 0, 0));
    ASSERT_TRUE(WaitFor([&] { return unit.CountCommands(CMD_FIRMWARE_REVISION) == 1; }));
    EXPECT_EQ(unit.CountCommands(CMD_READ_WORD), 0u);
    // (How many writes went out before the dialog learnt of the failure
    // depends on how quickly the replies reach it: no bound on that here.)
    EXPECT_LE(unit.CountCommands(CMD_WRITE_WORD), nWritesAtFailure + 1);
    // Closing the link sends nothing more of it either.
    g_Comm.Close();
    EXPECT_LE(unit.CountCommands(CMD_WRITE_WORD), nWritesAtFailure + 1);
    ::DestroyWindow(dlg.m_hWnd);
}

TEST_F(DeviceDialogs, TheDownloadTakesOnlyTheRepliesToItsOwnRequests)
{
    // The editor's text reads, a write and an erase of the text memory,
    // before and among the download's requests: none of them is one of its
    // words.
    const auto words = RandomWords(600, 3);
    CTempFile file(Image(words));
    ASSERT_TRUE(g_Comm.Open());
    for (std::uint32_t i = 0; i < 21; ++i)
        g_Comm.QueueCommand(CMD_READ_WORD, 0, TEXT_MEMORY_START + 4 * i, 0);
    g_Comm.QueueCommand(CMD_WRITE_WORD, 0, TEXT_MEMORY_START + 0x100, 0);
    CDlgDownload dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    StartDownload(dlg, file.Path());
    EXPECT_FALSE(dlg.OpenedLink());
    std::uint32_t nForeign = 0;
    ASSERT_TRUE(WaitFor([&] {
        if (dlg.GetPhase() == CDlgDownload::EPhase::Writing && nForeign < 40) {
            g_Comm.QueueCommand(CMD_READ_WORD, 0, TEXT_MEMORY_START + 4 * (nForeign % 21), 0);
            if (nForeign == 20)
                g_Comm.QueueCommand(CMD_ERASE, 0, TEXT_MEMORY_START, TEXT_MEMORY_BYTES);
            ++nForeign;
        }
        return !dlg.IsRunning();
    }));
    EXPECT_EQ(dlg.GetPhase(), CDlgDownload::EPhase::Complete);
    EXPECT_EQ(dlg.GetWordsWritten(), 600u);
    EXPECT_GT(nForeign, 0u);
    for (size_t i = 0; i < words.size(); ++i)
        ASSERT_EQ(unit.ReadMemory(PROGRAM_AREA_START + static_cast<std::uint32_t>(4 * i)), words[i]) << i;
    ::DestroyWindow(dlg.m_hWnd);
}

TEST_F(DeviceDialogs, ALostLinkStopsTheDownloadAtOnceAndSaysSo)
{
    const auto words = RandomWords(20000, 9);
    CTempFile file(Image(words));
    CDlgDownload dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    StartDownload(dlg, file.Path());
    ASSERT_TRUE(WaitFor([&] { return dlg.GetWordsWritten() >= 1000u; }));
    unit.Unplug();
    // The queue gives up after its three attempts and tells the windows.
    ASSERT_TRUE(WaitFor([&] { return !dlg.IsRunning(); }, 30000));
    EXPECT_EQ(dlg.GetPhase(), CDlgDownload::EPhase::Failed);
    const auto lines = StatusLines(dlg.m_hWnd);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"The unit needs a new firmware download");
    EXPECT_EQ(lines[1], L"Download not complete: link to the unit lost");
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, IDOK)));
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(dlg.m_hWnd, IDC_DOWNLOAD_PROGRESS)));
    // Nothing of the download is left in the queue behind the failure.
    EXPECT_EQ(g_Comm.GetQueueLength(), 0u);
    ::DestroyWindow(dlg.m_hWnd);
}

TEST_F(DeviceDialogs, BadFilesAreRefusedAndTheUnitIsUntouched)
{
    unit.PokeMemory(PROGRAM_AREA_START, 0xCAFEF00Du);
    std::string tooMany = "\x02\r\n";
    for (std::uint32_t i = 0; i <= PROGRAM_AREA_BYTES / 4; ++i)
        tooMany += Record(i);
    struct Case {
        std::string bytes;
        const wchar_t* pszReason;
    } cases[] = {
        {"\x02\r\n", L"The file holds no program words: a download would only erase the unit."},
        {"NRVXO", L"The file does not start with the firmware header (02 0D 0A)."},
        {"\x02\r\n" + Record(1) + "00 00 0Z 00 ",
         L"Record 2 (at byte 15) is not four hexadecimal pairs, each followed by a space."},
        {"\x02\r\n" + Record(1) + "00 00", L"The file ends inside record 2 (at byte 15)."},
        {tooMany, L"Record 65537 is one word more than the program area holds (65536 words)."},
    };
    CDlgDownload dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    for (const Case& k : cases) {
        CTempFile file(k.bytes);
        CBoxAnswerer box;
        StartDownload(dlg, file.Path());
        EXPECT_EQ(box.Text(), L"Failed to open the selected firmware file.\r\n\r\n" + std::wstring(k.pszReason));
        EXPECT_FALSE(dlg.IsRunning());
    }
    {
        CBoxAnswerer box;
        StartDownload(dlg, L"C:\\no\\such\\file.XOF");
        EXPECT_EQ(box.Text(), L"Failed to open the selected firmware file.\r\n\r\nThe file could not be opened or read.");
    }
    {
        // A good file, but the link cannot be opened: nothing is erased.
        CTempFile file(Image(RandomWords(10, 1)));
        g_Comm.SetDeviceNumber(7); // no such device in the list
        CBoxAnswerer box;
        StartDownload(dlg, file.Path());
        EXPECT_EQ(box.Text(), L"Failed to establish communications with selected device.");
        EXPECT_FALSE(dlg.IsRunning());
        g_Comm.LookupDevice();
    }
    // Nothing was sent, not even the link opened: the unit's flash is as it was.
    EXPECT_FALSE(g_Comm.IsOpen());
    EXPECT_EQ(unit.GetStats().nRequests, 0u);
    EXPECT_EQ(unit.ReadMemory(PROGRAM_AREA_START), 0xCAFEF00Du);
    EXPECT_TRUE(StatusLines(dlg.m_hWnd).empty());
    ::DestroyWindow(dlg.m_hWnd);
}

TEST(DownloadEstimate, OnlyATickWithAnsweredWordsGivesAnEstimate)
{
    g_Module.Init(::GetModuleHandleW(nullptr));
    EXPECT_EQ(CDlgDownload::FormatEstimate(100, 1000, 0), L"");
    // 900 left to write at 360 a second: 2 s; the writes are the whole download.
    EXPECT_EQ(CDlgDownload::FormatEstimate(100, 1000, 360), L"100 of 1000 words sent.  Est. Time remaining: 00:02");
    EXPECT_EQ(CDlgDownload::FormatEstimate(0, 65536, 360), L"0 of 65536 words sent.  Est. Time remaining: 03:02");
}

// --- terminal ------------------------------------------------------------------

namespace {

void TypeLine(HWND hEdit, const char* psz)
{
    for (; *psz; ++psz)
        ::SendMessageW(hEdit, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(*psz)), 0);
    ::SendMessageW(hEdit, WM_CHAR, L'\r', 0);
}

std::wstring Text(HWND hWnd)
{
    std::wstring s(static_cast<size_t>(::GetWindowTextLengthW(hWnd)) + 1, L'\0');
    s.resize(static_cast<size_t>(::GetWindowTextW(hWnd, s.data(), static_cast<int>(s.size()))));
    return s;
}

} // namespace

TEST_F(DeviceDialogs, TerminalAnswersEveryLine)
{
    CDlgTerminal dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    const HWND hEdit = ::GetDlgItem(dlg.m_hWnd, IDC_TERMINAL_EDIT);

    TypeLine(hEdit, "1 0 90060000 0");
    EXPECT_EQ(Text(hEdit), L"1 0 90060000 0\r\nNOT CONNECTED\r\n");
    ::SetWindowTextW(hEdit, L"");

    ASSERT_TRUE(g_Comm.Open());
    unit.PokeMemory(0x90060000u, 0x3FC00000u);
    TypeLine(hEdit, "1 0 90060000 0");
    ASSERT_TRUE(WaitFor([&] { return Text(hEdit).find(L"ITR") != std::wstring::npos; }));
    EXPECT_EQ(Text(hEdit), L"1 0 90060000 0\r\nITR: 0 UW: 90060000 (-0.000000) LW: 3FC00000 (1.500000)\r\n");

    // Refused lines send nothing: the next valid line is the only other request the unit sees.
    ::SetWindowTextW(hEdit, L"");
    TypeLine(hEdit, "E 0 0 0");
    TypeLine(hEdit, "1 0 0");
    TypeLine(hEdit, "1 0 0 0 0");
    TypeLine(hEdit, "1 0 100000000 0");
    TypeLine(hEdit, "0 5 1.5 -2.25");
    ASSERT_TRUE(WaitFor([&] { return Text(hEdit).find(L"ITR") != std::wstring::npos; }));
    EXPECT_EQ(Text(hEdit), L"E 0 0 0\r\nINVALID ENTRY\r\n"
                           L"1 0 0\r\nINVALID ENTRY\r\n"
                           L"1 0 0 0 0\r\nINVALID ENTRY\r\n"
                           L"1 0 100000000 0\r\nINVALID ENTRY\r\n"
                           L"0 5 1.5 -2.25\r\nITR: 5 UW: 3FC00000 (1.500000) LW: C0100000 (-2.250000)\r\n");
    EXPECT_EQ(unit.GetStats().nRequests, 2u);

    // A reply arriving while a line is being typed goes above that line.
    ::SetWindowTextW(hEdit, L"");
    for (const char* p = "1 0 9"; *p; ++p)
        ::SendMessageW(hEdit, WM_CHAR, static_cast<WPARAM>(*p), 0);
    g_Comm.QueueCommand(0, 7, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return Text(hEdit).find(L"ITR") != std::wstring::npos; }));
    EXPECT_EQ(Text(hEdit), L"ITR: 7 UW: 00000000 (0.000000) LW: 00000000 (0.000000)\r\n1 0 9");
    DWORD dwStart = 0, dwEnd = 0;
    ::SendMessageW(hEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&dwStart), reinterpret_cast<LPARAM>(&dwEnd));
    EXPECT_EQ(dwStart, static_cast<DWORD>(Text(hEdit).size())); // the caret stays after the typed text

    // GET replies are not written.
    g_Comm.QueueRequest(false, 0, 5, 0.0f);
    g_Comm.QueueCommand(0, 8, 0, 0); // fence
    ASSERT_TRUE(WaitFor([&] { return Text(hEdit).find(L"ITR: 8") != std::wstring::npos; }));
    const std::wstring all = Text(hEdit);
    size_t nLines = 0;
    for (size_t at = all.find(L"ITR"); at != std::wstring::npos; at = all.find(L"ITR", at + 1))
        ++nLines;
    EXPECT_EQ(nLines, 2u);
    ::DestroyWindow(dlg.m_hWnd);
    EXPECT_TRUE(g_Comm.IsPolling());
}
