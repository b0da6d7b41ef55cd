#pragma once
// A command sink that records every queued request, installed for the
// lifetime of the object (and the system flags reset to 0 around it).

#include <cstdint>
#include <cstring>
#include <vector>

#include "model/ChannelConfig.h"
#include "model/CommandSink.h"

struct QueuedRequest {
    enum Kind { PARAM_FLOAT, PARAM_BITS, COMMAND } kind;
    bool set = false;
    std::uint8_t channel = 0;   // parameter requests
    std::uint8_t parameter = 0; // parameter requests
    std::uint32_t value = 0;    // value bits (floats as their IEEE pattern)
    std::uint8_t command = 0;   // raw commands
    std::uint32_t iter = 0, uword = 0, lword = 0;

    float Float() const
    {
        float f;
        std::memcpy(&f, &value, sizeof f);
        return f;
    }
    float LWordFloat() const
    {
        float f;
        std::memcpy(&f, &lword, sizeof f);
        return f;
    }
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
        QueuedRequest r{QueuedRequest::PARAM_FLOAT};
        r.set = set;
        r.channel = channel;
        r.parameter = parameter;
        std::memcpy(&r.value, &value, sizeof value);
        requests.push_back(r);
        return true;
    }
    bool QueueRequestBits(bool set, std::uint8_t channel, std::uint8_t parameter, std::uint32_t bits) override
    {
        QueuedRequest r{QueuedRequest::PARAM_BITS};
        r.set = set;
        r.channel = channel;
        r.parameter = parameter;
        r.value = bits;
        requests.push_back(r);
        return true;
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
    ICommandSink* m_pPrevious = nullptr;
};
