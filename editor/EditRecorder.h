#pragma once
// The editor form's side of Undo and Redo: it tells the edit history when a
// gesture of the user begins and ends (the form calls Begin before a
// control changes the configuration and End when the gesture is over), puts
// a step's values back into the channel set and the working copy with
// sending on, shows the step's channel and refreshes the form, and keeps
// the Edit menu's texts.

#include <windows.h>

#include "model/EditHistory.h"

class CConfigurationSet;
class CTextMemorySync;
class IEditorView;

class CEditRecorder {
public:
    CEditRecorder(CConfigurationSet& config, IEditorView& view, CTextMemorySync& textMemory)
        : m_config(config), m_view(view), m_textMemory(textMemory)
    {
    }
    CEditRecorder(const CEditRecorder&) = delete;
    CEditRecorder& operator=(const CEditRecorder&) = delete;

    // A gesture named nWhat (CEditStepNames) is about to change the
    // configuration; Begin of the gesture already open continues it.
    void Begin(int nWhat);
    // The open gesture is over: what it changed becomes a step.
    void End();
    // The same when the open gesture is nWhat (a field losing the focus to
    // a dialog must not end the dialog's gesture).
    void End(int nWhat);
    // The configuration was replaced wholesale: nothing to undo or redo.
    void Clear();

    // Begin ... End around one handler (a click, a dialog's OK).
    class CGesture {
    public:
        CGesture(CEditRecorder& recorder, int nWhat) : m_recorder(recorder) { m_recorder.Begin(nWhat); }
        ~CGesture() { m_recorder.End(); }
        CGesture(const CGesture&) = delete;
        CGesture& operator=(const CGesture&) = delete;

    private:
        CEditRecorder& m_recorder;
    };

    // The Edit menu's commands.  Undo first puts back the applied value of
    // a focused field whose text is not applied (red, or waiting: a held
    // value is dropped, its colour goes); Redo drops a held value first.
    void Undo();
    void Redo();
    // Texts and states of the Edit menu's items.
    void UpdateMenu(HMENU hMenu);

    const CEditHistory& History() const { return m_history; }

private:
    CConfigImage Now();
    void Walk(bool bUndo);
    void ApplyStep(const CEditHistory::SStep& step, bool bUndo);
    // The focused field of the form, when its text is not the value it
    // applied; nullptr otherwise.
    HWND UnappliedField();

    CConfigurationSet& m_config;
    IEditorView& m_view;
    CTextMemorySync& m_textMemory;
    CEditHistory m_history;
};
