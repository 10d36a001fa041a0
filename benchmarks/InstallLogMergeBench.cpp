// Merging the old log of a large installation with a new install of the
// same size: 10,000 existing files listed in the old log, 10,000 files
// extracted anew, half of them already listed. Target: under one second.
//
//   install_log_bench [FOLDER]
//
// FOLDER (a Windows path) may hold the files already, made from outside:
// Wine creates a file in a folder of thousands by reading the whole folder
// first (it looks for the name in another letter case), so making them here
// takes minutes; only the merge is timed either way.
#include <windows.h>

#include <cstdio>

#include "InstallLog.h"
#include "TestFiles.h"

using namespace tonvane;

namespace {

constexpr int kOld = 10000;
constexpr int kNew = 10000;
constexpr double kTargetMs = 1000.0;

double milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void touch(const std::wstring& path) {
  if (!test::fileExists(path)) test::writeBytes(path, "");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  test::TempFolder temp;
  std::wstring app = argc > 1 ? std::wstring(argv[1]) : temp.path();
  if (app.back() != L'\\') app += L'\\';
  CreateDirectoryW((app + L"resource").c_str(), nullptr);

  // The old installation: its files exist and its log lists them.
  PathList old;
  std::vector<std::wstring> extracted;
  for (int i = 0; i < kOld; ++i) {
    const std::wstring path = app + L"resource\\old-" + std::to_wstring(i) + L".png";
    touch(path);
    old.addExistingPath(path);
    if (i < kNew / 2) extracted.push_back(path);  // extracted again
  }
  for (int i = 0; extracted.size() < static_cast<std::size_t>(kNew); ++i) {
    const std::wstring path = app + L"resource\\new-" + std::to_wstring(i) + L".png";
    touch(path);
    extracted.push_back(path);
  }
  if (!saveInstallLog(old, app + L"install.log")) {
    std::printf("could not write the old log\n");
    return 2;
  }

  LARGE_INTEGER start, loaded, merged, saved;
  QueryPerformanceCounter(&start);
  PathList list;
  loadInstallLog(app + L"install.log", list);
  QueryPerformanceCounter(&loaded);
  for (const std::wstring& path : extracted) list.addExistingPath(path);
  QueryPerformanceCounter(&merged);
  const bool written = saveInstallLog(list, app + L"install.log");
  QueryPerformanceCounter(&saved);

  const double total = milliseconds(start, saved);
  std::printf("install log merge: %d old + %d new paths -> %u listed, log %s\n", kOld, kNew,
              static_cast<unsigned>(list.size()), written ? "written" : "NOT written");
  std::printf("  load %.1f ms, merge %.1f ms, save %.1f ms, total %.1f ms (target < %.0f ms)\n",
              milliseconds(start, loaded), milliseconds(loaded, merged), milliseconds(merged, saved), total, kTargetMs);
  const bool ok = written && list.size() == static_cast<std::size_t>(kOld + kNew / 2) && total < kTargetMs;
  std::printf("%s\n", ok ? "within target" : "OUT OF TARGET");
  return ok ? 0 : 1;
}
