#pragma once
// CDeviceChoice: the unit the user chose in Select Device (its serial number;
// for a serial port, the port's name).  It is kept while the unit is attached
// and takes precedence over the automatic lookup; it is also remembered for
// the next start, where it is taken exactly like a choice made in this run.
// "None" forgets it.

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
    // A device change: the chosen unit is kept while it is attached (at its
    // new index), and a known unit is never swapped for another one.
    void Refresh();
    // Before Connect opens the link: the chosen unit at its current index.
    // Device numbers are positions in a list that changes as ports come and
    // go; a chosen unit that has gone is forgotten for this run rather than
    // letting its old number open whatever port took its place.
    void ResolveForConnect();

    const std::wstring& GetSerial() const { return m_strSerial; }

private:
    std::wstring m_strSerial; // empty: no unit chosen
};
