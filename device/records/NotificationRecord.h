#pragma once
// CNotificationRecord: the 24-byte records the queue's worker writes into the
// notification pipe (layout in device/RXQueue.h), made from a request and
// the unit's reply.  Kept apart from the queue so that what a window reads
// from a record is decided in one place, and tested without a link.

#include <array>
#include <cstdint>

class CNotificationRecord {
public:
    using Bytes = std::array<std::uint8_t, 24>;

    // A GET's value.
    static Bytes Value(std::uint8_t bChannel, std::uint8_t bParameter, float fltValue);
    // A raw command's reply: bytes 8..23 hold the reply packet, its first two
    // bytes cleared and its third replaced by the request's command; for an
    // output read (command 13) the request's output address follows at 15
    // and the value as the program shows it at 19.
    static Bytes Command(const std::uint8_t (&request)[16], const std::uint8_t (&reply)[16]);
    // A record of kind and channel only (marker, failure).
    static Bytes Simple(std::uint8_t bKind, std::uint8_t bChannel);

    // The unit reports an output setting v as the value it applies; the
    // program shows trunc(10 v) / 10 + 8 (the write sends the gain minus 8).
    static float ShownOutput(float fltUnit);
};
