// Stand-in for "parlavo.exe", the companion chat program that the installer links to. It shows
// one window, of class "ParlavoSampleWindow" and titled "Parlavo", and runs until it is closed.
#include <windows.h>

#include "sample/sample_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return lexmorasample::runSampleWindow(instance, L"ParlavoSampleWindow", L"Parlavo",
                                          L"Parlavo sample chat program.");
}
