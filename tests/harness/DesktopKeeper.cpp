// Holds the prefix's desktop for the whole of a test run: tests/harness/run
// starts it with its output going nowhere. Wine closes a desktop a moment
// after the last program using it has ended, and the next program that
// needs one starts the desktop's process itself, which inherits that
// program's output. When that program was a test, ctest waited on the
// test's output for the desktop's process to end too, up to its limit.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  GetDesktopWindow();
  Sleep(INFINITE);
  return 0;
}
