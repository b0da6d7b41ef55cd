#pragma once
// CFirmwareImage: a firmware file ("*.XOF") checked whole and turned into
// the words of the unit's program area.
//
// The file: the three bytes 0x02 0x0D 0x0A, then word records of exactly 12
// characters, four two-digit hexadecimal numbers each followed by one space
// ("1F 00 A0 E3 "); a record's numbers b0..b3 in text order are the word's
// bytes in memory order (b0 least significant).  A line break (CR LF) may
// follow any record.  Fewer than 12 bytes at the end hold no record.
//
// Nothing of a download may start before the whole file has passed: a unit
// that is erased and then half-written is a dead unit.  So the check is
// strict where the unit would otherwise receive something other than what
// the file's maker meant: every record must be well formed, nothing but
// records and line breaks may stand between them, and the words must fit
// the program area that one download erases.  The few bytes after the last
// record may only be line-break characters, spaces and the end-of-text
// (0x03) or end-of-file (0x1A) marks that text tools put there; anything
// else there is a record cut short.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/ParameterMap.h"

enum class EFirmwareCheck {
    Ok,
    TooLarge,        // the file is larger than any image of the program area can be
    BadHeader,       // it does not start with 0x02 0x0D 0x0A
    BadRecord,       // a record is not four hexadecimal pairs each followed by a space
    TruncatedRecord, // the file ends inside a record
    TooManyWords,    // more words than the program area holds
    NoWords          // the file holds no word at all: a download would only erase the unit
};

struct SFirmwareCheck {
    EFirmwareCheck eResult = EFirmwareCheck::Ok;
    std::uint32_t nRecord = 0; // the record concerned, counted from 1 (0: the file as a whole)
    std::size_t nOffset = 0;   // its byte offset in the file
};

class CFirmwareImage {
public:
    static constexpr std::size_t HEADER_BYTES = 3;
    static constexpr std::size_t RECORD_BYTES = 12;
    static constexpr std::uint32_t MAX_WORDS = PROGRAM_AREA_BYTES / 4;
    // A full image with a line break after every record is 3 + 65536 * 14
    // bytes; a file four times that size is not an image of the program area.
    static constexpr std::size_t MAX_FILE_BYTES = 4 * (HEADER_BYTES + MAX_WORDS * (RECORD_BYTES + 2));

    // Checks a whole file.  On success the words are kept; on failure the
    // image is left empty and the result names the reason and the record.
    SFirmwareCheck Parse(const std::uint8_t* pData, std::size_t nSize);

    const std::vector<std::uint32_t>& Words() const { return m_Words; }
    std::size_t WordCount() const { return m_Words.size(); }
    // Address of word nIndex in the unit's memory.
    static std::uint32_t AddressOf(std::size_t nIndex)
    {
        return PROGRAM_AREA_START + static_cast<std::uint32_t>(4 * nIndex);
    }

private:
    std::vector<std::uint32_t> m_Words;
};
