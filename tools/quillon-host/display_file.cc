#include "display_file.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace quillon::host {
namespace {

constexpr int kMaxCoordinate = 32767;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

bool IsNameChar(char c, bool first) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') return true;
  return !first && ((c >= '0' && c <= '9') || c == '.' || c == '-');
}

bool IsName(std::string_view s) {
  if (s.empty()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (!IsNameChar(s[i], i == 0)) return false;
  }
  return true;
}

bool ParseInt(std::string_view s, int64_t low, int64_t high, int64_t* out) {
  size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
  if (i == s.size() || s.size() - i > 11) return false;
  int64_t v = 0;
  for (size_t j = i; j < s.size(); ++j) {
    if (s[j] < '0' || s[j] > '9') return false;
    v = v * 10 + (s[j] - '0');
  }
  if (s[0] == '-') v = -v;
  if (v < low || v > high) return false;
  *out = v;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One escape after a backslash at s[*i]; appends its code unit.
bool ParseEscape(std::string_view s, size_t* i, Text* out) {
  if (*i + 1 >= s.size()) return false;
  const char e = s[++*i];
  switch (e) {
    case '\\':
      *out += u'\\';
      return true;
    case '"':
      *out += u'"';
      return true;
    case 'n':
      *out += u'\n';
      return true;
    case 'r':
      *out += u'\r';
      return true;
    case 't':
      *out += u'\t';
      return true;
    case '0':
      *out += u'\0';
      return true;
    case 'u':
      break;
    default:
      return false;
  }
  if (*i + 4 >= s.size()) return false;
  int unit = 0;
  for (int k = 1; k <= 4; ++k) {
    const int d = HexDigit(s[*i + k]);
    if (d < 0) return false;
    unit = unit * 16 + d;
  }
  *i += 4;
  *out += static_cast<char16_t>(unit);
  return true;
}

// A text in double quotes, with backslash escapes; nothing may follow the closing quote.
bool ParseQuoted(std::string_view s, Text* out) {
  if (s.size() < 2 || s.front() != '"') return false;
  out->clear();
  size_t run = 1;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] != '\\' && s[i] != '"') continue;
    *out += FromUtf8(s.substr(run, i - run));
    if (s[i] == '"') return i + 1 == s.size();
    if (!ParseEscape(s, &i, out)) return false;
    run = i + 1;
  }
  return false;
}

bool ParseEntryValue(std::string_view s, EntryValue* out) {
  Text text;
  int64_t n = 0;
  if (ParseQuoted(s, &text)) {
    *out = std::move(text);
  } else if (ParseInt(s, INT32_MIN, INT32_MAX, &n)) {
    *out = static_cast<int32_t>(n);
  } else if (s == "true" || s == "false") {
    *out = s == "true";
  } else {
    return false;
  }
  return true;
}

bool ParsePosition(std::string_view s, DisplayControl* c) {
  std::vector<int64_t> numbers;
  while (!(s = Trim(s)).empty()) {
    const size_t end = s.find_first_of(" \t");
    int64_t n = 0;
    if (!ParseInt(s.substr(0, end), -kMaxCoordinate, kMaxCoordinate, &n)) return false;
    numbers.push_back(n);
    s = end == std::string_view::npos ? std::string_view() : s.substr(end);
  }
  if (numbers.size() != 2 && numbers.size() != 4) return false;
  c->left = static_cast<int>(numbers[0]);
  c->top = static_cast<int>(numbers[1]);
  if (numbers.size() == 4) {
    if (numbers[2] <= 0 || numbers[3] <= 0) return false;
    c->width = static_cast<int>(numbers[2]);
    c->height = static_cast<int>(numbers[3]);
  }
  return true;
}

class Parser {
 public:
  explicit Parser(Display* display) : display_(display) {}

  bool Line(std::string_view line, std::string* error) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') return true;
    if (line[0] == '[') return StartSection(line, error);
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return Fail("expected \"key = value\"", error);
    const std::string_view key = Trim(line.substr(0, eq));
    const std::string_view value = Trim(line.substr(eq + 1));
    if (!IsName(key)) return Fail("bad key \"" + std::string(key) + "\"", error);
    if (!keys_.insert(FoldCase(FromUtf8(key))).second) {
      return Fail("key \"" + std::string(key) + "\" given twice", error);
    }
    if (section_ == kDisplay) return DisplayKey(key, value, error);
    if (section_ == kControl) return ControlKey(key, value, error);
    return Fail("a setting before the first section", error);
  }

  bool Finish(std::string* error) { return EndSection(error); }

  void set_line(int n) { line_ = n; }

 private:
  enum SectionKind { kNone, kDisplay, kControl };

  bool Fail(const std::string& what, std::string* error) const {
    *error = "line " + std::to_string(line_) + ": " + what;
    return false;
  }

  bool StartSection(std::string_view line, std::string* error) {
    if (!EndSection(error)) return false;
    if (line.back() != ']') return Fail("section header without ']'", error);
    const std::string_view inner = Trim(line.substr(1, line.size() - 2));
    keys_.clear();
    if (inner == "display") {
      if (seen_display_) return Fail("second [display] section", error);
      seen_display_ = true;
      section_ = kDisplay;
      return true;
    }
    if (inner.substr(0, 8) != "control " || !IsName(Trim(inner.substr(8)))) {
      return Fail("expected [display] or [control NAME]", error);
    }
    const std::string name(Trim(inner.substr(8)));
    if (!names_.insert(FoldCase(FromUtf8(name))).second) {
      return Fail("control \"" + name + "\" given twice", error);
    }
    display_->controls.emplace_back().name = name;
    section_ = kControl;
    return true;
  }

  bool EndSection(std::string* error) {
    if (section_ == kControl && display_->controls.back().class_name.empty()) {
      return Fail("control \"" + display_->controls.back().name + "\" has no class", error);
    }
    return true;
  }

  bool DisplayKey(std::string_view key, std::string_view value, std::string* error) {
    if (key == "title") {
      if (ParseQuoted(value, &display_->title)) return true;
      return Fail("title wants a text in double quotes", error);
    }
    if (key == "mode") {
      if (value != "run" && value != "design") return Fail("mode is run or design", error);
      display_->run_mode = value == "run";
      return true;
    }
    return Fail("unknown display setting \"" + std::string(key) + "\"", error);
  }

  bool ControlKey(std::string_view key, std::string_view value, std::string* error) {
    DisplayControl& c = display_->controls.back();
    if (key == "class") {
      if (value.empty() || value.find_first_of(" \t\"") != std::string_view::npos) {
        return Fail("class wants a ProgID or a {CLSID}", error);
      }
      c.class_name = value;
      return true;
    }
    if (key == "position") {
      if (ParsePosition(value, &c)) return true;
      return Fail("position wants \"left top\" or \"left top width height\"", error);
    }
    EntryValue v;
    if (!ParseEntryValue(value, &v)) {
      std::string what(1, '"');
      what.append(key).append("\" wants a quoted text, an integer, true or false");
      return Fail(what, error);
    }
    c.bag.push_back({FromUtf8(key), std::move(v)});
    return true;
  }

  Display* display_;
  SectionKind section_ = kNone;
  bool seen_display_ = false;
  int line_ = 0;
  std::set<Text> keys_, names_;
};

void AppendQuoted(TextView text, std::string* out) {
  *out += '"';
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                      text[i + 1] <= 0xDFFF;
    if (pair) {
      *out += ToUtf8(text.substr(i++, 2));
    } else if (c == u'\\' || c == u'"') {
      *out += '\\';
      *out += static_cast<char>(c);
    } else if (c == u'\n' || c == u'\r' || c == u'\t' || c == u'\0') {
      *out += c == u'\n' ? "\\n" : c == u'\r' ? "\\r" : c == u'\t' ? "\\t" : "\\0";
    } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      *out += buf;
    } else {
      *out += ToUtf8(text.substr(i, 1));
    }
  }
  *out += '"';
}

void AppendValue(const EntryValue& v, std::string* out) {
  if (const Text* t = std::get_if<Text>(&v)) {
    AppendQuoted(*t, out);
  } else if (const int32_t* n = std::get_if<int32_t>(&v)) {
    *out += std::to_string(*n);
  } else {
    *out += std::get<bool>(v) ? "true" : "false";
  }
}

}  // namespace

bool ParseDisplay(std::string_view utf8, Display* display, std::string* error) {
  *display = Display{};
  Parser parser(display);
  int n = 0;
  while (!utf8.empty()) {
    const size_t end = utf8.find('\n');
    parser.set_line(++n);
    if (!parser.Line(utf8.substr(0, end), error)) return false;
    utf8 = end == std::string_view::npos ? std::string_view() : utf8.substr(end + 1);
  }
  return parser.Finish(error);
}

std::string WriteDisplay(const Display& display) {
  std::string out = "# quillon-host display (docs/display-file.md)\n\n[display]\n";
  if (!display.title.empty()) {
    out += "title = ";
    AppendQuoted(display.title, &out);
    out += '\n';
  }
  out += display.run_mode ? "mode = run\n" : "mode = design\n";
  for (const DisplayControl& c : display.controls) {
    out += "\n[control " + c.name + "]\nclass = " + c.class_name + "\n";
    out += "position = " + std::to_string(c.left) + " " + std::to_string(c.top);
    if (c.width && c.height)
      out += " " + std::to_string(*c.width) + " " + std::to_string(*c.height);
    out += '\n';
    for (const BagEntry& e : c.bag) {
      out += ToUtf8(e.name) + " = ";
      AppendValue(e.value, &out);
      out += '\n';
    }
  }
  return out;
}

const BagEntry* FindEntry(const std::vector<BagEntry>& bag, TextView name) {
  const Text folded = FoldCase(name);
  for (const BagEntry& e : bag) {
    if (FoldCase(e.name) == folded) return &e;
  }
  return nullptr;
}

void SetEntry(std::vector<BagEntry>* bag, TextView name, EntryValue value) {
  const Text folded = FoldCase(name);
  for (BagEntry& e : *bag) {
    if (FoldCase(e.name) == folded) {
      e.value = std::move(value);
      return;
    }
  }
  bag->push_back({Text(name), std::move(value)});
}

}  // namespace quillon::host
