#include "SetupOptions.h"

#include "PathText.h"

namespace tonvane {

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool startsWith(const std::wstring& lowered, const wchar_t* prefix) {
  return lowered.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

// Past the program: a quoted path runs to the next quote, a bare one to the
// first blank, as CreateProcess reads it.
std::size_t skipProgram(const std::wstring& line) {
  if (!line.empty() && line[0] == L'"') {
    const std::size_t close = line.find(L'"', 1);
    return close == std::wstring::npos ? line.size() : close + 1;
  }
  std::size_t at = 0;
  while (at < line.size() && !isBlank(line[at])) ++at;
  return at;
}

// One argument from `at` on, its quotes dropped; `at` ends past it.
std::wstring readArgument(const std::wstring& line, std::size_t& at) {
  std::wstring argument;
  bool quoted = false;
  for (; at < line.size(); ++at) {
    const wchar_t c = line[at];
    if (c == L'"') {
      quoted = !quoted;
    } else if (isBlank(c) && !quoted) {
      break;
    } else {
      argument += c;
    }
  }
  return argument;
}

std::wstring folderOfRest(std::wstring rest) {
  while (!rest.empty() && isBlank(rest.back())) rest.pop_back();
  if (rest.size() >= 2 && rest.front() == L'"' && rest.back() == L'"') rest = rest.substr(1, rest.size() - 2);
  return rest;
}

void apply(SetupOptions& options, const std::wstring& argument) {
  const std::wstring lowered = lowerCase(argument);
  bool* flag = nullptr;
  if (lowered == L"/s") {
    options.silent = true;
  } else if (lowered == L"/?" || lowered == L"/help") {
    options.help = true;
  } else if (startsWith(lowered, L"/lang:")) {
    // Start-up's own option (LanguageChoice.h).
  } else if (startsWith(lowered, L"/log=")) {
    if (argument.size() > 5)
      options.logFile = argument.substr(5);
    else
      options.unknown.push_back(argument);
  } else if (lowered == L"/nodesktop") {
    flag = &options.noDesktop;
  } else if (lowered == L"/nostartmenu") {
    flag = &options.noStartMenu;
  } else if (lowered == L"/sendto") {
    flag = &options.sendTo;
  } else if (lowered == L"/currentuser") {
    flag = &options.currentUser;
  } else if (lowered == L"/portable") {
    flag = &options.portable;
  } else if (lowered == L"/allowdowngrade") {
    flag = &options.allowDowngrade;
  } else if (lowered == L"/nocloseapplications") {
    flag = &options.noCloseApplications;
  } else {
    options.unknown.push_back(argument);
  }
  if (flag != nullptr) {
    *flag = true;
    options.silentOnly.push_back(argument);
  }
}

}  // namespace

SetupOptions parseSetupOptions(const std::wstring& commandLine) {
  SetupOptions options;
  std::size_t at = skipProgram(commandLine);
  for (;;) {
    while (at < commandLine.size() && isBlank(commandLine[at])) ++at;
    if (at >= commandLine.size()) break;
    if (startsWith(lowerCase(commandLine.substr(at, 3)), L"/d=")) {
      options.folderGiven = true;
      options.folder = folderOfRest(commandLine.substr(at + 3));
      options.silentOnly.push_back(commandLine.substr(at));
      break;
    }
    const std::wstring argument = readArgument(commandLine, at);
    // A pair of quotes alone is an empty argument; it asks for nothing.
    if (!argument.empty()) apply(options, argument);
  }
  return options;
}

}  // namespace tonvane
