#include "tools/qvrtool/FleetPlan.h"

#include <algorithm>
#include <cctype>

namespace {

bool StartsWithTransport(const std::string& s)
{
    if (s.size() < 4)
        return false;
    std::string head = s.substr(0, 4);
    std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::tolower(c); });
    return head == "sim:" || head == "tcp:" || head == "com:";
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

bool SameEntry(const SDeviceEntry& a, const SDeviceEntry& b)
{
    return a.transport == b.transport && Lower(a.address) == Lower(b.address) && a.nPort == b.nPort &&
           a.serial == b.serial;
}

} // namespace

std::vector<std::string> CFleetPlan::SplitList(const std::string& list)
{
    std::vector<std::string> items;
    bool bOpenEntry = false; // the last item is an entry that does not parse yet
    std::size_t nStart = 0;
    for (;;) {
        const std::size_t nComma = list.find(',', nStart);
        const std::string piece = list.substr(nStart, nComma == std::string::npos ? std::string::npos : nComma - nStart);
        if (bOpenEntry && !StartsWithTransport(piece))
            items.back() += "," + piece;
        else
            items.push_back(piece);
        bOpenEntry = StartsWithTransport(items.back()) && CDeviceList::Parse(items.back()).Entries().size() != 1;
        if (nComma == std::string::npos)
            break;
        nStart = nComma + 1;
    }
    return items;
}

bool CFleetPlan::Select(const std::vector<SDeviceEntry>& attached, std::size_t nListEntries, bool bAll,
                        const std::string& list, std::vector<SUnit>& chosen, std::string& error)
{
    chosen.clear();
    const auto add = [&](const SDeviceEntry& entry, int nIndex) {
        for (const SUnit& u : chosen)
            if (SameEntry(u.entry, entry))
                return;
        SUnit unit;
        unit.entry = entry;
        unit.nIndex = nIndex;
        chosen.push_back(std::move(unit));
    };
    if (bAll) {
        for (std::size_t i = 0; i < attached.size() && i < nListEntries; ++i)
            add(attached[i], static_cast<int>(i));
    } else {
        for (const std::string& raw : SplitList(list)) {
            std::string item = raw;
            while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
                item.erase(item.begin());
            while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
                item.pop_back();
            if (item.empty()) {
                error = "--units: an empty item (the list is UNIT,UNIT,...)";
                return false;
            }
            if (StartsWithTransport(item)) {
                const CDeviceList parsed = CDeviceList::Parse(item);
                if (parsed.Entries().size() != 1) {
                    error = "--units: " + (parsed.Errors().empty() ? "\"" + item + "\" is not one device-list entry"
                                                                   : parsed.Errors().front());
                    return false;
                }
                add(parsed.Entries().front(), -1);
                continue;
            }
            bool bFound = false;
            const bool bDigits = item.size() <= 4 && item.find_first_not_of("0123456789") == std::string::npos;
            if (bDigits) {
                const std::size_t n = static_cast<std::size_t>(std::stoi(item));
                if (n < attached.size()) {
                    add(attached[n], static_cast<int>(n));
                    bFound = true;
                }
            }
            for (std::size_t i = 0; !bFound && i < attached.size(); ++i)
                if (attached[i].serial == item) {
                    add(attached[i], static_cast<int>(i));
                    bFound = true;
                }
            if (!bFound) {
                error = "--units: no attached unit is \"" + item + "\" (qvrtool units lists them)";
                return false;
            }
        }
    }
    if (chosen.empty()) {
        error = bAll ? "--all: no unit is attached (qvrtool units lists them; serial ports are taken only when "
                       "named in --units)"
                     : "--units names no unit";
        return false;
    }
    if (chosen.size() > MAX_UNITS) {
        error = std::to_string(chosen.size()) + " units: one run takes at most " + std::to_string(MAX_UNITS);
        return false;
    }
    // Files are named by serial number: two units that would share a file
    // are both refused (which of them the file belongs to is unknown).
    for (SUnit& u : chosen) {
        u.stem = FileStem(u.entry.serial);
        if (u.stem.empty())
            u.refusal = "no serial number to name its file by";
    }
    for (std::size_t i = 0; i < chosen.size(); ++i)
        for (std::size_t j = 0; j < chosen.size(); ++j)
            if (i != j && !chosen[i].stem.empty() && Lower(chosen[i].stem) == Lower(chosen[j].stem))
                chosen[i].refusal = "its file " + chosen[i].stem + " would also be the file of " +
                                    CDeviceList::Describe(chosen[j].entry) + "; left alone";
    return true;
}

std::string CFleetPlan::FileStem(const std::string& serial)
{
    std::string stem;
    for (const char c : serial) {
        if (stem.size() >= MAX_STEM)
            break;
        const auto u = static_cast<unsigned char>(c);
        stem += (std::isalnum(u) && u < 0x80) || c == '.' || c == '-' || c == '_' ? c : '_';
    }
    if (!stem.empty() && stem.front() == '.')
        stem.front() = '_';
    // Windows takes these names as devices in every folder, whatever follows
    // the first dot.
    const std::string base = Lower(stem.substr(0, stem.find('.')));
    static const char* const s_apszReserved[] = {"con", "prn", "aux", "nul"};
    bool bReserved = std::find(std::begin(s_apszReserved), std::end(s_apszReserved), base) != std::end(s_apszReserved);
    if (base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
        std::isdigit(static_cast<unsigned char>(base[3])))
        bReserved = true;
    if (bReserved)
        stem.insert(stem.begin(), '_');
    return stem;
}

std::string CFleetPlan::EntryText(const SDeviceEntry& entry)
{
    return CDeviceList::AddressText(entry) + ":" + entry.description + ":" + entry.serial;
}

std::string CFleetPlan::QuoteArgument(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    std::size_t nBackslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++nBackslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        out.append(c == '"' ? 2 * nBackslashes + 1 : nBackslashes, '\\');
        nBackslashes = 0;
        out += c;
    }
    out.append(2 * nBackslashes, '\\'); // before the closing quote
    return out + "\"";
}
