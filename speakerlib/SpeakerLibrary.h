#pragma once
// A speaker library file: an INI file of UTF-16 little-endian text in which
// every section is one loudspeaker preset.  This class decodes the bytes of
// a whole file and answers the profile-style questions the speaker library
// dialog asks: the sections in file order, and the value of a key of a
// section (section and key names match ignoring case).
//
// The file comes from outside the program, so every rule is explicit:
// - Encoding: UTF-16LE with its byte-order mark FF FE, or without a mark
//   when the first character is in the ASCII range; anything else (UTF-8,
//   UTF-16BE, an odd byte count, ANSI text) is refused as a whole.  The text
//   ends at the first NUL.  Files over MAX_FILE_BYTES are refused.
// - Lines end at CR, LF or both.  A line whose first non-blank character is
//   "[" names a section: the text up to the first "]" on that line, blanks
//   trimmed.  A "[" with no "]" on its line, an empty name and a name longer
//   than MAX_NAME_UNITS start no section (their keys belong to none).  A "["
//   anywhere else (in a value or a comment) is plain text.
// - A later section whose name equals an earlier one (ignoring case) is a
//   duplicate: it is not listed again and its keys are ignored; the first
//   one's keys answer.  Within a section the first line of a key answers.
// - "key=value" lines: key and value trimmed of blanks, one pair of
//   matching surrounding quotes removed from the value.  Lines starting
//   with ";" or "#" and lines without "=" are ignored.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class CSpeakerLibrary {
public:
    static constexpr std::size_t MAX_FILE_BYTES = 1024 * 1024;
    // The longest section name that is a preset (the list takes item texts
    // of up to 63 characters; the channel keeps the first 31 of them).
    static constexpr std::size_t MAX_NAME_UNITS = 63;

    enum class ELoad { Ok, NotUtf16, TooLarge };

    // Decodes and indexes a whole file.  Anything held before is dropped;
    // after a refusal the library is empty.
    ELoad Load(const std::uint8_t* pBytes, std::size_t nBytes);
    void Clear();

    // Section names in file order, duplicates left out.
    const std::vector<std::u16string>& Sections() const { return m_names; }
    // The value of a key, or nullptr when the section or the key is missing.
    const std::u16string* Find(const std::u16string& section, const char16_t* pszKey) const;
    bool HasSection(const std::u16string& section) const;
    // The section's name as the file spells it, or nullptr when missing.
    const std::u16string* SectionName(const std::u16string& section) const;

private:
    struct SSection {
        std::u16string name;
        std::vector<std::pair<std::u16string, std::u16string>> keys;
    };
    const SSection* FindSection(const std::u16string& section) const;
    void Parse(const std::u16string& text);

    std::vector<SSection> m_sections;
    std::vector<std::u16string> m_names;
    std::unordered_map<std::u16string, std::size_t> m_index; // case-folded name -> section
};
