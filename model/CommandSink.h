#pragma once
// The seam between the configuration records and the command queue: the
// setters of CChannelConfig and SetSystemFlags queue unit writes through the
// sink installed here.  With no sink installed nothing is queued.

#include <cstdint>

class ICommandSink {
public:
    virtual ~ICommandSink() = default;
    // GET (set == false) or SET of one channel parameter; the value as a float.
    virtual bool QueueRequest(bool set, std::uint8_t channel, std::uint8_t parameter, float value) = 0;
    // The same with the value's 32-bit pattern stored unchanged (flag words).
    virtual bool QueueRequestBits(bool set, std::uint8_t channel, std::uint8_t parameter, std::uint32_t bits) = 0;
    // Raw command: 8-bit command and the three 32-bit words.
    virtual bool QueueCommand(std::uint8_t command, std::uint32_t iter, std::uint32_t uword, std::uint32_t lword) = 0;
};

// Installs the process-wide sink (nullptr: queue nothing).  Returns the previous one.
ICommandSink* SetCommandSink(ICommandSink* sink);
ICommandSink* GetCommandSink();
