// A stand-in for a running program: it does nothing for two minutes and then ends with exit
// code 3, so a test can tell that it was ended (exit code 0) rather than finished by itself.
#include <windows.h>

int main() {
    Sleep(120000);
    return 3;
}
