#include "speakerlib/TextFormat.h"

#include "resources/strings/StringTable.h"

std::u16string CTextFormat::Format(unsigned nId, std::initializer_list<std::u16string> args)
{
    const char16_t* psz = qvr::LoadStringText(nId);
    std::u16string out;
    if (psz == nullptr)
        return out;
    auto it = args.begin();
    for (; *psz; ++psz) {
        if (psz[0] == u'%' && psz[1] == u's') {
            if (it != args.end())
                out += *it++;
            ++psz;
            continue;
        }
        out.push_back(*psz);
    }
    return out;
}
