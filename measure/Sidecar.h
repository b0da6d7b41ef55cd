#pragma once
// CSidecar: the measurements of a configuration, kept in a file beside it
// (same name, extension .qvm), a JSON document:
//
//   {"format": "qvr500-measurements", "version": 1,
//    "channels": [ {"channel": 0,
//                   "room": MEASUREMENT, "as_measured": CONFIG,
//                   "drivers": {"low": MEASUREMENT, "mid": ..., "high": ...}}, ... ],
//    "target": "X500", "level": null | dB, "smoothing": 0 | 3 | 6,
//    "mask": null | {"name": "...", "freq": [...], "min": [...], "ideal": [...], "max": [...]}}
//   MEASUREMENT = {"name": "...", "phase": "measured" | "minimum",
//                  "freq": [...], "db": [...], "deg": [...] (only when the file had phase)}
//   CONFIG = {"mode": 2 | 3, "fields": {"m_fltLevel": 0.0, ..., "m_dwLowFlags": 0, ...}}
//            (every field by its member name; a value that is not finite as
//            the text "nan", "inf" or "-inf")
//
// It holds copies of the points, not paths, so that a moved project keeps
// them.  Reading is strict: a document that is not JSON, not this format, of
// a later version, or whose values break the measurement rules is refused as
// a whole with a one-line reason (the caller keeps the configuration).
// Read and written as bytes (UTF-8); the caller writes them with the
// configuration's safe replacement.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "measure/Measurement.h"
#include "measure/RoomCurves.h"
#include "measure/ToleranceMask.h"
#include "model/ChannelConfig.h"

struct SSidecarMeasurement {
    std::string name; // the file it was loaded from, for the user (UTF-8)
    CMeasurement data;
    EPhaseChoice ePhase = EPhaseChoice::Measured;
};

struct SSidecarChannel {
    std::optional<SSidecarMeasurement> room;
    std::optional<CChannelConfig> asMeasured; // with its mode; set whenever room is
    std::optional<SSidecarMeasurement> drivers[3]; // Low, Mid, High
    bool IsEmpty() const { return !room && !drivers[0] && !drivers[1] && !drivers[2]; }
};

class CSidecar {
public:
    static constexpr const char* FORMAT = "qvr500-measurements";
    static constexpr int VERSION = 1;
    // Six channels of a room and three drivers at the largest measurement
    // each would exceed anything sensible; this bounds what Open reads.
    static constexpr std::size_t MAX_BYTES = 256u * 1024u * 1024u;

    CSidecar();

    std::array<SSidecarChannel, CHANNEL_COUNT> channels;
    SRoomView view;
    std::optional<CToleranceMask> mask;
    std::string maskName;

    bool IsEmpty() const; // nothing worth a file

    // The document's bytes, ending in a newline.
    std::string Write() const;
    // False with a one-line reason (out untouched) when refused.
    static bool Read(std::string_view bytes, CSidecar& out, std::string& error);

    // The sidecar's path for a configuration's path: the extension replaced
    // by ".qvm" (added when there is none).
    static std::string PathFor(const std::string& configPath);
};
