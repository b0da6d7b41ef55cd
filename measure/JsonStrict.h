#pragma once
// CJsonStrict: the house's one way of reading JSON from outside (the
// measurements sidecar, qvrtool's profile files): nlohmann's parser, made
// strict where JSON itself is lenient: a key given twice in one object is
// refused (the library would keep the last silently), and so is nesting
// deeper than MAX_DEPTH.  A syntax error is reported with its byte offset.
// A UTF-8 byte order mark before the document is passed over; text that is
// not valid UTF-8 inside a string is refused.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

class CJsonStrict {
public:
    static constexpr int MAX_DEPTH = 16;

    // False with a one-line reason ("offset 12: ...", or naming the key).
    static bool Parse(std::string_view text, nlohmann::json& out, std::string& error);
};
