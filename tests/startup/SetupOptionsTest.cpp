// The administrator's options read from whole command lines, cases worked
// out by hand, and the silent install's choices made from them.
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "InstallFolder.h"
#include "SetupOptions.h"
#include "SilentInstall.h"

using namespace tonvane;

namespace {

// The flags as one line, for comparisons that name what differs.
std::wstring flags(const SetupOptions& o) {
  std::wstring text;
  if (o.silent) text += L"S ";
  if (o.help) text += L"help ";
  if (o.noDesktop) text += L"NoDesktop ";
  if (o.noStartMenu) text += L"NoStartMenu ";
  if (o.sendTo) text += L"SendTo ";
  if (o.currentUser) text += L"CurrentUser ";
  if (o.portable) text += L"Portable ";
  if (o.allowDowngrade) text += L"AllowDowngrade ";
  if (o.folderGiven) text += L"D=[" + o.folder + L"] ";
  if (!o.logFile.empty()) text += L"LOG=[" + o.logFile + L"] ";
  for (const std::wstring& u : o.unknown) text += L"?[" + u + L"] ";
  return text;
}

// Each command line against the flags of the options read from it.
void expectFlags(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> cases) {
  for (const auto& c : cases)
    EXPECT_EQ(flags(parseSetupOptions(c.first)), c.second) << testing::PrintToString(std::wstring(c.first));
}

// The silent install's choices from a command line (and an earlier
// install's folder).
InstallChoices choicesFor(const wchar_t* line, const std::wstring& earlier = L"") {
  return silentInstallChoices(parseSetupOptions(line), earlier);
}

TEST(SetupOptions, ReadsEveryOptionInAnyLetterCaseAndOrder) {
  expectFlags({
      {L"setup.exe", L""},
      {L"\"C:\\My Setups\\setup.exe\"", L""},
      // The program path is never an option, quoted or not.
      {L"\"C:\\x /S\\setup.exe\"", L""},
      {L"/S", L""},
      {L"setup.exe /S", L"S "},
      {L"setup.exe /s", L"S "},
      {L"\"C:\\My Setups\\setup.exe\" /S", L"S "},
      {L"setup.exe\t/S\t/nodesktop", L"S NoDesktop "},
      {L"setup.exe /NoStartMenu /S /SENDTO /currentuser /Portable /NODESKTOP /allowDOWNGRADE",
       L"S NoDesktop NoStartMenu SendTo CurrentUser Portable AllowDowngrade "},
      {L"setup.exe /?", L"help "},
      {L"setup.exe /HELP /S", L"S help "},
      {L"setup.exe /lang:jpn /S /LANG:ENG", L"S "},
      {L"setup.exe /S /LOG=C:\\logs\\setup.log", L"S LOG=[C:\\logs\\setup.log] "},
      {L"setup.exe /log=a.log /Log=b.log", L"LOG=[b.log] "},
      {L"setup.exe \"/LOG=C:\\My Logs\\setup.log\" /S", L"S LOG=[C:\\My Logs\\setup.log] "},
      {L"setup.exe /LOG=\"C:\\My Logs\\\" /S", L"S LOG=[C:\\My Logs\\] "},
      {L"setup.exe /S /LOG=", L"S ?[/LOG=] "},
      // Unknown: misspelt, another installer's syntax, a value where none is
      // taken, a bare word.
      {L"setup.exe /S /NoDesktops -S /S=1 /D folder", L"S ?[/NoDesktops] ?[-S] ?[/S=1] ?[/D] ?[folder] "},
      {L"setup.exe /S \"\"", L"S "},
  });
}

TEST(SetupOptions, TheFolderTakesTheWholeRestOfTheLine) {
  expectFlags({
      {L"setup.exe /S /D=C:\\Program Files\\Tonvane Free", L"S D=[C:\\Program Files\\Tonvane Free] "},
      {L"setup.exe /d=D:\\Apps\\Tonvane /S", L"D=[D:\\Apps\\Tonvane /S] "},
      {L"setup.exe /S /D=C:\\A  B\\ ", L"S D=[C:\\A  B\\] "},
      {L"setup.exe /S /D=\"C:\\Quoted Folder\\\"", L"S D=[C:\\Quoted Folder\\] "},
      {L"setup.exe /S /D=", L"S D=[] "},
      {L"setup.exe /S /D=C:\\x /LOG=C:\\l.log", L"S D=[C:\\x /LOG=C:\\l.log] "},
      // Only at the start of an argument.
      {L"setup.exe /S x/D=C:\\x", L"S ?[x/D=C:\\x] "},
  });
}

TEST(SetupOptions, AWizardRunNamesTheSilentOptionsItIgnores) {
  const SetupOptions options = parseSetupOptions(L"setup.exe /nodesktop /lang:jpn /Other /D=C:\\x y");
  EXPECT_EQ(options.silentOnly, (std::vector<std::wstring>{L"/nodesktop", L"/D=C:\\x y"}));
  EXPECT_EQ(options.unknown, (std::vector<std::wstring>{L"/Other"}));
}

TEST(SilentInstallChoices, TheWizardsDefaultsChangedByTheOptions) {
  const InstallChoices defaults = choicesFor(L"setup.exe /S");
  EXPECT_EQ(defaults.installFolder, defaultFolder());
  EXPECT_FALSE(defaults.portable);
  EXPECT_TRUE(defaults.allUsers);
  EXPECT_TRUE(defaults.startMenuShortcut);
  EXPECT_TRUE(defaults.desktopShortcut);
  EXPECT_FALSE(defaults.sendToShortcut);

  const InstallChoices changed = choicesFor(L"setup.exe /S /NoDesktop /SendTo /CurrentUser /D=E:\\Tools\\Tonvane");
  EXPECT_EQ(changed.installFolder, L"E:\\Tools\\Tonvane");
  EXPECT_FALSE(changed.allUsers);
  EXPECT_TRUE(changed.startMenuShortcut);
  EXPECT_FALSE(changed.desktopShortcut);
  EXPECT_TRUE(changed.sendToShortcut);

  const InstallChoices noStart = choicesFor(L"setup.exe /S /NoStartMenu");
  EXPECT_FALSE(noStart.startMenuShortcut);
  EXPECT_TRUE(noStart.desktopShortcut);

  // As the folder page proposes it when its portable box is ticked, and the
  // Shortcuts page then proposes no link.
  const InstallChoices portable = choicesFor(L"setup.exe /S /Portable");
  EXPECT_TRUE(portable.portable);
  EXPECT_EQ(portable.installFolder, portableDefaultFolder());
  EXPECT_NE(portable.installFolder, defaultFolder());
  EXPECT_FALSE(portable.startMenuShortcut);
  EXPECT_FALSE(portable.desktopShortcut);
  EXPECT_TRUE(choicesFor(L"setup.exe /S /Portable /SendTo").sendToShortcut);
  EXPECT_EQ(choicesFor(L"setup.exe /S /Portable /D=F:\\Stick").installFolder, L"F:\\Stick");

  // An earlier install's folder stands in for the default folder only: a
  // given folder and the portable one come first.
  const std::wstring earlier = L"D:\\Apps\\Mine";
  EXPECT_EQ(choicesFor(L"setup.exe /S", earlier).installFolder, earlier);
  EXPECT_EQ(choicesFor(L"setup.exe /S /D=E:\\Given", earlier).installFolder, L"E:\\Given");
  EXPECT_EQ(choicesFor(L"setup.exe /S /Portable", earlier).installFolder, portableDefaultFolder());
}

}  // namespace
