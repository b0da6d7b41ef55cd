#include "files/ConfigFile.h"

#include <cstring>

#include "model/ChannelFields.h"
#include "model/ProfileInfo.h"
#include "model/WriteOrder.h"

namespace {

const std::uint8_t kSignature[CConfigFile::SIGNATURE_BYTES] = {0x4E, 0, 0x52, 0, 0x56, 0, 0x58, 0, 0x4F, 0, 0, 0};

constexpr std::size_t NAME_OFFSET = CConfigFile::NAME_OFFSET;
constexpr std::size_t VALUES_OFFSET = CConfigFile::VALUES_OFFSET;

void PutU32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

void PutRecord(std::uint8_t* p, const CChannelConfig& cfg)
{
    PutU32(p, static_cast<std::uint32_t>(cfg.GetChannel()));
    // The name up to its terminator, zeros after it.
    const char16_t* pszName = cfg.GetSpeakerNameRaw();
    bool bEnded = false;
    for (int i = 0; i < SPEAKER_NAME_UNITS; ++i) {
        const char16_t ch = bEnded ? 0 : pszName[i];
        bEnded = bEnded || ch == 0;
        p[NAME_OFFSET + 2 * i] = static_cast<std::uint8_t>(ch);
        p[NAME_OFFSET + 2 * i + 1] = static_cast<std::uint8_t>(ch >> 8);
    }
    for (int f = 0; f < FIELD_COUNT; ++f)
        PutU32(p + VALUES_OFFSET + 4 * f, GetChannelFieldBits(cfg, static_cast<EChannelField>(f)));
}

// Applies one record; nPosition is the record's place in the file.  The
// record stays the channel of its place: a file whose record claims another
// channel is damaged and refused by the check before anything is applied,
// and a reader without that check must still never send one channel's
// values to another.
void ApplyRecord(const std::uint8_t* p, CChannelConfig& cfg, int nPosition, unsigned& nKeptIndexMask)
{
    if (static_cast<std::int32_t>(CConfigFile::GetU32(p)) != nPosition)
        nKeptIndexMask |= 1u << nPosition;
    cfg.SetChannel(nPosition);

    // The file's 32 units need not be terminated: terminate after them.
    char16_t szName[SPEAKER_NAME_UNITS + 1];
    for (int i = 0; i < SPEAKER_NAME_UNITS; ++i)
        szName[i] = static_cast<char16_t>(p[NAME_OFFSET + 2 * i] | (p[NAME_OFFSET + 2 * i + 1] << 8));
    szName[SPEAKER_NAME_UNITS] = 0;
    cfg.SetSpeakerName(szName);

    std::vector<CWriteOrder::SWrite> writes;
    writes.reserve(FIELD_COUNT);
    for (int f = 0; f < FIELD_COUNT; ++f)
        writes.push_back({&cfg, static_cast<EChannelField>(f), CConfigFile::GetU32(p + VALUES_OFFSET + 4 * f)});
    CWriteOrder::Apply(writes, true, false);
}

// Reads until cb bytes or the end of the data; -1 on a failed read.
std::int64_t ReadFull(IByteStream& stream, std::uint8_t* p, std::size_t cb)
{
    std::size_t nGot = 0;
    while (nGot < cb) {
        const std::int64_t n = stream.Read(p + nGot, cb - nGot);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        nGot += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(nGot);
}

} // namespace

std::uint32_t CConfigFile::GetU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The six units must be N R V X O and a NUL.  A locale comparison of the
// six units against the five letters (case-sensitive, the NUL ignorable)
// accepts exactly these files, and in principle also a sixth unit that the
// locale tables ignore (soft hyphen, zero-width marks, ...).  No file of this
// format holds such a unit and the tables differ between systems, so only
// the NUL is accepted there: the check is the same on every platform.
bool CConfigFile::IsSignature(const std::uint8_t* pBytes, std::size_t cb)
{
    return pBytes != nullptr && cb >= SIGNATURE_BYTES && std::memcmp(pBytes, kSignature, SIGNATURE_BYTES) == 0;
}

void CConfigFile::BuildImage(const CChannelConfig* pChannels, std::uint8_t (&image)[FILE_BYTES])
{
    std::memset(image, 0, sizeof image);
    std::memcpy(image, kSignature, SIGNATURE_BYTES);
    PutU32(image + SIGNATURE_BYTES, VERSION);
    for (int i = 0; i < CHANNEL_COUNT; ++i)
        PutRecord(image + HEADER_BYTES + i * RECORD_BYTES, pChannels[i]);
}

ConfigResult CConfigFile::Write(IByteStream& stream, CChannelConfig* pChannels, CProfileInfo* pProfile, bool bReset)
{
    if (bReset)
        for (int i = 0; i < CHANNEL_COUNT; ++i)
            pChannels[i].ResetToDefaults();

    std::uint8_t image[FILE_BYTES];
    BuildImage(pChannels, image);

    if (bReset && pProfile)
        pProfile->SetDefaults();

    ConfigResult result;
    if (!stream.Write(image, FILE_BYTES)) {
        result.status = EConfigStatus::WriteError;
    }
    return result;
}

ConfigResult CConfigFile::Read(IByteStream& stream, CChannelConfig* pChannels, CProfileInfo* pProfile, bool bReset,
                               const Gate& gate)
{
    ConfigResult result;
    std::uint8_t image[FILE_BYTES];

    std::int64_t n = ReadFull(stream, image, SIGNATURE_BYTES);
    if (n < 0) {
        result.status = EConfigStatus::ReadError;
        return result;
    }
    if (static_cast<std::size_t>(n) < SIGNATURE_BYTES || !IsSignature(image, SIGNATURE_BYTES)) {
        // A file that ends inside a correct signature is short; anything else
        // is not a configuration file.
        const std::size_t nGot = static_cast<std::size_t>(n);
        const bool bPrefix = nGot < SIGNATURE_BYTES && std::memcmp(image, kSignature, nGot) == 0;
        result.status = bPrefix ? EConfigStatus::ShortFile : EConfigStatus::WrongSignature;
        result.nOffset = static_cast<std::uint64_t>(n);
        return result;
    }

    // The rest of the file (version, not validated, and the six records) is
    // read completely before anything is applied.
    n = ReadFull(stream, image + SIGNATURE_BYTES, FILE_BYTES - SIGNATURE_BYTES);
    if (n < 0) {
        result.status = EConfigStatus::ReadError;
        return result;
    }
    if (static_cast<std::size_t>(n) < FILE_BYTES - SIGNATURE_BYTES) {
        result.status = EConfigStatus::ShortFile;
        result.nOffset = SIGNATURE_BYTES + static_cast<std::uint64_t>(n);
        return result;
    }
    if (gate && !gate(image, FILE_BYTES)) {
        result.status = EConfigStatus::Declined;
        return result;
    }

    for (int i = 0; i < CHANNEL_COUNT; ++i) {
        if (bReset)
            pChannels[i].ResetToDefaults();
        ApplyRecord(image + HEADER_BYTES + i * RECORD_BYTES, pChannels[i], i, result.nKeptIndexMask);
    }
    if (bReset && pProfile)
        pProfile->SetDefaults();
    return result;
}

bool CConfigFile::SplitImage(const std::uint8_t* pData, std::size_t nSize,
                             CConfigCheck::SRecordBits (&records)[CHANNEL_COUNT])
{
    if (pData == nullptr || nSize < FILE_BYTES)
        return false;
    for (int r = 0; r < CHANNEL_COUNT; ++r) {
        const std::uint8_t* pRecord = pData + HEADER_BYTES + r * RECORD_BYTES;
        records[r].nChannel = static_cast<std::int32_t>(GetU32(pRecord));
        for (int f = 0; f < FIELD_COUNT; ++f)
            records[r].adwValues[f] = GetU32(pRecord + VALUES_OFFSET + 4 * f);
    }
    return true;
}

std::vector<CConfigCheck::SFinding> CConfigFile::Check(const std::uint8_t* pData, std::size_t nSize, int nMode)
{
    CConfigCheck::SRecordBits records[CHANNEL_COUNT];
    if (!SplitImage(pData, nSize, records))
        return {};
    std::vector<CConfigCheck::SFinding> findings = CConfigCheck::Check(records, nMode);
    if (nSize > FILE_BYTES) {
        CConfigCheck::SFinding f;
        f.text = std::to_string(nSize - FILE_BYTES) + " bytes follow the sixth record; the program ignores them";
        findings.push_back(std::move(f));
    }
    return findings;
}

const char* CConfigFile::StatusText(EConfigStatus status)
{
    switch (status) {
    case EConfigStatus::Ok: return "ok";
    case EConfigStatus::WrongSignature: return "not a QVR configuration file (wrong signature)";
    case EConfigStatus::ShortFile: return "file is too short (truncated configuration)";
    case EConfigStatus::ReadError: return "file could not be read";
    case EConfigStatus::Declined: return "file was not applied";
    case EConfigStatus::WriteError: return "file could not be written completely";
    }
    return "unknown error";
}
