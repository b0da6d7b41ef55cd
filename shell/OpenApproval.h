#pragma once
// Whether a configuration file that is complete and well formed may take
// the place of the configuration in use, asked when Open has read the whole
// file and before anything of it is applied or sent.  A file whose record
// claims another channel than its place is refused as damaged, naming the
// record and the index it claims.  A file holding a value
// that is not a number is refused with a message naming each such value by
// channel and field; a file whose values the editor would not accept in the
// unit's current mode is applied only when the user says Yes to a question
// naming them (No is the default); anything else opens without a word.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/ConfigCheck.h"

class CChannelConfig;

class COpenApproval {
public:
    // The longest list a message shows; the rest are counted.
    static constexpr std::size_t MAX_LISTED = 10;

    // Decides for the file's bytes (pImage, cb: the complete file) against
    // the six records in use (pCurrent, by position) in mode nMode, showing
    // the refusal or the question owned by hOwner.  True: apply the file.
    static bool Approve(HWND hOwner, const wchar_t* pszPath, const std::uint8_t* pImage, std::size_t cb,
                        const CChannelConfig* const (&pCurrent)[6], int nMode);

    // The lines of the messages, one per named value ("Center: High Gain is
    // NaN", "Left: HP Freq. is 45 (the editor takes 20 to 40 Hz)"), at most
    // MAX_LISTED and then "and N more".
    static std::wstring ListValues(const std::vector<CConfigCheck::SFinding>& named, int nMode);
};
