#include "tools/qvrtool/PredictCommand.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "measure/DriverSet.h"
#include "measure/RoomCurves.h"
#include "model/BandResponse.h"
#include "model/ChannelFields.h"
#include "model/SummedResponse.h"
#include "tools/qvrtool/MeasureInputs.h"
#include "tools/qvrtool/ToolCommon.h"

namespace qvrtool {

namespace {

// The rows response prints from 20 Hz up (point i at 5 i Hz).
constexpr int FIRST_ROW = 4;

struct SPredictOptions {
    std::vector<std::string> positional;
    std::string room, asMeasured, mask;
    std::vector<std::pair<int, std::string>> drivers; // band, file
    int nMode = MODE_TRIAMP;
    SRoomView view;
    EPhaseChoice ePhase = EPhaseChoice::Measured;
    bool bBands = false, bSum = false;
};

bool ParseBand(const std::string& s, int& nBand)
{
    nBand = s == "low" ? BAND_LOW : s == "mid" ? BAND_MID : s == "high" ? BAND_HIGH : 0;
    return nBand != 0;
}

// Options of both verbs; which one may take which is checked by the caller.
bool ParseOptions(const std::vector<std::string>& args, SPredictOptions& o, std::vector<std::string>& given)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool bValue = i + 1 < args.size();
        auto value = [&]() -> const std::string& { return args[++i]; };
        if (a.size() < 2 || a[0] != '-' || a[1] != '-') {
            o.positional.push_back(a);
            continue;
        }
        given.push_back(a);
        if (a == "--bands") {
            o.bBands = true;
        } else if (a == "--sum") {
            o.bSum = true;
        } else if (!bValue) {
            UsageError(a + " takes a value");
            return false;
        } else if (a == "--room") {
            o.room = value();
        } else if (a == "--as-measured") {
            o.asMeasured = value();
        } else if (a == "--mask") {
            o.mask = value();
        } else if (a == "--mode") {
            if (!ParseMode(value(), o.nMode)) {
                UsageError("--mode takes 2 or 3");
                return false;
            }
        } else if (a == "--target") {
            if (!CTargetCurve::FromName(value(), o.view.eTarget)) {
                UsageError("--target takes X30, X150, X500, X1000, X1500, X2000, S2K or S4K");
                return false;
            }
        } else if (a == "--smooth") {
            const std::string& v = value();
            if (v != "0" && v != "3" && v != "6") {
                UsageError("--smooth takes 0, 3 or 6");
                return false;
            }
            o.view.nSmoothing = v[0] - '0';
        } else if (a == "--phase") {
            if (!ParsePhaseChoice(value(), o.ePhase)) {
                UsageError("--phase takes measured or minimum");
                return false;
            }
        } else if (a == "--driver") {
            const std::string& v = value();
            const std::size_t eq = v.find('=');
            int nBand = 0;
            if (eq == std::string::npos || !ParseBand(v.substr(0, eq), nBand) || eq + 1 == v.size()) {
                UsageError("--driver takes low=FILE, mid=FILE or high=FILE");
                return false;
            }
            o.drivers.emplace_back(nBand, v.substr(eq + 1));
        } else {
            UsageError("unknown option '" + a + "'");
            return false;
        }
    }
    return true;
}

bool OnlyThese(const std::vector<std::string>& given, std::initializer_list<const char*> allowed,
               const std::string& verb)
{
    for (const std::string& g : given) {
        bool bOk = false;
        for (const char* a : allowed)
            bOk = bOk || g == a;
        if (!bOk) {
            UsageError("option " + g + " not valid for '" + verb + "'");
            return false;
        }
    }
    return true;
}

} // namespace

int CmdPredict(const std::vector<std::string>& args)
{
    SPredictOptions o;
    std::vector<std::string> given;
    if (!ParseOptions(args, o, given) ||
        !OnlyThese(given, {"--room", "--as-measured", "--mode", "--target", "--mask", "--smooth", "--phase", "--bands"},
                   "predict"))
        return EXIT_ERROR;
    int nChannel = 0;
    if (o.positional.size() != 2 || o.room.empty()) {
        UsageError("predict takes a file, a channel and --room FILE");
        return EXIT_ERROR;
    }
    if (!ParseChannel(o.positional[1], nChannel)) {
        UsageError("bad channel '" + o.positional[1] + "' (expected 0..5)");
        return EXIT_ERROR;
    }
    CChannelConfig now(nChannel), asMeasured(nChannel);
    CMeasurement room;
    CToleranceMask mask;
    if (!LoadChannel(o.positional[0], nChannel, o.nMode, now) || !LoadMeasurement(o.room, room))
        return EXIT_ERROR;
    // Without the configuration it was measured with, the measurement was
    // made with this one: the prediction is the measurement.
    if (!LoadChannel(o.asMeasured.empty() ? o.positional[0] : o.asMeasured, nChannel, o.nMode, asMeasured))
        return EXIT_ERROR;
    if (!o.mask.empty() && !LoadMask(o.mask, mask))
        return EXIT_ERROR;

    // The plot's own computation: the same call, on the same grid.
    auto pCurves = std::make_unique<CRoomCurves>();
    pCurves->SetRoom(room, asMeasured, o.ePhase);
    pCurves->SetMask(o.mask.empty() ? nullptr : &mask);
    pCurves->SetView(o.view);
    pCurves->Update(now);
    if (o.bBands) {
        std::fputs(CDeviationTable::Csv(pCurves->Deviations()).c_str(), stdout);
        return 0;
    }
    const bool bMask = !o.mask.empty();
    std::printf(bMask ? "freq,measured,predicted,target,mask_min,mask_max\n" : "freq,measured,predicted,target\n");
    for (int i = FIRST_ROW; i < CRoomCurves::POINTS; ++i) {
        std::printf("%d", i * 5);
        PrintCsvCell(pCurves->Measured()[i]);
        PrintCsvCell(pCurves->Predicted()[i]);
        PrintCsvCell(pCurves->Target()[i]);
        if (bMask) {
            PrintCsvCell(pCurves->MaskMin()[i]);
            PrintCsvCell(pCurves->MaskMax()[i]);
        }
        std::fputc('\n', stdout);
    }
    return 0;
}

bool HasDriverOption(const std::vector<std::string>& args)
{
    for (const std::string& a : args)
        if (a == "--driver")
            return true;
    return false;
}

int CmdResponseDrivers(const std::vector<std::string>& args)
{
    SPredictOptions o;
    std::vector<std::string> given;
    if (!ParseOptions(args, o, given) || !OnlyThese(given, {"--driver", "--phase", "--sum", "--mode"}, "response"))
        return EXIT_ERROR;
    int nChannel = 0;
    if (o.positional.size() != 2) {
        UsageError("response takes a file and a channel");
        return EXIT_ERROR;
    }
    if (!ParseChannel(o.positional[1], nChannel)) {
        UsageError("bad channel '" + o.positional[1] + "' (expected 0..5)");
        return EXIT_ERROR;
    }
    CChannelConfig working(nChannel);
    if (!LoadChannel(o.positional[0], nChannel, o.nMode, working))
        return EXIT_ERROR;
    auto pDrivers = std::make_unique<CDriverSet>();
    for (const auto& d : o.drivers) {
        CMeasurement m;
        if (!LoadMeasurement(d.second, m))
            return EXIT_ERROR;
        pDrivers->SetDriver(d.first, m, o.ePhase);
    }
    auto pBands = std::make_unique<CBandResponse>();
    auto pSum = std::make_unique<CSummedResponse>();
    pBands->RecalcBands(working, BAND_ALL);
    pDrivers->ApplyTo(*pSum);
    pSum->Recalc(working, *pBands, BAND_ALL);
    std::vector<double> low(CDriverSet::POINTS), mid(CDriverSet::POINTS), high(CDriverSet::POINTS);
    pDrivers->BandCurve(BAND_LOW, pBands->GetLowBand(), low.data());
    pDrivers->BandCurve(BAND_MID, pBands->GetMidBand(), mid.data());
    pDrivers->BandCurve(BAND_HIGH, pBands->GetHighBand(), high.data());
    std::printf(o.bSum ? "hz,low,mid,high,sum,phase,gd\n" : "hz,low,mid,high\n");
    for (int i = 0; i < CDriverSet::POINTS; ++i) {
        std::printf("%d", i * 5);
        // Empty where nothing is drawn: outside a driver's measured range
        // (and, as today, minus infinity where a band is silent).
        PrintCsvCell(low[static_cast<std::size_t>(i)]);
        PrintCsvCell(mid[static_cast<std::size_t>(i)]);
        PrintCsvCell(high[static_cast<std::size_t>(i)]);
        if (o.bSum) {
            PrintCsvCell(pSum->GetSum()[i]);
            PrintCsvCell(pSum->GetPhase()[i]);
            PrintCsvCell(pSum->GetGroupDelay()[i]);
        }
        std::fputc('\n', stdout);
    }
    return 0;
}

} // namespace qvrtool
