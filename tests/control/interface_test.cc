// The members of _QuillonPD: accessors, the discarding puts, MaJNTF and the face it writes.
#include "control_fixture.h"

namespace quillon::testing {
namespace {

using ::testing::ElementsAre;
using Interface = ControlTest;

class InterfaceEnUs : public ControlTest {
 protected:
  InterfaceEnUs() : ControlTest("en-US") {}
};

TEST_F(Interface, UnboundControlShowsTheLiteralButStoresNothing) {
  pd_.InitProperties();
  pd_.Show();
  EXPECT_EQ(pd_.get_NTF(), u"Noeud:Tag.Field");
  EXPECT_EQ(Caption(Child::txtNTF), u"");
  MemoryPropertyBag bag;
  pd_.WriteProperties(bag);
  EXPECT_EQ(bag.entries()[u"strNTF"], BagValue(Text()));

  pd_.put_NTF(u"Noeud:Tag.Field");  // the literal itself is stored like any reference
  EXPECT_EQ(pd_.fields().strNTF, u"Noeud:Tag.Field");
  pd_.put_NTF(u"");
  EXPECT_EQ(pd_.get_NTF(), u"Noeud:Tag.Field");
  EXPECT_EQ(pd_.fields().strNTF, u"");
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
  EXPECT_EQ(pd_.get_Formatage(), u"0 %");
  EXPECT_EQ(pd_.get_Valeur(), u"12 %");
  EXPECT_EQ(pd_.get_ValeurFormatee(), u"12 %");
  EXPECT_EQ(Caption(Child::txtValeur), u"12");

  pd_.put_Formatage(u"0.00");
  pd_.MaJNTF(u"12,5", u"autre", 0, At(1));
  EXPECT_EQ(pd_.get_Valeur(), u"12,50");
  EXPECT_EQ(pd_.get_ValeurFormatee(), u"autre");  // a text that is no number stays text
  pd_.put_Formatage(u"");
  const Text padded = u"12.5" + Text(16, u' ');
  pd_.MaJNTF(padded, u"x", 0, At(1));
  EXPECT_EQ(pd_.get_Valeur(), padded);  // the empty pattern gives the stored text unchanged
}

TEST_F(Interface, ValeurNombreUnderFrenchRules) {
  StartNew();
  EXPECT_EQ(pd_.fields().strValeur, u"?");
  EXPECT_EQ(pd_.get_ValeurNombre(), 0);
  pd_.MaJNTF(u"", u"", 0, At(1));
  EXPECT_EQ(pd_.get_ValeurNombre(), 0);
  const double single_tenth = static_cast<double>(0.1f);
  pd_.MaJNTF(u"0,1", u"", 0, At(1));
  EXPECT_EQ(pd_.get_ValeurNombre(), single_tenth);
  EXPECT_NEAR(pd_.get_ValeurNombre(), 0.100000001490116, 1e-15);
  pd_.MaJNTF(u"0.1", u"", 0, At(1));
  EXPECT_EQ(pd_.get_ValeurNombre(), single_tenth);
}

TEST_F(InterfaceEnUs, ValeurNombreReadsTheDotFormFirstUnderEnglishRules) {
  StartNew();
  pd_.MaJNTF(u"12.5", u"", 0, At(1));
  EXPECT_EQ(pd_.get_ValeurNombre(), 12.5);
  pd_.MaJNTF(u"0,1", u"", 0, At(1));
  EXPECT_EQ(pd_.get_ValeurNombre(), static_cast<double>(0.1f));
}

TEST_F(Interface, QualityTextsAndColoursByByte) {
  pd_.InitProperties();
  EXPECT_EQ(pd_.get_Qualite(), u"-2");
  struct Case {
    uint8_t byte;
    const char16_t* qualite;
    const char16_t* statut;
    uint32_t colour;
  };
  for (const Case& c :
       {Case{0, u"0", u"Ok", 0}, Case{1, u"1", u"Mauvaise", 255}, Case{2, u"2", u"Maintenue", 255},
        Case{250, u"250", u"", 0}, Case{251, u"-5", u"", 0}, Case{254, u"-2", u"?", 0},
        Case{255, u"-1", u"", 0}}) {
    SCOPED_TRACE(c.byte);
    log_.Clear();
    pd_.MaJNTF(u"v", u"f", c.byte, At(1));
    EXPECT_EQ(pd_.get_Qualite(), c.qualite);
    EXPECT_EQ(Caption(Child::txtStatut), c.statut);
    // Black first, then the caption, then red for the two bad codes.
    std::vector<std::string> expected = {"colour txtStatut=0",
                                         "caption txtStatut=" + ToUtf8(c.statut)};
    if (c.colour != 0) expected.push_back("colour txtStatut=255");
    std::vector<std::string> statut_calls;
    for (const std::string& line : log_.lines()) {
      if (line.find("txtStatut") != std::string::npos) statut_calls.push_back(line);
    }
    EXPECT_EQ(statut_calls, expected);
    EXPECT_EQ(site_.colours[Child::txtStatut], c.colour);
  }
}

TEST_F(Interface, MaJNTFNotifiesFivePropertiesBeforeAnyCaption) {
  StartNew();
  pd_.MaJNTF(u"12.5", u"12,50", 1, At(3));
  EXPECT_THAT(
      log_.lines(),
      ElementsAre("changed Valeur", "changed ValeurNombre", "changed ValeurFormatee",
                  "changed Qualite", "changed HorodatageDernLect", "caption txtValeur=12.5",
                  "caption txtValeurFormatee=12,50", "caption txtHeureDernLect=07/12/2026 14:00:03",
                  "colour txtStatut=0", "caption txtStatut=Mauvaise", "colour txtStatut=255"));
  EXPECT_EQ(pd_.get_HorodatageDernLect(), u"07/12/2026 14:00:03");
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
  MemoryPropertyBag bag;
  pd_.WriteProperties(bag);
  EXPECT_EQ(bag.entries()[u"udtPollTime"], BagValue(int32_t{5}));
}

TEST_F(Interface, AFailingStepDoesNotStopTheFollowingOnes) {
  pd_.InitProperties();
  log_.FailOn("caption txtNTF");
  pd_.put_NTF(u"A:B.C");
  EXPECT_EQ(pd_.fields().strNTF, u"A:B.C");
  EXPECT_TRUE(site_.timer_enabled);
  EXPECT_EQ(log_.Starting("changed strNTF").size(), 1u);

  log_.FailOn("changed");
  pd_.MaJNTF(u"7", u"7", 1, At(1));
  EXPECT_EQ(Caption(Child::txtValeur), u"7");
  EXPECT_EQ(Caption(Child::txtStatut), u"Mauvaise");
  EXPECT_EQ(log_.Starting("changed").size(), 6u);  // strNTF, then all five tried
}

}  // namespace
}  // namespace quillon::testing
