// These tests write under the machine's Uninstall key; ctest never runs two
// programs holding the "uninstall_registry" lock at once, and every key a
// test writes is removed again at its end.
#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "OlderRelease.h"
#include "ProductIdentity.h"
#include "RegistryKey.h"
#include "RegistryValues.h"
#include "SetupLog.h"
#include "TestFiles.h"
#include "UninstallRegistration.h"

using namespace tonvane;

namespace {

using Names = std::vector<std::wstring>;

std::wstring uninstallPath(const std::wstring& keyName) { return kUninstallRoot + keyName; }

// Removes an uninstall key (with everything in it) before and after a test.
class UninstallKeyGuard {
 public:
  explicit UninstallKeyGuard(std::wstring keyName) : keyName_(std::move(keyName)) { remove(); }
  ~UninstallKeyGuard() { remove(); }
  UninstallKeyGuard(const UninstallKeyGuard&) = delete;
  UninstallKeyGuard& operator=(const UninstallKeyGuard&) = delete;
  const std::wstring& name() const { return keyName_; }

 private:
  void remove() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallPath(keyName_).c_str()); }
  std::wstring keyName_;
};

void writeRawValue(const std::wstring& keyName, const wchar_t* value, DWORD type, const void* data, DWORD bytes) {
  RegistryKey key;
  ASSERT_EQ(key.create(HKEY_LOCAL_MACHINE, uninstallPath(keyName)), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key.handle(), value, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
}

void writeRawString(const std::wstring& keyName, const wchar_t* value, const std::wstring& text) {
  writeRawValue(keyName, value, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

test::RegistryValue readRawValue(const std::wstring& keyName, const wchar_t* value) {
  return test::registryValue(HKEY_LOCAL_MACHINE, uninstallPath(keyName), value);
}

// REG_SZ bytes of a text with its terminator.
std::string stringBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

bool keyExists(const std::wstring& keyName) {
  return test::registryKeyExists(HKEY_LOCAL_MACHINE, uninstallPath(keyName));
}

// The names of a key's values (the Uninstall key itself for ""), sorted.
Names valueNames(const std::wstring& keyName) {
  Names names;
  for (const auto& value : test::registryValues(HKEY_LOCAL_MACHINE, uninstallPath(keyName)))
    names.push_back(value.first);
  return names;
}

// The subkeys of the Uninstall key in the registry's enumeration order.
Names uninstallSubkeys() {
  Names names;
  RegistryKey key;
  if (key.open(HKEY_LOCAL_MACHINE, kUninstallRoot, KEY_READ) != ERROR_SUCCESS) return names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key.handle(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

std::wstring localDateToday() {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  wchar_t date[16];
  swprintf(date, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return date;
}

const Names kAllValueNames = {L"DisplayIcon",  L"DisplayName",     L"DisplayVersion", L"HelpLink",
                              L"InstallDate",  L"InstallLocation", L"InstallSource",  L"Publisher",
                              L"URLInfoAbout", L"UninstallString"};

TEST(WriteUninstallEntry, AnEntryWithOnlyItsKeyNameGetsOnlyTheInstallDate) {
  UninstallKeyGuard guard(L"Tonvane Test Bare");
  UninstallEntry entry = makeUninstallEntry(guard.name());
  EXPECT_EQ(entry.keyName, guard.name());
  entry.installDate = L"19990101";  // replaced, whatever the caller put there

  const std::wstring before = localDateToday();
  ASSERT_TRUE(writeUninstallEntry(entry));
  const std::wstring after = localDateToday();

  EXPECT_EQ(valueNames(guard.name()), Names{L"InstallDate"});
  const test::RegistryValue date = readRawValue(guard.name(), L"InstallDate");
  EXPECT_EQ(date.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(date.bytes.size(), 18u);  // eight digits and the terminator
  EXPECT_TRUE(entry.installDate == before || entry.installDate == after) << entry.installDate.c_str();
  EXPECT_EQ(date.bytes, stringBytes(entry.installDate));
}

TEST(WriteUninstallEntry, AnEmptyKeyNameWritesNothing) {
  const Names subkeys = uninstallSubkeys();
  const Names rootValues = valueNames(L"");
  UninstallEntry entry = makeUninstallEntry(L"");
  entry.displayName = L"Tonvane Free";
  entry.publisher = L"Marrowfen";

  EXPECT_FALSE(writeUninstallEntry(entry));
  EXPECT_EQ(entry.installDate, L"");
  EXPECT_EQ(uninstallSubkeys(), subkeys);
  EXPECT_EQ(valueNames(L""), rootValues);  // nothing written on the Uninstall key itself
}

TEST(WriteUninstallEntry, WritesEveryFieldAsTerminatedRegSzAndReadsItBack) {
  UninstallKeyGuard guard(L"Tonvane Test Full");
  const std::wstring folder = L"C:\\Program Files\\Tonvane Free\\";
  UninstallEntry written = makeUninstallEntry(guard.name());
  written.displayIcon = folder + L"Tonvane.exe";
  written.uninstallString = L"\"" + folder + L"TonvaneUninstaller.exe\" /Uninstall";
  written.displayName = L"Tonvane Test Full \u6ce2\u5f62";
  written.displayVersion = L"5.2.1.1";
  written.installLocation = L"C:\\" + std::wstring(300, L'L');  // needs the fourth read buffer
  written.helpLink = vendorSite() + L"services/tidewhistle/";
  written.installSource = L"Z:\\downloads\\";
  written.publisher = L"Marrowfen";
  written.urlInfoAbout = vendorSite();
  ASSERT_TRUE(writeUninstallEntry(written));

  EXPECT_EQ(valueNames(guard.name()), kAllValueNames);
  for (const std::wstring& name : kAllValueNames) {
    const test::RegistryValue raw = readRawValue(guard.name(), name.c_str());
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ)) << name.c_str();
    // Terminated: the last two bytes are zero and the count is even.
    ASSERT_GE(raw.bytes.size(), 2u) << name.c_str();
    EXPECT_EQ(raw.bytes.size() % 2, 0u) << name.c_str();
    EXPECT_EQ(raw.bytes.substr(raw.bytes.size() - 2), std::string(2, '\0')) << name.c_str();
  }
  EXPECT_EQ(readRawValue(guard.name(), L"UninstallString").bytes, stringBytes(written.uninstallString));
  EXPECT_EQ(readRawValue(guard.name(), L"InstallLocation").bytes, stringBytes(written.installLocation));

  UninstallEntry read = makeUninstallEntry(guard.name());
  ASSERT_TRUE(readUninstallEntry(read));
  EXPECT_EQ(read.keyName, written.keyName);
  EXPECT_EQ(read.helpLink, written.helpLink);
  EXPECT_EQ(read.uninstallString, written.uninstallString);
  EXPECT_EQ(read.displayIcon, written.displayIcon);
  EXPECT_EQ(read.displayName, written.displayName);
  EXPECT_EQ(read.displayVersion, written.displayVersion);
  EXPECT_EQ(read.installDate, written.installDate);
  EXPECT_EQ(read.publisher, written.publisher);
  EXPECT_EQ(read.urlInfoAbout, written.urlInfoAbout);
  EXPECT_EQ(read.installSource, written.installSource);
  EXPECT_EQ(read.installLocation, written.installLocation);

  // The vendor site setting reached the code in the form the links need.
  EXPECT_EQ(vendorSite().rfind(L"http://", 0), 0u);
  EXPECT_EQ(vendorSite().back(), L'/');
}

TEST(WriteUninstallEntry, OverwritingReplacesTheRecordsValuesAndKeepsTheRest) {
  UninstallKeyGuard guard(kProductName);
  writeRawString(guard.name(), L"DisplayName", L"Tonvane Free 4");
  writeRawString(guard.name(), L"DisplayVersion", L"4.0");
  writeRawString(guard.name(), L"Publisher", L"Earlier publisher");
  writeRawString(guard.name(), L"Comments", L"written by someone else");
  const DWORD size = 1234;
  writeRawValue(guard.name(), L"EstimatedSize", REG_DWORD, &size, sizeof size);

  UninstallEntry entry = makeUninstallEntry(kProductName);
  entry.displayName = kProductName;
  entry.displayVersion = L"5.2.1.1";
  ASSERT_TRUE(writeUninstallEntry(entry));

  EXPECT_EQ(readRawValue(guard.name(), L"DisplayName").bytes, stringBytes(kProductName));
  EXPECT_EQ(readRawValue(guard.name(), L"DisplayVersion").bytes, stringBytes(L"5.2.1.1"));
  // An empty field is no value: the old one stays.
  EXPECT_EQ(readRawValue(guard.name(), L"Publisher").bytes, stringBytes(L"Earlier publisher"));
  EXPECT_EQ(readRawValue(guard.name(), L"Comments").bytes, stringBytes(L"written by someone else"));
  const test::RegistryValue estimated = readRawValue(guard.name(), L"EstimatedSize");
  EXPECT_EQ(estimated.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(estimated.bytes, std::string(reinterpret_cast<const char*>(&size), sizeof size));
  EXPECT_EQ(valueNames(guard.name()),
            (Names{L"Comments", L"DisplayName", L"DisplayVersion", L"EstimatedSize", L"InstallDate", L"Publisher"}));
}

TEST(ReadUninstallEntry, KeepsTheFieldsOfValuesThatAreMissingOrNotText) {
  UninstallKeyGuard guard(L"Tonvane Test Odd Values");
  const DWORD number = 0x00540054;
  writeRawValue(guard.name(), L"DisplayName", REG_DWORD, &number, sizeof number);
  // Cut from a longer text: the registry would add a terminator that
  // directly follows the data.
  writeRawValue(guard.name(), L"DisplayVersion", REG_SZ, L"5.2.1", 6);
  ASSERT_EQ(readRawValue(guard.name(), L"DisplayVersion").bytes.size(), 6u);
  writeRawValue(guard.name(), L"Publisher", REG_EXPAND_SZ, L"%ProgramFiles%", 30);
  writeRawString(guard.name(), L"InstallDate", L"");

  UninstallEntry entry = makeUninstallEntry(guard.name());
  entry.displayName = L"name before";
  entry.displayVersion = L"version before";
  entry.helpLink = L"link before";
  entry.installDate = L"date before";
  ASSERT_TRUE(readUninstallEntry(entry));
  EXPECT_EQ(entry.displayName, L"name before");
  EXPECT_EQ(entry.displayVersion, L"version before");
  EXPECT_EQ(entry.helpLink, L"link before");
  EXPECT_EQ(entry.publisher, L"%ProgramFiles%");  // as stored, not expanded
  EXPECT_EQ(entry.installDate, L"");

  UninstallEntry missing = makeUninstallEntry(L"Tonvane Test Not There");
  missing.displayName = L"name before";
  EXPECT_FALSE(readUninstallEntry(missing));
  EXPECT_EQ(missing.displayName, L"name before");
}

// Runs `check` with the C runtime's local time zone set by TZ, then puts the
// zone back.
template <typename Check>
void inTimeZone(const char* zone, Check check) {
  const char* previous = std::getenv("TZ");
  const std::string saved = previous != nullptr ? previous : "";
  _putenv_s("TZ", zone);
  _tzset();
  check();
  _putenv_s("TZ", saved.c_str());
  _tzset();
}

TEST(StampInstallDate, IsTheLocalCalendarDate) {
  UninstallEntry entry = makeUninstallEntry(L"x");
  // 28 February 2014, 15:30 UTC: 00:30 on 1 March in Tokyo.
  inTimeZone("JST-9", [&] {
    stampInstallDate(entry, 1393601400);
    EXPECT_EQ(entry.installDate, L"20140301");
  });
  // 1 March 2014, 04:30 UTC: 23:30 on 28 February in New York.
  inTimeZone("EST5", [&] {
    stampInstallDate(entry, 1393648200);
    EXPECT_EQ(entry.installDate, L"20140228");
  });
  inTimeZone("UTC0", [&] {
    stampInstallDate(entry, 1412640000);  // 7 October 2014, 00:00 UTC
    EXPECT_EQ(entry.installDate, L"20141007");
  });
  // A time the runtime cannot convert leaves no date to write.
  stampInstallDate(entry, -1);
  EXPECT_EQ(entry.installDate, L"");
}

// A subkey name of `length` characters, unique to the length.
std::wstring longKeyName(std::size_t length) {
  std::wstring name = L"Tonvane Test Long " + std::to_wstring(length) + L" ";
  while (name.size() < length) name += static_cast<wchar_t>(L'a' + name.size() % 26);
  return name.substr(0, length);
}

TEST(FindUninstallKeyByDisplayName, ReadsLongSubkeyNamesWhole) {
  const std::size_t lengths[] = {63, 64, 65, 100, 127, 128, 200, 255};
  std::vector<std::unique_ptr<UninstallKeyGuard>> guards;
  for (std::size_t length : lengths) {
    guards.push_back(std::make_unique<UninstallKeyGuard>(longKeyName(length)));
    writeRawString(longKeyName(length), L"DisplayName", L"Tonvane Test Long " + std::to_wstring(length));
  }
  const Names subkeys = uninstallSubkeys();
  for (std::size_t length : lengths) {
    std::uint32_t position = 0;
    const std::wstring found = findUninstallKeyByDisplayName(position, L"Tonvane Test Long " + std::to_wstring(length));
    EXPECT_EQ(found, longKeyName(length)) << length;
    ASSERT_LT(position, subkeys.size());
    EXPECT_EQ(subkeys[position], longKeyName(length)) << length;
  }
}

TEST(FindUninstallKeyByDisplayName, MatchesTheWholeNameInItsLetterCase) {
  UninstallKeyGuard exact(L"Tonvane Test Case");
  writeRawString(exact.name(), L"DisplayName", L"Tonvane Test Case");
  UninstallKeyGuard nameless(L"Tonvane Test Nameless");
  writeRawString(nameless.name(), L"Publisher", L"Marrowfen");

  std::uint32_t position = 0;
  EXPECT_EQ(findUninstallKeyByDisplayName(position, L"Tonvane Test Case"), exact.name());
  for (const wchar_t* other :
       {L"tonvane test case", L"TONVANE TEST CASE", L"Tonvane Test Cas", L"Tonvane Test Case ", L""}) {
    position = 0;
    EXPECT_EQ(findUninstallKeyByDisplayName(position, other), L"") << other;
  }
}

TEST(FindUninstallKeyByDisplayName, ResumesAtTheGivenPosition) {
  UninstallKeyGuard first(L"Tonvane Test Twin A");
  UninstallKeyGuard second(L"Tonvane Test Twin B");
  writeRawString(first.name(), L"DisplayName", L"Tonvane Test Twin");
  writeRawString(second.name(), L"DisplayName", L"Tonvane Test Twin");
  const Names subkeys = uninstallSubkeys();

  std::uint32_t position = 0;
  ASSERT_EQ(findUninstallKeyByDisplayName(position, L"Tonvane Test Twin"), first.name());
  ASSERT_LT(position, subkeys.size());
  EXPECT_EQ(subkeys[position], first.name());
  // The position stays at the match: asking again finds it again.
  EXPECT_EQ(findUninstallKeyByDisplayName(position, L"Tonvane Test Twin"), first.name());
  EXPECT_EQ(subkeys[position], first.name());

  ++position;
  ASSERT_EQ(findUninstallKeyByDisplayName(position, L"Tonvane Test Twin"), second.name());
  ASSERT_LT(position, subkeys.size());
  EXPECT_EQ(subkeys[position], second.name());

  ++position;
  EXPECT_EQ(findUninstallKeyByDisplayName(position, L"Tonvane Test Twin"), L"");
  position = static_cast<std::uint32_t>(subkeys.size()) + 5;
  EXPECT_EQ(findUninstallKeyByDisplayName(position, L"Tonvane Test Twin"), L"");
}

// The command line another process was started with, read from its process
// parameters; "" when it cannot be read (the process ended, say).
std::wstring processCommandLine(DWORD id) {
  using QueryProcedure = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryProcedure>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
  if (query == nullptr || process == nullptr) {
    if (process != nullptr) CloseHandle(process);
    return std::wstring();
  }
  std::wstring line;
  PROCESS_BASIC_INFORMATION basic = {};
  PEB peb = {};
  RTL_USER_PROCESS_PARAMETERS parameters = {};
  if (query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) == 0 &&
      ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) &&
      ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr)) {
    line.resize(parameters.CommandLine.Length / sizeof(wchar_t));
    if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, &line[0], parameters.CommandLine.Length, nullptr))
      line.clear();
  }
  CloseHandle(process);
  return line;
}

// Watches the process list from a second thread and notes every msiexec.exe
// process this process starts, with its command line. Only its own children
// count: the prefix is shared with the tests running beside this one, and
// its service manager may start the installer service (msiexec.exe /V) at
// any time. With `endThem` it ends each one it sees, so that a wrongly
// started uninstall cannot hang the test.
class MsiexecWatcher {
 public:
  explicit MsiexecWatcher(bool endThem) : endThem_(endThem) {
    known_ = msiexecProcesses();
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &MsiexecWatcher::watch, this, 0, nullptr);
  }
  ~MsiexecWatcher() { stop(); }
  MsiexecWatcher(const MsiexecWatcher&) = delete;
  MsiexecWatcher& operator=(const MsiexecWatcher&) = delete;

  // Stops watching; the processes seen.
  std::size_t stop() {
    if (thread_ != nullptr) {
      SetEvent(stop_);
      WaitForSingleObject(thread_, INFINITE);
      CloseHandle(thread_);
      CloseHandle(stop_);
      thread_ = nullptr;
    }
    return seen_.size();
  }

  // After stop: the command lines of the processes seen.
  const std::vector<std::wstring>& commandLines() const { return commandLines_; }

 private:
  static std::set<DWORD> msiexecProcesses() {
    std::set<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
      if (_wcsicmp(entry.szExeFile, L"msiexec.exe") == 0 && entry.th32ParentProcessID == GetCurrentProcessId())
        found.insert(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return found;
  }

  static DWORD WINAPI watch(void* self) {
    auto* watcher = static_cast<MsiexecWatcher*>(self);
    do {
      for (DWORD id : msiexecProcesses()) {
        if (watcher->known_.count(id) != 0 || watcher->seen_.count(id) != 0) continue;
        watcher->seen_.insert(id);
        watcher->commandLines_.push_back(processCommandLine(id));
        if (watcher->endThem_) {
          HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
          if (process != nullptr) {
            TerminateProcess(process, 1);
            CloseHandle(process);
          }
        }
      }
    } while (WaitForSingleObject(watcher->stop_, 5) == WAIT_TIMEOUT);
    return 0;
  }

  bool endThem_;
  std::set<DWORD> known_;
  std::set<DWORD> seen_;
  std::vector<std::wstring> commandLines_;
  HANDLE stop_ = nullptr;
  HANDLE thread_ = nullptr;
};

// What uninstallPreviousVersions wrote to the setup log, as its bytes: the
// setup's own record of every removal it started, with its command and exit
// code, where a watcher of the process list can miss a short-lived process
// on a busy machine.
template <typename Call>
std::string setupLogOf(Call call) {
  test::TempFolder folder;
  const std::wstring path = folder / L"setup.log";
  if (!openSetupLog(path)) return "(no setup log)";
  call();
  closeSetupLog();
  return test::readBytes(path);
}

std::string ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(UninstallPreviousVersions, RemovesOlderReleasesAndKeepsItsOwnEntry) {
  UninstallKeyGuard own(kProductName);
  test::OlderRelease first(1), second(2);
  ASSERT_EQ(first.install(), 0u);
  ASSERT_EQ(second.install(), 0u);
  for (const test::OlderRelease* release : {&first, &second}) {
    UninstallEntry entry = makeUninstallEntry(release->productCode());
    ASSERT_TRUE(readUninstallEntry(entry)) << release->productCode().c_str();
    EXPECT_EQ(entry.displayName, kProductName);
    ASSERT_TRUE(test::fileExists(release->file())) << release->file().c_str();
  }
  // Next to each other: removing the first moves the second to its position.
  const Names before = uninstallSubkeys();
  const auto at = std::find(before.begin(), before.end(), first.productCode());
  ASSERT_NE(at, before.end());
  ASSERT_NE(at + 1, before.end());
  ASSERT_EQ(*(at + 1), second.productCode());

  UninstallEntry entry = makeUninstallEntry(kProductName);
  entry.displayName = kProductName;
  entry.publisher = L"Marrowfen";
  ASSERT_TRUE(writeUninstallEntry(entry));

  MsiexecWatcher watcher(/*endThem=*/false);
  const std::string log = setupLogOf([] { uninstallPreviousVersions(); });
  watcher.stop();

  for (const test::OlderRelease* release : {&first, &second}) {
    EXPECT_FALSE(keyExists(release->productCode())) << release->productCode().c_str();
    EXPECT_FALSE(test::fileExists(release->file())) << release->file().c_str();
  }
  UninstallEntry ownEntry = makeUninstallEntry(kProductName);
  ASSERT_TRUE(readUninstallEntry(ownEntry));
  EXPECT_EQ(ownEntry.displayName, kProductName);
  EXPECT_EQ(ownEntry.publisher, L"Marrowfen");
  // Passive, and never a restart without asking: one removal each, and the
  // Windows Installer's answer.
  for (const test::OlderRelease* release : {&first, &second}) {
    const std::string code = ascii(release->productCode());
    EXPECT_NE(
        log.find(" Older release " + code + ": msiexec /x" + code + " /passive /norestart ended with exit code 0\r\n"),
        std::string::npos)
        << log;
  }
  std::size_t logged = 0;
  for (std::size_t found = log.find("msiexec"); found != std::string::npos; found = log.find("msiexec", found + 1))
    ++logged;
  EXPECT_EQ(logged, 2u) << log;
  // Seen from outside, as far as the watcher saw: the command lines of the
  // processes the setup started say the same.
  std::size_t removals = 0;
  for (const std::wstring& line : watcher.commandLines()) {
    if (line.find(L"/x{") == std::wstring::npos) continue;
    ++removals;
    EXPECT_NE(line.find(L" /passive /norestart"), std::wstring::npos) << testing::PrintToString(line);
  }
  // A short-lived process may end before its parameters are read; one is
  // enough to show the command, and every one read must show it. It also
  // shows that the watcher notices what the next test watches for.
  EXPECT_GE(removals, 1u) << testing::PrintToString(watcher.commandLines());
}

TEST(UninstallPreviousVersions, StartsNoUninstallForItsOwnEntryOrOtherNames) {
  UninstallKeyGuard own(kProductName);
  writeRawString(own.name(), L"DisplayName", kProductName);
  // Not a product code: nothing the Windows Installer could remove, and not
  // a name to put on its command line.
  UninstallKeyGuard otherSetup(L"Tonvane Free 4.5 -i x.msi");
  writeRawString(otherSetup.name(), L"DisplayName", kProductName);
  // A product code, but the display name differs in letter case.
  UninstallKeyGuard otherCase(L"{1D0A5E00-7A3C-4E21-9B3F-0000000000FF}");
  writeRawString(otherCase.name(), L"DisplayName", L"tonvane free");

  MsiexecWatcher watcher(/*endThem=*/true);
  const std::string log = setupLogOf([] { uninstallPreviousVersions(); });
  EXPECT_EQ(watcher.stop(), 0u) << testing::PrintToString(watcher.commandLines());
  EXPECT_NE(log.find(" Older releases: none registered by the Windows Installer\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("msiexec"), std::string::npos) << log;

  EXPECT_TRUE(keyExists(own.name()));
  EXPECT_TRUE(keyExists(otherSetup.name()));
  EXPECT_TRUE(keyExists(otherCase.name()));
}

}  // namespace
