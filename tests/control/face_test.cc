// The face as data: what it shows, and which writes change it.
#include "control/face.h"

#include <gtest/gtest.h>

#include "control/headless_site.h"
#include "control_fixture.h"

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

// Every face starts from the design captions of the layout; a caption set on one face is
// that face's alone, and setting a label back to its design text is a change like any other.
TEST(FaceState, ACaptionSetOnOneFaceLeavesEveryOtherFaceAsItWas) {
  FaceState a, b;
  EXPECT_TRUE(a.SetCaption(Child::lblValeur, u"Autre :"));
  EXPECT_TRUE(b.SetCaption(Child::txtNTF, u"N:T.F"));
  EXPECT_EQ(a.caption(Child::lblValeur), u"Autre :");
  EXPECT_EQ(b.caption(Child::lblValeur), u"Valeur :");
  EXPECT_EQ(a.caption(Child::txtNTF), u"?");
  EXPECT_TRUE(a.SetCaption(Child::lblValeur, u"Valeur :"));
  EXPECT_EQ(a.caption(Child::lblValeur), u"Valeur :");
  EXPECT_EQ(a.revision(), 2u);
  const FaceState fresh;
  for (const FaceChild& child : kFace) {
    EXPECT_EQ(fresh.caption(child.id), child.design_text) << child.name;
  }
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

// A site that counts the label changes it hears of and never looks at the face, as a
// display nobody draws.
class CountingSite final : public ControlSite {
 public:
  void LabelChanged(Child label) noexcept override { ++changes[static_cast<size_t>(label)]; }
  bool PropertyChanged(const ControlProperty&) noexcept override { return true; }
  bool EnableTimer(bool) noexcept override { return true; }
  UserMode AmbientUserMode() noexcept override { return UserMode::kRun; }
  int of(Child label) const { return changes[static_cast<size_t>(label)]; }
  std::array<int, kChildCount> changes{};
};

using ControlFace = testing::ControlTest;

TEST_F(ControlFace, TheControlKeepsItsFaceAndReportsOnlyLabelsThatChanged) {
  HeadlessSite headless;
  QuillonPD pd(headless, services());
  pd.put_NTF(u"A:B.C");
  pd.MaJNTF(u"7", u"7", 1, testing::At(1));
  pd.put_NTF(u"A:B.C");
  EXPECT_EQ(pd.face().caption(Child::txtNTF), u"A:B.C");
  EXPECT_EQ(pd.face().caption(Child::txtStatut), u"Mauvaise");
  EXPECT_EQ(pd.face().colour(Child::txtStatut), kColourRed);
  // txtNTF, txtValeur, txtValeurFormatee, txtStatut (caption and colour), txtHeureDernLect.
  EXPECT_EQ(pd.face().revision(), 6u);
}

// A display reads far more often than it is drawn: the time of the last read is formatted
// when the face is looked at, and the site hears of the label once until then.
TEST_F(ControlFace, TheTimeOfTheLastReadIsWrittenWhenTheFaceIsLookedAt) {
  CountingSite site;
  QuillonPD pd(site, services());
  pd.MaJNTF(u"1", u"1", 0, testing::At(1));
  pd.MaJNTF(u"1", u"1", 0, testing::At(2));
  EXPECT_EQ(site.of(Child::txtHeureDernLect), 1);
  EXPECT_EQ(site.of(Child::txtValeur), 1);
  EXPECT_EQ(site.of(Child::txtStatut), 1);
  EXPECT_EQ(pd.face().caption(Child::txtHeureDernLect), u"07/12/2026 14:00:02");
  pd.MaJNTF(u"1", u"1", 0, testing::At(2));  // the same date: nothing to draw
  EXPECT_EQ(site.of(Child::txtHeureDernLect), 1);
  pd.MaJNTF(u"1", u"1", 0, testing::At(3));
  EXPECT_EQ(site.of(Child::txtHeureDernLect), 2);
  EXPECT_EQ(pd.get_HorodatageDernLect(), u"07/12/2026 14:00:03");
  EXPECT_EQ(pd.face().caption(Child::txtHeureDernLect), u"07/12/2026 14:00:03");
}

// A steady point reads the texts it shows: they are not shown again. Texts set anew by a
// reset or by new settings are shown again when a read brings them.
TEST_F(ControlFace, ValuesReadAgainAfterAResetAreShownAgain) {
  CountingSite site;
  QuillonPD pd(site, services());
  pd.MaJNTF(u"7", u"7,0", 1, testing::At(1));
  pd.MaJNTF(u"7", u"7,0", 1, testing::At(2));
  EXPECT_EQ(site.of(Child::txtValeur), 1);
  EXPECT_EQ(site.of(Child::txtStatut), 1);
  pd.InitProperties();  // the values become "?", the labels still show 7
  pd.MaJNTF(u"?", u"?", 1, testing::At(3));
  EXPECT_EQ(pd.face().caption(Child::txtValeur), u"?");
  EXPECT_EQ(pd.face().caption(Child::txtValeurFormatee), u"?");
  pd.MaJNTF(u"7", u"7,0", 1, testing::At(4));
  pd.Reset();
  pd.MaJNTF(Text(), Text(), 0, testing::At(5));
  EXPECT_EQ(pd.face().caption(Child::txtValeur), u"");
  EXPECT_EQ(pd.face().caption(Child::txtStatut), u"Ok");
  EXPECT_EQ(site.of(Child::txtValeur), 4);
}

}  // namespace
}  // namespace quillon
