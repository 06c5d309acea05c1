// The display file of quillon-host: a small UTF-8 text format naming the controls of one
// display, where each one sits, and the property-bag entries it is loaded from.
// docs/display-file.md describes the format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/text.h"

namespace quillon::host {

// A bag entry's value: a text, a 32-bit integer or a boolean.
using EntryValue = std::variant<Text, int32_t, bool>;

struct BagEntry {
  Text name;
  EntryValue value;
  bool operator==(const BagEntry&) const = default;
};

struct DisplayControl {
  std::string name;                  // unique within the display
  std::string class_name;            // a ProgID or a "{CLSID}"
  int left = 0, top = 0;             // pixels at 96 dots per inch, in the display's client area
  std::optional<int> width, height;  // absent: the control's natural size
  std::vector<BagEntry> bag;         // in file order; empty: the control starts with defaults
  bool operator==(const DisplayControl&) const = default;
};

struct Display {
  Text title;
  bool run_mode = false;
  std::vector<DisplayControl> controls;
  bool operator==(const Display&) const = default;
};

// Reads a display file. False with *error ("line N: ...") on the first fault.
bool ParseDisplay(std::string_view utf8, Display* display, std::string* error);

// The display as a file that ParseDisplay reads back to the same display.
std::string WriteDisplay(const Display& display);

// Entry lookups compare names without regard to letter case, as property bags do.
const BagEntry* FindEntry(const std::vector<BagEntry>& bag, TextView name);
// Replaces the entry of that name, or appends one.
void SetEntry(std::vector<BagEntry>* bag, TextView name, EntryValue value);

}  // namespace quillon::host
