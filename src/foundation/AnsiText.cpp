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
  int written = WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), units, buffer.data(),
                                    static_cast<int>(buffer.size()), nullptr, nullptr);
  if (written == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    const int needed =
        WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), units, nullptr, 0, nullptr, nullptr);
    if (needed > 0) {
      buffer.assign(static_cast<std::size_t>(needed), '\0');
      written = WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), units, buffer.data(), needed,
                                    nullptr, nullptr);
    }
  }
  if (written == 0) raiseFailure(hresultFromLastError());
  return std::string(buffer.data());
}

}  // namespace tonvane
