// The channel-button table: every channel has exactly one button and one
// sibling number, and each mapping finds its way back.
#include <gtest/gtest.h>

#include <set>

#include "editor/ChannelButtons.h"
#include "model/ChannelConfig.h"
#include "resources/resource.h"

TEST(ChannelButtons, EveryChannelHasOneButtonAndOneSiblingNumberBothWays)
{
    ASSERT_EQ(CChannelButtons::Count(), static_cast<std::size_t>(CHANNEL_COUNT));
    std::set<int> buttons, siblings;
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        SCOPED_TRACE(c);
        const int nButton = CChannelButtons::ButtonOfChannel(c);
        ASSERT_GE(nButton, IDC_CH_LEFT);
        ASSERT_LE(nButton, IDC_CH_SUBWOOFER);
        EXPECT_EQ(CChannelButtons::ChannelOfButton(nButton), c);
        const int nSibling = CChannelButtons::SiblingNumberOfButton(nButton);
        EXPECT_EQ(CChannelButtons::ButtonOfSiblingNumber(nSibling), nButton);
        buttons.insert(nButton);
        siblings.insert(nSibling);
    }
    EXPECT_EQ(buttons.size(), static_cast<std::size_t>(CHANNEL_COUNT));
    EXPECT_EQ(siblings.size(), static_cast<std::size_t>(CHANNEL_COUNT));
    // Screen order: Left, Left Center, Center, Right Center, Right, Subwoofer.
    const int order[] = {CHANNEL_LEFT, CHANNEL_LEFT_CENTER, CHANNEL_CENTER, CHANNEL_RIGHT_CENTER, CHANNEL_RIGHT,
                         CHANNEL_SUBWOOFER};
    for (std::size_t i = 0; i < CChannelButtons::Count(); ++i)
        EXPECT_EQ(CChannelButtons::Begin()[i].nChannel, order[i]);
}

TEST(ChannelButtons, WhatTheTableDoesNotKnowMapsToNothingAndAnUnknownSiblingNumberToLeft)
{
    EXPECT_EQ(CChannelButtons::ChannelOfButton(IDC_CH_LEFT - 1), -1);
    EXPECT_EQ(CChannelButtons::SiblingNumberOfButton(IDC_CH_SUBWOOFER + 1), -1);
    EXPECT_EQ(CChannelButtons::ButtonOfChannel(CHANNEL_COUNT), -1);
    EXPECT_EQ(CChannelButtons::ButtonOfChannel(-1), -1);
    for (int n : {-1, 3, 5, 8, 1000})
        EXPECT_EQ(CChannelButtons::ButtonOfSiblingNumber(n), IDC_CH_LEFT) << n;
}
