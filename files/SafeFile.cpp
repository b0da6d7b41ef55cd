#include "files/SafeFile.h"

const char* CSafeFile::StatusText(EStatus status)
{
    switch (status) {
    case EStatus::Ok: return "saved";
    case EStatus::NotRegularFile: return "the path names a folder or a device, not a file";
    case EStatus::CannotCreate: return "a new file cannot be created there";
    case EStatus::WriteFailed: return "the new content could not be written completely";
    case EStatus::CannotReplace: return "the existing file could not be replaced";
    }
    return "unknown";
}
