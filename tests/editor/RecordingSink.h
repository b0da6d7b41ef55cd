#pragma once
// A command sink that records what the configuration setters queue.

#include <cstdint>
#include <vector>

#include "model/CommandSink.h"

struct SRecordedRequest {
    bool bCommand;          // raw command (else a parameter request)
    bool bSet;
    std::uint8_t bChannel;
    std::uint8_t bParameter; // or the command
    float fltValue;
    std::uint32_t dwBits;
    std::uint32_t dwUWord;
};

class CRecordingSink : public ICommandSink {
public:
    CRecordingSink() : m_pOld(SetCommandSink(this)) {}
    ~CRecordingSink() override { SetCommandSink(m_pOld); }
    CRecordingSink(const CRecordingSink&) = delete;
    CRecordingSink& operator=(const CRecordingSink&) = delete;

    bool QueueRequest(bool set, std::uint8_t channel, std::uint8_t parameter, float value) override
    {
        m_log.push_back({false, set, channel, parameter, value, 0, 0});
        return true;
    }
    bool QueueRequestBits(bool set, std::uint8_t channel, std::uint8_t parameter, std::uint32_t bits) override
    {
        m_log.push_back({false, set, channel, parameter, 0.0f, bits, 0});
        return true;
    }
    bool QueueCommand(std::uint8_t command, std::uint32_t, std::uint32_t uword, std::uint32_t lword) override
    {
        m_log.push_back({true, true, 0, command, 0.0f, lword, uword});
        return true;
    }

    // The parameter SETs of one parameter, in order.
    std::vector<float> Sets(std::uint8_t bChannel, std::uint8_t bParameter) const
    {
        std::vector<float> v;
        for (const auto& r : m_log)
            if (!r.bCommand && r.bSet && r.bChannel == bChannel && r.bParameter == bParameter)
                v.push_back(r.fltValue);
        return v;
    }
    std::size_t Commands(std::uint8_t bCommand) const
    {
        std::size_t n = 0;
        for (const auto& r : m_log)
            if (r.bCommand && r.bParameter == bCommand)
                ++n;
        return n;
    }

    std::vector<SRecordedRequest> m_log;

private:
    ICommandSink* m_pOld;
};
