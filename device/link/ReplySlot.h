#pragma once
// The hand-off of one reply from the link's receive thread to the queue's
// worker.  Each attempt to send a request opens the slot under a new attempt
// number with the packet sent; the receive thread puts in the first packet
// that answers it (or one with a bad checksum, which the worker answers by
// sending again) and closes the slot; the worker takes the reply only for the
// attempt it is waiting on.  Everything is under one lock, so a reply that
// arrives as an attempt times out, or after it, can never be taken for
// another attempt's, whatever the timing; the events that wake the worker
// are only hints.
//
// Portable: no Windows headers.

#include <cstdint>
#include <mutex>

class CReplySlot {
public:
    // Opens the slot for a new attempt that sends pSent (16 bytes); returns
    // the attempt's number.  A reply of an earlier attempt still in the slot
    // is dropped.
    std::uint64_t Open(const std::uint8_t* pSent);
    // Closes the slot: whatever arrives from now on is dropped.
    void Close();
    // The receive thread offers a packet (16 bytes).  Taken when the slot is
    // open and the packet answers the request sent (by IsReplyToRequest) or
    // fails its checksum; the slot closes then, so one reply is taken per
    // attempt.  Returns the number of the attempt it was taken for, 0 when
    // it was dropped.
    std::uint64_t Offer(const std::uint8_t* pPacket);
    // The worker takes the reply of attempt nAttempt into pReply (16 bytes);
    // false when there is none (yet) for that attempt.  The slot is closed
    // either way when bClose (the wait for the attempt is over).
    bool Take(std::uint64_t nAttempt, std::uint8_t* pReply, bool bClose);
    // Whether the slot is open (a worker waits).
    bool IsOpen() const;

private:
    mutable std::mutex m_mutex;
    std::uint64_t m_nAttempt = 0;      // the attempt the slot is open for, or last was
    bool m_bOpen = false;
    bool m_bFilled = false;            // m_bReply answers attempt m_nAttempt
    std::uint8_t m_bSent[16] = {};
    std::uint8_t m_bReply[16] = {};
};
