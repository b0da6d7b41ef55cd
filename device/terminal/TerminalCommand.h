#pragma once
// CTerminalCommand: one line typed into the diagnostics terminal, read as a
// raw command for the unit, and the line that shows a command reply.
//
// A line holds four fields: the command (hexadecimal, 0 to D), Iter
// (hexadecimal), UWord and LWord (each hexadecimal, or a decimal number with
// a point, which is sent as the bit pattern of a 32-bit float).  The fields
// are separated by spaces; spaces and tabs before, between and after them
// are allowed.
//
// A technician's typing error must not reach the unit as some other
// command, so every field has to be read whole:
//  - a hexadecimal field is 1 to 8 significant digits, optionally after
//    "0x"; a value that does not fit 32 bits is an error, not cut short;
//  - a sign before a hexadecimal field is an error (addresses and words are
//    unsigned; a negative word is typed as its hexadecimal pattern);
//  - a number with a point may carry a sign and an exponent; one that a
//    32-bit float cannot hold (infinite, or beyond its largest value) is an
//    error;
//  - fewer or more than four fields, or any other text, is an error;
//  - a command the unit would refuse is an error too: a read or write of an
//    address outside the unit's memory or not 4-aligned, an erase that
//    starts so or runs past the memory's end, an output selector that names
//    no output.  The unit's refusal is retried like any other, and three of
//    them end the link.
// An error sends nothing; the terminal answers "INVALID ENTRY".

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct STerminalCommand {
    std::uint8_t bCommand = 0;
    std::uint32_t dwIter = 0;
    std::uint32_t dwUWord = 0;
    std::uint32_t dwLWord = 0;
};

class CTerminalCommand {
public:
    // Longest line the terminal reads; a longer one is not a command.
    static constexpr std::size_t MAX_LINE = 255;

    // True when the line is a valid command; cmd is then filled in.
    static bool Parse(std::u16string_view line, STerminalCommand& cmd);
    // True when the unit would answer the command with a refusal (NACK 5).
    static bool UnitRefuses(const STerminalCommand& cmd);

    // "ITR: %d UW: %08X (%f) LW: %08X (%f)\r\n": Iter as a signed number,
    // each word in hexadecimal and read as a float.
    static std::u16string FormatReply(std::uint32_t dwIter, std::uint32_t dwUWord, std::uint32_t dwLWord);
};
