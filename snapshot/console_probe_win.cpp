// Test-only program: writes three lines through the snapshot tool's console, one to standard error
// between two to standard output. With the argument "stay" it then stays alive for a minute, so
// that a test can see the lines arrive before the program ends.
#include <windows.h>

#include <cstring>

#include "console.h"

int main(int argc, char** argv) {
    tw::Console& console = tw::StandardConsole();
    console.Out("Info : first");
    console.Err("Error : second, returned = -2147024891");
    console.Out("CREATED : third");
    if (argc == 2 && std::strcmp(argv[1], "stay") == 0) {
        Sleep(60000);
    }
    return 0;
}
