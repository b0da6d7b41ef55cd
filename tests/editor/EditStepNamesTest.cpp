#include <gtest/gtest.h>

#include <set>
#include <string>

#include "editor/EditStepNames.h"
#include "editor/FieldRules.h"
#include "resources/resource.h"

namespace {

// The Edit menu names every step after what the form shows: a field by its
// label (without the label's closing point), each Mute and Invert button,
// each plot handle; a number that names no step has no text.
TEST(EditStepNames, EveryGestureHasItsOwnName)
{
    std::set<std::u16string> names;
    for (std::size_t i = 0; i < CFieldRules::Count(); ++i) {
        const std::u16string name = CEditStepNames::Text(CEditStepNames::OfControl(CFieldRules::Begin()[i].nId));
        EXPECT_FALSE(name.empty() || name.back() == u'.') << CFieldRules::Begin()[i].nId;
        names.insert(name);
    }
    EXPECT_EQ(CEditStepNames::Text(CEditStepNames::OfControl(IDC_LOW_LP_FREQ)), u"Low LP Freq");
    EXPECT_EQ(CEditStepNames::Text(CEditStepNames::OfControl(IDC_DELAY)), u"CH Delay");
    for (int nId : {IDC_LOW_MUTE, IDC_LOW_INVERT, IDC_MID_MUTE, IDC_MID_INVERT, IDC_HIGH_MUTE, IDC_HIGH_INVERT})
        names.insert(CEditStepNames::Text(CEditStepNames::OfControl(nId)));
    for (int nAdjuster = 1; nAdjuster <= 10; ++nAdjuster)
        names.insert(CEditStepNames::Text(CEditStepNames::OfDrag(nAdjuster)));
    for (int nWhat : {CEditStepNames::Level(), CEditStepNames::HPQ(), CEditStepNames::SpeakerLibrary(),
                      CEditStepNames::CopyChannel(), CEditStepNames::ProfileInformation()})
        names.insert(CEditStepNames::Text(nWhat));
    EXPECT_EQ(names.size(), CFieldRules::Count() + 6 + 10 + 5); // all different, none empty
    EXPECT_FALSE(names.count(u""));
    EXPECT_EQ(CEditStepNames::Text(CEditStepNames::SpeakerLibrary()), u"Speaker Library");
    EXPECT_EQ(CEditStepNames::Text(CEditStepNames::CopyChannel()), u"Copy Channel");
    EXPECT_EQ(CEditStepNames::Text(-1), u"");
    EXPECT_EQ(CEditStepNames::Text(CEditStepNames::OfControl(IDC_SPEAKER)), u"");
    EXPECT_EQ(CEditStepNames::Text(CEditStepNames::OfDrag(11)), u"");
}

} // namespace
