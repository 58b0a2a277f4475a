#include "desktop/preferences_dialog.h"

#include <gtest/gtest.h>
#include <wx/bmpcbox.h>
#include <wx/combo.h>
#include <wx/spinctrl.h>
#include <wx/wx.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/messages.h"
#include "cli/options.h"
#include "desktop/preferences.h"
#include "desktop/small_dialogs.h"
#include "desktop/themes.h"
#include "settings/settings.h"
#include "tests/support/temp_dir.h"

namespace trovabild {
namespace {

namespace fs = std::filesystem;

using Folder = testing::TempDir;

template <class T>
T* find(wxWindow* dialog, const std::string& name) {
  wxWindow* window = wxWindow::FindWindowByName(name, dialog);
  EXPECT_NE(window, nullptr) << "no control " << name;
  return dynamic_cast<T*>(window);
}

void click(wxWindow* button) {
  wxCommandEvent event(wxEVT_BUTTON, button->GetId());
  event.SetEventObject(button);
  button->GetEventHandler()->ProcessEvent(event);
}

void choose(wxWindow* dialog, const std::string& name, int index) {
  auto* window = wxWindow::FindWindowByName(name, dialog);
  ASSERT_NE(window, nullptr) << name;
  auto* items = dynamic_cast<wxItemContainer*>(window);
  ASSERT_NE(items, nullptr) << name;
  ASSERT_LT(index, static_cast<int>(items->GetCount())) << name;
  items->SetSelection(index);
  // Tell the dialog, as a user's choice would.
  wxCommandEvent event(dynamic_cast<wxBitmapComboBox*>(window) ? wxEVT_COMBOBOX : wxEVT_CHOICE, window->GetId());
  event.SetEventObject(window);
  event.SetInt(index);
  window->GetEventHandler()->ProcessEvent(event);
}

// Runs `script` on the dialog while ShowPreferencesDialog holds it open;
// whatever the script does, the dialog is closed afterwards so a failing
// test cannot hang.
PreferencesOutcome withDialog(int page, std::function<void(wxDialog*)> script) {
  wxFrame parent(nullptr, wxID_ANY, "main");
  parent.Show();
  wxTheApp->CallAfter([script] {
    auto* dialog = dynamic_cast<wxDialog*>(wxWindow::FindWindowByName("preferencesDialog"));
    if (!dialog) {
      ADD_FAILURE() << "the preferences dialog is not open";
      return;
    }
    script(dialog);
    if (dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
  });
  return ShowPreferencesDialog(&parent, page);
}

class PreferencesDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loadMessageTable();
    resetSettings(false);
    setPreferencesPath(folder_ / "config.ini");
    setMessageHook([this](const wxString& text, const wxString&, long) {
      questions_.push_back(text.utf8_string());
      return answer_;
    });
  }
  void TearDown() override {
    setMessageHook({});
    setPreferencesPath("");
    setThemesFolder("");
    ScanThemes();
  }

  Folder folder_;
  std::vector<std::string> questions_;
  int answer_ = wxYES;
};

TEST_F(PreferencesDialogTest, OpensAtTheRequestedPage) {
  for (int page : {kPageOutput, kPageGeneral, kPageWatermark}) {
    SCOPED_TRACE(page);
    withDialog(page, [page](wxDialog* dialog) {
      auto* list = find<wxListBox>(dialog, "pageList");
      EXPECT_EQ(list->GetSelection(), page);
      const char* keys[] = {"General", "Interface", "Input", "Output", "Transform",
                            "Adjustment", "Frame", "Watermark", "Advanced"};
      EXPECT_EQ(find<wxStaticText>(dialog, "titleBand")->GetLabel().utf8_string(), message("Preferences", keys[page]));
      EXPECT_TRUE(wxWindow::FindWindowByName(std::string("page") + keys[page], dialog)->IsShown());
      EXPECT_FALSE(wxWindow::FindWindowByName(page == 0 ? "pageOutput" : "pageGeneral", dialog)->IsShown());
    });
  }
}

// One row per control: how the test sets it, the option that sets the same
// setting on the command line ("" when the console has none), and the value
// the setting must hold afterwards.
struct ControlCase {
  const char* control;
  std::function<void(wxDialog*)> set;
  const char* option;
  std::function<std::string(const Settings&)> value;
  std::string expected;
};

template <class T>
std::function<std::string(const Settings&)> of(T Settings::*member) {
  return [member](const Settings& s) {
    if constexpr (std::is_same_v<T, std::string>) {
      return s.*member;
    } else if constexpr (std::is_same_v<T, float>) {
      return std::to_string(std::lround((s.*member) * 100));
    } else {
      return std::to_string(static_cast<int>(s.*member));
    }
  };
}

std::function<void(wxDialog*)> pick(const char* name, int index) {
  return [name, index](wxDialog* d) { choose(d, name, index); };
}
std::function<void(wxDialog*)> tick(const char* name, bool on) {
  return [name, on](wxDialog* d) { find<wxCheckBox>(d, name)->SetValue(on); };
}
std::function<void(wxDialog*)> type(const char* name, const char* text) {
  return [name, text](wxDialog* d) { find<wxTextCtrl>(d, name)->ChangeValue(wxString::FromUTF8(text)); };
}
std::function<void(wxDialog*)> spin(const char* name, int value) {
  return [name, value](wxDialog* d) { find<wxSpinCtrl>(d, std::string(name) + "Spin")->SetValue(value); };
}

std::vector<ControlCase> controlCases() {
  return {
      {"updateRange", pick("updateRange", 3), "", of(&Settings::updateRange), "3"},
      {"saveWindowPosition", tick("saveWindowPosition", false), "", of(&Settings::saveWindowPosition), "0"},
      {"language", pick("language", 0), "", of(&Settings::language), "en"},
      {"uiSize", pick("uiSize", 4), "", of(&Settings::uiSize), "4"},
      {"inputFormat", pick("inputFormat", 0), "", of(&Settings::inputFormat), "ico"},
      {"icoFrameLoading", pick("icoFrameLoading", 6), "--ico-frame-loading=best", of(&Settings::icoFrameLoading), "6"},
      {"backgroundColor", pick("backgroundColor", 0), "--background-color=00FF7F", of(&Settings::backgroundColor),
       "00FF7F"},
      {"outputFormat", pick("outputFormat", 0), "", of(&Settings::outputFormat), "jpg"},
      {"jpgBpp", pick("jpgBpp", 1), "--jpg-bpp=8", of(&Settings::jpgBpp), "8"},
      {"jpgQuality", spin("jpgQuality", 80), "--jpg-quality=80", of(&Settings::jpgQuality), "80"},
      {"jpgChroma", pick("jpgChroma", 2), "--jpg-chroma=medium", of(&Settings::jpgChroma), "2"},
      {"jpgSaveAs", pick("jpgSaveAs", 3), "--jpg-save-as=progressive", of(&Settings::jpgSaveAs), "3"},
      {"doRotation", tick("doRotation", true), "--rotation=90", of(&Settings::doRotation), "1"},
      {"rotationType", pick("rotationType", 1), "--rotation-type=advanced", of(&Settings::rotationType), "1"},
      {"rotation", spin("rotation", 90), "--rotation=90", of(&Settings::rotation), "90"},
      {"rotationBackColor", pick("rotationBackColor", 0), "--rotation-back-color=FF0000",
       of(&Settings::rotationBackColor), "FF0000"},
      {"doResize", tick("doResize", true), "--width=64", of(&Settings::doResize), "1"},
      {"width", type("width", "64"), "--width=64", of(&Settings::width), "64"},
      {"widthUnit", pick("widthUnit", 1), "--width-unit=percent", of(&Settings::widthUnit), "1"},
      {"height", type("height", "48"), "--height=48", of(&Settings::height), "48"},
      {"heightUnit", pick("heightUnit", 1), "--height-unit=percent", of(&Settings::heightUnit), "1"},
      {"keepAspectRatio", tick("keepAspectRatio", false), "", of(&Settings::keepAspectRatio), "0"},
      {"resizeType", pick("resizeType", 1), "--resize-type=largeimages", of(&Settings::resizeType), "1"},
      {"resizeAlgorithm", pick("resizeAlgorithm", 5), "--resize-algorithm=lanczos", of(&Settings::resizeAlgorithm),
       "5"},
      {"flipHorizontal", tick("flipHorizontal", true), "--flip-horizontal", of(&Settings::flipHorizontal), "1"},
      {"flipVertical", tick("flipVertical", true), "--flip-vertical", of(&Settings::flipVertical), "1"},
      {"brightness", spin("brightness", -40), "--brightness=-40", of(&Settings::brightness), "-40"},
      {"contrast", spin("contrast", 25), "--contrast=25", of(&Settings::contrast), "25"},
      {"gamma", spin("gamma", 150), "--gamma=1.5", of(&Settings::gamma), "150"},
      {"invert", tick("invert", true), "--invert", of(&Settings::invert), "1"},
      {"doGreyscale", tick("doGreyscale", true), "--greyscale", of(&Settings::doGreyscale), "1"},
      {"doThreshold", tick("doThreshold", true), "--threshold=128", of(&Settings::doThreshold), "1"},
      {"threshold", spin("threshold", 128), "--threshold=128", of(&Settings::threshold), "128"},
      {"doDither", tick("doDither", true), "--dither=bayer8", of(&Settings::doDither), "1"},
      {"ditherAlgorithm", pick("ditherAlgorithm", 2), "--dither=bayer8", of(&Settings::ditherAlgorithm), "2"},
      {"frameType", pick("frameType", 1), "--fr-solid-left=3", of(&Settings::frameType), "1"},
      {"solidLeft", type("solidLeft", "3"), "--fr-solid-left=3", of(&Settings::solidLeft), "3"},
      {"solidRight", type("solidRight", "4"), "--fr-solid-right=4", of(&Settings::solidRight), "4"},
      {"solidTop", type("solidTop", "5"), "--fr-solid-top=5", of(&Settings::solidTop), "5"},
      {"solidBottom", type("solidBottom", "6"), "--fr-solid-bottom=6", of(&Settings::solidBottom), "6"},
      {"solidOpacity", spin("solidOpacity", 128), "--fr-solid-opacity=128", of(&Settings::solidOpacity), "128"},
      {"watermarkType", pick("watermarkType", 1), "--wm-text=Hi", of(&Settings::watermarkType), "1"},
      {"wmText", type("wmText", "Hello %n%"), "--wm-text=Hello %n%", of(&Settings::wmText), "Hello %n%"},
      {"wmFont", pick("wmFont", 1), "--wm-font=Courier New", of(&Settings::wmFont), "Courier New"},
      {"wmFontSize", type("wmFontSize", "20"), "--wm-font-size=20", of(&Settings::wmFontSize), "20"},
      {"wmFontLeading", type("wmFontLeading", "2"), "--wm-font-leading=2", of(&Settings::wmFontLeading), "2"},
      {"wmFontColor", pick("wmFontColor", 2), "--wm-font-color=FF0000", of(&Settings::wmFontColor), "FF0000"},
      {"wmFontStyle", pick("wmFontStyle", 3), "--wm-font-style=bolditalic", of(&Settings::wmFontStyle), "3"},
      {"wmFontEffect", pick("wmFontEffect", 2), "--wm-font-effect=strikethrought", of(&Settings::wmFontEffect), "2"},
      {"wmTextAntialiasing", tick("wmTextAntialiasing", true), "--wm-text-antialiasing",
       of(&Settings::wmTextAntialiasing), "1"},
      {"wmTextAlignment", pick("wmTextAlignment", 1), "--wm-text-alignment=center", of(&Settings::wmTextAlignment),
       "1"},
      {"wmTextPadding", type("wmTextPadding", "7"), "--wm-text-padding=7", of(&Settings::wmTextPadding), "7"},
      {"wmTextOpacity", spin("wmTextOpacity", 200), "--wm-text-opacity=200", of(&Settings::wmTextOpacity), "200"},
      {"wmBackColor", pick("wmBackColor", 5), "--wm-back-color=008000", of(&Settings::wmBackColor), "008000"},
      {"wmBackOpacity", spin("wmBackOpacity", 0), "--wm-back-opacity=0", of(&Settings::wmBackOpacity), "0"},
      {"wmTextBoundary", pick("wmTextBoundary", 1), "--wm-text-boundary=frame", of(&Settings::wmTextBoundary), "1"},
      {"wmTextPosition", pick("wmTextPosition", 4), "--wm-text-position=middlecenter",
       of(&Settings::wmTextPosition), "4"},
      {"wmTextXOffset", type("wmTextXOffset", "-5"), "--wm-text-x-offset=-5", of(&Settings::wmTextXOffset), "-5"},
      {"wmTextYOffset", type("wmTextYOffset", "15"), "--wm-text-y-offset=15", of(&Settings::wmTextYOffset), "15"},
      {"wmTextRotation", spin("wmTextRotation", 45), "--wm-text-rotation=45", of(&Settings::wmTextRotation), "45"},
      {"wmTextSize", pick("wmTextSize", 0), "--wm-text-size=fixed", of(&Settings::wmTextSize), "0"},
      {"wmTextScale", spin("wmTextScale", 50), "", of(&Settings::wmTextScale), "50"},
      {"wmImage", type("wmImage", "/tmp/logo.png"), "--wm-image=/tmp/logo.png", of(&Settings::wmImage),
       "/tmp/logo.png"},
      {"wmImageGreyscale", tick("wmImageGreyscale", true), "--wm-image-greyscale", of(&Settings::wmImageGreyscale),
       "1"},
      {"wmImageOpacity", spin("wmImageOpacity", 99), "--wm-image-opacity=99", of(&Settings::wmImageOpacity), "99"},
      {"wmImageBoundary", pick("wmImageBoundary", 1), "--wm-image-boundary=frame", of(&Settings::wmImageBoundary),
       "1"},
      {"wmImagePosition", pick("wmImagePosition", 2), "--wm-image-position=topright",
       of(&Settings::wmImagePosition), "2"},
      {"wmImageXOffset", type("wmImageXOffset", "11"), "--wm-image-x-offset=11", of(&Settings::wmImageXOffset),
       "11"},
      {"wmImageYOffset", type("wmImageYOffset", "12"), "--wm-image-y-offset=12", of(&Settings::wmImageYOffset),
       "12"},
      {"wmImageRotation", spin("wmImageRotation", 30), "--wm-image-rotation=30", of(&Settings::wmImageRotation),
       "30"},
      {"wmImageSize", pick("wmImageSize", 0), "--wm-image-size=fixed", of(&Settings::wmImageSize), "0"},
      {"wmImageScale", spin("wmImageScale", 20), "", of(&Settings::wmImageScale), "20"},
      {"filenameMask", type("filenameMask", "%filename%_s.%ext%"), "--filename-mask=%filename%_s.%ext%",
       of(&Settings::filenameMask), "%filename%_s.%ext%"},
      {"fileTimestamp", pick("fileTimestamp", 2), "--file-timestamp=custom", of(&Settings::fileTimestamp), "2"},
      {"customTimestamp",
       [](wxDialog* d) {
         // Shown as "%yyyy/%mm/%dd %hh:%ii" (1599999969 is 2020-09-13 12:26:09).
         auto* box = find<wxComboCtrl>(d, "customTimestamp");
         EXPECT_EQ(box->GetValue(), "2020/09/13 12:26");
         box->SetValue("2024/05/06 07:08");
       },
       // 2024-05-06 07:08:09 counted in local time; the stored seconds (9) stay.
       "--file-timestamp-custom=1714979289", of(&Settings::customTimestamp), "1714979289"},
      {"outFoldersHistory", pick("outFoldersHistory", 0), "", of(&Settings::outFoldersHistory), "0"},
      {"outFoldersNumber", spin("outFoldersNumber", 12), "", of(&Settings::outFoldersNumber), "12"},
      {"keepSubfolders", tick("keepSubfolders", false), "--no-subfolders", of(&Settings::keepSubfolders), "0"},
      {"threads", spin("threads", 4), "--threads=4", of(&Settings::threads), "4"},
      {"dryRun", tick("dryRun", true), "--dry-run", of(&Settings::dryRun), "1"},
      {"reportFile", type("reportFile", "/tmp/run report.json"), "--report=/tmp/run report.json",
       of(&Settings::reportFile), "/tmp/run report.json"},
  };
}

TEST_F(PreferencesDialogTest, ReadsEveryControlBackIntoTheSettings) {
  const auto cases = controlCases();
  settings.customTimestamp = 1599999969;  // 9 seconds past the minute
  // Rows with a single choice can only be seen to work from another value.
  settings.language = "de";
  settings.inputFormat = "gif";
  settings.outputFormat = "png";
  settings.rotationBackColor = "ff0000";
  settings.backgroundColor = "00ff7f";
  settings.wmTextSize = 3;
  settings.wmImageSize = 3;
  settings.wmFonts = "Arial,Tahoma,Courier New";  // Tahoma is not offered here
  const Settings before = settings;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control);
    EXPECT_NE(c.value(before), c.expected) << "the case must change the setting";
  }
  PreferencesOutcome outcome = withDialog(kPageGeneral, [&](wxDialog* dialog) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.control);
      c.set(dialog);
    }
    click(wxWindow::FindWindowById(wxID_OK, dialog));
  });
  EXPECT_TRUE(outcome.accepted);
  const Settings fromDialog = settings;

  for (const auto& c : cases) {
    SCOPED_TRACE(c.control);
    EXPECT_EQ(c.value(fromDialog), c.expected);
    if (*c.option == '\0') continue;
    resetSettings(true);
    RunFlags flags;
    ASSERT_EQ(parseOptions({c.option}, flags), "");
    EXPECT_EQ(c.value(settings), c.value(fromDialog)) << "the console option " << c.option << " differs";
  }
  EXPECT_TRUE(fs::exists(folder_ / "config.ini")) << "OK saves at once";
}

TEST_F(PreferencesDialogTest, SetsColourCorrectionFromTheAdjustments) {
  struct Case {
    const char* control;
    int value;  // spin value, or 1 to tick the invert box
    int8_t expected;
  };
  const Case cases[] = {
      {"none", 0, 0},         {"brightnessSpin", 1, 1}, {"brightnessSpin", -100, 1}, {"contrastSpin", -1, 1},
      {"gammaSpin", 100, 0},  {"gammaSpin", 101, 1},    {"gammaSpin", 99, 1},        {"invert", 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " " + std::to_string(c.value));
    resetSettings(false);
    settings.doColorCorrection = 1 - c.expected;
    withDialog(kPageAdjustment, [&](wxDialog* dialog) {
      if (std::string(c.control) == "invert") {
        find<wxCheckBox>(dialog, "invert")->SetValue(true);
      } else if (std::string(c.control) != "none") {
        find<wxSpinCtrl>(dialog, c.control)->SetValue(c.value);
      }
      click(wxWindow::FindWindowById(wxID_OK, dialog));
    });
    EXPECT_EQ(settings.doColorCorrection, c.expected);
  }
}

TEST_F(PreferencesDialogTest, SliderAndSpinBoxMirrorEachOther) {
  withDialog(kPageAdjustment, [](wxDialog* dialog) {
    auto* slider = find<wxSlider>(dialog, "brightness");
    auto* box = find<wxSpinCtrl>(dialog, "brightnessSpin");
    EXPECT_EQ(slider->GetMin(), 0);
    EXPECT_EQ(slider->GetMax(), 200);
    EXPECT_EQ(slider->GetValue(), 100);
    slider->SetValue(30);
    wxCommandEvent moved(wxEVT_SLIDER, slider->GetId());
    moved.SetEventObject(slider);
    slider->GetEventHandler()->ProcessEvent(moved);
    EXPECT_EQ(box->GetValue(), -70);

    auto* gammaBox = find<wxSpinCtrl>(dialog, "gammaSpin");
    gammaBox->SetValue(250);
    wxSpinEvent spun(wxEVT_SPINCTRL, gammaBox->GetId());
    spun.SetEventObject(gammaBox);
    gammaBox->GetEventHandler()->ProcessEvent(spun);
    EXPECT_EQ(find<wxSlider>(dialog, "gamma")->GetValue(), 250);
    click(wxWindow::FindWindowById(wxID_OK, dialog));
  });
  EXPECT_EQ(settings.brightness, -70);
  EXPECT_FLOAT_EQ(settings.gamma, 2.5f);
  EXPECT_EQ(settings.doColorCorrection, 1);
}

TEST_F(PreferencesDialogTest, CancelEscapeAndCloseChangeNothing) {
  const std::vector<std::function<void(wxDialog*)>> closers = {
      [](wxDialog* d) { click(wxWindow::FindWindowById(wxID_CANCEL, d)); },
      [](wxDialog* d) { d->Close(); },
      [](wxDialog* d) {
        wxKeyEvent escape(wxEVT_CHAR_HOOK);
        escape.m_keyCode = WXK_ESCAPE;
        escape.SetEventObject(d);
        d->GetEventHandler()->ProcessEvent(escape);
      },
  };
  for (size_t i = 0; i < closers.size(); ++i) {
    SCOPED_TRACE(i);
    resetSettings(false);
    PreferencesOutcome outcome = withDialog(kPageOutput, [&](wxDialog* dialog) {
      find<wxSpinCtrl>(dialog, "jpgQualitySpin")->SetValue(10);
      choose(dialog, "uiSize", 0);
      closers[i](dialog);
      EXPECT_FALSE(dialog->IsModal()) << "the dialog stays open";
    });
    EXPECT_FALSE(outcome.accepted);
    EXPECT_FALSE(outcome.iconSizeChanged);
    EXPECT_EQ(settings.jpgQuality, 95);
    EXPECT_EQ(settings.uiSize, 2);
    EXPECT_FALSE(fs::exists(folder_ / "config.ini"));
  }
}

TEST_F(PreferencesDialogTest, KeepsStoredValuesTheControlsCannotShow) {
  settings.tiffColorMode = 2;
  settings.jpgBpp = 16;       // not a JPEG depth
  settings.wmFontColor = "123ABC";  // not in the pick list
  settings.wmFont = "DejaVu Sans";  // not in the font list
  withDialog(kPageGeneral, [](wxDialog* dialog) {
    auto* colours = find<wxBitmapComboBox>(dialog, "wmFontColor");
    EXPECT_EQ(colours->GetStringSelection().utf8_string(), message("Preferences", "Color") + " #123ABC");
    EXPECT_EQ(find<wxChoice>(dialog, "wmFont")->GetStringSelection(), "DejaVu Sans");
    EXPECT_EQ(find<wxChoice>(dialog, "jpgBpp")->GetSelection(), wxNOT_FOUND);
    click(wxWindow::FindWindowById(wxID_OK, dialog));
  });
  EXPECT_EQ(settings.jpgBpp, 16);
  EXPECT_EQ(settings.wmFontColor, "123ABC");
  EXPECT_EQ(settings.wmFont, "DejaVu Sans");
  EXPECT_EQ(settings.wmFontColors, "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF")
      << "the pick lists are never changed";
}

// The font drop-down offers only the fonts a conversion accepts (Debian has
// no Tahoma or Verdana, nor an alias for them); a stored font the check
// refuses is not offered, one it accepts stays chosen.
TEST_F(PreferencesDialogTest, OffersOnlyFontsTheFontCheckAccepts) {
  struct Case {
    const char* stored;
    std::vector<std::string> offered;
    const char* selected;
  };
  const Case cases[] = {
      {"Arial", {"Arial"}, "Arial"},
      {"Tahoma", {"Arial"}, "Arial"},
      {"Liberation Serif", {"Arial", "Liberation Serif"}, "Liberation Serif"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    settings.wmFonts = "Arial,Tahoma,Verdana";
    settings.wmFont = c.stored;
    withDialog(kPageWatermark, [&](wxDialog* dialog) {
      auto* fonts = find<wxChoice>(dialog, "wmFont");
      std::vector<std::string> offered;
      for (unsigned i = 0; i < fonts->GetCount(); ++i) offered.push_back(fonts->GetString(i).utf8_string());
      EXPECT_EQ(offered, c.offered);
      EXPECT_EQ(fonts->GetStringSelection().utf8_string(), c.selected);
      click(wxWindow::FindWindowById(wxID_CANCEL, dialog));
    });
    EXPECT_EQ(settings.wmFonts, "Arial,Tahoma,Verdana");
  }
}

TEST_F(PreferencesDialogTest, NamesColoursAndShowsTheirSwatches) {
  settings.wmBackColors = "000000,c0c0c0,804000,8000FF,FF8001";
  settings.wmBackColor = "FF8001";
  withDialog(kPageWatermark, [](wxDialog* dialog) {
    auto* box = find<wxBitmapComboBox>(dialog, "wmBackColor");
    ASSERT_EQ(box->GetCount(), 5u);
    const std::vector<std::string> names = {"Black", "Silver", "Brown", "Violet"};
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(box->GetString(i).utf8_string(), message("Preferences", names[i]));
    EXPECT_EQ(box->GetString(4).utf8_string(), message("Preferences", "Color") + " #FF8001");
    EXPECT_EQ(box->GetSelection(), 4);
    wxBitmap swatch = box->GetItemBitmap(2);
    ASSERT_TRUE(swatch.IsOk());
    EXPECT_EQ(swatch.GetWidth(), 16);
    wxImage image = swatch.ConvertToImage();
    EXPECT_EQ(wxColour(image.GetRed(8, 8), image.GetGreen(8, 8), image.GetBlue(8, 8)), wxColour(0x80, 0x40, 0x00));
  });
}

TEST_F(PreferencesDialogTest, ShowsTheSubPageOfTheChosenWatermarkType) {
  withDialog(kPageWatermark, [](wxDialog* dialog) {
    auto* text = wxWindow::FindWindowByName("watermarkTextPage", dialog);
    auto* image = wxWindow::FindWindowByName("watermarkImagePage", dialog);
    EXPECT_FALSE(text->IsShown());
    EXPECT_FALSE(image->IsShown());
    choose(dialog, "watermarkType", 1);
    EXPECT_TRUE(text->IsShown());
    EXPECT_FALSE(image->IsShown());
    choose(dialog, "watermarkType", 2);
    EXPECT_FALSE(text->IsShown());
    EXPECT_TRUE(image->IsShown());
    // Taller than the page: they scroll.
    EXPECT_GT(static_cast<wxScrolledWindow*>(text)->GetVirtualSize().y, text->GetSize().y);
    EXPECT_TRUE(wxWindow::FindWindowByName("output_jpg", dialog)->IsShown());
    EXPECT_TRUE(wxWindow::FindWindowByName("input_ico", dialog)->IsShown());
  });
}

TEST_F(PreferencesDialogTest, ColourAndFontChoosersAddOrSelect) {
  std::vector<std::string> asked;
  setColourChooserHook([&asked](const std::string& current) {
    asked.push_back(current);
    return std::vector<std::string>{"ff0000", "123456", "", "123456"}[asked.size() - 1];
  });
  setFontChooserHook([](const std::string& face, int size) {
    // Arial is an alias; the chooser lists the family that serves it.
    EXPECT_EQ(face, "Liberation Sans");
    EXPECT_EQ(size, 14);
    return std::pair<std::string, int>{"DejaVu Serif", 22};
  });
  withDialog(kPageWatermark, [](wxDialog* dialog) {
    auto* colours = find<wxBitmapComboBox>(dialog, "wmFontColor");
    auto* pick = wxWindow::FindWindowByName("wmFontColorPick", dialog);
    const unsigned listed = colours->GetCount();
    click(pick);  // red is listed: selected, not added
    EXPECT_EQ(colours->GetCount(), listed);
    EXPECT_EQ(colours->GetStringSelection().utf8_string(), message("Preferences", "Red"));
    click(pick);  // a new colour: added with its name and selected
    EXPECT_EQ(colours->GetCount(), listed + 1);
    EXPECT_EQ(colours->GetStringSelection().utf8_string(), message("Preferences", "Color") + " #123456");
    click(pick);  // cancelled: nothing changes
    click(pick);  // the same new colour again: selected, not added twice
    EXPECT_EQ(colours->GetCount(), listed + 1);

    click(wxWindow::FindWindowByName("wmFontPick", dialog));
    EXPECT_EQ(find<wxChoice>(dialog, "wmFont")->GetStringSelection(), "DejaVu Serif");
    EXPECT_EQ(find<wxTextCtrl>(dialog, "wmFontSize")->GetValue(), "22");
    click(wxWindow::FindWindowById(wxID_OK, dialog));
  });
  setColourChooserHook({});
  setFontChooserHook({});
  EXPECT_EQ(asked, (std::vector<std::string>{"FFFFFF", "FF0000", "123456", "123456"}));
  EXPECT_EQ(settings.wmFontColor, "123456");
  EXPECT_EQ(settings.wmFont, "DejaVu Serif");
  EXPECT_EQ(settings.wmFontSize, 22);
  EXPECT_EQ(settings.wmFonts, "Arial,Tahoma,Verdana") << "the pick lists are never changed";
  EXPECT_EQ(settings.wmFontColors, "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF");
}

class ThemeFolderTest : public PreferencesDialogTest {
 protected:
  void SetUp() override {
    PreferencesDialogTest::SetUp();
    const fs::path source = fs::path(TROVABILD_SOURCE_DIR) / "gfx" / "handdrawn.zip";
    fs::create_directory(folder_ / "gfx");
    fs::copy_file(source, folder_ / "gfx/alpha.zip");
    fs::copy_file(source, folder_ / "gfx/beta.zip");
    setThemesFolder(folder_ / "gfx/");
    ScanThemes();
  }
};

TEST_F(ThemeFolderTest, RefreshesOnlyWhatChanged) {
  struct Case {
    const char* name;
    int themeIndex;  // alpha 0, beta 1
    int sizeIndex;
    bool themeChanged;
    bool iconSizeChanged;
  };
  const Case cases[] = {
      {"same theme and size again", 0, 2, false, false},
      {"other theme", 1, 2, true, false},
      {"other icon size", 0, 3, false, true},
      {"both", 1, 0, true, true},
  };
  ASSERT_EQ(themeList().size(), 2u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    resetSettings(false);
    settings.uiTheme = "alpha";
    PreferencesOutcome outcome = withDialog(kPageInterface, [&](wxDialog* dialog) {
      choose(dialog, "uiTheme", c.themeIndex);
      choose(dialog, "uiSize", c.sizeIndex);
      click(wxWindow::FindWindowById(wxID_OK, dialog));
    });
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(outcome.themeChanged, c.themeChanged);
    EXPECT_EQ(outcome.iconSizeChanged, c.iconSizeChanged);
    EXPECT_EQ(settings.uiTheme, c.themeIndex == 0 ? "alpha" : "beta");
  }
}

TEST_F(ThemeFolderTest, DefaultsAskThenResetAndSave) {
  const std::string question = message("Msg", "Ask reset to defaults");
  for (int answer : {wxNO, wxYES}) {
    SCOPED_TRACE(answer == wxYES ? "yes" : "no");
    resetSettings(false);
    settings.uiTheme = "beta";
    settings.uiSize = 4;
    settings.jpgQuality = 50;
    settings.windowWidth = 700;
    settings.recentOutFolders = "/out/";
    questions_.clear();
    answer_ = answer;
    PreferencesOutcome outcome = withDialog(kPageGeneral, [](wxDialog* dialog) {
      // The dialog's own (unconfirmed) choice already names the default size.
      choose(dialog, "uiSize", 2);
      click(wxWindow::FindWindowByName("defaults", dialog));
    });
    ASSERT_EQ(questions_.size(), 1u);
    EXPECT_EQ(questions_[0], question);
    if (answer == wxNO) {
      EXPECT_FALSE(outcome.accepted);
      EXPECT_EQ(settings.jpgQuality, 50);
      EXPECT_EQ(settings.uiSize, 4);
      EXPECT_FALSE(fs::exists(folder_ / "config.ini"));
    } else {
      EXPECT_TRUE(outcome.accepted);
      EXPECT_EQ(settings.jpgQuality, 95);
      EXPECT_EQ(settings.keepAspectRatio, 1);
      EXPECT_EQ(settings.uiSize, 2);
      EXPECT_EQ(settings.uiTheme, "handdrawn");
      // Against what the main window shows (beta, Huge), both changed.
      EXPECT_TRUE(outcome.themeChanged);
      EXPECT_TRUE(outcome.iconSizeChanged);
      EXPECT_EQ(settings.windowWidth, 700);
      EXPECT_EQ(settings.recentOutFolders, "/out/");
      EXPECT_TRUE(fs::exists(folder_ / "config.ini"));
    }
  }
}

TEST(PreferencesDialogFilter, OffersTheWatermarkPictureTypes) {
  loadMessageTable();
  EXPECT_EQ(watermarkImageFilter(),
            "All Supported Files|*.png;*.bmp;*.rle;*.dib;*.jpg;*.jpeg;*.jpe;*.jif"
            "|Portable Network Graphics (*.png)|*.png"
            "|Windows or OS/2 Bitmap (*.bmp;*.rle;*.dib)|*.bmp;*.rle;*.dib"
            "|JPEG File (*.jpg;*.jpeg;*.jpe;*.jif)|*.jpg;*.jpeg;*.jpe;*.jif"
            "|All Files (*.*)|*.*");
}

}  // namespace
}  // namespace trovabild
