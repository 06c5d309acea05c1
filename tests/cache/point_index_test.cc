// The point index: exact keys, the first entry kept, removal, and growth under churn checked
// against an ordered map.
#include "cache/point_index.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace quillon::testing {
namespace {

class PointIndexTest : public ::testing::Test {
 protected:
  static Text Key(int i) { return u"NOEUD" + NumberText(i % 7) + u":Bac" + NumberText(i) + u".Niveau"; }
  // Every key of the model is found with its number, and `absent` is not.
  void ExpectSameAs(const std::map<Text, int32_t>& model, TextView absent) {
    ASSERT_EQ(index_.size(), model.size());
    for (const auto& [key, n] : model) ASSERT_EQ(index_.Find(key), n) << ToUtf8(key);
    EXPECT_EQ(index_.Find(absent), std::nullopt);
  }

  PointIndex index_;
};

TEST_F(PointIndexTest, KeysAreExactAndTheFirstEntryStays) {
  EXPECT_EQ(index_.Find(u"A:B.C"), std::nullopt);  // empty index
  index_.Remove(u"A:B.C");
  index_.Add(u"A:B.C", 7);
  index_.Add(u"a:b.c", 9);
  index_.Add(u"A:B.C", 8);  // refused: the key is there
  index_.Add(u"", 3);       // the empty reference is a key like any other
  EXPECT_EQ(index_.Find(u"A:B.C"), 7);
  EXPECT_EQ(index_.Find(u"a:b.c"), 9);
  EXPECT_EQ(index_.Find(u""), 3);
  EXPECT_EQ(index_.Find(u"A:B.C "), std::nullopt);
  index_.Set(u"A:B.C", 12);
  EXPECT_EQ(index_.Find(u"A:B.C"), 12);
  index_.Remove(u"A:B.C");
  EXPECT_EQ(index_.Find(u"A:B.C"), std::nullopt);
  EXPECT_EQ(index_.Find(u"a:b.c"), 9);
  index_.Add(u"A:B.C", 4);  // a removed key can come back with another number
  EXPECT_EQ(index_.Find(u"A:B.C"), 4);
  EXPECT_EQ(index_.size(), 3u);
}

// The bytes an entry was made with stay with it through moves and growth; an entry made
// without them has none, and a removed key's bytes go with it.
TEST_F(PointIndexTest, AnsiBytesStayWithTheirEntry) {
  std::string ansi;
  const std::string bytes = "A:\xe9.C";
  EXPECT_EQ(index_.FindEntry(u"A:é.C", &ansi), std::nullopt);
  index_.Add(u"A:é.C", 4, &bytes);
  index_.Add(u"X:Y.Z", 5);
  index_.Set(u"A:é.C", 9);  // moved: the bytes stay
  for (int i = 0; i < 1000; ++i) index_.Add(Key(i), i);  // several growths
  const auto moved = index_.FindEntry(u"A:é.C", &ansi);
  ASSERT_TRUE(moved && moved->has_ansi);
  EXPECT_EQ(moved->n, 9);
  EXPECT_EQ(ansi, bytes);
  const auto plain = index_.FindEntry(u"X:Y.Z", &ansi);
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->has_ansi);
  EXPECT_EQ(plain->n, 5);
  index_.Remove(u"A:é.C");
  EXPECT_EQ(index_.FindEntry(u"A:é.C", &ansi), std::nullopt);
  index_.Add(u"A:é.C", 2);
  EXPECT_FALSE(index_.FindEntry(u"A:é.C", &ansi)->has_ansi);
}

// Adds, moves and removals of 6,000 keys, with the same key removed and added again many
// times: every step agrees with an ordered map, through every growth and rebuild.
TEST_F(PointIndexTest, ChurnAgreesWithAnOrderedMap) {
  std::map<Text, int32_t> model;
  std::mt19937 random(15);
  for (int step = 0; step < 60000; ++step) {
    const int i = static_cast<int>(random() % 6000);
    const Text key = Key(i);
    switch (random() % 4) {
      case 0:
      case 1:
        index_.Add(key, step + 1);
        model.try_emplace(key, step + 1);
        break;
      case 2:
        index_.Set(key, -step);
        model[key] = -step;
        break;
      default:
        index_.Remove(key);
        model.erase(key);
    }
    if (step % 20000 == 0) ExpectSameAs(model, u"ABSENT:POINT.PV");
  }
  ExpectSameAs(model, u"ABSENT:POINT.PV");
  for (int round = 0; round < 20000; ++round) {  // one key removed and added again
    index_.Remove(u"X:Y.Z");
    index_.Add(u"X:Y.Z", round);
  }
  model[u"X:Y.Z"] = 19999;
  ExpectSameAs(model, u"x:y.z");
}

}  // namespace
}  // namespace quillon::testing
