// Registry of named in-process simulated units.
#include "sim/SimRegistry.h"

#include <map>
#include <memory>
#include <mutex>

namespace {
struct Registry {
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<CSimUnit>> units;
};

Registry& TheRegistry()
{
    // Never destroyed: ports may still reach their unit during process exit.
    static Registry* pRegistry = new Registry;
    return *pRegistry;
}
} // namespace

CSimUnit& GetSharedSimUnit(const std::string& name)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto& pUnit = r.units[name];
    if (!pUnit)
        pUnit = std::make_unique<CSimUnit>();
    return *pUnit;
}

bool HasSharedSimUnit(const std::string& name)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.units.count(name) != 0;
}
