#include <wx/gauge.h>

#include <cerrno>

#include "base/files.h"
#include "batch/paths.h"
#include "tests/desktop/window_fixture.h"
#include "tests/support/write_seam.h"

namespace trovabild::testing {
namespace {

using InputDialogsTest = WindowTest;

TEST_F(InputDialogsTest, FiltersNameTheAcceptedExtensions) {
  EXPECT_EQ(inputFilesFilter(), "All Supported Files|*.ico|Windows Icon|*.ico|All Files (*.*)|*.*");
  EXPECT_EQ(listFilesFilter(), "Text Files|*.txt;*.lst|All Files (*.*)|*.*");
}

TEST(CountLines, CountsEveryKindOfLineEnd) {
  ScratchDir dir;
  const std::pair<std::string, int> cases[] = {
      {"", 0}, {"a", 1}, {"a\r\n", 1}, {"a\r\nb", 2}, {"a\nb\n", 2}, {"a\rb\r", 2}, {"\r\n\r\n", 2}, {"a\n\nb", 3},
  };
  for (const auto& [text, lines] : cases) {
    SCOPED_TRACE(::testing::PrintToString(text));
    writeFile(dir / "list.txt", text);
    EXPECT_EQ(countLines(dir / "list.txt"), lines);
  }
}

TEST_F(InputDialogsTest, AddingFilesSkipsListedAndUnacceptedOnes) {
  writeFile(dir / "a.ico", "x");
  writeFile(dir / "b.ico", "x");
  writeFile(dir / "c.png", "x");
  writeFile(dir / "empty.ico", "");
  AddInputFiles(*window, {dir / "a.ico"});
  AddInputFiles(*window, {dir / "a.ico", dir / "b.ico", dir / "c.png", dir / "empty.ico"});
  EXPECT_EQ(window->rows(), (std::vector<std::string>{dir / "a.ico", dir / "b.ico"}));
  EXPECT_TRUE(messages.empty());
}

TEST_F(InputDialogsTest, ExportWritesByteOrderMarkAndCrLfLines) {
  for (const char* name : {"one.ico", "two.ico", "three.ico"}) writeFile(dir / name, "x");
  AddInputFiles(*window, {dir / "one.ico", dir / "two.ico", dir / "three.ico"});
  std::vector<std::string> shown;
  observer = [&](wxDialog& dialog) {
    if (shown.empty()) shown.push_back(std::string(dialog.GetName().utf8_str()));
  };

  // A name without extension gets ".txt".
  ASSERT_TRUE(ExportListTo(*window, dir / "list"));
  const std::string expected = "\xEF\xBB\xBF" + dir / "one.ico" + "\r\n" + dir / "two.ico" + "\r\n" +
                               dir / "three.ico" + "\r\n";
  std::ifstream file(dir / "list.txt", std::ios::binary);
  const std::string written{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  EXPECT_EQ(written, expected);
  EXPECT_EQ(exportText(window->rows()), expected);
  EXPECT_EQ(window->status(), "Export complete, entries saved: 3");
  EXPECT_EQ(shown, std::vector<std::string>{"exportProgress"});
  EXPECT_EQ(job.currentInput, dir / "list.txt");
  EXPECT_TRUE(messages.empty());

  // A non-empty file is replaced only after Yes; an empty one without asking.
  answer = wxNO;
  EXPECT_FALSE(ExportListTo(*window, dir / "list.txt"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "The file already exist. Do you want to overwrite it?");
  EXPECT_EQ(messages[0].style, wxYES_NO | wxICON_WARNING);
  writeFile(dir / "empty.lst", "");
  EXPECT_TRUE(ExportListTo(*window, dir / "empty.lst"));
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(fileSize(dir / "empty.lst"), static_cast<int64_t>(expected.size()));
}

// A disk that fills during the export keeps the old list whole.
TEST_F(InputDialogsTest, AFailedExportKeepsTheOldList) {
  for (const char* name : {"one.ico", "two.ico"}) writeFile(dir / name, "x");
  AddInputFiles(*window, {dir / "one.ico", dir / "two.ico"});
  writeFile(dir / "list.txt", "old list\r\n");
  answer = wxYES;
  auto seam = testing::failWritesAfter(0);
  EXPECT_TRUE(ExportListTo(*window, dir / "list.txt"));
  seam->end();
  std::ifstream file(dir / "list.txt", std::ios::binary);
  const std::string kept{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  EXPECT_EQ(kept, "old list\r\n");
  EXPECT_EQ(window->status(), "Export complete, entries saved: 0");
}

TEST_F(InputDialogsTest, ExportOfAnEmptyListWarns) {
  EXPECT_FALSE(ExportListTo(*window, dir / "list.txt"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "No input file(s) found. Please, add valid file(s) and try again!");
  EXPECT_EQ(messages[0].style, wxOK | wxICON_WARNING);
  EXPECT_EQ(fileSize(dir / "list.txt"), -1);
}

TEST_F(InputDialogsTest, ListImportAddsFilesAndFolders) {
  writeFile(dir / "a.ico", "x");
  writeFile(dir / "folder/b.ico", "x");
  writeFile(dir / "folder/deep/c.ico", "x");
  writeFile(dir / "list.txt", "\xEF\xBB\xBF" + dir / "a.ico" + "\r\n\r\n   \r\n" + dir / "missing.ico\n" +
                                  dir / "folder" + "\n" + dir / "a.ico");
  int range = -1;
  observer = [&](wxDialog& dialog) {
    if (auto* bar = dynamic_cast<wxGauge*>(dialog.FindWindow(kListImportBar))) range = bar->GetRange();
  };
  ImportListFileFrom(*window, dir / "list.txt");
  EXPECT_EQ(window->rows(),
            (std::vector<std::string>{dir / "a.ico", dir / "folder/b.ico", dir / "folder/deep/c.ico"}));
  EXPECT_EQ(window->status(), "Import complete, new files added: 3");
  EXPECT_EQ(range, 7);  // six lines and one
  EXPECT_EQ(job.currentInput, dir / "list.txt");

  // A list file of 0 bytes: no dialog, no message.
  bool shown = false;
  observer = [&](wxDialog&) { shown = true; };
  writeFile(dir / "empty.txt", "");
  window->setStatus("before");
  ImportListFileFrom(*window, dir / "empty.txt");
  EXPECT_FALSE(shown);
  EXPECT_EQ(window->status(), "before");
  EXPECT_TRUE(messages.empty());
}

TEST_F(InputDialogsTest, BreakingAFolderImportKeepsWhatWasAdded) {
  for (const char* name : {"a/1.ico", "b/2.ico", "c/3.ico"}) writeFile(dir / "in/" + name, "x");
  answer = wxYES;
  bool asked = false;
  window->runControl().setPaused(true);
  observer = [&](wxDialog& dialog) {
    if (asked || dialog.GetName() != "folderImportProgress") return;
    asked = true;
    dialog.Close();
  };
  ImportChosenFolder(*window, dir / "in");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Do you want to break the import?");
  EXPECT_EQ(window->status(), "Import stopped");
  EXPECT_TRUE(window->rows().empty());
  EXPECT_EQ(job.inputPath, dir / "in/");

  // Without a break the whole tree comes in.
  messages.clear();
  observer = {};
  ImportChosenFolder(*window, dir / "in");
  EXPECT_EQ(window->rows().size(), 3u);
  EXPECT_EQ(window->status(), "Import complete, new files added: 3");
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace trovabild::testing
