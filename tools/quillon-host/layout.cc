#include "layout.h"

#include <algorithm>
#include <cctype>

namespace quillon::host {
namespace {

bool FitsApart(const std::vector<Box>& boxes, const Box& place, int gap) {
  const Box wide{place.left - gap, place.top - gap, place.width + 2 * gap, place.height + 2 * gap};
  return std::none_of(boxes.begin(), boxes.end(),
                      [&](const Box& b) { return b.width > 0 && b.height > 0 && wide.Overlaps(b); });
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The class's last dotted part when it makes a control name, or "Control".
std::string NameStem(const std::string& class_name) {
  const std::string last = class_name.substr(class_name.rfind('.') + 1);
  const bool starts = !last.empty() && (std::isalpha(static_cast<unsigned char>(last[0])) ||
                                        last[0] == '_');
  const bool rest = std::all_of(last.begin(), last.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
  });
  return starts && rest ? last : "Control";
}

}  // namespace

bool Box::Contains(int x, int y) const {
  return x >= left && x < right() && y >= top && y < bottom();
}

bool Box::Overlaps(const Box& other) const {
  return left < other.right() && other.left < right() && top < other.bottom() &&
         other.top < bottom();
}

int HitTest(const std::vector<Box>& boxes, int x, int y) {
  for (size_t i = boxes.size(); i-- > 0;) {
    if (boxes[i].Contains(x, y)) return static_cast<int>(i);
  }
  return -1;
}

Box MovedBy(const Box& box, int dx, int dy) {
  Box out = box;
  out.left = std::max(0, box.left + dx);
  out.top = std::max(0, box.top + dy);
  return out;
}

Box FreePlace(const std::vector<Box>& boxes, int width, int height, int area_width, int gap) {
  std::vector<int> xs{gap}, ys{gap};
  int lowest = gap;
  for (const Box& b : boxes) {
    xs.push_back(b.right() + gap);
    ys.push_back(b.bottom() + gap);
    lowest = std::max(lowest, b.bottom() + gap);
  }
  std::sort(xs.begin(), xs.end());
  std::sort(ys.begin(), ys.end());
  for (int y : ys) {
    for (int x : xs) {
      if (x > gap && x + width + gap > area_width) break;
      const Box place{x, y, width, height};
      if (FitsApart(boxes, place, gap)) return place;
    }
  }
  return {gap, lowest, width, height};
}

std::string NewControlName(const Display& display, const std::string& class_name) {
  const std::string stem = NameStem(class_name);
  for (int n = 1;; ++n) {
    const std::string name = stem + std::to_string(n);
    const bool used = std::any_of(display.controls.begin(), display.controls.end(),
                                  [&](const DisplayControl& c) { return Lower(c.name) == Lower(name); });
    if (!used) return name;
  }
}

}  // namespace quillon::host
