#include "device/DlgSelectDevice.h"

#include <cwchar>

#include "device/Comm.h"
#include "device/usbxp/SiUSBXp.h"

namespace {

constexpr int kProductChars = 256;
const wchar_t kListedDescription[] = L"QVR500 USB";

// One product string of a device as UTF-16 (ANSI code page); empty on failure.
bool ReadProductString(std::uint32_t nDevice, std::uint32_t nSelector, wchar_t (&szOut)[kProductChars])
{
    char sz[kProductChars] = {};
    szOut[0] = L'\0';
    if (SI_GetProductString(nDevice, sz, nSelector) != SI_SUCCESS)
        return false;
    sz[kProductChars - 1] = '\0';
    if (!::MultiByteToWideChar(CP_ACP, 0, sz, -1, szOut, kProductChars))
        szOut[0] = L'\0';
    szOut[kProductChars - 1] = L'\0';
    return true;
}

} // namespace

namespace {
// Calls visit(index, description, serial) for each attached unit described
// "QVR500 USB", in index order, until it returns false.
template <class F>
void ForEachListedDevice(F visit)
{
    std::uint32_t nCount = 0;
    if (SI_GetNumDevices(&nCount) != SI_SUCCESS)
        return;
    for (std::uint32_t nIndex = 0; nIndex < nCount; ++nIndex) {
        wchar_t szDesc[kProductChars];
        wchar_t szSN[kProductChars];
        if (!ReadProductString(nIndex, SI_RETURN_DESCRIPTION, szDesc) || ::lstrcmpiW(szDesc, kListedDescription) != 0)
            continue;
        ReadProductString(nIndex, SI_RETURN_SERIAL_NUMBER, szSN);
        if (!visit(static_cast<int>(nIndex), szDesc, szSN))
            return;
    }
}
} // namespace

int CDlgSelectDevice::FindListedDevice(const std::wstring& serial)
{
    int nFound = -1;
    if (!serial.empty())
        ForEachListedDevice([&](int nIndex, const wchar_t*, const wchar_t* pszSerial) {
            if (serial != pszSerial)
                return true;
            nFound = nIndex;
            return false;
        });
    return nFound;
}

void CDlgSelectDevice::AddItem(const wchar_t* pszText, int nDevice)
{
    const HWND hList = GetDlgItem(IDC_DEVICE_LIST);
    const LRESULT nItem = ::SendMessageW(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszText));
    if (nItem >= 0)
        ::SendMessageW(hList, CB_SETITEMDATA, static_cast<WPARAM>(nItem), static_cast<LPARAM>(nDevice));
}

LRESULT CDlgSelectDevice::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    const HWND hList = GetDlgItem(IDC_DEVICE_LIST);
    AddItem(g_Module.LoadString(IDS_NONE).c_str(), -1);

    ForEachListedDevice([&](int nIndex, const wchar_t* pszDesc, const wchar_t* pszSerial) {
        wchar_t szItem[2 * kProductChars + 4];
        std::swprintf(szItem, sizeof szItem / sizeof szItem[0], L"%ls (%ls)", pszDesc, pszSerial);
        AddItem(szItem, nIndex);
        return true;
    });
    // The first unit listed; with none, "None" stays chosen.
    const LRESULT nItems = ::SendMessageW(hList, CB_GETCOUNT, 0, 0);
    ::SendMessageW(hList, CB_SETCURSEL, nItems > 1 ? 1 : 0, 0);
    return TRUE;
}

LRESULT CDlgSelectDevice::OnOK(UINT, WPARAM, LPARAM, BOOL&)
{
    const HWND hList = GetDlgItem(IDC_DEVICE_LIST);
    const LRESULT nSel = ::SendMessageW(hList, CB_GETCURSEL, 0, 0);
    int nDevice = -1;
    if (nSel != CB_ERR)
        nDevice = static_cast<int>(::SendMessageW(hList, CB_GETITEMDATA, static_cast<WPARAM>(nSel), 0));
    g_Comm.SetDeviceNumber(nDevice);
    m_strChosenSerial.clear();
    if (nDevice >= 0) {
        wchar_t szSN[kProductChars];
        if (ReadProductString(static_cast<std::uint32_t>(nDevice), SI_RETURN_SERIAL_NUMBER, szSN))
            m_strChosenSerial = szSN;
    }
    EndDialog(IDOK);
    return 0;
}

LRESULT CDlgSelectDevice::OnCancel(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}
