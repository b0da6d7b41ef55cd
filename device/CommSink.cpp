// Forwards the configuration records' requests to the command queue.
#include "device/CommSink.h"

#include "device/Comm.h"

CCommSink::CCommSink(CComm& comm) : m_Comm(comm), m_pPrevious(SetCommandSink(this)) {}

CCommSink::~CCommSink()
{
    if (GetCommandSink() == this)
        SetCommandSink(m_pPrevious);
}

bool CCommSink::QueueRequest(bool set, std::uint8_t channel, std::uint8_t parameter, float value)
{
    return m_Comm.QueueRequest(set, channel, parameter, value);
}

bool CCommSink::QueueRequestBits(bool set, std::uint8_t channel, std::uint8_t parameter, std::uint32_t bits)
{
    return m_Comm.QueueRequest(set, channel, parameter, static_cast<DWORD>(bits));
}

bool CCommSink::QueueCommand(std::uint8_t command, std::uint32_t iter, std::uint32_t uword, std::uint32_t lword)
{
    return m_Comm.QueueCommand(command, iter, uword, lword);
}
