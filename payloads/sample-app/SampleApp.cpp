// A stand-in for the application, installed as Tonvane.exe until the real
// program takes its place: no window, it ends at once with exit code 0.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
