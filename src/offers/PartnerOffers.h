// The two optional partner offers: whether each product is already present,
// staging their installers on the offer worker while the user goes through
// the wizard, starting the accepted ones silently, and removing what was
// staged when the run ends. The wizard's setup state holds one StagedOffers;
// nothing here knows the wizard.
//
//   StagedOffers offers;
//   offers.startStaging();
//   ...
//   if (!(detectToolbar() && detectPlugin())) -> offers page
//   Yes: launchAcceptedOffers(offers, toolbarTicked, pluginTicked);
//   ...
//   (end of offers: waits for the worker, deletes what it staged)
#pragma once

#include <string>
#include <vector>

#include "CriticalSection.h"
#include "PrivateFolder.h"
#include "WorkerThread.h"

namespace tonvane {

namespace PartnerOffer {
// Names the staged archives get, and the silent-install arguments the
// partners expect, passed as they stand.
constexpr const wchar_t* kToolbarArchiveName = L"brask7_tolv.zip";
constexpr const wchar_t* kPluginArchiveName = L"jword2setup_common.zip";
constexpr const wchar_t* kToolbarArguments = L"/S";
constexpr const wchar_t* kPluginArguments = L"/S quorvatine quorvatine__soft";
}  // namespace PartnerOffer

// What the offers keep for a setup run: the worker, what it shares with the
// main thread under `lock`, and the teardown of what it staged.
struct StagedOffers {
  // Nothing staged, no worker.
  StagedOffers() = default;
  // Teardown: stops and joins the worker, then deletes the files listed in
  // tempFiles and removes an empty stagingFolder, under `lock`. The worker
  // goes first: one that had not yet started staging would otherwise stage
  // its files after the deletion and leave them behind. A folder the worker
  // made is held until then (PrivateFolder.h).
  ~StagedOffers();
  StagedOffers(const StagedOffers&) = delete;
  StagedOffers& operator=(const StagedOffers&) = delete;

  // Starts the offer worker on stageOffers for this object. Never reports
  // failure: without memory for the worker's record, or when the thread
  // cannot start, nothing is staged and the offers have no installers.
  void startStaging();

  // Guards tempFiles, stagingFolder, ownFolder, toolbarInstaller and
  // pluginInstaller; the install step waits on it for the staging to end
  // (InstallStep.h). Only the setup log's own lock is taken while it is
  // held.
  CriticalSection lock;
  // Empty while no worker was started.
  OwnedWorker offerWorker;
  // Full paths of staged files that teardown deletes.
  std::vector<std::wstring> tempFiles;
  std::wstring toolbarInstaller;
  std::wstring pluginInstaller;
  // Ends with a backslash once set.
  std::wstring stagingFolder;
  // The private folder the worker made and holds as stagingFolder; empty
  // when the folder was set before the worker ran.
  PrivateFolder ownFolder;
};

// True when either of the toolbar's uninstall keys under HKEY_LOCAL_MACHINE
// opens for reading.
bool detectToolbar();

// True when either of the plug-in's class keys under HKEY_CLASSES_ROOT has a
// readable default value; a key without one counts as absent.
bool detectPlugin();

// The offer worker's procedure; `object` is the StagedOffers. Holds their
// lock from start to end, so accepting the offers or closing the wizard
// waits until staging is complete. Uses the staging folder already set, or
// creates a new private one (PrivateFolder.h) and holds it in ownFolder.
// Each offer's archive is written there, held and checked against the
// bytes the setup carries, extracted, and deleted again; the extracted
// files are appended to tempFiles and the first program among them becomes
// toolbarInstaller or pluginInstaller (empty when none could be staged).
void stageOffers(void* object, WorkerThread* record);

// The first path whose extension is ".exe" in any letter case; "" for none.
std::wstring findFirstExe(const std::vector<std::wstring>& paths);

// Under the offers' lock: runs each accepted installer that was staged
// (toolbar first), waits for it, deletes it and forgets its path. An offer
// without a staged installer starts nothing. Exit codes go to the setup log;
// nothing else looks at them.
void launchAcceptedOffers(StagedOffers& offers, bool installToolbar, bool installPlugin);

}  // namespace tonvane
