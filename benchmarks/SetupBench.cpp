// The measuring half of `make bench` (benchmarks/run-bench runs it under
// Wine and makes the table). Each mode prints what it measured, one
// "name value" line per figure, and ends with 0 when the run it measured
// went as expected:
//
//   setup_bench startup RUNS PROGRAM [ARGUMENTS]
//       RUNS times: process start to the first visible top-level dialog of
//       the process holding a visible page dialog (the wizard's frame with
//       its first page, or another installer's window with its first
//       page), polled every 2 ms; then the process is ended.
//   setup_bench install PROGRAM FOLDER PROBE_DLL
//       Walks the setup to its Shortcuts page with FOLDER as the install
//       folder, and times from the Next click there until the Offers (or
//       Complete) page is shown. PROBE_DLL (pause_probe.dll), loaded into
//       the setup, times the Sleep calls of the setup's threads in that
//       span: the job's mandatory pauses, subtracted for the job's own
//       time. Meanwhile one thread sends WM_NULL to the frame every 50 ms
//       and records the longest wait for an answer, another polls the
//       setup's memory. Then No, press-release box unticked, Close.
//   setup_bench run PROGRAM [ARGUMENTS]
//       Process start to exit (another installer's silent install), with
//       the process's memory polled meanwhile.
//   setup_bench copy SOURCE TARGET
//       A plain copy of a folder tree (CopyFileW for each file): the floor.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "PauseProbe.h"
#include "SetupDriver.h"

using namespace tonvane::test;

namespace {

// The setup's control ids (its dialog templates) that the walk uses.
namespace control {
constexpr int kClose = 1;
constexpr int kNext = 1000;
constexpr int kNo = 1006;
constexpr int kFolderEdit = 1009;
constexpr int kPressRelease = 1021;
}  // namespace control

double now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double ticksToMilliseconds(LONG64 ticks) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

void figure(const char* name, double value) {
  std::printf("%s %.3f\n", name, value);
  std::fflush(stdout);
}

void note(const std::string& text) {
  std::printf("# %s\n", text.c_str());
  std::fflush(stdout);
}

std::wstring quoted(const std::wstring& text) {
  return text.find(L' ') == std::wstring::npos ? text : L"\"" + text + L"\"";
}

std::wstring joinArguments(int argc, wchar_t** argv, int from) {
  std::wstring line;
  for (int i = from; i < argc; ++i) {
    if (!line.empty()) line += L' ';
    line += quoted(argv[i]);
  }
  return line;
}

// --- Windows of another process ------------------------------------------

std::wstring classOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

bool visible(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

struct PageSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK findVisiblePageDialog(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<PageSearch*>(data);
  if (visible(child) && classOf(child) == L"#32770") {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK findFrameWithPage(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<PageSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !visible(window) || classOf(window) != L"#32770") return TRUE;
  PageSearch inner{search->processId, nullptr};
  EnumChildWindows(window, &findVisiblePageDialog, reinterpret_cast<LPARAM>(&inner));
  if (inner.found == nullptr) return TRUE;
  search->found = window;
  return FALSE;
}

// The process's visible top-level dialog that shows a visible page dialog.
HWND frameWithPage(DWORD processId) {
  PageSearch search{processId, nullptr};
  EnumWindows(&findFrameWithPage, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// --- Processes ---------------------------------------------------------

struct Process {
  HANDLE handle = nullptr;
  DWORD id = 0;
};

bool startProcess(const std::wstring& program, const std::wstring& arguments, Process& process) {
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  CloseHandle(info.hThread);
  process.handle = info.hProcess;
  process.id = info.dwProcessId;
  return true;
}

void endProcess(Process& process) {
  if (process.handle == nullptr) return;
  if (WaitForSingleObject(process.handle, 0) == WAIT_TIMEOUT) TerminateProcess(process.handle, 0xBE);
  WaitForSingleObject(process.handle, 30000);
  CloseHandle(process.handle);
  process.handle = nullptr;
}

// Polls a process's memory counters on a thread of its own until stopped.
class MemoryWatch {
 public:
  explicit MemoryWatch(HANDLE process) : process_(process) {}
  ~MemoryWatch() { stop(); }

  void start() {
    sample();
    thread_ = CreateThread(nullptr, 0, &MemoryWatch::loop, this, 0, nullptr);
  }
  void stop() {
    if (thread_ == nullptr) return;
    stopping_ = true;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
    sample();
  }

  double privatePeak() const { return static_cast<double>(privatePeak_); }
  double workingSetPeak() const { return static_cast<double>(workingSetPeak_); }

 private:
  static DWORD WINAPI loop(LPVOID self) {
    auto* watch = static_cast<MemoryWatch*>(self);
    while (!watch->stopping_) {
      watch->sample();
      Sleep(20);
    }
    return 0;
  }

  void sample() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process_, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) return;
    privatePeak_ = std::max<SIZE_T>({privatePeak_, counters.PrivateUsage, counters.PeakPagefileUsage});
    workingSetPeak_ = std::max<SIZE_T>({workingSetPeak_, counters.WorkingSetSize, counters.PeakWorkingSetSize});
  }

  HANDLE process_;
  HANDLE thread_ = nullptr;
  std::atomic<bool> stopping_{false};
  SIZE_T privatePeak_ = 0;
  SIZE_T workingSetPeak_ = 0;
};

// Sends WM_NULL to a window every 50 ms and records the longest wait for
// its answer: how long its thread went without handling messages.
class ResponsivenessWatch {
 public:
  explicit ResponsivenessWatch(HWND window) : window_(window) {}
  ~ResponsivenessWatch() { stop(); }

  void start() { thread_ = CreateThread(nullptr, 0, &ResponsivenessWatch::loop, this, 0, nullptr); }
  void stop() {
    if (thread_ == nullptr) return;
    stopping_ = true;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  double longestStall() const { return longest_; }

 private:
  static DWORD WINAPI loop(LPVOID self) {
    auto* watch = static_cast<ResponsivenessWatch*>(self);
    while (!watch->stopping_) {
      const double before = now();
      DWORD_PTR ignored = 0;
      if (!SendMessageTimeoutW(watch->window_, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &ignored)) break;
      watch->longest_ = std::max(watch->longest_, now() - before);
      Sleep(50);
    }
    return 0;
  }

  HWND window_;
  HANDLE thread_ = nullptr;
  std::atomic<bool> stopping_{false};
  double longest_ = 0;
};

// --- startup ---------------------------------------------------------------

int startupMode(int runs, const std::wstring& program, const std::wstring& arguments) {
  int failures = 0;
  for (int run = 0; run < runs; ++run) {
    Process process;
    const double started = now();
    if (!startProcess(program, arguments, process)) {
      note("cannot start the program");
      return 2;
    }
    HWND frame = nullptr;
    while ((frame = frameWithPage(process.id)) == nullptr && now() - started < 60000 &&
           WaitForSingleObject(process.handle, 0) == WAIT_TIMEOUT)
      Sleep(2);
    const double shown = now();
    if (frame != nullptr) {
      figure("startup_ms", shown - started);
    } else {
      note("no window with a page appeared");
      ++failures;
    }
    endProcess(process);
    Sleep(300);  // the wineserver forgets the ended process
  }
  return failures == 0 ? 0 : 1;
}

// --- install -----------------------------------------------------------------

// Loads the probe into the setup through a thread that starts at LoadLibraryW.
bool loadProbe(HANDLE process, const std::wstring& probe) {
  const SIZE_T bytes = (probe.size() + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote == nullptr || !WriteProcessMemory(process, remote, probe.c_str(), bytes, nullptr)) return false;
  // kernel32 lies at the same address in every process of a session.
  auto* loadLibrary = reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW"));
  HANDLE thread = CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(loadLibrary), remote,
                                     0, nullptr);
  if (thread == nullptr) return false;
  WaitForSingleObject(thread, 30000);
  DWORD loaded = 0;
  GetExitCodeThread(thread, &loaded);
  CloseHandle(thread);
  return loaded != 0;
}

int installMode(const std::wstring& program, const std::wstring& folder, const std::wstring& probe) {
  SetupRun run;
  if (!run.start(L"", program)) {
    note("cannot start the setup (error " + std::to_string(GetLastError()) + ")");
    return 2;
  }
  wchar_t blockName[64];
  pauseProbeBlockName(run.processId(), blockName, 64);
  HANDLE mapping =
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(PauseProbeBlock), blockName);
  auto* block =
      mapping != nullptr
          ? static_cast<PauseProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(PauseProbeBlock)))
          : nullptr;
  if (block == nullptr) {
    note("cannot share the probe's block");
    return 2;
  }

  HWND frame = run.waitForFrame(120000);
  if (frame == nullptr) {
    note("the wizard's frame did not appear");
    return 1;
  }
  // Settling asks the frame with SMTO_ABORTIFHUNG; on a busy machine a
  // frame still busy with its first page can count as hung for a moment.
  bool welcome = false;
  for (int attempt = 0; attempt < 3 && !welcome; ++attempt) welcome = run.waitForPage(SetupPage::Welcome);
  if (!welcome) {
    note(std::string("the wizard did not settle on its Welcome page (page now: ") + pageName(run.currentPage()) + ")");
    return 1;
  }
  if (!loadProbe(run.process(), probe) || block->hooked == 0) {
    note("the pause probe could not be loaded into the setup");
    return 1;
  }

  run.click(control::kNext);
  if (!run.waitForPage(SetupPage::Folder)) return note("no Folder page"), 1;
  run.typeInto(control::kFolderEdit, folder);
  if (windowText(run.control(control::kFolderEdit)) != folder) return note("the folder could not be typed"), 1;
  run.click(control::kNext);
  // The folder exists (run-bench makes it, empty): the setup asks whether
  // to install over it.
  const HWND overwrite = run.waitForMessageBox(10000);
  if (overwrite == nullptr || !SetupRun::answer(overwrite, IDYES)) return note("no question about the folder"), 1;
  if (!run.waitForPage(SetupPage::Shortcuts)) return note("no Shortcuts page"), 1;

  MemoryWatch memory(run.process());
  memory.start();
  const double privateBefore = memory.privatePeak();
  ResponsivenessWatch responsiveness(frame);
  responsiveness.start();
  Sleep(200);  // the watcher's first answers, before the job starts

  block->armed = 1;
  const double clicked = now();
  run.click(control::kNext);
  SetupPage page = SetupPage::None;
  for (;;) {
    page = run.currentPage();
    if (page == SetupPage::Offers || page == SetupPage::Complete) break;
    if (WaitForSingleObject(run.process(), 0) == WAIT_OBJECT_0 || now() - clicked > 600000) break;
    Sleep(2);
  }
  const double finished = now();
  block->armed = 0;
  responsiveness.stop();
  memory.stop();
  if (page != SetupPage::Offers && page != SetupPage::Complete) {
    note("the install did not reach the Offers or Complete page");
    return 1;
  }

  const double pauses = ticksToMilliseconds(block->ticks);
  figure("install_ms", finished - clicked);
  figure("pause_ms", pauses);
  figure("pause_calls", block->calls);
  figure("pause_requested_ms", static_cast<double>(block->requestedMilliseconds));
  figure("job_ms", finished - clicked - pauses);
  figure("stall_ms", responsiveness.longestStall());
  // The job's steps, told apart by its pauses (InstallJob: the install
  // folder ready, the application's files staged, the log and uninstaller
  // staged, the switch into place, the entry, links and settings and the
  // commit, bar at 100; then the next page).
  static const char* const kSteps[] = {"step_folder_ms", "step_stage_ms",  "step_stage_rest_ms",
                                       "step_switch_ms", "step_commit_ms", "step_at_100_ms"};
  const int calls = std::min<int>(static_cast<int>(block->calls), PauseProbeBlock::kMaxCalls);
  if (calls == 6) {
    double from = clicked;
    for (int call = 0; call < calls; ++call) {
      figure(kSteps[call], ticksToMilliseconds(block->began[call]) - from);
      from = ticksToMilliseconds(block->ended[call]);
    }
    figure("step_after_job_ms", finished - from);
  } else {
    note("the job paused " + std::to_string(calls) + " times, not 6: no steps");
  }
  // Where the wizard thread's time went meanwhile, by file function.
  double inFunctions = 0;
  for (int function = 0; function < kProbedFunctionCount; ++function) {
    if (block->functionCalls[function] == 0) continue;
    const double spent = ticksToMilliseconds(block->functionTicks[function]);
    inFunctions += spent;
    figure((std::string("api_") + kProbedFunctions[function] + "_ms").c_str(), spent);
    figure((std::string("api_") + kProbedFunctions[function] + "_calls").c_str(), block->functionCalls[function]);
  }
  figure("api_other_ms", finished - clicked - pauses - inFunctions);
  figure("private_before_bytes", privateBefore);
  figure("private_peak_bytes", memory.privatePeak());
  figure("working_set_peak_bytes", memory.workingSetPeak());

  if (page == SetupPage::Offers) {
    if (!run.waitForPage(SetupPage::Offers)) return note("the Offers page does not settle"), 1;
    run.click(control::kNo);
  }
  if (!run.waitForPage(SetupPage::Complete)) return note("no Complete page"), 1;
  if (run.isChecked(control::kPressRelease)) run.click(control::kPressRelease);
  if (!waitUntil([&] { return !run.isChecked(control::kPressRelease); }, 10000))
    return note("the press-release box stays ticked"), 1;
  run.click(control::kClose);
  const DWORD code = run.waitForExit(60000);
  figure("exit_code", code);
  UnmapViewOfFile(block);
  CloseHandle(mapping);
  return code == 1 ? 0 : 1;
}

// --- run ---------------------------------------------------------------------

int runMode(const std::wstring& program, const std::wstring& arguments) {
  Process process;
  const double started = now();
  if (!startProcess(program, arguments, process)) {
    note("cannot start the program");
    return 2;
  }
  MemoryWatch memory(process.handle);
  memory.start();
  const bool ended = WaitForSingleObject(process.handle, 600000) == WAIT_OBJECT_0;
  const double finished = now();
  memory.stop();
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process.handle, &code);
  endProcess(process);
  figure("run_ms", finished - started);
  figure("private_peak_bytes", memory.privatePeak());
  figure("working_set_peak_bytes", memory.workingSetPeak());
  figure("exit_code", code);
  return ended && code == 0 ? 0 : 1;
}

// --- copy ----------------------------------------------------------------------

bool copyTree(const std::wstring& source, const std::wstring& target, double& files, double& bytes) {
  if (!CreateDirectoryW(target.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((source + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring from = source + L"\\" + name;
    const std::wstring to = target + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = copyTree(from, to, files, bytes) && ok;
    } else {
      ok = CopyFileW(from.c_str(), to.c_str(), TRUE) && ok;
      files += 1;
      bytes += static_cast<double>((static_cast<ULONGLONG>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return ok;
}

int copyMode(const std::wstring& source, const std::wstring& target) {
  double files = 0, bytes = 0;
  const double started = now();
  const bool ok = copyTree(source, target, files, bytes);
  const double finished = now();
  figure("copy_ms", finished - started);
  figure("files", files);
  figure("bytes", bytes);
  return ok ? 0 : 1;
}

int usage() {
  std::printf(
      "usage: setup_bench startup RUNS PROGRAM [ARGUMENTS]\n"
      "       setup_bench install PROGRAM FOLDER PROBE_DLL\n"
      "       setup_bench run PROGRAM [ARGUMENTS]\n"
      "       setup_bench copy SOURCE TARGET\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return usage();
  const std::wstring mode = argv[1];
  if (mode == L"startup" && argc >= 4) return startupMode(_wtoi(argv[2]), argv[3], joinArguments(argc, argv, 4));
  if (mode == L"install" && argc == 5) return installMode(argv[2], argv[3], argv[4]);
  if (mode == L"run") return runMode(argv[2], joinArguments(argc, argv, 3));
  if (mode == L"copy" && argc == 4) return copyMode(argv[2], argv[3]);
  return usage();
}
