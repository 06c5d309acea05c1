// The display file of quillon-host and its picture files.
#include "display_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "image_file.h"

namespace quillon::host {
namespace {

constexpr char kExample[] = R"(# two tanks
[display]
title = "Cuves \"nord\""
mode = run

[control Cuve1]
class = HN_QuillonPD.QuillonPD
position = 8 8
strNTF = "NOEUD1:Cuve1.Temp"
udtPollTime = 90
strFormat = "0.0 °C"

  [control Cuve2]
class = {E5BC90C5-6394-4CF3-85F1-0C1F761E8E28}
position = 300 8 200 100
Negative = -2147483648
Flag = true
)";

TEST(DisplayFileTest, ReadsSettingsPositionsAndTypedEntries) {
  Display d;
  std::string error;
  ASSERT_TRUE(ParseDisplay(kExample, &d, &error)) << error;
  EXPECT_EQ(d.title, u"Cuves \"nord\"");
  EXPECT_TRUE(d.run_mode);
  ASSERT_EQ(d.controls.size(), 2u);
  const DisplayControl& a = d.controls[0];
  EXPECT_EQ(a.name, "Cuve1");
  EXPECT_EQ(a.class_name, "HN_QuillonPD.QuillonPD");
  EXPECT_EQ(a.left, 8);
  EXPECT_FALSE(a.width.has_value());
  const std::vector<BagEntry> bag = {{u"strNTF", Text(u"NOEUD1:Cuve1.Temp")},
                                     {u"udtPollTime", int32_t{90}},
                                     {u"strFormat", Text(u"0.0 °C")}};
  EXPECT_EQ(a.bag, bag);
  const DisplayControl& b = d.controls[1];
  EXPECT_EQ(b.class_name, "{E5BC90C5-6394-4CF3-85F1-0C1F761E8E28}");
  EXPECT_EQ(*b.width, 200);
  EXPECT_EQ(*b.height, 100);
  EXPECT_EQ(b.bag[0].value, EntryValue(int32_t{INT32_MIN}));
  EXPECT_EQ(b.bag[1].value, EntryValue(true));
}

TEST(DisplayFileTest, WritesWhatItReadsBackUnchanged) {
  Display d;
  d.title = u"Tab\there";
  d.controls.push_back({"A",
                        "X.Y",
                        -5,
                        7,
                        10,
                        20,
                        {{u"t", Text(u"q\"b\\s\0n\r\x01", 10)},
                         {u"lone", Text(u"\xD800x")},
                         {u"pair", Text(u"\xD83D\xDE00é")},
                         {u"empty", Text()},
                         {u"n", int32_t{-1}},
                         {u"f", false}}});
  d.controls.push_back({"B", "X.Y", 0, 0, std::nullopt, std::nullopt, {}});
  Display back;
  std::string error;
  ASSERT_TRUE(ParseDisplay(WriteDisplay(d), &back, &error)) << error << "\n" << WriteDisplay(d);
  EXPECT_EQ(back, d);
}

TEST(DisplayFileTest, RefusesBadLinesNamingThem) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"x = 1", "line 1: a setting before the first section"},
      {"[display]\nmode = fast", "line 2: mode is run or design"},
      {"[display]\n[display]", "line 2: second [display] section"},
      {"[display]\ntitle = plain", "line 2: title wants a text in double quotes"},
      {"[display]\ncolour = 1", "line 2: unknown display setting \"colour\""},
      {"[control A]\nclass = X\n[control a]", "line 3: control \"a\" given twice"},
      {"[control A]\nposition = 1 2", "line 2: control \"A\" has no class"},
      {"[control A]\nclass = X\nposition = 1", "line 3: position wants"},
      {"[control A]\nclass = X\nposition = 1 2 0 5", "line 3: position wants"},
      {"[control A]\nclass = X\nposition = 1 2 40000 5", "line 3: position wants"},
      {"[control A]\nclass = X\nv = 2147483648", "line 3: \"v\" wants a quoted text"},
      {"[control A]\nclass = X\nv = \"open", "line 3: \"v\" wants a quoted text"},
      {"[control A]\nclass = X\nv = \"a\" b", "line 3: \"v\" wants a quoted text"},
      {"[control A]\nclass = X\nv = \"\\q\"", "line 3: \"v\" wants a quoted text"},
      {"[control A]\nclass = X\nv = \"\\u12\"", "line 3: \"v\" wants a quoted text"},
      {"[control A]\nclass = X\nv = 1\nV = 2", "line 4: key \"V\" given twice"},
      {"[control A]\nclass = X\n9v = 1", "line 3: bad key \"9v\""},
      {"[control A]\nclass = X\njust text", "line 3: expected \"key = value\""},
      {"[control]\nclass = X", "line 1: expected [display] or [control NAME]"},
      {"[control A", "line 1: section header without ']'"},
  };
  for (const auto& c : cases) {
    Display d;
    std::string error;
    EXPECT_FALSE(ParseDisplay(c.text, &d, &error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " gave: " << error;
  }
}

TEST(DisplayFileTest, EntriesAreFoundWithoutRegardToCase) {
  std::vector<BagEntry> bag;
  SetEntry(&bag, u"strNTF", Text(u"a"));
  SetEntry(&bag, u"STRntf", Text(u"b"));
  SetEntry(&bag, u"udtPollTime", int32_t{29});
  ASSERT_EQ(bag.size(), 2u);
  EXPECT_EQ(FindEntry(bag, u"strntf")->value, EntryValue(Text(u"b")));
  EXPECT_EQ(FindEntry(bag, u"missing"), nullptr);
}

// A reader of what EncodePng writes: chunks with their CRC, a zlib stream of stored blocks.
uint32_t Big32(const std::string& s, size_t at) {
  return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
         (uint32_t(uint8_t(s[at + 2])) << 8) | uint8_t(s[at + 3]);
}

uint32_t ReferenceCrc(const std::string& s, size_t from, size_t n) {
  uint32_t c = 0xFFFFFFFF;
  for (size_t i = from; i < from + n; ++i) {
    c ^= uint8_t(s[i]);
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
  }
  return ~c;
}

Image DecodeStoredPng(const std::string& png) {
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  Image image;
  std::string z;
  for (size_t at = 8; at < png.size();) {
    const uint32_t n = Big32(png, at);
    const std::string type = png.substr(at + 4, 4);
    EXPECT_EQ(Big32(png, at + 8 + n), ReferenceCrc(png, at + 4, n + 4)) << type;
    if (type == "IHDR") image.width = Big32(png, at + 8), image.height = Big32(png, at + 12);
    if (type == "IDAT") z += png.substr(at + 8, n);
    at += 12 + n;
  }
  std::string raw;
  for (size_t at = 2; at + 5 <= z.size() - 4;) {
    const size_t n = uint8_t(z[at + 1]) | (uint8_t(z[at + 2]) << 8);
    raw += z.substr(at + 5, n);
    if (z[at] & 1) break;
    at += 5 + n;
  }
  for (int y = 0; y < image.height; ++y) {
    EXPECT_EQ(raw[y * (image.width * 3 + 1)], 0);
    for (int x = 0; x < image.width; ++x) {
      const size_t p = y * (image.width * 3 + 1) + 1 + x * 3;
      image.pixels.push_back((uint32_t(uint8_t(raw[p])) << 16) | (uint8_t(raw[p + 1]) << 8) |
                             uint8_t(raw[p + 2]));
    }
  }
  return image;
}

Image Gradient(int w, int h) {
  Image image{w, h, {}};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.pixels.push_back(uint32_t(x * 7 + y * 65536 + 0x000100));
  }
  return image;
}

TEST(ImageFileTest, PngHoldsEveryPixelAcrossSeveralStoredBlocks) {
  for (const Image& image : {Gradient(3, 2), Gradient(200, 150)}) {  // the second > 64 KiB
    const Image back = DecodeStoredPng(EncodePng(image));
    EXPECT_EQ(back.width, image.width);
    EXPECT_EQ(back.pixels, image.pixels);
  }
}

TEST(ImageFileTest, BmpRowsArePaddedAndBottomUp) {
  const Image image = Gradient(3, 2);
  const std::string bmp = EncodeBmp(image);
  ASSERT_EQ(bmp.size(), 54u + 2 * 12);  // 9 bytes of pixels padded to 12 per row
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  const size_t top_row = 54 + 12;  // the second row in the file is the top one
  EXPECT_EQ(uint8_t(bmp[top_row + 3]), image.at(1, 0) & 0xFF);    // blue of (1, 0)
  EXPECT_EQ(uint8_t(bmp[54 + 4]), (image.at(1, 1) >> 8) & 0xFF);  // green of (1, 1)
}

}  // namespace
}  // namespace quillon::host
