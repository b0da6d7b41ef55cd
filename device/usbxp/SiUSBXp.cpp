// Device enumeration: the devices of QVR500_DEVICES, by index.
#include "device/usbxp/SiUSBXp.h"

#include <cstring>

#include "device/usbxp/DeviceEnvironment.h"

int SI_GetNumDevices(std::uint32_t* pNumDevices)
{
    if (pNumDevices == nullptr)
        return SI_INVALID_PARAMETER;
    *pNumDevices = static_cast<std::uint32_t>(ReadAttachedDevices().Entries().size());
    return SI_SUCCESS;
}

int SI_GetProductString(std::uint32_t nDevice, char* pBuffer, std::uint32_t nSelector)
{
    if (pBuffer == nullptr)
        return SI_INVALID_PARAMETER;
    pBuffer[0] = '\0';
    if (nSelector != SI_RETURN_SERIAL_NUMBER && nSelector != SI_RETURN_DESCRIPTION)
        return SI_INVALID_PARAMETER;
    const CDeviceList list = ReadAttachedDevices();
    const SDeviceEntry* pEntry = list.Find(nDevice);
    if (pEntry == nullptr)
        return SI_DEVICE_NOT_FOUND;
    const std::string& text = nSelector == SI_RETURN_DESCRIPTION ? pEntry->description : pEntry->serial;
    // Bounded copy into the 256-byte buffer, always terminated.
    const std::size_t nCopy = text.size() < SI_MAX_STRING - 1 ? text.size() : SI_MAX_STRING - 1;
    std::memcpy(pBuffer, text.data(), nCopy);
    pBuffer[nCopy] = '\0';
    return SI_SUCCESS;
}
