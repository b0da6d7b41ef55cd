#include "shell/LinkLogCommand.h"

#include "device/Comm.h"
#include "device/LinkLogFile.h"
#include "framework/AppGlobals.h"
#include "framework/ExeModule.h"
#include "resources/resource.h"
#include "shell/DocumentFile.h"
#include "shell/StartFolder.h"

namespace {
constexpr wchar_t LOG_FILTER[] = L"Text Files (*.txt)\0*.txt\0";
constexpr wchar_t LOG_EXTENSION[] = L"txt";
} // namespace

void CLinkLogCommand::NoteFirmwareRevision(const utRXQueue& record)
{
    wchar_t szLine[256];
    CDlgSplash::FormatFirmwareRevision(RXGetWord(record.bUWord), RXGetWord(record.bLWord), szLine, 256);
    std::string text;
    for (const wchar_t* p = szLine; *p; ++p)
        text += *p < 0x80 ? static_cast<char>(*p) : '?';
    g_Comm.GetLinkLog().SetFirmwareRevision(text);
}

void CLinkLogCommand::Save(HWND hOwner)
{
    CDocumentFile::SDialog dialog;
    dialog.pszFilter = LOG_FILTER;
    dialog.pszDefaultExtension = LOG_EXTENSION;
    dialog.proposedName = CLinkLogFile::DefaultName();
    dialog.initialFolder = CStartFolder::Get();
    wchar_t szPath[CDocumentFile::PATH_UNITS];
    const CDocumentFile::EChoice choice = CDocumentFile::Choose(hOwner, dialog, szPath);
    if (choice == CDocumentFile::EChoice::PathTooLong)
        g_Module.ShowMessage(hOwner, IDS_PATH_TOO_LONG, IDS_APP_TITLE, MB_ICONERROR);
    if (choice != CDocumentFile::EChoice::Chosen)
        return;
    const CSafeFile::SResult r = CLinkLogFile::Write(szPath, CLinkLogFile::Compose(g_Comm, ProgramText()));
    if (r.Ok())
        return;
    const std::wstring text = CDocumentFile::SaveFailure(IDS_LINK_LOG_CANNOT_SAVE, szPath, r);
    ::MessageBoxW(hOwner, text.c_str(), g_Module.LoadString(IDS_APP_TITLE).c_str(), MB_ICONERROR);
}
