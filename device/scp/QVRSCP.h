#pragma once
// Packet library of the unit's 16-byte link packets: builds GET and SET
// requests, computes and checks the checksum (byte 15) and classifies
// replies.  The wire layout is documented in docs/protocol.md.

#include <cstdint>

constexpr int SCP_PACKET_SIZE = 16;

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
}
