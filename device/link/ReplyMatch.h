#pragma once
// Whether a reply of the unit answers a given request.  Every reply echoes
// what identifies its request (docs/protocol.md): DATA and ACK the channel
// and parameter, a command reply the command, Iter and - for the commands
// that echo it - UWord, a NACK the request's type, channel or command and
// parameter.  The queue engine uses this to drop a late reply to an earlier
// request instead of taking it for the answer to the one in flight.

#include <cstdint>

bool IsReplyToRequest(const std::uint8_t* pReply, const std::uint8_t* pRequest);
