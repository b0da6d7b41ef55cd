#include "measure/JsonStrict.h"

#include <set>
#include <vector>

namespace {

struct SStrictRefusal {
    std::string text;
};

// "[json.exception.parse_error.101] parse error at line 1, column 5: syntax
// error ...; last read: 'x'; expected ..." without the bracket, the line and
// column (the offset says it) and the text last read: that is the file's
// own bytes, which need not be printable or even UTF-8.
std::string Reason(const char* pszWhat)
{
    std::string s = pszWhat;
    const std::size_t at = s.find("column ");
    const std::size_t colon = at != std::string::npos ? s.find(": ", at) : std::string::npos;
    if (colon != std::string::npos) {
        s = s.substr(colon + 2);
    } else {
        const std::size_t close = s.find("] ");
        if (close != std::string::npos)
            s = s.substr(close + 2);
    }
    const std::size_t read = s.find("; last read: '");
    if (read != std::string::npos) {
        const std::size_t end = s.find("'; ", read + 14);
        s = s.substr(0, read) + (end != std::string::npos ? s.substr(end + 1) : std::string());
    }
    return s;
}

} // namespace

bool CJsonStrict::Parse(std::string_view text, nlohmann::json& out, std::string& error)
{
    using nlohmann::json;
    std::vector<std::set<std::string>> keys; // one set per open object
    const json::parser_callback_t cb = [&keys](int depth, json::parse_event_t event, json& parsed) {
        if (depth > MAX_DEPTH)
            throw SStrictRefusal{"nested deeper than " + std::to_string(MAX_DEPTH) + " levels"};
        switch (event) {
        case json::parse_event_t::object_start: keys.emplace_back(); break;
        case json::parse_event_t::key:
            if (!keys.empty() && !keys.back().insert(parsed.get<std::string>()).second)
                throw SStrictRefusal{"the key \"" + parsed.get<std::string>() + "\" appears twice in one object"};
            break;
        case json::parse_event_t::object_end:
            if (!keys.empty())
                keys.pop_back();
            break;
        default: break;
        }
        return true;
    };
    try {
        json doc = json::parse(text.begin(), text.end(), cb);
        out = std::move(doc);
        return true;
    } catch (const SStrictRefusal& r) {
        error = r.text;
    } catch (const json::parse_error& e) {
        // byte is the 1-based position of the last byte read.
        error = "offset " + std::to_string(e.byte > 0 ? e.byte - 1 : 0) + ": " + Reason(e.what());
    } catch (const json::exception& e) {
        error = Reason(e.what());
    }
    return false;
}
