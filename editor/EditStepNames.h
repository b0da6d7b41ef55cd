#pragma once
// What the Edit menu calls each kind of step ("Undo Low LP Freq", "Undo
// Speaker Library"): a step's name is a number that says which gesture
// made it (a field, a handle of the plot, the level, a button, a dialog),
// and this class gives its text.  Portable: the recorder and the tests use it.

#include <string>

class CEditStepNames {
public:
    // Steps of the form's controls, by control id (fields, Mute/Invert).
    static int OfControl(int nId);
    // A drag of plot handle 1..10.
    static int OfDrag(int nAdjuster);
    static int Level();
    static int HPQ();
    static int SpeakerLibrary();
    static int CopyChannel();
    static int ProfileInformation();

    // The text of a step's name; empty for numbers that name no step.
    static std::u16string Text(int nWhat);
};
