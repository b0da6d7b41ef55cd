#include "shell/DocumentCommands.h"

#include "device/Comm.h"
#include "editor/DlgCrossover.h"
#include "files/ConfigFile.h"
#include "files/SafeFile.h"
#include "framework/ExeModule.h"
#include "framework/Handles.h"
#include "model/ChannelConfig.h"
#include "model/ParameterMap.h"
#include "shell/MeasurementCommands.h"
#include "shell/OpenApproval.h"
#include "shell/StartFolder.h"

namespace {

class CWindowsHost final : public CDocumentCommands::IHost {
public:
    CDocumentFile::EChoice ChooseFile(HWND hOwner, bool bOpen, wchar_t (&szPath)[CDocumentFile::PATH_UNITS]) override
    {
        return CDocumentFile::Choose(hOwner, bOpen, szPath);
    }
    void ShowError(HWND hOwner, const std::wstring& text) override
    {
        ::MessageBoxW(hOwner, text.c_str(), g_Module.LoadString(IDS_APP_TITLE).c_str(), MB_ICONERROR);
    }
    void SetPolling(bool bOn) override { g_Comm.SetPolling(bOn); }
};

} // namespace

CDocumentCommands::IHost& CDocumentCommands::WindowsHost()
{
    static CWindowsHost s_host;
    return s_host;
}

CDocumentCommands::CDocumentCommands(CMeasurementCommands& measurements, IHost& host)
    : m_measurements(measurements), m_host(host), m_pszFileName(new wchar_t[CDocumentFile::PATH_UNITS]())
{
    g_Module.LoadString(IDS_UNTITLED, m_pszFileName.get(), CDocumentFile::PATH_UNITS);
}

void CDocumentCommands::Attach(HWND hOwner, CDlgCrossover* pForm)
{
    m_hWnd = hOwner;
    m_pdlgCrossoverForm = pForm;
}

void CDocumentCommands::ShowMessage(UINT nStringId)
{
    m_host.ShowError(m_hWnd, g_Module.LoadString(nStringId));
}

void CDocumentCommands::TakeFileName(const wchar_t* pszPath)
{
    // The dialogs never hand over more than the buffer holds.
    ::lstrcpynW(m_pszFileName.get(), pszPath, CDocumentFile::PATH_UNITS);
    CStartFolder::Remember(pszPath);
}

bool CDocumentCommands::SaveTo(const wchar_t* pszPath, bool bReset)
{
    if (!m_pdlgCrossoverForm)
        return false;
    CSafeFile file;
    CSafeFile::SResult r = file.Begin(pszPath);
    if (r.Ok() && !m_pdlgCrossoverForm->SerializeConfig(static_cast<HANDLE>(file.NativeHandle()), 0, bReset))
        r = CSafeFile::SResult{CSafeFile::EStatus::WriteFailed, 0};
    if (r.Ok())
        r = file.Commit();
    if (r.Ok())
        return true;
    if (r.status == CSafeFile::EStatus::KeptAside) {
        // The only copy of the new content: the message says where it is.
        const std::wstring system = r.nSystemError ? CDocumentFile::SystemReason(r.nSystemError) : std::wstring();
        m_host.ShowError(m_hWnd, CDocumentFile::Format(IDS_SAVE_KEPT_ASIDE, {pszPath, system, r.kept.wstring()}));
        return false;
    }
    m_host.ShowError(m_hWnd, CDocumentFile::SaveFailure(IDS_FILE_CANNOT_SAVE, pszPath, r));
    return false;
}

bool CDocumentCommands::OpenFrom(const wchar_t* pszPath)
{
    if (!m_pdlgCrossoverForm)
        return false;
    // Read access is all a read needs (a file marked read-only opens too);
    // nobody may change the file while it is read.
    CFileHandle hFile(::CreateFileW(pszPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hFile) {
        m_host.ShowError(m_hWnd, CDocumentFile::Format(IDS_FILE_CANNOT_OPEN,
                                                       {pszPath, CDocumentFile::SystemReason(::GetLastError())}));
        return false;
    }
    // The whole file is looked at before anything of it reaches the screen
    // or the unit: values that are no numbers are refused, values the editor
    // would not take are applied only when the user says so.
    CDlgCrossover& form = *m_pdlgCrossoverForm;
    const auto approve = [&](const std::uint8_t* pImage, std::size_t cb) {
        const CConfigurationSet& config = form.Configuration();
        const CChannelConfig* apCurrent[CHANNEL_COUNT];
        for (int c = 0; c < CHANNEL_COUNT; ++c)
            apCurrent[c] = &config.Current(c);
        return COpenApproval::Approve(m_hWnd, pszPath, pImage, cb, apCurrent, config.Shown().GetMode());
    };
    ConfigResult result;
    if (form.SerializeConfig(hFile, 1, FALSE, &result, approve)) {
        hFile.Reset(); // the configuration is read: nobody else is kept out any longer
        m_measurements.OpenBeside(m_hWnd, pszPath);
        return true;
    }
    if (result.status == EConfigStatus::Declined)
        return false; // the refusal or the question has said why
    std::wstring reason;
    if (result.status == EConfigStatus::WrongSignature) {
        reason = g_Module.LoadString(IDS_FILE_NOT_CONFIGURATION);
    } else if (result.status == EConfigStatus::ShortFile) {
        const std::wstring count = std::to_wstring(result.nOffset);
        reason = CDocumentFile::Format(IDS_FILE_SHORT, {count});
    } else {
        reason = g_Module.LoadString(IDS_FILE_UNREADABLE);
    }
    m_host.ShowError(m_hWnd, CDocumentFile::Format(IDS_FILE_REFUSED, {pszPath, reason}));
    return false;
}

void CDocumentCommands::New()
{
    if (!m_pdlgCrossoverForm)
        return;
    m_host.SetPolling(false);
    wchar_t szPath[CDocumentFile::PATH_UNITS];
    const CDocumentFile::EChoice choice = m_host.ChooseFile(m_hWnd, false, szPath);
    if (choice == CDocumentFile::EChoice::PathTooLong) {
        ShowMessage(IDS_PATH_TOO_LONG);
    } else if (choice == CDocumentFile::EChoice::Chosen) {
        // The defaults file is written from a reset configuration, which is
        // then loaded like any opened file: the screen shows the defaults
        // and a connected unit receives what changed, so screen and unit
        // never part.  A file that cannot be written changes nothing.
        // The set's entries and profile are kept around the writing, the
        // working copy is left out: the screen is not touched until Open.
        CConfigurationSet& config = m_pdlgCrossoverForm->Configuration();
        const CConfigImage saved = config.CaptureRecords();
        const bool bWritten = SaveTo(szPath, true);
        config.RestoreRecords(saved);
        if (bWritten) {
            // All or nothing: a defaults file that cannot be loaded again
            // leaves the profile as it was, with the channels.
            config.Profile().SetDefaults();
            if (OpenFrom(szPath))
                TakeFileName(szPath);
            else
                config.Profile() = saved.Profile();
        }
    }
    m_host.SetPolling(true);
}

void CDocumentCommands::Open()
{
    m_host.SetPolling(false);
    wchar_t szPath[CDocumentFile::PATH_UNITS];
    const CDocumentFile::EChoice choice = m_host.ChooseFile(m_hWnd, true, szPath);
    if (choice == CDocumentFile::EChoice::PathTooLong)
        ShowMessage(IDS_PATH_TOO_LONG);
    else if (choice == CDocumentFile::EChoice::Chosen && OpenFrom(szPath))
        TakeFileName(szPath); // a refused file never becomes the one Save writes to
    m_host.SetPolling(true);
}

void CDocumentCommands::Save()
{
    if (::lstrcmpiW(m_pszFileName.get(), g_Module.LoadString(IDS_UNTITLED).c_str()) == 0) {
        SaveAs();
        return;
    }
    const std::wstring path(m_pszFileName.get());
    if (SaveTo(path.c_str(), false))
        m_measurements.SaveBeside(m_hWnd, path.c_str());
}

void CDocumentCommands::SaveAs()
{
    wchar_t szPath[CDocumentFile::PATH_UNITS];
    const CDocumentFile::EChoice choice = m_host.ChooseFile(m_hWnd, false, szPath);
    if (choice == CDocumentFile::EChoice::PathTooLong)
        ShowMessage(IDS_PATH_TOO_LONG);
    else if (choice == CDocumentFile::EChoice::Chosen && SaveTo(szPath, false)) {
        TakeFileName(szPath);
        m_measurements.SaveBeside(m_hWnd, szPath);
    }
}
