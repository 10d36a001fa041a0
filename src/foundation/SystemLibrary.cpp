#include "SystemLibrary.h"

#include <string>

namespace tonvane {

std::wstring systemFolderPath(const std::wstring& fileName) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(folder, length) + L'\\' + fileName;
}

HMODULE loadSystemLibrary(const wchar_t* fileName) {
  const std::wstring path = systemFolderPath(fileName);
  if (path.empty()) return nullptr;
  // LOAD_WITH_ALTERED_SEARCH_PATH makes the DLL's own dependencies resolve
  // from its folder too, on systems without the newer search flags.
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

BOOL querySystemVersion(OSVERSIONINFOW* info) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return GetVersionExW(info);
#pragma GCC diagnostic pop
}

FARPROC systemProcedure(const wchar_t* fileName, const char* procedure) {
  // Not GetModuleHandleW: a bare name would match a same-named DLL from
  // anywhere that happens to be loaded already.
  HMODULE module = loadSystemLibrary(fileName);
  if (module == nullptr) return nullptr;
  return GetProcAddress(module, procedure);
}

}  // namespace tonvane
