#include "files/SafeFile.h"

const char* CSafeFile::StatusText(EStatus status)
{
    switch (status) {
    case EStatus::Ok: return "saved";
    case EStatus::NotRegularFile: return "the path names a folder or a device, not a file";
    case EStatus::CannotCreate: return "a new file cannot be created there";
    case EStatus::WriteFailed: return "the new content could not be written completely";
    case EStatus::CannotReplace: return "the existing file could not be replaced";
    case EStatus::KeptAside: return "the existing file was taken away and the new content is kept beside it";
    }
    return "unknown";
}

namespace {
CSafeFile::ISystem* g_pSystem = nullptr;
}

void CSafeFile::SetSystem(ISystem* pSystem) { g_pSystem = pSystem; }

CSafeFile::ISystem& CSafeFile::System() { return g_pSystem ? *g_pSystem : PlatformSystem(); }

CSafeFile::SResult CSafeFile::AfterFailedReplace(const std::filesystem::path& temp, unsigned long nError)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_type type = fs::symlink_status(m_target, ec).type();
    if (type != fs::file_type::not_found && type != fs::file_type::none) {
        fs::remove(temp, ec);
        return {EStatus::CannotReplace, nError, {}};
    }
    // The old file is gone from its name (or cannot be seen): never delete
    // the only copy of the new content.
    if (type == fs::file_type::not_found && System().Move(temp, m_target) == 0)
        return {};
    return {EStatus::KeptAside, nError, temp};
}
