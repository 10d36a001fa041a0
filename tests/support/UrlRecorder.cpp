#include "UrlRecorder.h"

#include <shellapi.h>

#include "ChildProcess.h"
#include "Paths.h"
#include "TestFiles.h"

namespace tonvane::test {

namespace {

// The browser: started by the shell with an output file and the address.
const bool recorderRegistered = registerChildScenario(L"record-url", [] {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count < 5) return 2;
  const std::wstring address = arguments[4];
  std::string bytes(address.size() * 4, '\0');
  bytes.resize(static_cast<std::size_t>(WideCharToMultiByte(
      CP_UTF8, 0, address.data(), static_cast<int>(address.size()), &bytes[0],
      static_cast<int>(bytes.size()), nullptr, nullptr)));
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
