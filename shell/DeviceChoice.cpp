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
    // A remembered unit that is not attached at start is passed over for this
    // run (the laptop may be at another cinema); it stays remembered.
    if (CDlgSelectDevice::FindListedDevice(m_strSerial) < 0)
        m_strSerial.clear();
    m_strAutomatic.clear();
    Resolve();
}

void CDeviceChoice::Choose(HWND hOwner)
{
    CDlgSelectDevice dlg;
    if (dlg.DoModal(hOwner) != IDOK)
        return;
    // The dialog has made the chosen unit's index (or -1 for "None") the
    // device number; from here on it is followed by its serial number.
    m_strSerial = dlg.GetChosenSerial();
    m_strAutomatic.clear();
    if (m_strSerial.empty())
        CAppSettings::DeleteValue(SETTING);
    else
        CAppSettings::WriteString(SETTING, m_strSerial);
}

void CDeviceChoice::Refresh() { Resolve(); }

int CDeviceChoice::ResolveForConnect() { return Resolve(); }

int CDeviceChoice::Resolve()
{
    const bool bChosen = !m_strSerial.empty();
    const int nChosen = bChosen ? CDlgSelectDevice::FindListedDevice(m_strSerial) : -1;
    const int nKnown = bChosen ? -1 : CComm::FindDevice(m_strAutomatic);
    const int nFound = bChosen || nKnown >= 0 ? -1 : CComm::FindDevice();
    const int nDevice = CConnectionFlow::DeviceAfterChange(bChosen, nChosen, nKnown, nFound);
    g_Comm.SetDeviceNumber(nDevice);
    m_strAutomatic = bChosen ? std::wstring() : CComm::DeviceSerial(nDevice);
    return nDevice;
}
