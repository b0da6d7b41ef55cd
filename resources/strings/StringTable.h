#pragma once
// Portable access to the program's string table (strings.inc), the same
// texts that the resource script compiles into the Windows string table.

#include <cstddef>

namespace qvr {

struct StringEntry {
    unsigned id;
    const char16_t* text;
};

// The text of string `id`, or nullptr when the table has no such string.
const char16_t* LoadStringText(unsigned id);

// Every entry, in table order (for checking the compiled resources).
const StringEntry* StringTableBegin();
std::size_t StringTableSize();

} // namespace qvr
