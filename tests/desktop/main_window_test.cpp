#include <wx/bmpbuttn.h>
#include <wx/bmpcbox.h>
#include <wx/clipbrd.h>
#include <wx/dnd.h>
#include <wx/listctrl.h>
#include <wx/toolbar.h>

#include <dlfcn.h>

#include "base/product.h"
#include "batch/paths.h"
#include "desktop/themes.h"
#include "imaging/format_registry.h"
#include "tests/desktop/icon_fixtures.h"
#include "tests/desktop/window_fixture.h"

namespace trovabild::testing {
namespace {

using MainWindowTest = WindowTest;

std::vector<std::string> makeIcons(const ScratchDir& dir, const std::vector<std::string>& names) {
  std::vector<std::string> paths;
  for (const std::string& name : names) {
    writeFile(dir / name, "not empty");
    paths.push_back(dir / name);
  }
  return paths;
}

std::vector<long> selection(wxListView* list) {
  std::vector<long> rows;
  for (long i = list->GetFirstSelected(); i != -1; i = list->GetNextSelected(i)) rows.push_back(i);
  return rows;
}

void expectLayout(MainWindow* window, int W, int H) {
  SCOPED_TRACE(::testing::Message() << W << " x " << H);
  const wxSize inner = window->innerSize();
  ASSERT_EQ(inner.x, W);
  ASSERT_EQ(inner.y, H);
  const int free = H - window->menuBarHeight() - window->toolBarHeight() - window->statusBarHeight();
  EXPECT_EQ(window->container()->GetPosition(), wxPoint(0, 0));
  EXPECT_EQ(window->container()->GetSize(), wxSize(W, free - 10));
  EXPECT_EQ(window->fileList()->GetRect(), wxRect(10, 10, W - 130, free - 109));
  EXPECT_EQ(window->fileList()->GetColumnWidth(0), W - 160);
  EXPECT_EQ(window->outputFolderLabel()->GetPosition(), wxPoint(10, free - 94));
  EXPECT_EQ(window->outputFolderBox()->GetPosition(), wxPoint(10, free - 79));
  EXPECT_EQ(window->outputFolderBox()->GetSize().x, W - 130);
  EXPECT_EQ(window->outputFolderBar()->GetPosition(), wxPoint(W - 114, free - 80));
  EXPECT_EQ(window->outputFormatLabel()->GetPosition(), wxPoint(10, free - 54));
  EXPECT_EQ(window->outputFormatBox()->GetPosition(), wxPoint(10, free - 39));
  EXPECT_EQ(window->outputFormatBox()->GetSize().x, W - 130);
  EXPECT_EQ(window->outputFormatBar()->GetPosition(), wxPoint(W - 114, free - 40));
  EXPECT_EQ(window->convertButton()->GetRect(), wxRect(W - 110, 10, 100, 100));
}

TEST_F(MainWindowTest, StartsReadyWithTitleAndEmptyList) {
  EXPECT_EQ(window->GetTitle(), "Trovabild 2.9");
  EXPECT_EQ(window->status(), "Ready");
  EXPECT_EQ(window->fileList()->GetItemCount(), 0);
  EXPECT_EQ(window->outputFolderText(), "");
  ASSERT_NE(findOutputFormat("jpg"), nullptr);
  EXPECT_EQ(window->outputFormatBox()->GetCount(), 1u);
  EXPECT_EQ(window->outputFormatBox()->GetValue(),
            wxString::FromUTF8("JPG (" + findOutputFormat("jpg")->description + ")"));
  EXPECT_EQ(window->fileList()->GetColumnCount(), 1);
  wxListItem column;
  column.SetMask(wxLIST_MASK_TEXT);
  window->fileList()->GetColumn(0, column);
  EXPECT_EQ(column.GetText(), "Filename");
  EXPECT_NE(window->GetDropTarget(), nullptr);
}

TEST_F(MainWindowTest, LayoutFollowsTheInnerSize) {
  window->setInnerSize(510, 330);
  pumpEvents();
  expectLayout(window, 510, 330);
  window->setInnerSize(800, 600);
  pumpEvents();
  expectLayout(window, 800, 600);
  // The window cannot be made smaller than its minimum.
  window->SetClientSize(300, 100);
  pumpEvents();
  EXPECT_GE(window->innerSize().x, 510);
  EXPECT_GE(window->innerSize().y, 330);
}

struct MenuCase {
  int command;
  const char* text;
};
constexpr MenuCase kMenuCases[] = {
    {kCmdNew, "New\tCtrl+N"},
    {kCmdAddInput, "Add Input Files..."},
    {kCmdSelectOutputFolder, "Select Output Folder..."},
    {kCmdImportList, "Import Files..."},
    {kCmdExportList, "Export Files..."},
    {kCmdExit, "Exit\tAlt+X"},
    {kCmdCopy, "Copy\tCtrl+C"},
    {kCmdDelete, "Delete\tCtrl+Del"},
    {kCmdSelectAll, "Select All\tCtrl+A"},
    {kCmdConvert, "Convert\tF5"},
    {kCmdCustomConverter, "Find a File Converter..."},
    {kCmdPreferences, "Preferences..."},
    {kCmdManual, "User Manual...\tF1"},
    {kCmdFeedback, "Send Feedback"},
    {kCmdHomepage, "Visit the Program's Homepage"},
    {kCmdCheckUpdates, "Check For a New Version"},
    {kCmdAbout, "About..."},
};

bool menuImageShown(wxMenuItem* item) {
  using GetImage = void* (*)(void*);
  using Visible = int (*)(void*);
  static auto getImage = reinterpret_cast<GetImage>(dlsym(RTLD_DEFAULT, "gtk_image_menu_item_get_image"));
  static auto visible = reinterpret_cast<Visible>(dlsym(RTLD_DEFAULT, "gtk_widget_get_visible"));
  if (!getImage || !visible || !item->GetMenuItem()) return false;
  void* image = getImage(item->GetMenuItem());
  return image && visible(image);
}

TEST_F(MainWindowTest, MenusCarryTextsShortcutsAndImages) {
  wxMenuBar* bar = window->GetMenuBar();
  ASSERT_EQ(bar->GetMenuCount(), 4u);
  EXPECT_EQ(bar->GetMenuLabelText(0), "File");
  EXPECT_EQ(bar->GetMenuLabelText(1), "Edit");
  EXPECT_EQ(bar->GetMenuLabelText(2), "Converter");
  EXPECT_EQ(bar->GetMenuLabelText(3), "Help");
  for (const MenuCase& c : kMenuCases) {
    SCOPED_TRACE(c.text);
    wxMenuItem* item = bar->FindItem(commandId(c.command));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetItemLabel(), wxString::FromUTF8(c.text));
    EXPECT_TRUE(item->GetBitmap().IsOk());
    // GTK hides menu images unless the item asks to show its own.
    EXPECT_TRUE(menuImageShown(item));
  }
}

TEST_F(MainWindowTest, ToolbarIconsFollowTheIconSize) {
  wxToolBar* bar = window->GetToolBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->GetToolsCount(), 12);  // nine buttons and three separators
  EXPECT_EQ(bar->GetToolShortHelp(commandId(kCmdAddInput)), "Add Input Files...");
  EXPECT_EQ(bar->GetToolShortHelp(commandId(kCmdManual)), "User Manual...");
  window->setInnerSize(510, 330);
  pumpEvents();
  for (int size : {0, 1, 2, 3, 4, 1}) {
    SCOPED_TRACE(size);
    settings.uiSize = size;
    window->RefreshMainWindow(true, false);
    pumpEvents();
    const int pixels = themeIconPixels(size);
    EXPECT_EQ(window->GetToolBar()->GetToolBitmapSize(), wxSize(pixels, pixels));
    EXPECT_EQ(window->GetToolBar()->GetToolsCount(), 12);
    // Every button fits (GTK offers no overflow for a refilled toolbar),
    // and the inner height stays.
    EXPECT_GE(window->GetToolBar()->GetSize().x, window->GetToolBar()->GetBestSize().x);
    EXPECT_EQ(window->innerSize().y, 330);
  }
  // The toolkit's help for a hovered tool (there is none) leaves the status.
  window->GetToolBar()->OnMouseEnter(commandId(kCmdNew));
  EXPECT_EQ(window->status(), "Ready");
  window->GetToolBar()->OnMouseEnter(wxID_ANY);
  EXPECT_EQ(window->status(), "Ready");
  EXPECT_EQ(window->outputFolderBar()->GetToolShortHelp(commandId(kCmdSelectOutputFolder)),
            "Select Output Folder...");
  EXPECT_EQ(window->outputFormatBar()->GetToolShortHelp(commandId(kCmdOutputOptions)), "Options...");
}

struct DeleteCase {
  std::vector<long> selected;
  int remaining;
  long selectedAfter;  // -1: nothing selected
};
const DeleteCase kDeleteCases[] = {
    {{2, 3, 4}, 2, 1},
    {{4}, 4, 3},
    {{0}, 4, 0},
    {{1, 3}, 3, 2},
    {{0, 1, 2, 3, 4}, 0, -1},
    {{}, 5, -1},
};

TEST_F(MainWindowTest, DeleteRemovesSelectedRowsAndSelectsTheNext) {
  const std::vector<std::string> paths = makeIcons(dir, {"a.ico", "b.ico", "c.ico", "d.ico", "e.ico"});
  for (const DeleteCase& c : kDeleteCases) {
    SCOPED_TRACE(::testing::Message() << "case with " << c.selected.size() << " selected, " << c.remaining << " left");
    window->NewList();
    addRows(paths);
    wxListView* list = window->fileList();
    ASSERT_EQ(list->GetItemCount(), 5);
    list->SetFocus();
    for (long row : c.selected) list->Select(row, true);
    pumpEvents();
    ASSERT_TRUE(window->fileListHasFocus());
    postCommand(kCmdDelete);
    EXPECT_EQ(list->GetItemCount(), c.remaining);
    EXPECT_EQ(inputEntries().size(), static_cast<size_t>(c.remaining));
    const std::vector<long> after = selection(list);
    if (c.selectedAfter < 0) {
      EXPECT_TRUE(after.empty());
    } else {
      EXPECT_EQ(after, std::vector<long>{c.selectedAfter});
    }
    // Rows and list entries stay the same set.
    for (const std::string& row : window->rows()) EXPECT_NE(findInputEntry(row), nullptr) << row;
  }
}

std::string clipboardText() {
  std::string text;
  if (wxTheClipboard->Open()) {
    wxTextDataObject data;
    if (wxTheClipboard->GetData(data)) text = std::string(data.GetText().utf8_str());
    wxTheClipboard->Close();
  }
  return text;
}

void setClipboardText(const std::string& text) {
  if (wxTheClipboard->Open()) {
    wxTheClipboard->SetData(new wxTextDataObject(text));
    wxTheClipboard->Close();
  }
}

TEST_F(MainWindowTest, CopyJoinsSelectedPathsOnceTheListHadAnEvent) {
  const std::vector<std::string> paths = makeIcons(dir, {"a.ico", "b.ico", "c.ico"});
  addRows(paths);
  setClipboardText("untouched");
  ASSERT_FALSE(window->listShortcutsInstalled());
  postCommand(kCmdCopy);
  EXPECT_EQ(clipboardText(), "untouched");

  wxListView* list = window->fileList();
  list->SetFocus();
  list->Select(0, true);
  list->Select(2, true);
  pumpEvents();
  EXPECT_TRUE(window->listShortcutsInstalled());
  postCommand(kCmdCopy);
  EXPECT_EQ(clipboardText(), paths[0] + "\r\n" + paths[2]);

  postCommand(kCmdSelectAll);
  EXPECT_EQ(selection(list), (std::vector<long>{0, 1, 2}));
  postCommand(kCmdCopy);
  EXPECT_EQ(clipboardText(), paths[0] + "\r\n" + paths[1] + "\r\n" + paths[2]);
}

TEST_F(MainWindowTest, DroppedFolderIsImportedThenFilesAppended) {
  makeIcons(dir, {"in/a.ico", "in/sub/b.ico", "in/notes.txt", "other/x.ico", "other/y.png"});
  writeFile(dir / "other/empty.ico", "");
  const std::vector<std::string> single = makeIcons(dir, {"single/listed.ico"});
  addRows(single);
  ASSERT_EQ(window->rows().size(), 1u);
  window->setOutputFolderText("");

  wxArrayString dropped;
  for (const char* name : {"in", "other/x.ico", "other/y.png", "other/empty.ico", "single/listed.ico"}) {
    dropped.Add(wxString::FromUTF8(dir / name));
  }
  auto* target = dynamic_cast<wxFileDropTarget*>(window->GetDropTarget());
  ASSERT_NE(target, nullptr);
  std::vector<std::string> progressDialogs;
  observer = [&](wxDialog& dialog) {
    if (progressDialogs.empty() || progressDialogs.back() != dialog.GetName()) {
      progressDialogs.push_back(std::string(dialog.GetName().utf8_str()));
    }
  };
  EXPECT_TRUE(target->OnDropFiles(0, 0, dropped));
  ASSERT_TRUE(pumpUntil([&] { return window->rows().size() == 4; }));
  pumpEvents();

  EXPECT_EQ(window->rows(), (std::vector<std::string>{dir / "single/listed.ico", dir / "in/a.ico",
                                                      dir / "in/sub/b.ico", dir / "other/x.ico"}));
  EXPECT_EQ(job.inputPath, dir / "in/");
  EXPECT_EQ(findInputEntry(dir / "in/sub/b.ico")->subfolder, "sub/");
  EXPECT_EQ(progressDialogs, std::vector<std::string>{"folderImportProgress"});
  EXPECT_EQ(window->status(), "Import complete, new files added: 2");
  EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowTest, FirstAddedFileFillsAnEmptyOutputFolder) {
  const std::vector<std::string> paths = makeIcons(dir, {"pics/a.ico"});
  addRows(paths);
  EXPECT_EQ(window->outputFolderText(), dir / "pics/");
  EXPECT_EQ(job.outputFolder, dir / "pics/");
  EXPECT_EQ(RecentOutputFolder(0), dir / "pics/");
}

TEST_F(MainWindowTest, DoubleClickOpensTheAddInputChooser) {
  std::vector<std::string> shown;
  observer = [&](wxDialog& dialog) {
    shown.push_back(std::string(dialog.GetName().utf8_str()));
    EXPECT_FALSE(window->IsEnabled());
    dialog.EndModal(wxID_CANCEL);
  };
  wxMouseEvent click(wxEVT_LEFT_DCLICK);
  click.SetEventObject(window->fileList());
  window->fileList()->GetEventHandler()->ProcessEvent(click);
  pumpUntil([&] { return !shown.empty(); }, 10);
  pumpEvents();
  EXPECT_EQ(shown, std::vector<std::string>{"addInputChooser"});
  EXPECT_TRUE(window->IsEnabled());
  EXPECT_TRUE(window->listShortcutsInstalled());
}

TEST_F(MainWindowTest, HelpMailAndHomepageGoToTheDesktopHandler) {
  postCommand(kCmdManual);
  postCommand(kCmdFeedback);
  postCommand(kCmdHomepage);
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[0].rfind("file://", 0), 0u);
  EXPECT_NE(opened[0].find("manual/index.html"), std::string::npos);
  EXPECT_EQ(opened[1], std::string("mailto:") + kSupportEmail + "?subject=Trovabild%202.9%20Feedback");
  EXPECT_EQ(opened[2], kWebAddress);
}

TEST_F(MainWindowTest, OutputFolderBoxOffersRecentFolders) {
  for (const char* name : {"one", "two", "three"}) std::filesystem::create_directories(dir / name);
  ChooseOutputFolder(*window, dir / "one");
  ChooseOutputFolder(*window, dir / "two");
  ChooseOutputFolder(*window, dir / "three");
  ChooseOutputFolder(*window, dir / "missing");  // not a folder: nothing changes
  wxBitmapComboBox* box = window->outputFolderBox();
  ASSERT_EQ(box->GetCount(), 3u);
  EXPECT_EQ(box->GetString(0), wxString::FromUTF8(dir / "three/"));
  EXPECT_EQ(box->GetString(2), wxString::FromUTF8(dir / "one/"));
  EXPECT_EQ(window->outputFolderText(), dir / "three/");
  EXPECT_EQ(job.outputFolder, dir / "three/");

  // Picking an entry makes it the output folder.
  box->SetSelection(2);
  wxCommandEvent picked(wxEVT_COMBOBOX, box->GetId());
  picked.SetEventObject(box);
  box->GetEventHandler()->ProcessEvent(picked);
  EXPECT_EQ(job.outputFolder, dir / "one/");

  // Choosing a listed folder again moves it to the head, not in twice.
  ChooseOutputFolder(*window, dir / "one/");
  ASSERT_EQ(box->GetCount(), 3u);
  EXPECT_EQ(box->GetString(0), wxString::FromUTF8(dir / "one/"));

  // New empties the box's text but keeps the recent folders.
  postCommand(kCmdNew);
  EXPECT_EQ(window->outputFolderText(), "");
  EXPECT_EQ(box->GetCount(), 3u);
}

TEST_F(MainWindowTest, ClosingStoresGeometryAndSaves) {
  settings.outFoldersHistory = 0;
  AddRecentOutputFolder("/tmp/");
  window->setInnerSize(640, 480);
  window->Move(30, 40);
  pumpEvents();
  const wxPoint position = window->GetPosition();
  window->StoreOnClose();
  EXPECT_EQ(settings.windowWidth, 640);
  EXPECT_EQ(settings.windowHeight, 480);
  EXPECT_EQ(settings.windowX, position.x);
  EXPECT_EQ(settings.windowY, position.y);
  EXPECT_EQ(settings.isMaximized, 0);
  EXPECT_EQ(settings.recentOutFolders, "");
  EXPECT_GT(fileSize(preferencesPath()), 0);
}

TEST_F(MainWindowTest, ExitClosesTheWindow) {
  postCommand(kCmdExit);
  pumpEvents();
  EXPECT_EQ(wxWindow::FindWindowByName("mainWindow"), nullptr);
  EXPECT_EQ(mainWindow(), nullptr);
  EXPECT_GT(fileSize(preferencesPath()), 0);
}

}  // namespace
}  // namespace trovabild::testing

namespace trovabild::testing {
namespace {

// Started without options and without a usable display, the program says so
// in one line and fails, instead of crashing inside the toolkit.
TEST(DesktopStart, WithoutADisplayOneLineAndFailure) {
  const std::vector<std::string> environments[] = {
      {"DISPLAY=", "WAYLAND_DISPLAY="},
      {"DISPLAY=:4711", "WAYLAND_DISPLAY="},
  };
  for (const std::vector<std::string>& environment : environments) {
    SCOPED_TRACE(environment[0]);
    ScratchDir config;
    std::vector<std::string> env = environment;
    env.push_back("XDG_CONFIG_HOME=" + config.path());
    const ConsoleRun run = runConsole({}, env);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.error.rfind("trovabildcmd: cannot open the window: ", 0), 0u) << run.error;
    EXPECT_EQ(std::count(run.error.begin(), run.error.end(), '\n'), 1) << run.error;
  }
}

}  // namespace
}  // namespace trovabild::testing
