#pragma once
// The 24-byte notification record that the queue's worker writes into the
// notification pipe, one per result.  The three words start at odd offsets
// and are read byte-exact (little-endian).

#include <cstdint>
#include <cstddef>
#include <cstring>

enum ERXKind : std::uint8_t {
    RX_VALUE = 1,   // the value of a GET
    RX_COMMAND = 2, // the reply to a raw command
    RX_MARKER = 3,  // a marker was reached
    RX_FAILURE = 4  // a request failed three times; the queue was emptied
};

#pragma pack(push, 1)
struct utRXQueue {
    std::uint8_t bKind;
    std::uint8_t bChannel;
    std::uint8_t bParameter;
    std::uint8_t bReserved3;
    std::uint8_t bValue[4];  // float (kind 1)
    std::uint8_t bReserved8;
    std::uint8_t bReserved9;
    std::uint8_t bCommand;   // kind 2
    std::uint8_t bIter[4];
    std::uint8_t bUWord[4];
    std::uint8_t bLWord[4];
    std::uint8_t bChecksum;
};
#pragma pack(pop)
static_assert(sizeof(utRXQueue) == 24, "notification record is 24 bytes");
static_assert(offsetof(utRXQueue, bIter) == 11 && offsetof(utRXQueue, bUWord) == 15 &&
                  offsetof(utRXQueue, bLWord) == 19 && offsetof(utRXQueue, bChecksum) == 23,
              "record layout");

inline std::uint32_t RXGetWord(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
inline void RXPutWord(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}
inline float RXGetValue(const utRXQueue& r)
{
    float f;
    std::memcpy(&f, r.bValue, 4);
    return f;
}
inline float RXWordAsFloat(std::uint32_t w)
{
    float f;
    std::memcpy(&f, &w, 4);
    return f;
}
