#pragma once
// Keeps the unit's text memory (the profile texts and the five speaker
// names) in step with the configuration: writes it when the texts changed,
// counts the replies to its own writes so that any other write or erase
// reply (the terminal, a firmware download) makes it forget what the unit
// holds, and keeps the reader of the text memory the read-back uses.

#include <cstdint>

#include "model/TextMemoryReader.h"

class CConfigurationSet;

class CTextMemorySync {
public:
    explicit CTextMemorySync(const CConfigurationSet& config) : m_config(config) {}
    CTextMemorySync(const CTextMemorySync&) = delete;
    CTextMemorySync& operator=(const CTextMemorySync&) = delete;

    // Stores the profile and the speaker names of the set's entries in the
    // unit's text memory (and in the process-wide directory copy).  Nothing
    // is sent when the unit is known to hold exactly these texts already,
    // or when the link is closed.
    void Write();
    // A reply to a write or an erase of the unit's memory arrived.
    void OnWriteReply();
    // A read-back starts, or the link closed: no reply of an earlier write
    // is still to come.
    void ForgetPendingReplies() { m_nOwnReplies = 0; }

    // The unit's text memory as far as the read-back and the writes tell.
    CTextMemoryReader& Reader() { return m_reader; }

private:
    const CConfigurationSet& m_config;
    CTextMemoryReader m_reader;
    // Replies to this program's own text-memory writes still to come.
    int m_nOwnReplies = 0;
};
