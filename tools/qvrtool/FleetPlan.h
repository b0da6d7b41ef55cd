#pragma once
// CFleetPlan: which units a run over several units works on, and what each
// of them is called on disk.  The units come from the device list (every
// entry of QVR500_DEVICES for --all; the machine's serial ports only when
// named, since nothing is sent to a port nobody chose) or from --units, a
// comma-separated list of indexes, serial numbers and device-list entries.
// Each chosen unit is handed to a child qvrtool as a device-list entry of its
// own, so the child reaches exactly that unit whatever else is attached.
//
// Serial numbers come from the device list or from the user: they become
// file names only after FileStem has made them safe, and two units whose
// files would be one are refused rather than one overwriting the other.

#include <string>
#include <vector>

#include "device/usbxp/DeviceList.h"

class CFleetPlan {
public:
    // The most units one run takes (a multiplex has up to about twenty screens).
    static constexpr std::size_t MAX_UNITS = 64;
    // The longest file stem made from a serial number.
    static constexpr std::size_t MAX_STEM = 64;

    struct SUnit {
        SDeviceEntry entry;
        int nIndex = -1;          // in the device list; -1 for an entry named in --units
        std::string stem;         // file name without extension, from the serial number
        std::string refusal;      // non-empty: the unit is reported with this reason and left alone
    };

    // Chooses the units: every entry of the device list that is not one of
    // the machine's serial ports (bAll), or the items of list.  nListEntries
    // is how many of attached came from QVR500_DEVICES (the rest are the
    // machine's serial ports).  False with error for a list that names no
    // unit or an item that matches none; units named twice are taken once.
    static bool Select(const std::vector<SDeviceEntry>& attached, std::size_t nListEntries, bool bAll,
                       const std::string& list, std::vector<SUnit>& chosen, std::string& error);

    // The items of a --units list.  An entry's options and its description
    // may hold commas: a piece that does not complete the entry before it
    // is joined back to it.
    static std::vector<std::string> SplitList(const std::string& list);

    // A file name stem for a serial number: letters, digits, '.', '-' and
    // '_' kept, anything else '_'; no leading dot; a name Windows reserves
    // for a device (CON, NUL, COM1, LPT1, ... with any extension) gets a
    // leading '_' (a unit on COM5 is listed with the serial number "COM5",
    // and a file COM5.qvr would open the port).  Empty for an empty serial.
    static std::string FileStem(const std::string& serial);

    // The device-list entry that reaches the unit, as QVR500_DEVICES takes it.
    static std::string EntryText(const SDeviceEntry& entry);

    // One argument quoted for a Windows command line as the C runtime splits
    // it again (backslashes doubled only before a quote).
    static std::string QuoteArgument(const std::string& arg);
};
