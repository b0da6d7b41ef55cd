#include "shell/OpenApproval.h"

#include <algorithm>

#include "files/ConfigFile.h"
#include "framework/ExeModule.h"
#include "model/ChannelConfig.h"
#include "model/ChannelNames.h"
#include "resources/resource.h"
#include "shell/DocumentFile.h"

namespace {

std::wstring Widen(const std::string& text)
{
    // The names, labels and numbers are ASCII.
    return std::wstring(text.begin(), text.end());
}

} // namespace

std::wstring COpenApproval::ListValues(const std::vector<CConfigCheck::SFinding>& named, int nMode)
{
    std::wstring lines;
    std::size_t nListed = 0;
    for (const CConfigCheck::SFinding& f : named) {
        if (nListed == MAX_LISTED)
            break;
        if (f.nRecord < 0 || f.nRecord >= CHANNEL_COUNT)
            continue;
        const std::wstring channel = Widen(kChannelNames[f.nRecord]);
        if (f.bForeignIndex) {
            lines += CDocumentFile::Format(IDS_OPEN_RECORD_CLAIMS, {std::to_wstring(f.nRecord), channel,
                                                                    std::to_wstring(f.nClaimedChannel)});
            lines += L"\r\n";
            ++nListed;
            continue;
        }
        if (f.eField == FIELD_NONE)
            continue;
        const std::wstring field = Widen(GetChannelFieldLabel(f.eField));
        const std::wstring value = Widen(CConfigCheck::FormatFloat(f.fltValue));
        lines += f.bNonFinite ? CDocumentFile::Format(IDS_OPEN_VALUE_NOT_NUMBER, {channel, field, value})
                              : CDocumentFile::Format(IDS_OPEN_VALUE_OUTSIDE,
                                                      {channel, field, value,
                                                       Widen(CConfigCheck::DescribeRange(f.eField, nMode))});
        lines += L"\r\n";
        ++nListed;
    }
    if (named.size() > nListed)
        lines += CDocumentFile::Format(IDS_OPEN_MORE_VALUES, {std::to_wstring(named.size() - nListed)}) + L"\r\n";
    while (!lines.empty() && (lines.back() == L'\n' || lines.back() == L'\r'))
        lines.pop_back();
    return lines;
}

bool COpenApproval::Approve(HWND hOwner, const wchar_t* pszPath, const std::uint8_t* pImage, std::size_t cb,
                            const CChannelConfig* const (&pCurrent)[6], int nMode)
{
    CConfigCheck::SRecordBits incoming[CHANNEL_COUNT];
    if (!CConfigFile::SplitImage(pImage, cb, incoming))
        return false;
    CConfigCheck::SRecordBits current[CHANNEL_COUNT];
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        current[c] = CConfigCheck::BitsOf(*pCurrent[c]);
    std::vector<CConfigCheck::SFinding> named;
    const CConfigCheck::EAdmission eAdmission = CConfigCheck::Admit(incoming, current, nMode, named);
    if (eAdmission == CConfigCheck::EAdmission::Apply)
        return true;
    const std::wstring caption = g_Module.LoadString(IDS_APP_TITLE);
    const std::wstring list = ListValues(named, nMode);
    if (eAdmission == CConfigCheck::EAdmission::Refuse) {
        const bool bDamaged = std::any_of(named.begin(), named.end(),
                                          [](const CConfigCheck::SFinding& f) { return f.bForeignIndex; });
        const std::wstring reason = CDocumentFile::Format(bDamaged ? IDS_OPEN_DAMAGED : IDS_OPEN_NOT_NUMBERS, {list});
        const std::wstring text = CDocumentFile::Format(IDS_FILE_REFUSED, {pszPath, reason});
        ::MessageBoxW(hOwner, text.c_str(), caption.c_str(), MB_ICONERROR);
        return false;
    }
    const std::wstring text =
        CDocumentFile::Format(IDS_OPEN_CONFIRM_RANGES, {pszPath, Widen(CConfigCheck::ModeName(nMode)), list});
    return ::MessageBoxW(hOwner, text.c_str(), caption.c_str(), MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON2) == IDYES;
}
