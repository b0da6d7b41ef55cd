#pragma once
// How every field of CChannelConfig reaches the unit, as data:
//  - parameter numbers per field (channels 0-4, and the Subwoofer's own
//    numbers), and the reverse: which field a parameter reply applies to;
//  - the 16 amplifier outputs (bank, index) with their Triamp and Biamp use,
//    the output address bank + 256*index and the value sent for a band gain;
//  - the reads that make up one QueueReadChannel.
//
// Mode-agnostic: the parameter tables (ParameterForField, FieldForParameter,
// the parameter part of the read plan).  Mode-dependent: everything about
// outputs; those helpers take the mode or the Biamp choice explicitly.

#include <cstdint>

#include "model/ChannelFields.h"

constexpr int PARAMETER_COUNT = 32;
constexpr int PARAMETER_NONE = -1;
constexpr int PARAMETER_METER = 12;  // input meter level, read only
constexpr int PARAMETER_MARKER = 32; // GET used as end-of-reads marker

// Raw command numbers.
constexpr std::uint8_t CMD_READ_WORD = 1;      // 0, address, 0: the word comes back as LWord
constexpr std::uint8_t CMD_STORE_SETTINGS = 3; // keep the live settings over a power cycle
constexpr std::uint8_t CMD_WRITE_WORD = 4;     // 0, address, value
constexpr std::uint8_t CMD_ERASE = 6;          // 0, start address, length in bytes
constexpr std::uint8_t CMD_WRITE_OUTPUT = 7;
constexpr std::uint8_t CMD_FIRMWARE_REVISION = 10; // the reply carries the revision and its date
constexpr std::uint8_t CMD_SYSTEM_FLAGS = 11;      // UWord 0 reads the flags, SYSTEM_FLAGS_WRITE writes LWord
constexpr std::uint8_t CMD_READ_OUTPUT = 13;
constexpr std::uint8_t CMD_HIGHEST = 13; // the terminal sends commands 0..13
// UWord of CMD_SYSTEM_FLAGS: bit 0 set writes the flags.
constexpr std::uint32_t SYSTEM_FLAGS_WRITE = 1u;
// The flag bits the program owns; the unit's own bits above them are kept on a write.
constexpr std::uint32_t SYSTEM_FLAGS_PROGRAM_BITS = 0xFu;
// The program area of the unit's flash: one download erases and fills it.
constexpr std::uint32_t PROGRAM_AREA_START = 0x90000000u;
constexpr std::uint32_t PROGRAM_AREA_BYTES = 0x40000u;

// --- parameters (mode-agnostic) -----------------------------------------

// One row per value field: the parameter a write of the field is sent to.
// For channels 0-4 this is also read the other way: a parameter reply
// applies to the field whose row names it.
struct FieldParameterRow {
    EChannelField field;
    int nParameter;          // channels 0-4 (PARAMETER_NONE: not a parameter, i.e. a band gain)
    int nSubwooferParameter; // Subwoofer (PARAMETER_NONE: never sent)
};
extern const FieldParameterRow kFieldParameters[FIELD_COUNT];

// Parameter a write of `field` for channel `nChannel` goes to, or
// PARAMETER_NONE (band gains; a channel outside 0..5).
int ParameterForField(EChannelField field, int nChannel);
// The field a parameter reply of channel `nChannel` applies to, or FIELD_NONE
// (parameters 10, 12, 19, 21, 27, Subwoofer parameters other than 11, 13,
// 29 and 31, channels outside 0..5, parameters outside 0..31).
EChannelField FieldForParameter(int nChannel, int nParameter);

// --- outputs (mode-dependent) -------------------------------------------

struct OutputUse {
    int nChannel; // -1: the output is not used in this column
    EBand band;
};

struct OutputRow {
    std::uint8_t nBank;
    std::uint8_t nIndex;
    OutputUse triamp;
    OutputUse biamp;
};
constexpr int OUTPUT_COUNT = 16;
extern const OutputRow kOutputRows[OUTPUT_COUNT];

// The address word of an output: bytes (bank, index, 0, 0).
constexpr std::uint32_t OutputAddress(int nBank, int nIndex)
{
    return static_cast<std::uint32_t>(nBank) + 256u * static_cast<std::uint32_t>(nIndex);
}

// Address of the output that carries `band` of `nChannel` in the Biamp
// (bBiamp) or Triamp column.  False when there is none (Subwoofer Mid/High,
// Mid in Biamp, channel outside 0..5).
bool FindOutputAddress(int nChannel, EBand band, bool bBiamp, std::uint32_t* pdwAddress);

// The LWord of an output gain write: (gain + level) rounded to single, minus 8.
float OutputGainValue(float fltGain, float fltLevel);
std::uint32_t OutputGainBits(float fltGain, float fltLevel);

// The channel and band an output reply applies to.  `nShownMode` picks the
// column (2 Biamp, else Triamp); an output with an empty Biamp cell uses its
// Triamp cell.  False for an unknown address.
bool OutputToBand(std::uint32_t dwAddress, int nShownMode, int* pnChannel, EBand* pBand);

// --- QueueReadChannel (parameters mode-agnostic, outputs by mode) ---------

struct ReadChannelPlan {
    std::uint8_t parameters[PARAMETER_COUNT];
    int nParameters;
    std::uint32_t outputs[3]; // output addresses for raw command 13
    int nOutputs;
};

// The reads for one channel in mode 2 or 3: parameter GETs in order, then
// output reads (High, then the Mid/Biamp-Low output, then in Triamp the Low
// output; the Subwoofer reads only its Low output).  An empty plan for a
// channel outside 0..5.
ReadChannelPlan GetReadChannelPlan(int nChannel, int nMode);
