// One open registry key with the few string reads and writes the install
// engine and the partner-offer detection need. Results are the registry
// API's own status codes (ERROR_SUCCESS, 0, for success), passed through
// unchanged; nothing throws and nothing is shown.
#pragma once

#include <windows.h>

#include <string>

namespace tonvane {

// Access for creating keys and for reading the uninstall entries.
constexpr REGSAM kKeyReadWrite = KEY_READ | KEY_WRITE;  // 0x2001F

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() { close(); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // RegOpenKeyExW. On success the key held before (if any) is closed and
  // the new one kept; on failure the object stays as it was.
  LONG open(HKEY parent, const std::wstring& subkey, REGSAM access);

  // RegCreateKeyExW, non-volatile, kKeyReadWrite; missing keys on the way
  // are created. Held key as for open.
  LONG create(HKEY parent, const std::wstring& subkey);

  // Reads a REG_SZ or REG_EXPAND_SZ value (the latter as stored, variables
  // not expanded) into `buffer` of `capacity` characters. On entry
  // `capacity` is the buffer's size; it is set to 0 first and, on success,
  // to the characters received including the terminator (0 for a value of
  // zero bytes, which reads as an empty text). With a null buffer only the
  // size is asked for. ERROR_MORE_DATA when the buffer is too small,
  // ERROR_FILE_NOT_FOUND for a missing value, ERROR_INVALID_DATA for any
  // other type, an odd byte count or text without its terminating zero;
  // on every failure a given buffer holds the empty text.
  LONG queryString(const std::wstring& valueName, wchar_t* buffer, DWORD& capacity) const;

  // Writes `text` as REG_SZ with its terminating zero: (length + 1) * 2 bytes.
  LONG setString(const std::wstring& valueName, const std::wstring& text);

  // Writes `value` as REG_DWORD.
  LONG setDword(const std::wstring& valueName, DWORD value);

  // Reads a REG_DWORD value; ERROR_INVALID_DATA for any other type or size.
  // `value` is changed only on success.
  LONG queryDword(const std::wstring& valueName, DWORD& value) const;

  // Safe to repeat; 0 when nothing is held.
  LONG close();

  HKEY handle() const { return key_; }
  bool isOpen() const { return key_ != nullptr; }

 private:
  void hold(HKEY key);

  HKEY key_ = nullptr;
};

// A string value of any length: asks with 64 characters and doubles the
// buffer while the value does not fit. On success `text` is the value up to
// its first zero character; on failure `text` is left as it was and the
// status is returned.
LONG queryStringGrowing(const RegistryKey& key, const std::wstring& valueName, std::wstring& text);

}  // namespace tonvane
