#include "UrlRecorder.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include "ChildProcess.h"
#include "Paths.h"
#include "ScopedHandles.h"
#include "TestFiles.h"

namespace tonvane::test {

namespace {

std::wstring openerFile(const std::wstring& recordFile) { return recordFile + L".opener"; }

// "pid name" of this process's parent, from the system's process list.
std::string parentRecord() {
  const KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return std::string();
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
    if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
  std::wstring name;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
    if (entry.th32ProcessID == parent) name = entry.szExeFile;
  return std::to_string(parent) + " " + std::string(name.begin(), name.end());
}

// The browser: started by the shell with an output file and the address.
// Who started it is written first, so that it is there once the address is.
const bool recorderRegistered = registerChildScenario(L"record-url", [] {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count < 5) return 2;
  writeBytes(openerFile(arguments[3]), parentRecord());
  const std::wstring address = arguments[4];
  std::string bytes(address.size() * 4, '\0');
  bytes.resize(
      static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, address.data(), static_cast<int>(address.size()),
                                                   &bytes[0], static_cast<int>(bytes.size()), nullptr, nullptr)));
  writeBytes(arguments[3], bytes);
  LocalFree(arguments);
  return 0;
});

}  // namespace

std::wstring currentHttpCommand() {
  RegistryKey key;
  std::wstring value;
  if (key.open(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", KEY_READ) == ERROR_SUCCESS)
    queryStringGrowing(key, L"", value);
  return value;
}

std::wstring urlRecorderCommand(const std::wstring& recordFile) {
  (void)recorderRegistered;
  return L"\"" + modulePath() + L"\" --child record-url \"" + recordFile + L"\" \"%1\"";
}

Opener openerOf(const std::wstring& recordFile) {
  const std::string record = readBytes(openerFile(recordFile));
  Opener opener;
  const std::size_t blank = record.find(' ');
  if (blank == std::string::npos) return opener;
  opener.processId = static_cast<DWORD>(std::stoul(record.substr(0, blank)));
  const std::string name = record.substr(blank + 1);
  opener.name.assign(name.begin(), name.end());
  return opener;
}

std::string waitForFile(const std::wstring& path, DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (GetTickCount64() < end) {
    if (fileExists(path)) {
      Sleep(200);  // let the recorder finish writing
      return readBytes(path);
    }
    Sleep(100);
  }
  return std::string();
}

}  // namespace tonvane::test
