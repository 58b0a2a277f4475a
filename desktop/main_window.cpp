#include "desktop/main_window.h"

#include <wx/artprov.h>
#include <wx/bmpbuttn.h>
#include <wx/bmpcbox.h>
#include <wx/clipbrd.h>
#include <wx/dnd.h>
#include <wx/display.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/wx.h>

#include <dlfcn.h>

#include <mutex>

#include "base/messages.h"
#include "base/product.h"
#include "batch/input_list.h"
#include "batch/paths.h"
#include "desktop/conversion_dialog.h"
#include "desktop/input_dialogs.h"
#include "desktop/preferences.h"
#include "desktop/preferences_dialog.h"
#include "desktop/small_dialogs.h"
#include "desktop/themes.h"
#include "desktop/update_ui.h"
#include "imaging/format_registry.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

constexpr int kCommandBase = wxID_HIGHEST + 1000;
constexpr int kControlBase = wxID_HIGHEST + 2000;

// Initial height of the file list; the layout rule takes over at once.
constexpr int kInitialListHeight = 100;

MainWindow* gMainWindow = nullptr;

// Rows found by a scanner thread, waiting for the main thread.
std::mutex gQueueLock;
std::vector<std::string> gQueuedRows;

// GTK's default theme makes an entry or a tool button about 34 pixels high,
// while the window's rows lie 25 pixels apart; the boxes and the two small
// toolbars are therefore given a compact style of their own. The toolkit is
// reached through the library the window toolkit has already loaded.
constexpr const char* kCompactName = "trovabild-compact";
constexpr const char* kCompactStyle =
    "#trovabild-compact, #trovabild-compact entry, #trovabild-compact button, "
    "#trovabild-compact toolbutton, #trovabild-compact cellview, #trovabild-compact box {"
    " min-height: 0; padding-top: 1px; padding-bottom: 1px; margin-top: 0; margin-bottom: 0; }"
    "#trovabild-compact button { padding-left: 3px; padding-right: 3px; min-width: 0; }";

void makeCompact(const std::vector<wxWindow*>& controls) {
  static void* gtk = dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_NOLOAD);
  if (!gtk) return;
  using NewProvider = void* (*)();
  using LoadData = int (*)(void*, const char*, long, void**);
  using DefaultScreen = void* (*)();
  using AddProvider = void (*)(void*, void*, unsigned);
  using SetName = void (*)(void*, const char*);
  static bool styleAdded = false;
  if (!styleAdded) {
    auto newProvider = reinterpret_cast<NewProvider>(dlsym(gtk, "gtk_css_provider_new"));
    auto loadData = reinterpret_cast<LoadData>(dlsym(gtk, "gtk_css_provider_load_from_data"));
    auto defaultScreen = reinterpret_cast<DefaultScreen>(dlsym(gtk, "gdk_screen_get_default"));
    auto addProvider = reinterpret_cast<AddProvider>(dlsym(gtk, "gtk_style_context_add_provider_for_screen"));
    if (!newProvider || !loadData || !defaultScreen || !addProvider) return;
    void* screen = defaultScreen();
    if (!screen) return;
    void* provider = newProvider();
    loadData(provider, kCompactStyle, -1, nullptr);
    addProvider(screen, provider, 600);  // GTK_STYLE_PROVIDER_PRIORITY_APPLICATION
    styleAdded = true;
  }
  auto setName = reinterpret_cast<SetName>(dlsym(gtk, "gtk_widget_set_name"));
  if (!setName) return;
  for (wxWindow* control : controls) {
    if (control->GetHandle()) setName(control->GetHandle(), kCompactName);
    control->InvalidateBestSize();
  }
}

// GTK hides the images of menu items unless an item asks to show its own.
void showMenuImages(wxMenu* menu) {
  using TypeOf = unsigned long (*)();
  using IsA = int (*)(void*, unsigned long);
  using ShowImage = void (*)(void*, int);
  static auto imageItemType = reinterpret_cast<TypeOf>(dlsym(RTLD_DEFAULT, "gtk_image_menu_item_get_type"));
  static auto isA = reinterpret_cast<IsA>(dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
  static auto showImage =
      reinterpret_cast<ShowImage>(dlsym(RTLD_DEFAULT, "gtk_image_menu_item_set_always_show_image"));
  if (!imageItemType || !isA || !showImage) return;
  for (wxMenuItem* item : menu->GetMenuItems()) {
    void* widget = item->GetMenuItem();
    if (widget && item->GetBitmap().IsOk() && isA(widget, imageItemType())) showImage(widget, 1);
  }
}

wxBitmap blankImage(int size) {
  wxImage image(size, size);
  image.InitAlpha();
  unsigned char* alpha = image.GetAlpha();
  for (int i = 0; i < size * size; ++i) alpha[i] = 0;
  return wxBitmap(image);
}

wxBitmap sizedImage(ThemeSet set, const std::string& name, int size) {
  wxBitmap bitmap = themeImage(set, name);
  if (!bitmap.IsOk()) return blankImage(size);
  if (bitmap.GetWidth() != size || bitmap.GetHeight() != size) {
    wxImage image = bitmap.ConvertToImage();
    image.Rescale(size, size, wxIMAGE_QUALITY_HIGH);
    return wxBitmap(image);
  }
  return bitmap;
}

std::string toUtf8(const wxString& text) { return std::string(text.utf8_str()); }

// The addInputFile hook: rows come from the main thread (dialogs, drops) or
// from a scanner thread (imports), which must not touch the window.
void inputAdded(const std::string& path) {
  if (wxIsMainThread() && gMainWindow) {
    gMainWindow->appendInputRow(path);
    return;
  }
  std::lock_guard<std::mutex> hold(gQueueLock);
  gQueuedRows.push_back(path);
}

struct MenuEntry {
  int command;         // -1: separator
  const char* key;     // group "Menu"
  const char* accel;   // shown after a TAB
  const char* image;
};

constexpr MenuEntry kFileMenu[] = {
    {kCmdNew, "New", "Ctrl+N", "New"},
    {-1, nullptr, nullptr, nullptr},
    {kCmdAddInput, "Select Input Files", nullptr, "Add"},
    {kCmdSelectOutputFolder, "Select Output Folder", nullptr, "OutFolder"},
    {-1, nullptr, nullptr, nullptr},
    {kCmdImportList, "Import Input Files", nullptr, "ImportFiles"},
    {kCmdExportList, "Export Input Files", nullptr, "ExportFiles"},
    {-1, nullptr, nullptr, nullptr},
    {kCmdExit, "Exit", "Alt+X", "Exit"},
};
constexpr MenuEntry kEditMenu[] = {
    {kCmdCopy, "Copy", "Ctrl+C", "Copy"},
    {kCmdDelete, "Delete", "Ctrl+Del", "Delete"},
    {-1, nullptr, nullptr, nullptr},
    {kCmdSelectAll, "Select All", "Ctrl+A", "SelectAll"},
};
constexpr MenuEntry kConverterMenu[] = {
    {kCmdConvert, "Convert", "F5", "Convert"},
    {-1, nullptr, nullptr, nullptr},
    {kCmdCustomConverter, "Custom Converter", nullptr, "CustomConverter"},
    {-1, nullptr, nullptr, nullptr},
    {kCmdPreferences, "Preferences", nullptr, "Preferences"},
};
constexpr MenuEntry kHelpMenu[] = {
    {kCmdManual, "Manual", "F1", "Help"},
    {-1, nullptr, nullptr, nullptr},
    {kCmdFeedback, "Send Feedback", nullptr, "Email"},
    {kCmdHomepage, "Visit Homepage", nullptr, "Web"},
    {kCmdCheckUpdates, "Check For New Version", nullptr, "Updates"},
    {-1, nullptr, nullptr, nullptr},
    {kCmdAbout, "About", nullptr, "About"},
};

template <size_t N>
wxMenu* makeMenu(const MenuEntry (&entries)[N]) {
  auto* menu = new wxMenu;
  for (const MenuEntry& entry : entries) {
    if (entry.command < 0) {
      menu->AppendSeparator();
      continue;
    }
    wxString label = messageText("Menu", entry.key);
    if (entry.accel) label += "\t" + wxString(entry.accel);
    auto* item = new wxMenuItem(menu, commandId(entry.command), label);
    item->SetBitmap(menuImage(entry.image));
    menu->Append(item);
  }
  showMenuImages(menu);
  return menu;
}

struct ToolEntry {
  int command;  // -1: separator
  const char* image;
  const char* key;
};

constexpr ToolEntry kTools[] = {
    {kCmdNew, "New", "New"},
    {kCmdAddInput, "Add", "Select Input Files"},
    {kCmdSelectOutputFolder, "OutFolder", "Select Output Folder"},
    {-1, nullptr, nullptr},
    {kCmdPreferences, "Preferences", "Preferences"},
    {-1, nullptr, nullptr},
    {kCmdConvert, "Convert", "Convert"},
    {-1, nullptr, nullptr},
    {kCmdManual, "Help", "Manual"},
    {kCmdFeedback, "Email", "Send Feedback"},
    {kCmdHomepage, "Web", "Visit Homepage"},
    {kCmdCheckUpdates, "Updates", "Check For New Version"},
};

// Dropped files and folders go to the window in the order given.
class FileDrop : public wxFileDropTarget {
 public:
  explicit FileDrop(MainWindow* window) : window_(window) {}
  bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override {
    std::vector<std::string> paths;
    for (const wxString& name : names) paths.push_back(toUtf8(name));
    // The drag source waits for the answer; the import runs after it.
    window_->CallAfter([window = window_, paths] { window->DropPaths(paths); });
    return true;
  }

 private:
  MainWindow* window_;
};

// The add-input chooser: two large buttons, files or a folder.
class AddInputChooser : public wxDialog {
 public:
  explicit AddInputChooser(wxWindow* parent)
      : wxDialog(parent, wxID_ANY, messageText("Menu", "Select Input Files"), wxDefaultPosition,
                 wxDefaultSize, wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU) {
    SetName("addInputChooser");
    SetClientSize(270, 160);
    auto* files = new wxBitmapButton(this, kCmdSelectInputFiles, buttonImage("InFiles"), wxPoint(30, 30),
                                     wxSize(80, 80));
    auto* folder = new wxBitmapButton(this, kCmdSelectInputFolder, buttonImage("InFolder"), wxPoint(160, 30),
                                      wxSize(80, 80));
    new wxStaticText(this, wxID_ANY, messageText("Menu", "Select Input File"), wxPoint(10, 120), wxSize(120, 30),
                     wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
    new wxStaticText(this, wxID_ANY, messageText("Menu", "Select Input Folder"), wxPoint(140, 120),
                     wxSize(120, 30), wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
    files->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(kCmdSelectInputFiles); });
    folder->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(kCmdSelectInputFolder); });
    // The chooser has no Cancel button for the toolkit to press on Escape.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
      if (event.GetKeyCode() == WXK_ESCAPE) {
        EndModal(wxID_CANCEL);
        return;
      }
      event.Skip();
    });
    CentreOnParent();
  }
};

}  // namespace

int commandId(int command) { return kCommandBase + command; }
int controlId(int control) { return kControlBase + control; }

MainWindow* mainWindow() { return gMainWindow; }

wxString messageText(const char* group, const char* key) { return wxString::FromUTF8(message(group, key)); }

wxBitmap menuImage(const std::string& name) { return sizedImage(ThemeSet::menuIcons, name, 16); }
wxBitmap toolbarImage(const std::string& name) {
  return sizedImage(ThemeSet::toolbarIcons, name, themeIconPixels(settings.uiSize));
}
wxBitmap buttonImage(const std::string& name) {
  wxBitmap bitmap = themeImage(ThemeSet::buttons, name);
  return bitmap.IsOk() ? bitmap : blankImage(name == "Convert" ? 64 : 48);
}

std::string manualAddress() {
  const std::string path = manualIndexPath();
  // Not found: the place of an installed manual, so the browser names what is missing.
  return "file://" + (path.empty() ? job.programFolder + "../share/trovabild/manual/index.html" : path);
}

std::string feedbackAddress() {
  std::string subject;
  for (char c : titleText() + " Feedback") subject += c == ' ' ? std::string("%20") : std::string(1, c);
  return std::string("mailto:") + kSupportEmail + "?subject=" + subject;
}

MainWindow::MainWindow()
    : wxFrame(nullptr, wxID_ANY, wxString::FromUTF8(titleText()), wxPoint(settings.windowX, settings.windowY),
              wxDefaultSize, wxDEFAULT_FRAME_STYLE) {
  gMainWindow = this;
  SetName("mainWindow");
  setInputAddedHook(inputAdded);

  buildMenus();
  buildToolBar();
  CreateStatusBar(1);
  SetStatusText("");
  // The status bar shows the program's own texts only: the toolkit's help
  // for a hovered tool or menu item would blank it (the items carry none).
  SetStatusBarPane(-1);
  buildControls();

  updateMinimumSize();
  setInnerSize(settings.windowWidth, settings.windowHeight);
  Move(settings.windowX, settings.windowY);

  // The shortcuts (Ctrl+N, Alt+X, F5, F1, and Copy, Delete and Select All
  // of the Edit menu) are the menu items' accelerators; a table of their
  // own beside them could run a command twice.
  SetDropTarget(new FileDrop(this));

  Bind(wxEVT_MENU, &MainWindow::onCommand, this, commandId(0), commandId(30));
  Bind(wxEVT_TOOL, &MainWindow::onCommand, this, commandId(0), commandId(30));
  Bind(wxEVT_SIZE, &MainWindow::onSize, this);
  Bind(wxEVT_CLOSE_WINDOW, &MainWindow::onClose, this);
}

MainWindow::~MainWindow() {
  setInputAddedHook({});
  if (gMainWindow == this) gMainWindow = nullptr;
  std::lock_guard<std::mutex> hold(gQueueLock);
  gQueuedRows.clear();
}

void MainWindow::buildMenus() {
  auto* bar = new wxMenuBar;
  bar->Append(makeMenu(kFileMenu), messageText("Menu", "File"));
  bar->Append(makeMenu(kEditMenu), messageText("Menu", "Edit"));
  bar->Append(makeMenu(kConverterMenu), messageText("Menu", "Converter"));
  bar->Append(makeMenu(kHelpMenu), messageText("Menu", "Help"));
  wxMenuBar* old = GetMenuBar();
  SetMenuBar(bar);
  delete old;
  menuHeight_ = 0;
}

void MainWindow::buildToolBar() {
  wxToolBar* bar = GetToolBar();
  if (!bar) bar = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
  bar->ClearTools();
  const int pixels = themeIconPixels(settings.uiSize);
  bar->SetToolBitmapSize(wxSize(pixels, pixels));
  for (const ToolEntry& tool : kTools) {
    if (tool.command < 0) {
      bar->AddSeparator();
      continue;
    }
    const wxString tip = messageText("Menu", tool.key);
    bar->AddTool(commandId(tool.command), tip, toolbarImage(tool.image), tip);
  }
  bar->Realize();
}

void MainWindow::buildSmallToolBars() {
  for (wxToolBar* bar : {folderBar_, formatBar_}) {
    bar->ClearTools();
    bar->SetToolBitmapSize(wxSize(16, 16));
  }
  const wxString folderTip = messageText("Menu", "Select Output Folder");
  const wxString formatTip = messageText("Menu", "Output Format Options");
  folderBar_->AddTool(commandId(kCmdSelectOutputFolder), folderTip, menuImage("OutFolder"), folderTip);
  formatBar_->AddTool(commandId(kCmdOutputOptions), formatTip, menuImage("OutFormat"), formatTip);
  folderBar_->Realize();
  formatBar_->Realize();
}

void MainWindow::buildControls() {
  const int L = kInitialListHeight;
  container_ = new wxPanel(this, controlId(0), wxPoint(0, 0), wxSize(510, 300), wxTAB_TRAVERSAL);

  list_ = new wxListView(container_, controlId(3), wxPoint(10, 10), wxSize(380, L),
                         wxLC_REPORT | wxBORDER_SUNKEN);
  list_->AppendColumn(messageText("General", "Filename"), wxLIST_FORMAT_LEFT, 290);

  folderLabel_ = new wxStaticText(container_, controlId(4), messageText("General", "Output Folder"),
                                  wxPoint(10, L + 15), wxSize(380, 20), wxST_NO_AUTORESIZE);
  folderBox_ = new wxBitmapComboBox(container_, controlId(5), "", wxPoint(10, L + 30), wxSize(380, 21), 0,
                                    nullptr, wxCB_DROPDOWN);
  folderBar_ = new wxToolBar(container_, wxID_ANY, wxPoint(396, L + 29), wxSize(24, 24),
                             wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
  formatLabel_ = new wxStaticText(container_, controlId(6), messageText("General", "Output Format"),
                                  wxPoint(10, L + 55), wxSize(380, 20), wxST_NO_AUTORESIZE);
  // A drop-down list; built as a box whose text cannot be typed, since GTK's
  // own read-only box is too tall for the window's rows.
  formatBox_ = new wxBitmapComboBox(container_, controlId(7), "", wxPoint(10, L + 70), wxSize(380, 21), 0,
                                    nullptr, wxCB_DROPDOWN);
  formatBox_->SetEditable(false);
  formatBar_ = new wxToolBar(container_, wxID_ANY, wxPoint(396, L + 69), wxSize(24, 24),
                             wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
  convertButton_ = new wxBitmapButton(container_, controlId(8), buttonImage("Convert"), wxPoint(400, 10),
                                      wxSize(100, 100));
  convertButton_->SetToolTip(messageText("General", "Convert"));
  buildSmallToolBars();
  makeCompact({folderBox_, formatBox_, folderBar_, formatBar_});

  // Every event of the list (re)installs its shortcuts.
  auto listEvent = [this](wxListEvent& event) { onListEvent(event); };
  list_->Bind(wxEVT_LIST_ITEM_SELECTED, listEvent);
  list_->Bind(wxEVT_LIST_ITEM_DESELECTED, listEvent);
  list_->Bind(wxEVT_LIST_ITEM_FOCUSED, listEvent);
  list_->Bind(wxEVT_LIST_KEY_DOWN, listEvent);
  list_->Bind(wxEVT_LIST_COL_CLICK, listEvent);
  list_->Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& event) { onListEvent(event); });
  list_->Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) { onListEvent(event); });
  // The generic list view takes mouse events in an inner window and hands
  // each one to the list first, so the gestures are bound on the list
  // alone (bound on both, one double click would open two choosers).
  list_->Bind(wxEVT_LEFT_DCLICK, &MainWindow::onListDoubleClick, this);
  list_->Bind(wxEVT_RIGHT_UP, &MainWindow::onListRightClick, this);
  // Focus events are not handed on.
  for (wxWindow* child : list_->GetChildren()) {
    child->Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& event) { onListEvent(event); });
  }

  folderBox_->Bind(wxEVT_TEXT, &MainWindow::onFolderBoxChanged, this);
  folderBox_->Bind(wxEVT_COMBOBOX, &MainWindow::onFolderBoxChanged, this);
  formatBox_->Bind(wxEVT_COMBOBOX, &MainWindow::onFormatBoxChanged, this);
  convertButton_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { RunCommand(kCmdConvert); });
  folderBar_->Bind(wxEVT_TOOL, &MainWindow::onCommand, this);
  formatBar_->Bind(wxEVT_TOOL, &MainWindow::onCommand, this);
}

void MainWindow::fillOutputFormatBox() {
  formatBox_->Clear();
  for (const std::string& extension : job.outputFormats) {
    const OutputFormatInfo* info = findOutputFormat(extension);
    std::string upper = extension;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string text = upper + " (" + (info ? info->description : std::string()) + ")";
    formatBox_->Append(wxString::FromUTF8(text), menuImage("New"));
  }
  if (formatBox_->GetCount() > 0) formatBox_->SetSelection(0);
}

void MainWindow::StartUp() {
  fillFormatRegistry();
  if (settings.isMaximized == 1) Maximize(true);
  if (settings.recentOutFolders.empty()) folderBox_->Append("", menuImage("FavFolder"));
  fillOutputFormatBox();
  NewList();
  Show(true);
  ApplyLayout();
  SendSizeEvent(wxSEND_EVENT_POST);
}

void MainWindow::NewList() {
  RefreshOutputFolderBox();
  resetJob();
  list_->DeleteAllItems();
  {
    std::lock_guard<std::mutex> hold(gQueueLock);
    gQueuedRows.clear();
  }
  setOutputFolderText("");
  job.outputFolder.clear();
  setStatus(message("General", "Ready"));
  list_->SetFocus();
}

void MainWindow::RefreshOutputFolderBox() {
  if (settings.recentOutFolders.empty()) return;
  quietBox_ = true;
  folderBox_->Clear();
  int selected = 0;
  for (int i = 0; i < settings.outFoldersNumber; ++i) {
    const std::string folder = RecentOutputFolder(i);
    if (folder.empty()) continue;
    const int index = folderBox_->Append(wxString::FromUTF8(folder), menuImage("FavFolder"));
    if (folder == job.outputFolder && selected == 0) selected = index;
  }
  if (folderBox_->GetCount() > 0) folderBox_->SetSelection(selected);
  quietBox_ = false;
}

void MainWindow::RefreshMainWindow(bool iconSizeChanged, bool themeChanged) {
  const wxSize before = innerSize();
  if (themeChanged) {
    LoadTheme(true, true, true);
    buildMenus();
    buildToolBar();
    buildSmallToolBars();
    applyImages();
  } else if (iconSizeChanged) {
    LoadTheme(false, false, true);
    buildToolBar();
  }
  if (themeChanged || iconSizeChanged) {
    // The inner size stays; GTK offers no overflow for the buttons that a
    // refilled toolbar cannot show, so the window widens until they fit.
    setInnerSize(before.x, before.y);
    ApplyLayout();
    // The frame works out its size from the toolbar's old height until GTK
    // has laid the refilled toolbar out; then the size is set once more.
    CallAfter([this, before] {
      setInnerSize(before.x, before.y);
      ApplyLayout();
    });
  }
  if (static_cast<int>(folderBox_->GetCount()) != settings.outFoldersNumber) {
    const std::string text = outputFolderText();
    RefreshOutputFolderBox();
    setOutputFolderText(text);
  }
}

void MainWindow::applyImages() {
  convertButton_->SetBitmap(buttonImage("Convert"));
  for (unsigned i = 0; i < folderBox_->GetCount(); ++i) folderBox_->SetItemBitmap(i, menuImage("FavFolder"));
  for (unsigned i = 0; i < formatBox_->GetCount(); ++i) formatBox_->SetItemBitmap(i, menuImage("New"));
}

int MainWindow::menuBarHeight() const {
  if (menuHeight_ <= 0 && GetMenuBar()) {
    int height = GetMenuBar()->GetSize().y;
    if (height <= 1) height = GetMenuBar()->GetBestSize().y;
    menuHeight_ = height > 1 ? height : 0;
  }
  return menuHeight_;
}

namespace {

// Until GTK has laid a bar out, its size is a placeholder (a toolbar of
// 32-pixel icons reports 7 pixels), and a refilled toolbar keeps its old
// size for a while; the height it asks for is the real one.
int barHeight(const wxWindow* bar) {
  if (!bar) return 0;
  const int height = bar->GetSize().y;
  if (!bar->IsShownOnScreen() || height <= 1) return bar->GetBestSize().y;
  return height;
}

}  // namespace

int MainWindow::toolBarHeight() const {
  const wxToolBar* bar = GetToolBar();
  return bar ? bar->GetBestSize().y : 0;
}

int MainWindow::statusBarHeight() const { return barHeight(GetStatusBar()); }

wxSize MainWindow::innerSize() const {
  const wxSize client = GetClientSize();
  return wxSize(client.x, client.y + toolBarHeight() + statusBarHeight());
}

int MainWindow::minimumInnerWidth() const {
  // Wide enough for every toolbar button (the larger icon sizes need more).
  const wxToolBar* bar = GetToolBar();
  return std::max(kMinInnerWidth, bar ? bar->GetBestSize().x : 0);
}

void MainWindow::updateMinimumSize() {
  const wxSize minimum(minimumInnerWidth(), kMinInnerHeight - toolBarHeight() - statusBarHeight());
  if (GetMinClientSize() != minimum) SetMinClientSize(minimum);
}

void MainWindow::setInnerSize(int width, int height) {
  updateMinimumSize();
  width = std::max(width, minimumInnerWidth());
  height = std::max(height, kMinInnerHeight);
  SetClientSize(width, height - toolBarHeight() - statusBarHeight());
}

void MainWindow::ApplyLayout() {
  if (inLayout_ || !container_) return;
  inLayout_ = true;
  updateMinimumSize();
  const wxSize inner = innerSize();
  const int W = inner.x;
  const int H = inner.y;
  const int A = menuBarHeight() + toolBarHeight() + statusBarHeight();
  const int free = H - A;  // every vertical position hangs from this

  // The toolbar sits outside the client area here, so the container's
  // y = T of the layout is the client area's 0.
  container_->SetSize(0, 0, W, free - 10);
  list_->SetSize(10, 10, W - 130, free - 109);
  list_->SetColumnWidth(0, W - 160);
  folderLabel_->Move(10, free - 94);
  folderBox_->SetSize(10, free - 79, W - 130, folderBox_->GetBestSize().y);
  const wxSize barSize = smallBarSize();
  folderBar_->SetSize(W - 114, free - 80, barSize.x, barSize.y);
  formatLabel_->Move(10, free - 54);
  formatBox_->SetSize(10, free - 39, W - 130, formatBox_->GetBestSize().y);
  formatBar_->SetSize(W - 114, free - 40, barSize.x, barSize.y);
  convertButton_->Move(W - 110, 10);
  Refresh();
  inLayout_ = false;
}

wxSize MainWindow::smallBarSize() const {
  // 24 x 24, or what GTK needs to show the button rather than its overflow arrow.
  const wxSize best = folderBar_->GetBestSize();
  return wxSize(std::max(24, best.x), std::max(24, best.y));
}

void MainWindow::onSize(wxSizeEvent&) {
  // Not skipped: the frame's own handler would stretch the container over
  // the whole client area.
  ApplyLayout();
}

void MainWindow::appendInputRow(const std::string& path) {
  list_->InsertItem(list_->GetItemCount(), wxString::FromUTF8(path));
  if (outputFolderText().empty()) {
    const std::string folder = job.inputPath.empty() ? pathPart(path) : job.inputPath;
    AddRecentOutputFolder(folder);
    job.outputFolder = folder;
    RefreshOutputFolderBox();
    setOutputFolderText(folder);
  }
}

void MainWindow::takeQueuedRows() {
  std::vector<std::string> rows;
  {
    std::lock_guard<std::mutex> hold(gQueueLock);
    rows.swap(gQueuedRows);
  }
  if (rows.empty()) return;
  list_->Freeze();
  for (const std::string& path : rows) appendInputRow(path);
  list_->Thaw();
}

std::vector<std::string> MainWindow::rows() const {
  std::vector<std::string> result;
  for (long i = 0; i < list_->GetItemCount(); ++i) result.push_back(toUtf8(list_->GetItemText(i)));
  return result;
}

std::vector<std::string> MainWindow::selectedRows() const {
  std::vector<std::string> result;
  for (long i = list_->GetFirstSelected(); i != -1; i = list_->GetNextSelected(i)) {
    result.push_back(toUtf8(list_->GetItemText(i)));
  }
  return result;
}

bool MainWindow::fileListHasFocus() const {
  for (wxWindow* focus = wxWindow::FindFocus(); focus; focus = focus->GetParent()) {
    if (focus == list_) return true;
    if (focus == this) break;
  }
  return false;
}

void MainWindow::installListShortcuts() { listShortcuts_ = true; }

void MainWindow::onListEvent(wxEvent& event) {
  installListShortcuts();
  event.Skip();
}

void MainWindow::onListRightClick(wxMouseEvent& event) {
  installListShortcuts();
  event.Skip();
  if (list_->GetSelectedItemCount() == 0) return;
  wxMenu popup;
  for (const MenuEntry& entry : kEditMenu) {
    if (entry.command < 0) {
      popup.AppendSeparator();
      continue;
    }
    auto* item = new wxMenuItem(&popup, commandId(entry.command),
                                messageText("Menu", entry.key) + "\t" + wxString(entry.accel));
    item->SetBitmap(menuImage(entry.image));
    popup.Append(item);
  }
  showMenuImages(&popup);
  PopupMenu(&popup);
}

void MainWindow::onListDoubleClick(wxMouseEvent& event) {
  installListShortcuts();
  event.Skip();
  CallAfter([this] { ShowAddInputChooser(); });
}

void MainWindow::CopySelectedRows() {
  const std::vector<std::string> selected = selectedRows();
  std::string text;
  for (size_t i = 0; i < selected.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += selected[i];
  }
  if (wxTheClipboard->Open()) {
    wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(text)));
    wxTheClipboard->Flush();
    wxTheClipboard->Close();
  }
}

void MainWindow::DeleteSelectedRows() {
  long lastRemoved = -1;
  list_->Freeze();
  for (long row = list_->GetFirstSelected(); row != -1; row = list_->GetFirstSelected()) {
    removeInputFile(toUtf8(list_->GetItemText(row)));
    list_->DeleteItem(row);
    lastRemoved = row;
  }
  if (lastRemoved >= 0) {
    long next = lastRemoved;
    if (next == list_->GetItemCount()) next -= 1;
    if (next >= 0) {
      list_->Select(next, true);
      list_->Focus(next);
    }
  }
  list_->Thaw();
}

void MainWindow::SelectAllRows() {
  for (long i = 0; i < list_->GetItemCount(); ++i) list_->Select(i, true);
}

void MainWindow::DropPaths(const std::vector<std::string>& paths) {
  for (size_t i = 0; i < paths.size(); ++i) {
    std::string path = paths[i];
    if (fileSize(path) == -2) {
      if (path.empty() || path.back() != '/') path += '/';
      job.inputPath = path;
      ImportFolder(*this);
    }
    addInputFile(path);
    takeQueuedRows();
    if (i + 1 < paths.size()) wxTheApp->Yield(true);
  }
}

void MainWindow::ShowAddInputChooser() {
  AddInputChooser chooser(this);
  noteDialogShown(chooser);
  Enable(false);
  const int choice = chooser.ShowModal();
  chooser.Hide();
  if (choice == kCmdSelectInputFiles) SelectInputFiles(*this);
  if (choice == kCmdSelectInputFolder) SelectInputFolder(*this);
  Enable(true);
  SetFocus();
}

void MainWindow::onCommand(wxCommandEvent& event) { RunCommand(event.GetId() - kCommandBase); }

void MainWindow::RunCommand(int command) {
  switch (command) {
    case kCmdNew:
      NewList();
      break;
    case kCmdExit:
      Close();
      break;
    case kCmdAddInput:
      ShowAddInputChooser();
      break;
    case kCmdSelectInputFiles:
      SelectInputFiles(*this);
      break;
    case kCmdSelectInputFolder:
      SelectInputFolder(*this);
      break;
    case kCmdSelectOutputFolder:
      SelectOutputFolder(*this);
      break;
    case kCmdOutputOptions:
    case kCmdPreferences: {
      const PreferencesOutcome outcome =
          ShowPreferencesDialog(this, command == kCmdOutputOptions ? kPageOutput : kPageGeneral);
      if (outcome.accepted) RefreshMainWindow(outcome.iconSizeChanged, outcome.themeChanged);
      break;
    }
    case kCmdImportList:
      ImportListFile(*this);
      break;
    case kCmdExportList:
      ExportList(*this);
      break;
    case kCmdCopy:
    case kCmdSelectAll:
      if (listShortcuts_ && fileListHasFocus()) {
        if (command == kCmdCopy) {
          CopySelectedRows();
        } else {
          SelectAllRows();
        }
      } else if (auto* entry = dynamic_cast<wxTextEntry*>(wxWindow::FindFocus())) {
        // The menu's shortcut must not take the keys from a text field.
        if (command == kCmdCopy) {
          entry->Copy();
        } else {
          entry->SelectAll();
        }
      }
      break;
    case kCmdDelete:
      if (listShortcuts_ && fileListHasFocus()) DeleteSelectedRows();
      break;
    case kCmdConvert:
      StartConversion(*this);
      break;
    case kCmdCustomConverter:
      ShowConverterFinder(this);
      break;
    case kCmdManual:
      openAddress(manualAddress());
      break;
    case kCmdFeedback:
      openAddress(feedbackAddress());
      break;
    case kCmdHomepage:
      openAddress(kWebAddress);
      break;
    case kCmdCheckUpdates:
      CheckForUpdates(this);
      break;
    case kCmdAbout:
      ShowAboutBox(this);
      break;
    default:
      break;
  }
}

void MainWindow::setStatus(const std::string& text) { SetStatusText(wxString::FromUTF8(text)); }
std::string MainWindow::status() const { return toUtf8(GetStatusBar()->GetStatusText()); }

std::string MainWindow::outputFolderText() const { return toUtf8(folderBox_->GetValue()); }
void MainWindow::setOutputFolderText(const std::string& text) {
  quietBox_ = true;
  folderBox_->ChangeValue(wxString::FromUTF8(text));
  quietBox_ = false;
}
int MainWindow::outputFormatIndex() const { return formatBox_->GetSelection(); }

void MainWindow::onFolderBoxChanged(wxCommandEvent& event) {
  // Only the user's changes count; the program sets outputFolder itself.
  if (quietBox_) return;
  job.outputFolder = toUtf8(folderBox_->GetValue());
  event.Skip();
}

void MainWindow::onFormatBoxChanged(wxCommandEvent& event) {
  const int index = formatBox_->GetSelection();
  if (index >= 0 && index < static_cast<int>(job.outputFormats.size())) settings.outputFormat = job.outputFormats[index];
  event.Skip();
}

void MainWindow::StoreOnClose() {
  if (IsMaximized()) {
    settings.isMaximized = 1;
  } else if (!IsIconized()) {
    settings.isMaximized = 0;
    const wxSize inner = innerSize();
    const wxPoint position = GetPosition();
    settings.windowWidth = inner.x;
    settings.windowHeight = inner.y;
    settings.windowX = position.x;
    settings.windowY = position.y;
  }
  if (settings.outFoldersHistory == 0) settings.recentOutFolders.clear();
  SavePreferences();
}

void MainWindow::onClose(wxCloseEvent&) {
  StoreOnClose();
  Destroy();
}

}  // namespace trovabild
