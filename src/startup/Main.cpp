// Entry point of the setup program. The wizard is not wired in yet: the
// program starts and ends with exit code 0, which is what the finished setup
// returns when its wizard cannot be created.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
