#pragma once
// Texts of the string table with "%s" places filled in order (portable, so
// the library's messages are tested natively too).

#include <initializer_list>
#include <string>

class CTextFormat {
public:
    // String `nId` with each "%s" replaced by the next argument ("" when the
    // arguments run out); an unknown id gives an empty text.
    static std::u16string Format(unsigned nId, std::initializer_list<std::u16string> args);
};
