#include "RegistryValues.h"

#include <algorithm>
#include <cstring>

#include "RegistryKey.h"

namespace tonvane::test {

std::wstring RegistryValue::text() const {
  std::wstring characters(bytes.size() / sizeof(wchar_t), L'\0');
  std::memcpy(&characters[0], bytes.data(), characters.size() * sizeof(wchar_t));
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return characters.substr(0, characters.find(L'\0'));
    case REG_MULTI_SZ:
      std::replace(characters.begin(), characters.end(), L'\0', L'|');
      return characters;
    case REG_DWORD:
      if (bytes.size() == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, bytes.data(), sizeof number);
        return L"dword:" + std::to_wstring(number);
      }
      break;
  }
  return L"type " + std::to_wstring(type) + L", " + std::to_wstring(bytes.size()) + L" bytes";
}

std::map<std::wstring, RegistryValue> registryValues(HKEY root, const std::wstring& path) {
  std::map<std::wstring, RegistryValue> values;
  RegistryKey key;
  if (key.open(root, path, KEY_READ) != ERROR_SUCCESS) return values;
  std::wstring name(256, L'\0');
  std::string data(4096, '\0');
  for (DWORD index = 0;;) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = REG_NONE;
    const LONG status = RegEnumValueW(key.handle(), index, &name[0], &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(&data[0]), &size);
    // Names reach 16383 characters and data far more: the buffers grow to
    // whatever the value asks for.
    if (status == ERROR_MORE_DATA && data.size() < (1u << 26)) {
      name.resize(name.size() < 16384 ? name.size() * 2 : name.size());
      data.resize(std::max<std::size_t>(data.size() * 2, size));
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    values[name.substr(0, nameLength)] = RegistryValue{type, data.substr(0, size)};
    ++index;
  }
  return values;
}

RegistryValue registryValue(HKEY root, const std::wstring& path, const std::wstring& name) {
  const std::map<std::wstring, RegistryValue> values = registryValues(root, path);
  const auto found = values.find(name);
  return found != values.end() ? found->second : RegistryValue();
}

std::map<std::wstring, std::wstring> registryTexts(HKEY root, const std::wstring& path) {
  std::map<std::wstring, std::wstring> texts;
  for (const auto& value : registryValues(root, path)) texts[value.first] = value.second.text();
  return texts;
}

bool registryKeyExists(HKEY root, const std::wstring& path) {
  RegistryKey key;
  return key.open(root, path, KEY_READ) == ERROR_SUCCESS;
}

}  // namespace tonvane::test
