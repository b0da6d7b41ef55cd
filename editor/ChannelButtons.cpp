#include "editor/ChannelButtons.h"

#include "model/ChannelConfig.h"
#include "resources/resource.h"

namespace {

constexpr CChannelButtons::SButton s_aButtons[] = {
    {IDC_CH_LEFT, CHANNEL_LEFT, 0},          {IDC_CH_LEFT_CENTER, CHANNEL_LEFT_CENTER, 6},
    {IDC_CH_CENTER, CHANNEL_CENTER, 1},      {IDC_CH_RIGHT_CENTER, CHANNEL_RIGHT_CENTER, 7},
    {IDC_CH_RIGHT, CHANNEL_RIGHT, 2},        {IDC_CH_SUBWOOFER, CHANNEL_SUBWOOFER, 4},
};

} // namespace

const CChannelButtons::SButton* CChannelButtons::Begin() { return s_aButtons; }
std::size_t CChannelButtons::Count() { return sizeof s_aButtons / sizeof s_aButtons[0]; }

const CChannelButtons::SButton* CChannelButtons::Find(int nButton)
{
    for (const auto& b : s_aButtons)
        if (b.nButton == nButton)
            return &b;
    return nullptr;
}

int CChannelButtons::SiblingNumberOfButton(int nButton)
{
    const SButton* p = Find(nButton);
    return p ? p->nSibling : -1;
}

int CChannelButtons::ButtonOfSiblingNumber(int nSibling)
{
    for (const auto& b : s_aButtons)
        if (b.nSibling == nSibling)
            return b.nButton;
    return IDC_CH_LEFT; // any other number: Left
}

int CChannelButtons::ChannelOfButton(int nButton)
{
    const SButton* p = Find(nButton);
    return p ? p->nChannel : -1;
}

int CChannelButtons::ButtonOfChannel(int nChannel)
{
    for (const auto& b : s_aButtons)
        if (b.nChannel == nChannel)
            return b.nButton;
    return -1;
}
