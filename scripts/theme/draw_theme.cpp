// Draws the "handdrawn" icon theme: every toolbar, menu and button image of
// the window at 16, 24, 32, 48 and 64 pixels, as PNG files, plus theme.cfg.
//
//   g++ -std=c++20 -O2 draw_theme.cpp $(pkg-config --cflags --libs cairo) -o draw_theme
//   ./draw_theme OUTDIR
//   ./draw_theme --app-icon OUTDIR     (the application icon, for the desktop entry)
//
// Every picture is drawn on a 32 x 32 unit grid and scaled. Outlines wobble a
// little, like a pen line; the wobble and the line width grow with the size
// so that the 16 pixel images stay crisp.

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

struct Pt {
  double x, y;
};
struct Colour {
  double r, g, b, a = 1.0;
};

Colour hex(uint32_t rgb, double a = 1.0) {
  return {((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0, (rgb & 255) / 255.0, a};
}

// The palette: one ink for every outline, soft fills.
const Colour kInk = hex(0x2f3640);
const Colour kPaper = hex(0xfffdf6);
const Colour kPaperShade = hex(0xe9e4d4);
const Colour kFolderBack = hex(0xe8a63a);
const Colour kFolderFront = hex(0xf8ca5c);
const Colour kGreen = hex(0x55b24f);
const Colour kBlue = hex(0x3d8fdc);
const Colour kLightBlue = hex(0xa9d8f7);
const Colour kRed = hex(0xe0483f);
const Colour kOrange = hex(0xf39a2e);
const Colour kGold = hex(0xffd232);
const Colour kGrey = hex(0xa9b3be);
const Colour kLightGrey = hex(0xe6eaee);
const Colour kBrown = hex(0xb07a4f);
const Colour kWhite = hex(0xffffff);
const Colour kHill = hex(0x61b84f);
const Colour kSun = hex(0xffc62e);

const double kPi = 3.14159265358979323846;

class Pen {
 public:
  Pen(cairo_t* cr, int size, uint32_t seed) : cr_(cr), size_(size), rng_(seed) {
    scale_ = size / 32.0;
    // Outline width in pixels for each size.
    line_ = size <= 16 ? 1.15 : size <= 24 ? 1.5 : size <= 32 ? 1.9 : size <= 48 ? 2.6 : size <= 64 ? 3.2 : size * 0.05;
    wobble_ = size <= 16 ? 0.0 : size * 0.0075;
  }

  int size() const { return size_; }
  bool small() const { return size_ <= 16; }

  // Shapes, in units.
  std::vector<Pt> rect(double x, double y, double w, double h) const {
    return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
  }
  std::vector<Pt> roundRect(double x, double y, double w, double h, double r) const {
    std::vector<Pt> p;
    corner(p, x + w - r, y + r, r, -90, 0);
    corner(p, x + w - r, y + h - r, r, 0, 90);
    corner(p, x + r, y + h - r, r, 90, 180);
    corner(p, x + r, y + r, r, 180, 270);
    return p;
  }
  std::vector<Pt> circle(double cx, double cy, double r) const { return arc(cx, cy, r, 0, 360); }
  std::vector<Pt> ellipse(double cx, double cy, double rx, double ry) const {
    std::vector<Pt> p;
    for (int i = 0; i < 72; ++i) {
      const double a = i * 2 * kPi / 72;
      p.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return p;
  }
  std::vector<Pt> arc(double cx, double cy, double r, double a0, double a1) const {
    std::vector<Pt> p;
    const int steps = std::max(8, static_cast<int>(std::fabs(a1 - a0) / 5));
    for (int i = 0; i <= steps; ++i) {
      const double a = (a0 + (a1 - a0) * i / steps) * kPi / 180;
      p.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return p;
  }
  std::vector<Pt> star(double cx, double cy, double outer, double inner, int points, double turn = -90) const {
    std::vector<Pt> p;
    for (int i = 0; i < points * 2; ++i) {
      const double r = i % 2 ? inner : outer;
      const double a = (turn + i * 180.0 / points) * kPi / 180;
      p.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return p;
  }

  /// A filled shape with an ink outline (closed).
  void shape(const std::vector<Pt>& units, Colour fill) {
    const auto px = wobbled(units, true);
    trace(px, true);
    set(fill);
    cairo_fill_preserve(cr_);
    outline();
  }
  /// Only the fill.
  void fill(const std::vector<Pt>& units, Colour fill) {
    trace(wobbled(units, true), true);
    set(fill);
    cairo_fill(cr_);
  }
  /// An open ink line (or closed when asked).
  void line(const std::vector<Pt>& units, bool closed = false, double factor = 1.0) {
    trace(wobbled(units, closed), closed);
    cairo_set_line_width(cr_, line_ * factor);
    set(kInk);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr_);
  }
  /// A coloured stroke of `width` units with no outline (glyphs on badges).
  void stroke(const std::vector<Pt>& units, Colour colour, double width, bool closed = false) {
    trace(wobbled(units, closed, 0.5), closed);
    cairo_set_line_width(cr_, width * scale_);
    set(colour);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr_);
  }
  /// A thick coloured stroke with an ink edge around it.
  void inkedStroke(const std::vector<Pt>& units, Colour colour, double width) {
    const auto px = wobbled(units, false);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    trace(px, false);
    cairo_set_line_width(cr_, width * scale_ + 2 * line_);
    set(kInk);
    cairo_stroke(cr_);
    trace(px, false);
    cairo_set_line_width(cr_, width * scale_);
    set(colour);
    cairo_stroke(cr_);
  }
  void dashed(const std::vector<Pt>& units, Colour colour, double dashPx) {
    trace(wobbled(units, true, 0.4), true);
    const double dashes[] = {dashPx, dashPx * 0.75};
    cairo_set_dash(cr_, dashes, 2, 0);
    cairo_set_line_width(cr_, line_ * 1.1);
    set(colour);
    cairo_stroke(cr_);
    cairo_set_dash(cr_, nullptr, 0, 0);
  }
  void dot(double cx, double cy, double r, Colour colour) {
    cairo_arc(cr_, cx * scale_, cy * scale_, r * scale_, 0, 2 * kPi);
    set(colour);
    cairo_fill(cr_);
  }

  void clipTo(const std::vector<Pt>& units) {
    trace(wobbled(units, true, 0.0), true);
    cairo_clip(cr_);
  }
  void noClip() { cairo_reset_clip(cr_); }

  /// A straight arrow from a to b, `shaft` and `head` wide in units.
  std::vector<Pt> arrow(Pt a, Pt b, double shaft, double head, double headLength) const {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = std::hypot(dx, dy);
    const double ux = dx / length, uy = dy / length, nx = -uy, ny = ux;
    const Pt base{b.x - ux * headLength, b.y - uy * headLength};
    auto at = [&](Pt p, double side) { return Pt{p.x + nx * side, p.y + ny * side}; };
    return {at(a, shaft / 2), at(base, shaft / 2),  at(base, head / 2), b,
            at(base, -head / 2), at(base, -shaft / 2), at(a, -shaft / 2)};
  }
  /// A curved arrow along a circle from angle a0 to a1 (degrees, clockwise).
  std::vector<Pt> arcArrow(double cx, double cy, double r, double width, double a0, double a1, double head) const {
    const double headAngle = (head / r) * 180 / kPi * (a1 > a0 ? 1 : -1);
    const double end = a1 - headAngle;
    std::vector<Pt> p = arc(cx, cy, r + width / 2, a0, end);
    const double e = end * kPi / 180, t = a1 * kPi / 180;
    p.push_back({cx + (r + width * 1.15) * std::cos(e), cy + (r + width * 1.15) * std::sin(e)});
    p.push_back({cx + r * std::cos(t), cy + r * std::sin(t)});
    p.push_back({cx + (r - width * 1.15) * std::cos(e), cy + (r - width * 1.15) * std::sin(e)});
    const auto inner = arc(cx, cy, r - width / 2, end, a0);
    p.insert(p.end(), inner.begin(), inner.end());
    return p;
  }

 private:
  static void corner(std::vector<Pt>& p, double cx, double cy, double r, double a0, double a1) {
    for (int i = 0; i <= 6; ++i) {
      const double a = (a0 + (a1 - a0) * i / 6) * kPi / 180;
      p.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
  }

  void set(Colour c) { cairo_set_source_rgba(cr_, c.r, c.g, c.b, c.a); }
  void outline() {
    cairo_set_line_width(cr_, line_);
    set(kInk);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr_);
  }
  void trace(const std::vector<Pt>& px, bool closed) {
    cairo_new_path(cr_);
    for (size_t i = 0; i < px.size(); ++i) {
      if (i == 0)
        cairo_move_to(cr_, px[i].x, px[i].y);
      else
        cairo_line_to(cr_, px[i].x, px[i].y);
    }
    if (closed) cairo_close_path(cr_);
  }

  /// Units to pixels, with the pen's wobble: each edge is cut into short
  /// pieces whose points move sideways along a smooth random curve.
  std::vector<Pt> wobbled(const std::vector<Pt>& units, bool closed, double amount = 1.0) {
    std::vector<Pt> px;
    const double amplitude = wobble_ * amount;
    std::uniform_real_distribution<double> phase(0, 2 * kPi);
    const double p1 = phase(rng_), p2 = phase(rng_);
    const size_t n = units.size();
    const size_t edges = closed ? n : n - 1;
    double travelled = 0;
    for (size_t i = 0; i < edges; ++i) {
      const Pt a{units[i].x * scale_, units[i].y * scale_};
      const Pt b{units[(i + 1) % n].x * scale_, units[(i + 1) % n].y * scale_};
      const double length = std::hypot(b.x - a.x, b.y - a.y);
      const int pieces = amplitude > 0 ? std::max(1, static_cast<int>(length / 2.5)) : 1;
      const double nx = length > 0 ? -(b.y - a.y) / length : 0, ny = length > 0 ? (b.x - a.x) / length : 0;
      for (int k = 0; k < pieces; ++k) {
        const double t = static_cast<double>(k) / pieces;
        const double s = travelled + t * length;
        const double off = amplitude * (0.65 * std::sin(s / 5.0 + p1) + 0.35 * std::sin(s / 2.3 + p2));
        px.push_back({a.x + (b.x - a.x) * t + nx * off, a.y + (b.y - a.y) * t + ny * off});
      }
      travelled += length;
    }
    if (!closed) px.push_back({units[n - 1].x * scale_, units[n - 1].y * scale_});
    return px;
  }

  cairo_t* cr_;
  int size_;
  double scale_;
  double line_;
  double wobble_;
  std::mt19937 rng_;
};

// ----- Parts shared by several pictures -------------------------------------

/// A photo card: white border, sky, hill and sun.
void photo(Pen& pen, double x, double y, double w, double h) {
  pen.shape(pen.roundRect(x, y, w, h, 1.5), kWhite);
  const double inset = std::max(1.6, w * 0.12);
  const auto inner = pen.rect(x + inset, y + inset, w - 2 * inset, h - 2 * inset);
  pen.fill(inner, kLightBlue);
  pen.clipTo(inner);
  const double ix = x + inset, iy = y + inset, iw = w - 2 * inset, ih = h - 2 * inset;
  pen.fill({{ix - 1, iy + ih + 1}, {ix - 1, iy + ih * 0.7}, {ix + iw * 0.35, iy + ih * 0.35},
            {ix + iw * 0.65, iy + ih * 0.7}, {ix + iw * 0.8, iy + ih * 0.55}, {ix + iw + 1, iy + ih * 0.8},
            {ix + iw + 1, iy + ih + 1}},
           kHill);
  pen.dot(ix + iw * 0.75, iy + ih * 0.3, std::min(iw, ih) * 0.16, kSun);
  pen.noClip();
  pen.line(inner, true, 0.6);
}

/// A sheet of paper with a folded corner.
void sheet(Pen& pen, double x, double y, double w, double h, double fold = 6) {
  pen.shape({{x, y}, {x + w - fold, y}, {x + w, y + fold}, {x + w, y + h}, {x, y + h}}, kPaper);
  pen.shape({{x + w - fold, y}, {x + w - fold, y + fold}, {x + w, y + fold}}, kPaperShade);
}

/// Text lines on a sheet.
void textLines(Pen& pen, double x, double y, double w, int count, double gap) {
  for (int i = 0; i < count; ++i) {
    const double length = (i % 3 == 2) ? w * 0.6 : w;
    pen.stroke({{x, y + i * gap}, {x + length, y + i * gap}}, hex(0x8d96a0), pen.small() ? 1.9 : 1.5);
  }
}

void folderBack(Pen& pen) {
  pen.shape({{2, 5}, {11, 5}, {13.5, 8}, {28, 8}, {28, 28}, {2, 28}}, kFolderBack);
}
void folderFront(Pen& pen, bool open) {
  if (open)
    pen.shape({{6, 13}, {31, 13}, {28, 28}, {2, 28}}, kFolderFront);
  else
    pen.shape({{2, 12}, {28, 12}, {28, 28}, {2, 28}}, kFolderFront);
}

void badge(Pen& pen, Colour colour) { pen.shape(pen.circle(16, 16, 13.5), colour); }

// ----- The pictures ----------------------------------------------------------

void drawNew(Pen& pen) {
  sheet(pen, 5, 2, 20, 27, 7);
  if (!pen.small()) textLines(pen, 9, 13, 11, 2, 4);
  pen.shape(pen.star(23.5, 23.5, 8, 3.8, 5), kGold);
}

void drawAdd(Pen& pen) {
  badge(pen, kGreen);
  pen.stroke({{16, 8.5}, {16, 23.5}}, kWhite, 4.2);
  pen.stroke({{8.5, 16}, {23.5, 16}}, kWhite, 4.2);
}

void drawInFiles(Pen& pen) {
  photo(pen, 11, 2.5, 19, 16);
  photo(pen, 2, 12, 20, 17);
}

void drawInFolder(Pen& pen) {
  folderBack(pen);
  photo(pen, 7, 3, 17, 14);
  folderFront(pen, true);
}

void drawOutFolder(Pen& pen) {
  folderBack(pen);
  folderFront(pen, false);
  pen.shape(pen.arrow({12, 23}, {30.5, 4.5}, 5, 12, 8), kGreen);
}

void drawFavFolder(Pen& pen) {
  folderBack(pen);
  folderFront(pen, false);
  pen.shape(pen.star(22.5, 21.5, 9.5, 4.4, 5), kGold);
}

void drawOutFormat(Pen& pen) {
  sheet(pen, 5, 1.5, 22, 29, 7);
  photo(pen, 8, 8, 16, 12);
  pen.shape(pen.rect(5, 22.5, 22, 8), kOrange);
  if (!pen.small()) {
    pen.dot(11, 26.5, 1.3, kWhite);
    pen.dot(16, 26.5, 1.3, kWhite);
    pen.dot(21, 26.5, 1.3, kWhite);
  }
}

void listSheet(Pen& pen, double x) {
  sheet(pen, x, 2, 17, 27, 6);
  textLines(pen, x + 3.5, pen.small() ? 11 : 11, 10, pen.small() ? 3 : 4, pen.small() ? 5 : 4.2);
}

void drawImportFiles(Pen& pen) {
  listSheet(pen, 13);
  pen.shape(pen.arrow({1.5, 19}, {20, 19}, 6, 14, 8), kGreen);
}

void drawExportFiles(Pen& pen) {
  listSheet(pen, 2);
  pen.shape(pen.arrow({12, 19}, {30.5, 19}, 6, 14, 8), kBlue);
}

void drawExit(Pen& pen) {
  pen.shape(pen.rect(4, 2.5, 16, 27), kLightGrey);
  pen.shape({{4, 2.5}, {14, 5.5}, {14, 30.5}, {4, 29.5}}, kBrown);
  pen.dot(11.5, 17, 1.4, kInk);
  pen.shape(pen.arrow({14, 16}, {31, 16}, 6, 14, 8), kRed);
}

void drawCopy(Pen& pen) {
  sheet(pen, 3, 2, 17, 21, 5);
  if (!pen.small()) textLines(pen, 6, 10, 8, 2, 4);
  sheet(pen, 12, 9, 17, 21, 5);
  textLines(pen, 15, pen.small() ? 17 : 17, 10, pen.small() ? 2 : 3, pen.small() ? 5 : 4);
}

void drawDelete(Pen& pen) {
  pen.inkedStroke({{7, 7}, {25, 25}}, kRed, pen.small() ? 5.6 : 5.2);
  pen.inkedStroke({{25, 7}, {7, 25}}, kRed, pen.small() ? 5.6 : 5.2);
  // Redraw the first bar's middle so the cross reads as two crossing bars.
  pen.stroke({{12, 12}, {20, 20}}, kRed, pen.small() ? 5.6 : 5.2);
}

void drawSelectAll(Pen& pen) {
  pen.fill(pen.rect(3, 3, 26, 26), hex(0x3d8fdc, 0.14));
  pen.dashed(pen.rect(3, 3, 26, 26), kBlue, pen.small() ? 2.0 : pen.size() * 0.13);
  const Colour tiles[] = {hex(0x3d8fdc), hex(0x55b24f), hex(0xf39a2e), hex(0xe0483f)};
  int i = 0;
  for (double y : {7.5, 17.0})
    for (double x : {7.5, 17.0}) pen.shape(pen.roundRect(x, y, 7.5, 7.5, 1.2), tiles[i++]);
}

void cycleArrows(Pen& pen, double cx, double cy, double r, double width, Colour a, Colour b) {
  pen.shape(pen.arcArrow(cx, cy, r, width, 200, 340, width * 1.3), a);
  pen.shape(pen.arcArrow(cx, cy, r, width, 20, 160, width * 1.3), b);
}

void drawConvert(Pen& pen) { cycleArrows(pen, 16, 16, 10.5, 5.2, kGreen, kBlue); }

void drawConvertButton(Pen& pen) {
  cycleArrows(pen, 16, 16, 12, 4.6, kGreen, kBlue);
  photo(pen, 9.5, 10.5, 13, 11);
}

void drawError(Pen& pen) {
  badge(pen, kRed);
  pen.stroke({{16, 8}, {16, 17.5}}, kWhite, 4.4);
  pen.dot(16, 23.5, 2.5, kWhite);
}

void drawPreferences(Pen& pen) {
  std::vector<Pt> gear;
  const int teeth = 8;
  for (int i = 0; i < teeth * 4; ++i) {
    const double r = (i % 4 == 0 || i % 4 == 1) ? 14 : 10.5;
    const double a = (i * 360.0 / (teeth * 4) + 5.6) * kPi / 180;
    gear.push_back({16 + r * std::cos(a), 16 + r * std::sin(a)});
  }
  pen.shape(gear, kGrey);
  pen.shape(pen.circle(16, 16, 4.6), kLightGrey);
}

void drawCustomConverter(Pen& pen) {
  pen.inkedStroke({{19.5, 19.5}, {28.5, 28.5}}, kBrown, 5);
  pen.shape(pen.circle(13, 13, 10), kLightBlue);
  if (!pen.small()) {
    pen.shape(pen.arcArrow(13, 13, 5.5, 2.4, 200, 340, 3), kGreen);
    pen.shape(pen.arcArrow(13, 13, 5.5, 2.4, 20, 160, 3), kBlue);
  } else {
    pen.stroke(pen.arc(13, 13, 6, 200, 290), kWhite, 2.4);
  }
}

void drawHelp(Pen& pen) {
  badge(pen, kBlue);
  std::vector<Pt> hook = pen.arc(16, 12.5, 4.8, 190, 400);
  hook.push_back({16, 18.5});
  pen.stroke(hook, kWhite, 4.0);
  pen.dot(16, 24, 2.4, kWhite);
}

void drawEmail(Pen& pen) {
  pen.shape(pen.rect(2, 7, 28, 19), hex(0xfff8e6));
  pen.line({{2.5, 25.5}, {12.5, 16}}, false, 0.8);
  pen.line({{29.5, 25.5}, {19.5, 16}}, false, 0.8);
  pen.shape({{2, 7}, {30, 7}, {16, 19}}, hex(0xf4e3bd));
}

void drawWeb(Pen& pen) {
  const auto globe = pen.circle(16, 16, 13.5);
  pen.fill(globe, hex(0x5aaeea));
  pen.clipTo(globe);
  pen.fill({{4, 6}, {12, 4}, {15, 9}, {12, 14}, {14, 19}, {10, 24}, {6, 19}, {3, 14}}, kHill);
  pen.fill({{19, 13}, {26, 10}, {30, 15}, {28, 23}, {22, 27}, {20, 21}}, kHill);
  pen.noClip();
  pen.line(pen.ellipse(16, 16, 6, 13.5), true, 0.55);
  pen.line({{2.5, 16}, {29.5, 16}}, false, 0.55);
  pen.line(globe, true);
}

void drawUpdates(Pen& pen) {
  pen.shape({{2, 18}, {9, 18}, {11.5, 22.5}, {20.5, 22.5}, {23, 18}, {30, 18}, {30, 29}, {2, 29}}, kGrey);
  pen.shape(pen.arrow({16, 1.5}, {16, 22}, 7.5, 17, 9), kGreen);
}

void drawAbout(Pen& pen) {
  badge(pen, kBlue);
  pen.dot(16, 9.2, 2.5, kWhite);
  pen.stroke({{16, 14.5}, {16, 23.5}}, kWhite, 4.4);
}

struct Picture {
  const char* file;  ///< file stem in the package
  const char* name;  ///< image name the window looks up
  std::function<void(Pen&)> draw;
};

const std::vector<Picture>& pictures() {
  static const std::vector<Picture> list{
      {"new", "New", drawNew},
      {"add", "Add", drawAdd},
      {"infiles", "InFiles", drawInFiles},
      {"infolder", "InFolder", drawInFolder},
      {"outfolder", "OutFolder", drawOutFolder},
      {"outformat", "OutFormat", drawOutFormat},
      {"favfolder", "FavFolder", drawFavFolder},
      {"importfiles", "ImportFiles", drawImportFiles},
      {"exportfiles", "ExportFiles", drawExportFiles},
      {"exit", "Exit", drawExit},
      {"copy", "Copy", drawCopy},
      {"delete", "Delete", drawDelete},
      {"selectall", "SelectAll", drawSelectAll},
      {"convert", "Convert", drawConvert},
      {"error", "Error", drawError},
      {"preferences", "Preferences", drawPreferences},
      {"customconverter", "CustomConverter", drawCustomConverter},
      {"help", "Help", drawHelp},
      {"email", "Email", drawEmail},
      {"web", "Web", drawWeb},
      {"updates", "Updates", drawUpdates},
      {"about", "About", drawAbout},
  };
  return list;
}

uint32_t seedOf(const std::string& text, int size) {
  uint32_t h = 2166136261u;
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  return h ^ static_cast<uint32_t>(size * 7919);
}

bool render(const std::string& path, const std::string& stem, int size, const std::function<void(Pen&)>& draw) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(surface);
  Pen pen(cr, size, seedOf(stem, size));
  draw(pen);
  cairo_destroy(cr);
  const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  // The application icon (the Convert button's picture) for the desktop's
  // icon theme: trovabild_SIZE.png at the sizes of hicolor's folders.
  if (argc == 3 && std::string(argv[1]) == "--app-icon") {
    bool ok = true;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
      ok &= render(std::string(argv[2]) + "/trovabild_" + std::to_string(size) + ".png", "button_convert", size,
                   drawConvertButton);
    return ok ? 0 : 1;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR | --app-icon OUTDIR\n", argv[0]);
    return 2;
  }
  const std::string out = std::string(argv[1]) + "/";
  bool ok = true;
  std::string cfg = "[Theme]\r\nName=Hand-drawn\r\n\r\n[Buttons]\r\n";
  ok &= render(out + "button_convert.png", "button_convert", 64, drawConvertButton);
  ok &= render(out + "button_infiles.png", "button_infiles", 48, drawInFiles);
  ok &= render(out + "button_infolder.png", "button_infolder", 48, drawInFolder);
  cfg += "Convert=button_convert.png\r\nInFiles=button_infiles.png\r\nInFolder=button_infolder.png\r\n\r\n[Icons]\r\n";
  for (const Picture& picture : pictures()) {
    for (int size : {16, 24, 32, 48, 64})
      ok &= render(out + picture.file + "_" + std::to_string(size) + ".png", picture.file, size, picture.draw);
    cfg += std::string(picture.name) + "=" + picture.file + "\r\n";
  }
  FILE* file = std::fopen((out + "theme.cfg").c_str(), "wb");
  if (!file) return 1;
  std::fwrite(cfg.data(), 1, cfg.size(), file);
  std::fclose(file);
  return ok ? 0 : 1;
}
