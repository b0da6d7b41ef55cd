#include "resources/strings/StringTable.h"

namespace qvr {
namespace {

#define QVR_STRING(id, text) {id, u"" text},
const StringEntry kStrings[] = {
#include "resources/strings/strings.inc"
};
#undef QVR_STRING

} // namespace

const char16_t* LoadStringText(unsigned id)
{
    for (const StringEntry& e : kStrings)
        if (e.id == id)
            return e.text;
    return nullptr;
}

const StringEntry* StringTableBegin() { return kStrings; }
std::size_t StringTableSize() { return sizeof kStrings / sizeof kStrings[0]; }

} // namespace qvr
