// Command interpreter of the simulator's control interface.
#include "sim/SimControl.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "protocol/QVRSCP.h"

namespace {

struct CommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::vector<std::string> Split(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// Unsigned number: decimal or 0x-prefixed hexadecimal.
std::uint64_t ParseUnsigned(const std::string& text, std::uint64_t max, const char* what)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        throw CommandError(std::string("bad ") + what + " '" + text + "'");
    std::size_t used = 0;
    unsigned long long v = 0;
    try {
        v = std::stoull(text, &used, 0);
    } catch (const std::exception&) {
        throw CommandError(std::string("bad ") + what + " '" + text + "'");
    }
    if (used != text.size())
        throw CommandError(std::string("bad ") + what + " '" + text + "'");
    if (v > max)
        throw CommandError(std::string(what) + " out of range: " + text);
    return v;
}

int ParseIndex(const std::string& text, int max, const char* what)
{
    return static_cast<int>(ParseUnsigned(text, static_cast<std::uint64_t>(max), what));
}

double ParseDouble(const std::string& text, const char* what)
{
    std::size_t used = 0;
    double v = 0;
    try {
        v = std::stod(text, &used);
    } catch (const std::exception&) {
        throw CommandError(std::string("bad ") + what + " '" + text + "'");
    }
    if (used != text.size() || !std::isfinite(v))
        throw CommandError(std::string("bad ") + what + " '" + text + "'");
    return v;
}

// A 32-bit value: "0x..." is a bit pattern, anything else a float.
std::uint32_t ParseValue(const std::string& text)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return static_cast<std::uint32_t>(ParseUnsigned(text, 0xFFFFFFFFu, "value"));
    const float flt = static_cast<float>(ParseDouble(text, "value"));
    std::uint32_t dw;
    std::memcpy(&dw, &flt, 4);
    return dw;
}

std::string Hex(std::uint32_t dw)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "0x%08" PRIX32, dw);
    return sz;
}

// "0xHHHHHHHH float" for a 32-bit pattern.
std::string Word(std::uint32_t dw)
{
    float flt;
    std::memcpy(&flt, &dw, 4);
    char sz[64];
    std::snprintf(sz, sizeof sz, "0x%08" PRIX32 " %.9g", dw, static_cast<double>(flt));
    return sz;
}

std::string Describe(const SimLogEntry& e)
{
    const std::uint8_t* p = e.request.data();
    char sz[160];
    if (p[0] == SCP_TYPE_GET)
        std::snprintf(sz, sizeof sz, "#%" PRIu64 " t=%.3f GET c=%u p=%u", e.nSeq, e.dTime, p[2], p[3]);
    else if (p[0] == SCP_TYPE_SET)
        std::snprintf(sz, sizeof sz, "#%" PRIu64 " t=%.3f SET c=%u p=%u v=%s", e.nSeq, e.dTime, p[2], p[3],
                      Word(SCP_GetWord(p, 4)).c_str());
    else
        std::snprintf(sz, sizeof sz, "#%" PRIu64 " t=%.3f RAW cmd=%u iter=%s u=%s l=%s", e.nSeq, e.dTime, p[2],
                      Hex(SCP_GetWord(p, 3)).c_str(), Hex(SCP_GetWord(p, 7)).c_str(),
                      Hex(SCP_GetWord(p, 11)).c_str());
    const char* answer = "none";
    switch (e.bAnswer) {
    case SCP_TYPE_ACK: answer = "ACK"; break;
    case SCP_TYPE_NACK: answer = "NACK"; break;
    case SCP_TYPE_DATA: answer = "DATA"; break;
    case SCP_TYPE_REPLY: answer = "REPLY"; break;
    default: break;
    }
    return std::string(sz) + " -> " + answer;
}

const char* const HELP =
    "get param C P | get stored param C P | get output B I | get stored output B I | get flags | "
    "get stored flags | get mem ADDR [COUNT] | get level C | set param C P VALUE | set output B I VALUE | "
    "set flags X | set mem ADDR X | set level C DB|auto | drop N | corrupt N | nack N | delay N MS | "
    "garbage N | short N [LEN] | stuck ADDR MASK | clearfaults | unplug | plug | powercycle | factoryreset | "
    "timing wire|instant | nolcr on|off | log [N] | clearlog | count get C P | count set C P | "
    "count cmd N | stats | ping | help | quit";

} // namespace

std::string CSimControl::Execute(const std::string& line, bool* pbQuit)
{
    const std::vector<std::string> w = Split(line);
    const auto need = [&w](std::size_t n) {
        if (w.size() != n)
            throw CommandError("wrong number of arguments (try help)");
    };
    try {
        if (w.empty())
            throw CommandError("empty command");
        const std::string& cmd = w[0];
        if (cmd == "get" && w.size() >= 2) {
            const bool bStored = w[1] == "stored";
            const std::size_t k = bStored ? 2 : 1; // index of the object word
            if (w.size() <= k)
                throw CommandError("get what? (param, output, flags, mem, level)");
            const std::string& what = w[k];
            const SimSettings s = bStored ? m_unit.GetStoredSettings() : m_unit.GetLiveSettings();
            if (what == "param") {
                need(k + 3);
                const int c = ParseIndex(w[k + 1], 5, "channel");
                const int p = ParseIndex(w[k + 2], 31, "parameter");
                const std::uint32_t dw =
                    (!bStored && p == CSimUnit::METER_PARAMETER) ? m_unit.GetParameter(c, p) : s.params[c][p];
                return "OK " + Word(dw);
            }
            if (what == "output") {
                need(k + 3);
                const int b = ParseIndex(w[k + 1], 3, "bank");
                const int i = ParseIndex(w[k + 2], 3, "index");
                return "OK " + Word(s.outputs[static_cast<std::size_t>(b * 4 + i)]);
            }
            if (what == "flags") {
                need(k + 1);
                return "OK " + Hex(s.flags);
            }
            if (what == "mem" && !bStored) {
                if (w.size() != 3 && w.size() != 4)
                    throw CommandError("usage: get mem ADDR [COUNT]");
                const auto dwAddr = static_cast<std::uint32_t>(ParseUnsigned(w[2], 0xFFFFFFFFu, "address"));
                const auto nCount = w.size() == 4 ? ParseUnsigned(w[3], 4096, "count") : 1;
                std::string out = "OK";
                for (std::uint64_t n = 0; n < nCount; ++n) {
                    const auto word = m_unit.ReadMemory(dwAddr + static_cast<std::uint32_t>(4 * n));
                    if (!word)
                        throw CommandError("address out of memory: " + Hex(dwAddr + static_cast<std::uint32_t>(4 * n)));
                    out += " " + Hex(*word);
                }
                return out;
            }
            if (what == "level" && !bStored) {
                need(3);
                char sz[32];
                std::snprintf(sz, sizeof sz, "OK %.2f", m_unit.GetMeterLevelDb(ParseIndex(w[2], 5, "channel")));
                return sz;
            }
            throw CommandError("get what? (param, output, flags, mem, level)");
        }
        if (cmd == "set" && w.size() >= 2) {
            const std::string& what = w[1];
            if (what == "param") {
                need(5);
                m_unit.SetParameter(ParseIndex(w[2], 5, "channel"), ParseIndex(w[3], 31, "parameter"),
                                    ParseValue(w[4]));
                return "OK";
            }
            if (what == "output") {
                need(5);
                const std::uint32_t dw = ParseValue(w[4]);
                float flt;
                std::memcpy(&flt, &dw, 4);
                m_unit.SetOutputFloat(ParseIndex(w[2], 3, "bank"), ParseIndex(w[3], 3, "index"), flt);
                return "OK";
            }
            if (what == "flags") {
                need(3);
                m_unit.SetFlags(static_cast<std::uint32_t>(ParseUnsigned(w[2], 0xFFFFFFFFu, "flags")));
                return "OK " + Hex(m_unit.GetFlags());
            }
            if (what == "mem") {
                need(4);
                const auto dwAddr = static_cast<std::uint32_t>(ParseUnsigned(w[2], 0xFFFFFFFFu, "address"));
                if (!m_unit.PokeMemory(dwAddr, static_cast<std::uint32_t>(ParseUnsigned(w[3], 0xFFFFFFFFu, "value"))))
                    throw CommandError("address out of memory: " + Hex(dwAddr));
                return "OK";
            }
            if (what == "level") {
                need(4);
                const int c = ParseIndex(w[2], 5, "channel");
                if (w[3] == "auto")
                    m_unit.SetMeterLevel(c, std::nullopt);
                else
                    m_unit.SetMeterLevel(c, ParseDouble(w[3], "level"));
                return "OK";
            }
            throw CommandError("set what? (param, output, flags, mem, level)");
        }
        const auto count = [&](std::size_t i) {
            return static_cast<unsigned>(ParseUnsigned(w[i], 1000000, "count"));
        };
        if (cmd == "drop") { need(2); m_unit.DropReplies(count(1)); return "OK"; }
        if (cmd == "corrupt") { need(2); m_unit.CorruptReplies(count(1)); return "OK"; }
        if (cmd == "nack") { need(2); m_unit.NackRequests(count(1)); return "OK"; }
        if (cmd == "delay") {
            need(3);
            m_unit.DelayReplies(count(1), static_cast<unsigned>(ParseUnsigned(w[2], 600000, "delay")));
            return "OK";
        }
        if (cmd == "garbage") {
            need(2);
            m_unit.GarbageBeforeReply(static_cast<unsigned>(ParseUnsigned(w[1], 4096, "byte count")));
            return "OK";
        }
        if (cmd == "short") {
            if (w.size() != 2 && w.size() != 3)
                throw CommandError("usage: short N [LEN]");
            const unsigned nLen = w.size() == 3 ? static_cast<unsigned>(ParseUnsigned(w[2], 15, "length")) : 8;
            m_unit.ShortReplies(count(1), nLen);
            return "OK";
        }
        if (cmd == "stuck") {
            need(3);
            const auto dwAddress = static_cast<std::uint32_t>(ParseUnsigned(w[1], 0xFFFFFFFFu, "address"));
            const auto dwMask = static_cast<std::uint32_t>(ParseUnsigned(w[2], 0xFFFFFFFFu, "mask"));
            if (!m_unit.StickBits(dwAddress, dwMask))
                throw CommandError("address out of memory: " + Hex(dwAddress));
            return "OK";
        }
        if (cmd == "clearfaults") { need(1); m_unit.ClearFaults(); return "OK"; }
        if (cmd == "unplug") { need(1); m_unit.Unplug(); return "OK"; }
        if (cmd == "plug") { need(1); m_unit.Plug(); return "OK"; }
        if (cmd == "powercycle") { need(1); m_unit.PowerCycle(); return "OK"; }
        if (cmd == "factoryreset") { need(1); m_unit.FactoryReset(); return "OK"; }
        if (cmd == "timing") {
            need(2);
            if (w[1] == "wire")
                m_unit.SetTiming(ESimTiming::Wire);
            else if (w[1] == "instant")
                m_unit.SetTiming(ESimTiming::Instant);
            else
                throw CommandError("timing is wire or instant");
            return "OK";
        }
        if (cmd == "nolcr") {
            need(2);
            if (w[1] != "on" && w[1] != "off")
                throw CommandError("nolcr is on or off");
            m_unit.SetNoLeftRightCenter(w[1] == "on");
            return "OK " + Hex(m_unit.GetFlags());
        }
        if (cmd == "log") {
            if (w.size() > 2)
                throw CommandError("usage: log [N]");
            const std::vector<SimLogEntry> log = m_unit.GetLog();
            std::size_t n = w.size() == 2 ? static_cast<std::size_t>(ParseUnsigned(w[1], 1000000, "count")) : 50;
            n = std::min(n, log.size());
            std::string out = "OK " + std::to_string(n);
            for (std::size_t i = log.size() - n; i < log.size(); ++i)
                out += (i == log.size() - n ? " " : " | ") + Describe(log[i]);
            return out;
        }
        if (cmd == "clearlog") { need(1); m_unit.ClearLog(); return "OK"; }
        if (cmd == "count") {
            if (w.size() == 4 && (w[1] == "get" || w[1] == "set")) {
                const int c = ParseIndex(w[2], 5, "channel");
                const int p = ParseIndex(w[3], 31, "parameter");
                return "OK " + std::to_string(w[1] == "get" ? m_unit.CountGets(c, p) : m_unit.CountSets(c, p));
            }
            if (w.size() == 3 && w[1] == "cmd")
                return "OK " + std::to_string(m_unit.CountCommands(ParseIndex(w[2], 255, "command")));
            throw CommandError("usage: count get C P | count set C P | count cmd N");
        }
        if (cmd == "stats") {
            need(1);
            const SimStats s = m_unit.GetStats();
            std::ostringstream out;
            out << "OK requests=" << s.nRequests << " get=" << s.nGet << " set=" << s.nSet << " raw=" << s.nRaw
                << " ack=" << s.nAck << " nack=" << s.nNack << " data=" << s.nData << " reply=" << s.nReply
                << " dropped=" << s.nDropped << " rejected=" << s.nRejected << " junk=" << s.nJunkBytes
                << " plugged=" << (m_unit.IsPlugged() ? 1 : 0)
                << " timing=" << (m_unit.GetTiming() == ESimTiming::Wire ? "wire" : "instant");
            return out.str();
        }
        if (cmd == "ping") { need(1); return "OK pong"; }
        if (cmd == "help") { return std::string("OK ") + HELP; }
        if (cmd == "quit") {
            need(1);
            if (pbQuit)
                *pbQuit = true;
            return "OK bye";
        }
        throw CommandError("unknown command '" + cmd + "' (try help)");
    } catch (const CommandError& e) {
        return std::string("ERR ") + e.what();
    } catch (const std::out_of_range& e) {
        return std::string("ERR ") + e.what();
    }
}
