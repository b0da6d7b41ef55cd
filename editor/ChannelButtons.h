#pragma once
// The form's six channel buttons: which channel each shows, where it stands
// on screen, and the number the sibling program gives that channel (the
// sibling numbers its channels its own way).  Portable: the form, the edit
// recorder and the tests share this one table.

#include <cstddef>

class CChannelButtons {
public:
    struct SButton {
        int nButton;  // control id (IDC_CH_*)
        int nChannel; // channel index 0..5
        int nSibling; // the sibling program's number of the channel
    };

    // The buttons in screen order (left to right).
    static const SButton* Begin();
    static std::size_t Count();

    // The sibling program's number of a button's channel; -1 for no button.
    static int SiblingNumberOfButton(int nButton);
    // The button of a sibling number; any number the table does not know
    // shows Left.
    static int ButtonOfSiblingNumber(int nSibling);
    // A button's channel, and a channel's button; -1 when there is none.
    static int ChannelOfButton(int nButton);
    static int ButtonOfChannel(int nChannel);

private:
    static const SButton* Find(int nButton);
};
