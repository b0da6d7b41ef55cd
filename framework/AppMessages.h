#pragma once
// The program's own window message numbers (fixed values).

constexpr unsigned WM_FIELD_FOCUS = 2036;     // edit field -> editor form: wParam id, lParam window
constexpr unsigned WM_GET_FIELD_ERROR = 2037; // editor form -> edit field
constexpr unsigned WM_SET_FIELD_ERROR = 2038; // editor form -> edit field: wParam 0/1
constexpr unsigned WM_FIELD_CHANGED = 2039;   // edit field -> editor form: wParam id, lParam window
constexpr unsigned WM_FIELD_KEYDOWN = 2040;   // edit field -> editor form: wParam id, lParam virtual key
constexpr unsigned WM_ADJUSTER_MOVED = 2041;  // plot -> editor form: wParam adjuster 1..10
constexpr unsigned WM_READ_SETTINGS = 2042;   // main frame -> its child windows, once per connection
constexpr unsigned WM_COMM_DATA = 2043;       // notification pipe -> registered windows: lParam utRXQueue*
constexpr unsigned WM_COMM_PACKET = 2044;
constexpr unsigned WM_COMM_MARKER = 2045;
constexpr unsigned WM_COMM_FAILURE = 2046;
constexpr unsigned WM_SELECT_CHANNEL = 2047;  // message loop -> main frame -> editor form: wParam sibling number

// Private messages of single windows.
constexpr unsigned WM_FIELD_COMMIT = 2055;     // edit field -> editor form: Enter or Tab while a value waits
constexpr unsigned WM_FIELD_LEAVE = 2090;      // edit field -> editor form: the focus left while a value waits;
                                               // wParam id, lParam the window taking the focus (may be none)
constexpr unsigned WM_SET_STATUS_HINT = 2056;  // child -> main frame: lParam text for the status bar while it shows
                                               // no description (nullptr: none)
constexpr unsigned WM_FIELD_STATUS = 2065; // editor form -> main frame: lParam the focused field's status text (wide, may be empty)
constexpr unsigned WM_DOWNLOAD_STOPPED = 2060; // download thread -> download dialog: it stopped before the end
constexpr unsigned WM_ADJUSTER_DRAG = 2075;    // plot -> editor form: wParam 1 a drag begins, 0 it ended
