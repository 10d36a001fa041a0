#include "Shortcuts.h"

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "HeldPath.h"
#include "InstallTransaction.h"
#include "Paths.h"
#include "PathText.h"
#include "ProductIdentity.h"
#include "Resources.h"
#include "SetupLog.h"
#include "ShellLink.h"
#include "TranslationTable.h"
#include "UninstallRegistration.h"

namespace tonvane {

namespace {

std::wstring folderWithBackslash(int csidl) { return ensureTrailingBackslash(specialFolderPath(csidl)); }

// What the step changes, with the way back for each change when it runs
// inside an install's transaction; without one, changes are simply made.
class Changes {
 public:
  explicit Changes(InstallTransaction* transaction) : transaction_(transaction) {}

  bool allows(const std::wstring& step) { return transaction_ == nullptr || transaction_->gate().allows(step); }

  void undo(std::function<void()> action) {
    if (transaction_ != nullptr) transaction_->addUndo(std::move(action));
  }

  bool failed() const { return failed_; }
  // The rest of the step is skipped inside a transaction: it is undone anyway.
  bool stopped() const { return failed_ && transaction_ != nullptr; }
  void fail() { failed_ = true; }

 private:
  InstallTransaction* transaction_;
  bool failed_ = false;
};

// Links and settings files are small; a larger file at their name is not
// one this step would put back.
constexpr std::size_t kLongestKeptFile = 4u * 1024u * 1024u;

// The bytes of the file at `path` as they were before the step changed it;
// false when there is no plain file there to keep.
bool keepBytes(const std::wstring& path, std::string& bytes) {
  HeldPath file;
  return isExistingPath(path) && file.open(path, HeldPath::Access::Look) && !file.isFolder() &&
         !file.isReparsePoint() && file.readAll(bytes, kLongestKeptFile);
}

// Puts a file back as it was (`bytes`), or deletes what the step made
// there (`existed` false), in its folder held against a swap.
void putBack(const std::wstring& folder, const std::wstring& name, bool existed, const std::string& bytes) {
  std::vector<HeldPath> held;
  if (!holdFolderSteps(folder, std::wstring(), held)) {
    setupLog(L"Could not put back " + folder + name + L": its folder cannot be checked");
    return;
  }
  bool done = false;
  if (existed) {
    done = replaceFileWithBytes(folder + name, bytes.data(), bytes.size());
  } else {
    HeldPath file;
    done = !isExistingPath(folder + name) ||
           (file.open(folder + name, HeldPath::Access::Delete) && !file.isFolder() &&
            file.isAt(ensureTrailingBackslash(held.back().finalPath()) + name) && file.remove());
  }
  setupLog((done ? L"Put back: " : L"Could not put back: ") + folder + name);
}

// createShortcut, told to the setup log, in `folder` (held by the caller).
// A link (a symbolic link, a junction) standing at the name would take the
// save to its target: such a name is left alone, and the link counts as
// not made.
void makeLink(Changes& changes, const std::wstring& target, const std::wstring& folder, const std::wstring& name,
              const std::wstring& description, const std::wstring& arguments) {
  if (changes.stopped()) return;
  const std::wstring linkPath = folder + name;
  if (!changes.allows(L"link " + linkPath)) return changes.fail();
  if (pathHasAttributes(linkPath, FILE_ATTRIBUTE_REPARSE_POINT)) {
    setupLog(L"Link not made, a link to elsewhere stands at its name: " + linkPath);
    return changes.fail();
  }
  std::string earlier;
  const bool existed = keepBytes(linkPath, earlier);
  const bool made = createShortcut(target, linkPath, description, arguments);
  setupLog((made ? L"Link made: " : L"Link could not be made: ") + linkPath + L" -> " + target +
           (arguments.empty() ? L"" : L" " + arguments));
  // A save that failed half-way may have left a file too.
  changes.undo([folder, name, existed, earlier] { putBack(folder, name, existed, earlier); });
  if (!made) changes.fail();
}

std::wstring programLinkName() { return std::wstring(kProductName) + L".lnk"; }

void writePortableSettings(Changes& changes, const std::wstring& installFolder) {
  const ResourceBytes settingsTemplate = loadResource(ResourceId::kText, IDR_SETTINGS_TEMPLATE);
  // Without its template the program must not empty a settings file that
  // is already there.
  if (settingsTemplate.size == 0) return;
  const std::wstring settingsFile = installFolder + kSettingsFileName;
  if (!changes.allows(L"settings " + settingsFile)) return changes.fail();
  std::string earlier;
  const bool existed = keepBytes(settingsFile, earlier);
  const bool written = replaceFileWithBytes(settingsFile, settingsTemplate.data, settingsTemplate.size);
  setupLog((written ? L"Settings written: " : L"Settings could not be written: ") + settingsFile);
  if (!written) return changes.fail();
  changes.undo([installFolder, existed, earlier] { putBack(installFolder, kSettingsFileName, existed, earlier); });
}

void moveSettingsToUserFolder(Changes& changes, const std::wstring& settingsFile, const std::wstring& applicationData) {
  if (applicationData.empty() || !isExistingFile(settingsFile)) return;
  // Neither the folder is made nor a file there replaced: without both the
  // move fails and the application keeps its settings where they are. The
  // folders are the user's: held while the file moves, none of them a link
  // to a place of somebody else's.
  std::vector<HeldPath> userFolder;
  if (!holdFolderSteps(applicationData, kUserSettingsFolder, userFolder)) return;
  const std::wstring moved = applicationData + kUserSettingsFolder + kSettingsFileName;
  if (isExistingPath(moved)) return;
  if (!changes.allows(L"settings " + settingsFile)) return changes.fail();
  if (!MoveFileW(settingsFile.c_str(), moved.c_str())) return;
  setupLog(L"Settings moved: " + settingsFile + L" -> " + moved);
  changes.undo([applicationData, settingsFile, moved] {
    std::vector<HeldPath> held;
    const bool back =
        holdFolderSteps(applicationData, kUserSettingsFolder, held) && MoveFileW(moved.c_str(), settingsFile.c_str());
    setupLog((back ? L"Settings moved back: " : L"Settings could not be moved back: ") + settingsFile);
  });
}

// Deletes `name` in `folder`, a folder of the user's profile that the
// user's own programs can change: through one handle whose final path shows
// it lies in that folder, itself held, so that a junction swapped in never
// leads the deletion elsewhere. True when a file was deleted.
bool removeUserLink(Changes& changes, const std::wstring& folder, const std::wstring& name) {
  HeldPath parent;
  if (!parent.open(folder, HeldPath::Access::Look) || !parent.isFolder() || parent.finalPath().empty()) return false;
  HeldPath link;
  if (!link.open(folder + name, HeldPath::Access::Delete)) return false;
  if (link.isFolder() || !link.isAt(ensureTrailingBackslash(parent.finalPath()) + name)) {
    setupLog(L"Link left alone, it does not lie in its folder: " + folder + name);
    return false;
  }
  if (!changes.allows(L"remove link " + folder + name)) {
    changes.fail();
    return false;
  }
  std::string earlier;
  if (!link.readAll(earlier, kLongestKeptFile)) return false;
  if (!link.remove()) return false;
  changes.undo([folder, name, earlier] { putBack(folder, name, true, earlier); });
  return true;
}

}  // namespace

ShellFolders shellFolders(bool allUsers) {
  ShellFolders folders;
  folders.programs = folderWithBackslash(allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS);
  folders.desktop = folderWithBackslash(allUsers ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY);
  // Send To has no variant for all users.
  folders.sendTo = folderWithBackslash(CSIDL_SENDTO);
  folders.applicationData = folderWithBackslash(CSIDL_APPDATA);
  return folders;
}

std::wstring helpAddress() { return vendorSite() + L"wordpress/tonvane_help/"; }

bool createShortcutsAndSettings(const InstallChoices& choices, const ShellFolders& folders,
                                InstallTransaction* transaction) {
  Changes changes(transaction);
  const std::wstring installFolder = ensureTrailingBackslash(choices.installFolder);
  const std::wstring program = installFolder + kProgramFileName;
  const std::wstring uninstaller = installFolder + kUninstallerFileName;
  const std::wstring description = translateText(L"Wave editing application");

  // The folders are the user's (or, for all users, the machine's): each is
  // held while its links are written (holdFolderSteps).
  std::vector<HeldPath> held;
  if (choices.startMenuShortcut && !folders.programs.empty()) {
    const std::wstring group = folders.programs + kProductName + L"\\";
    const bool groupExisted = isExistingPath(group);
    ensureFolder(group);
    // A group folder that is a link to a folder elsewhere would have the
    // elevated save replace another program's links of the same names.
    if (!holdFolderSteps(folders.programs, kProductName, held)) {
      setupLog(L"Start menu links not made, the group folder is a link or cannot be checked: " + group);
      changes.fail();
    } else {
      if (!groupExisted)
        changes.undo([group] {
          HeldPath folder;
          if (folder.open(group.substr(0, group.size() - 1), HeldPath::Access::Delete) && folder.isFolder() &&
              !folder.isReparsePoint() && folder.remove())
            setupLog(L"Group folder removed: " + group);
        });
      makeLink(changes, program, group, programLinkName(), description, L"");
      makeLink(changes, helpAddress(), group, translateText(kHelpLinkName) + L".lnk", L"", L"");
      // The portable configuration has no uninstaller.
      if (!choices.portable)
        makeLink(changes, uninstaller, group, translateText(L"Uninstall") + L".lnk", L"", L"/Uninstall");
    }
  }

  if (choices.desktopShortcut && !folders.desktop.empty() && !changes.stopped()) {
    ensureFolder(folders.desktop);
    if (holdFolderSteps(folders.desktop, std::wstring(), held))
      makeLink(changes, program, folders.desktop, programLinkName(), description, L"");
    else
      changes.fail();
  }

  if (!folders.sendTo.empty() && !changes.stopped()) {
    if (choices.sendToShortcut) {
      ensureFolder(folders.sendTo);
      if (holdFolderSteps(folders.sendTo, std::wstring(), held))
        makeLink(changes, program, folders.sendTo, programLinkName(), description, L"");
      else
        changes.fail();
    } else {
      // A Send To link of an earlier install goes when it is declined now.
      if (removeUserLink(changes, folders.sendTo, programLinkName()))
        setupLog(L"Link removed: " + folders.sendTo + programLinkName());
    }
  }

  if (changes.stopped()) return false;
  if (choices.portable)
    writePortableSettings(changes, installFolder);
  else
    moveSettingsToUserFolder(changes, installFolder + kSettingsFileName, folders.applicationData);
  return !changes.failed();
}

}  // namespace tonvane
