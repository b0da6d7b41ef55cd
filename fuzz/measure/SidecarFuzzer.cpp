// libFuzzer target for the measurements sidecar reader.  Besides the
// sanitizers: a refusal names its reason, and whatever is accepted is
// written and read back to the same document.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "measure/Sidecar.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
    CSidecar doc;
    std::string error;
    if (!CSidecar::Read(text, doc, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    const std::string written = doc.Write();
    CSidecar again;
    if (!CSidecar::Read(written, again, error) || again.Write() != written)
        std::abort();
    return 0;
}
