#include "desktop/small_dialogs.h"

#include <algorithm>
#include <memory>

#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/hyperlink.h>
#include <wx/statbmp.h>
#include <wx/wx.h>

#include "base/messages.h"
#include "base/product.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

std::function<int(const wxString&, const wxString&, long)> messageHook;
std::function<void(const std::string&)> openHook;

wxString text(const char* group, const char* key) { return wxString::FromUTF8(message(group, key)); }

// Control numbers of the converter finder and the about box.
enum {
  kFromLabel = 358,
  kFromBox = 359,
  kToLabel = 360,
  kToBox = 361,
  kSearchButton = 362,
  kBannerPicture = 369,
  kTitleLabel = 371,
  kNoticeLabel = 372,
  kAboutFrame = 373,
  kWebLabel = 374,
  kEmailLabel = 375,
  kWebLink = 376,
  kEmailLink = 377,
  kAboutOk = 381,
};

class ConverterFinder : public wxDialog {
 public:
  explicit ConverterFinder(wxWindow* parent)
      : wxDialog(parent, wxID_ANY, text("Custom-Converter", "Title"), wxDefaultPosition, wxDefaultSize,
                 wxDEFAULT_DIALOG_STYLE, "converterFinder") {
    SetClientSize(370, 60);
    new wxStaticText(this, kFromLabel, text("Custom-Converter", "From"), wxPoint(10, 23), wxSize(40, 20));
    from_ = new wxTextCtrl(this, kFromBox, "", wxPoint(50, 20), wxSize(80, -1));
    new wxStaticText(this, kToLabel, text("Custom-Converter", "To"), wxPoint(150, 23), wxSize(30, 20));
    to_ = new wxTextCtrl(this, kToBox, "", wxPoint(180, 20), wxSize(80, -1));
    auto* search = new wxButton(this, kSearchButton, text("Custom-Converter", "Search"), wxPoint(280, 18),
                                wxSize(80, -1));
    search->SetDefault();
    // No Cancel button for the toolkit to press on Escape.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
      if (event.GetKeyCode() == WXK_ESCAPE) {
        EndModal(wxID_CANCEL);
        return;
      }
      event.Skip();
    });
    // GTK entries are taller than 20 pixels; keep the positions, grow the window.
    int bottom = std::max(from_->GetRect().GetBottom(), search->GetRect().GetBottom()) + 8;
    SetClientSize(370, std::max(60, bottom));
    search->Bind(wxEVT_BUTTON, &ConverterFinder::OnSearch, this);
    CentreOnParent();
    from_->SetFocus();
  }

 private:
  void OnSearch(wxCommandEvent&) {
    std::string address = converterFinderAddress(from_->GetValue().utf8_string(), to_->GetValue().utf8_string());
    if (address.empty()) {
      showMessage(this, text("Msg", "Empty extensions"), text("Msg", "Warning"), wxOK | wxICON_WARNING);
      return;
    }
    // Closing a modal window hides it; the browser then comes up in front.
    EndModal(wxID_OK);
    openAddress(address);
  }

  wxTextCtrl* from_;
  wxTextCtrl* to_;
};

// The about box's banner: a 360 x 40 band in the maker's colours with the
// product name and a small icon-turns-picture motif.
wxBitmap bannerBitmap() {
  wxBitmap bitmap(360, 40, 24);
  wxMemoryDC dc(bitmap);
  dc.GradientFillLinear(wxRect(0, 0, 360, 40), wxColour(0x1B, 0x3A, 0x6B), wxColour(0x2E, 0x9C, 0xA6), wxEAST);
  std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
  if (gc) {
    gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    // A 4 x 4 "icon" of coloured squares, an arrow, and a framed "photo".
    const wxColour cells[] = {wxColour(0xF2, 0x6B, 0x3A), wxColour(0xF7, 0xC5, 0x48), wxColour(0x7B, 0xC6, 0x5A),
                              wxColour(0x4F, 0xA3, 0xE0)};
    for (int row = 0; row < 4; ++row)
      for (int column = 0; column < 4; ++column) {
        gc->SetBrush(wxBrush(cells[(row + column) % 4]));
        gc->SetPen(*wxTRANSPARENT_PEN);
        gc->DrawRectangle(12 + column * 6, 8 + row * 6, 5, 5);
      }
    gc->SetPen(wxPen(*wxWHITE, 2));
    gc->StrokeLine(42, 20, 56, 20);
    wxGraphicsPath head = gc->CreatePath();
    head.MoveToPoint(52, 15);
    head.AddLineToPoint(58, 20);
    head.AddLineToPoint(52, 25);
    gc->StrokePath(head);
    gc->SetPen(wxPen(*wxWHITE, 2));
    gc->SetBrush(wxBrush(wxColour(0x8F, 0xD3, 0xF2)));
    gc->DrawRectangle(64, 8, 30, 24);
    wxGraphicsPath hill = gc->CreatePath();
    hill.MoveToPoint(65, 31);
    hill.AddLineToPoint(74, 20);
    hill.AddLineToPoint(81, 27);
    hill.AddLineToPoint(86, 22);
    hill.AddLineToPoint(93, 31);
    hill.CloseSubpath();
    gc->SetBrush(wxBrush(wxColour(0x3D, 0x8B, 0x3D)));
    gc->SetPen(*wxTRANSPARENT_PEN);
    gc->FillPath(hill);
    gc->SetBrush(wxBrush(wxColour(0xFF, 0xE0, 0x66)));
    gc->DrawEllipse(85, 11, 6, 6);
    wxFont font(wxFontInfo(15).Bold().Family(wxFONTFAMILY_SWISS));
    gc->SetFont(font, *wxWHITE);
    gc->DrawText(kDisplayName, 108, 7);
    wxFont small(wxFontInfo(8).Family(wxFONTFAMILY_SWISS));
    gc->SetFont(small, wxColour(0xDD, 0xEE, 0xF5));
    double width = 0, height = 0;
    gc->GetTextExtent(kBrand, &width, &height);
    gc->DrawText(kBrand, 350 - width, 36 - height);
  }
  dc.SelectObject(wxNullBitmap);
  return bitmap;
}

class AboutBox : public wxDialog {
 public:
  explicit AboutBox(wxWindow* parent)
      : wxDialog(parent, wxID_ANY, text("About", "Title"), wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE,
                 "aboutBox") {
    SetClientSize(360, 240);
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
    new wxStaticBitmap(this, kBannerPicture, bannerBitmap(), wxPoint(0, 0), wxSize(360, 40));
    new wxStaticBox(this, kAboutFrame, "", wxPoint(0, 40), wxSize(360, 150));
    auto centred = wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE;
    new wxStaticText(this, kTitleLabel, wxString::FromUTF8(titleText()), wxPoint(20, 50), wxSize(320, 20), centred);
    new wxStaticText(this, kNoticeLabel, wxString::FromUTF8(kCopyright), wxPoint(20, 70), wxSize(320, 20), centred);
    new wxStaticText(this, kWebLabel, text("About", "Website"), wxPoint(80, 100), wxSize(60, 20));
    new wxStaticText(this, kEmailLabel, text("About", "Email"), wxPoint(80, 120), wxSize(50, 20));
    auto* web = new wxHyperlinkCtrl(this, kWebLink, kMakerSite, kMakerSite, wxPoint(140, 100), wxSize(215, 20),
                                    wxHL_ALIGN_LEFT | wxNO_BORDER);
    auto* mail = new wxHyperlinkCtrl(this, kEmailLink, kSupportEmail, std::string("mailto:") + kSupportEmail,
                                     wxPoint(140, 120), wxSize(215, 20), wxHL_ALIGN_LEFT | wxNO_BORDER);
    for (auto* link : {web, mail}) {
      link->SetNormalColour(*wxBLUE);
      link->SetVisitedColour(*wxBLUE);
      link->Bind(wxEVT_HYPERLINK, [](wxHyperlinkEvent& event) { openAddress(event.GetURL().utf8_string()); });
    }
    auto* ok = new wxButton(this, wxID_OK, text("Dialog", "OK"), wxPoint(80, 200), wxSize(80, -1));
    ok->SetDefault();
    SetEscapeId(wxID_OK);
    SetAffirmativeId(wxID_OK);
    // Enter is OK wherever the focus is: a link that had the focus would
    // otherwise open again.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
      const int key = event.GetKeyCode();
      if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER || key == WXK_ESCAPE) {
        EndModal(wxID_OK);
        return;
      }
      event.Skip();
    });
    CentreOnParent();
    ok->SetFocus();
  }
};

class UninstallPrompt : public wxDialog {
 public:
  UninstallPrompt()
      : wxDialog(nullptr, wxID_ANY, text("Uninstall", "Title"), wxDefaultPosition, wxDefaultSize,
                 wxDEFAULT_DIALOG_STYLE, "uninstallPrompt") {
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    visit_ = new wxCheckBox(this, wxID_ANY, text("Uninstall", "Uninstall Text"), wxDefaultPosition,
                            wxDefaultSize, 0, wxDefaultValidator, "visitUninstallCenter");
    visit_->SetValue(true);
    auto* next = new wxButton(this, wxID_ANY, text("Uninstall", "Next"), wxDefaultPosition, wxSize(80, -1), 0,
                              wxDefaultValidator, "next");
    next->SetDefault();
    sizer->Add(visit_, 0, wxALL, 15);
    sizer->Add(next, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 15);
    SetSizerAndFit(sizer);
    // Sized by its inner size: the prompt is the only window of its run, and
    // the toolkit holds back a first window whose outer size was set until
    // the window manager reports its frame, then maps it at a 2 x 1
    // placeholder in the screen's corner, where the window manager keeps it.
    wxSize inner = GetClientSize();
    inner.x = std::max(inner.x, 300);
    SetMinClientSize(inner);
    SetClientSize(inner);
    Centre();
    // Centred again, frame and all, once the window manager has framed it.
    Bind(wxEVT_SIZE, &UninstallPrompt::OnSize, this);
    // Escape closes the prompt as the close box does, opening nothing; there
    // is no Cancel button for the toolkit to press.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
      if (event.GetKeyCode() == WXK_ESCAPE) {
        EndModal(wxID_CANCEL);
        return;
      }
      event.Skip();
    });
    next->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
      if (visit_->GetValue()) openAddress(kUninstallPage);
      EndModal(wxID_OK);
    });
  }

 private:
  void OnSize(wxSizeEvent& event) {
    event.Skip();
    if (!IsShown() || GetSize() == GetClientSize()) return;
    Unbind(wxEVT_SIZE, &UninstallPrompt::OnSize, this);
    Centre();
  }

  wxCheckBox* visit_;
};

}  // namespace

int showMessage(wxWindow* parent, const wxString& text, const wxString& title, long style) {
  if (messageHook) return messageHook(text, title, style);
  return wxMessageBox(text, title, style, parent);
}

void setMessageHook(std::function<int(const wxString&, const wxString&, long)> hook) {
  messageHook = std::move(hook);
}

void openAddress(const std::string& address) {
  if (openHook) {
    openHook(address);
    return;
  }
  wxLaunchDefaultBrowser(wxString::FromUTF8(address));
}

void setOpenAddressHook(std::function<void(const std::string&)> hook) { openHook = std::move(hook); }

std::string cleanExtension(const std::string& typed) {
  std::string result;
  int characters = 0;
  for (unsigned char c : typed) {
    bool startsCharacter = (c & 0xC0) != 0x80;  // UTF-8 continuation bytes belong to the previous one
    if (startsCharacter && ++characters > 12) break;
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')) result += static_cast<char>(c);
  }
  return result;
}

std::string converterFinderAddress(const std::string& from, const std::string& to) {
  std::string source = cleanExtension(from);
  std::string target = cleanExtension(to);
  if (source.empty() || target.empty()) return "";
  return std::string(kConverterFinderBase) + source + "-" + target + "/";
}

void ShowConverterFinder(wxWindow* parent) {
  ConverterFinder finder(parent);
  finder.ShowModal();
  if (parent) parent->SetFocus();
}

void ShowAboutBox(wxWindow* parent) {
  AboutBox box(parent);
  box.ShowModal();
  if (parent) parent->SetFocus();
}

int RunUninstallPrompt() {
  UninstallPrompt prompt;
  prompt.ShowModal();
  return 0;
}

}  // namespace trovabild
