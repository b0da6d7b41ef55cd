// Packet library: builds and classifies the unit's 16-byte packets.
#include "protocol/QVRSCP.h"

#include <array>
#include <cstring>

namespace {

// CRC-8, polynomial x^8 + x^5 + x^3 + x^2 + x + 1 (0x2F), processed LSB
// first (reflected form 0xF4) so that the bit order matches the UART's,
// initial value 0xFF, no final XOR.  Over 15 data bytes it detects every
// error confined to one byte, every burst on the line up to 8 bits long,
// every odd number of flipped bits and every 3-bit error.
constexpr unsigned char CRC_POLY_REFLECTED = 0xF4;
constexpr unsigned char CRC_INIT = 0xFF;

constexpr std::array<unsigned char, 256> MakeCrcTable()
{
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i) {
        unsigned char c = static_cast<unsigned char>(i);
        for (int bit = 0; bit < 8; ++bit)
            c = static_cast<unsigned char>((c & 1) ? (c >> 1) ^ CRC_POLY_REFLECTED : (c >> 1));
        table[static_cast<std::size_t>(i)] = c;
    }
    return table;
}
constexpr std::array<unsigned char, 256> g_crcTable = MakeCrcTable();

void Clear(unsigned char* pBuffer) { std::memset(pBuffer, 0, SCP_PACKET_SIZE); }

void Seal(unsigned char* pBuffer) { pBuffer[15] = SCP_BuildChecksum(pBuffer); }

void FillWords(unsigned char* pBuffer, unsigned char bType, unsigned char bCommand, std::uint32_t dwIter,
               std::uint32_t dwUWord, std::uint32_t dwLWord)
{
    Clear(pBuffer);
    pBuffer[0] = bType;
    pBuffer[2] = bCommand;
    SCP_PutWord(pBuffer, 3, dwIter);
    SCP_PutWord(pBuffer, 7, dwUWord);
    SCP_PutWord(pBuffer, 11, dwLWord);
    Seal(pBuffer);
}

} // namespace

extern "C" {

std::uint32_t SCP_GetWord(const unsigned char* pBuffer, int nOffset)
{
    const unsigned char* p = pBuffer + nOffset;
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

void SCP_PutWord(unsigned char* pBuffer, int nOffset, std::uint32_t dwValue)
{
    unsigned char* p = pBuffer + nOffset;
    p[0] = static_cast<unsigned char>(dwValue);
    p[1] = static_cast<unsigned char>(dwValue >> 8);
    p[2] = static_cast<unsigned char>(dwValue >> 16);
    p[3] = static_cast<unsigned char>(dwValue >> 24);
}

void SCP_GenerateGET(unsigned char* pBuffer, unsigned char bChannel, unsigned char bParameter, int nFollowOn)
{
    Clear(pBuffer);
    pBuffer[0] = SCP_TYPE_GET;
    pBuffer[1] = nFollowOn ? SCP_FLAG_FOLLOW_ON : 0;
    pBuffer[2] = bChannel;
    pBuffer[3] = bParameter;
}

void SCP_GenerateSET(unsigned char* pBuffer, unsigned char bChannel, unsigned char bParameter, float fltValue,
                     int nFollowOn)
{
    Clear(pBuffer);
    pBuffer[0] = SCP_TYPE_SET;
    pBuffer[1] = nFollowOn ? SCP_FLAG_FOLLOW_ON : 0;
    pBuffer[2] = bChannel;
    pBuffer[3] = bParameter;
    std::uint32_t dw;
    std::memcpy(&dw, &fltValue, 4);
    SCP_PutWord(pBuffer, 4, dw);
}

unsigned char SCP_BuildChecksum(const unsigned char* pBuffer)
{
    unsigned char crc = CRC_INIT;
    for (int i = 0; i < SCP_PACKET_SIZE - 1; ++i)
        crc = g_crcTable[crc ^ pBuffer[i]];
    return crc;
}

int SCP_IsValidChecksum(const unsigned char* pBuffer, unsigned char bChecksum)
{
    return SCP_BuildChecksum(pBuffer) == bChecksum;
}

int SCP_IsAck(const unsigned char* pBuffer) { return pBuffer[0] == SCP_TYPE_ACK; }
int SCP_IsNack(const unsigned char* pBuffer) { return pBuffer[0] == SCP_TYPE_NACK; }
int SCP_IsData(const unsigned char* pBuffer) { return pBuffer[0] == SCP_TYPE_DATA; }
int SCP_IsCommandReply(const unsigned char* pBuffer) { return pBuffer[0] == SCP_TYPE_REPLY; }

float SCP_GetData(const unsigned char* pBuffer)
{
    const std::uint32_t dw = SCP_GetWord(pBuffer, 4);
    float flt;
    std::memcpy(&flt, &dw, 4);
    return flt;
}

void SCP_GenerateACK(unsigned char* pBuffer, const unsigned char* pRequest)
{
    unsigned char req[SCP_PACKET_SIZE];
    std::memcpy(req, pRequest, SCP_PACKET_SIZE); // pBuffer may alias pRequest
    Clear(pBuffer);
    pBuffer[0] = SCP_TYPE_ACK;
    pBuffer[2] = req[2];
    pBuffer[3] = req[3];
    std::memcpy(pBuffer + 4, req + 4, 4);
    Seal(pBuffer);
}

void SCP_GenerateNACK(unsigned char* pBuffer, const unsigned char* pRequest, unsigned char bReason)
{
    unsigned char req[SCP_PACKET_SIZE];
    std::memcpy(req, pRequest, SCP_PACKET_SIZE);
    Clear(pBuffer);
    pBuffer[0] = SCP_TYPE_NACK;
    pBuffer[1] = bReason;
    pBuffer[2] = req[0];
    pBuffer[3] = req[2];
    pBuffer[4] = req[3];
    Seal(pBuffer);
}

void SCP_GenerateDATA(unsigned char* pBuffer, unsigned char bChannel, unsigned char bParameter, std::uint32_t dwValue)
{
    Clear(pBuffer);
    pBuffer[0] = SCP_TYPE_DATA;
    pBuffer[2] = bChannel;
    pBuffer[3] = bParameter;
    SCP_PutWord(pBuffer, 4, dwValue);
    Seal(pBuffer);
}

void SCP_GenerateRAW(unsigned char* pBuffer, unsigned char bCommand, std::uint32_t dwIter, std::uint32_t dwUWord,
                     std::uint32_t dwLWord)
{
    FillWords(pBuffer, SCP_TYPE_RAW, bCommand, dwIter, dwUWord, dwLWord);
}

void SCP_GenerateREPLY(unsigned char* pBuffer, unsigned char bCommand, std::uint32_t dwIter, std::uint32_t dwUWord,
                       std::uint32_t dwLWord)
{
    FillWords(pBuffer, SCP_TYPE_REPLY, bCommand, dwIter, dwUWord, dwLWord);
}

} // extern "C"
