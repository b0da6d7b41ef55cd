// Fuzzer of the terminal's line: any UTF-16 text is a command within range
// or refused; a command's fields, typed back, read the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "device/terminal/TerminalCommand.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    std::u16string line;
    for (std::size_t i = 0; i + 1 < nSize; i += 2)
        line.push_back(static_cast<char16_t>(pData[i] | (pData[i + 1] << 8)));
    STerminalCommand cmd;
    if (CTerminalCommand::Parse(line, cmd)) {
        if (cmd.bCommand > 13)
            std::abort();
        char sz[64];
        std::snprintf(sz, sizeof sz, "%X %X %X %X", cmd.bCommand, cmd.dwIter, cmd.dwUWord, cmd.dwLWord);
        std::u16string again(sz, sz + std::char_traits<char>::length(sz));
        STerminalCommand back;
        if (!CTerminalCommand::Parse(again, back) || back.bCommand != cmd.bCommand || back.dwIter != cmd.dwIter ||
            back.dwUWord != cmd.dwUWord || back.dwLWord != cmd.dwLWord)
            std::abort();
        const std::u16string reply = CTerminalCommand::FormatReply(cmd.dwIter, cmd.dwUWord, cmd.dwLWord);
        if (reply.size() < 2 || reply.substr(reply.size() - 2) != u"\r\n")
            std::abort();
    }
    return 0;
}
