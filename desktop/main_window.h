#pragma once
// The main window: the file list, the output folder and format boxes, the
// Convert button, the menus and toolbars, dropped files and the closing steps.

#include <wx/frame.h>

#include <string>
#include <vector>

#include "batch/run_control.h"
#include "desktop/window_link.h"

class wxBitmapButton;
class wxBitmapComboBox;
class wxListView;
class wxPanel;
class wxStaticText;
class wxToolBar;

namespace trovabild {

/// Command numbers of the menus, toolbars and shortcuts.
enum Command {
  kCmdNew = 0,
  kCmdExit = 3,
  kCmdAddInput = 4,
  kCmdSelectInputFiles = 5,
  kCmdSelectInputFolder = 6,
  kCmdSelectOutputFolder = 7,
  kCmdOutputOptions = 8,
  kCmdImportList = 9,
  kCmdExportList = 10,
  kCmdCopy = 11,
  kCmdDelete = 12,
  kCmdSelectAll = 13,
  kCmdConvert = 14,
  kCmdCustomConverter = 16,
  kCmdPreferences = 17,
  kCmdManual = 18,
  kCmdFeedback = 21,
  kCmdHomepage = 22,
  kCmdCheckUpdates = 23,
  kCmdAbout = 24,
};

/// The toolkit id of a command number (menu item, tool and accelerator).
int commandId(int command);
/// The toolkit id of a control number of the main window (3 .. 8).
int controlId(int control);

/// Smallest inner size of the window (the area below the menu bar).
constexpr int kMinInnerWidth = 510;
constexpr int kMinInnerHeight = 330;

class MainWindow : public wxFrame, public WindowLink {
 public:
  /// Builds the window from `settings` (geometry, icon size, theme images)
  /// and the message table, hidden. `show` then runs the rest of start-up.
  MainWindow();
  ~MainWindow() override;

  /// Maximizes when asked, fills the boxes, runs NewList, shows the window
  /// and lays it out once.
  void StartUp();

  void NewList();
  void RefreshOutputFolderBox() override;
  /// After the preferences dialog: reloads images and rebuilds what changed.
  void RefreshMainWindow(bool iconSizeChanged, bool themeChanged);

  /// The layout rule, for the current inner size.
  void ApplyLayout();
  /// Inner size: the area below the menu bar (toolbar, controls, status bar).
  wxSize innerSize() const;
  void setInnerSize(int width, int height);
  int menuBarHeight() const;
  int toolBarHeight() const;
  int statusBarHeight() const;
  /// 510, or more when the toolbar's buttons need it.
  int minimumInnerWidth() const;

  /// A new row at the end of the file list; then, while the output folder
  /// box is empty, the input's folder becomes the output folder.
  void appendInputRow(const std::string& path);
  /// Rows waiting from a background scanner are moved into the list.
  void takeQueuedRows() override;
  std::vector<std::string> rows() const override;
  RunControl& runControl() override { return runControl_; }
  std::vector<std::string> selectedRows() const;

  /// Command 11, 12, 13: act only when the file list has the focus and has
  /// had one event (its shortcuts are installed then).
  void CopySelectedRows();
  void DeleteSelectedRows();
  void SelectAllRows();
  /// Files and folders dropped on the window, in order.
  void DropPaths(const std::vector<std::string>& paths);
  /// The add-input chooser (command 4 and a double click on the list).
  void ShowAddInputChooser();
  void RunCommand(int command);

  wxWindow& dialogParent() override { return *this; }
  void setStatus(const std::string& text) override;
  std::string status() const;
  std::string outputFolderText() const override;
  void setOutputFolderText(const std::string& text) override;
  int outputFormatIndex() const override;

  /// The closing steps: geometry, recent folders, save.
  void StoreOnClose();

  wxPanel* container() const { return container_; }
  wxListView* fileList() const { return list_; }
  wxStaticText* outputFolderLabel() const { return folderLabel_; }
  wxBitmapComboBox* outputFolderBox() const { return folderBox_; }
  wxStaticText* outputFormatLabel() const { return formatLabel_; }
  wxBitmapComboBox* outputFormatBox() const { return formatBox_; }
  wxToolBar* outputFolderBar() const { return folderBar_; }
  wxToolBar* outputFormatBar() const { return formatBar_; }
  wxBitmapButton* convertButton() const { return convertButton_; }
  bool listShortcutsInstalled() const { return listShortcuts_; }
  /// True while the file list (or its inner window) has the keyboard focus.
  bool fileListHasFocus() const;

 private:
  RunControl runControl_;  ///< of the progress dialog that runs now
  void buildMenus();
  void buildToolBar();
  void buildSmallToolBars();
  void buildControls();
  void fillOutputFormatBox();
  void applyImages();
  void installListShortcuts();
  void updateMinimumSize();
  wxSize smallBarSize() const;
  void onCommand(wxCommandEvent& event);
  void onSize(wxSizeEvent& event);
  void onClose(wxCloseEvent& event);
  void onListEvent(wxEvent& event);
  void onListRightClick(wxMouseEvent& event);
  void onListDoubleClick(wxMouseEvent& event);
  void onFolderBoxChanged(wxCommandEvent& event);
  void onFormatBoxChanged(wxCommandEvent& event);

  wxPanel* container_ = nullptr;
  wxListView* list_ = nullptr;
  wxStaticText* folderLabel_ = nullptr;
  wxBitmapComboBox* folderBox_ = nullptr;
  wxStaticText* formatLabel_ = nullptr;
  wxBitmapComboBox* formatBox_ = nullptr;
  wxToolBar* folderBar_ = nullptr;
  wxToolBar* formatBar_ = nullptr;
  wxBitmapButton* convertButton_ = nullptr;
  bool listShortcuts_ = false;
  bool inLayout_ = false;
  bool quietBox_ = false;  ///< the program is changing the output folder box
  mutable int menuHeight_ = 0;
};

/// The one main window of the desktop run, or nullptr.
MainWindow* mainWindow();

/// The image for a theme name: menu icons at 16, toolbar icons at the size
/// of `uiSize`, buttons at their own size; a blank image when the theme has
/// none.
wxBitmap menuImage(const std::string& name);
wxBitmap toolbarImage(const std::string& name);
wxBitmap buttonImage(const std::string& name);

/// A text of the message table as a toolkit string.
wxString messageText(const char* group, const char* key);

/// Opens the help manual in the browser; returns the address opened.
std::string manualAddress();
/// A new e-mail to the maker's support address, subject "Trovabild 2.9 Feedback".
std::string feedbackAddress();

}  // namespace trovabild
