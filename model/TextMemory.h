#pragma once
// The unit's text memory: the profile's four texts and the speaker names of
// channels 0..4, kept in the unit so that it carries its own description.
//
//   0x90060000  21 words: the directory (word 0 is 1 once written, erased
//               memory reads 0xFFFFFFFF; words 1..18 start address and
//               length in UTF-16 units of sections 1..9; word 19 the address
//               just past the last text word; word 20 zero)
//   0x90060054  the texts, two UTF-16 units a word (the earlier unit in the
//               low half), one after another without gaps
//
// Sections: 1 project, 2 theater, 3 screen number, 4 comments, 5..9 the
// speaker names of channels 0..4 (the Subwoofer's name is not stored).

#include <cstdint>
#include <vector>

class CProfileInfo;
class CChannelConfig;

constexpr std::uint32_t TEXT_MEMORY_START = 0x90060000;
constexpr std::uint32_t TEXT_MEMORY_BYTES = 0x10000;
constexpr std::uint32_t TEXT_MEMORY_END = TEXT_MEMORY_START + TEXT_MEMORY_BYTES; // first address after
constexpr int TEXT_DIRECTORY_WORDS = 21;
constexpr std::uint32_t TEXT_DIRECTORY_LAST = TEXT_MEMORY_START + 4 * (TEXT_DIRECTORY_WORDS - 1); // 0x90060050
constexpr std::uint32_t TEXT_AREA_START = TEXT_MEMORY_START + 4 * TEXT_DIRECTORY_WORDS;         // 0x90060054
constexpr int TEXT_SECTION_COUNT = 9;
constexpr int TEXT_NAME_SECTIONS = 5; // sections 5..9: channels 0..4
constexpr int TEXT_FIRST_NAME_SECTION = 5;
constexpr std::uint32_t TEXT_DIRECTORY_WRITTEN = 1;
constexpr std::uint32_t TEXT_MEMORY_ERASED = 0xFFFFFFFF;
constexpr int TEXT_DIRECTORY_END_WORD = 19;
// Longest text a section can hold in the read-back's collection buffer.
constexpr int TEXT_COLLECT_UNITS = 128;
// A section is read with an 8-bit byte count: at most 127 units (64 words).
constexpr std::uint32_t TEXT_SECTION_MAX_UNITS = 127;

// Directory words of section n (1..9).
constexpr int TextSectionStartWord(int nSection) { return 2 * nSection - 1; }
constexpr int TextSectionLengthWord(int nSection) { return 2 * nSection; }

// The words of one section's text: units 2k and 2k+1 in word k (units past
// the text are 0, so an odd-length text ends with an upper half of 0).
std::uint32_t PackTextUnits(char16_t uLow, char16_t uHigh);

// What the program writes: the directory and the text words from
// TEXT_AREA_START on, in order.
struct STextMemoryImage {
    std::uint32_t adwDirectory[TEXT_DIRECTORY_WORDS] = {};
    std::vector<std::uint32_t> adwText;

    bool operator==(const STextMemoryImage& o) const;
};

class CTextMemory {
public:
    // The nine texts in section order, read out with the program's bounds
    // (32, 32, 4, 128 and 32 units with the terminator).
    struct STexts {
        char16_t aszText[TEXT_SECTION_COUNT][TEXT_COLLECT_UNITS] = {};
    };
    // The profile's texts and the speaker names of channels 0..4 ("Unknown"
    // for an empty name, as GetSpeakerName gives it).
    static void CollectTexts(const CProfileInfo& profile, const CChannelConfig* const apChannels[TEXT_NAME_SECTIONS],
                             STexts& texts);
    // The image of the texts: each section's length, its start address (0
    // for an empty project name; for another empty section the address where
    // the next text begins), the words, the end address in word 19.
    static void Build(const STexts& texts, STextMemoryImage& image);
    // Largest number of units section n (1..9) is written with.
    static int SectionUnits(int nSection);
};

// The process-wide copy of the unit's text directory: filled by each write of
// the text memory and by each read-back.
extern std::uint32_t g_adwTextDirectory[TEXT_DIRECTORY_WORDS];
