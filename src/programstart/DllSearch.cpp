#include "DllSearch.h"

#include <commctrl.h>

#include "SystemLibrary.h"

namespace tonvane {

// msimg32 comes in late through a delayed import of the theme code's
// (AlphaBlend, TransparentBlt when the controls paint); such a load may not
// honour the restricted search, so it is preloaded like the others.
const wchar_t* const kPreloadedLibraries[] = {L"uxtheme.dll", L"userenv.dll",  L"setupapi.dll",  L"apphelp.dll",
                                              L"propsys.dll", L"dwmapi.dll",   L"cryptbase.dll", L"oleacc.dll",
                                              L"clbcatq.dll", L"version.dll",  L"ntmarta.dll",   L"profapi.dll",
                                              L"sspicli.dll", L"wintrust.dll", L"secur32.dll",   L"msimg32.dll"};
const int kPreloadedLibraryCount = sizeof kPreloadedLibraries / sizeof kPreloadedLibraries[0];

namespace {

using SetDefaultDllDirectoriesProcedure = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryProcedure = BOOL(WINAPI*)(const wchar_t*);

OSVERSIONINFOW systemVersion() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!querySystemVersion(&version)) version = {};
  return version;
}

}  // namespace

bool mayRestrictDllSearch(const OSVERSIONINFOW& version, bool loaderHasDefaultDirectories) {
  const bool vista = version.dwMajorVersion == 6 && version.dwMinorVersion == 0;
  return loaderHasDefaultDirectories && !vista;
}

void hardenDllSearch() {
  const auto setDefault = kernelProcedure<SetDefaultDllDirectoriesProcedure>("SetDefaultDllDirectories");
  if (mayRestrictDllSearch(systemVersion(), setDefault != nullptr)) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Takes the current folder out of the search on systems without the
  // restriction (and on Vista).
  const auto setDirectory = kernelProcedure<SetDllDirectoryProcedure>("SetDllDirectoryW");
  if (setDirectory != nullptr) setDirectory(L"");
  for (int index = 0; index < kPreloadedLibraryCount; ++index) loadSystemLibrary(kPreloadedLibraries[index]);
  // The common controls last, and not through the import table: the loader
  // maps imported DLLs before this function runs, and the controls' start-up
  // loads uxtheme by bare name, which then searched the program's folder
  // first. Loaded now, they find the system's uxtheme in the process. By bare
  // name on purpose: the manifest binds that name to the side-by-side
  // version 6, which a full path into the system folder would bypass.
  LoadLibraryW(L"comctl32.dll");
}

void registerCommonControls(DWORD classes) {
  using InitCommonControlsExProcedure = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  // Another reference to the module loaded above, the version 6 the manifest
  // binds the name to; it stays for the process's life, like the first.
  HMODULE controls = LoadLibraryW(L"comctl32.dll");
  if (controls == nullptr) return;
  auto initialize = reinterpret_cast<InitCommonControlsExProcedure>(
      reinterpret_cast<void*>(GetProcAddress(controls, "InitCommonControlsEx")));
  if (initialize == nullptr) return;
  INITCOMMONCONTROLSEX record = {};
  record.dwSize = sizeof record;
  record.dwICC = classes;
  initialize(&record);
}

}  // namespace tonvane
