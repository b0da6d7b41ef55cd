#pragma once
// A command sink that records every queued request, installed for the
// lifetime of the object (and the system flags reset to 0 around it).

#include <cstdint>
#include <vector>

#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/CommandSink.h"

struct QueuedRequest {
    enum Kind { PARAM_FLOAT, PARAM_BITS, COMMAND } kind;
    bool set = false;
    std::uint8_t channel = 0;   // parameter requests
    std::uint8_t parameter = 0; // parameter requests
    std::uint32_t value = 0;    // value bits (floats as their IEEE pattern)
    std::uint8_t command = 0;   // raw commands
    std::uint32_t iter = 0, uword = 0, lword = 0;

    float Float() const { return BitsToFloat(value); }
    float LWordFloat() const { return BitsToFloat(lword); }
};

class CRecordingSink : public ICommandSink {
public:
    CRecordingSink()
    {
        SetSystemFlags(0, false);
        m_pPrevious = SetCommandSink(this);
    }
    ~CRecordingSink() override
    {
        SetCommandSink(m_pPrevious);
        SetSystemFlags(0, false);
    }

    bool QueueRequest(bool set, std::uint8_t channel, std::uint8_t parameter, float value) override
    {
        return Record(QueuedRequest::PARAM_FLOAT, set, channel, parameter, FloatToBits(value));
    }
    bool QueueRequestBits(bool set, std::uint8_t channel, std::uint8_t parameter, std::uint32_t bits) override
    {
        return Record(QueuedRequest::PARAM_BITS, set, channel, parameter, bits);
    }
    bool QueueCommand(std::uint8_t command, std::uint32_t iter, std::uint32_t uword, std::uint32_t lword) override
    {
        QueuedRequest r{QueuedRequest::COMMAND};
        r.command = command;
        r.iter = iter;
        r.uword = uword;
        r.lword = lword;
        requests.push_back(r);
        return true;
    }

    void Clear() { requests.clear(); }

    std::vector<QueuedRequest> requests;

private:
    bool Record(QueuedRequest::Kind kind, bool set, std::uint8_t channel, std::uint8_t parameter, std::uint32_t bits)
    {
        QueuedRequest r{kind};
        r.set = set;
        r.channel = channel;
        r.parameter = parameter;
        r.value = bits;
        requests.push_back(r);
        return true;
    }

    ICommandSink* m_pPrevious = nullptr;
};
