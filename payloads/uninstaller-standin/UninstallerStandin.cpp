// A stand-in for the uninstaller, written as TonvaneUninstaller.exe until
// the real one takes its place. It removes nothing; it only says so, and
// ends with exit code 1 so that a caller does not take it for a success.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  MessageBoxW(nullptr, L"This build carries no uninstaller yet; nothing was removed.",
              L"Tonvane Free", MB_OK | MB_ICONINFORMATION);
  return 1;
}
