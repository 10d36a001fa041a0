// The one record of a setup run: the wizard's windows, the current page, the
// user's choices, and the partner offers staged for the run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "DialogBinding.h"
#include "EarlierInstall.h"
#include "InstallChoices.h"
#include "PartnerOffers.h"

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
  SetupState(const SetupState&) = delete;
  SetupState& operator=(const SetupState&) = delete;

  // The choices the install engine works from.
  InstallChoices installChoices() const;

  HWND frameWindow = nullptr;
  PageSlot pages[kPageDialogCount];
  HWND termsView = nullptr;
  std::int32_t pageIndex = Welcome;
  // The release found installed as the wizard started: its folder is the
  // one proposed, its version asked about before going back a release.
  EarlierInstall earlier;
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
  // While the install job runs on its own thread: the wizard keeps answering
  // messages, but nothing may end it or move it to another page meanwhile.
  bool installing = false;
  // Set by Cancel while the install job runs, read by the job's thread.
  volatile LONG cancelInstall = 0;

  // Last, so that it goes first at teardown (see ~StagedOffers): the worker
  // is waited for and what it staged deleted before anything else of the
  // run is freed.
  StagedOffers offers;
};

}  // namespace tonvane
