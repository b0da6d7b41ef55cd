#pragma once
// UTF-8 <-> UTF-16 conversion and JSON string escaping for the tool.

#include <string>

// Converts UTF-8 to UTF-16; false for malformed input.
bool Utf8ToUtf16(const std::string& s, std::u16string& out);
// Converts UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const char16_t* psz);
// A JSON string literal (with quotes) for a UTF-16 text; every code unit is
// kept (unpaired surrogates as \uXXXX escapes).
std::string JsonString(const char16_t* psz);
