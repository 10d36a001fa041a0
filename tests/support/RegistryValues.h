// The registry as a test reads it back: every value of a key with its type
// and bytes as stored, read through the product's own key wrapper but none
// of its string checks, so that a test sees what was really written.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace tonvane::test {

struct RegistryValue {
  DWORD type = REG_NONE;  // REG_NONE also for a value that is not there
  std::string bytes;      // as stored, a text's terminator included

  // For comparing with what a test expects: a REG_SZ or REG_EXPAND_SZ up to
  // its first zero; a REG_MULTI_SZ with each zero as '|'; a four-byte
  // REG_DWORD as "dword:N"; anything else as "type T, N bytes".
  std::wstring text() const;
};

// Every value of the key, by name; none when the key cannot be opened.
std::map<std::wstring, RegistryValue> registryValues(HKEY root, const std::wstring& path);

// One value of the key; type REG_NONE when it or the key is not there.
RegistryValue registryValue(HKEY root, const std::wstring& path, const std::wstring& name);

// Every value of the key as its text().
std::map<std::wstring, std::wstring> registryTexts(HKEY root, const std::wstring& path);

bool registryKeyExists(HKEY root, const std::wstring& path);

}  // namespace tonvane::test
