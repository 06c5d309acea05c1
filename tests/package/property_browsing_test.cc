// What a designer's property grid gets from the control (IPerPropertyBrowsing), and what a
// page of script on the web does not: no claim of being safe for scripting or initialising.
#include <objsafe.h>
#include <olectl.h>

#include <string>
#include <utility>
#include <vector>

#include "com_fixture.h"

namespace quillon::testing {
namespace {

constexpr wchar_t kPointPageText[] = L"{6BBED569-77E8-42EC-BFD1-B79B46F93B38}";

// The refresh codes and the texts the face shows for them, in the enumeration's order.
const std::vector<std::pair<LONG, std::wstring>> kCodes = {
    {0, L"30 min"},  {10, L"20 min"}, {15, L"15 min"}, {20, L"10 min"},
    {25, L"5 min"},  {28, L"2 min"},  {29, L"1 min"},  {70, L"30 sec"},
    {80, L"20 sec"}, {85, L"15 sec"}, {90, L"10 sec"}};

class PropertyBrowsingTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    browsing_ = Query<IPerPropertyBrowsing>(pd_.Get(), IID_IPerPropertyBrowsing);
    ASSERT_TRUE(browsing_);
  }

  std::wstring DisplayString(DISPID id, HRESULT expected = S_OK) {
    Bstr text;
    EXPECT_EQ(browsing_->GetDisplayString(id, text.out()), expected);
    return text.text();
  }

  // The grid's list for a property: each text with its cookie.
  std::vector<std::pair<std::wstring, DWORD>> Predefined(DISPID id, HRESULT expected = S_OK) {
    CALPOLESTR strings{};
    CADWORD cookies{};
    EXPECT_EQ(browsing_->GetPredefinedStrings(id, &strings, &cookies), expected);
    EXPECT_EQ(strings.cElems, cookies.cElems);
    std::vector<std::pair<std::wstring, DWORD>> out;
    for (ULONG i = 0; i < strings.cElems; ++i) {
      out.emplace_back(strings.pElems[i], cookies.pElems[i]);
      CoTaskMemFree(strings.pElems[i]);
    }
    CoTaskMemFree(strings.pElems);
    CoTaskMemFree(cookies.pElems);
    return out;
  }

  std::wstring PageOf(DISPID id, HRESULT expected = S_OK) {
    CLSID page;
    EXPECT_EQ(browsing_->MapPropertyToPage(id, &page), expected);
    return GuidText(page);
  }

  ComPtr<IPerPropertyBrowsing> browsing_;
};

// The grid's round trip for every code: the list's text of a code, its value, set through
// the control's interface, and the text shown for the property then.
TEST_F(PropertyBrowsingTest, RefreshPeriodListsAndShowsTheElevenCodesByTheirTexts) {
  const auto listed = Predefined(kFrequence);
  ASSERT_EQ(listed.size(), kCodes.size());
  for (size_t i = 0; i < kCodes.size(); ++i) {
    SCOPED_TRACE(kCodes[i].second);
    EXPECT_EQ(listed[i].first, kCodes[i].second);
    Variant value;
    ASSERT_EQ(browsing_->GetPredefinedValue(kFrequence, listed[i].second, &value), S_OK);
    ASSERT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, kCodes[i].first);
    ASSERT_EQ(pd_->put_Frequence_Rafraichissement(static_cast<::E_POLLTIME>(value.lVal)), S_OK);
    EXPECT_EQ(DisplayString(kFrequence), kCodes[i].second);
  }
  // A new control shows "1 min"; a value outside the enumeration shows as its number.
  ASSERT_EQ(Persist()->InitNew(), S_OK);
  EXPECT_EQ(DisplayString(kFrequence), L"1 min");
  ASSERT_EQ(pd_->put_Frequence_Rafraichissement(static_cast<::E_POLLTIME>(5)), S_OK);
  EXPECT_EQ(DisplayString(kFrequence), L"5");
  ASSERT_EQ(pd_->put_Frequence_Rafraichissement(static_cast<::E_POLLTIME>(-7)), S_OK);
  EXPECT_EQ(DisplayString(kFrequence), L"-7");
}

TEST_F(PropertyBrowsingTest, OtherPropertiesAndUnknownCookiesHaveNoList) {
  for (DISPID id : {kNTF, kFormatage, kValeur, DISPID{0x12345}}) {
    SCOPED_TRACE(id);
    EXPECT_TRUE(Predefined(id, E_NOTIMPL).empty());
    EXPECT_EQ(DisplayString(id, E_NOTIMPL), L"");
    Variant value;
    EXPECT_EQ(browsing_->GetPredefinedValue(id, 29, &value), E_NOTIMPL);
    EXPECT_EQ(value.vt, VT_EMPTY);
  }
  for (DWORD cookie : {DWORD{5}, DWORD{30}, DWORD{91}, DWORD{0xFFFFFFFF}}) {
    Variant value;
    EXPECT_EQ(browsing_->GetPredefinedValue(kFrequence, cookie, &value), E_INVALIDARG) << cookie;
  }
  EXPECT_EQ(browsing_->GetDisplayString(kFrequence, nullptr), E_POINTER);
  EXPECT_EQ(browsing_->GetPredefinedStrings(kFrequence, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(browsing_->GetPredefinedValue(kFrequence, 29, nullptr), E_POINTER);
  EXPECT_EQ(browsing_->MapPropertyToPage(kNTF, nullptr), E_POINTER);
}

TEST_F(PropertyBrowsingTest, PointReferenceAndPatternGoToThePointPage) {
  EXPECT_EQ(PageOf(kNTF), kPointPageText);
  EXPECT_EQ(PageOf(kFormatage), kPointPageText);
  for (DISPID id : {kFrequence, kValeur, kValeurNombre, DISPID{0x12345}}) {
    EXPECT_EQ(PageOf(id, PERPROP_E_NOPAGEAVAILABLE), L"{00000000-0000-0000-0000-000000000000}")
        << id;
  }
}

// Browsing reads; it neither changes a setting nor makes the control dirty.
TEST_F(PropertyBrowsingTest, BrowsingLeavesTheControlClean) {
  Predefined(kFrequence);
  DisplayString(kFrequence);
  PageOf(kNTF);
  Variant value;
  browsing_->GetPredefinedValue(kFrequence, 90, &value);
  EXPECT_EQ(Persist()->IsDirty(), S_FALSE);
  ::E_POLLTIME code{};
  EXPECT_EQ(pd_->get_Frequence_Rafraichissement(&code), S_OK);
  EXPECT_EQ(code, 29);
}

// The control writes requests into a file shared by the whole plant: a page from the web must
// not drive it without the user's consent, so it claims no safety (no IObjectSafety).
TEST_F(PropertyBrowsingTest, ControlClaimsNoSafetyForScripting) {
  void* safety = &safety;
  EXPECT_EQ(pd_->QueryInterface(IID_IObjectSafety, &safety), E_NOINTERFACE);
  EXPECT_EQ(safety, nullptr);
}

}  // namespace
}  // namespace quillon::testing
