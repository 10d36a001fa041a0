// The two optional partner offers: whether each product is already present,
// staging their installers on the offer worker while the user goes through
// the wizard, and starting the accepted ones silently.
//
//   state.offerWorker = start(new WorkerThread, &state, &stageOffers, 0);
//   ...
//   if (!(detectToolbar() && detectPlugin())) -> offers page
//   Yes: state.installToolbar = ...; state.installPlugin = ...;
//        launchAcceptedOffers(state);
//
// Teardown is SetupState's own: it waits for the worker, then deletes every
// file listed in tempFiles and the emptied staging folder.
#pragma once

#include <string>
#include <vector>

#include "SetupState.h"
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

// True when either of the toolbar's uninstall keys under HKEY_LOCAL_MACHINE
// opens for reading.
bool detectToolbar();

// True when either of the plug-in's class keys under HKEY_CLASSES_ROOT has a
// readable default value; a key without one counts as absent.
bool detectPlugin();

// The offer worker's procedure; `object` is the SetupState. Holds the
// state's lock from start to end, so accepting the offers or closing the
// wizard waits until staging is complete. Uses the staging folder already
// set on the state, or creates a new private one. Each offer's archive is
// written there, extracted, and deleted again; the extracted files are
// appended to tempFiles and the first program among them becomes
// toolbarInstaller or pluginInstaller (empty when none could be staged).
void stageOffers(void* object, WorkerThread* record);

// The first path whose extension is ".exe" in any letter case; "" for none.
std::wstring findFirstExe(const std::vector<std::wstring>& paths);

// Under the state's lock: runs each accepted installer that was staged
// (toolbar first), waits for it, deletes it and forgets its path. An offer
// without a staged installer starts nothing. Exit codes are not looked at.
void launchAcceptedOffers(SetupState& state);

}  // namespace tonvane
