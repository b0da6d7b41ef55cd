#include "editor/EditStepNames.h"

#include <iterator>

#include "editor/FieldRules.h"
#include "model/ChannelFields.h"
#include "resources/resource.h"

namespace {

// A name is its kind in the high bits and a detail (control id, handle) below.
enum EKind : int { KIND_CONTROL = 1, KIND_DRAG, KIND_LEVEL, KIND_HP_Q, KIND_SPEAKER_LIBRARY, KIND_COPY_CHANNEL, KIND_PROFILE };
constexpr int KIND_SHIFT = 16;
constexpr int Make(EKind eKind, int nDetail = 0) { return (eKind << KIND_SHIFT) | (nDetail & 0xFFFF); }

struct SName {
    int nDetail;
    const char16_t* psz;
};

// The Mute and Invert buttons (the fields go by their labels).
const SName s_aButtons[] = {
    {IDC_LOW_MUTE, u"Low Mute"},   {IDC_LOW_INVERT, u"Low Invert"},   {IDC_MID_MUTE, u"Mid Mute"},
    {IDC_MID_INVERT, u"Mid Invert"}, {IDC_HIGH_MUTE, u"High Mute"}, {IDC_HIGH_INVERT, u"High Invert"},
};

// A field's label as a person reads it on the form, without its closing
// point ("Low LP Freq.": "Low LP Freq").
std::u16string FieldName(const SFieldRule& rule)
{
    std::u16string name;
    for (const char* p = GetChannelFieldLabel(rule.eField); *p; ++p)
        name.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
    if (!name.empty() && name.back() == u'.')
        name.pop_back();
    return name;
}

// The plot's handles 1..10, named after the filter each one drags.
const char16_t* const s_apszDrags[] = {
    u"Low LP Filter", u"Low PEQ", u"Mid HP Filter", u"Mid LP Filter", u"Mid PEQ",
    u"High HP Filter", u"High PEQ", u"SEQ", u"HEQ", u"HP Filter",
};

} // namespace

int CEditStepNames::OfControl(int nId) { return Make(KIND_CONTROL, nId); }
int CEditStepNames::OfDrag(int nAdjuster) { return Make(KIND_DRAG, nAdjuster); }
int CEditStepNames::Level() { return Make(KIND_LEVEL); }
int CEditStepNames::HPQ() { return Make(KIND_HP_Q); }
int CEditStepNames::SpeakerLibrary() { return Make(KIND_SPEAKER_LIBRARY); }
int CEditStepNames::CopyChannel() { return Make(KIND_COPY_CHANNEL); }
int CEditStepNames::ProfileInformation() { return Make(KIND_PROFILE); }

std::u16string CEditStepNames::Text(int nWhat)
{
    if (nWhat < 0)
        return {};
    const int nDetail = nWhat & 0xFFFF;
    switch (nWhat >> KIND_SHIFT) {
    case KIND_CONTROL:
        if (const SFieldRule* pRule = CFieldRules::Find(nDetail))
            return FieldName(*pRule);
        for (const SName& n : s_aButtons)
            if (n.nDetail == nDetail)
                return n.psz;
        return {};
    case KIND_DRAG:
        if (nDetail >= 1 && nDetail <= static_cast<int>(std::size(s_apszDrags)))
            return s_apszDrags[nDetail - 1];
        return {};
    case KIND_LEVEL: return u"Channel Level";
    case KIND_HP_Q: return u"HP Q";
    case KIND_SPEAKER_LIBRARY: return u"Speaker Library";
    case KIND_COPY_CHANNEL: return u"Copy Channel";
    case KIND_PROFILE: return u"Profile Information";
    default: return {};
    }
}
