// DLLs outside the known system set are loaded by full path from the system
// folder, never by bare name: a setup usually runs from a downloads folder
// where a planted DLL of the same name may lie beside it.
#pragma once

#include <windows.h>

#include <string>

namespace tonvane {

// `fileName` in the system folder, full path; "" when the system folder
// cannot be had.
std::wstring systemFolderPath(const std::wstring& fileName);

// Loads `fileName` (for example L"version.dll") from the system folder; null
// when it cannot be loaded. The module stays loaded for the process's life.
HMODULE loadSystemLibrary(const wchar_t* fileName);

// The export of a system DLL, or null.
FARPROC systemProcedure(const wchar_t* fileName, const char* procedure);

// An export of kernel32 as the function type the caller names; null where
// this system's kernel32 lacks it (a call newer than the system). kernel32
// is always mapped and a known DLL, so it is looked up without any search.
template <typename Procedure>
Procedure kernelProcedure(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<Procedure>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

// GetVersionExW. Deprecated, and lied to by the compatibility layer about
// versions after 8, but truthful about the platform id and about Vista,
// which is all the program asks of it. The caller sets
// dwOSVersionInfoSize.
BOOL querySystemVersion(OSVERSIONINFOW* info);

}  // namespace tonvane
