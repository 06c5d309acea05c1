#include "control_view.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

namespace quillon {
namespace {

struct Cell {
  char32_t ch = U' ';
  uint32_t colour = kColourBlack;
};

// First column whose left edge is at or right of x.
int ColumnFrom(int x, int per) { return x <= 0 ? 0 : (x + per - 1) / per; }
// Column holding the last twip before x.
int ColumnBefore(int x, int per) { return x <= 0 ? -1 : (x - 1) / per; }

std::string ColourStart(uint32_t colour) {
  if (colour == kColourRed) return "\x1b[31m";
  char buf[32];
  std::snprintf(buf, sizeof buf, "\x1b[38;2;%u;%u;%um", colour & 0xFF, (colour >> 8) & 0xFF,
                (colour >> 16) & 0xFF);
  return buf;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// One character per column: a surrogate pair is one character, a lone surrogate U+FFFD.
std::vector<char32_t> CodePoints(TextView text) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      out.push_back(0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00));
    } else {
      out.push_back(c >= 0xD800 && c <= 0xDFFF ? U'\uFFFD' : c);
    }
  }
  return out;
}

std::string RowText(const std::vector<Cell>& cells, bool ansi) {
  std::string out;
  uint32_t current = kColourBlack;
  for (const Cell& cell : cells) {
    if (ansi && cell.colour != current) {
      out += cell.colour == kColourBlack ? "\x1b[0m" : ColourStart(cell.colour);
      current = cell.colour;
    }
    AppendUtf8(cell.ch, &out);
  }
  if (ansi && current != kColourBlack) out += "\x1b[0m";
  return out;
}

void PlaceLabel(const FaceChild& child, const FaceState& face, int per, std::vector<Cell>* cells) {
  const std::vector<char32_t> text = CodePoints(LabelText(child, face.caption(child.id)));
  const int n = static_cast<int>(text.size());
  const int first = child.right_aligned ? ColumnBefore(child.left + child.width, per) - n + 1
                                        : ColumnFrom(child.left, per);
  for (int i = 0; i < n; ++i) {
    const int col = first + i;
    if (col >= 0 && col < static_cast<int>(cells->size())) {
      // The terminal's own text colour stands for the surface's, as black does.
      const uint32_t colour = face.colour(child.id);
      (*cells)[col] = {text[i], colour == kSurfaceTextColour ? kColourBlack : colour};
    }
  }
}

void PlaceLine(const FaceChild& child, int per, std::vector<Cell>* cells) {
  const int last = std::min<int>(child.x2 / per, static_cast<int>(cells->size()) - 1);
  for (int col = ColumnFrom(child.x1, per); col <= last; ++col) (*cells)[col].ch = U'\u2500';
}

size_t Columns(const std::string& utf8) {
  size_t n = 0;
  for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// The bytes of the first `columns` characters.
size_t PrefixBytes(const std::string& utf8, size_t columns) {
  size_t seen = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && seen++ == columns) return i;
  }
  return utf8.size();
}

}  // namespace

std::vector<std::string> RenderFace(const FaceState& face, const RenderOptions& options) {
  const int per = std::max(1, options.twips_per_column);
  const int cols = std::max(0, ColumnFrom(options.width_twips, per));
  std::set<int> tops;
  for (const FaceChild& child : kFace) {
    if (child.kind == ChildKind::kLabel) tops.insert(child.top);
    if (child.kind == ChildKind::kLine) tops.insert(child.y1);
  }
  std::vector<std::string> lines;
  const std::string rule = [&] {
    std::string s;
    for (int i = 0; i < cols; ++i) s += "\u2500";
    return s;
  }();
  if (options.border) lines.push_back("\u250c" + rule + "\u2510");
  for (int top : tops) {
    if (top >= options.height_twips) break;
    std::vector<Cell> cells(cols);
    for (const FaceChild& child : kFace) {
      if (child.kind == ChildKind::kLabel && child.top == top) PlaceLabel(child, face, per, &cells);
      if (child.kind == ChildKind::kLine && child.y1 == top) PlaceLine(child, per, &cells);
    }
    const std::string row = RowText(cells, options.ansi_colours);
    lines.push_back(options.border ? "\u2502" + row + "\u2502" : row);
  }
  if (options.border) lines.push_back("\u2514" + rule + "\u2518");
  return lines;
}

size_t DisplayWidth(const std::string& utf8) {
  size_t width = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == 0x1b) {
      while (i < utf8.size() && utf8[i] != 'm') ++i;
      continue;
    }
    if ((c & 0xC0) != 0x80) ++width;
  }
  return width;
}

std::vector<std::string> SideBySide(const std::vector<std::vector<std::string>>& faces, int gap) {
  size_t height = 0;
  for (const auto& f : faces) height = std::max(height, f.size());
  std::vector<std::string> out(height);
  for (size_t i = 0; i < faces.size(); ++i) {
    const size_t width = faces[i].empty() ? 0 : DisplayWidth(faces[i][0]);
    for (size_t row = 0; row < height; ++row) {
      if (i > 0) out[row] += std::string(static_cast<size_t>(std::max(gap, 0)), ' ');
      out[row] += row < faces[i].size() ? faces[i][row] : std::string(width, ' ');
    }
  }
  return out;
}

std::string QuotedText(TextView text) {
  Text body;
  std::string out = "\"";
  auto flush = [&] {
    out += ToUtf8(body);
    body.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'"' || c == u'\\') {
      body += u'\\';
      body += c;
    } else if (c == 0) {
      // A run of NULs, such as an empty record's padding, as \0 and its length.
      size_t run = 1;
      while (i + run < text.size() && text[i + run] == 0) ++run;
      flush();
      out += run == 1 ? "\\0" : "\\0{" + std::to_string(run) + "}";
      i += run - 1;
    } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) {
      flush();
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(c));
      out += buf;
    } else {
      body += c;
    }
  }
  flush();
  return out + "\"";
}

std::vector<std::string> ValueLines(const QuillonPD& control) {
  char number[40];
  std::snprintf(number, sizeof number, "%.15g", control.get_ValeurNombre());
  return {
      "Valeur             " + QuotedText(control.get_Valeur()),
      "ValeurNombre       " + std::string(number),
      "ValeurFormatee     " + QuotedText(control.get_ValeurFormatee()),
      "Qualite            " + QuotedText(control.get_Qualite()),
      "HorodatageDernLect " + QuotedText(control.get_HorodatageDernLect()),
  };
}

std::vector<std::string> FitLines(const std::vector<std::string>& lines, size_t width) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    std::string fitted = line.substr(0, PrefixBytes(line, width));
    fitted += std::string(width - Columns(fitted), ' ');
    out.push_back(fitted);
  }
  return out;
}

}  // namespace quillon
