#include "measure/Sidecar.h"

#include <cmath>
#include <limits>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

#include "measure/JsonStrict.h"
#include "model/ChannelFields.h"

using nlohmann::json;

namespace {

const char* const BAND_KEYS[3] = {"low", "mid", "high"};

// Refusals inside the reader: one reason, thrown to the top.
struct SRefusal {
    std::string text;
};
[[noreturn]] void Refuse(const std::string& text) { throw SRefusal{text}; }

const json& Member(const json& obj, const char* key, const std::string& where)
{
    const auto it = obj.find(key);
    if (it == obj.end())
        Refuse(where + ": \"" + key + "\" is missing");
    return *it;
}

void OnlyKeys(const json& obj, std::initializer_list<const char*> keys, const std::string& where)
{
    if (!obj.is_object())
        Refuse(where + ": expected an object");
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        bool bKnown = false;
        for (const char* k : keys)
            bKnown = bKnown || it.key() == k;
        if (!bKnown)
            Refuse(where + ": unknown key \"" + it.key() + "\"");
    }
}

std::vector<double> Numbers(const json& v, const std::string& where)
{
    if (!v.is_array())
        Refuse(where + ": expected an array of numbers");
    if (v.size() > CTextTable::MAX_POINTS)
        Refuse(where + ": more than " + std::to_string(CTextTable::MAX_POINTS) + " values");
    std::vector<double> out;
    out.reserve(v.size());
    for (const json& x : v) {
        if (!x.is_number())
            Refuse(where + ": expected an array of numbers");
        out.push_back(x.get<double>());
    }
    return out;
}

std::string Text(const json& v, const std::string& where)
{
    if (!v.is_string())
        Refuse(where + ": expected a string");
    return v.get<std::string>();
}

// --- measurements ---------------------------------------------------------

json WriteMeasurement(const SSidecarMeasurement& m)
{
    json j;
    j["name"] = m.name;
    j["phase"] = m.ePhase == EPhaseChoice::Minimum ? "minimum" : "measured";
    std::vector<double> f, db, deg;
    for (const SMeasurementPoint& p : m.data.Points()) {
        f.push_back(p.dFreq);
        db.push_back(p.dDb);
        deg.push_back(p.dPhase);
    }
    j["freq"] = f;
    j["db"] = db;
    if (m.data.HasPhase())
        j["deg"] = deg;
    return j;
}

SSidecarMeasurement ReadMeasurement(const json& j, const std::string& where)
{
    OnlyKeys(j, {"name", "phase", "freq", "db", "deg"}, where);
    SSidecarMeasurement m;
    m.name = Text(Member(j, "name", where), where + ".name");
    const std::string phase = Text(Member(j, "phase", where), where + ".phase");
    if (phase == "minimum")
        m.ePhase = EPhaseChoice::Minimum;
    else if (phase != "measured")
        Refuse(where + ".phase: expected \"measured\" or \"minimum\"");
    const std::vector<double> f = Numbers(Member(j, "freq", where), where + ".freq");
    const std::vector<double> db = Numbers(Member(j, "db", where), where + ".db");
    const bool bHasPhase = j.contains("deg");
    const std::vector<double> deg = bHasPhase ? Numbers(j["deg"], where + ".deg") : std::vector<double>();
    if (db.size() != f.size() || (bHasPhase && deg.size() != f.size()))
        Refuse(where + ": the arrays differ in length");
    std::vector<SMeasurementPoint> pts(f.size());
    for (std::size_t i = 0; i < f.size(); ++i)
        pts[i] = {f[i], db[i], bHasPhase ? deg[i] : 0.0};
    std::string error;
    if (!CMeasurement::FromPoints(std::move(pts), bHasPhase, m.data, error))
        Refuse(where + ": " + error);
    return m;
}

// --- configurations -------------------------------------------------------

json WriteConfig(const CChannelConfig& cfg)
{
    json fields = json::object();
    for (int k = 0; k < FIELD_COUNT; ++k) {
        const auto field = static_cast<EChannelField>(k);
        const ChannelFieldInfo& info = GetChannelFieldInfo(field);
        if (info.bFlags) {
            fields[info.pszName] = GetChannelFieldBits(cfg, field);
            continue;
        }
        const float v = BitsToFloat(GetChannelFieldBits(cfg, field));
        if (std::isnan(v))
            fields[info.pszName] = "nan";
        else if (std::isinf(v))
            fields[info.pszName] = v > 0 ? "inf" : "-inf";
        else
            fields[info.pszName] = static_cast<double>(v);
    }
    json j;
    j["mode"] = cfg.GetMode();
    j["fields"] = fields;
    return j;
}

CChannelConfig ReadConfig(const json& j, int nChannel, const std::string& where)
{
    OnlyKeys(j, {"mode", "fields"}, where);
    const json& mode = Member(j, "mode", where);
    // Compared whole: a large number cut to int could pass as 2 or 3.
    if (!mode.is_number_integer() || (mode.get<long long>() != MODE_BIAMP && mode.get<long long>() != MODE_TRIAMP))
        Refuse(where + ".mode: expected 2 or 3");
    const json& fields = Member(j, "fields", where);
    if (!fields.is_object())
        Refuse(where + ".fields: expected an object");
    CChannelConfig cfg(nChannel);
    // Every field is set while the record is in Triamp (a Biamp record
    // ignores the Mid fields' setters), then the mode.
    cfg.SetMode(MODE_TRIAMP);
    std::set<std::string> seen;
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        const EChannelField field = FindChannelField(it.key().c_str());
        if (field == FIELD_NONE)
            Refuse(where + ".fields: unknown field \"" + it.key() + "\"");
        seen.insert(it.key());
        const json& v = it.value();
        std::uint32_t bits = 0;
        if (GetChannelFieldInfo(field).bFlags) {
            if (!v.is_number_unsigned() || v.get<std::uint64_t>() > 0xFFFFFFFFu)
                Refuse(where + ".fields." + it.key() + ": expected a 32-bit unsigned number");
            bits = static_cast<std::uint32_t>(v.get<std::uint64_t>());
        } else if (v.is_number()) {
            const double d = v.get<double>();
            const float f = static_cast<float>(d);
            if (!std::isfinite(d) || !std::isfinite(f))
                Refuse(where + ".fields." + it.key() + ": out of range");
            bits = FloatToBits(f);
        } else if (v.is_string() && (v == "nan" || v == "inf" || v == "-inf")) {
            const float f = v == "nan"   ? std::numeric_limits<float>::quiet_NaN()
                            : v == "inf" ? std::numeric_limits<float>::infinity()
                                         : -std::numeric_limits<float>::infinity();
            bits = FloatToBits(f);
        } else {
            Refuse(where + ".fields." + it.key() + ": expected a number");
        }
        SetChannelFieldBits(cfg, field, bits, false, true);
    }
    if (seen.size() != FIELD_COUNT)
        Refuse(where + ".fields: not every field is given");
    cfg.SetMode(mode.get<int>());
    return cfg;
}

// --- masks ----------------------------------------------------------------

json WriteMask(const CToleranceMask& mask, const std::string& name)
{
    std::vector<double> f, lo, ideal, hi;
    for (const CToleranceMask::SPoint& p : mask.Points()) {
        f.push_back(p.dFreq);
        lo.push_back(p.dMin);
        ideal.push_back(p.dIdeal);
        hi.push_back(p.dMax);
    }
    return json{{"name", name}, {"freq", f}, {"min", lo}, {"ideal", ideal}, {"max", hi}};
}

} // namespace

CSidecar::CSidecar() = default;

bool CSidecar::IsEmpty() const
{
    for (const SSidecarChannel& c : channels)
        if (!c.IsEmpty())
            return false;
    return !mask;
}

std::string CSidecar::PathFor(const std::string& configPath)
{
    // The extension is what follows the last dot of the last component.
    const std::size_t slash = configPath.find_last_of("/\\");
    const std::size_t dot = configPath.find_last_of('.');
    const bool bHasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (bHasExtension ? configPath.substr(0, dot) : configPath) + ".qvm";
}

std::string CSidecar::Write() const
{
    json doc;
    doc["format"] = FORMAT;
    doc["version"] = VERSION;
    json chans = json::array();
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        const SSidecarChannel& ch = channels[static_cast<std::size_t>(c)];
        if (ch.IsEmpty())
            continue;
        json j;
        j["channel"] = c;
        if (ch.room) {
            j["room"] = WriteMeasurement(*ch.room);
            j["as_measured"] = WriteConfig(ch.asMeasured ? *ch.asMeasured : CChannelConfig(c));
        }
        json drivers = json::object();
        for (int b = 0; b < 3; ++b)
            if (ch.drivers[b])
                drivers[BAND_KEYS[b]] = WriteMeasurement(*ch.drivers[b]);
        if (!drivers.empty())
            j["drivers"] = drivers;
        chans.push_back(j);
    }
    doc["channels"] = chans;
    doc["target"] = CTargetCurve::Name(view.eTarget);
    doc["level"] = view.bTypedLevel ? json(view.dTypedLevel) : json(nullptr);
    doc["smoothing"] = view.nSmoothing;
    doc["mask"] = mask ? WriteMask(*mask, maskName) : json(nullptr);
    // Invalid UTF-8 in a name (a file name from elsewhere) is replaced
    // rather than refused: the document must always be written.
    return doc.dump(1, '\t', false, json::error_handler_t::replace) + "\n";
}

bool CSidecar::Read(std::string_view bytes, CSidecar& out, std::string& error)
{
    if (bytes.size() > MAX_BYTES) {
        error = "the measurements file is too large";
        return false;
    }
    json doc;
    if (!CJsonStrict::Parse(bytes, doc, error))
        return false;
    try {
        if (!doc.is_object() || !doc.contains("format") || doc["format"] != FORMAT)
            Refuse("not a measurements file of this program");
        OnlyKeys(doc, {"format", "version", "channels", "target", "level", "smoothing", "mask"}, "document");
        const json& version = Member(doc, "version", "document");
        if (!version.is_number_integer() || version.get<long long>() < 1)
            Refuse("version: expected a whole number from 1");
        if (version.get<long long>() > VERSION)
            Refuse("written by a later version of the program (version " + std::to_string(version.get<long long>()) +
                   ")");
        CSidecar s;
        const json& chans = Member(doc, "channels", "document");
        if (!chans.is_array())
            Refuse("channels: expected an array");
        std::set<int> seen;
        for (const json& j : chans) {
            OnlyKeys(j, {"channel", "room", "as_measured", "drivers"}, "channels");
            const json& c = Member(j, "channel", "channels");
            if (!c.is_number_integer() || c.get<long long>() < 0 || c.get<long long>() >= CHANNEL_COUNT)
                Refuse("channels: channel expected 0..5");
            const int nChannel = c.get<int>();
            if (!seen.insert(nChannel).second)
                Refuse("channels: channel " + std::to_string(nChannel) + " given twice");
            const std::string where = "channel " + std::to_string(nChannel);
            SSidecarChannel& ch = s.channels[static_cast<std::size_t>(nChannel)];
            if (j.contains("room") != j.contains("as_measured"))
                Refuse(where + ": a room measurement and its configuration go together");
            if (j.contains("room")) {
                ch.room = ReadMeasurement(j["room"], where + ".room");
                ch.asMeasured = ReadConfig(j["as_measured"], nChannel, where + ".as_measured");
            }
            if (j.contains("drivers")) {
                const json& d = j["drivers"];
                OnlyKeys(d, {"low", "mid", "high"}, where + ".drivers");
                for (int b = 0; b < 3; ++b)
                    if (d.contains(BAND_KEYS[b]))
                        ch.drivers[b] = ReadMeasurement(d[BAND_KEYS[b]], where + ".drivers." + BAND_KEYS[b]);
            }
        }
        const std::string target = Text(Member(doc, "target", "document"), "target");
        if (!CTargetCurve::FromName(target, s.view.eTarget))
            Refuse("target: unknown curve \"" + target + "\"");
        const json& level = Member(doc, "level", "document");
        if (level.is_number()) {
            s.view.bTypedLevel = true;
            s.view.dTypedLevel = level.get<double>();
            if (!std::isfinite(s.view.dTypedLevel) || std::fabs(s.view.dTypedLevel) > CMeasurement::MAX_ABS_DB)
                Refuse("level: out of range");
        } else if (!level.is_null()) {
            Refuse("level: expected a number or null");
        }
        const json& smoothing = Member(doc, "smoothing", "document");
        if (!smoothing.is_number_integer() ||
            (smoothing.get<long long>() != 0 && smoothing.get<long long>() != 3 && smoothing.get<long long>() != 6))
            Refuse("smoothing: expected 0, 3 or 6");
        s.view.nSmoothing = smoothing.get<int>();
        const json& mask = Member(doc, "mask", "document");
        if (!mask.is_null()) {
            OnlyKeys(mask, {"name", "freq", "min", "ideal", "max"}, "mask");
            s.maskName = Text(Member(mask, "name", "mask"), "mask.name");
            const std::vector<double> f = Numbers(Member(mask, "freq", "mask"), "mask.freq");
            const std::vector<double> lo = Numbers(Member(mask, "min", "mask"), "mask.min");
            const std::vector<double> ideal = Numbers(Member(mask, "ideal", "mask"), "mask.ideal");
            const std::vector<double> hi = Numbers(Member(mask, "max", "mask"), "mask.max");
            if (lo.size() != f.size() || ideal.size() != f.size() || hi.size() != f.size())
                Refuse("mask: the arrays differ in length");
            std::vector<CToleranceMask::SPoint> pts(f.size());
            for (std::size_t i = 0; i < f.size(); ++i)
                pts[i] = {f[i], lo[i], ideal[i], hi[i]};
            CToleranceMask m;
            std::string e;
            if (!CToleranceMask::FromPoints(std::move(pts), m, e))
                Refuse("mask: " + e);
            s.mask = std::move(m);
        }
        out = std::move(s);
        return true;
    } catch (const SRefusal& r) {
        error = r.text;
    } catch (const json::exception& e) {
        error = std::string("unexpected value (") + e.what() + ")";
    }
    return false;
}
