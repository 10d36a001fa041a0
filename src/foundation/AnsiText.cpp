#include "AnsiText.h"

#include <windows.h>

#include <climits>
#include <vector>

#include "Errors.h"

namespace tonvane {

std::wstring decodeCodePageText(const void* bytes, std::size_t count, unsigned codePage) {
  if (bytes == nullptr || count == 0) return std::wstring();
  if (count > static_cast<std::size_t>(INT_MAX)) raiseFailure(E_INVALIDARG);
  const char* source = static_cast<const char*>(bytes);
  const int length = static_cast<int>(count);
  const int needed = MultiByteToWideChar(codePage, 0, source, length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  const int written = MultiByteToWideChar(codePage, 0, source, length, &text[0], needed);
  text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return text;
}

std::wstring decodeAnsiText(const void* bytes, std::size_t count) {
  return decodeCodePageText(bytes, count, CP_THREAD_ACP);
}

std::string encodeAnsiText(const std::wstring& text) {
  // The terminating zero goes through the conversion too, so the result is
  // always terminated; four bytes per character cover every ANSI code page.
  if (text.size() >= static_cast<std::size_t>(INT_MAX / 4)) raiseFailure(E_INVALIDARG);
  const int units = static_cast<int>(text.size()) + 1;
  std::vector<char> buffer(static_cast<std::size_t>(units) * 4);
  // A character without an exact mapping becomes the default character,
  // never a look-alike: a folder whose name begins with an L with stroke must not
  // turn into one with a plain L, another path that may exist. Code pages such as
  // UTF-8 take no flags at all.
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  const auto convert = [&](char* output, int room) {
    return WideCharToMultiByte(CP_THREAD_ACP, flags, text.c_str(), units, output, room, nullptr, nullptr);
  };
  int written = convert(buffer.data(), static_cast<int>(buffer.size()));
  if (written == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    written = convert(buffer.data(), static_cast<int>(buffer.size()));
  }
  if (written == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    const int needed = convert(nullptr, 0);
    if (needed > 0) {
      buffer.assign(static_cast<std::size_t>(needed), '\0');
      written = convert(buffer.data(), needed);
    }
  }
  if (written == 0) raiseFailure(hresultFromLastError());
  return std::string(buffer.data());
}

}  // namespace tonvane
