#include "PartnerOffers.h"

#include <windows.h>
#include <shlwapi.h>

#include <new>
#include <utility>

#include "Extraction.h"
#include "InstallJob.h"
#include "FileHandle.h"
#include "NumberText.h"
#include "Paths.h"
#include "ProcessRunner.h"
#include "RegistryKey.h"
#include "Resources.h"
#include "SetupLog.h"

namespace tonvane {

namespace {

// The product name followed by the katakana word for toolbar.
const wchar_t kToolbarKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Yahoo!\u30C4\u30FC\u30EB\u30D0\u30FC";
const wchar_t kToolbarKeyJ[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Yahoo!J\u30C4\u30FC\u30EB\u30D0\u30FC";
const wchar_t kPluginClass[] = L"CLSID\\{B83FC273-3522-4CC6-92EC-75CC86678DA4}";
const wchar_t kPluginClassOld[] = L"CLSID\\{2ACECADE-0BC7-4c6f-95CF-A221CC161B52}";

bool keyOpens(const wchar_t* subkey) {
  RegistryKey key;
  return key.open(HKEY_LOCAL_MACHINE, subkey, KEY_READ) == ERROR_SUCCESS;
}

bool hasDefaultValue(const wchar_t* subkey) {
  wchar_t value[MAX_PATH] = {};
  // One byte short of the buffer: a value that fills it whole counts as
  // absent rather than as text without room for its terminator.
  DWORD bytes = sizeof value - 1;
  DWORD type = REG_NONE;
  return SHGetValueW(HKEY_CLASSES_ROOT, subkey, nullptr, &type, value, &bytes) == ERROR_SUCCESS;
}

// Writes one offer's archive into the staging folder, extracts it there,
// lists what came out for the teardown and returns its installer.
std::wstring stageOffer(StagedOffers& offers, unsigned resourceId, const wchar_t* archiveName) {
  // Written only to be extracted, and never listed for the teardown: it
  // goes again on every way out, a fault inside the extraction included.
  const FileDeletedOnExit archive(offers.stagingFolder + archiveName);
  const ResourceBytes payload = loadResource(ResourceId::kZip, resourceId);
  if (!writeResourceToFile(payload, archive.path())) return std::wstring();
  // Held against writes and deletion, and checked against the carried
  // bytes, until it is extracted: what comes out is what the setup carries,
  // whatever was put at that name meanwhile.
  FileHandle held;
  if (!held.openHeldForReading(archive.path()) || !fileHoldsResource(held, payload)) return std::wstring();
  std::vector<std::wstring> written;
  extractArchive(archive.path(), offers.stagingFolder, written);
  offers.tempFiles.insert(offers.tempFiles.end(), written.begin(), written.end());
  const std::wstring installer = findFirstExe(written);
  setupLog(std::wstring(L"Offer ") + archiveName +
           (installer.empty() ? L": no installer could be staged" : L" staged: " + installer));
  return installer;
}

// The staged installer is started only while it is held against writes and
// deletion and holds exactly the bytes the setup carries for it: a program
// put in its place between staging and the user's Yes is never started with
// the setup's rights. Its working folder is the staging folder, not the
// user's current folder.
void launch(const std::wstring& stagingFolder, std::wstring& installer, unsigned resourceId, const wchar_t* arguments) {
  // An empty path would name no program of ours; runAndWait would look for
  // one in the system folder.
  if (installer.empty()) return;
  {
    FileHandle held;
    const ResourceBytes archive = loadResource(ResourceId::kZip, resourceId);
    const PathParts parts = splitPath(installer);
    const std::wstring entryName = std::wstring(parts.fileName) + parts.extension;
    if (held.openHeldForReading(installer) &&
        fileMatchesArchiveEntry(installer, archive.data, archive.size, entryName)) {
      const auto exitCode = runProgram(installer, arguments, stagingFolder);
      setupLog(L"Offer started: " + installer + L" " + arguments +
               (exitCode ? L", exit code " + decimalText(*exitCode) : L", could not be started"));
    } else {
      setupLog(L"Offer not started: " + installer + L" is not the file that was staged");
    }
  }
  DeleteFileW(installer.c_str());
  // Whatever may appear at that path later is not the installer we staged.
  installer.clear();
}

}  // namespace

StagedOffers::~StagedOffers() {
  offerWorker.reset();
  ScopedLock hold(lock);
  for (const std::wstring& path : tempFiles) DeleteFileW(path.c_str());
  // Succeeds only once the folder is empty; anything else left there stays.
  if (!ownFolder.path().empty())
    ownFolder.remove();
  else if (!stagingFolder.empty())
    RemoveDirectoryW(stagingFolder.c_str());
}

void StagedOffers::startStaging() {
  OwnedWorker worker(new (std::nothrow) WorkerThread);
  if (!worker) return;
  start(worker.get(), this, &stageOffers, 0);
  offerWorker = std::move(worker);
}

bool detectToolbar() { return keyOpens(kToolbarKey) || keyOpens(kToolbarKeyJ); }

bool detectPlugin() { return hasDefaultValue(kPluginClass) || hasDefaultValue(kPluginClassOld); }

void stageOffers(void* object, WorkerThread*) {
  auto& offers = *static_cast<StagedOffers*>(object);
  ScopedLock hold(offers.lock);
  // A folder set before is one this run created; a new one is made
  // privately, never taken over from whoever made a folder of that name.
  if (offers.stagingFolder.empty() && offers.ownFolder.create(kStagingFolderPrefix))
    offers.stagingFolder = offers.ownFolder.path();
  if (offers.stagingFolder.empty()) {
    setupLog(L"Offers: no private staging folder could be made");
    return;
  }
  offers.toolbarInstaller = stageOffer(offers, IDR_TOOLBAR_ARCHIVE, PartnerOffer::kToolbarArchiveName);
  offers.pluginInstaller = stageOffer(offers, IDR_PLUGIN_ARCHIVE, PartnerOffer::kPluginArchiveName);
}

std::wstring findFirstExe(const std::vector<std::wstring>& paths) {
  for (const std::wstring& path : paths) {
    // An empty path would stand for this program itself.
    if (path.empty()) continue;
    if (hasExtension(splitPath(path), L"exe")) return path;
  }
  return std::wstring();
}

void launchAcceptedOffers(StagedOffers& offers, bool installToolbar, bool installPlugin) {
  ScopedLock hold(offers.lock);
  setupLog(std::wstring(L"Offers accepted: toolbar ") + (installToolbar ? L"yes" : L"no") + L", plug-in " +
           (installPlugin ? L"yes" : L"no"));
  if (installToolbar)
    launch(offers.stagingFolder, offers.toolbarInstaller, IDR_TOOLBAR_ARCHIVE, PartnerOffer::kToolbarArguments);
  if (installPlugin)
    launch(offers.stagingFolder, offers.pluginInstaller, IDR_PLUGIN_ARCHIVE, PartnerOffer::kPluginArguments);
}

}  // namespace tonvane
