#include "control/control_view.h"

#include <cstdio>
#include <string>

namespace quillon {
namespace {

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
