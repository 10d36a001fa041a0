// A console helper of the sample application. The application archive
// carries it under the names of the real product's helper programs, so
// that the archive holds several small programs as the product's does. It
// writes the name it was started under and the version to its standard
// output, and ends with 0. Plain Win32, to stay small.
#include <windows.h>

#include "ProductIdentity.h"

#ifndef TONVANE_APPLICATION_VERSION
#error "the build passes the application's version"
#endif

int wmain() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const wchar_t* name = path;
  for (DWORD i = 0; i < length && i < MAX_PATH; ++i)
    if (path[i] == L'\\') name = path + i + 1;
  wchar_t line[MAX_PATH + 64] = {};
  lstrcpynW(line, name, MAX_PATH);
  lstrcatW(line, L", a helper of " TONVANE_PRODUCT_NAME " " TONVANE_APPLICATION_VERSION L"\r\n");
  char bytes[4 * (MAX_PATH + 64)] = {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, sizeof bytes, nullptr, nullptr);
  DWORD written = 0;
  if (size > 1) WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, size - 1, &written, nullptr);
  return 0;
}
