// Stand-in for "lexmora.exe", the dictionary application that the installer unpacks and starts.
// It shows one window and runs until that window is closed. Tests tell it apart by its window
// class, "LexmoraSampleWindow", and see whether it was started with "--safe-mode" in the window
// title: "Lexmora (safe mode)" with the switch, "Lexmora" without it.
#include <windows.h>

#include "sample/sample_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const bool safeMode = lexmorasample::hasSwitch(L"--safe-mode");
    return lexmorasample::runSampleWindow(
        instance, L"LexmoraSampleWindow", safeMode ? L"Lexmora (safe mode)" : L"Lexmora",
        safeMode ? L"Lexmora sample application.\r\nStarted with --safe-mode."
                 : L"Lexmora sample application.\r\nStarted normally.");
}
