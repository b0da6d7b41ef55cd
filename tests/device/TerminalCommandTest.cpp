// The diagnostics terminal's line: what becomes a raw command, what is
// refused, and the reply line.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "device/terminal/TerminalCommand.h"

namespace {

std::u16string U(const char* psz)
{
    std::u16string s;
    for (; *psz; ++psz)
        s.push_back(static_cast<char16_t>(static_cast<unsigned char>(*psz)));
    return s;
}

std::uint32_t Bits(float f)
{
    std::uint32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

bool Parse(const char* psz, STerminalCommand& cmd) { return CTerminalCommand::Parse(U(psz), cmd); }

} // namespace

TEST(TerminalCommand, HexadecimalAndFloatFields)
{
    STerminalCommand c;
    ASSERT_TRUE(Parse("1 0 90060000 0", c));
    EXPECT_EQ(c.bCommand, 1);
    EXPECT_EQ(c.dwIter, 0u);
    EXPECT_EQ(c.dwUWord, 0x90060000u);
    EXPECT_EQ(c.dwLWord, 0u);

    ASSERT_TRUE(Parse("0 0 1.5 -4.25", c));
    EXPECT_EQ(c.dwUWord, Bits(1.5f));
    EXPECT_EQ(c.dwLWord, Bits(-4.25f));

    ASSERT_TRUE(Parse("d ffffffff 0x103 .5", c)); // lower case, a 0x prefix, a point first
    EXPECT_EQ(c.bCommand, 13);
    EXPECT_EQ(c.dwIter, 0xFFFFFFFFu);
    EXPECT_EQ(c.dwUWord, 0x103u);
    EXPECT_EQ(c.dwLWord, Bits(0.5f));

    ASSERT_TRUE(Parse("  4\t0  90000000 2.5e3  ", c)); // blanks around and between fields
    EXPECT_EQ(c.bCommand, 4);
    EXPECT_EQ(c.dwLWord, Bits(2500.0f));

    ASSERT_TRUE(Parse("0 0 000000000001 1e5", c)); // leading zeros; 1e5 without a point is hexadecimal
    EXPECT_EQ(c.dwUWord, 1u);
    EXPECT_EQ(c.dwLWord, 0x1E5u);

    ASSERT_TRUE(Parse("0 0 1.0e-60 -0.0", c)); // below the float's range: zero, sign kept
    EXPECT_EQ(c.dwUWord, 0u);
    EXPECT_EQ(c.dwLWord, 0x80000000u);
}

TEST(TerminalCommand, EverythingElseIsAnInvalidEntry)
{
    STerminalCommand c;
    c.bCommand = 9;
    for (const char* psz : {
             "",              // empty
             "   ",
             "1 0 0",         // three fields
             "1 0 0 0 0",     // a fifth field
             "1 0 0 0 x",     // trailing text
             "E 0 0 0",       // command above D
             "10 0 0 0",
             "1.0 0 0 0",     // command with a point
             "1 0.5 0 0",     // Iter with a point
             "1 zz 0 0",      // only the command would convert
             "1 0 100000000 0", // 33 bits
             "1 -1 0 0",      // signed hexadecimal
             "1 0 -5 0",
             "1 0 +5 0",
             "1 0 0x 0",
             "1 0 1.2.3 0",
             "1 0 . 0",
             "1 0 -. 0",
             "1 0 1e5.0 0",
             "1 0 1.0e 0",
             "1 0 1.0e+ 0",
             "1 0 3.5e38 0",  // beyond the float's largest value
             "1 0 1.0e999 0",
             "1 0 0 1.0x",
         }) {
        EXPECT_FALSE(Parse(psz, c)) << psz;
    }
    EXPECT_EQ(c.bCommand, 9); // a refused line leaves the command alone
    // A line longer than the terminal reads.
    EXPECT_FALSE(CTerminalCommand::Parse(U("1 0 0 0") + std::u16string(300, u' '), c));
    // Characters outside ASCII are no digits.
    EXPECT_FALSE(CTerminalCommand::Parse(u"1 0 \uFF11 0", c));
}

// Lines the unit would refuse (NACK 5) are not sent: three refusals would end
// the link.  The edges of what it takes are sent.
TEST(TerminalCommand, CommandsTheUnitWouldRefuseAreInvalidEntries)
{
    STerminalCommand c;
    for (const char* psz : {
             "1 0 8FFFFFFC 0",  // below the program area
             "1 0 90070000 0",  // past the text memory
             "1 0 90060002 0",  // not 4-aligned
             "4 0 90070000 0",
             "4 0 90000001 0",
             "6 0 90060000 10001", // one byte past the end
             "6 0 90070000 0",     // starts past the end
             "6 0 90000002 4",
             "6 0 9006FFFC FFFFFFFF", // would wrap around in 32 bits
             "7 0 4 0",         // bank 4
             "7 0 400 0",       // index 4
             "D 0 10000 0",     // bytes 2 and 3 set
             "d 0 1.5 0",
         }) {
        EXPECT_FALSE(Parse(psz, c)) << psz;
    }
    for (const char* psz : {
             "1 0 90000000 0", "1 0 9006FFFC 0", "4 0 9006FFFC 1", "6 0 90060000 10000", "6 0 9006FFFC 4",
             "6 0 90000000 0", "7 0 303 -2.5", "D 0 0 0", "3 0 0 0", "B 0 0 0", "C 0 1 2", "2 0 FFFFFFFF 0",
         }) {
        EXPECT_TRUE(Parse(psz, c)) << psz;
    }
}

TEST(TerminalCommand, ReplyLineFormat)
{
    EXPECT_EQ(CTerminalCommand::FormatReply(0, 0x90060000u, Bits(1.5f)),
              U("ITR: 0 UW: 90060000 (-0.000000) LW: 3FC00000 (1.500000)\r\n"));
    EXPECT_EQ(CTerminalCommand::FormatReply(0xFFFFFFFFu, 0, 0x7FC00000u),
              U("ITR: -1 UW: 00000000 (0.000000) LW: 7FC00000 (nan)\r\n"));
    EXPECT_EQ(CTerminalCommand::FormatReply(1, 0x7F800000u, 0xFF800000u),
              U("ITR: 1 UW: 7F800000 (inf) LW: FF800000 (-inf)\r\n"));
    // The largest float has 39 digits before the point: the line still holds it whole.
    const std::u16string s = CTerminalCommand::FormatReply(0, 0x7F7FFFFFu, 0);
    EXPECT_NE(s.find(U("(340282346638528859811704183484516925440.000000)")), std::u16string::npos);
}
