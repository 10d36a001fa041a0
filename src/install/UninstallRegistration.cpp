#include "UninstallRegistration.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <utility>
#include <vector>

#include "NumberText.h"
#include "ProcessRunner.h"
#include "RegistryKey.h"
#include "SetupLog.h"

namespace tonvane {

namespace {

struct ValueField {
  const wchar_t* valueName;
  std::wstring UninstallEntry::*field;
};

// Written and read in this order.
const ValueField kValueFields[] = {
    {L"DisplayName", &UninstallEntry::displayName},
    {L"UninstallString", &UninstallEntry::uninstallString},
    {L"InstallDate", &UninstallEntry::installDate},
    {L"DisplayIcon", &UninstallEntry::displayIcon},
    {L"HelpLink", &UninstallEntry::helpLink},
    {L"URLInfoAbout", &UninstallEntry::urlInfoAbout},
    {L"InstallSource", &UninstallEntry::installSource},
    {L"DisplayVersion", &UninstallEntry::displayVersion},
    {L"Publisher", &UninstallEntry::publisher},
    {L"InstallLocation", &UninstallEntry::installLocation},
    {L"QuietUninstallString", &UninstallEntry::quietUninstallString},
};

struct NumberField {
  const wchar_t* valueName;
  std::optional<std::uint32_t> UninstallEntry::*field;
};

const NumberField kNumberFields[] = {
    {L"EstimatedSize", &UninstallEntry::estimatedSizeKb},
    {L"NoModify", &UninstallEntry::noModify},
    {L"NoRepair", &UninstallEntry::noRepair},
};

// Subkey names are at most 255 characters; the guard only ends the growth.
constexpr DWORD kLongestKeyName = 32768;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with hexadecimal digits: the
// only kind of name the Windows Installer registers a product under. Any
// other name is not handed to msiexec, which would read it as a package
// file to look for in the current folder, or as more options.
bool isProductCode(const std::wstring& name) {
  static const wchar_t kPattern[] = L"{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
  if (name.size() != std::wcslen(kPattern)) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (kPattern[i] == L'x') {
      if (name[i] > 0x7F || !std::iswxdigit(name[i])) return false;
    } else if (name[i] != kPattern[i]) {
      return false;
    }
  }
  return true;
}

bool uninstallKeyExists(const std::wstring& keyName) {
  RegistryKey key;
  return key.open(HKEY_LOCAL_MACHINE, kUninstallRoot + keyName, KEY_READ) == ERROR_SUCCESS;
}

}  // namespace

UninstallEntry makeUninstallEntry(const std::wstring& keyName) {
  UninstallEntry entry;
  entry.keyName = keyName;
  return entry;
}

void stampInstallDate(UninstallEntry& entry, __time64_t when) {
  std::tm local = {};
  if (_localtime64_s(&local, &when) != 0) {
    entry.installDate.clear();
    return;
  }
  entry.installDate = decimalText(static_cast<unsigned>(local.tm_year + 1900), 4) +
                      decimalText(static_cast<unsigned>(local.tm_mon + 1), 2) +
                      decimalText(static_cast<unsigned>(local.tm_mday), 2);
}

bool writeUninstallEntry(UninstallEntry& entry, const ValueGate& gate) {
  // An empty name would open the Uninstall key itself and write the values
  // there.
  if (entry.keyName.empty()) return false;
  stampInstallDate(entry);
  RegistryKey key;
  if (key.create(HKEY_LOCAL_MACHINE, kUninstallRoot + entry.keyName) != ERROR_SUCCESS) return false;
  const auto allowed = [&gate](const wchar_t* valueName) { return !gate || gate(valueName); };
  for (const ValueField& value : kValueFields) {
    const std::wstring& text = entry.*value.field;
    if (text.empty()) continue;
    if (!allowed(value.valueName) || key.setString(value.valueName, text) != ERROR_SUCCESS) return false;
  }
  for (const NumberField& number : kNumberFields) {
    const auto& value = entry.*number.field;
    if (!value) continue;
    if (!allowed(number.valueName) || key.setDword(number.valueName, *value) != ERROR_SUCCESS) return false;
  }
  return key.close() == ERROR_SUCCESS;
}

RegistrySnapshot snapshotUninstallEntry(const std::wstring& keyName) {
  RegistrySnapshot snapshot;
  RegistryKey key;
  if (keyName.empty() || key.open(HKEY_LOCAL_MACHINE, kUninstallRoot + keyName, KEY_READ) != ERROR_SUCCESS)
    return snapshot;
  snapshot.existed = true;
  for (DWORD index = 0;; ++index) {
    // Value names are at most 16383 characters; data is asked for its size
    // first and read again when it grew in between.
    std::vector<wchar_t> name(16384);
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegEnumValueW(key.handle(), index, name.data(), &nameLength, nullptr, &type, nullptr, &size);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) {
      snapshot.complete = false;
      break;
    }
    RegistrySnapshot::Value value;
    value.name.assign(name.data(), nameLength);
    value.type = type;
    value.data.resize(size);
    DWORD read = size;
    result = RegQueryValueExW(key.handle(), value.name.c_str(), nullptr, &value.type,
                              value.data.empty() ? nullptr : value.data.data(), &read);
    if (result != ERROR_SUCCESS) {
      snapshot.complete = false;
      continue;
    }
    value.data.resize(read);
    snapshot.values.push_back(std::move(value));
  }
  return snapshot;
}

bool restoreUninstallEntry(const std::wstring& keyName, const RegistrySnapshot& snapshot) {
  if (keyName.empty()) return false;
  if (!snapshot.existed) return deleteUninstallEntry(keyName);
  RegistryKey key;
  if (key.create(HKEY_LOCAL_MACHINE, kUninstallRoot + keyName) != ERROR_SUCCESS) return false;
  bool whole = true;
  // Values the install added go; then every value the entry had is written
  // back as it was, its type included.
  for (DWORD index = 0;;) {
    std::vector<wchar_t> name(16384);
    DWORD nameLength = static_cast<DWORD>(name.size());
    if (RegEnumValueW(key.handle(), index, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    const std::wstring found(name.data(), nameLength);
    bool kept = false;
    for (const RegistrySnapshot::Value& value : snapshot.values) kept = kept || value.name == found;
    if (kept || RegDeleteValueW(key.handle(), found.c_str()) != ERROR_SUCCESS) ++index;
  }
  for (const RegistrySnapshot::Value& value : snapshot.values)
    whole = RegSetValueExW(key.handle(), value.name.c_str(), 0, value.type,
                           value.data.empty() ? nullptr : value.data.data(),
                           static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS &&
            whole;
  return key.close() == ERROR_SUCCESS && whole;
}

bool readUninstallEntry(UninstallEntry& entry) {
  RegistryKey key;
  if (key.open(HKEY_LOCAL_MACHINE, kUninstallRoot + entry.keyName, kKeyReadWrite) != ERROR_SUCCESS) return false;
  for (const ValueField& value : kValueFields) queryStringGrowing(key, value.valueName, entry.*value.field);
  for (const NumberField& number : kNumberFields) {
    DWORD value = 0;
    if (key.queryDword(number.valueName, value) == ERROR_SUCCESS) entry.*number.field = value;
  }
  key.close();
  return true;
}

std::wstring findUninstallKeyByDisplayName(std::uint32_t& position, const std::wstring& displayName) {
  // An entry without a display name reads as "" and must never match.
  if (displayName.empty()) return std::wstring();
  RegistryKey root;
  if (root.open(HKEY_LOCAL_MACHINE, kUninstallRoot, kKeyReadWrite) != ERROR_SUCCESS) return std::wstring();
  DWORD capacity = 64;
  for (;;) {
    std::wstring name(capacity, L'\0');
    DWORD length = capacity;
    const LONG status = RegEnumKeyExW(root.handle(), position, &name[0], &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA && capacity < kLongestKeyName) {
      capacity *= 2;
      continue;
    }
    if (status != ERROR_SUCCESS) return std::wstring();
    name.resize(length);

    UninstallEntry entry = makeUninstallEntry(name);
    readUninstallEntry(entry);
    if (entry.displayName == displayName) return name;
    ++position;
    capacity = 64;
  }
}

void uninstallPreviousVersions(bool quiet) {
  std::uint32_t position = 0;
  bool ranAny = false;
  for (;;) {
    const std::wstring keyName = findUninstallKeyByDisplayName(position, kProductName);
    if (keyName.empty()) {
      if (!ranAny) setupLog(L"Older releases: none registered by the Windows Installer");
      return;
    }
    if (keyName != kProductName && isProductCode(keyName)) {
      // No restart without asking: an older release whose files are in use
      // would otherwise restart the machine while the user works.
      const std::wstring arguments = L"/x" + keyName + (quiet ? L" /qn /norestart" : L" /passive /norestart");
      const auto exitCode = runProgram(L"msiexec", arguments);
      ranAny = true;
      setupLog(L"Older release " + keyName + L": msiexec " + arguments +
               (exitCode ? L" ended with exit code " + decimalText(*exitCode) : L" could not be started"));
      // A removed entry moves the entries after it one position up: the
      // next one is now at this position and must not be passed over.
      if (!uninstallKeyExists(keyName)) continue;
    }
    ++position;
  }
}

bool deleteUninstallEntry(const std::wstring& keyName) {
  if (keyName.empty()) return false;  // never the Uninstall key itself
  const LONG status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kUninstallRoot + keyName).c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace tonvane
