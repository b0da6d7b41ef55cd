#pragma once
// CDeviceChoice: which unit the queue's device number denotes.  Device
// numbers are positions in a list that changes as ports and units come and
// go, so the number is derived again from the unit's serial number on every
// device change and before every Connect: it always names the same unit, or
// none.
//
// The unit the user chose in Select Device (its serial number; for a serial
// port, the port's name) is kept for the whole run: while it is gone the
// number is -1 and Connect says that the unit could not be found, rather
// than open whatever took its place or the automatic lookup's unit.  It is
// also remembered for the next start, where it is taken when attached and
// otherwise passed over for that run.  "None" forgets it.  Without a choice
// the automatic lookup's unit ("USBXpress Device") is followed by its serial
// number while it stays attached.

#include <windows.h>

#include <string>

class CDeviceChoice {
public:
    // The remembered choice under the program's settings key.
    static constexpr const wchar_t* SETTING = L"Device";

    // At start: the remembered choice, when that unit is attached, becomes
    // the queue's device number; otherwise the automatic lookup's stands.
    void Restore();
    // Select Device (modal, owned by hOwner).  On OK the chosen unit is the
    // one Connect opens, and is remembered; choosing does not connect.
    void Choose(HWND hOwner);
    // A device change: the number is derived again (see above).
    void Refresh();
    // Before Connect opens the link: the same; returns the device number,
    // -1 when the unit to open is not attached.
    int ResolveForConnect();

    const std::wstring& GetSerial() const { return m_strSerial; }

private:
    int Resolve();

    std::wstring m_strSerial;    // the user's choice; empty: none (the automatic lookup)
    std::wstring m_strAutomatic; // without a choice: the serial number of the unit the number denotes
};
