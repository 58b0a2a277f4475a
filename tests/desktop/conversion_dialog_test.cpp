#include <wx/bmpbuttn.h>
#include <wx/gauge.h>
#include <wx/stattext.h>

#include "batch/paths.h"
#include "desktop/conversion_dialog.h"
#include "tests/desktop/icon_fixtures.h"
#include "tests/desktop/window_fixture.h"

namespace trovabild::testing {
namespace {

struct ShortenCase {
  std::string text;
  int maximum;
  std::string expected;
};

TEST(ShortenForDisplay, KeepsShortTextsAndCutsTheMiddleOfLongOnes) {
  const std::string long200 = std::string(100, 'a') + std::string(100, 'b');
  const ShortenCase cases[] = {
      {"", 5, ""},
      {"abcdef", 6, "abcdef"},
      {"abcdefg", 6, "a...g"},
      {"abcdefgh", 7, "ab...gh"},
      {long200, 40, std::string(18, 'a') + "..." + std::string(18, 'b')},
      // Characters, not bytes: each "ä" is one character.
      {"\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4xyz", 6, "\xC3\xA4...z"},
  };
  for (const ShortenCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ShortenForDisplay(c.text, c.maximum), c.expected);
  }
}

TEST(FormatDuration, ShowsHoursMinutesSecondsAndDays) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "00:00:00"},
      {999, "00:00:00"},
      {61000, "00:01:01"},
      {9000, "00:00:09"},
      {3599999, "00:59:59"},
      {86399000, "23:59:59"},
      {(86400 + 3600 + 61) * 1000LL, "1d:01:01:01"},
      {12LL * 86400 * 1000, "12d:00:00:00"},
      {-5000, "00:00:00"},
  };
  for (const auto& [milliseconds, expected] : cases) {
    SCOPED_TRACE(milliseconds);
    EXPECT_EQ(FormatDuration(milliseconds), expected);
  }
}

class ConversionTest : public WindowTest {
 public:
  // Five icons in in/ and in/sub/, imported like the folder dialog does.
  void importIcons(int count = 5) {
    const char* names[] = {"a.ico", "b.ico", "sub/c.ico", "sub/d.ico", "e.ico", "f.ico"};
    std::filesystem::create_directories(dir / "in/sub");
    for (int i = 0; i < count; ++i) ASSERT_TRUE(writeSampleIcon(dir / "in/" + names[i], 16 + 8 * (i % 3), i));
    ImportChosenFolder(*window, dir / "in");
    ASSERT_EQ(window->rows().size(), static_cast<size_t>(count));
    std::filesystem::create_directories(dir / "out");
    window->setOutputFolderText(dir / "out");
  }

  void pressConvert() {
    wxCommandEvent press(wxEVT_BUTTON, window->convertButton()->GetId());
    press.SetEventObject(window->convertButton());
    wxPostEvent(window->convertButton(), press);
  }

  static wxWindow* part(wxDialog& dialog, int id) { return dialog.FindWindow(id); }
  static wxString label(wxDialog& dialog, int id) {
    return static_cast<wxStaticText*>(dialog.FindWindow(id))->GetLabel();
  }

  // Presses OK once the run has ended; remembers what the dialog showed.
  void closeWhenDone(wxDialog& dialog) {
    if (dialog.GetName() != "conversionProgress") return;
    if (!part(dialog, kConvertOk)->IsEnabled()) return;
    finalTitle = std::string(dialog.GetTitle().utf8_str());
    finalFileLabel = std::string(label(dialog, kConvertFileLabel).utf8_str());
    finalTimeLabel = std::string(label(dialog, kConvertTimeLabel).utf8_str());
    auto* bar = static_cast<wxGauge*>(part(dialog, kConvertBar));
    finalBar = bar->GetValue();
    barRange = bar->GetRange();
    wxCommandEvent ok(wxEVT_BUTTON, kConvertOk);
    ok.SetEventObject(part(dialog, kConvertOk));
    part(dialog, kConvertOk)->GetEventHandler()->ProcessEvent(ok);
    closed = true;
  }

  bool runToEnd() {
    pressConvert();
    return pumpUntil([&] { return closed; }, 60);
  }

  std::string finalTitle, finalFileLabel, finalTimeLabel;
  int finalBar = -1, barRange = -1;
  bool closed = false;
};

TEST_F(ConversionTest, ConvertsLikeTheConsoleRun) {
  importIcons();
  window->setOutputFolderText(dir / "out");  // typed without the final "/"
  window->setInnerSize(560, 360);
  saveScreenshot(window, "main-window");
  // For the manual: the worker is let through one file at a time until the
  // dialog shows an estimate, then the dialog is given some ticks to be drawn.
  bool picture = takingScreenshots();
  int ticksShown = 0;
  if (picture) window->runControl().setPaused(true);
  auto processed = [this] { return window->runControl().progress().processed; };
  observer = [&](wxDialog& dialog) {
    if (picture && label(dialog, kConvertTimeLabel).Contains(":0")) {
      if (++ticksShown < 40) return;
      saveScreenshot(&dialog, "conversion-progress");
      picture = false;
      window->runControl().setPaused(false);
    } else if (picture && processed() < 4) {
      const int before = processed();
      window->runControl().setPaused(false);
      while (processed() == before) std::this_thread::sleep_for(std::chrono::microseconds(50));
      window->runControl().setPaused(true);
    } else if (picture) {
      picture = false;
      window->runControl().setPaused(false);
    }
    closeWhenDone(dialog);
  };
  ASSERT_TRUE(runToEnd());
  pumpEvents();

  EXPECT_EQ(window->status(), "Conversion complete");
  EXPECT_EQ(finalTitle, "Conversion complete (5/5)");
  EXPECT_EQ(finalFileLabel, "Files converted: 5 of 5");
  EXPECT_EQ(finalTimeLabel, "Time Remaining: 00:00:00");
  EXPECT_EQ(finalBar, 6);
  EXPECT_EQ(barRange, 6);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(window->outputFolderText(), dir / "out/");
  EXPECT_EQ(RecentOutputFolder(0), dir / "out/");
  EXPECT_TRUE(window->IsEnabled());

  std::filesystem::create_directories(dir / "console");
  const ConsoleRun again = runConsole({"-q", "-i", dir / "in", "-o", dir / "console"});
  ASSERT_EQ(again.status, 0) << again.output << again.error;
  const std::vector<std::string> fromWindow = filesBelow(dir / "out");
  ASSERT_EQ(fromWindow.size(), 5u) << ::testing::PrintToString(filesBelow(dir.path()));
  EXPECT_EQ(fromWindow, filesBelow(dir / "console"));
  for (const std::string& name : fromWindow) {
    SCOPED_TRACE(name);
    EXPECT_EQ(name.substr(name.size() - 4), ".jpg");
    EXPECT_EQ(fileBytes(dir / "out/" + name), fileBytes(dir / "console/" + name));
  }
}

// The window's conversion honours the dry run and writes the run's report.
TEST_F(ConversionTest, ADryRunWritesOnlyTheReport) {
  importIcons();
  settings.dryRun = 1;
  settings.reportFile = dir / "report.json";
  observer = [&](wxDialog& dialog) { closeWhenDone(dialog); };
  ASSERT_TRUE(runToEnd());
  pumpEvents();
  settings.dryRun = 0;
  settings.reportFile.clear();
  EXPECT_EQ(window->status(), "Conversion complete");
  EXPECT_TRUE(filesBelow(dir / "out").empty());
  const std::string report = fileBytes(dir / "report.json");
  EXPECT_NE(report.find("\"finished\": true"), std::string::npos) << report;
  EXPECT_NE(report.find("\"dry_run\": true"), std::string::npos);
  EXPECT_NE(report.find("\"converted\": 5"), std::string::npos);
  EXPECT_NE(report.find("\"exit_status\": 0"), std::string::npos);
}

struct CheckCase {
  const char* name;
  std::function<void(ConversionTest&)> setup;
  std::function<std::string(const ScratchDir&)> warning;
  const char* status;
};

TEST_F(ConversionTest, ChecksStopWithTheFirstFailingMessage) {
  const CheckCase cases[] = {
      {"empty list and folder", [](ConversionTest& t) { t.window->setOutputFolderText(""); },
       [](const ScratchDir&) { return std::string("No input file(s) found. Please, add valid file(s) and try again!"); },
       "Conversion stopped"},
      {"empty folder",
       [](ConversionTest& t) {
         t.importIcons(1);
         t.window->setOutputFolderText("   ");
       },
       [](const ScratchDir&) {
         return std::string("The output folder's field is empty. Please, select existed output folder and try again!");
       },
       "Conversion stopped"},
      {"folder names a file",
       [](ConversionTest& t) {
         t.importIcons(1);
         t.window->setOutputFolderText(t.dir / "in/a.ico");
       },
       [](const ScratchDir& d) {
         return "The following output folder is invalid or doesn't exist:\r\n" + d / "in/a.ico/" +
                "\r\n\r\nPlease, correct the output path and try again!";
       },
       "Conversion stopped"},
      {"width 0",
       [](ConversionTest& t) {
         t.importIcons(1);
         settings.doResize = 1;
         settings.width = 0;
         settings.height = 0;
       },
       [](const ScratchDir&) { return std::string("Invalid resize width value!"); }, "Conversion stopped"},
      {"height 0",
       [](ConversionTest& t) {
         t.importIcons(1);
         settings.doResize = 1;
         settings.width = 800;
         settings.height = 0;
       },
       [](const ScratchDir&) { return std::string("Invalid resize height value!"); }, "Conversion stopped"},
      {"font that cannot be made",
       [](ConversionTest& t) {
         t.importIcons(1);
         settings.watermarkType = 1;
         settings.wmFont = "No Such Family Trovabild";
       },
       [](const ScratchDir&) { return std::string("Unable to load selected font for a watermark: No Such Family Trovabild"); },
       "Preparing..."},
      {"no watermark image",
       [](ConversionTest& t) {
         t.importIcons(1);
         settings.watermarkType = 2;
         settings.wmImage = "";
       },
       [](const ScratchDir&) { return std::string("Selected watermark image is invalid/empty!"); }, "Preparing..."},
      {"empty watermark image",
       [](ConversionTest& t) {
         t.importIcons(1);
         writeFile(t.dir / "mark.png", "");
         settings.watermarkType = 2;
         settings.wmImage = t.dir / "mark.png";
       },
       [](const ScratchDir& d) { return "Unable to load selected file as a watermark image: " + d / "mark.png"; },
       "Preparing..."},
      {"report over an input",
       [](ConversionTest& t) {
         t.importIcons(2);
         settings.reportFile = t.dir / "in/b.ico";
       },
       [](const ScratchDir& d) {
         return "Error: cannot write the report \"" + d / "in/b.ico" + "\": it is the input \"" + d / "in/b.ico" +
                "\" of this run";
       },
       "Conversion stopped"},
      {"report over an output",
       [](ConversionTest& t) {
         t.importIcons(1);
         settings.reportFile = t.dir / "out/a.JPG";
       },
       [](const ScratchDir& d) {
         return "Error: cannot write the report \"" + d / "out/a.JPG" + "\": the run writes the \".jpg\" files below \"" +
                d / "out/" + "\"";
       },
       "Conversion stopped"},
  };
  bool dialogShown = false;
  // A run that starts after all is let finish, so that the failure shows.
  observer = [&](wxDialog& dialog) {
    dialogShown = dialogShown || dialog.GetName() == "conversionProgress";
    closeWhenDone(dialog);
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    window->NewList();
    resetSettings(false);
    messages.clear();
    std::filesystem::remove_all(dir / "in");
    c.setup(*this);
    postCommand(kCmdConvert);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, c.warning(dir));
    EXPECT_EQ(messages[0].title, "Warning");
    EXPECT_EQ(messages[0].style, wxOK | wxICON_WARNING);
    EXPECT_EQ(window->status(), c.status);
  }
  EXPECT_FALSE(dialogShown);
  EXPECT_TRUE(filesBelow(dir / "out").empty());
}

TEST_F(ConversionTest, TimeLineShowsFromFiveFiles) {
  for (int count : {4, 5}) {
    SCOPED_TRACE(count);
    window->NewList();
    std::filesystem::remove_all(dir / "in");
    importIcons(count);
    bool checked = false;
    closed = false;
    // The worker waits before its first file until the layout was seen.
    window->runControl().setPaused(true);
    observer = [&](wxDialog& dialog) {
      if (!checked) {
        checked = true;
        EXPECT_EQ(part(dialog, kConvertTimeLabel)->IsShown(), count > 4);
        EXPECT_EQ(part(dialog, kConvertBar)->GetPosition(), wxPoint(10, count > 4 ? 60 : 50));
        EXPECT_EQ(label(dialog, kConvertTimeLabel), "Time Remaining: Unknown");
        EXPECT_EQ(dialog.GetClientSize(), wxSize(300, 130));
        EXPECT_EQ(dialog.GetTitle(), "Converting");
        EXPECT_FALSE(part(dialog, kConvertOk)->IsEnabled());
        EXPECT_FALSE(window->IsEnabled());
        window->runControl().setPaused(false);
      }
      closeWhenDone(dialog);
    };
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(finalTitle, "Conversion complete (" + std::to_string(count) + "/" + std::to_string(count) + ")");
  }
}

TEST_F(ConversionTest, BreakQuestionStopsOnYesAndGoesOnAfterNo) {
  for (int reply : {wxYES, wxNO}) {
    SCOPED_TRACE(reply == wxYES ? "yes" : "no");
    window->NewList();
    std::filesystem::remove_all(dir / "in");
    std::filesystem::remove_all(dir / "out");
    importIcons();
    messages.clear();
    answer = reply;
    closed = false;
    bool asked = false;
    window->runControl().setPaused(true);
    observer = [&](wxDialog& dialog) {
      if (!asked) {
        asked = true;
        dialog.Close();  // the close box while the worker waits
        EXPECT_FALSE(part(dialog, kConvertOk)->IsEnabled());
        return;
      }
      closeWhenDone(dialog);
    };
    ASSERT_TRUE(runToEnd());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Do you want to break the conversion?");
    EXPECT_EQ(messages[0].title, "Warning");
    EXPECT_EQ(messages[0].style, wxYES_NO | wxICON_WARNING);
    if (reply == wxYES) {
      EXPECT_EQ(window->status(), "Conversion stopped");
      EXPECT_EQ(finalTitle, "Conversion stopped (0/5)");
      EXPECT_EQ(finalFileLabel, "Conversion stopped");
      EXPECT_TRUE(filesBelow(dir / "out").empty());
    } else {
      EXPECT_EQ(window->status(), "Conversion complete");
      EXPECT_EQ(filesBelow(dir / "out").size(), 5u);
    }
  }
}

}  // namespace
}  // namespace trovabild::testing

namespace trovabild::testing {
namespace {

// A path far wider than the label is shortened by its drawn width: what
// the label shows fits its 280 pixels on one line and ends in the file name.
TEST_F(ConversionTest, ALongPathFitsTheLabelAndKeepsTheFileName) {
  const std::string deep = dir / (std::string(70, 'w') + "/" + std::string(70, 'm') + "/");
  std::filesystem::create_directories(deep);
  std::vector<std::string> paths;
  constexpr int kFiles = 8;
  for (int i = 0; i < kFiles; ++i) {
    paths.push_back(deep + "icon-file-" + std::to_string(i) + ".ico");
    ASSERT_TRUE(writeSampleIcon(paths.back(), 16, i));
  }
  addRows(paths);
  std::filesystem::create_directories(dir / "out");
  window->setOutputFolderText(dir / "out");
  auto processed = [this] { return window->runControl().progress().processed; };
  std::vector<std::string> shown;
  int widest = 0;
  // The worker is let on a file or two at a time, so that the label shows
  // some of the paths.
  observer = [&](wxDialog& dialog) {
    if (dialog.GetName() == "conversionProgress" && !part(dialog, kConvertOk)->IsEnabled()) {
      auto* fileLabel = static_cast<wxStaticText*>(part(dialog, kConvertFileLabel));
      const std::string text(fileLabel->GetLabel().utf8_str());
      const int done = processed();
      if (done == 0 || (!text.empty() && (shown.empty() || shown.back() != text))) {
        if (done > 0) {
          shown.push_back(text);
          widest = std::max(widest, fileLabel->GetTextExtent(fileLabel->GetLabel()).x);
        }
        window->runControl().setPaused(false);
        if (done < kFiles) {
          while (processed() == done) std::this_thread::sleep_for(std::chrono::microseconds(50));
          window->runControl().setPaused(true);
        }
      }
    }
    closeWhenDone(dialog);
  };
  // On a busy machine the worker can get through every file before the
  // pause takes hold, and no path is seen on the way; the run is then made
  // again.
  for (int attempt = 0; attempt < 5 && shown.empty(); ++attempt) {
    closed = false;
    window->runControl().setPaused(true);
    ASSERT_TRUE(runToEnd());
    window->runControl().setPaused(false);
    pumpEvents();
  }
  ASSERT_FALSE(shown.empty());
  EXPECT_LE(widest, 280);
  for (const std::string& text : shown) {
    SCOPED_TRACE(text);
    // The whole file name after the last folder separator.
    const std::string name = text.substr(text.rfind('/') + 1);
    EXPECT_EQ(name.rfind("icon-file-", 0), 0u);
    EXPECT_EQ(name.size(), std::string("icon-file-0.ico").size());
    EXPECT_NE(text.find("..."), std::string::npos);
  }
}

}  // namespace
}  // namespace trovabild::testing
