#pragma once
// A simulated QVR500 unit: six channels of 32 parameters, sixteen amplifier
// outputs, the system flags word, flash memory with erase and bit-clearing
// writes, stored settings that survive a power cycle, synthesised input
// levels, fault injection and a request log.  Thread-safe: every public
// operation takes the unit's lock.  The wire protocol is docs/protocol.md.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

#include "protocol/ScpFramer.h"
#include "sim/SimMeter.h"

// One reply of the unit: its bytes (16, or fewer / other bytes under fault
// injection) and the time the unit takes before it starts sending them.
struct SimReply {
    std::vector<std::uint8_t> bytes;
    std::chrono::microseconds delay{0};
};

// Wire: erases and stores take the unit's real time and a port models the
// line rate.  Instant: no modelled time at all (injected delays still apply).
enum class ESimTiming { Wire, Instant };

// Everything a store (raw command 3) keeps and a power cycle restores.
struct SimSettings {
    std::array<std::array<std::uint32_t, 32>, 6> params{};
    std::array<std::uint32_t, 16> outputs{}; // index bank * 4 + index
    std::uint32_t flags = 0;
};

struct SimLogEntry {
    std::uint64_t nSeq = 0;        // 1, 2, ... since the last ClearLog
    double dTime = 0.0;            // seconds since the unit was created
    std::array<std::uint8_t, 16> request{};
    std::uint8_t bAnswer = 0;      // type byte of the reply sent; 0 when none was sent
};

struct SimStats {
    std::uint64_t nRequests = 0;   // valid requests received
    std::uint64_t nGet = 0;
    std::uint64_t nSet = 0;
    std::uint64_t nRaw = 0;
    std::array<std::uint64_t, 256> nRawByCommand{};
    std::array<std::array<std::uint64_t, 32>, 6> nGetBy{}; // valid channel / parameter only
    std::array<std::array<std::uint64_t, 32>, 6> nSetBy{};
    std::uint64_t nAck = 0, nNack = 0, nData = 0, nReply = 0; // replies sent (after faults)
    std::uint64_t nDropped = 0;    // replies swallowed by the drop fault
    std::uint64_t nRejected = 0;   // whole packets refused by Process (bad size, type or checksum)
    std::uint64_t nJunkBytes = 0;  // bytes the stream front end threw away
};

class CSimUnit {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int CHANNELS = 6;
    static constexpr int PARAMETERS = 32;
    static constexpr int METER_PARAMETER = 12;
    static constexpr std::uint32_t PROGRAM_BASE = 0x90000000u;
    static constexpr std::uint32_t PROGRAM_SIZE = 0x60000u;
    static constexpr std::uint32_t TEXT_BASE = 0x90060000u;
    static constexpr std::uint32_t TEXT_SIZE = 0x10000u;
    static constexpr std::uint32_t MEMORY_END = TEXT_BASE + TEXT_SIZE;
    static constexpr std::uint32_t ERASED = 0xFFFFFFFFu;
    static constexpr std::uint32_t UPPER_FLAGS = 0x00A50000u;   // status bits the host must carry
    static constexpr std::uint32_t FLAG_NO_LCR = 0x2u;           // Left/Right Center absent
    static constexpr std::chrono::microseconds ERASE_TIME_PER_BYTE{25};
    static constexpr std::chrono::milliseconds STORE_TIME{150};
    // Firmware revision 1.5 of 15/04/2014, as raw command 10 answers it.
    static constexpr std::uint32_t REVISION_LWORD = 0x00050001u; // bytes 1,0,5,0
    static constexpr std::uint32_t REVISION_UWORD = 0x14150400u; // bytes -,04,15,14 (month, day, year)

    struct Options {
        bool bNoLeftRightCenter = false;
        std::uint32_t dwSeed = 1;
        ESimTiming timing = ESimTiming::Wire;
    };

    CSimUnit();
    explicit CSimUnit(const Options& options);
    CSimUnit(const CSimUnit&) = delete;
    CSimUnit& operator=(const CSimUnit&) = delete;

    // ---- The link -------------------------------------------------------
    // One whole request packet (n must be 16 with a valid checksum and a
    // request type, else nothing is answered).  Returns what the unit sends.
    std::vector<SimReply> Process(const std::uint8_t* pRequest, std::size_t n);
    // Bytes as the line carries them, in any chunks; t is their arrival time
    // (for the inter-byte gap that discards a partial packet).
    std::vector<SimReply> Receive(const std::uint8_t* pBytes, std::size_t n, Clock::time_point t);
    std::vector<SimReply> Receive(const std::uint8_t* pBytes, std::size_t n);
    // Forget a partial packet (a new client or port was opened).
    void ResetStream();

    // ---- Timing and hardware options -----------------------------------
    void SetTiming(ESimTiming timing);
    ESimTiming GetTiming() const;
    void SetNoLeftRightCenter(bool bNoLcr); // flags bit 1, a property of the hardware
    bool GetNoLeftRightCenter() const;
    void SetSeed(std::uint32_t dwSeed);

    // ---- Power and cabling ---------------------------------------------
    void FactoryReset(); // factory settings live and stored, memory erased, faults and log cleared
    void PowerCycle();   // live settings := stored settings; a partial packet is lost
    void Unplug();       // stop hearing and answering until Plug
    void Plug();
    bool IsPlugged() const;

    // ---- Fault injection (each counts down per reply or request) -------
    void DropReplies(unsigned nCount);                   // process, answer nothing
    void CorruptReplies(unsigned nCount);                // bad checksum
    void NackRequests(unsigned nCount);                  // answer NACK (busy), do nothing
    void DelayReplies(unsigned nCount, unsigned nMs);    // extra delay before the reply
    void GarbageBeforeReply(unsigned nBytes);            // random bytes just before the next reply
    void ShortReplies(unsigned nCount, unsigned nLength = 8); // truncated replies
    // Flash bits that stay set at a word: no write clears the bits of dwMask
    // there (an erase still sets every bit).  A mask of 0 heals the word.
    // Unlike the faults above it does not count down; false when the
    // address is not a 4-aligned memory word.
    bool StickBits(std::uint32_t dwAddress, std::uint32_t dwMask);
    void ClearFaults(); // the stuck bits too

    // ---- Inspection and direct state ----------------------------------
    std::uint32_t GetParameter(int nChannel, int nParameter) const; // 12 gives the current level value
    float GetParameterFloat(int nChannel, int nParameter) const;
    void SetParameter(int nChannel, int nParameter, std::uint32_t dwValue);
    void SetParameterFloat(int nChannel, int nParameter, float fltValue);
    std::uint32_t GetOutput(int nBank, int nIndex) const;
    float GetOutputFloat(int nBank, int nIndex) const;
    void SetOutputFloat(int nBank, int nIndex, float fltValue);
    std::uint32_t GetFlags() const;
    void SetFlags(std::uint32_t dwFlags); // bit 1 stays the hardware's
    SimSettings GetLiveSettings() const;
    SimSettings GetStoredSettings() const;
    static SimSettings FactorySettings(bool bNoLeftRightCenter);
    // Memory word at a 4-aligned address in the program or text area.
    std::optional<std::uint32_t> ReadMemory(std::uint32_t dwAddress) const;
    bool PokeMemory(std::uint32_t dwAddress, std::uint32_t dwValue); // direct store, not flash rules

    // Meter: a fixed level in dB for a channel, or std::nullopt for the
    // synthesised programme level.
    void SetMeterLevel(int nChannel, std::optional<double> dDb);
    double GetMeterLevelDb(int nChannel) const; // the level a read would report now

    std::vector<SimLogEntry> GetLog() const;
    void ClearLog(); // also clears the statistics
    SimStats GetStats() const;
    // Requests received since ClearLog: GETs / SETs of (channel, parameter),
    // raw commands of a number.
    std::uint64_t CountGets(int nChannel, int nParameter) const;
    std::uint64_t CountSets(int nChannel, int nParameter) const;
    std::uint64_t CountCommands(int nCommand) const;

    static constexpr std::size_t LOG_LIMIT = 100000; // oldest entries go first

private:
    struct Faults {
        unsigned nDrop = 0, nCorrupt = 0, nNack = 0, nDelay = 0, nDelayMs = 0;
        unsigned nGarbage = 0, nShort = 0, nShortLength = 8;
    };

    std::vector<SimReply> ProcessLocked(const std::uint8_t* pRequest, Clock::time_point t);
    void HandleRaw(const std::uint8_t* pRequest, std::uint8_t* pReply, std::chrono::microseconds& delay);
    std::vector<SimReply> Emit(const std::uint8_t* pReply, std::chrono::microseconds delay, SimLogEntry* pEntry);
    std::uint32_t MeterValueLocked(int nChannel, Clock::time_point t) const;
    static std::optional<std::size_t> WordIndex(std::uint32_t dwAddress);
    static std::optional<int> OutputSlot(std::uint32_t dwSelector);
    static void CheckChannel(int nChannel, int nParameter);
    static std::size_t CheckOutput(int nBank, int nIndex); // the slot bank * 4 + index
    std::uint32_t WithHardwareFlags(std::uint32_t dwFlags) const; // bit 1 is the hardware's

    mutable std::mutex m_mutex;
    Clock::time_point m_tStart;
    ESimTiming m_timing;
    bool m_bNoLcr;
    bool m_bPlugged = true;
    SimSettings m_live;
    SimSettings m_stored;
    std::vector<std::uint32_t> m_memory; // PROGRAM_BASE .. MEMORY_END
    std::map<std::size_t, std::uint32_t> m_stuckBits; // word index -> bits no write clears
    CSimMeter m_meter;
    std::array<std::optional<double>, CHANNELS> m_fixedLevel{};
    CScpFramer m_framer;
    Faults m_faults;
    std::mt19937 m_rng;
    std::deque<SimLogEntry> m_log;
    std::uint64_t m_nSeq = 0;
    SimStats m_stats;
};
