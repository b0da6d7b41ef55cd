#pragma once
// CUnitReadPlan: which requests read the unit back: the reads of one
// channel (the parameter map's plan for the mode) and the word reads of one
// stored text section, from the section table that the unit's text
// directory gives.  The queue turns each into requests; the plan holds the
// table between the directory's answer and the sections' reads.

#include <cstdint>
#include <vector>

class CUnitReadPlan {
public:
    // Sections 1..9 (0 is the directory itself).
    static constexpr int SECTION_COUNT = 10;

    struct SRead {
        bool bRaw = false;           // a raw command (an output read) rather than a GET
        std::uint8_t bParameter = 0; // GET: the parameter
        std::uint32_t dwAddress = 0; // raw: the output's address
    };

    // The reads of one channel in mode 2 or 3: the parameter GETs in order,
    // then the output reads; none for a channel outside 0..5.
    static std::vector<SRead> Channel(int nChannel, int nMode);

    // The stored text sections 1..9 (start address, length in UTF-16 units);
    // index 0 is ignored.  Until set, every section is empty.
    void SetSectionTable(const std::uint32_t adwStart[SECTION_COUNT], const std::uint32_t adwLength[SECTION_COUNT]);
    // The same, from the 21 words of the text directory (words 1..18).
    void SetSectionTableFromDirectory(const std::uint32_t adwDirectory[21]);

    // The word addresses that read section nSection (0 or less: the
    // directory).  Empty sections are skipped and nSection tells where
    // reading went on; nothing when no section is left.  A section is read
    // as at most 255 bytes: a corrupt directory cannot make a read run away.
    std::vector<std::uint32_t> MemoryWords(int& nSection) const;

private:
    std::uint32_t m_adwStart[SECTION_COUNT] = {};
    std::uint32_t m_adwLength[SECTION_COUNT] = {};
};
