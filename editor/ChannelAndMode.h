#pragma once
// Which channel and which mode the form shows: a channel button, the
// sibling program's channel message, Undo's step on another channel, and
// the Biamp/Triamp buttons.  A channel change drops a held value and ends
// the open edit (both belong to the channel they were made on), then shows
// the channel through the set; a mode change asks first, sends the system
// flags and resets the set's mode values, and while connected reads every
// channel back.

#include <windows.h>

class CConfigurationSet;
class CEditRecorder;
class CReadBack;
class IEditorView;

class CChannelAndMode {
public:
    CChannelAndMode(CConfigurationSet& config, IEditorView& view, CEditRecorder& recorder, CReadBack& readBack)
        : m_config(config), m_view(view), m_recorder(recorder), m_readBack(readBack)
    {
    }
    CChannelAndMode(const CChannelAndMode&) = delete;
    CChannelAndMode& operator=(const CChannelAndMode&) = delete;

    // Shows channel nChannel (0..5) as a click on its button does, telling a
    // linked sibling program.
    void ShowChannel(int nChannel);
    // The sibling program showed its channel number nNumber.
    void OnSiblingChannel(int nNumber);
    // Checks the mode button of nMode.
    void ShowMode(int nMode);
    // Asks, then switches every channel to the mode of the checked mode button.
    void ChangeMode();

private:
    // Shows the channel of a channel button (201..206).  Returns its number
    // in the sibling program, or -1 when it is the channel already shown.
    int SelectChannel(int nButton);
    void CheckButton(int nButton);

    CConfigurationSet& m_config;
    IEditorView& m_view;
    CEditRecorder& m_recorder;
    CReadBack& m_readBack;
};
