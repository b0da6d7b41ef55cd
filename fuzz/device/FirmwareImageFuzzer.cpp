// Fuzzer of the firmware file check: any bytes are either refused with a
// reason or give words that read back to the same records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "device/firmware/FirmwareImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    CFirmwareImage image;
    const SFirmwareCheck check = image.Parse(pData, nSize);
    if (check.eResult == EFirmwareCheck::Ok) {
        if (image.WordCount() == 0 || image.WordCount() > CFirmwareImage::MAX_WORDS)
            std::abort();
    } else {
        if (image.WordCount() != 0 || check.nRecord > CFirmwareImage::MAX_WORDS + 1 || check.nOffset > nSize)
            std::abort();
    }
    return 0;
}
