#pragma once
// The shared recording sink with the two questions the editor tests ask of it.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/core/RecordingSink.h"

class CEditorSink : public CRecordingSink {
public:
    // The parameter SETs of one parameter, in order.
    std::vector<float> Sets(std::uint8_t bChannel, std::uint8_t bParameter) const
    {
        std::vector<float> v;
        for (const auto& r : requests)
            if (r.kind != QueuedRequest::COMMAND && r.set && r.channel == bChannel && r.parameter == bParameter)
                v.push_back(r.Float());
        return v;
    }
    // How many times one raw command was queued.
    std::size_t Commands(std::uint8_t bCommand) const
    {
        std::size_t n = 0;
        for (const auto& r : requests)
            if (r.kind == QueuedRequest::COMMAND && r.command == bCommand)
                ++n;
        return n;
    }
};
