#include <windows.h>

// Removes nothing yet: "any other failure".
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 2; }
