// The sample application the setup installs as Tonvane.exe until the real
// program takes its place: a window titled with the product and its version
// that shows which settings file it found and the folders that file names.
//
// Where the settings live follows what the setup leaves: the portable
// configuration writes "Tonvane.ini" beside the program, with "$Current\"
// standing for the program's own folder; every other configuration keeps
// the file in the user's "tonvanehome\Tonvane\" folder under the
// application data. Plain Win32 and no C++ library, which would make the
// program several times its size.
#include <windows.h>
#include <shlobj.h>
#include <strsafe.h>

#include "ProductIdentity.h"

#ifndef TONVANE_APPLICATION_VERSION
#error "the build passes the application's version"
#endif

namespace {

using tonvane::kSettingsFileName;
using tonvane::kUserSettingsFolder;

constexpr wchar_t kTitle[] = L"" TONVANE_PRODUCT_NAME " " TONVANE_APPLICATION_VERSION;
constexpr wchar_t kWindowClass[] = L"TonvaneSampleApplication";
constexpr wchar_t kCurrentFolderMark[] = L"$Current\\";
constexpr int kCurrentFolderMarkLength = sizeof kCurrentFolderMark / sizeof(wchar_t) - 1;
// Room for the longest path Windows has, so that a long install folder is
// never cut short.
constexpr DWORD kPathRoom = 32768;

wchar_t programFolder[kPathRoom];
wchar_t settingsFile[kPathRoom];
wchar_t setUpFolder[kPathRoom];
wchar_t stateFolder[kPathRoom];
wchar_t description[4 * kPathRoom];

// The folder of this program with a trailing backslash, or "" when its path
// cannot be had whole.
void findProgramFolder() {
  const DWORD length = GetModuleFileNameW(nullptr, programFolder, kPathRoom);
  if (length == 0 || length >= kPathRoom) {
    programFolder[0] = L'\0';
    return;
  }
  DWORD end = length;
  while (end > 0 && programFolder[end - 1] != L'\\') --end;
  programFolder[end] = L'\0';
}

bool isFile(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The user's settings folder with a trailing backslash, or false.
bool userSettingsFolder(wchar_t* folder) {
  wchar_t applicationData[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, applicationData) != S_OK) return false;
  StringCchCopyW(folder, kPathRoom, applicationData);
  const size_t length = lstrlenW(folder);
  if (length > 0 && folder[length - 1] != L'\\') StringCchCatW(folder, kPathRoom, L"\\");
  return SUCCEEDED(StringCchCatW(folder, kPathRoom, kUserSettingsFolder));
}

// A folder setting as the application uses it: "$Current\" at its start
// stands for the program's folder.
void readFolderSetting(const wchar_t* key, wchar_t* folder) {
  wchar_t value[kPathRoom / 2] = {};
  GetPrivateProfileStringW(L"Option", key, L"", value, kPathRoom / 2, settingsFile);
  const int length = lstrlenW(value);
  folder[0] = L'\0';
  if (length >= kCurrentFolderMarkLength && CompareStringOrdinal(value, kCurrentFolderMarkLength, kCurrentFolderMark,
                                                                 kCurrentFolderMarkLength, TRUE) == CSTR_EQUAL) {
    StringCchCopyW(folder, kPathRoom, programFolder);
    StringCchCatW(folder, kPathRoom, value + kCurrentFolderMarkLength);
  } else {
    StringCchCopyW(folder, kPathRoom, value);
  }
  if (folder[0] == L'\0') StringCchCopyW(folder, kPathRoom, L"(not set)");
}

// What the window shows: the settings file in use and the folders it names.
const wchar_t* describeSettings() {
  findProgramFolder();
  const wchar_t* kind = L"portable, beside the program";
  StringCchCopyW(settingsFile, kPathRoom, programFolder);
  StringCchCatW(settingsFile, kPathRoom, kSettingsFileName);
  if (programFolder[0] == L'\0' || !isFile(settingsFile)) {
    kind = L"the user's";
    wchar_t* userFolder = setUpFolder;  // free until the settings are read
    if (!userSettingsFolder(userFolder)) {
      StringCchCopyW(description, 4 * kPathRoom, L"Settings file: none (no application-data folder)");
      return description;
    }
    StringCchCopyW(settingsFile, kPathRoom, userFolder);
    StringCchCatW(settingsFile, kPathRoom, kSettingsFileName);
    if (!isFile(settingsFile)) {
      // A first start: the application would make the file there.
      StringCchPrintfW(description, 4 * kPathRoom, L"Settings file: none yet\r\nSettings folder: %ls", userFolder);
      return description;
    }
  }
  readFolderSetting(L"SetUpFolder", setUpFolder);
  readFolderSetting(L"StateFolder", stateFolder);
  StringCchPrintfW(description, 4 * kPathRoom, L"Settings file: %ls (%ls)\r\nSet-up folder: %ls\r\nState folder: %ls",
                   settingsFile, kind, setUpFolder, stateFolder);
  return description;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      HWND text = CreateWindowExW(0, L"STATIC", describeSettings(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0,
                                  0, 0, window, reinterpret_cast<HMENU>(1), nullptr, nullptr);
      SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
      return 0;
    }
    case WM_SIZE:
      MoveWindow(GetDlgItem(window, 1), 12, 12, LOWORD(lParam) - 24, HIWORD(lParam) - 24, TRUE);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassExW(&windowClass) == 0) return 1;
  HWND window = CreateWindowExW(0, kWindowClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 560, 160,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG message = {};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
