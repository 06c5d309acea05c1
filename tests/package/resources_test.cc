// The resources and the version record of HN_Quillon_PD.ocx, read back from the built file.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "package_fixture.h"

namespace quillon::testing {
namespace {

constexpr WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
constexpr WORD kFrench = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(OcxPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr) << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  // The bytes of a resource in the given language; empty when it is absent.
  std::string_view Resource(const wchar_t* type, const wchar_t* name, WORD language) {
    HRSRC found = FindResourceExW(module_, type, name, language);
    if (found == nullptr) return {};
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
    return {data, SizeofResource(module_, found)};
  }

  HMODULE module_ = nullptr;
};

std::string FileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(ResourcesTest, TypeLibraryIsTheFinishedOne) {
  const std::string_view library = Resource(L"TYPELIB", MAKEINTRESOURCEW(1), kNeutral);
  ASSERT_GT(library.size(), 4u);
  EXPECT_EQ(library.substr(0, 4), "MSFT");
  EXPECT_EQ(library, FileBytes(QUILLON_TLB_PATH));
  RecordProperty("typelib_bytes", static_cast<int>(library.size()));
}

TEST_F(ResourcesTest, ToolboxPictureIsA16ColourBitmapOf16By15) {
  const std::string_view bitmap = Resource(RT_BITMAP, MAKEINTRESOURCEW(30000), kNeutral);
  ASSERT_EQ(bitmap.size(), 224u);
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap.data(), sizeof header);
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, 16);
  EXPECT_EQ(header.biHeight, 15);
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 4);
  EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  const unsigned char standard[16][3] = {
      {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
      {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
      {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
      {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF}};
  for (int i = 0; i < 16; ++i) {
    RGBQUAD colour;
    std::memcpy(&colour, bitmap.data() + 40 + 4 * i, sizeof colour);
    EXPECT_EQ(colour.rgbRed, standard[i][0]) << i;
    EXPECT_EQ(colour.rgbGreen, standard[i][1]) << i;
    EXPECT_EQ(colour.rgbBlue, standard[i][2]) << i;
  }
  const std::string_view pixels = bitmap.substr(104);
  EXPECT_NE(pixels.find_first_not_of(pixels[0]), std::string_view::npos) << "a blank picture";
}

TEST_F(ResourcesTest, InterfaceListsHoldByteCountThenIdentifier) {
  const struct {
    const wchar_t* type;
    GUID identifier;
  } lists[] = {{L"_IID_QUILLONPD", IID__QuillonPD}, {L"_SRCIID_QUILLONPD", DIID___QuillonPD}};
  for (const auto& list : lists) {
    SCOPED_TRACE(Narrow(list.type));
    const std::string_view data = Resource(list.type, MAKEINTRESOURCEW(1), kNeutral);
    ASSERT_EQ(data.size(), 20u);
    DWORD count = 0;
    GUID identifier;
    std::memcpy(&count, data.data(), 4);
    std::memcpy(&identifier, data.data() + 4, 16);
    EXPECT_EQ(count, 16u);
    EXPECT_EQ(GuidText(identifier), GuidText(list.identifier));
  }
}

class VersionRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const DWORD size = GetFileVersionInfoSizeW(OcxPath().c_str(), nullptr);
    ASSERT_GT(size, 0u);
    record_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(OcxPath().c_str(), 0, size, record_.data()));
  }

  // The value at a VerQueryValue path; false when absent.
  bool Query(const wchar_t* path, void** value, UINT* length) {
    return VerQueryValueW(record_.data(), path, value, length) != 0;
  }

  std::vector<char> record_;
};

TEST_F(VersionRecordTest, FixedPartAndTranslation) {
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(Query(L"\\", &value, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00040000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00040000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
  EXPECT_EQ(fixed->dwFileSubtype, 0u);
  ASSERT_TRUE(Query(L"\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u);
  const auto* translation = static_cast<const WORD*>(value);
  EXPECT_EQ(translation[0], 0x040C);
  EXPECT_EQ(translation[1], 0x04B0);
}

TEST_F(VersionRecordTest, FrenchStringBlock) {
  const struct {
    const wchar_t* name;
    const wchar_t* text;  // nullptr: any non-empty text
  } fields[] = {
      {L"Comments", L"Permet d'ins\u00e9rer une valeur courante dans un synoptique"},
      {L"FileDescription", L"Permet d'ins\u00e9rer une valeur courante dans un synoptique"},
      {L"FileVersion", L"4.00.0001"},
      {L"ProductVersion", L"4.00.0001"},
      {L"InternalName", L"HN_Quillon_PD"},
      {L"OriginalFilename", L"HN_Quillon_PD.ocx"},
      {L"OLESelfRegister", L""},
      {L"CompanyName", nullptr},
      {L"ProductName", nullptr},
      {L"LegalCopyright", nullptr},
  };
  for (const auto& field : fields) {
    SCOPED_TRACE(Narrow(field.name));
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040C04B0\\") + field.name;
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(Query(path.c_str(), &value, &length));
    const std::wstring text = length > 0 ? static_cast<const wchar_t*>(value) : L"";
    if (field.text != nullptr) {
      EXPECT_EQ(text, field.text);
    } else {
      EXPECT_FALSE(text.empty());
    }
  }
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
  reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
  return TRUE;
}

TEST_F(ResourcesTest, EachResourceInItsOneLanguage) {
  const struct {
    const wchar_t* type;
    const wchar_t* name;
    WORD language;
  } resources[] = {
      {L"TYPELIB", MAKEINTRESOURCEW(1), kNeutral},
      {RT_BITMAP, MAKEINTRESOURCEW(30000), kNeutral},
      {L"_IID_QUILLONPD", MAKEINTRESOURCEW(1), kNeutral},
      {L"_SRCIID_QUILLONPD", MAKEINTRESOURCEW(1), kNeutral},
      {RT_VERSION, MAKEINTRESOURCEW(1), kFrench},
  };
  for (const auto& resource : resources) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module_, resource.type, resource.name, AddLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{resource.language}) << resource.language;
  }
}

}  // namespace
}  // namespace quillon::testing
