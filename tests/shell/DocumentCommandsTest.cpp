// The document commands against a real form, with a host that answers the
// file dialogs and records every question the commands ask of it: which
// dialog, which message, when the meter polling stops and starts again.
// The rules: only a file that was written or read becomes the current file;
// a file that cannot be written or is refused changes nothing; New leaves
// the defaults on screen, or on failure the configuration as it was.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "editor/DlgCrossover.h"
#include "framework/AppGlobals.h"
#include "framework/AppSettings.h"
#include "model/CtlQVRXOPlot.h"
#include "model/ParameterMap.h"
#include "shell/DocumentCommands.h"
#include "shell/MeasurementCommands.h"
#include "shell/StartFolder.h"

namespace {

class CRecordingHost final : public CDocumentCommands::IHost {
public:
    // The answers of the next file dialogs, in order.
    std::deque<std::pair<CDocumentFile::EChoice, std::wstring>> answers;
    std::vector<std::wstring> asked; // "choose open", "choose save", "polling on/off", "error: <first line>"
    std::wstring lastError;

    CDocumentFile::EChoice ChooseFile(HWND, bool bOpen, wchar_t (&szPath)[CDocumentFile::PATH_UNITS]) override
    {
        asked.push_back(bOpen ? L"choose open" : L"choose save");
        if (answers.empty())
            return CDocumentFile::EChoice::Cancelled;
        const auto answer = answers.front();
        answers.pop_front();
        ::lstrcpynW(szPath, answer.second.c_str(), CDocumentFile::PATH_UNITS);
        return answer.first;
    }
    void ShowError(HWND, const std::wstring& text) override
    {
        lastError = text;
        asked.push_back(L"error: " + text.substr(0, text.find(L"\r\n")));
    }
    void SetPolling(bool bOn) override { asked.push_back(bOn ? L"polling on" : L"polling off"); }

    std::vector<std::wstring> Take() { return std::exchange(asked, {}); }
    void Answer(const std::wstring& path) { answers.emplace_back(CDocumentFile::EChoice::Chosen, path); }
};

const std::wstring kCannotSave = L"error: The configuration could not be saved to:";
const std::wstring kRefused = L"error: This file was not loaded:";
const std::wstring kCannotOpen = L"error: The file cannot be opened:";

LRESULT CALLBACK ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) { return ::DefWindowProcW(h, m, w, l); }

class DocumentCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        static const bool s_bInit = [] {
            g_Module.Init(::GetModuleHandleW(nullptr));
            INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
            ::InitCommonControlsEx(&icc);
            return RegisterPlotClass() != 0;
        }();
        ASSERT_TRUE(s_bInit);
        ASSERT_TRUE(CAppSettings::DeleteAll());
        wchar_t sz[MAX_PATH];
        ::GetTempPathW(MAX_PATH, sz);
        m_folder = std::wstring(sz) + L"qvr.documents.test";
        ::CreateDirectoryW(m_folder.c_str(), nullptr);
        WNDCLASSW wc{};
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = L"DocumentCommandsTestParent";
        ::RegisterClassW(&wc);
        m_hParent = ::CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 900, 600, nullptr, nullptr,
                                    nullptr, nullptr);
        ASSERT_TRUE(m_hParent);
        m_pForm = std::make_unique<CDlgCrossover>();
        ASSERT_TRUE(m_pForm->Create(m_hParent));
        m_commands.Attach(m_hParent, m_pForm.get());
    }
    void TearDown() override
    {
        if (m_pForm && m_pForm->IsWindow())
            m_pForm->DestroyWindow();
        m_pForm.reset();
        ::DestroyWindow(m_hParent);
        CAppSettings::DeleteAll();
    }

    std::wstring Path(const wchar_t* pszName) const { return m_folder + L"\\" + pszName; }
    // A channel that is not on show: its record is the channel set's own.
    CChannelConfig& Hidden() { return m_pForm->Configuration().Record(CHANNEL_SUBWOOFER); }
    std::u16string Project() const
    {
        char16_t sz[64] = {};
        m_pForm->Configuration().Profile().GetProject(sz, sizeof sz);
        return sz;
    }
    static std::uintmax_t SizeOf(const std::wstring& path)
    {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
            return 0;
        return data.nFileSizeLow;
    }

    std::wstring m_folder;
    HWND m_hParent = nullptr;
    std::unique_ptr<CDlgCrossover> m_pForm;
    CRecordingHost m_host;
    CMeasurementCommands m_measurements;
    CDocumentCommands m_commands{m_measurements, m_host};
};

using Asked = std::vector<std::wstring>;

} // namespace

TEST_F(DocumentCommands, SaveAndSaveAsTakeTheNameOfAFileWrittenAndNoOther)
{
    ASSERT_NE(m_pForm->Configuration().ShownChannel(), CHANNEL_SUBWOOFER);
    EXPECT_STREQ(m_commands.GetFileName(), L"Untitled");
    const std::wstring missing = m_folder + L"\\no such folder\\show.qvr";
    const std::wstring show = Path(L"show.qvr");
    ::DeleteFileW(show.c_str());

    // Untitled: Save asks for a name.  A file that cannot be written says
    // where and leaves the name as it was.
    m_host.Answer(missing);
    m_commands.Save();
    EXPECT_EQ(m_host.Take(), (Asked{L"choose save", kCannotSave}));
    EXPECT_NE(m_host.lastError.find(missing), std::wstring::npos);
    EXPECT_STREQ(m_commands.GetFileName(), L"Untitled");

    // Written: the file is whole, it is the current file, and its folder is where the dialogs start.
    m_host.Answer(show);
    m_commands.Save();
    EXPECT_EQ(m_host.Take(), Asked{L"choose save"});
    EXPECT_EQ(SizeOf(show), 1144u);
    EXPECT_EQ(m_commands.GetFileName(), show);
    CStartFolder::SetWritableCheck([](const std::wstring&) { return false; });
    EXPECT_EQ(CStartFolder::Get(), m_folder);
    CStartFolder::SetWritableCheck(nullptr);

    // Named: Save writes there without a question.  Save As always asks; a
    // cancelled dialog, a path too long and a failed write keep the name.
    m_commands.Save();
    EXPECT_EQ(m_host.Take(), Asked{});
    m_commands.SaveAs();
    m_host.answers.emplace_back(CDocumentFile::EChoice::PathTooLong, L"");
    m_commands.SaveAs();
    m_host.Answer(missing);
    m_commands.SaveAs();
    EXPECT_EQ(m_host.Take(),
              (Asked{L"choose save", L"choose save",
                     L"error: The chosen path is longer than 259 characters and cannot be used.  Please choose a "
                     L"shorter folder or file name.",
                     L"choose save", kCannotSave}));
    EXPECT_EQ(m_commands.GetFileName(), show);

    // Without a form (the frame is closing) nothing is asked or written.
    m_commands.Attach(m_hParent, nullptr);
    m_commands.Save();
    m_commands.New();
    EXPECT_EQ(m_host.Take(), Asked{});
}

TEST_F(DocumentCommands, OpenAndNewChangeTheConfigurationWhollyOrNotAtAll)
{
    const float fltDefault = CChannelConfig(CHANNEL_SUBWOOFER).GetLevel();
    const float fltSaved = fltDefault - 6.0f;
    const float fltEdited = fltDefault - 3.0f;
    const std::wstring show = Path(L"open.qvr");
    Hidden().SetLevel(fltSaved, false);
    m_pForm->Configuration().Profile().SetProject(u"Screen 1");
    m_host.Answer(show);
    m_commands.SaveAs();
    ASSERT_EQ(m_host.Take(), Asked{L"choose save"});
    Hidden().SetLevel(fltEdited, false);

    // Refused (short) and missing files: polling stops around the dialog
    // and the message, and configuration and name stay.
    const std::wstring shortFile = Path(L"short.qvr");
    {
        std::ifstream whole(show.c_str(), std::ios::binary);
        std::string head(100, '\0');
        whole.read(head.data(), 100);
        std::ofstream(shortFile.c_str(), std::ios::binary) << head; // a saved file cut short
    }
    m_host.Answer(shortFile);
    m_commands.Open();
    EXPECT_NE(m_host.lastError.find(L"It holds 100 bytes"), std::wstring::npos);
    m_host.Answer(Path(L"absent.qvr"));
    m_commands.Open();
    m_host.answers.emplace_back(CDocumentFile::EChoice::Cancelled, L"");
    m_commands.Open();
    EXPECT_EQ(m_host.Take(), (Asked{L"polling off", L"choose open", kRefused, L"polling on", L"polling off",
                                    L"choose open", kCannotOpen, L"polling on", L"polling off", L"choose open",
                                    L"polling on"}));
    EXPECT_EQ(Hidden().GetLevel(), fltEdited);
    EXPECT_EQ(m_commands.GetFileName(), show);

    // A file read whole replaces the configuration.
    m_host.Answer(show);
    m_commands.Open();
    EXPECT_EQ(m_host.Take(), (Asked{L"polling off", L"choose open", L"polling on"}));
    EXPECT_EQ(Hidden().GetLevel(), fltSaved);
    EXPECT_EQ(Project(), u"Screen 1");

    // New where nothing can be written: channels and profile as they were.
    Hidden().SetLevel(fltEdited, false);
    m_host.Answer(m_folder + L"\\no such folder\\new.qvr");
    m_commands.New();
    EXPECT_EQ(m_host.Take(), (Asked{L"polling off", L"choose save", kCannotSave, L"polling on"}));
    EXPECT_EQ(Hidden().GetLevel(), fltEdited);
    EXPECT_EQ(Project(), u"Screen 1");
    EXPECT_EQ(m_commands.GetFileName(), show);

    // New written: the defaults file is the current file and the screen shows it.
    const std::wstring fresh = Path(L"new.qvr");
    m_host.Answer(fresh);
    m_commands.New();
    EXPECT_EQ(m_host.Take(), (Asked{L"polling off", L"choose save", L"polling on"}));
    EXPECT_EQ(SizeOf(fresh), 1144u);
    EXPECT_EQ(Hidden().GetLevel(), fltDefault);
    EXPECT_EQ(Project(), u"* FACTORY DEFAULTS *");
    EXPECT_EQ(m_commands.GetFileName(), fresh);
}
