#pragma once
// What the editor's helpers (the read-back, Undo and Redo, the commands that
// open dialogs) may ask of the form that shows the configuration, and no
// more: its windows, bringing the screen up to date, showing a channel or a
// mode, and its one rule for a typed value that waits.  They read and write
// the configuration itself through CConfigurationSet, never through the form.

#include <windows.h>

class IEditorView {
public:
    // The form (owner of their message boxes, disabled during a read-back)
    // and the response plot inside it.
    virtual HWND FormWindow() const = 0;
    virtual HWND PlotWindow() const = 0;
    // Every control and the curves from the configuration as it stands.
    virtual void RefreshAll() = 0;
    // Shows channel nChannel (0..5) as a click on its button does, telling a
    // linked sibling program.
    virtual void ShowChannel(int nChannel) = 0;
    // Checks the mode button of nMode (the configuration's mode is the set's).
    virtual void ShowMode(int nMode) = 0;
    // A read-back runs: the form takes no input.
    virtual bool IsReadingBack() const = 0;
    // A field holds a typed value that waits to be applied; DropHeldValue
    // drops it (never sent) before the program acts on its own.
    virtual bool HoldsValue() const = 0;
    virtual bool DropHeldValue() = 0;

protected:
    ~IEditorView() = default;
};
