#pragma once
// Packet library of the unit's 16-byte link packets: builds GET and SET
// requests, computes and checks the checksum (byte 15) and classifies
// replies.  The wire layout is documented in docs/protocol.md.
//
// Every packet is 16 bytes; byte 0 tells its type, byte 15 is a CRC-8
// (polynomial 0x2F processed LSB first, initial value 0xFF, no final XOR) over
// bytes 0..14.  Multi-byte fields are little-endian.
//
//   type  byte 0  byte 1        byte 2    byte 3     bytes 4..7  bytes 8..14
//   GET   0x47    bit 0 follow  channel   parameter  0           0
//   SET   0x53    bit 0 follow  channel   parameter  value       0
//   ACK   0x06    0             channel   parameter  value       0
//   NACK  0x15    reason        req. b0   req. b2    req. b3     0
//   DATA  0x44    0             channel   parameter  value       0
//   RAW   0x25    0             command   Iter = bytes 3..6, UWord = 7..10, LWord = 11..14
//   REPLY 0xA5    0             command   Iter = bytes 3..6, UWord = 7..10, LWord = 11..14

#include <cstdint>

constexpr int SCP_PACKET_SIZE = 16;

// Packet types (byte 0).
constexpr unsigned char SCP_TYPE_GET = 0x47;
constexpr unsigned char SCP_TYPE_SET = 0x53;
constexpr unsigned char SCP_TYPE_RAW = 0x25;
constexpr unsigned char SCP_TYPE_ACK = 0x06;
constexpr unsigned char SCP_TYPE_NACK = 0x15;
constexpr unsigned char SCP_TYPE_DATA = 0x44;
constexpr unsigned char SCP_TYPE_REPLY = 0xA5;

// Byte 1 of GET and SET: more requests follow this one (a hint only).
constexpr unsigned char SCP_FLAG_FOLLOW_ON = 0x01;

// Reasons carried in byte 1 of a NACK.
enum ESCPNackReason : unsigned char {
    SCP_NACK_BAD_CHANNEL = 1,   // channel above 5
    SCP_NACK_BAD_PARAMETER = 2, // parameter above 31
    SCP_NACK_READ_ONLY = 3,     // SET of a read-only parameter (12)
    SCP_NACK_BAD_ADDRESS = 5,   // memory address or output selector out of range
    SCP_NACK_BUSY = 6           // the unit could not take the request now
};


extern "C" {
// Fill a GET / SET request for a channel parameter; the caller then stores
// SCP_BuildChecksum(buffer) in byte 15.
void SCP_GenerateGET(unsigned char* pBuffer, unsigned char bChannel, unsigned char bParameter, int nFollowOn);
void SCP_GenerateSET(unsigned char* pBuffer, unsigned char bChannel, unsigned char bParameter, float fltValue, int nFollowOn);
// Checksum over bytes 0..14.
unsigned char SCP_BuildChecksum(const unsigned char* pBuffer);
// Non-zero when bChecksum is the valid checksum of bytes 0..14.
int SCP_IsValidChecksum(const unsigned char* pBuffer, unsigned char bChecksum);
int SCP_IsAck(const unsigned char* pBuffer);
int SCP_IsNack(const unsigned char* pBuffer);
int SCP_IsData(const unsigned char* pBuffer);
float SCP_GetData(const unsigned char* pBuffer);

// Unit side and tools: build the replies (checksum included) and tell raw
// command replies apart.
void SCP_GenerateACK(unsigned char* pBuffer, const unsigned char* pRequest);
void SCP_GenerateNACK(unsigned char* pBuffer, const unsigned char* pRequest, unsigned char bReason);
void SCP_GenerateDATA(unsigned char* pBuffer, unsigned char bChannel, unsigned char bParameter, std::uint32_t dwValue);
void SCP_GenerateRAW(unsigned char* pBuffer, unsigned char bCommand, std::uint32_t dwIter, std::uint32_t dwUWord,
                     std::uint32_t dwLWord);
void SCP_GenerateREPLY(unsigned char* pBuffer, unsigned char bCommand, std::uint32_t dwIter, std::uint32_t dwUWord,
                       std::uint32_t dwLWord);
int SCP_IsCommandReply(const unsigned char* pBuffer);
// Little-endian 32-bit word at pBuffer[nOffset].
std::uint32_t SCP_GetWord(const unsigned char* pBuffer, int nOffset);
void SCP_PutWord(unsigned char* pBuffer, int nOffset, std::uint32_t dwValue);
}
