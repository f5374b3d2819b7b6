#pragma once
// The one window of each sample program: a title, a line of text, and a message loop that runs
// until the window is closed.

#include <windows.h>

namespace lexmorasample {

// Shows a window of the given class with the title and text, and returns the process exit code
// once the window has been closed (0), or 1 when the window could not be made.
int runSampleWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title,
                    const wchar_t* text);

// True when one of the program's arguments (not the program itself) is exactly this switch.
bool hasSwitch(const wchar_t* name);

}  // namespace lexmorasample
