#pragma once
// The configuration file: a 12-byte signature ("NRVXO" and a NUL in
// UTF-16LE), a 32-bit version and six 188-byte channel records, 1144 bytes,
// little-endian.  The reader applies values through the record setters with
// sending on, so loading while connected writes every changed value to the
// unit; the writer stores what the editor shows.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "files/ByteStream.h"
#include "model/ChannelConfig.h"
#include "model/ConfigCheck.h"

class CProfileInfo;

enum class EConfigStatus {
    Ok,
    WrongSignature, // not a configuration file: nothing read beyond the signature, nothing changed
    ShortFile,      // the data ends at nOffset, before the end of the last record: nothing changed
    ReadError,      // the stream could not be read: nothing changed
    Declined,       // the caller's check of the complete file said no: nothing changed
    WriteError,     // the stream refused part of the data
};

struct ConfigResult {
    EConfigStatus status = EConfigStatus::Ok;
    // ShortFile: the number of bytes the file holds.
    std::uint64_t nOffset = 0;
    // Bit i set: record i carried a channel index other than i; it stayed
    // channel i (the configuration check refuses such a file first).
    unsigned nKeptIndexMask = 0;

    bool Ok() const { return status == EConfigStatus::Ok; }
};

class CConfigFile {
public:
    static constexpr std::size_t SIGNATURE_BYTES = 12;
    static constexpr std::size_t HEADER_BYTES = 16;
    static constexpr std::size_t RECORD_BYTES = 188;
    static constexpr std::size_t FILE_BYTES = HEADER_BYTES + CHANNEL_COUNT * RECORD_BYTES; // 1144
    static constexpr std::uint32_t VERSION = 0x12340001;
    // Within a record: the channel index at 0, the name's 32 UTF-16LE units,
    // then the value fields, 32 bits each, in field order.
    static constexpr std::size_t NAME_OFFSET = 4;
    static constexpr std::size_t VALUES_OFFSET = NAME_OFFSET + 2 * SPEAKER_NAME_UNITS; // 68

    // The little-endian 32-bit word at p.
    static std::uint32_t GetU32(const std::uint8_t* p);

    // Writes the six records as they stand (an editor stores its working
    // copy into them first); with bReset every record is reset to the
    // factory defaults before it is written, and the profile (if given) gets
    // its defaults.  The whole image goes out in one write.
    static ConfigResult Write(IByteStream& stream, CChannelConfig* pChannels /* [6] */, CProfileInfo* pProfile,
                              bool bReset);

    // Looks at a complete file before anything of it is applied (the 1144
    // bytes, signature checked); false keeps the configuration as it is.
    using Gate = std::function<bool(const std::uint8_t* pImage, std::size_t cb)>;

    // Reads a configuration.  The whole file is read and checked first; only
    // a complete file with the right signature that the gate (if given)
    // lets through is applied: for each record (reset first with bReset) its
    // own index i, the name and then every value field through its setter
    // with send on, band gains without force, in the order of CWriteOrder.
    // Then the profile gets its defaults (bReset).  The gate is the last
    // step before the values are applied: an editor stores its working copy
    // into the records there (a file value equal to a stale one must still
    // reach the unit), and loads it after a read that applied the file; it
    // also recomputes the curves, refreshes its controls and writes the text
    // memory.
    static ConfigResult Read(IByteStream& stream, CChannelConfig* pChannels /* [6] */, CProfileInfo* pProfile,
                             bool bReset, const Gate& gate = Gate());

    // The records of a file's bytes as they stand (nothing applied); false
    // when fewer than FILE_BYTES bytes are given.
    static bool SplitImage(const std::uint8_t* pData, std::size_t nSize,
                           CConfigCheck::SRecordBits (&records)[CHANNEL_COUNT]);
    // What a file holds that the editor would not accept in nMode
    // (CConfigCheck), and bytes after the sixth record.  Nothing for a file
    // shorter than FILE_BYTES (the reader refuses it anyway).
    static std::vector<CConfigCheck::SFinding> Check(const std::uint8_t* pData, std::size_t nSize, int nMode);

    // The 1144 bytes of a file holding these six records as they are.
    static void BuildImage(const CChannelConfig* pChannels, std::uint8_t (&image)[FILE_BYTES]);
    // True when the first 12 bytes are the signature: the letters N R V X O
    // (case-sensitive) followed by a NUL unit.
    static bool IsSignature(const std::uint8_t* pBytes, std::size_t cb);

    // Text of a status, for messages.
    static const char* StatusText(EConfigStatus status);
};
