// The program's message box: its caption in the interface's language, its
// text as given, its owner and its answer.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "MessageBoxWatcher.h"
#include "SetupMessage.h"
#include "TranslationTable.h"

using namespace tonvane;

namespace {

void loadTable(const std::wstring& text) {
  TranslationTable& table = TranslationTable::instance();
  ScopedLock hold(table.lock());
  table.loadText(text);
}

void unloadTable() {
  TranslationTable& table = TranslationTable::instance();
  ScopedLock hold(table.lock());
  table.clear();
}

class SetupMessage : public testing::Test {
 protected:
  void TearDown() override { unloadTable(); }
};

TEST_F(SetupMessage, WithoutATableTheCaptionIsEnglishAndTheTextAsGiven) {
  unloadTable();
  test::MessageBoxWatcher watcher(IDCANCEL);
  EXPECT_EQ(showSetupMessage(nullptr, L"Are you sure?\r\nReally.", MB_OKCANCEL), IDCANCEL);
  const std::vector<test::SeenBox> seen = watcher.seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, L"Tonvane Free Setup");
  EXPECT_EQ(seen[0].text, L"Are you sure?\r\nReally.");
}

TEST_F(SetupMessage, TheCaptionIsTranslatedAndTheTextIsNot) {
  loadTable(
      L"[Text]\r\nTonvane Free Setup=Setup J\r\nTonvane Free Uninstall=Uninstall J\r\n"
      L"Failed to install.=Failed J\r\n");
  test::MessageBoxWatcher watcher(IDYES);
  EXPECT_EQ(showSetupMessage(nullptr, L"Failed to install.", MB_YESNO), IDYES);
  EXPECT_EQ(showTranslatedMessage(nullptr, L"Done.", L"Tonvane Free Uninstall", MB_YESNO), IDYES);
  const std::vector<test::SeenBox> seen = watcher.seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].caption, L"Setup J");
  EXPECT_EQ(seen[0].text, L"Failed to install.");
  EXPECT_EQ(seen[1].caption, L"Uninstall J");
  EXPECT_EQ(seen[1].text, L"Done.");
}

// Answers the first box of this process with OK and notes its owner.
struct OwnerProbe {
  std::atomic<HWND> owner{nullptr};
  std::atomic<bool> answered{false};

  static DWORD WINAPI run(void* self) {
    auto* probe = static_cast<OwnerProbe*>(self);
    HWND box = test::waitForMessageBox(10000);
    if (box == nullptr) return 0;
    probe->owner = GetWindow(box, GW_OWNER);
    probe->answered = true;
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    return 0;
  }
};

TEST_F(SetupMessage, TheBoxBelongsToTheOwnerGiven) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  OwnerProbe probe;
  HANDLE thread = CreateThread(nullptr, 0, &OwnerProbe::run, &probe, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(showSetupMessage(owner, L"Owned.", MB_OK), IDOK);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_TRUE(probe.answered.load());
  EXPECT_EQ(probe.owner.load(), owner);
  DestroyWindow(owner);
}

}  // namespace
