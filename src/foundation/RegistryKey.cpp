#include "RegistryKey.h"

#include <cwchar>

namespace tonvane {

namespace {

// The registry keeps values far below this; a value that still does not
// fit is reported rather than grown into an allocation that cannot be had.
constexpr DWORD kLargestStringValue = DWORD{1} << 24;  // characters

// Byte counts are DWORDs: a capacity whose byte count would not fit is
// offered as the largest count that does, which the buffer still holds.
constexpr DWORD kLargestByteCapacity = MAXDWORD / sizeof(wchar_t);

}  // namespace

void RegistryKey::hold(HKEY key) {
  close();
  key_ = key;
}

LONG RegistryKey::open(HKEY parent, const std::wstring& subkey, REGSAM access) {
  HKEY opened = nullptr;
  const LONG status = RegOpenKeyExW(parent, subkey.c_str(), 0, access, &opened);
  if (status == ERROR_SUCCESS) hold(opened);
  return status;
}

LONG RegistryKey::create(HKEY parent, const std::wstring& subkey) {
  HKEY created = nullptr;
  const LONG status = RegCreateKeyExW(parent, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kKeyReadWrite,
                                      nullptr, &created, nullptr);
  if (status == ERROR_SUCCESS) hold(created);
  return status;
}

LONG RegistryKey::queryString(const std::wstring& valueName, wchar_t* buffer, DWORD& capacity) const {
  const DWORD room = capacity;
  capacity = 0;
  // Whatever the registry left in the buffer on a failure (the bytes of a
  // number, a cut-off text) must not pass for a text.
  const auto fail = [buffer, room](LONG status) {
    if (buffer != nullptr && room > 0) buffer[0] = L'\0';
    return status;
  };

  DWORD type = REG_NONE;
  DWORD bytes = (room < kLargestByteCapacity ? room : kLargestByteCapacity) * sizeof(wchar_t);
  const LONG status =
      RegQueryValueExW(key_, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
  if (status != ERROR_SUCCESS) return fail(status);
  if (type != REG_SZ && type != REG_EXPAND_SZ) return fail(ERROR_INVALID_DATA);
  if (buffer != nullptr) {
    // The registry stores string data as written, terminator or not.
    if (bytes % sizeof(wchar_t) != 0) return fail(ERROR_INVALID_DATA);
    if (bytes == 0) {
      if (room > 0) buffer[0] = L'\0';
    } else if (buffer[bytes / sizeof(wchar_t) - 1] != L'\0') {
      return fail(ERROR_INVALID_DATA);
    }
  }
  capacity = bytes / sizeof(wchar_t);
  return ERROR_SUCCESS;
}

LONG RegistryKey::setString(const std::wstring& valueName, const std::wstring& text) {
  if (text.size() >= kLargestByteCapacity) return ERROR_INVALID_DATA;
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key_, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

LONG RegistryKey::setDword(const std::wstring& valueName, DWORD value) {
  return RegSetValueExW(key_, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG RegistryKey::queryDword(const std::wstring& valueName, DWORD& value) const {
  DWORD type = REG_NONE;
  DWORD read = 0;
  DWORD bytes = sizeof read;
  const LONG status = RegQueryValueExW(key_, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&read), &bytes);
  if (status == ERROR_MORE_DATA) return ERROR_INVALID_DATA;
  if (status != ERROR_SUCCESS) return status;
  if (type != REG_DWORD || bytes != sizeof read) return ERROR_INVALID_DATA;
  value = read;
  return ERROR_SUCCESS;
}

LONG RegistryKey::close() {
  if (key_ == nullptr) return ERROR_SUCCESS;
  const LONG status = RegCloseKey(key_);
  key_ = nullptr;
  return status;
}

LONG queryStringGrowing(const RegistryKey& key, const std::wstring& valueName, std::wstring& text) {
  for (DWORD capacity = 64;; capacity *= 2) {
    std::wstring buffer(capacity, L'\0');
    DWORD received = capacity;
    const LONG status = key.queryString(valueName, &buffer[0], received);
    if (status == ERROR_MORE_DATA && capacity < kLargestStringValue) continue;
    if (status != ERROR_SUCCESS) return status;
    text.assign(buffer.data(), std::wcslen(buffer.data()));
    return ERROR_SUCCESS;
  }
}

}  // namespace tonvane
