#include "editor/TextMemorySync.h"

#include <algorithm>
#include <iterator>

#include "device/Comm.h"
#include "model/ConfigurationSet.h"
#include "model/ParameterMap.h"
#include "model/TextMemory.h"

void CTextMemorySync::Write()
{
    // The names are the channel set's: a name changes only there (the
    // working copy takes it from the set).
    const CChannelConfig* apNames[TEXT_NAME_SECTIONS];
    for (int c = 0; c < TEXT_NAME_SECTIONS; ++c)
        apNames[c] = &m_config.Record(c);
    CTextMemory::STexts texts;
    CTextMemory::CollectTexts(m_config.Profile(), apNames, texts);
    STextMemoryImage image;
    CTextMemory::Build(texts, image);
    std::copy(std::begin(image.adwDirectory), std::end(image.adwDirectory), std::begin(g_adwTextDirectory));

    // Flash wears with every erase: a unit that holds these very texts (as
    // read back, or as written since) is left alone.
    if (!g_Comm.IsOpen() || m_reader.UnitHolds(image))
        return;
    // Erase, the texts, then the directory last: a write cut short leaves a
    // directory that is erased (never written) rather than one that points
    // at half-written texts.
    int nQueued = 0;
    bool bOk = g_Comm.QueueCommand(CMD_ERASE, 0, TEXT_MEMORY_START, TEXT_MEMORY_BYTES);
    nQueued += bOk ? 1 : 0;
    std::uint32_t dwAddress = TEXT_AREA_START;
    for (std::uint32_t dwWord : image.adwText) {
        if (!bOk)
            break;
        bOk = g_Comm.QueueCommand(CMD_WRITE_WORD, 0, dwAddress, dwWord);
        nQueued += bOk ? 1 : 0;
        dwAddress += 4;
    }
    for (int i = 0; bOk && i < TEXT_DIRECTORY_WORDS; ++i) {
        bOk = g_Comm.QueueCommand(CMD_WRITE_WORD, 0, TEXT_MEMORY_START + 4u * static_cast<std::uint32_t>(i),
                                  image.adwDirectory[i]);
        nQueued += bOk ? 1 : 0;
    }
    // A link that closed while the writes were queued took none of them.
    if (!bOk || !g_Comm.IsOpen()) {
        m_reader.ForgetUnitImage();
        return;
    }
    m_nOwnReplies += nQueued;
    m_reader.SetUnitImage(image);
}

void CTextMemorySync::OnWriteReply()
{
    // Someone else (the terminal, a firmware download) wrote the unit's
    // memory: the next text write cannot rely on what it held.
    if (m_nOwnReplies > 0)
        --m_nOwnReplies;
    else
        m_reader.ForgetUnitImage();
}
