// Where quillon-host's editor finds, moves and places controls.
#include "layout.h"

#include <gtest/gtest.h>

namespace quillon::host {
namespace {

class LayoutTest : public ::testing::Test {
 protected:
  // Adds a box and returns its index.
  int Put(int left, int top, int width, int height) {
    boxes_.push_back({left, top, width, height});
    return static_cast<int>(boxes_.size()) - 1;
  }
  Box Free(int width, int height, int area_width = 640) {
    return FreePlace(boxes_, width, height, area_width, 8);
  }
  void Name(const std::string& name) {
    DisplayControl c;
    c.name = name;
    display_.controls.push_back(c);
  }

  std::vector<Box> boxes_;
  Display display_;
};

TEST_F(LayoutTest, HitTestFindsTheTopmostBoxAndHonoursItsEdges) {
  const int under = Put(10, 10, 100, 50);
  const int over = Put(60, 30, 100, 50);
  EXPECT_EQ(HitTest(boxes_, 10, 10), under);   // top left pixel is inside
  EXPECT_EQ(HitTest(boxes_, 109, 59), over);   // both hold it: the later one is on top
  EXPECT_EQ(HitTest(boxes_, 159, 79), over);   // bottom right pixel of the later one
  EXPECT_EQ(HitTest(boxes_, 160, 79), -1);     // right edge is outside
  EXPECT_EQ(HitTest(boxes_, 30, 60), -1);      // bottom edge is outside
  EXPECT_EQ(HitTest({}, 0, 0), -1);
}

TEST_F(LayoutTest, MovesKeepTheBoxInsideTheAreaTopAndLeft) {
  const Box b{20, 30, 100, 50};
  EXPECT_EQ(MovedBy(b, 5, -7), (Box{25, 23, 100, 50}));
  EXPECT_EQ(MovedBy(b, -50, -50), (Box{0, 0, 100, 50}));
  EXPECT_EQ(MovedBy(b, 1000, 0), (Box{1020, 30, 100, 50}));
}

TEST_F(LayoutTest, FreePlaceFillsRowsLeftToRightThenGoesBelow) {
  EXPECT_EQ(Free(285, 155), (Box{8, 8, 285, 155}));  // empty display: top left corner
  Put(8, 8, 285, 155);
  EXPECT_EQ(Free(285, 155), (Box{301, 8, 285, 155}));  // beside it, a gap apart
  Put(301, 8, 285, 155);
  EXPECT_EQ(Free(285, 155), (Box{8, 171, 285, 155}));  // the row is full: below
  EXPECT_EQ(Free(30, 20), (Box{594, 8, 30, 20}));      // a small one still fits in the row
}

TEST_F(LayoutTest, FreePlaceUsesAHoleAndNeverOverlaps) {
  Put(8, 8, 100, 100);
  Put(250, 8, 100, 100);
  Put(8, 116, 400, 50);
  EXPECT_EQ(Free(120, 90), (Box{116, 8, 120, 90}));  // between the first two
  const Box big = Free(200, 90);                     // too wide for the hole
  for (const Box& b : boxes_) EXPECT_FALSE(big.Overlaps(b)) << big.left << "," << big.top;
  EXPECT_EQ(big, (Box{358, 8, 200, 90}));
}

TEST_F(LayoutTest, FreePlaceWiderThanTheAreaTakesTheFirstRowWithRoom) {
  Put(8, 8, 100, 100);
  Put(8, 200, 50, 30);
  EXPECT_EQ(Free(900, 40, 640), (Box{8, 116, 900, 40}));  // between the two
  EXPECT_EQ(Free(900, 90, 640), (Box{8, 238, 900, 90}));  // too high for that: below all
}

TEST_F(LayoutTest, NewNamesComeFromTheClassAndAreUniqueWithoutRegardToCase) {
  EXPECT_EQ(NewControlName(display_, "HN_QuillonPD.QuillonPD"), "QuillonPD1");
  Name("quillonpd1");
  Name("QuillonPD3");
  EXPECT_EQ(NewControlName(display_, "HN_QuillonPD.QuillonPD"), "QuillonPD2");
  EXPECT_EQ(NewControlName(display_, "{E5BC90C5-6394-4CF3-85F1-0C1F761E8E28}"), "Control1");
  EXPECT_EQ(NewControlName(display_, "Vendor.9Lives"), "Control1");
}

}  // namespace
}  // namespace quillon::host
