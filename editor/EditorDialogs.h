#pragma once
// The form's commands that open a dialog of their own and change the
// configuration with its OK: the Speaker Library (a preset onto up to five
// channels), Copy Channel (one channel's values onto others) and Profile
// Information.  Each is one step of Undo, drops a held value first (the
// dialog takes the focus), works on the set's entries with the shown
// channel's edits stored in, and brings the screen and the unit's text
// memory up to date after.

class CConfigurationSet;
class CEditRecorder;
class CTextMemorySync;
class IEditorView;

class CEditorDialogs {
public:
    CEditorDialogs(CConfigurationSet& config, IEditorView& view, CTextMemorySync& textMemory, CEditRecorder& recorder)
        : m_config(config), m_view(view), m_textMemory(textMemory), m_recorder(recorder)
    {
    }
    CEditorDialogs(const CEditorDialogs&) = delete;
    CEditorDialogs& operator=(const CEditorDialogs&) = delete;

    void SpeakerLibrary();
    void CopyChannel();
    void ProfileInformation();

private:
    CConfigurationSet& m_config;
    IEditorView& m_view;
    CTextMemorySync& m_textMemory;
    CEditRecorder& m_recorder;
};
