// Where controls sit in a display being edited: hit-testing, moves and the search for a free
// place for a new control. Boxes are in the pixels of the display's client area.
#pragma once

#include <string>
#include <vector>

#include "display_file.h"

namespace quillon::host {

struct Box {
  int left = 0, top = 0, width = 0, height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool Contains(int x, int y) const;
  // True when the two boxes share at least one pixel.
  bool Overlaps(const Box& other) const;
  bool operator==(const Box&) const = default;
};

// The index of the box that holds the point, the last one when several do (it is drawn
// on top), or -1.
int HitTest(const std::vector<Box>& boxes, int x, int y);

// The box moved by (dx, dy), kept right of and below the area's top left corner.
Box MovedBy(const Box& box, int dx, int dy);

// A place for a box of this size that keeps `gap` pixels from every box and from the area's
// edges: the highest one, then the leftmost, among those fitting within `area_width`; below
// every box when none fits.
Box FreePlace(const std::vector<Box>& boxes, int width, int height, int area_width, int gap);

// A control name that the display does not use yet (without regard to case): the class's
// last dotted part (or "Control") followed by the smallest number from 1 that is free.
std::string NewControlName(const Display& display, const std::string& class_name);

}  // namespace quillon::host
