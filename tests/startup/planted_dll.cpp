// A DLL put next to the test program, as an attacker would next to the installer.
#include <windows.h>

extern "C" __declspec(dllexport) int Planted() { return 42; }
