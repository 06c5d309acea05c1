// The point list of the "Point" page: a bounded read-only pass over the cache file, the filter
// as the designer types, and the cell texts.
#include "control/point_catalog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cache/record.h"
#include "cache/record_codec.h"
#include "common/oledate.h"
#include "fakes/fake_code_page.h"
#include "fakes/fake_file_system.h"
#include "platform/code_page.h"
#include "platform/locale.h"

namespace quillon::testing {
namespace {

const Text kPath = u"/plant/Serveur Quillon PD/cacheQuillonPD_V2.dat";

class PointCatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    code_page_ = NewPlatformCodePage();
    locale_ = NewPlatformLocale("fr-FR");
    ASSERT_TRUE(locale_);
  }

  // Appends one record to the cache file.
  void AddRecord(const Text& ref, int32_t etat = 1, const Text& value = u"12.5",
                 double read = 0) {
    EnregCache r;
    r.lngEtat = etat;
    r.strRefNTF = PadToWidth(ref, kRefNTFLength);
    r.strValeurLue = PadToWidth(value, kValeurLength);
    r.strValeurFormateeLue = PadToWidth(value + u" °C", kValeurLength);
    r.dtmLecture = read;
    uint8_t bytes[kRecordSize];
    EncodeRecord(r, *code_page_, bytes);
    files_.Contents(kPath).append(reinterpret_cast<const char*>(bytes), kRecordSize);
  }
  void AddPoints(int n) {
    for (int i = 1; i <= n; ++i) AddRecord(u"NOEUD" + NumberText(i % 3) + u":Four" + NumberText(i) + u".Temperature");
  }
  bool Load(size_t cap = PointCatalog::kDefaultCap) {
    return catalog_.Load(files_, *code_page_, kPath, cap);
  }
  std::vector<Text> Matching(const Text& typed) {
    std::vector<Text> out;
    for (uint32_t i : catalog_.Filter(typed)) out.push_back(catalog_.at(i).reference);
    return out;
  }

  FakeFileSystem files_;
  std::unique_ptr<CodePage> code_page_;
  std::unique_ptr<Locale> locale_;
  PointCatalog catalog_;
};

TEST_F(PointCatalogTest, MissingFileGivesAnEmptyListAndIsNeverCreated) {
  EXPECT_FALSE(Load());
  EXPECT_TRUE(catalog_.missing());
  EXPECT_EQ(catalog_.size(), 0u);
  EXPECT_FALSE(files_.Exists(kPath));
  EXPECT_TRUE(catalog_.Filter(u"a").empty());
}

TEST_F(PointCatalogTest, ListsOccupiedSlotsOnceReadOnlyAndBlockByBlock) {
  AddRecord(u"A:B.C");
  AddRecord(u"  Free:Slot.X", 0);  // a free slot is no point
  AddRecord(u"", 1);               // nor an empty reference
  AddRecord(u"A:B.C", 1, u"99");   // the control finds the first record of a reference
  AddPoints(1200);
  files_.Contents(kPath).append(100, '\0');  // a record being appended by a peer
  const std::string before = files_.Contents(kPath);
  ASSERT_TRUE(Load());
  EXPECT_FALSE(catalog_.missing());
  EXPECT_FALSE(catalog_.more());
  ASSERT_EQ(catalog_.size(), 1201u);
  EXPECT_EQ(catalog_.at(0).reference, u"A:B.C");
  EXPECT_EQ(catalog_.at(0).value, PadToWidth(u"12.5", kValeurLength));
  EXPECT_EQ(files_.Contents(kPath), before);
  EXPECT_EQ(files_.ops().writes, 0);
  EXPECT_EQ(files_.ops().reads, 1);  // 1204 records: one block
}

// The file is read in large blocks (a call each), and no further than the cap needs.
TEST_F(PointCatalogTest, ReadsInLargeBlocksAndNoFurtherThanTheCap) {
  constexpr size_t kBlock = PointCatalog::kBlockRecords;
  AddPoints(static_cast<int>(2 * kBlock + 5));
  ASSERT_TRUE(Load());
  EXPECT_EQ(catalog_.size(), 2 * kBlock + 5);
  EXPECT_FALSE(catalog_.more());
  EXPECT_EQ(files_.ops().reads, 3);
  ASSERT_TRUE(Load(kBlock));
  EXPECT_EQ(catalog_.size(), kBlock);
  EXPECT_TRUE(catalog_.more());
  EXPECT_EQ(files_.ops().reads, 4);
  // Every reference is found again by its key, whatever its place in the index.
  for (size_t i = 0; i < catalog_.size(); i += 97) {
    EXPECT_EQ(catalog_.Find(catalog_.reference(i)), i);
  }
}

TEST_F(PointCatalogTest, StopsAtTheCapAndSaysThereIsMore) {
  AddPoints(30);
  ASSERT_TRUE(Load(10));
  EXPECT_EQ(catalog_.size(), 10u);
  EXPECT_TRUE(catalog_.more());
  ASSERT_TRUE(Load(30));
  EXPECT_EQ(catalog_.size(), 30u);
  EXPECT_FALSE(catalog_.more());
}

TEST_F(PointCatalogTest, FilterIgnoresCaseAsThePointIndexAndNarrowsAsTyped) {
  AddRecord(u"NOEUD3:Four.Temperature");
  AddRecord(u"noeud3:Pompe.Débit");
  AddRecord(u"NOEUD4:Four.Pression");
  AddRecord(u"Noeud3:FOUR.État");
  ASSERT_TRUE(Load());
  EXPECT_EQ(Matching(u"").size(), 4u);
  EXPECT_EQ(Matching(u"noeud3"),
            (std::vector<Text>{u"NOEUD3:Four.Temperature", u"noeud3:Pompe.Débit",
                               u"Noeud3:FOUR.État"}));
  EXPECT_EQ(Matching(u"noeud3:f"),
            (std::vector<Text>{u"NOEUD3:Four.Temperature", u"Noeud3:FOUR.État"}));
  EXPECT_EQ(Matching(u"noeud3:four.é"), (std::vector<Text>{u"Noeud3:FOUR.État"}));
  // Back to a shorter text: the whole list is filtered again.
  EXPECT_EQ(Matching(u"four"), (std::vector<Text>{u"NOEUD3:Four.Temperature",
                                                  u"NOEUD4:Four.Pression", u"Noeud3:FOUR.État"}));
  EXPECT_TRUE(Matching(u"absent").empty());
  // A new load starts from the whole list again.
  ASSERT_TRUE(Load());
  EXPECT_EQ(Matching(u"débit"), (std::vector<Text>{u"noeud3:Pompe.Débit"}));
}

TEST_F(PointCatalogTest, FindsTheSelectedReferenceExactly) {
  AddRecord(u"A:B.C");
  AddRecord(u"D:E.F");
  ASSERT_TRUE(Load());
  EXPECT_EQ(catalog_.Find(u"D:E.F"), 1u);
  EXPECT_EQ(catalog_.Find(u" D:E.F "), 1u);
  EXPECT_EQ(catalog_.Find(u"d:e.f"), catalog_.size());
}

TEST_F(PointCatalogTest, CellsShowTrimmedValuesQualityAndTimeOfLastRead) {
  const double read = DateFromParts(2026, 12, 7, 18, 30, 5);
  AddRecord(u"A:B.C", 1, u"12.5", read);
  AddRecord(u"D:E.F", 1, u"7", 0);
  ASSERT_TRUE(Load());
  EXPECT_EQ(catalog_.CellText(0, CatalogColumn::kReference, *locale_), u"A:B.C");
  EXPECT_EQ(catalog_.CellText(0, CatalogColumn::kValue, *locale_), u"12.5");
  EXPECT_EQ(catalog_.CellText(0, CatalogColumn::kFormatted, *locale_), u"12.5 °C");
  EXPECT_EQ(catalog_.CellText(0, CatalogColumn::kQuality, *locale_), u"Ok");
  EXPECT_EQ(catalog_.CellText(0, CatalogColumn::kLastRead, *locale_),
            locale_->GeneralDate(read));
  EXPECT_EQ(catalog_.CellText(1, CatalogColumn::kQuality, *locale_), u"?");
  EXPECT_EQ(catalog_.CellText(1, CatalogColumn::kLastRead, *locale_), u"");
}

// The list's texts are the record codec's: a single-byte code page through its byte table
// (no conversion call per record), a double-byte one field by field, each value text fitted
// to its 20 characters as the control's `Valeur` sees it.
TEST_F(PointCatalogTest, TextsAreDecodedAsTheRecordCodecDecodesThem) {
  auto cyrillic = std::make_unique<CountingCyrillicCodePage>();
  CountingCyrillicCodePage* counting = cyrillic.get();
  code_page_ = std::move(cyrillic);
  AddRecord(u"N:Печь.Температура", 1, u"21,5");
  AddPoints(600);
  counting->to_text_calls = 0;
  ASSERT_TRUE(Load());
  EXPECT_EQ(counting->to_text_calls, 0);
  EXPECT_EQ(catalog_.at(0).reference, u"N:Печь.Температура");
  EXPECT_EQ(Matching(u"n:Печь.Т"), (std::vector<Text>{u"N:Печь.Температура"}));
  EXPECT_EQ(catalog_.CellText(0, CatalogColumn::kFormatted, *locale_), u"21,5 °C");

  code_page_ = std::make_unique<DoubleByteCodePage>();
  files_.Contents(kPath).clear();
  AddRecord(u"A:\u4F42.B", 1, u"1\u4E41");
  AddRecord(u"A:B.C");
  ASSERT_TRUE(Load());
  ASSERT_EQ(catalog_.size(), 2u);
  const auto* record = reinterpret_cast<const uint8_t*>(files_.Contents(kPath).data());
  const EnregCache decoded = DecodeRecord(record, *code_page_);
  EXPECT_EQ(catalog_.at(0).reference, u"A:\u4F42.B");
  EXPECT_EQ(catalog_.at(0).value, decoded.strValeurLue);
  EXPECT_EQ(catalog_.at(0).formatted, decoded.strValeurFormateeLue);
  EXPECT_EQ(catalog_.CellText(0, CatalogColumn::kValue, *locale_), u"1\u4E41");
  EXPECT_EQ(catalog_.Find(u"A:\u4F42.B"), 0u);
  EXPECT_EQ(catalog_.Find(u"A:B.C"), 1u);
}

TEST(PreviewSamplesTest, SplitsTypedSamples) {
  EXPECT_EQ(SplitSamples(u" 12.5 ; -3;;abc ; "), (std::vector<Text>{u"12.5", u"-3", u"abc"}));
  EXPECT_TRUE(SplitSamples(u"").empty());
}

}  // namespace
}  // namespace quillon::testing
