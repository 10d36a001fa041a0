// A setup is usually started from a downloads folder, where other files can
// lie beside it. Before anything else is loaded, the search for DLLs is kept
// out of the program's own folder and the current folder.
#pragma once

#include <windows.h>

namespace tonvane {

// The DLLs that Windows components are known to load late by bare name
// (themes, the window manager, crypto and shell helpers). Loaded from the
// system folder at start-up, so that a later load by name finds them already
// in the process instead of searching the program's folder.
extern const wchar_t* const kPreloadedLibraries[];
extern const int kPreloadedLibraryCount;

// Whether DLL searches may be limited to the system folder on this system:
// the loader has SetDefaultDllDirectories, and the system is not Vista,
// whose shell link object stops working under that limit.
bool mayRestrictDllSearch(const OSVERSIONINFOW& version, bool loaderHasDefaultDirectories);

// Limits the search (where allowed), drops the current folder from it,
// preloads kPreloadedLibraries from the system folder and then loads the
// common controls (comctl32.dll as the manifest binds it), which the setup
// does not import at load time.
void hardenDllSearch();

// Registers the window classes of the common controls named by `classes`
// (ICC_ flags) through InitCommonControlsEx of the module hardenDllSearch
// loaded; nothing happens when it cannot be found.
void registerCommonControls(DWORD classes);

}  // namespace tonvane
