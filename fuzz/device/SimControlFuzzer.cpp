// Fuzzes the simulator's text control language (it reads network input).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/SimControl.h"
#include "sim/SimUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static CSimUnit* pUnit = new CSimUnit(CSimUnit::Options{false, 1, ESimTiming::Instant});
    pUnit->FactoryReset();
    CSimControl control(*pUnit);
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        bool bQuit = false;
        const std::string reply = control.Execute(text.substr(start, end - start), &bQuit);
        if (reply.rfind("OK", 0) != 0 && reply.rfind("ERR ", 0) != 0)
            std::abort();
        if (reply.find('\n') != std::string::npos)
            std::abort();
        start = end + 1;
    }
    return 0;
}
