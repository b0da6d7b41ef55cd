#pragma once
// The read-back of the unit's text memory, one memory word reply at a time.
//
// The replies are data from outside the program and are checked before
// anything is read on their say-so.  The directory is taken as written only
// when word 0 is 1 (an erased word 0 means never written; any other value
// means unreadable: the texts are skipped either way and the program keeps
// its own).  A section is read only when it lies whole inside the text area
// (from 0x90060054 up to the end address of word 19, or the end of the area
// when word 19 itself is out of it), is word-aligned, is no longer than the
// 127 units one read can carry, and starts at or after the end of the
// section read before it; a section that breaks any of this is skipped and
// its field keeps the program's value.  A section of length 0 is a text the
// unit holds empty.  Whatever the directory holds, the read-back always ends:
// Finished is reported after the last section read, or at once when there is
// nothing to read.

#include <cstdint>
#include <map>

#include "model/TextMemory.h"

class CTextMemoryReader {
public:
    enum class EDirectory { None, Erased, Unreadable, Written };

    // What the caller does after one reply.
    struct SStep {
        // Texts to store (section 1..9 -> the profile field or speaker name):
        // bit n-1 of nStoreMask; the text is in aszText[n-1].
        unsigned nStoreMask = 0;
        char16_t aszText[TEXT_SECTION_COUNT][TEXT_COLLECT_UNITS + 1] = {};
        // Queue the word reads of this section (1..9), 0 for none.
        int nReadSection = 0;
        // Queue the end-of-read marker: the text read-back is over.
        bool bFinished = false;
    };

    // A read-back starts: the directory's words are expected.
    void BeginDirectory();
    // A read-back ended early (link lost or closed).
    void Abort();
    bool IsActive() const { return m_eState != EState::Idle; }

    // One memory word read from the unit.  Words outside a read-back, words
    // of another address than the one expected next and words outside the
    // text memory change nothing.
    SStep OnWord(std::uint32_t dwAddress, std::uint32_t dwValue);

    // The checked section table, as the queue reads it: start and length of
    // sections 1..9 (index 0 unused); skipped and empty sections have length 0.
    const std::uint32_t* SectionStarts() const { return m_adwStart; }
    const std::uint32_t* SectionLengths() const { return m_adwLength; }
    EDirectory GetDirectoryState() const { return m_eDirectory; }
    // The next section after nAfter that has words to read, 0 for none.
    int NextSection(int nAfter) const;
    // Bit n-1: section n was skipped as malformed.
    unsigned GetSkippedMask() const { return m_nSkippedMask; }

    // What the unit's text memory holds as far as the last complete
    // read-back or write tells: true and the image when every section was
    // read (or written) whole.  A write that the program did not make (or
    // does not know the outcome of) must forget it.
    bool KnowsUnitImage() const { return m_bKnown; }
    bool UnitHolds(const STextMemoryImage& image) const;
    void SetUnitImage(const STextMemoryImage& image);
    void ForgetUnitImage() { m_bKnown = false; }

    // The checks of the directory on their own (the 21 words as read).
    static EDirectory CheckDirectory(const std::uint32_t (&adwDirectory)[TEXT_DIRECTORY_WORDS],
                                     std::uint32_t (&adwStart)[TEXT_SECTION_COUNT + 1],
                                     std::uint32_t (&adwLength)[TEXT_SECTION_COUNT + 1], unsigned& nSkippedMask);

private:
    enum class EState { Idle, Directory, Text };

    void StartSection(int nSection, SStep& step);
    void Finish(SStep& step);

    EState m_eState = EState::Idle;
    EDirectory m_eDirectory = EDirectory::None;
    std::uint32_t m_adwStart[TEXT_SECTION_COUNT + 1] = {};
    std::uint32_t m_adwLength[TEXT_SECTION_COUNT + 1] = {};
    unsigned m_nSkippedMask = 0;
    unsigned m_nDirectorySeen = 0; // bit i: directory word i arrived (they arrive in order)

    int m_nSection = 0;
    std::uint32_t m_dwExpected = 0;
    char16_t m_aBuffer[TEXT_COLLECT_UNITS] = {};
    int m_nCount = 0;

    std::uint32_t m_adwReadDirectory[TEXT_DIRECTORY_WORDS] = {};
    std::map<std::uint32_t, std::uint32_t> m_mapRead; // text words of this read-back
    bool m_bKnown = false;
    std::uint32_t m_adwKnownDirectory[TEXT_DIRECTORY_WORDS] = {};
    std::map<std::uint32_t, std::uint32_t> m_mapKnown;
};
