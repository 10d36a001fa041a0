// The one record of a setup run: the wizard's windows, the current page, the
// user's choices, and what the partner-offer worker shares with the main
// thread under `lock`.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CriticalSection.h"
#include "DialogBinding.h"
#include "InstallChoices.h"
#include "WorkerThread.h"

namespace tonvane {

// The values of SetupState::pageIndex. The first six are page dialogs; the
// last two share the terms view.
enum PageIndex : std::int32_t {
  Welcome = 0,
  Folder = 1,
  Shortcuts = 2,
  Progress = 3,
  Offers = 4,
  Complete = 5,
  ToolbarTerms = 6,
  PluginTerms = 7,
};

constexpr int kPageDialogCount = 6;
constexpr int kPageIndexCount = 8;

constexpr bool isPageIndex(std::int32_t value) { return value >= Welcome && value <= PluginTerms; }

// The dialog template of a page dialog; 0 for the terms pages and anything
// outside 0 to 7.
unsigned pageTemplateId(std::int32_t page);

// A page dialog and the controller object its window is bound to (null until
// the controller is made).
struct PageSlot {
  HWND window = nullptr;
  std::unique_ptr<DialogBinding> binding;
};

struct SetupState {
  // Every field at its initial value; no window is created.
  SetupState() = default;
  // Teardown: waits for the offer worker to end and frees it, then deletes
  // the files listed in tempFiles and removes an empty stagingFolder, under
  // `lock`. The worker goes first: one that had not yet started staging
  // would otherwise stage its files after the deletion and leave them behind.
  ~SetupState();
  SetupState(const SetupState&) = delete;
  SetupState& operator=(const SetupState&) = delete;

  // The choices the install engine works from.
  InstallChoices installChoices() const;

  HWND frameWindow = nullptr;
  // Guards tempFiles, stagingFolder, toolbarInstaller and pluginInstaller.
  // No other lock is taken while it is held.
  CriticalSection lock;
  // Owned; null while no worker was started. Freed by shutdown().
  WorkerThread* offerWorker = nullptr;
  // Full paths of staged files that teardown deletes.
  std::vector<std::wstring> tempFiles;
  std::wstring toolbarInstaller;
  std::wstring pluginInstaller;
  // Ends with a backslash once set.
  std::wstring stagingFolder;
  PageSlot pages[kPageDialogCount];
  HWND termsView = nullptr;
  std::int32_t pageIndex = Welcome;
  // As the user typed it on the folder page.
  std::wstring installFolder;
  // The seven choices, together and in this order.
  bool portable = false;
  bool startMenuShortcut = false;
  bool desktopShortcut = false;
  bool sendToShortcut = false;
  bool allUsers = false;
  bool installToolbar = false;
  bool installPlugin = false;
};

}  // namespace tonvane
