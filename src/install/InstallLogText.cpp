#include "InstallLogText.h"

#include "NumberText.h"

namespace tonvane {

std::wstring installLogText(const std::vector<std::wstring>& paths) {
  std::wstring text = L"[Install]";
  std::size_t number = 0;
  for (const std::wstring& path : paths) {
    text += L"\r\nPath";
    text += decimalText(++number);
    text += L'=';
    text += path;
  }
  return text;
}

}  // namespace tonvane
