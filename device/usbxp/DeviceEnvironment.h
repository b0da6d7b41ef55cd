#pragma once
// The device list as the environment variable QVR500_DEVICES gives it now.
// Rejected entries are reported to the debugger output (once per distinct
// value of the variable).

#include "device/usbxp/DeviceList.h"

CDeviceList ReadDeviceEnvironment();

// The units the enumeration library reports and the link library opens: the
// entries of QVR500_DEVICES, then the machine's serial ports (docs/devices.md).
CDeviceList ReadAttachedDevices();
