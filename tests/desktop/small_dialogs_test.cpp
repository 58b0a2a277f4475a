#include "desktop/small_dialogs.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <wx/hyperlink.h>
#include <wx/statbmp.h>
#include <wx/wx.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/messages.h"
#include "base/product.h"
#include "base/seams.h"
#include "desktop/update_ui.h"
#include "settings/settings.h"

namespace trovabild {
namespace {

void click(wxWindow* button) {
  wxCommandEvent event(wxEVT_BUTTON, button->GetId());
  event.SetEventObject(button);
  button->GetEventHandler()->ProcessEvent(event);
}

// Runs `script` on the named window while `show` holds it open, and closes
// it afterwards whatever the script did.
void whileOpen(const char* name, std::function<void(wxDialog*)> script, std::function<void()> show) {
  wxTheApp->CallAfter([name, script] {
    auto* dialog = dynamic_cast<wxDialog*>(wxWindow::FindWindowByName(name));
    if (!dialog) {
      ADD_FAILURE() << name << " is not open";
      return;
    }
    script(dialog);
    if (dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
  });
  show();
}

class SmallDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loadMessageTable();
    resetSettings(false);
    setOpenAddressHook([this](const std::string& address) { opened_.push_back(address); });
    setMessageHook([this](const wxString& text, const wxString& title, long) {
      boxes_.push_back(title.utf8_string() + ": " + text.utf8_string());
      return answers_.empty() ? wxOK : answers_[boxes_.size() - 1];
    });
    parent_ = new wxFrame(nullptr, wxID_ANY, "main");
    parent_->Show();
  }
  void TearDown() override {
    setOpenAddressHook({});
    setMessageHook({});
    setClock({});
    parent_->Destroy();
  }

  wxFrame* parent_ = nullptr;
  std::vector<std::string> opened_;
  std::vector<std::string> boxes_;
  std::vector<int> answers_;
};

TEST(ConverterFinder, CleansTheTypedExtensions) {
  struct Case {
    const char* typed;
    const char* cleaned;
  };
  const Case cases[] = {
      {".ICO", "ico"},           {"J.P.G", "jpg"},       {"abcdefghijklmnop", "abcdefghijkl"},
      {"***", ""},               {"  Png ", "png"},      {"", ""},
      {"mp3", "mp3"},            {"1234567890abcXYZ", "1234567890ab"},
      // Characters, not bytes, are counted: the umlaut is the first of 12.
      {"\xC3\x84" "bcdefghijklmn", "bcdefghijkl"},
      {"......abc.......", "abc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(cleanExtension(c.typed), c.cleaned);
  }
  EXPECT_EQ(converterFinderAddress(".ICO", "J.P.G"), std::string(kConverterFinderBase) + "ico-jpg/");
  EXPECT_EQ(converterFinderAddress("***", "png"), "");
  EXPECT_EQ(converterFinderAddress("png", ""), "");
  EXPECT_EQ(std::string(kConverterFinderBase).substr(std::string(kConverterFinderBase).size() - 6), "/find/");
}

TEST_F(SmallDialogsTest, ConverterFinderOpensThePageOrWarns) {
  whileOpen(
      "converterFinder",
      [this](wxDialog* finder) {
        EXPECT_EQ(finder->GetTitle().utf8_string(), "Find a File Converter");
        auto* from = dynamic_cast<wxTextCtrl*>(finder->FindWindow(359));
        auto* to = dynamic_cast<wxTextCtrl*>(finder->FindWindow(361));
        ASSERT_TRUE(from && to);
        from->ChangeValue("***");
        to->ChangeValue("png");
        click(finder->FindWindow(362));
        EXPECT_TRUE(finder->IsModal()) << "an empty field keeps the window open";
        EXPECT_EQ(boxes_, std::vector<std::string>{"Warning: Please, fill all required fields and try again!"});
        EXPECT_TRUE(opened_.empty());
        from->ChangeValue(".ICO");
        to->ChangeValue("J.P.G");
        click(finder->FindWindow(362));
        EXPECT_FALSE(finder->IsModal());
      },
      [this] { ShowConverterFinder(parent_); });
  EXPECT_EQ(opened_, std::vector<std::string>{std::string(kConverterFinderBase) + "ico-jpg/"});
}

TEST_F(SmallDialogsTest, AboutBoxShowsBannerTitleAndLinks) {
  whileOpen(
      "aboutBox",
      [this](wxDialog* about) {
        EXPECT_EQ(about->GetTitle().utf8_string(), "About...");
        EXPECT_EQ(about->GetClientSize(), wxSize(360, 240));
        auto* banner = dynamic_cast<wxStaticBitmap*>(about->FindWindow(369));
        ASSERT_NE(banner, nullptr);
        EXPECT_EQ(banner->GetBitmap().GetSize(), wxSize(360, 40));
        EXPECT_EQ(about->FindWindow(371)->GetLabel(), "Trovabild 2.9");
        EXPECT_EQ(about->FindWindow(374)->GetLabel(), "Web:");
        EXPECT_EQ(about->FindWindow(375)->GetLabel(), "E-mail:");
        for (int id : {376, 377}) {
          auto* link = dynamic_cast<wxHyperlinkCtrl*>(about->FindWindow(id));
          ASSERT_NE(link, nullptr);
          wxHyperlinkEvent event(link, link->GetId(), link->GetURL());
          link->GetEventHandler()->ProcessEvent(event);
        }
        EXPECT_EQ(opened_, (std::vector<std::string>{kMakerSite, std::string("mailto:") + kSupportEmail}));
        click(about->FindWindow(wxID_OK));
        EXPECT_FALSE(about->IsModal());
      },
      [this] { ShowAboutBox(parent_); });
}

TEST_F(SmallDialogsTest, UninstallPromptOpensThePageOnlyWhenTicked) {
  struct Case {
    const char* name;
    bool tick;
    bool pressNext;
    bool opens;
  };
  const Case cases[] = {
      {"next, ticked", true, true, true},
      {"next, unticked", false, true, false},
      {"closed", true, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    opened_.clear();
    int status = -1;
    whileOpen(
        "uninstallPrompt",
        [&c](wxDialog* prompt) {
          EXPECT_EQ(prompt->GetTitle().utf8_string(), "Uninstall");
          auto* box = dynamic_cast<wxCheckBox*>(wxWindow::FindWindowByName("visitUninstallCenter", prompt));
          ASSERT_NE(box, nullptr);
          EXPECT_TRUE(box->GetValue()) << "ticked at start";
          EXPECT_EQ(box->GetLabel().utf8_string(), "Full Uninstall - Visit Uninstall Center");
          box->SetValue(c.tick);
          if (c.pressNext) {
            click(wxWindow::FindWindowByName("next", prompt));
          } else {
            prompt->Close();
          }
          EXPECT_FALSE(prompt->IsModal());
        },
        [&status] { status = RunUninstallPrompt(); });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(opened_, c.opens ? std::vector<std::string>{kUninstallPage} : std::vector<std::string>{});
  }
}

// Answers one update request with `body` on 127.0.0.1 and points the
// update check at it.
class UpdateServer {
 public:
  explicit UpdateServer(std::string body) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 1);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    setenv("TROVABILD_UPDATE_URL",
           ("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/files/trovabild.dat").c_str(), 1);
    thread_ = std::thread([this, body] {
      int client = accept(listener_, nullptr, nullptr);
      if (client < 0) return;
      char buffer[1024];
      recv(client, buffer, sizeof buffer, 0);
      std::string answer = "HTTP/1.0 200 OK\r\n\r\n" + body;
      send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
      close(client);
    });
  }
  ~UpdateServer() {
    shutdown(listener_, SHUT_RDWR);
    thread_.join();
    close(listener_);
    unsetenv("TROVABILD_UPDATE_URL");
  }

 private:
  int listener_ = -1;
  std::thread thread_;
};

TEST_F(SmallDialogsTest, CheckForUpdatesReportsTheAnswer) {
  const std::string newText = "New Update: " + message("Msg", "New Update Text");
  struct Case {
    const char* body;  // nullptr: nothing listens
    int answer;
    std::vector<std::string> boxes;
    bool opensProductPage;
  };
  const Case cases[] = {
      {"291", wxYES, {newText}, true},
      {"291", wxNO, {newText}, false},
      {"290", wxOK, {"No Update: " + message("Msg", "No Update Text")}, false},
      {" 2915 ", wxNO, {newText}, false},
      {"000", wxOK, {"Error: Internet connection problems!"}, false},
      {nullptr, wxOK, {"Error: Internet connection problems!"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body ? c.body : "no server");
    boxes_.clear();
    opened_.clear();
    answers_ = {c.answer};
    if (c.body) {
      UpdateServer server(c.body);
      CheckForUpdates(parent_);
    } else {
      setenv("TROVABILD_UPDATE_URL", "http://127.0.0.1:1/files/trovabild.dat", 1);
      CheckForUpdates(parent_);
      unsetenv("TROVABILD_UPDATE_URL");
    }
    EXPECT_EQ(boxes_, c.boxes);
    EXPECT_EQ(opened_, c.opensProductPage ? std::vector<std::string>{kWebAddress} : std::vector<std::string>{});
  }
}

TEST_F(SmallDialogsTest, AutoCheckAsksAfterTheIntervalAndMovesTheDate) {
  constexpr int32_t kWeek = 7 * 86400;
  const std::time_t now = 1750000000;
  setClock([now] { return now; });
  const int32_t today = localNow();
  const std::string question = "Check for Updates: Do you want to check for updates?";
  struct Case {
    const char* name;
    int range;
    int32_t lastCheck;
    bool asks;
  };
  const Case cases[] = {
      {"exactly a week", 1, today - kWeek, false},
      {"a week and a second", 1, today - kWeek - 1, true},
      {"never", 5, today - 100 * kWeek, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    boxes_.clear();
    answers_ = {wxNO};
    settings.updateRange = c.range;
    settings.updateDate = c.lastCheck;
    AutoCheckForUpdates(parent_);
    EXPECT_EQ(boxes_, c.asks ? std::vector<std::string>{question} : std::vector<std::string>{});
    // Answering No still moves the date, so the next question is a week away.
    EXPECT_EQ(settings.updateDate, c.asks ? today : c.lastCheck);
  }
  // Yes runs the check itself.
  boxes_.clear();
  answers_ = {wxYES, wxOK};
  settings.updateRange = 0;
  settings.updateDate = today - 86400 - 1;
  setenv("TROVABILD_UPDATE_URL", "http://127.0.0.1:1/files/trovabild.dat", 1);
  AutoCheckForUpdates(parent_);
  unsetenv("TROVABILD_UPDATE_URL");
  EXPECT_EQ(boxes_, (std::vector<std::string>{question, "Error: Internet connection problems!"}));
  EXPECT_EQ(settings.updateDate, today);
}

}  // namespace
}  // namespace trovabild
