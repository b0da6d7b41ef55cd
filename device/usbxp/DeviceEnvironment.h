#pragma once
// The device list as the environment variable QVR500_DEVICES gives it now.
// Rejected entries are reported to the debugger output (once per distinct
// value of the variable).

#include "device/usbxp/DeviceList.h"

CDeviceList ReadDeviceEnvironment();
