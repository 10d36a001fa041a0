#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "RegistryKey.h"

using namespace tonvane;

namespace {

// Each test works in a key of its own under the current user, named after
// the process so that the English and the Japanese runs never meet.
class RegistryKeyTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = L"Software\\Tonvane Tests\\RegistryKey-" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    if (raw_ != nullptr) RegCloseKey(raw_);
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tonvane Tests");  // only once empty
  }

  void setRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    ASSERT_EQ(RegSetValueExW(raw_, name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
  }
  void setDword(const wchar_t* name, DWORD value) { setRaw(name, REG_DWORD, &value, sizeof value); }

  struct RawValue {
    DWORD type = REG_NONE;
    std::string bytes;
    LONG status = ERROR_SUCCESS;
  };
  RawValue readRaw(const wchar_t* name) {
    RawValue value;
    char data[4096];
    DWORD size = sizeof data;
    value.status = RegQueryValueExW(raw_, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size);
    if (value.status == ERROR_SUCCESS) value.bytes.assign(data, size);
    return value;
  }

  std::wstring path_;
  HKEY raw_ = nullptr;
};

std::string bytesOf(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

// Letters that change along the text, so that a cut or shifted copy shows.
std::wstring patternText(std::size_t length) {
  std::wstring text;
  for (std::size_t i = 0; i < length; ++i) text += static_cast<wchar_t>(L'A' + (i * 7 + i / 26) % 26);
  return text;
}

TEST_F(RegistryKeyTest, OpenCreateAndCloseHoldOneKey) {
  RegistryKey key;
  EXPECT_FALSE(key.isOpen());
  EXPECT_EQ(key.close(), ERROR_SUCCESS);

  // Missing keys on the way are created.
  ASSERT_EQ(key.create(HKEY_CURRENT_USER, path_ + L"\\a\\b"), ERROR_SUCCESS);
  EXPECT_TRUE(key.isOpen());
  EXPECT_EQ(key.setString(L"v", L"in b"), ERROR_SUCCESS);

  RegistryKey reader;
  EXPECT_EQ(reader.open(HKEY_CURRENT_USER, path_ + L"\\missing", KEY_READ), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(reader.isOpen());
  ASSERT_EQ(reader.open(HKEY_CURRENT_USER, path_ + L"\\a\\b", KEY_READ), ERROR_SUCCESS);
  std::wstring text;
  EXPECT_EQ(queryStringGrowing(reader, L"v", text), ERROR_SUCCESS);
  EXPECT_EQ(text, L"in b");

  // Opening again replaces the held key.
  ASSERT_EQ(reader.open(HKEY_CURRENT_USER, path_ + L"\\a", KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(queryStringGrowing(reader, L"v", text), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(key.close(), ERROR_SUCCESS);
  EXPECT_FALSE(key.isOpen());
  EXPECT_EQ(key.close(), ERROR_SUCCESS);
  EXPECT_EQ(key.setString(L"v", L"x"), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryKeyTest, AFailedOpenOrCreateKeepsTheKeyHeldBefore) {
  setRaw(L"v", REG_SZ, L"kept", 10);
  RegistryKey key;
  ASSERT_EQ(key.open(HKEY_CURRENT_USER, path_, KEY_READ), ERROR_SUCCESS);
  const HKEY held = key.handle();

  EXPECT_EQ(key.open(HKEY_CURRENT_USER, path_ + L"\\missing", KEY_READ), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key.create(nullptr, L"anything"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(key.handle(), held);

  // Still open, not merely remembered: it reads.
  std::wstring text;
  EXPECT_EQ(queryStringGrowing(key, L"v", text), ERROR_SUCCESS);
  EXPECT_EQ(text, L"kept");
}

TEST_F(RegistryKeyTest, QueryStringReadsOnlyTerminatedStrings) {
  const DWORD number = 0x00410041;  // would read as "AA" if taken for text
  setRaw(L"number", REG_DWORD, &number, sizeof number);
  setRaw(L"binary", REG_BINARY, L"text", 10);
  // The registry adds a terminator that directly follows the data given, so
  // the unterminated texts are cut from longer ones.
  setRaw(L"unterminated", REG_SZ, L"abcd", 6);
  setRaw(L"odd", REG_SZ, L"abcd", 5);
  setRaw(L"empty", REG_SZ, L"", 0);
  setRaw(L"expand", REG_EXPAND_SZ, L"%SystemRoot%\\x", 30);
  setRaw(L"text", REG_SZ, L"Tonvane", 16);

  ASSERT_EQ(readRaw(L"unterminated").bytes.size(), 6u);
  ASSERT_EQ(readRaw(L"odd").bytes.size(), 5u);

  RegistryKey key;
  ASSERT_EQ(key.open(HKEY_CURRENT_USER, path_, KEY_READ), ERROR_SUCCESS);
  wchar_t buffer[16];
  DWORD capacity = 0;
  // Each query starts from a buffer full of 'x' and a capacity of 16.
  const auto query = [&](const wchar_t* name) {
    std::fill(buffer, buffer + 16, L'x');
    capacity = 16;
    return key.queryString(name, buffer, capacity);
  };

  EXPECT_EQ(query(L"text"), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"Tonvane");
  EXPECT_EQ(capacity, 8u);

  for (const wchar_t* name : {L"number", L"binary", L"unterminated", L"odd"}) {
    EXPECT_EQ(query(name), ERROR_INVALID_DATA) << name;
    EXPECT_STREQ(buffer, L"") << name;
    EXPECT_EQ(capacity, 0u) << name;
  }

  EXPECT_EQ(query(L"empty"), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(capacity, 0u);

  EXPECT_EQ(query(L"expand"), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"%SystemRoot%\\x");
  EXPECT_EQ(capacity, 15u);

  EXPECT_EQ(query(L"missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(capacity, 0u);

  // Too small by one: the terminator needs its room.
  std::fill(buffer, buffer + 16, L'x');
  capacity = 7;
  EXPECT_EQ(key.queryString(L"text", buffer, capacity), ERROR_MORE_DATA);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(capacity, 0u);

  // Without a buffer only the size is asked for.
  capacity = 0;
  EXPECT_EQ(key.queryString(L"text", nullptr, capacity), ERROR_SUCCESS);
  EXPECT_EQ(capacity, 8u);
}

TEST_F(RegistryKeyTest, QueryStringGrowingReadsEveryLengthWhole) {
  // 63 characters and the terminator fill 64 exactly; 300 need the fourth
  // buffer, of 512.
  const std::size_t lengths[] = {0, 1, 63, 64, 65, 127, 128, 255, 256, 300, 511, 512, 5000};
  for (std::size_t length : lengths) {
    const std::wstring name = L"v" + std::to_wstring(length);
    const std::wstring text = patternText(length);
    setRaw(name.c_str(), REG_SZ, text.c_str(), static_cast<DWORD>((length + 1) * sizeof(wchar_t)));
  }
  RegistryKey key;
  ASSERT_EQ(key.open(HKEY_CURRENT_USER, path_, KEY_READ), ERROR_SUCCESS);
  for (std::size_t length : lengths) {
    std::wstring text = L"before";
    EXPECT_EQ(queryStringGrowing(key, L"v" + std::to_wstring(length), text), ERROR_SUCCESS);
    EXPECT_EQ(text, patternText(length)) << length;
  }

  // The buffer sizes it passes through: 256 is too small for 300, 512 fits.
  std::wstring buffer(512, L'x');
  DWORD capacity = 256;
  EXPECT_EQ(key.queryString(L"v300", &buffer[0], capacity), ERROR_MORE_DATA);
  capacity = 512;
  EXPECT_EQ(key.queryString(L"v300", &buffer[0], capacity), ERROR_SUCCESS);
  EXPECT_EQ(capacity, 301u);
}

TEST_F(RegistryKeyTest, QueryStringGrowingStopsAtTheFirstZeroAndKeepsTextOnFailure) {
  setRaw(L"two", REG_SZ, L"ab\0cd", 12);
  setDword(L"number", 7);
  setRaw(L"long unterminated", REG_SZ, patternText(401).c_str(), 800);
  ASSERT_EQ(readRaw(L"long unterminated").bytes.size(), 800u);
  RegistryKey key;
  ASSERT_EQ(key.open(HKEY_CURRENT_USER, path_, KEY_READ), ERROR_SUCCESS);

  std::wstring text = L"kept";
  EXPECT_EQ(queryStringGrowing(key, L"two", text), ERROR_SUCCESS);
  EXPECT_EQ(text, L"ab");

  text = L"kept";
  EXPECT_EQ(queryStringGrowing(key, L"number", text), ERROR_INVALID_DATA);
  EXPECT_EQ(text, L"kept");
  EXPECT_EQ(queryStringGrowing(key, L"long unterminated", text), ERROR_INVALID_DATA);
  EXPECT_EQ(text, L"kept");
  EXPECT_EQ(queryStringGrowing(key, L"missing", text), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(text, L"kept");

  RegistryKey closed;
  EXPECT_EQ(queryStringGrowing(closed, L"two", text), ERROR_INVALID_HANDLE);
  EXPECT_EQ(text, L"kept");
}

TEST_F(RegistryKeyTest, SetStringWritesRegSzWithItsTerminator) {
  RegistryKey key;
  ASSERT_EQ(key.create(HKEY_CURRENT_USER, path_), ERROR_SUCCESS);
  setDword(L"was a number", 5);

  const std::wstring japanese = L"\u6ce2\u5f62\u7de8\u96c6 Tonvane";
  EXPECT_EQ(key.setString(L"empty", L""), ERROR_SUCCESS);
  EXPECT_EQ(key.setString(L"text", japanese), ERROR_SUCCESS);
  EXPECT_EQ(key.setString(L"was a number", L"now text"), ERROR_SUCCESS);

  const RawValue empty = readRaw(L"empty");
  EXPECT_EQ(empty.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(empty.bytes, std::string(2, '\0'));
  const RawValue text = readRaw(L"text");
  EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(text.bytes, bytesOf(japanese));
  const RawValue replaced = readRaw(L"was a number");
  EXPECT_EQ(replaced.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(replaced.bytes, bytesOf(L"now text"));

  // A key opened for reading only refuses the write, and says so.
  RegistryKey reader;
  ASSERT_EQ(reader.open(HKEY_CURRENT_USER, path_, KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(reader.setString(L"text", L"other"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(readRaw(L"text").bytes, bytesOf(japanese));
}

}  // namespace
