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
  EXPECT_FALSE(face.SetColour(Child::txtStatut, kColourBlack));
  EXPECT_EQ(face.revision(), 0u);
  EXPECT_TRUE(face.SetCaption(Child::txtStatut, u"Mauvaise"));
  EXPECT_TRUE(face.SetColour(Child::txtStatut, kColourRed));
  EXPECT_FALSE(face.SetCaption(Child::txtStatut, u"Mauvaise"));
  EXPECT_FALSE(face.SetColour(Child::txtStatut, kColourRed));
  EXPECT_EQ(face.revision(), 2u);
  EXPECT_EQ(face.colour(Child::txtStatut), kColourRed);
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
