#pragma once
// The configuration records' command sink on the real queue: every unit
// write that a setter queues goes to a CComm.  Installs itself as the
// process-wide sink while it exists.

#include "model/CommandSink.h"

class CComm;

class CCommSink : public ICommandSink {
public:
    explicit CCommSink(CComm& comm);
    ~CCommSink() override;
    CCommSink(const CCommSink&) = delete;
    CCommSink& operator=(const CCommSink&) = delete;

    bool QueueRequest(bool set, std::uint8_t channel, std::uint8_t parameter, float value) override;
    bool QueueRequestBits(bool set, std::uint8_t channel, std::uint8_t parameter, std::uint32_t bits) override;
    bool QueueCommand(std::uint8_t command, std::uint32_t iter, std::uint32_t uword, std::uint32_t lword) override;

private:
    CComm& m_Comm;
    ICommandSink* m_pPrevious;
};
