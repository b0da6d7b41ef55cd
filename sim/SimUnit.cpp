// The simulated unit: request handling, flash memory, stored settings,
// fault injection and inspection.
#include "sim/SimUnit.h"

#include <cstring>
#include <stdexcept>

#include "protocol/QVRSCP.h"

namespace {

std::uint32_t FloatBits(float flt)
{
    std::uint32_t dw;
    std::memcpy(&dw, &flt, 4);
    return dw;
}

float BitsFloat(std::uint32_t dw)
{
    float flt;
    std::memcpy(&flt, &dw, 4);
    return flt;
}

// Factory value of each parameter of channels 0..4 (the program's defaults);
// parameter 23 of the Subwoofer differs.  Flag words and unused parameters
// are 0, which is also the bit pattern of 0.0f.
constexpr float FACTORY_PARAMS[32] = {
    30.0f,    // 0 high-pass frequency
    0.707f,   // 1 high-pass Q
    2500.0f,  // 2 High HP frequency
    3000.0f,  // 3 High PEQ frequency
    1.0f,     // 4 High PEQ Q
    0.0f,     // 5 High PEQ gain
    10000.0f, // 6 HEQ frequency
    0.0f,     // 7 HEQ gain
    10000.0f, // 8 SEQ frequency
    0.0f,     // 9 SEQ gain
    0.0f,     // 10 not used
    0.0f,     // 11 High delay (Subwoofer: Low delay)
    0.0f,     // 12 input level (synthesised)
    0.0f,     // 13 High flags (Subwoofer: Low flags)
    316.0f,   // 14 Mid HP frequency
    1600.0f,  // 15 Mid LP frequency
    800.0f,   // 16 Mid PEQ frequency
    1.0f,     // 17 Mid PEQ Q
    0.0f,     // 18 Mid PEQ gain
    0.0f,     // 19 not used
    0.0f,     // 20 Mid delay
    0.0f,     // 21 not used
    0.0f,     // 22 Mid flags
    200.0f,   // 23 Low LP frequency (Subwoofer 500)
    40.0f,    // 24 Low PEQ frequency
    1.0f,     // 25 Low PEQ Q
    0.0f,     // 26 Low PEQ gain
    0.0f,     // 27 not used
    0.0f,     // 28 Low delay
    0.0f,     // 29 channel delay
    0.0f,     // 30 Low flags
    0.0f,     // 31 level
};
constexpr float SUBWOOFER_LOW_LP = 500.0f;
constexpr float FACTORY_OUTPUT = -8.0f; // gain 0 + level 0 - 8

} // namespace

CSimUnit::CSimUnit() : CSimUnit(Options()) {}

CSimUnit::CSimUnit(const Options& options)
    : m_tStart(Clock::now()), m_timing(options.timing), m_bNoLcr(options.bNoLeftRightCenter),
      m_live(FactorySettings(options.bNoLeftRightCenter)), m_stored(m_live),
      m_memory((MEMORY_END - PROGRAM_BASE) / 4, ERASED), m_meter(options.dwSeed),
      m_framer(CScpFramer::EAccept::Requests), m_rng(options.dwSeed)
{
}

SimSettings CSimUnit::FactorySettings(bool bNoLeftRightCenter)
{
    SimSettings s;
    for (int c = 0; c < CHANNELS; ++c)
        for (int p = 0; p < PARAMETERS; ++p)
            s.params[c][p] = FloatBits(FACTORY_PARAMS[p]);
    s.params[5][23] = FloatBits(SUBWOOFER_LOW_LP);
    s.outputs.fill(FloatBits(FACTORY_OUTPUT));
    s.flags = UPPER_FLAGS | (bNoLeftRightCenter ? FLAG_NO_LCR : 0u);
    return s;
}

// ---- The link -----------------------------------------------------------

std::vector<SimReply> CSimUnit::Process(const std::uint8_t* pRequest, std::size_t n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bPlugged)
        return {};
    if (n != SCP_PACKET_SIZE || !CScpFramer::IsValidRequest(pRequest)) {
        ++m_stats.nRejected;
        return {};
    }
    return ProcessLocked(pRequest, Clock::now());
}

std::vector<SimReply> CSimUnit::Receive(const std::uint8_t* pBytes, std::size_t n)
{
    return Receive(pBytes, n, Clock::now());
}

std::vector<SimReply> CSimUnit::Receive(const std::uint8_t* pBytes, std::size_t n, Clock::time_point t)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bPlugged)
        return {};
    const std::uint64_t nJunkBefore = m_framer.DroppedBytes();
    const auto packets = m_framer.Feed(pBytes, n, t);
    m_stats.nJunkBytes += m_framer.DroppedBytes() - nJunkBefore;
    std::vector<SimReply> replies;
    for (const auto& packet : packets) {
        auto r = ProcessLocked(packet.data(), t);
        replies.insert(replies.end(), std::make_move_iterator(r.begin()), std::make_move_iterator(r.end()));
    }
    return replies;
}

void CSimUnit::ResetStream()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::uint64_t nJunkBefore = m_framer.DroppedBytes();
    m_framer.Reset();
    m_stats.nJunkBytes += m_framer.DroppedBytes() - nJunkBefore;
}

std::vector<SimReply> CSimUnit::ProcessLocked(const std::uint8_t* pRequest, Clock::time_point t)
{
    SimLogEntry entry;
    entry.nSeq = ++m_nSeq;
    entry.dTime = std::chrono::duration<double>(t - m_tStart).count();
    std::memcpy(entry.request.data(), pRequest, SCP_PACKET_SIZE);

    ++m_stats.nRequests;
    const std::uint8_t bType = pRequest[0];
    const int nChannel = pRequest[2];
    const int nParameter = pRequest[3];
    const bool bAddressable = nChannel < CHANNELS && nParameter < PARAMETERS;
    if (bType == SCP_TYPE_GET) {
        ++m_stats.nGet;
        if (bAddressable)
            ++m_stats.nGetBy[nChannel][nParameter];
    } else if (bType == SCP_TYPE_SET) {
        ++m_stats.nSet;
        if (bAddressable)
            ++m_stats.nSetBy[nChannel][nParameter];
    } else {
        ++m_stats.nRaw;
        ++m_stats.nRawByCommand[pRequest[2]];
    }

    std::uint8_t reply[SCP_PACKET_SIZE];
    std::chrono::microseconds delay{0};
    if (m_faults.nNack > 0) {
        --m_faults.nNack;
        SCP_GenerateNACK(reply, pRequest, SCP_NACK_BUSY);
    } else if (bType == SCP_TYPE_RAW) {
        HandleRaw(pRequest, reply, delay);
    } else if (nChannel >= CHANNELS) {
        SCP_GenerateNACK(reply, pRequest, SCP_NACK_BAD_CHANNEL);
    } else if (nParameter >= PARAMETERS) {
        SCP_GenerateNACK(reply, pRequest, SCP_NACK_BAD_PARAMETER);
    } else if (bType == SCP_TYPE_GET) {
        const std::uint32_t dw =
            nParameter == METER_PARAMETER ? MeterValueLocked(nChannel, t) : m_live.params[nChannel][nParameter];
        SCP_GenerateDATA(reply, pRequest[2], pRequest[3], dw);
    } else if (nParameter == METER_PARAMETER) {
        SCP_GenerateNACK(reply, pRequest, SCP_NACK_READ_ONLY);
    } else {
        m_live.params[nChannel][nParameter] = SCP_GetWord(pRequest, 4);
        SCP_GenerateACK(reply, pRequest);
    }
    return Emit(reply, delay, &entry);
}

void CSimUnit::HandleRaw(const std::uint8_t* pRequest, std::uint8_t* pReply, std::chrono::microseconds& delay)
{
    const std::uint8_t bCommand = pRequest[2];
    const std::uint32_t dwIter = SCP_GetWord(pRequest, 3);
    const std::uint32_t dwUWord = SCP_GetWord(pRequest, 7);
    const std::uint32_t dwLWord = SCP_GetWord(pRequest, 11);
    const bool bWire = m_timing == ESimTiming::Wire;

    switch (bCommand) {
    case 1: { // read a memory word
        const auto index = WordIndex(dwUWord);
        if (!index)
            return SCP_GenerateNACK(pReply, pRequest, SCP_NACK_BAD_ADDRESS);
        return SCP_GenerateREPLY(pReply, bCommand, dwIter, dwUWord, m_memory[*index]);
    }
    case 3: // store the settings
        m_stored = m_live;
        if (bWire)
            delay = STORE_TIME;
        return SCP_GenerateREPLY(pReply, bCommand, dwIter, dwUWord, dwLWord);
    case 4: { // write a memory word: flash can only clear bits
        const auto index = WordIndex(dwUWord);
        if (!index)
            return SCP_GenerateNACK(pReply, pRequest, SCP_NACK_BAD_ADDRESS);
        std::uint32_t dwKept = 0;
        if (const auto it = m_stuckBits.find(*index); it != m_stuckBits.end())
            dwKept = it->second & m_memory[*index];
        m_memory[*index] = (m_memory[*index] & dwLWord) | dwKept;
        return SCP_GenerateREPLY(pReply, bCommand, dwIter, dwUWord, m_memory[*index]);
    }
    case 6: { // erase (start, length in bytes)
        const auto index = WordIndex(dwUWord);
        if (!index || dwLWord > MEMORY_END - dwUWord)
            return SCP_GenerateNACK(pReply, pRequest, SCP_NACK_BAD_ADDRESS);
        const std::size_t nWords = (static_cast<std::size_t>(dwLWord) + 3) / 4;
        std::fill_n(m_memory.begin() + static_cast<std::ptrdiff_t>(*index), nWords, ERASED);
        if (bWire)
            delay = ERASE_TIME_PER_BYTE * dwLWord;
        return SCP_GenerateREPLY(pReply, bCommand, dwIter, dwUWord, dwLWord);
    }
    case 7: { // write an output (bank, index) as a float
        const auto slot = OutputSlot(dwUWord);
        if (!slot)
            return SCP_GenerateNACK(pReply, pRequest, SCP_NACK_BAD_ADDRESS);
        m_live.outputs[*slot] = dwLWord;
        return SCP_GenerateREPLY(pReply, bCommand, dwIter, dwUWord, dwLWord);
    }
    case 10: // firmware revision
        return SCP_GenerateREPLY(pReply, bCommand, dwIter, REVISION_UWORD, REVISION_LWORD);
    case 11: // system flags: UWord bit 0 clear reads, set writes
        if (dwUWord & 1u)
            m_live.flags = WithHardwareFlags(dwLWord);
        return SCP_GenerateREPLY(pReply, bCommand, dwIter, dwUWord, m_live.flags);
    case 13: { // read an output
        const auto slot = OutputSlot(dwUWord);
        if (!slot)
            return SCP_GenerateNACK(pReply, pRequest, SCP_NACK_BAD_ADDRESS);
        return SCP_GenerateREPLY(pReply, bCommand, dwIter, dwUWord, m_live.outputs[*slot]);
    }
    default: // unknown: echoed and nothing done, so a diagnostics session goes on
        return SCP_GenerateREPLY(pReply, bCommand, dwIter, dwUWord, dwLWord);
    }
}

std::vector<SimReply> CSimUnit::Emit(const std::uint8_t* pReply, std::chrono::microseconds delay,
                                     SimLogEntry* pEntry)
{
    std::vector<SimReply> out;
    if (m_faults.nGarbage > 0) {
        SimReply junk;
        junk.bytes.resize(m_faults.nGarbage);
        for (auto& b : junk.bytes)
            b = static_cast<std::uint8_t>(m_rng() & 0xFF);
        m_faults.nGarbage = 0;
        out.push_back(std::move(junk));
    }
    if (m_faults.nDrop > 0) {
        --m_faults.nDrop;
        ++m_stats.nDropped;
    } else {
        SimReply reply;
        reply.bytes.assign(pReply, pReply + SCP_PACKET_SIZE);
        reply.delay = delay;
        if (m_faults.nCorrupt > 0) {
            --m_faults.nCorrupt;
            reply.bytes[15] ^= 0x5A;
        }
        if (m_faults.nShort > 0) {
            --m_faults.nShort;
            reply.bytes.resize(m_faults.nShortLength);
        }
        if (m_faults.nDelay > 0) {
            --m_faults.nDelay;
            reply.delay += std::chrono::milliseconds(m_faults.nDelayMs);
        }
        pEntry->bAnswer = pReply[0];
        switch (pReply[0]) {
        case SCP_TYPE_ACK: ++m_stats.nAck; break;
        case SCP_TYPE_NACK: ++m_stats.nNack; break;
        case SCP_TYPE_DATA: ++m_stats.nData; break;
        default: ++m_stats.nReply; break;
        }
        out.push_back(std::move(reply));
    }
    m_log.push_back(*pEntry);
    if (m_log.size() > LOG_LIMIT)
        m_log.pop_front();
    return out;
}

std::uint32_t CSimUnit::MeterValueLocked(int nChannel, Clock::time_point t) const
{
    const double dSeconds = std::chrono::duration<double>(t - m_tStart).count();
    const double dDb = m_fixedLevel[nChannel] ? *m_fixedLevel[nChannel] : m_meter.LevelDb(nChannel, dSeconds);
    return FloatBits(CSimMeter::DbToValue(dDb));
}

std::optional<std::size_t> CSimUnit::WordIndex(std::uint32_t dwAddress)
{
    if (dwAddress < PROGRAM_BASE || dwAddress >= MEMORY_END || (dwAddress & 3u) != 0)
        return std::nullopt;
    return (dwAddress - PROGRAM_BASE) / 4;
}

std::optional<int> CSimUnit::OutputSlot(std::uint32_t dwSelector)
{
    const std::uint32_t dwBank = dwSelector & 0xFFu;
    const std::uint32_t dwIndex = (dwSelector >> 8) & 0xFFu;
    if ((dwSelector >> 16) != 0 || dwBank > 3 || dwIndex > 3)
        return std::nullopt;
    return static_cast<int>(dwBank * 4 + dwIndex);
}

void CSimUnit::CheckChannel(int nChannel, int nParameter)
{
    if (nChannel < 0 || nChannel >= CHANNELS || nParameter < 0 || nParameter >= PARAMETERS)
        throw std::out_of_range("simulated unit: channel or parameter out of range");
}

std::size_t CSimUnit::CheckOutput(int nBank, int nIndex)
{
    if (nBank < 0 || nBank > 3 || nIndex < 0 || nIndex > 3)
        throw std::out_of_range("simulated unit: output out of range");
    return static_cast<std::size_t>(nBank * 4 + nIndex);
}

std::uint32_t CSimUnit::WithHardwareFlags(std::uint32_t dwFlags) const
{
    return (dwFlags & ~FLAG_NO_LCR) | (m_bNoLcr ? FLAG_NO_LCR : 0u);
}

// ---- Timing and hardware options -----------------------------------------

void CSimUnit::SetTiming(ESimTiming timing)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timing = timing;
}

ESimTiming CSimUnit::GetTiming() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_timing;
}

void CSimUnit::SetNoLeftRightCenter(bool bNoLcr)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bNoLcr = bNoLcr;
    for (SimSettings* s : {&m_live, &m_stored})
        s->flags = WithHardwareFlags(s->flags);
}

bool CSimUnit::GetNoLeftRightCenter() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bNoLcr;
}

void CSimUnit::SetSeed(std::uint32_t dwSeed)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_meter.SetSeed(dwSeed);
    m_rng.seed(dwSeed);
}

// ---- Power and cabling ---------------------------------------------------

void CSimUnit::FactoryReset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_live = m_stored = FactorySettings(m_bNoLcr);
    std::fill(m_memory.begin(), m_memory.end(), ERASED);
    m_fixedLevel.fill(std::nullopt);
    m_faults = Faults();
    m_stuckBits.clear();
    m_framer.Reset();
    m_log.clear();
    m_nSeq = 0;
    m_stats = SimStats();
    m_bPlugged = true;
}

void CSimUnit::PowerCycle()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_live = m_stored;
    m_framer.Reset();
}

void CSimUnit::Unplug()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bPlugged = false;
    m_framer.Reset();
}

void CSimUnit::Plug()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bPlugged = true;
}

bool CSimUnit::IsPlugged() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bPlugged;
}

// ---- Fault injection -----------------------------------------------------

void CSimUnit::DropReplies(unsigned nCount)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.nDrop = nCount;
}

void CSimUnit::CorruptReplies(unsigned nCount)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.nCorrupt = nCount;
}

void CSimUnit::NackRequests(unsigned nCount)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.nNack = nCount;
}

void CSimUnit::DelayReplies(unsigned nCount, unsigned nMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.nDelay = nCount;
    m_faults.nDelayMs = nMs;
}

void CSimUnit::GarbageBeforeReply(unsigned nBytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.nGarbage = nBytes;
}

void CSimUnit::ShortReplies(unsigned nCount, unsigned nLength)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.nShort = nCount;
    m_faults.nShortLength = nLength < SCP_PACKET_SIZE ? nLength : SCP_PACKET_SIZE - 1;
}

bool CSimUnit::StickBits(std::uint32_t dwAddress, std::uint32_t dwMask)
{
    const std::optional<std::size_t> index = WordIndex(dwAddress);
    if (!index)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (dwMask == 0)
        m_stuckBits.erase(*index);
    else
        m_stuckBits[*index] = dwMask;
    return true;
}

void CSimUnit::ClearFaults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults = Faults();
    m_stuckBits.clear();
}

// ---- Inspection and direct state -----------------------------------------

std::uint32_t CSimUnit::GetParameter(int nChannel, int nParameter) const
{
    CheckChannel(nChannel, nParameter);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nParameter == METER_PARAMETER)
        return MeterValueLocked(nChannel, Clock::now());
    return m_live.params[nChannel][nParameter];
}

float CSimUnit::GetParameterFloat(int nChannel, int nParameter) const
{
    return BitsFloat(GetParameter(nChannel, nParameter));
}

void CSimUnit::SetParameter(int nChannel, int nParameter, std::uint32_t dwValue)
{
    CheckChannel(nChannel, nParameter);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_live.params[nChannel][nParameter] = dwValue;
}

void CSimUnit::SetParameterFloat(int nChannel, int nParameter, float fltValue)
{
    SetParameter(nChannel, nParameter, FloatBits(fltValue));
}

std::uint32_t CSimUnit::GetOutput(int nBank, int nIndex) const
{
    const std::size_t nSlot = CheckOutput(nBank, nIndex);
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_live.outputs[nSlot];
}

float CSimUnit::GetOutputFloat(int nBank, int nIndex) const { return BitsFloat(GetOutput(nBank, nIndex)); }

void CSimUnit::SetOutputFloat(int nBank, int nIndex, float fltValue)
{
    const std::size_t nSlot = CheckOutput(nBank, nIndex);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_live.outputs[nSlot] = FloatBits(fltValue);
}

std::uint32_t CSimUnit::GetFlags() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_live.flags;
}

void CSimUnit::SetFlags(std::uint32_t dwFlags)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_live.flags = WithHardwareFlags(dwFlags);
}

SimSettings CSimUnit::GetLiveSettings() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_live;
}

SimSettings CSimUnit::GetStoredSettings() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stored;
}

std::optional<std::uint32_t> CSimUnit::ReadMemory(std::uint32_t dwAddress) const
{
    const auto index = WordIndex(dwAddress);
    if (!index)
        return std::nullopt;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_memory[*index];
}

bool CSimUnit::PokeMemory(std::uint32_t dwAddress, std::uint32_t dwValue)
{
    const auto index = WordIndex(dwAddress);
    if (!index)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_memory[*index] = dwValue;
    return true;
}

void CSimUnit::SetMeterLevel(int nChannel, std::optional<double> dDb)
{
    CheckChannel(nChannel, 0);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fixedLevel[static_cast<std::size_t>(nChannel)] = dDb;
}

double CSimUnit::GetMeterLevelDb(int nChannel) const
{
    return CSimMeter::ValueToDb(GetParameterFloat(nChannel, METER_PARAMETER));
}

std::vector<SimLogEntry> CSimUnit::GetLog() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_log.begin(), m_log.end()};
}

void CSimUnit::ClearLog()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
    m_nSeq = 0;
    m_stats = SimStats();
}

SimStats CSimUnit::GetStats() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stats;
}

std::uint64_t CSimUnit::CountGets(int nChannel, int nParameter) const
{
    CheckChannel(nChannel, nParameter);
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stats.nGetBy[nChannel][nParameter];
}

std::uint64_t CSimUnit::CountSets(int nChannel, int nParameter) const
{
    CheckChannel(nChannel, nParameter);
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stats.nSetBy[nChannel][nParameter];
}

std::uint64_t CSimUnit::CountCommands(int nCommand) const
{
    if (nCommand < 0 || nCommand > 255)
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stats.nRawByCommand[static_cast<std::size_t>(nCommand)];
}
