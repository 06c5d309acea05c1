// The terminal views of a control: its face as text and its value lines.
#include <gtest/gtest.h>

#include <algorithm>

#include "control_view.h"

namespace quillon {
namespace {

size_t Columns(const std::string& utf8) {
  return static_cast<size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

TEST(FaceRendering, DesignFaceShowsEveryCaptionWhole) {
  const std::vector<std::string> lines = RenderFace(FaceState());
  // Captions end at column 19 (1455 twips), values start at column 21 (1560 twips).
  ASSERT_EQ(lines.size(), 9u);  // two borders, six rows, the line
  EXPECT_EQ(lines[1], "│               NTF : ?                                   │");
  EXPECT_EQ(lines[2], "│Freq. rafraichisst : ?                                   │");
  EXPECT_EQ(lines[3], "│───────────────────────────────────────────────────────  │");
  EXPECT_EQ(lines[4], "│            Valeur : ?                                   │");
  EXPECT_EQ(lines[5], "│   Valeur formatée : ?                                   │");
  EXPECT_EQ(lines[8], "└─────────────────────────────────────────────────────────┘");
  for (const std::string& line : lines) EXPECT_EQ(Columns(line), 59u) << line;

  RenderOptions small;  // a smaller control clips rows and columns, the line at the left edge
  small.width_twips = 1500;
  small.height_twips = 1000;
  const std::vector<std::string> clipped = RenderFace(FaceState(), small);
  ASSERT_EQ(clipped.size(), 6u);  // NTF, period, line, value
  EXPECT_EQ(clipped[1], "│               NTF :│");
  EXPECT_EQ(clipped[3], "│────────────────────│");
}

TEST(FaceRendering, LongValuesAreClippedAndUnsafeCharactersNeutralised) {
  FaceState face;
  face.SetCaption(Child::txtNTF, u"Node&Co:" + Text(80, u'X'));
  face.SetCaption(Child::txtValeur, u"A&B\x1b[2J" + Text(1, u'\0') + u"hidden");
  face.SetCaption(Child::txtStatut, Text(20, u'\0'));
  const std::vector<std::string> lines = RenderFace(face);
  EXPECT_EQ(Columns(lines[1]), 59u);
  EXPECT_NE(lines[1].find("Node&Co:XXX"), std::string::npos);  // txtNTF keeps its "&"
  EXPECT_NE(lines[4].find(": AB?[2J "), std::string::npos);
  EXPECT_EQ(lines[4].find("hidden"), std::string::npos);
  EXPECT_EQ(lines[6], "│            Statut :                                     │");
}

TEST(FaceRendering, RedStatusInColourAndFacesSideBySide) {
  FaceState face;
  face.SetCaption(Child::txtStatut, u"Mauvaise");
  face.SetColour(Child::txtStatut, kColourRed);
  RenderOptions colour;
  colour.ansi_colours = true;
  const std::vector<std::string> lines = RenderFace(face, colour);
  EXPECT_NE(lines[6].find("\x1b[31mMauvaise\x1b[0m"), std::string::npos);
  const std::vector<std::string> both = SideBySide({lines, RenderFace(FaceState())}, 3);
  ASSERT_EQ(both.size(), 9u);
  EXPECT_EQ(Columns(both[0]), 59u * 2 + 3);
}

TEST(ControlView, QuotedTextShowsPaddingAndNeutralisesControlCharacters) {
  EXPECT_EQ(QuotedText(u"12.5  "), "\"12.5  \"");
  EXPECT_EQ(QuotedText(Text(20, u'\0')), "\"\\0{20}\"");
  EXPECT_EQ(QuotedText(u"a\"b\\c\x1b[2J\u00e9" + Text(1, u'\0')), "\"a\\\"b\\\\c\\x1B[2Jé\\0\"");
  EXPECT_EQ(FitLines({"Valeur formatée", "ab"}, 8),
            (std::vector<std::string>{"Valeur f", "ab      "}));
}

}  // namespace
}  // namespace quillon
