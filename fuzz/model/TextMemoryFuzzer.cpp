// libFuzzer target for the read-back of the unit's text memory: the input is
// what the unit answers (the 21 directory words, then the text words, and
// now and then a stray reply of another address).  Besides the sanitizers it
// checks that no read is ever asked for outside the text memory, that the
// read-back always finishes, that every stored text fits its field, and that
// each section is finished at most once.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "model/TextMemoryReader.h"

namespace {

class CInput {
public:
    CInput(const std::uint8_t* p, std::size_t n) : m_p(p), m_n(n) {}
    std::uint32_t Word()
    {
        std::uint32_t w = 0;
        for (int i = 0; i < 4; ++i)
            w |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return w;
    }
    std::uint8_t Byte() { return m_i < m_n ? m_p[m_i++] : 0xFF; }
    bool Empty() const { return m_i >= m_n; }

private:
    const std::uint8_t* m_p;
    std::size_t m_n;
    std::size_t m_i = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    CInput in(pData, nSize);
    CTextMemoryReader reader;
    reader.BeginDirectory();
    std::deque<std::uint32_t> pending;
    for (int i = 0; i < TEXT_DIRECTORY_WORDS; ++i)
        pending.push_back(TEXT_MEMORY_START + 4u * i);
    bool bFinished = false;
    unsigned nStored = 0;
    int nSteps = 0;
    while (!pending.empty()) {
        if (++nSteps > 2000)
            std::abort(); // the read-back must end
        // Now and then a reply nobody asked for (a terminal user's read),
        // handled like any other.
        std::uint32_t a;
        if (!in.Empty() && (in.Byte() & 0x0F) == 0) {
            a = in.Word();
        } else {
            a = pending.front();
            pending.pop_front();
            if (a < TEXT_MEMORY_START || a >= TEXT_MEMORY_END || a % 4 != 0)
                std::abort(); // a read outside the text memory
        }
        const CTextMemoryReader::SStep step = reader.OnWord(a, in.Word());
        for (int n = 1; n <= TEXT_SECTION_COUNT; ++n) {
            if (!(step.nStoreMask & (1u << (n - 1))))
                continue;
            if (nStored & (1u << (n - 1)))
                std::abort(); // a section stored twice
            nStored |= 1u << (n - 1);
            bool bTerminated = false;
            for (int k = 0; k <= TEXT_COLLECT_UNITS && !bTerminated; ++k)
                bTerminated = step.aszText[n - 1][k] == 0;
            if (!bTerminated)
                std::abort();
        }
        if (step.nReadSection) {
            const std::uint32_t start = reader.SectionStarts()[step.nReadSection];
            const std::uint32_t length = reader.SectionLengths()[step.nReadSection];
            if (length == 0 || length > TEXT_SECTION_MAX_UNITS)
                std::abort();
            const std::uint32_t bytes = static_cast<std::uint8_t>(2 * length);
            for (std::uint32_t off = 0; off < bytes; off += 4)
                pending.push_back(start + off);
        }
        if (step.bFinished) {
            if (bFinished)
                std::abort();
            bFinished = true;
        }
    }
    if (!bFinished)
        std::abort(); // the marker would never be queued
    return 0;
}
