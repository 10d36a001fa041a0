#include "SetupState.h"

#include "DialogHost.h"

namespace tonvane {

unsigned pageTemplateId(std::int32_t page) {
  static constexpr unsigned kTemplates[kPageDialogCount] = {IDD_WELCOME_PAGE,  IDD_FOLDER_PAGE, IDD_SHORTCUTS_PAGE,
                                                            IDD_PROGRESS_PAGE, IDD_OFFERS_PAGE, IDD_COMPLETE_PAGE};
  return page >= 0 && page < kPageDialogCount ? kTemplates[page] : 0;
}

InstallChoices SetupState::installChoices() const {
  InstallChoices choices;
  choices.installFolder = installFolder;
  choices.portable = portable;
  choices.allUsers = allUsers;
  choices.startMenuShortcut = startMenuShortcut;
  choices.desktopShortcut = desktopShortcut;
  choices.sendToShortcut = sendToShortcut;
  return choices;
}

}  // namespace tonvane
