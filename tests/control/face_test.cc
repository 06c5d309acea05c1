// The face as data: what it shows, and which writes change it.
#include "control/face.h"

#include <gtest/gtest.h>

#include "control/headless_site.h"

namespace quillon {
namespace {

TEST(FaceState, ReportsOnlyWritesThatChangeWhatALabelShows) {
  FaceState face;
  EXPECT_EQ(face.caption(Child::txtValeur), u"?");
  EXPECT_EQ(face.caption(Child::lblHeureDernLect), u"Dernière lecture :");
  EXPECT_FALSE(face.SetCaption(Child::txtValeur, u"?"));  // the design text already
  EXPECT_FALSE(face.SetColour(Child::txtStatut, kSurfaceTextColour));
  EXPECT_EQ(face.revision(), 0u);
  EXPECT_TRUE(face.SetCaption(Child::txtStatut, u"Mauvaise"));
  EXPECT_TRUE(face.SetColour(Child::txtStatut, kColourRed));
  EXPECT_FALSE(face.SetCaption(Child::txtStatut, u"Mauvaise"));
  EXPECT_FALSE(face.SetColour(Child::txtStatut, kColourRed));
  EXPECT_EQ(face.revision(), 2u);
  EXPECT_EQ(face.colour(Child::txtStatut), kColourRed);
}

// Labels show the surface's text colour until one is given them; black given at run time is
// a colour of the label's own, not the surface's.
TEST(FaceState, LabelsTakeTheSurfacesTextColourUntilGivenOneOfTheirOwn) {
  FaceState face;
  for (const FaceChild& child : kFace) EXPECT_EQ(face.colour(child.id), kSurfaceTextColour);
  EXPECT_TRUE(face.SetColour(Child::txtStatut, kColourBlack));
  EXPECT_EQ(face.colour(Child::txtStatut), kColourBlack);
  EXPECT_EQ(face.colour(Child::txtValeur), kSurfaceTextColour);
  EXPECT_EQ(face.revision(), 1u);
}

TEST(LabelTextTest, NulEndsTheTextAccessKeysApplyWhereTheLabelUsesThem) {
  const struct {
    Child label;
    std::u16string_view caption, shown;
  } cases[] = {
      {Child::txtValeur, u"A&B", u"AB"},        {Child::txtNTF, u"N&1:T.F", u"N&1:T.F"},
      {Child::txtValeur, u"a&&b", u"a&b"},      {Child::txtValeur, u"end&", u"end"},
      {Child::txtValeur, {u"12\0x", 4}, u"12"}, {Child::txtNTF, u"x\ty\x85", u"x?y?"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LabelText(FaceOf(c.label), c.caption), c.shown) << ToUtf8(c.caption);
  }
}

TEST(FaceState, AHeadlessSiteKeepsTheFaceItsControlWrites) {
  HeadlessSite site;
  site.SetCaption(Child::txtNTF, u"A:B.C");
  site.SetForeColor(Child::txtStatut, kColourRed);
  site.SetCaption(Child::txtNTF, u"A:B.C");
  EXPECT_EQ(site.face().caption(Child::txtNTF), u"A:B.C");
  EXPECT_EQ(site.face().revision(), 2u);
}

}  // namespace
}  // namespace quillon
