// The control names its property page, and the library serves that page's class: a page
// object of its own (IPropertyPage2), never aggregated, that keeps the library loaded.
#include <gtest/gtest.h>

#include "com_fixture.h"

namespace quillon::testing {
namespace {

// {6BBED569-77E8-42EC-BFD1-B79B46F93B38}
const CLSID kPointPage = {
    0x6bbed569, 0x77e8, 0x42ec, {0xbf, 0xd1, 0xb7, 0x9b, 0x46, 0xf9, 0x3b, 0x38}};

class PropertyPagesTest : public ControlTest {
 protected:
  HRESULT PageFactory(IClassFactory** out) {
    auto get = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(OcxPath().c_str()), "DllGetClassObject")));
    if (get == nullptr) return E_FAIL;
    return get(kPointPage, IID_IClassFactory, reinterpret_cast<void**>(out));
  }
};

TEST_F(PropertyPagesTest, ControlNamesThePointPage) {
  ComPtr<ISpecifyPropertyPages> pages =
      Query<ISpecifyPropertyPages>(pd_.Get(), IID_ISpecifyPropertyPages);
  ASSERT_TRUE(pages);
  EXPECT_EQ(Query<IUnknown>(pages.Get(), IID_IUnknown).Get(),
            Query<IUnknown>(pd_.Get(), IID_IUnknown).Get());
  CAUUID uuids = {};
  ASSERT_EQ(pages->GetPages(&uuids), S_OK);
  ASSERT_EQ(uuids.cElems, 1u);
  EXPECT_TRUE(IsEqualCLSID(uuids.pElems[0], kPointPage));
  CoTaskMemFree(uuids.pElems);
  EXPECT_EQ(pages->GetPages(nullptr), E_POINTER);
}

TEST_F(PropertyPagesTest, LibraryServesThePageClass) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(PageFactory(factory.Put()), S_OK);
  ComPtr<IUnknown> outer;
  ComPtr<IUnknown> refused;
  ASSERT_EQ(library_.Create(nullptr, IID_IUnknown, outer.PutVoid()), S_OK);
  EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, refused.PutVoid()),
            CLASS_E_NOAGGREGATION);
  ComPtr<IPropertyPage2> page;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage2, page.PutVoid()), S_OK);
  ComPtr<IPropertyPage> same = Query<IPropertyPage>(page.Get(), IID_IPropertyPage);
  EXPECT_EQ(static_cast<IUnknown*>(same.Get()), static_cast<IUnknown*>(page.Get()));
  ComPtr<IDispatch> no_dispatch;
  EXPECT_EQ(page->QueryInterface(IID_IDispatch, no_dispatch.PutVoid()), E_NOINTERFACE);
  // The page edits controls of this class only.
  IUnknown* not_a_control = factory.Get();
  EXPECT_EQ(page->SetObjects(1, &not_a_control), E_NOINTERFACE);
  IUnknown* control = pd_.Get();
  EXPECT_EQ(page->SetObjects(1, &control), S_OK);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page->EditProperty(kFormatage), E_UNEXPECTED);  // not active
  // A live page keeps the library loaded.
  pd_ = ComPtr<_QuillonPD>();
  outer = ComPtr<IUnknown>();
  EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
  EXPECT_EQ(library_.CanUnloadNow(), S_FALSE);
  page = ComPtr<IPropertyPage2>();
  same = ComPtr<IPropertyPage>();
  EXPECT_EQ(library_.CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace quillon::testing
