// Request / reply correlation of the unit's packets.
#include "device/link/ReplyMatch.h"

#include "protocol/QVRSCP.h"
#include "model/ParameterMap.h"

namespace {
bool SameWord(const std::uint8_t* a, const std::uint8_t* b, int nOffset)
{
    return a[nOffset] == b[nOffset] && a[nOffset + 1] == b[nOffset + 1] && a[nOffset + 2] == b[nOffset + 2] &&
           a[nOffset + 3] == b[nOffset + 3];
}

// Raw commands whose reply echoes the request's UWord (address, selector or
// the word itself); the revision query answers with a date instead.
bool EchoesUWord(std::uint8_t bCommand)
{
    switch (bCommand) {
    case CMD_READ_WORD:
    case CMD_STORE_SETTINGS:
    case CMD_WRITE_WORD:
    case CMD_ERASE:
    case CMD_WRITE_OUTPUT:
    case CMD_SYSTEM_FLAGS:
    case CMD_READ_OUTPUT:
        return true;
    default:
        return false;
    }
}
} // namespace

bool IsReplyToRequest(const std::uint8_t* pReply, const std::uint8_t* pRequest)
{
    const std::uint8_t bRequestType = pRequest[0];
    if (pReply[0] == SCP_TYPE_NACK)
        return pReply[2] == bRequestType && pReply[3] == pRequest[2] && pReply[4] == pRequest[3];
    switch (bRequestType) {
    case SCP_TYPE_GET:
        return pReply[0] == SCP_TYPE_DATA && pReply[2] == pRequest[2] && pReply[3] == pRequest[3];
    case SCP_TYPE_SET:
        return pReply[0] == SCP_TYPE_ACK && pReply[2] == pRequest[2] && pReply[3] == pRequest[3];
    case SCP_TYPE_RAW:
        return pReply[0] == SCP_TYPE_REPLY && pReply[2] == pRequest[2] && SameWord(pReply, pRequest, 3) &&
               (!EchoesUWord(pRequest[2]) || SameWord(pReply, pRequest, 7));
    default:
        return false;
    }
}
