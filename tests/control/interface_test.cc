// The members of _QuillonPD: accessors, the discarding puts, MaJNTF and the face it writes.
#include "control_fixture.h"

namespace quillon::testing {
namespace {

using ::testing::ElementsAre;
using Interface = ControlTest;

TEST_F(Interface, UnboundControlShowsTheLiteralButStoresNothing) {
  pd_.InitProperties();
  pd_.Show();
  EXPECT_EQ(pd_.get_NTF(), u"Noeud:Tag.Field");
  EXPECT_EQ(Caption(Child::txtNTF), u"");
  EXPECT_EQ(Saved()[u"strNTF"], BagValue(Text()));
  pd_.put_NTF(u"Noeud:Tag.Field");  // the literal itself is stored like any reference
  EXPECT_EQ(pd_.fields().strNTF, u"Noeud:Tag.Field");
}

TEST_F(Interface, PutNTFStoresShowsNotifiesThenAppliesTheMode) {
  pd_.InitProperties();
  clock_.Set(At(5));
  pd_.put_NTF(u"any text, unchecked");
  EXPECT_THAT(log_.lines(), ElementsAre("caption txtNTF=any text, unchecked", "changed strNTF",
                                        "usermode?", "timer on"));
  EXPECT_EQ(pd_.fields().dtmDateDemarrage, At(5));
  log_.Clear();
  site_.mode = UserMode::kDesign;
  pd_.put_NTF(u"A:B.C");
  EXPECT_THAT(log_.lines(), ElementsAre("caption txtNTF=A:B.C", "changed strNTF", "usermode?",
                                        "timer off", "fermer"));
}

TEST_F(Interface, PatternsPercentShowsLiterallyAndFormatageTouchesNoCaption) {
  StartNew();
  pd_.MaJNTF(u"12", u"12", 0, At(1));
  log_.Clear();
  pd_.put_Formatage(u"0 %");
  EXPECT_THAT(log_.lines(), ElementsAre("changed strFormat", "usermode?", "timer on"));
  EXPECT_EQ(pd_.get_Valeur(), u"12 %");
  EXPECT_EQ(pd_.get_ValeurFormatee(), u"12 %");
  EXPECT_EQ(Caption(Child::txtValeur), u"12");
}

TEST_F(Interface, ValeurNombreUnderFrenchRules) {
  StartNew();
  EXPECT_EQ(pd_.fields().strValeur, u"?");
  EXPECT_EQ(pd_.get_ValeurNombre(), 0);
  pd_.MaJNTF(u"", u"", 0, At(1));
  EXPECT_EQ(pd_.get_ValeurNombre(), 0);
  pd_.MaJNTF(u"0,1", u"", 0, At(1));
  EXPECT_NEAR(pd_.get_ValeurNombre(), 0.100000001490116, 1e-15);
  pd_.MaJNTF(u"0.1", u"", 0, At(1));
  EXPECT_EQ(pd_.get_ValeurNombre(), static_cast<double>(0.1f));
}

TEST_F(Interface, QualityTextsAndColoursByByte) {
  pd_.InitProperties();
  EXPECT_EQ(pd_.get_Qualite(), u"-2");
  const struct {
    uint8_t byte;
    const char16_t* qualite;
    const char16_t* statut;
    bool red;
  } cases[] = {{0, u"0", u"Ok", false},       {1, u"1", u"Mauvaise", true},
               {2, u"2", u"Maintenue", true}, {250, u"250", u"", false},
               {251, u"-5", u"", false},      {254, u"-2", u"?", false},
               {255, u"-1", u"", false}};
  Text statut = u"?";                     // the design caption
  uint32_t colour = kSurfaceTextColour;  // the surface's until a quality is shown
  for (const auto& c : cases) {
    SCOPED_TRACE(c.byte);
    log_.Clear();
    pd_.MaJNTF(u"v", u"f", c.byte, At(1));
    EXPECT_EQ(pd_.get_Qualite(), c.qualite);
    // The text in black, or in red for the two bad codes; the site hears of what changed
    // since the previous code, the caption first.
    const uint32_t shown = c.red ? kColourRed : kColourBlack;
    std::vector<std::string> expected;
    if (statut != c.statut) expected.push_back("caption txtStatut=" + ToUtf8(c.statut));
    if (colour != shown) expected.push_back("colour txtStatut=" + std::to_string(shown));
    EXPECT_EQ(LinesOf("txtStatut"), expected);
    EXPECT_EQ(pd_.face().caption(Child::txtStatut), c.statut);
    EXPECT_EQ(pd_.face().colour(Child::txtStatut), shown);
    statut = c.statut;
    colour = shown;
  }
}

TEST_F(Interface, MaJNTFNotifiesFivePropertiesBeforeAnyCaption) {
  StartNew();
  site_.changed_dispids.clear();
  pd_.MaJNTF(u"12.5", u"12,50", 1, At(3));
  EXPECT_THAT(
      log_.lines(),
      ElementsAre("changed Valeur", "changed ValeurNombre", "changed ValeurFormatee",
                  "changed Qualite", "changed HorodatageDernLect", "caption txtValeur=12.5",
                  "caption txtValeurFormatee=12,50", "caption txtHeureDernLect=07/12/2026 14:00:03",
                  "caption txtStatut=Mauvaise", "colour txtStatut=255"));
  // A COM container hears of each change by the property's DISPID.
  EXPECT_THAT(site_.changed_dispids,
              ElementsAre(0x68030005, 0x68030004, 0x68030003, 0x68030001, 0x68030002));
  site_.changed_dispids.clear();
  pd_.put_NTF(u"A:B.C");
  pd_.put_Formatage(u"0");
  pd_.put_Frequence_Rafraichissement(Seconde_10);
  EXPECT_THAT(site_.changed_dispids, ElementsAre(0x68030007, 0x68030006, 0x68030000));
}

TEST_F(Interface, LastReadTextLeavesOutTheZeroDateAndMidnight) {
  pd_.InitProperties();
  EXPECT_EQ(pd_.get_HorodatageDernLect(), u"00:00:00");
  pd_.MaJNTF(u"", u"", 0, DateFromParts(2026, 12, 7));
  EXPECT_EQ(pd_.get_HorodatageDernLect(), u"07/12/2026");
}

TEST_F(Interface, DiscardingPutsAndRafraichirChangeNothing) {
  StartNew();
  pd_.MaJNTF(u"3,5", u"3,50", 2, At(1));
  log_.Clear();
  pd_.put_Valeur(u"x");
  pd_.put_ValeurNombre(42);
  pd_.put_ValeurFormatee(u"y");
  pd_.put_HorodatageDernLect(u"z");
  pd_.put_Qualite(u"0");
  pd_.Rafraichir();
  EXPECT_TRUE(log_.lines().empty());
  EXPECT_EQ(pd_.fields().strValeur, u"3,5");
  EXPECT_EQ(pd_.get_ValeurNombre(), 3.5);
  EXPECT_EQ(pd_.get_ValeurFormatee(), u"3,50");
  EXPECT_EQ(pd_.get_HorodatageDernLect(), u"07/12/2026 14:00:01");
  EXPECT_EQ(pd_.get_Qualite(), u"2");
}

TEST_F(Interface, PeriodOutsideTheTableIsKeptAndSavedButShowsNothingNew) {
  pd_.InitProperties();
  pd_.put_Frequence_Rafraichissement(Minute_02);
  log_.Clear();
  pd_.put_Frequence_Rafraichissement(5);
  EXPECT_THAT(log_.lines(), ElementsAre("changed udtPollTime", "usermode?", "timer on"));
  EXPECT_EQ(pd_.get_Frequence_Rafraichissement(), 5);
  EXPECT_EQ(pd_.fields().lngPeriodeSec, 0);
  EXPECT_EQ(Caption(Child::txtPolltime), u"2 min");
  EXPECT_EQ(Saved()[u"udtPollTime"], BagValue(int32_t{5}));
}

TEST_F(Interface, AFailingStepDoesNotStopTheFollowingOnes) {
  pd_.InitProperties();
  log_.FailOn("caption txtNTF");
  log_.FailOn("changed");
  pd_.put_NTF(u"A:B.C");
  EXPECT_EQ(pd_.fields().strNTF, u"A:B.C");
  EXPECT_TRUE(site_.timer_enabled);
  pd_.MaJNTF(u"7", u"7", 1, At(1));
  EXPECT_EQ(Caption(Child::txtValeur), u"7");
  EXPECT_EQ(Caption(Child::txtStatut), u"Mauvaise");
  EXPECT_EQ(log_.Starting("changed").size(), 6u);  // strNTF, then all five tried
}

}  // namespace
}  // namespace quillon::testing
