#include "desktop/preferences_dialog.h"

#include <wx/bmpcbox.h>
#include <wx/colordlg.h>
#include <wx/combo.h>
#include <wx/calctrl.h>
#include <wx/generic/calctrlg.h>
#include <wx/fontdlg.h>
#include <wx/scrolwin.h>
#include <wx/spinctrl.h>
#include <wx/valtext.h>
#include <wx/wx.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "base/messages.h"
#include "base/text.h"
#include "desktop/preferences.h"
#include "desktop/small_dialogs.h"
#include "desktop/themes.h"
#include "imaging/font_family.h"
#include "imaging/format_registry.h"
#include "settings/setting_table.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

// Grid of a page: label at x 10 (160 wide), control at x 170 (240 wide),
// number fields 160 wide with their unit at x 340 (70 wide), sliders 170
// wide with the spin box at x 340, colour drop-downs 214 wide with "..." at
// x 389. The row pitch is 30 unless the toolkit's controls need more.
constexpr int kLabelX = 10;
constexpr int kLabelWidth = 160;
constexpr int kControlX = 170;
constexpr int kControlWidth = 240;
constexpr int kNumberWidth = 160;
constexpr int kUnitX = 340;
constexpr int kUnitWidth = 70;
constexpr int kSliderWidth = 170;
constexpr int kPickerWidth = 214;
constexpr int kPickButtonX = 389;
constexpr int kPickButtonSize = 22;
constexpr int kPageWidth = 450;
constexpr int kPageHeight = 255;
constexpr int kFirstRowY = 10;

wxString pref(const std::string& key) { return wxString::FromUTF8(message("Preferences", key)); }
wxString dialogText(const char* key) { return wxString::FromUTF8(message("Dialog", key)); }

wxArrayString prefItems(std::initializer_list<const char*> keys) {
  wxArrayString items;
  for (const char* key : keys) items.Add(pref(key));
  return items;
}

/// Reads and writes one integer-valued setting whatever its width.
struct IntField {
  std::function<int()> get;
  std::function<void(int)> set;
};

// A decimal setting is held by its controls in hundredths (gamma 1.00 is 100).
constexpr float kDecimalScale = 100.0f;

// The row of the settings table a control is bound to: the control has the
// row's name. Null for a name no row has (a format without a depth setting).
const SettingRow* boundRow(const char* name) { return findSetting(name); }

// The integer the controls show of the bound setting; nothing for a name no
// row has.
IntField bound(const char* name) {
  const SettingRow* declared = boundRow(name);
  if (declared == nullptr) return {[] { return 0; }, [](int) {}};
  return std::visit(
      [](auto member) -> IntField {
        using T = std::remove_reference_t<decltype(settings.*member)>;
        if constexpr (std::is_same_v<T, float>) {
          return {[member] { return static_cast<int>(std::lround(settings.*member * kDecimalScale)); },
                  [member](int v) { settings.*member = static_cast<float>(v) / kDecimalScale; }};
        } else if constexpr (std::is_same_v<T, std::string>) {
          return {[] { return 0; }, [](int) {}};
        } else {
          return {[member] { return static_cast<int>(settings.*member); },
                  [member](int v) { settings.*member = static_cast<T>(v); }};
        }
      },
      declared->field);
}

// The bound text setting; a scratch text for a name no text row has.
std::string& boundText(const char* name) {
  static std::string scratch;
  const SettingRow* declared = boundRow(name);
  if (declared == nullptr || !std::holds_alternative<std::string Settings::*>(declared->field)) return scratch;
  return settings.*std::get<std::string Settings::*>(declared->field);
}

// The bound integer setting; a scratch number for a name no such row has.
int32_t& boundInteger(const char* name) {
  static int32_t scratch = 0;
  const SettingRow* declared = boundRow(name);
  if (declared == nullptr || !std::holds_alternative<int32_t Settings::*>(declared->field)) return scratch;
  return settings.*std::get<int32_t Settings::*>(declared->field);
}

// The bound setting's range as its controls hold it.
std::pair<int, int> boundRange(const char* name) {
  const SettingRow* declared = boundRow(name);
  if (declared == nullptr) return {0, 0};
  const double scale = declared->type == SettingType::decimal ? kDecimalScale : 1.0;
  return {static_cast<int>(std::lround(declared->range.low * scale)),
          static_cast<int>(std::lround(declared->range.high * scale))};
}

// The leading integer of a number field (0 when it holds none).
int numberOf(const wxString& text) {
  std::string s = text.utf8_string();
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  long long value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) value = std::min<long long>(value * 10 + (s[i] - '0'), 2147483647LL);
  return static_cast<int>(negative ? -value : value);
}

std::vector<std::string> splitList(const std::string& text, char separator) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    item.erase(0, item.find_first_not_of(" \t"));
    item.erase(item.find_last_not_of(" \t") + 1);
    if (!item.empty()) items.push_back(item);
    start = end + 1;
  }
  return items;
}

// "ICO (Windows Icon)": the rows of a format drop-down, each format with the
// description the registry gives it.
template <class Find>
wxArrayString formatNames(const std::vector<std::string>& formats, Find find) {
  wxArrayString names;
  for (const std::string& format : formats) {
    const auto* info = find(format);
    names.Add(wxString::FromUTF8(upperAscii(format) + (info ? " (" + info->description + ")" : "")));
  }
  return names;
}

struct NamedColour {
  const char* hex;
  const char* key;
};
constexpr NamedColour kNamedColours[] = {
    {"000000", "Black"}, {"C0C0C0", "Silver"}, {"808080", "Gray"},   {"FFFFFF", "White"},  {"800000", "Maroon"},
    {"FF0000", "Red"},   {"800080", "Purple"}, {"FF00FF", "Fuchsia"}, {"008000", "Green"}, {"00FF00", "Lime"},
    {"808000", "Olive"}, {"FFFF00", "Yellow"}, {"000080", "Navy"},   {"0000FF", "Blue"},   {"008080", "Teal"},
    {"00FFFF", "Aqua"},  {"FF8000", "Orange"}, {"804000", "Brown"},  {"8000FF", "Violet"},
};

wxColour colourOf(const std::string& hex) {
  unsigned long value = std::strtoul(hex.c_str(), nullptr, 16);
  return wxColour((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

wxBitmap swatch(const std::string& hex) {
  wxBitmap bitmap(16, 16, 24);
  wxMemoryDC dc(bitmap);
  dc.SetBrush(wxBrush(colourOf(hex)));
  dc.SetPen(wxPen(wxColour(0x40, 0x40, 0x40)));
  dc.DrawRectangle(0, 0, 16, 16);
  dc.SelectObject(wxNullBitmap);
  return bitmap;
}

// A stored colour in upper case with six digits, or "" when it is not one.
std::string normalHex(const std::string& text) {
  std::string hex = upperAscii(text);
  if (hex.size() != 6 || hex.find_first_not_of("0123456789ABCDEF") != std::string::npos) return "";
  return hex;
}

std::function<std::string(const std::string&)> colourHook;
std::function<std::pair<std::string, int>(const std::string&, int)> fontHook;

// RRGGBB of the colour chosen, "" when cancelled.
std::string chooseColour(wxWindow* parent, const std::string& current) {
  if (colourHook) return normalHex(colourHook(current));
  wxColourData data;
  if (!current.empty()) data.SetColour(colourOf(current));
  wxColourDialog chooser(parent, &data);
  if (chooser.ShowModal() != wxID_OK) return "";
  wxColour colour = chooser.GetColourData().GetColour();
  return wxString::Format("%02X%02X%02X", colour.Red(), colour.Green(), colour.Blue()).utf8_string();
}

// Face and point size chosen; the face is "" when cancelled.
// The chooser lists the families installed, so an alias such as Arial is
// preset as the family fontconfig gives for it.
std::pair<std::string, int> chooseFont(wxWindow* parent, const std::string& face, int size) {
  const std::string provided = providedFontFamily(face);
  const std::string preset = provided.empty() ? face : provided;
  if (fontHook) return fontHook(preset, size);
  wxFontData data;
  data.SetInitialFont(wxFont(wxFontInfo(size).FaceName(wxString::FromUTF8(preset))));
  wxFontDialog chooser(parent, data);
  if (chooser.ShowModal() != wxID_OK) return {"", 0};
  wxFont chosen = chooser.GetFontData().GetChosenFont();
  return {chosen.GetFaceName().utf8_string(), chosen.GetPointSize()};
}

struct FormatSubPage {
  wxWindow* panel;
  std::string format;
};

class PreferencesDialog : public wxDialog {
 public:
  PreferencesDialog(wxWindow* parent, int page);

  PreferencesOutcome outcome;

 private:
  // Row builders: each fills its control from `settings` and registers how
  // the control is read back on OK.
  int rowY(int row) const { return kFirstRowY + row * pitch_; }
  void label(wxWindow* page, int row, const wxString& text);
  // Each control is named after the setting it is bound to (the row of that
  // name in the settings table), and holds that setting's value.
  wxChoice* choiceRow(wxWindow* page, int row, const char* labelKey, const wxArrayString& items, const char* name,
                      std::vector<int> codes = {});
  wxChoice* textChoiceRow(wxWindow* page, int row, const char* labelKey, const wxArrayString& items,
                          const std::vector<std::string>& ids, const char* name);
  void checkRow(wxWindow* page, int row, const char* labelKey, const char* name);
  void numberRow(wxWindow* page, int row, const char* labelKey, const char* name, const char* unitKey);
  void numberUnitRow(wxWindow* page, int row, const char* labelKey, const char* name, const char* unitName);
  void sliderRow(wxWindow* page, int row, const char* labelKey, const char* name);
  void colourRow(wxWindow* page, int row, const char* labelKey, const char* name, const std::string& choices = "");
  void fontRow(wxWindow* page, int row, const char* name);
  void textRow(wxWindow* page, int row, const char* labelKey, const char* name);
  void pictureRow(wxWindow* page, int row, const char* labelKey, const char* name);
  void timestampRow(wxWindow* page, int row, const char* labelKey, const char* name);

  wxScrolledWindow* addPage(const char* key, int rows);
  wxScrolledWindow* subPage(wxWindow* page, int firstRow, int rows, const char* name);
  void buildGeneral();
  void buildInterface();
  void buildInput();
  void buildOutput();
  void buildTransform();
  void buildAdjustment();
  void buildFrame();
  void buildWatermark();
  void buildAdvanced();
  void buildInputFormat(wxWindow* page, const std::string& format);
  void buildOutputFormat(wxWindow* page, const std::string& format);
  void buildWatermarkText(wxWindow* page);
  void buildWatermarkImage(wxWindow* page);

  void selectPage(int index);
  void showFormatSubPage(const std::vector<FormatSubPage>& pages, const std::string& format);
  /// Shows the sub-page of the format chosen in `choice`, now and on every change.
  void followFormatChoice(wxChoice* choice, const std::vector<FormatSubPage>& pages,
                          const std::vector<std::string>& formats);
  void showWatermarkSubPage(int type);
  void onOk(wxCommandEvent&);
  void onDefaults(wxCommandEvent&);

  int pitch_ = 30;
  int pageHeight_ = kPageHeight;
  wxListBox* pageList_ = nullptr;
  wxStaticText* band_ = nullptr;
  std::vector<wxScrolledWindow*> pages_;
  std::vector<std::function<void()>> readers_;
  std::vector<FormatSubPage> inputSubPages_;
  std::vector<FormatSubPage> outputSubPages_;
  wxWindow* watermarkTextPage_ = nullptr;
  wxWindow* watermarkImagePage_ = nullptr;
  wxChoice* themeChoice_ = nullptr;
  wxChoice* sizeChoice_ = nullptr;
  wxTextCtrl* fontSizeBox_ = nullptr;
};

constexpr const char* kPageKeys[] = {"General", "Interface", "Input",     "Output",  "Transform",
                                     "Adjustment", "Frame",   "Watermark", "Advanced"};
// Rows of the tallest ordinary page (Transform); the watermark sub-pages
// scroll instead.
constexpr int kMostRows = 12;

PreferencesDialog::PreferencesDialog(wxWindow* parent, int page)
    : wxDialog(parent, wxID_ANY, pref("Title"), wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE,
               "preferencesDialog") {
  // GTK's drop-downs are taller than the 30-pixel grid allows; keep the grid
  // where it fits and widen the pitch (and the page) where it does not.
  {
    wxChoice probe(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, prefItems({"None"}));
    pitch_ = std::max(30, probe.GetBestSize().y + 4);
  }
  pageHeight_ = std::max(kPageHeight, kFirstRowY + kMostRows * pitch_);

  pageList_ = new wxListBox(this, wxID_ANY, wxPoint(10, 10), wxSize(120, pageHeight_ + 40), 0, nullptr,
                            wxLB_SINGLE, wxDefaultValidator, "pageList");
  for (const char* key : kPageKeys) pageList_->Append(pref(key));

  auto* bandPanel = new wxPanel(this, wxID_ANY, wxPoint(140, 10), wxSize(kPageWidth, 30));
  bandPanel->SetBackgroundColour(*wxWHITE);
  band_ = new wxStaticText(bandPanel, wxID_ANY, "", wxPoint(8, 0), wxSize(kPageWidth - 16, -1), wxST_NO_AUTORESIZE,
                           "titleBand");
  wxFont bold = GetFont();
  bold.SetPointSize(10);
  bold.SetWeight(wxFONTWEIGHT_BOLD);
  band_->SetFont(bold);
  band_->SetForegroundColour(*wxBLACK);
  band_->SetPosition(wxPoint(8, (30 - band_->GetBestSize().y) / 2));

  buildGeneral();
  buildInterface();
  buildInput();
  buildOutput();
  buildTransform();
  buildAdjustment();
  buildFrame();
  buildWatermark();
  buildAdvanced();

  const int buttonsY = 50 + pageHeight_ + 10;
  auto* defaults = new wxButton(this, wxID_ANY, dialogText("Defaults"), wxPoint(140, buttonsY), wxSize(90, -1), 0,
                                wxDefaultValidator, "defaults");
  auto* ok = new wxButton(this, wxID_OK, dialogText("OK"), wxPoint(400, buttonsY), wxSize(90, -1));
  auto* cancel = new wxButton(this, wxID_CANCEL, dialogText("Cancel"), wxPoint(500, buttonsY), wxSize(90, -1));
  ok->SetDefault();
  SetEscapeId(wxID_CANCEL);
  SetClientSize(600, buttonsY + std::max(25, cancel->GetSize().y) + 10);

  pageList_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent& event) { selectPage(event.GetSelection()); });
  ok->Bind(wxEVT_BUTTON, &PreferencesDialog::onOk, this);
  defaults->Bind(wxEVT_BUTTON, &PreferencesDialog::onDefaults, this);
  cancel->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_CANCEL); });

  selectPage(page >= 0 && page < static_cast<int>(pages_.size()) ? page : 0);
  CentreOnParent();
}

void PreferencesDialog::selectPage(int index) {
  pageList_->SetSelection(index);
  band_->SetLabel(pref(kPageKeys[index]));
  for (size_t i = 0; i < pages_.size(); ++i) pages_[i]->Show(static_cast<int>(i) == index);
}

wxScrolledWindow* PreferencesDialog::addPage(const char* key, int rows) {
  auto* page = new wxScrolledWindow(this, wxID_ANY, wxPoint(140, 50), wxSize(kPageWidth, pageHeight_),
                                    wxVSCROLL, std::string("page") + key);
  page->SetScrollRate(0, 10);
  page->SetVirtualSize(kPageWidth, std::max(pageHeight_, rowY(rows)));
  page->Hide();
  pages_.push_back(page);
  return page;
}

// The area below a page's first row(s) that holds one format's or one
// watermark type's rows; it scrolls when they are taller than the page.
wxScrolledWindow* PreferencesDialog::subPage(wxWindow* page, int firstRow, int rows, const char* name) {
  const int top = rowY(firstRow) - kFirstRowY;
  const int height = pageHeight_ - top;
  auto* area = new wxScrolledWindow(page, wxID_ANY, wxPoint(0, top), wxSize(kPageWidth, height), wxVSCROLL, name);
  area->SetScrollRate(0, 10);
  area->SetVirtualSize(420, std::max(height, rowY(rows)));
  return area;
}

void PreferencesDialog::label(wxWindow* page, int row, const wxString& text) {
  auto* label = new wxStaticText(page, wxID_ANY, text, wxPoint(kLabelX, 0), wxSize(kLabelWidth, -1),
                                 wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
  label->SetPosition(wxPoint(kLabelX, rowY(row) + (pitch_ - 4 - label->GetSize().y) / 2));
}

wxChoice* PreferencesDialog::choiceRow(wxWindow* page, int row, const char* labelKey, const wxArrayString& items,
                                       const char* name, std::vector<int> codes) {
  const IntField value = bound(name);
  label(page, row, pref(labelKey));
  auto* choice = new wxChoice(page, wxID_ANY, wxPoint(kControlX, rowY(row)), wxSize(kControlWidth, -1), items, 0,
                              wxDefaultValidator, name);
  if (codes.empty())
    for (size_t i = 0; i < items.size(); ++i) codes.push_back(static_cast<int>(i));
  auto at = std::find(codes.begin(), codes.end(), value.get());
  // A stored code outside the list shows no selection and is kept as it is.
  choice->SetSelection(at == codes.end() ? wxNOT_FOUND : static_cast<int>(at - codes.begin()));
  readers_.push_back([choice, value, codes] {
    int selection = choice->GetSelection();
    if (selection >= 0 && selection < static_cast<int>(codes.size())) value.set(codes[selection]);
  });
  return choice;
}

wxChoice* PreferencesDialog::textChoiceRow(wxWindow* page, int row, const char* labelKey, const wxArrayString& items,
                                           const std::vector<std::string>& ids, const char* name) {
  std::string& value = boundText(name);
  label(page, row, pref(labelKey));
  auto* choice = new wxChoice(page, wxID_ANY, wxPoint(kControlX, rowY(row)), wxSize(kControlWidth, -1), items, 0,
                              wxDefaultValidator, name);
  auto at = std::find(ids.begin(), ids.end(), value);
  choice->SetSelection(at == ids.end() ? (ids.empty() ? wxNOT_FOUND : 0) : static_cast<int>(at - ids.begin()));
  readers_.push_back([choice, ids, &value] {
    int selection = choice->GetSelection();
    if (selection >= 0 && selection < static_cast<int>(ids.size())) value = ids[selection];
  });
  return choice;
}

void PreferencesDialog::checkRow(wxWindow* page, int row, const char* labelKey, const char* name) {
  const IntField value = bound(name);
  label(page, row, pref(labelKey));
  auto* check = new wxCheckBox(page, wxID_ANY, "", wxPoint(kControlX, rowY(row)), wxDefaultSize, 0,
                               wxDefaultValidator, name);
  check->SetPosition(wxPoint(kControlX, rowY(row) + (pitch_ - 4 - check->GetSize().y) / 2));
  check->SetValue(value.get() != 0);
  readers_.push_back([check, value] { value.set(check->GetValue() ? 1 : 0); });
}

void PreferencesDialog::numberRow(wxWindow* page, int row, const char* labelKey, const char* name,
                                  const char* unitKey) {
  const IntField value = bound(name);
  label(page, row, pref(labelKey));
  auto* box = new wxTextCtrl(page, wxID_ANY, wxString::Format("%d", value.get()), wxPoint(kControlX, rowY(row)),
                             wxSize(kNumberWidth, -1), 0, wxTextValidator(wxFILTER_NUMERIC), name);
  if (unitKey) {
    auto* unit = new wxStaticText(page, wxID_ANY, pref(unitKey), wxPoint(kUnitX, 0), wxSize(kUnitWidth, -1));
    unit->SetPosition(wxPoint(kUnitX, rowY(row) + (box->GetSize().y - unit->GetSize().y) / 2));
  }
  readers_.push_back([box, value] { value.set(numberOf(box->GetValue())); });
  if (std::string(name) == "wmFontSize") fontSizeBox_ = box;
}

void PreferencesDialog::numberUnitRow(wxWindow* page, int row, const char* labelKey, const char* name,
                                      const char* unitName) {
  const IntField unit = bound(unitName);
  numberRow(page, row, labelKey, name, nullptr);
  auto* units = new wxChoice(page, wxID_ANY, wxPoint(kUnitX, rowY(row)), wxSize(kUnitWidth, -1),
                             prefItems({"Pixels", "Percent"}), 0, wxDefaultValidator, unitName);
  // A GTK drop-down needs room for its arrow: it keeps the row's right edge
  // and the number field gives way.
  const int unitWidth = std::max(kUnitWidth, units->GetBestSize().x);
  units->SetSize(kControlX + kControlWidth - unitWidth, rowY(row), unitWidth, -1);
  if (auto* box = wxWindow::FindWindowByName(name, page))
    box->SetSize(kControlX, rowY(row), std::min(kNumberWidth, kControlWidth - unitWidth - 6), -1);
  units->SetSelection(unit.get() == 1 ? 1 : unit.get() == 0 ? 0 : wxNOT_FOUND);
  readers_.push_back([units, unit] {
    if (units->GetSelection() != wxNOT_FOUND) unit.set(units->GetSelection());
  });
}

// A slider and a spin box showing the same value, over the setting's range.
// The slider starts at 0: a range below 0 is shifted (brightness and
// contrast run 0..200 on the slider for -100..100).
void PreferencesDialog::sliderRow(wxWindow* page, int row, const char* labelKey, const char* name) {
  const IntField value = bound(name);
  const auto [minimum, maximum] = boundRange(name);
  const int sliderOffset = minimum < 0 ? -minimum : 0;
  label(page, row, pref(labelKey));
  const int current = std::clamp(value.get(), minimum, maximum);
  auto* slider = new wxSlider(page, wxID_ANY, current + sliderOffset, minimum + sliderOffset,
                              maximum + sliderOffset, wxPoint(kControlX, rowY(row)), wxSize(kSliderWidth, -1),
                              wxSL_HORIZONTAL, wxDefaultValidator, name);
  auto* spin = new wxSpinCtrl(page, wxID_ANY, "", wxPoint(kUnitX, rowY(row)), wxSize(kUnitWidth, -1),
                              wxSP_ARROW_KEYS, minimum, maximum, current, std::string(name) + "Spin");
  // GTK's spin boxes (entry and two buttons) need more than 70 pixels: the
  // spin box keeps the row's right edge and the slider gives way.
  const int spinWidth = std::max(kUnitWidth, spin->GetBestSize().x);
  spin->SetSize(kControlX + kControlWidth - spinWidth, rowY(row), spinWidth, -1);
  slider->SetSize(kControlX, rowY(row), std::min(kSliderWidth, kControlWidth - spinWidth - 6), -1);
  slider->SetPosition(wxPoint(kControlX, rowY(row) + (spin->GetSize().y - slider->GetSize().y) / 2));
  slider->Bind(wxEVT_SLIDER, [slider, spin, sliderOffset](wxCommandEvent&) {
    spin->SetValue(slider->GetValue() - sliderOffset);
  });
  auto mirror = [slider, spin, sliderOffset] { slider->SetValue(spin->GetValue() + sliderOffset); };
  spin->Bind(wxEVT_SPINCTRL, [mirror](wxSpinEvent&) { mirror(); });
  spin->Bind(wxEVT_TEXT, [mirror](wxCommandEvent&) { mirror(); });
  // A stored value outside the range is kept unless the user moves the row.
  const int stored = value.get();
  readers_.push_back([spin, value, stored, current] {
    if (spin->GetValue() != current || stored == current) value.set(spin->GetValue());
  });
}

void PreferencesDialog::colourRow(wxWindow* page, int row, const char* labelKey, const char* name,
                                  const std::string& choices) {
  std::string& value = boundText(name);
  label(page, row, pref(labelKey));
  auto* box = new wxBitmapComboBox(page, wxID_ANY, "", wxPoint(kControlX, rowY(row)), wxSize(kPickerWidth, -1), 0,
                                   nullptr, wxCB_READONLY, wxDefaultValidator, name);
  auto hexes = std::make_shared<std::vector<std::string>>();
  auto add = [box, hexes](const std::string& hex) {
    wxString text;
    for (const auto& named : kNamedColours)
      if (hex == named.hex) text = pref(named.key);
    if (text.empty()) text = pref("Color") + " #" + wxString(hex);
    box->Append(text, swatch(hex));
    hexes->push_back(hex);
  };
  for (const std::string& item : splitList(choices, ','))
    if (std::string hex = normalHex(item); !hex.empty() && std::find(hexes->begin(), hexes->end(), hex) == hexes->end())
      add(hex);
  std::string current = normalHex(value);
  if (!current.empty() && std::find(hexes->begin(), hexes->end(), current) == hexes->end()) add(current);
  auto at = std::find(hexes->begin(), hexes->end(), current);
  box->SetSelection(at == hexes->end() ? wxNOT_FOUND : static_cast<int>(at - hexes->begin()));

  auto* pick = new wxButton(page, wxID_ANY, "...", wxPoint(kPickButtonX, rowY(row)),
                            wxSize(kPickButtonSize, kPickButtonSize), wxBU_EXACTFIT, wxDefaultValidator,
                            std::string(name) + "Pick");
  pick->SetSize(kPickButtonX, rowY(row), kPickButtonSize, box->GetSize().y);
  pick->Bind(wxEVT_BUTTON, [this, box, hexes, add](wxCommandEvent&) {
    int selection = box->GetSelection();
    std::string hex = chooseColour(this, selection == wxNOT_FOUND ? "" : (*hexes)[selection]);
    if (hex.empty()) return;
    auto found = std::find(hexes->begin(), hexes->end(), hex);
    if (found == hexes->end()) {
      add(hex);
      box->SetSelection(static_cast<int>(hexes->size()) - 1);
    } else {
      box->SetSelection(static_cast<int>(found - hexes->begin()));
    }
  });
  readers_.push_back([box, hexes, &value] {
    int selection = box->GetSelection();
    if (selection >= 0 && selection < static_cast<int>(hexes->size())) value = (*hexes)[selection];
  });
}

void PreferencesDialog::fontRow(wxWindow* page, int row, const char* name) {
  std::string& font = boundText(name);
  label(page, row, pref("Font"));
  auto* choice = new wxChoice(page, wxID_ANY, wxPoint(kControlX, rowY(row)), wxSize(kPickerWidth, -1), 0, nullptr,
                              0, wxDefaultValidator, name);
  // Only fonts a conversion would accept are offered; the pick list itself
  // stays as stored.
  auto offer = [choice](const std::string& item) {
    if (!item.empty() && choice->FindString(wxString::FromUTF8(item), true) == wxNOT_FOUND &&
        !providedFontFamily(item).empty())
      choice->Append(wxString::FromUTF8(item));
  };
  for (const std::string& item : splitList(settings.wmFonts, ',')) offer(item);
  offer(font);
  const int stored = choice->FindString(wxString::FromUTF8(font), true);
  if (stored != wxNOT_FOUND) {
    choice->SetSelection(stored);
  } else if (choice->GetCount() > 0) {
    choice->SetSelection(0);
  }
  auto* pick = new wxButton(page, wxID_ANY, "...", wxPoint(kPickButtonX, rowY(row)),
                            wxSize(kPickButtonSize, kPickButtonSize), wxBU_EXACTFIT, wxDefaultValidator,
                            std::string(name) + "Pick");
  pick->SetSize(kPickButtonX, rowY(row), kPickButtonSize, choice->GetSize().y);
  pick->Bind(wxEVT_BUTTON, [this, choice](wxCommandEvent&) {
    int size = fontSizeBox_ ? numberOf(fontSizeBox_->GetValue()) : settings.wmFontSize;
    auto [face, chosenSize] = chooseFont(this, choice->GetStringSelection().utf8_string(), size > 0 ? size : 14);
    if (face.empty()) return;
    int index = choice->FindString(wxString::FromUTF8(face), true);
    if (index == wxNOT_FOUND) index = choice->Append(wxString::FromUTF8(face));
    choice->SetSelection(index);
    if (fontSizeBox_ && chosenSize > 0) fontSizeBox_->ChangeValue(wxString::Format("%d", chosenSize));
  });
  readers_.push_back([choice, &font] {
    if (choice->GetSelection() != wxNOT_FOUND) font = choice->GetStringSelection().utf8_string();
  });
}

void PreferencesDialog::textRow(wxWindow* page, int row, const char* labelKey, const char* name) {
  std::string& value = boundText(name);
  label(page, row, pref(labelKey));
  auto* box = new wxTextCtrl(page, wxID_ANY, wxString::FromUTF8(value), wxPoint(kControlX, rowY(row)),
                             wxSize(kControlWidth, -1), 0, wxDefaultValidator, name);
  readers_.push_back([box, &value] { value = box->GetValue().utf8_string(); });
}

void PreferencesDialog::pictureRow(wxWindow* page, int row, const char* labelKey, const char* name) {
  std::string& value = boundText(name);
  label(page, row, pref(labelKey));
  auto* box = new wxTextCtrl(page, wxID_ANY, wxString::FromUTF8(value), wxPoint(kControlX, rowY(row)),
                             wxSize(kPickerWidth, -1), 0, wxDefaultValidator, name);
  auto* pick = new wxButton(page, wxID_ANY, "...", wxPoint(kPickButtonX, rowY(row)),
                            wxSize(kPickButtonSize, kPickButtonSize), wxBU_EXACTFIT, wxDefaultValidator,
                            std::string(name) + "Pick");
  pick->SetSize(kPickButtonX, rowY(row), kPickButtonSize, box->GetSize().y);
  pick->Bind(wxEVT_BUTTON, [this, box](wxCommandEvent&) {
    wxFileDialog chooser(this, dialogText("Select Watermark Image"), "", box->GetValue(),
                         wxString::FromUTF8(watermarkImageFilter()), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (chooser.ShowModal() == wxID_OK) box->ChangeValue(chooser.GetPath());
  });
  readers_.push_back([box, &value] { value = box->GetValue().utf8_string(); });
}

// The timestamp's text, "%yyyy/%mm/%dd %hh:%ii".
constexpr const char* kTimestampFormat = "%Y/%m/%d %H:%M";

// The drop-down of the timestamp box: a calendar whose day replaces the
// date of the text, keeping its time.
class CalendarPopup : public wxGenericCalendarCtrl, public wxComboPopup {
 public:
  bool Create(wxWindow* parent) override {
    if (!wxGenericCalendarCtrl::Create(parent, wxID_ANY, wxDateTime::Today(), wxDefaultPosition, wxDefaultSize,
                                       static_cast<long>(wxCAL_SHOW_SURROUNDING_WEEKS) | static_cast<long>(wxBORDER_SIMPLE)))
      return false;
    Bind(wxEVT_CALENDAR_DOUBLECLICKED, [this](wxCalendarEvent&) { Dismiss(); });
    return true;
  }
  wxWindow* GetControl() override { return this; }
  void SetStringValue(const wxString& text) override {
    wxDateTime day;
    wxString::const_iterator end;
    if (day.ParseFormat(text, kTimestampFormat, &end)) SetDate(day);
  }
  wxString GetStringValue() const override {
    wxString time = "00:00";
    const wxString text = GetComboCtrl()->GetValue();
    if (text.Find(' ') != wxNOT_FOUND) time = text.AfterFirst(' ');
    return GetDate().Format("%Y/%m/%d") + " " + time;
  }
  wxSize GetAdjustedSize(int minWidth, int, int) override {
    const wxSize best = GetBestSize();
    return wxSize(std::max(best.x, minWidth), best.y);
  }
};

// The stored value counts seconds in local time; the box shows it as the
// broken-down time it names, to the minute.
void PreferencesDialog::timestampRow(wxWindow* page, int row, const char* labelKey, const char* name) {
  int32_t& value = boundInteger(name);
  label(page, row, pref(labelKey));
  std::time_t stored = value;
  std::tm parts{};
  gmtime_r(&stored, &parts);
  char shown[32];
  std::strftime(shown, sizeof shown, kTimestampFormat, &parts);
  auto* box = new wxComboCtrl(page, wxID_ANY, shown, wxPoint(kControlX, rowY(row)), wxSize(kControlWidth, -1), 0,
                              wxDefaultValidator, name);
  box->SetPopupControl(new CalendarPopup);
  const int32_t seconds = static_cast<int32_t>(parts.tm_sec);
  readers_.push_back([box, seconds, &value] {
    wxDateTime chosen;
    wxString::const_iterator end;
    const wxString text = box->GetValue().Strip(wxString::both);
    // A text that is not a date and time leaves the stored value.
    if (!chosen.ParseFormat(text, kTimestampFormat, &end) || end != text.end()) return;
    std::tm broken{};
    broken.tm_year = chosen.GetYear() - 1900;
    broken.tm_mon = chosen.GetMonth();
    broken.tm_mday = chosen.GetDay();
    broken.tm_hour = chosen.GetHour();
    broken.tm_min = chosen.GetMinute();
    // The box shows minutes; keep the stored seconds.
    broken.tm_sec = seconds;
    value = static_cast<int32_t>(timegm(&broken));
  });
}

void PreferencesDialog::buildGeneral() {
  wxWindow* page = addPage("General", 3);
  wxArrayString languages;
  languages.Add("English");
  textChoiceRow(page, 0, "Language", languages, {"en"}, "language");
  choiceRow(page, 1, "Check for Updates",
            prefItems({"Every day", "Every week", "Every month", "Every 3 months", "Every 6 months", "Never"}),
            "updateRange");
  checkRow(page, 2, "Save window position", "saveWindowPosition");
}

void PreferencesDialog::buildInterface() {
  wxWindow* page = addPage("Interface", 2);
  wxArrayString names;
  std::vector<std::string> ids;
  for (const ThemeInfo& theme : themeList()) {
    names.Add(wxString::FromUTF8(theme.name.empty() ? theme.id : theme.name));
    ids.push_back(theme.id);
  }
  if (std::find(ids.begin(), ids.end(), settings.uiTheme) == ids.end()) {
    names.Add(wxString::FromUTF8(settings.uiTheme));
    ids.push_back(settings.uiTheme);
  }
  themeChoice_ = textChoiceRow(page, 0, "UI Theme", names, ids, "uiTheme");
  sizeChoice_ = choiceRow(page, 1, "UI Size", prefItems({"Small", "Medium", "Large", "Extra Large", "Huge"}), "uiSize");
}

void PreferencesDialog::buildInput() {
  wxWindow* page = addPage("Input", 7);
  const wxArrayString names = formatNames(job.inputFormats, findInputFormat);
  wxChoice* choice = textChoiceRow(page, 0, "Input Format", names, job.inputFormats, "inputFormat");
  // What transparent areas are laid onto holds for every input format.
  colourRow(page, 1, "Background Color", "backgroundColor");
  for (const std::string& format : job.inputFormats) {
    int rows = format == "raw" ? 5 : 1;
    wxScrolledWindow* area = subPage(page, 2, rows, ("input_" + format).c_str());
    buildInputFormat(area, format);
    inputSubPages_.push_back({area, format});
  }
  followFormatChoice(choice, inputSubPages_, job.inputFormats);
}

void PreferencesDialog::buildInputFormat(wxWindow* page, const std::string& format) {
  const auto frames = prefItems({"All Frames", "First Frame", "Middle Frame", "Last Frame", "Random Frame"});
  if (format == "dds") {
    choiceRow(page, 0, "Load As", prefItems({"Auto", "BGRA", "RGBA"}), "ddsLoadAs");
  } else if (format == "gif") {
    choiceRow(page, 0, "Frame Loading", frames, "gifFrameLoading");
  } else if (format == "ico") {
    choiceRow(page, 0, "Frame Loading",
              prefItems({"All Frames", "First Frame", "Middle Frame", "Last Frame", "Random Frame", "Largest Frame",
                         "Best Frame"}),
              "icoFrameLoading");
  } else if (format == "tiff") {
    choiceRow(page, 0, "Frame Loading", frames, "tiffFrameLoading");
  } else if (format == "psd") {
    choiceRow(page, 0, "Color Mode", prefItems({"RGB", "CMYK", "LAB"}), "psdColorMode");
  } else if (format == "raw") {
    choiceRow(page, 0, "Load As", prefItems({"Auto", "RGB8", "RGB16", "RGB24", "RGB48HS", "RGB48"}), "rawLoadAs");
    numberRow(page, 1, "Header Size", "rawHeaderSize", "Bytes");
    numberRow(page, 2, "Image Width", "rawImageWidth", "Pixels");
    numberRow(page, 3, "Image Height", "rawImageHeight", "Pixels");
    choiceRow(page, 4, "Tone Mapping",
              prefItems({"None", "Linear", "Adaptive Logarithmic", "DR Reduction", "Gradient Domain"}),
              "rawToneMapping");
  }
}

void PreferencesDialog::buildOutput() {
  wxWindow* page = addPage("Output", 6);
  const wxArrayString names = formatNames(job.outputFormats, findOutputFormat);
  wxChoice* choice = textChoiceRow(page, 0, "Output Format", names, job.outputFormats, "outputFormat");
  for (const std::string& format : job.outputFormats) {
    wxScrolledWindow* area = subPage(page, 1, 4, ("output_" + format).c_str());
    buildOutputFormat(area, format);
    outputSubPages_.push_back({area, format});
  }
  followFormatChoice(choice, outputSubPages_, job.outputFormats);
}

void PreferencesDialog::buildOutputFormat(wxWindow* page, const std::string& format) {
  // "Auto" (0) followed by the format's depths; the position stands for the depth.
  wxArrayString depthItems;
  depthItems.Add(pref("Auto"));
  std::vector<int> depthCodes{0};
  for (int depth : depthsOf(format)) {
    depthItems.Add(wxString::Format("%d", depth));
    depthCodes.push_back(depth);
  }
  const std::string depthName = format + "Bpp";
  choiceRow(page, 0, "Bits Per Pixel", depthItems, depthName.c_str(), depthCodes);
  if (format == "bmp") {
    choiceRow(page, 1, "Compression", prefItems({"None", "RLE"}), "bmpCompression");
    choiceRow(page, 2, "Color Table", prefItems({"Auto", "Exact"}), "bmpColorTable");
  } else if (format == "tga") {
    choiceRow(page, 1, "Compression", prefItems({"None", "RLE"}), "tgaCompression");
  } else if (format == "exr") {
    choiceRow(page, 1, "Compression", prefItems({"None", "ZIP", "PIZ", "PXR24", "B44"}), "exrCompression");
  } else if (format == "png") {
    choiceRow(page, 1, "Compression", prefItems({"None", "ZLIB1", "ZLIB6", "ZLIB9"}), "pngCompression");
    checkRow(page, 2, "Interlaced", "pngInterlaced");
  } else if (format == "tiff") {
    choiceRow(page, 1, "Compression",
              prefItems({"None", "CCITTFAX3", "CCITTFAX4", "PACKBITS", "DEFLATE", "ADOBEDEFLATE", "LZW", "JPEG",
                         "LOGLUV"}),
              "tiffCompression");
    choiceRow(page, 2, "Color Mode", prefItems({"RGB", "CMYK"}), "tiffColorMode");
  } else if (format == "jpg") {
    sliderRow(page, 1, "Image Quality", "jpgQuality");
    choiceRow(page, 2, "Chroma Subsampling", prefItems({"None", "Low", "Medium", "High"}), "jpgChroma");
    choiceRow(page, 3, "Save As",
              prefItems({"Baseline Standard", "Baseline Simple", "Baseline Optimized", "Progressive"}), "jpgSaveAs");
  } else if (format == "webp") {
    sliderRow(page, 1, "Image Quality", "webpQuality");
  }
}

void PreferencesDialog::showFormatSubPage(const std::vector<FormatSubPage>& pages, const std::string& format) {
  for (const FormatSubPage& sub : pages) sub.panel->Show(sub.format == format);
}

void PreferencesDialog::followFormatChoice(wxChoice* choice, const std::vector<FormatSubPage>& pages,
                                           const std::vector<std::string>& formats) {
  auto show = [this, choice, &pages, &formats] {
    const int selection = choice->GetSelection();
    showFormatSubPage(pages, selection >= 0 ? formats[static_cast<size_t>(selection)] : "");
  };
  choice->Bind(wxEVT_CHOICE, [show](wxCommandEvent&) { show(); });
  show();
}

void PreferencesDialog::buildTransform() {
  wxWindow* page = addPage("Transform", 12);
  checkRow(page, 0, "Image Rotation", "doRotation");
  choiceRow(page, 1, "Rotation Type", prefItems({"Simple Rotation", "Advanced Rotation"}), "rotationType");
  sliderRow(page, 2, "Rotation Angle", "rotation");
  colourRow(page, 3, "Background Color", "rotationBackColor");
  checkRow(page, 4, "Image Resize", "doResize");
  numberUnitRow(page, 5, "Image Width", "width", "widthUnit");
  numberUnitRow(page, 6, "Image Height", "height", "heightUnit");
  checkRow(page, 7, "Keep Aspect Ratio", "keepAspectRatio");
  choiceRow(page, 8, "Resize Type", prefItems({"All Images", "Large Images"}), "resizeType");
  choiceRow(page, 9, "Resize Algorithm",
            prefItems({"Box", "Bilinear", "Bspline", "Bicubic", "Catmullrom", "Lanczos"}), "resizeAlgorithm");
  checkRow(page, 10, "Image Flip Horizontal", "flipHorizontal");
  checkRow(page, 11, "Image Flip Vertical", "flipVertical");
}

void PreferencesDialog::buildAdjustment() {
  wxWindow* page = addPage("Adjustment", 9);
  sliderRow(page, 0, "Image Brightness", "brightness");
  sliderRow(page, 1, "Image Contrast", "contrast");
  sliderRow(page, 2, "Image Gamma", "gamma");
  checkRow(page, 3, "Image Invert", "invert");
  checkRow(page, 4, "Image Greyscale", "doGreyscale");
  checkRow(page, 5, "Image Threshold", "doThreshold");
  sliderRow(page, 6, "Threshold Level", "threshold");
  checkRow(page, 7, "Image Dither", "doDither");
  choiceRow(page, 8, "Dither Algorithm",
            prefItems({"FS", "Bayer4", "Bayer8", "Bayer16", "Cluster6", "Cluster8", "Cluster16"}), "ditherAlgorithm");
}

void PreferencesDialog::buildFrame() {
  wxWindow* page = addPage("Frame", 10);
  choiceRow(page, 0, "Frame Type", prefItems({"None", "Frame Solid"}), "frameType");
  numberRow(page, 1, "Left", "solidLeft", "Pixels");
  numberRow(page, 2, "Right", "solidRight", "Pixels");
  numberRow(page, 3, "Top", "solidTop", "Pixels");
  numberRow(page, 4, "Bottom", "solidBottom", "Pixels");
  colourRow(page, 5, "Left Color", "solidLeftColor");
  colourRow(page, 6, "Right Color", "solidRightColor");
  colourRow(page, 7, "Top Color", "solidTopColor");
  colourRow(page, 8, "Bottom Color", "solidBottomColor");
  // Opacity 0 is a valid setting of the console run; the slider keeps it reachable.
  sliderRow(page, 9, "Opacity", "solidOpacity");
}

void PreferencesDialog::buildWatermark() {
  wxWindow* page = addPage("Watermark", 1);
  wxChoice* type = choiceRow(page, 0, "Watermark Type", prefItems({"None", "Watermark Text", "Watermark Image"}),
                             "watermarkType");
  auto* text = subPage(page, 1, 20, "watermarkTextPage");
  buildWatermarkText(text);
  watermarkTextPage_ = text;
  auto* image = subPage(page, 1, 10, "watermarkImagePage");
  buildWatermarkImage(image);
  watermarkImagePage_ = image;
  type->Bind(wxEVT_CHOICE, [this, type](wxCommandEvent&) { showWatermarkSubPage(type->GetSelection()); });
  showWatermarkSubPage(type->GetSelection());
}

void PreferencesDialog::showWatermarkSubPage(int type) {
  watermarkTextPage_->Show(type == 1);
  watermarkImagePage_->Show(type == 2);
}

const wxArrayString& positionItems() {
  static const wxArrayString items = prefItems({"Top-Left", "Top-Center", "Top-Right", "Middle-Left", "Middle-Center",
                                                "Middle-Right", "Bottom-Left", "Bottom-Center", "Bottom-Right"});
  return items;
}

void PreferencesDialog::buildWatermarkText(wxWindow* page) {
  textRow(page, 0, "Text", "wmText");
  fontRow(page, 1, "wmFont");
  numberRow(page, 2, "Font Size", "wmFontSize", "Points");
  numberRow(page, 3, "Font Leading", "wmFontLeading", "Pixels");
  colourRow(page, 4, "Font Color", "wmFontColor", settings.wmFontColors);
  choiceRow(page, 5, "Font Style", prefItems({"Regular", "Bold", "Italic", "Bold Italic"}), "wmFontStyle");
  choiceRow(page, 6, "Font Effect", prefItems({"None", "Underline", "Strikeout"}), "wmFontEffect");
  checkRow(page, 7, "Antialiasing", "wmTextAntialiasing");
  choiceRow(page, 8, "Text Alignment", prefItems({"Align Left", "Align Center", "Align Right"}), "wmTextAlignment");
  numberRow(page, 9, "Text Padding", "wmTextPadding", "Pixels");
  sliderRow(page, 10, "Text Opacity", "wmTextOpacity");
  colourRow(page, 11, "Background Color", "wmBackColor", settings.wmBackColors);
  sliderRow(page, 12, "Background Opacity", "wmBackOpacity");
  choiceRow(page, 13, "Boundary", prefItems({"Bound Image", "Bound Frame"}), "wmTextBoundary");
  choiceRow(page, 14, "Position", positionItems(), "wmTextPosition");
  numberRow(page, 15, "X-Offset", "wmTextXOffset", "Pixels");
  numberRow(page, 16, "Y-Offset", "wmTextYOffset", "Pixels");
  sliderRow(page, 17, "Rotation Angle", "wmTextRotation");
  choiceRow(page, 18, "Size", prefItems({"Fixed"}), "wmTextSize");
  sliderRow(page, 19, "Scale", "wmTextScale");
}

void PreferencesDialog::buildWatermarkImage(wxWindow* page) {
  pictureRow(page, 0, "Image", "wmImage");
  checkRow(page, 1, "Image Greyscale", "wmImageGreyscale");
  sliderRow(page, 2, "Opacity", "wmImageOpacity");
  choiceRow(page, 3, "Boundary", prefItems({"Bound Image", "Bound Frame"}), "wmImageBoundary");
  choiceRow(page, 4, "Position", positionItems(), "wmImagePosition");
  numberRow(page, 5, "X-Offset", "wmImageXOffset", "Pixels");
  numberRow(page, 6, "Y-Offset", "wmImageYOffset", "Pixels");
  sliderRow(page, 7, "Rotation Angle", "wmImageRotation");
  choiceRow(page, 8, "Size", prefItems({"Fixed"}), "wmImageSize");
  sliderRow(page, 9, "Scale", "wmImageScale");
}

void PreferencesDialog::buildAdvanced() {
  wxWindow* page = addPage("Advanced", 9);
  textRow(page, 0, "Filename Mask", "filenameMask");
  choiceRow(page, 1, "File Timestamp", prefItems({"Current", "Original", "Custom"}), "fileTimestamp");
  timestampRow(page, 2, "Custom Timestamp", "customTimestamp");
  choiceRow(page, 3, "Out Folders History", prefItems({"Clean On Exit", "Keep Folders"}), "outFoldersHistory");
  sliderRow(page, 4, "Out Folders Number", "outFoldersNumber");
  checkRow(page, 5, "Keep Subfolders", "keepSubfolders");
  sliderRow(page, 6, "Threads", "threads");
  checkRow(page, 7, "Dry Run", "dryRun");
  textRow(page, 8, "Report File", "reportFile");
}

void PreferencesDialog::onOk(wxCommandEvent&) {
  const std::string theme = settings.uiTheme;
  const int32_t size = settings.uiSize;
  for (const auto& read : readers_) read();
  // Colour correction is on while any setting whose option switches it on
  // is away from its default.
  settings.doColorCorrection = 0;
  for (const SettingRow& declared : settingTable())
    if (declared.option.switchField == &Settings::doColorCorrection && !atDefault(declared, settings))
      settings.doColorCorrection = 1;
  outcome.accepted = true;
  outcome.themeChanged = settings.uiTheme != theme;
  outcome.iconSizeChanged = settings.uiSize != size;
  SavePreferences();
  EndModal(wxID_OK);
}

void PreferencesDialog::onDefaults(wxCommandEvent&) {
  if (showMessage(this, wxString::FromUTF8(message("Msg", "Ask reset to defaults")),
                  wxString::FromUTF8(message("Msg", "Reset to Defaults")), wxYES_NO | wxICON_QUESTION) != wxYES)
    return;
  // The window's geometry, the recent lists and the date of the last update
  // check are records of the run, not choices of this dialog: they stay.
  const Settings kept = settings;
  resetSettings(false);
  settings.updateDate = kept.updateDate;
  settings.saveWindowPosition = kept.saveWindowPosition;
  settings.isMaximized = kept.isMaximized;
  settings.windowX = kept.windowX;
  settings.windowY = kept.windowY;
  settings.windowWidth = kept.windowWidth;
  settings.windowHeight = kept.windowHeight;
  settings.recentOutFolders = kept.recentOutFolders;
  settings.recentFiles = kept.recentFiles;
  settings.cleanRecentFiles = kept.cleanRecentFiles;
  // Compared with what the main window shows, not with the dialog's
  // unconfirmed choices, so the window is never left with stale images.
  outcome.accepted = true;
  outcome.themeChanged = settings.uiTheme != kept.uiTheme;
  outcome.iconSizeChanged = settings.uiSize != kept.uiSize;
  SavePreferences();
  EndModal(wxID_OK);
}

}  // namespace

void setColourChooserHook(std::function<std::string(const std::string&)> hook) { colourHook = std::move(hook); }

void setFontChooserHook(std::function<std::pair<std::string, int>(const std::string&, int)> hook) {
  fontHook = std::move(hook);
}

std::string watermarkImageFilter() {
  const std::string all = message("Dialog", "All Supported Files");
  const std::string anyFile = message("Dialog", "All Files");
  return all + "|*.png;*.bmp;*.rle;*.dib;*.jpg;*.jpeg;*.jpe;*.jif" +
         "|Portable Network Graphics (*.png)|*.png" +
         "|Windows or OS/2 Bitmap (*.bmp;*.rle;*.dib)|*.bmp;*.rle;*.dib" +
         "|JPEG File (*.jpg;*.jpeg;*.jpe;*.jif)|*.jpg;*.jpeg;*.jpe;*.jif" + "|" + anyFile + " (*.*)|*.*";
}

PreferencesOutcome ShowPreferencesDialog(wxWindow* parent, int page) {
  PreferencesDialog dialog(parent, page);
  dialog.ShowModal();
  PreferencesOutcome outcome = dialog.outcome;
  if (parent) parent->SetFocus();
  return outcome;
}

}  // namespace trovabild
