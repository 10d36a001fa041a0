// What a run of the setup leaves on the machine, as the tests look for it:
// the default install folder, the uninstall entry, the links, all named here
// as the outside world knows them rather than through the program's own
// constants.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tonvane::test {

// A shell folder (CSIDL_...) with a trailing backslash; "" when the shell
// cannot name it.
std::wstring shellFolder(int csidl);

// The Program Files folder followed by "Tonvane Free\".
std::wstring defaultInstallFolder();

// The product's key under HKEY_LOCAL_MACHINE.
std::wstring uninstallEntryPath();

// A text value of the product's uninstall entry, "" when absent; a number
// value, 0xFFFFFFFF when absent; whether the entry exists.
std::wstring entryValue(const wchar_t* name);
unsigned long entryNumber(const wchar_t* name);
bool entryExists();

// The paths an install.log lists ("PathN=" lines between CR LF), in its
// order; the tests' install paths are plain ASCII, so bytes are characters.
std::vector<std::wstring> installLogPaths(const std::wstring& logFile);

// What a shell link holds, read through the shell's own link object (COM
// must be initialised on the calling thread).
struct LinkFields {
  bool loaded = false;
  std::wstring path;
  std::wstring arguments;
  std::wstring description;
};
LinkFields readLink(const std::wstring& linkPath);

// Every link of the product in the shell folders of both scopes: link path
// -> "target | arguments | description".
std::map<std::wstring, std::wstring> productLinks();

// What an install leaves: the files of the folder with their bytes (its
// install.log included), the values of the uninstall entry and the links;
// equal snapshots before and after a run mean the run changed none of it.
struct InstallSnapshot {
  std::map<std::wstring, std::string> files;   // relative name -> bytes
  std::map<std::wstring, std::wstring> entry;  // RegistryValue::text() by name
  std::map<std::wstring, std::wstring> links;
};
InstallSnapshot snapshotInstallation(const std::wstring& folder);

// Removes the default install folder, the uninstall entry and every link a
// run may have made, for the current user and for all users.
void removeInstallation();

}  // namespace tonvane::test
