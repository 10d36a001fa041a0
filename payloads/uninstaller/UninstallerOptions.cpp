#include "UninstallerOptions.h"

#include "PathText.h"

namespace tonvane {

namespace {

bool decimalNumber(const std::wstring& text, std::uintptr_t& value) {
  if (text.empty() || text.size() > 19) return false;
  std::uintptr_t number = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    number = number * 10 + static_cast<std::uintptr_t>(c - L'0');
  }
  value = number;
  return true;
}

}  // namespace

UninstallerOptions parseUninstallerOptions(const std::vector<std::wstring>& arguments) {
  UninstallerOptions options;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::wstring option = lowerCase(arguments[i]);
    if (option == L"/uninstall") {
      options.uninstall = true;
    } else if (option == L"/s") {
      options.silent = true;
    } else if (option == L"/finish" && i + 2 < arguments.size()) {
      std::uintptr_t process = 0;
      if (!decimalNumber(arguments[i + 1], process) || arguments[i + 2].empty()) continue;
      options.finish = true;
      options.originalProcess = process;
      options.installFolder = arguments[i + 2];
      i += 2;
    }
  }
  return options;
}

}  // namespace tonvane
