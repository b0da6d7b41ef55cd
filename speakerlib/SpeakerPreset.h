#pragma once
// One loudspeaker preset of a speaker library: the values a section of the
// library gives to a channel, checked before they may go anywhere near the
// unit.
//
// Keys, in the order they are applied within each part of CWriteOrder
// (each sets one field of the record):
// LBD MBD HBD LBLP MBLP MBHP HBHP LBG MBG HBG LBPF LBPG LBPQ MBPF MBPG MBPQ
// HBPF HBPG HBPQ SEF SEG HEF HEG HPF HPQ.  A key whose library default is a
// value the editor accepts (delays 0, gains 0, EQ frequencies 40/800/4000,
// Q 1.0, shelves 10000 Hz / 0 dB) may be missing.  The crossover and filter
// keys have no safe default and are required: LBLP, HBHP, HPF, HPQ, and for
// a three-band preset MBLP and MBHP (a missing HBHP would be 0 Hz: full
// range on a compression driver).  Every value present must be a plain
// decimal number inside the bounds the editor's field accepts in the
// preset's mode; HPQ must be 0.707 or 2.0, the two the editor offers.  The
// Mid band keys of a two-band preset are neither checked nor applied: the
// Mid band does not exist in Biamp.  A preset with any fault is unusable as
// a whole and names the first faulty key.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "model/ChannelFields.h"

class CChannelConfig;
class CSpeakerLibrary;

class CSpeakerPreset {
public:
    static constexpr int KEY_COUNT = 25;
    // The longest value text taken from the file (longer ones are refused
    // rather than cut, which could change the number).
    static constexpr std::size_t MAX_VALUE_UNITS = 31;

    enum class EFault { None, Missing, NotANumber, OutOfRange };

    struct SKey {
        const char16_t* pszKey;
        EChannelField eField;
        float fltDefault;
        bool bRequired; // no safe default (three-band only for the Mid ones)
        bool bMid;      // Mid band: only in a three-band preset
    };
    static const SKey* Keys(); // KEY_COUNT entries in application order

    // The band count of a section: its "Bands" key, 2 when missing; 0 when
    // the value is not the integer 2 or 3 (the preset suits neither mode).
    static int BandsOf(const CSpeakerLibrary& library, const std::u16string& section);

    // Reads and checks the section for a band count (2 or 3).  Usable()
    // tells the result; a section missing from the library is unusable.
    void Read(const CSpeakerLibrary& library, const std::u16string& section, int nBands);

    bool Usable() const { return m_eFault == EFault::None; }
    EFault Fault() const { return m_eFault; }
    // The faulty key, its text from the file and the bounds it broke.
    const char16_t* FaultKey() const { return m_pszFaultKey; }
    const std::u16string& FaultValue() const { return m_faultValue; }
    EChannelField FaultField() const { return m_eFaultField; }
    const std::u16string& Name() const { return m_name; }
    int Bands() const { return m_nBands; }
    float Value(EChannelField eField) const;

    // Sets the record's fields through its setters (CWriteOrder), then the
    // speaker name.  Does nothing for an unusable preset.
    void ApplyTo(CChannelConfig& cfg, bool send) const;

    // The user's explanation of a fault, e.g. "\"X\" cannot be used: HBHP is missing."
    std::u16string DescribeFault() const;

    // The first of names[0..i) that a channel could not tell apart from
    // names[i] once stored (the same first 31 characters, ignoring case), or
    // -1.  Such a later preset is unusable: the channel's name would point at
    // the earlier one.
    static int EarlierWithSameStoredName(const std::vector<std::u16string>& names, std::size_t i);

    // Parses a whole value as a plain decimal number (sign, digits, point,
    // exponent; blanks around it).  False for anything else, including
    // hexadecimal, infinities, NaN and values that do not fit a float.
    static bool ParseNumber(const std::u16string& text, float& fltValue);

private:
    std::u16string m_name;
    int m_nBands = 0;
    EFault m_eFault = EFault::Missing;
    const char16_t* m_pszFaultKey = nullptr;
    EChannelField m_eFaultField = FIELD_NONE;
    std::u16string m_faultValue;
    std::array<float, KEY_COUNT> m_afltValues{};
};
