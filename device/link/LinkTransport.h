#pragma once
// One way of reaching a unit's byte stream: an in-process simulated unit, a
// serial port or a TCP connection.  A transport that has a thread of its own
// hands what arrives to a receiver on that thread; the others are read by the
// link's receive thread.  Write is called by the sending thread only; reading
// and writing may run at once.

#include <windows.h>
#include <cstddef>
#include <cstdint>

class ILinkTransport {
public:
    using Receiver = void (*)(void* pContext, const std::uint8_t* pBytes, std::size_t n);

    virtual ~ILinkTransport() = default;
    // Starts delivering received bytes to pfnReceiver on the transport's own
    // thread; false when the transport has none (then Read is used).
    // The delivery ends when the transport is destroyed: the receiver is not
    // called once the destructor has returned.
    virtual bool StartDelivery(Receiver /*pfnReceiver*/, void* /*pContext*/) { return false; }
    // Waits up to nTimeoutMs for bytes.  Returns the number read (0 when none
    // came), or -1 once the device is gone for good.  A transport that
    // implements Interrupt may wait longer than nTimeoutMs, until bytes come
    // or Interrupt is called.
    virtual int Read(std::uint8_t* pBuffer, int cbBuffer, DWORD nTimeoutMs) = 0;
    // Called from another thread when the link stops: a Read that waits
    // returns at once, and every later one returns -1.
    virtual void Interrupt() {}
    // Sends every byte; false when they could not be sent.
    virtual bool Write(const std::uint8_t* pBytes, int cbBytes) = 0;
};
