#include "measure/Sidecar.h"

CSidecar::CSidecar() = default;
bool CSidecar::IsEmpty() const { return true; }
std::string CSidecar::Write() const { return "{}\n"; }
bool CSidecar::Read(std::string_view, CSidecar&, std::string& error)
{
    error = "not done";
    return false;
}
std::string CSidecar::PathFor(const std::string& configPath) { return configPath + ".qvm"; }
