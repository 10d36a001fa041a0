// Who the product is: every name the setup and the uninstaller give the
// product, its programs, files, folders, registry key and mutexes, defined
// here once. Foundation, so that every layer and both programs include it.
//
// The plain literals come first, one `#define NAME "text"` a line: the
// build reads these lines (cmake/ProductIdentity.cmake) for the programs'
// file names, version resources and manifests, and
// tools/make-winget-manifest reads the product's name and publisher. The
// program's constants below are made from them.
//
// The two captions are also translation keys (the translation tables hold
// them as they stand), so they are written whole rather than put together
// from the product's name; a check below keeps them beginning with it.
// Sentences that name the product ("Tonvane Free was removed from your
// computer.") are translation keys of their own and stay where they are
// said.
#pragma once

#define TONVANE_PUBLISHER "Marrowfen"
#define TONVANE_PRODUCT_NAME "Tonvane Free"
// The application's program, "<name>.exe", its settings "<name>.ini".
#define TONVANE_APPLICATION_NAME "Tonvane"
// The setup's and the uninstaller's programs, without ".exe".
#define TONVANE_SETUP_NAME "TonvaneSetup"
#define TONVANE_UNINSTALLER_NAME "TonvaneUninstaller"
#define TONVANE_SETUP_CAPTION "Tonvane Free Setup"
#define TONVANE_UNINSTALL_CAPTION "Tonvane Free Uninstall"

#include <string>

namespace tonvane {

// The publisher the uninstall entry names.
constexpr const wchar_t* kPublisher = L"" TONVANE_PUBLISHER;

// The product: the key and display name of its uninstall entry, the name of
// its install folder and Start menu group, and of its links.
constexpr const wchar_t* kProductName = L"" TONVANE_PRODUCT_NAME;
// The install folder's own name, without and with its backslash.
constexpr const wchar_t* kInstallFolderName = L"" TONVANE_PRODUCT_NAME;
constexpr const wchar_t* kInstallFolderNameSlash = L"" TONVANE_PRODUCT_NAME L"\\";

// Under HKEY_LOCAL_MACHINE, for every user: there is no per-user entry.
constexpr const wchar_t* kUninstallRoot = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The captions of the setup's and the uninstaller's windows and message
// boxes, and their translation keys.
constexpr const wchar_t* kSetupCaption = L"" TONVANE_SETUP_CAPTION;
constexpr const wchar_t* kUninstallCaption = L"" TONVANE_UNINSTALL_CAPTION;

// In the install folder: the application's program and settings file, the
// uninstaller, the list of installed files and the journal of an install
// under way (JournalText.h).
constexpr const wchar_t* kProgramFileName = L"" TONVANE_APPLICATION_NAME L".exe";
constexpr const wchar_t* kSettingsFileName = L"" TONVANE_APPLICATION_NAME L".ini";
constexpr const wchar_t* kUninstallerFileName = L"" TONVANE_UNINSTALLER_NAME L".exe";
constexpr const wchar_t* kInstallLogFileName = L"install.log";
constexpr const wchar_t* kJournalFileName = L"install.journal";

// The application's settings folder under the user's application-data
// folder.
constexpr const wchar_t* kUserSettingsFolder = L"tonvanehome\\Tonvane\\";

// The private folders of the setup (its staging folder for the partner
// offers) and of the uninstaller's copy (SelfRemoval.h) are
// "<prefix>NNNNNNNN": a run that was killed left its folder, which the next
// run knows by the prefix.
constexpr const wchar_t* kStagingFolderPrefix = L"" TONVANE_SETUP_NAME L"-";
constexpr const wchar_t* kUninstallerCopyFolderPrefix = L"" TONVANE_APPLICATION_NAME L"Uninstall-";

// The named mutexes that let one copy of each program run at a time, named
// after the programs.
constexpr const wchar_t* kSetupMutexName = L"" TONVANE_SETUP_NAME;
constexpr const wchar_t* kUninstallerMutexName = L"" TONVANE_UNINSTALLER_NAME;

// The vendor's web site: a build setting (the CMake cache variable
// TONVANE_VENDOR_SITE), a plain http address ending in "/", so that paths
// such as "services/tidewhistle/" are appended to it as they are.
std::wstring vendorSite();

namespace identity {
constexpr bool beginsWith(const char* text, const char* start) {
  while (*start != '\0') {
    if (*text++ != *start++) return false;
  }
  return true;
}
}  // namespace identity
static_assert(identity::beginsWith(TONVANE_SETUP_CAPTION, TONVANE_PRODUCT_NAME " ") &&
                  identity::beginsWith(TONVANE_UNINSTALL_CAPTION, TONVANE_PRODUCT_NAME " "),
              "the captions name the product");

}  // namespace tonvane
