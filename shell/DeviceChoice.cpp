#include "shell/DeviceChoice.h"

#include "device/Comm.h"
#include "device/DlgSelectDevice.h"
#include "device/usbxp/DeviceList.h"
#include "framework/AppSettings.h"
#include "shell/ConnectionFlow.h"

void CDeviceChoice::Restore()
{
    // A remembered value is outside input: one longer than any serial number
    // the enumeration reports cannot name a unit.
    const std::wstring remembered = CAppSettings::ReadString(SETTING).value_or(L"");
    m_strSerial = remembered.size() <= CDeviceList::MAX_TEXT ? remembered : std::wstring();
    Refresh();
}

void CDeviceChoice::Choose(HWND hOwner)
{
    CDlgSelectDevice dlg;
    if (dlg.DoModal(hOwner) != IDOK)
        return;
    m_strSerial = dlg.GetChosenSerial();
    if (m_strSerial.empty())
        CAppSettings::DeleteValue(SETTING);
    else
        CAppSettings::WriteString(SETTING, m_strSerial);
}

void CDeviceChoice::Refresh()
{
    const int nChosen = CDlgSelectDevice::FindListedDevice(m_strSerial);
    if (nChosen < 0)
        m_strSerial.clear();
    g_Comm.SetDeviceNumber(CConnectionFlow::DeviceAfterChange(g_Comm.GetDeviceNumber(), CComm::FindDevice(), nChosen));
}

void CDeviceChoice::ResolveForConnect()
{
    if (m_strSerial.empty())
        return;
    const int nChosen = CDlgSelectDevice::FindListedDevice(m_strSerial);
    if (nChosen < 0)
        m_strSerial.clear();
    g_Comm.SetDeviceNumber(nChosen); // -1 lets Connect look the unit up as usual
}
