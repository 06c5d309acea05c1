// The type library embedded in HN_Quillon_PD.ocx, read back as containers and Automation
// clients read it: LoadTypeLibEx and ITypeInfo.
#include <gtest/gtest.h>

#include <vector>

#include "package_fixture.h"

namespace quillon::testing {
namespace {

constexpr GUID kStdOle2 = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class TypeLibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LoadTypeLibEx(OcxPath().c_str(), REGKIND_NONE, library_.Put()), S_OK);
  }

  ComPtr<ITypeInfo> Type(const wchar_t* name) {
    ComPtr<ITypeInfo> info;
    for (UINT i = 0; i < library_->GetTypeInfoCount(); ++i) {
      if (TypeName(i) == name) {
        EXPECT_EQ(library_->GetTypeInfo(i, info.Put()), S_OK);
      }
    }
    EXPECT_TRUE(info) << Narrow(name);
    return info;
  }

  std::wstring TypeName(UINT index) {
    BSTR name = nullptr;
    library_->GetDocumentation(index, &name, nullptr, nullptr, nullptr);
    std::wstring text = name != nullptr ? name : L"";
    SysFreeString(name);
    return text;
  }

  // The table-of-operations view of the dual _QuillonPD.
  ComPtr<ITypeInfo> VtableView() {
    ComPtr<ITypeInfo> dispatch = Type(L"_QuillonPD");
    HREFTYPE view = 0;
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(dispatch->GetRefTypeOfImplType(-1, &view), S_OK);
    EXPECT_EQ(dispatch->GetRefTypeInfo(view, info.Put()), S_OK);
    return info;
  }

  ComPtr<ITypeLib> library_;

 private:
  ComScope com_;
};

TYPEATTR AttrOf(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  EXPECT_EQ(info->GetTypeAttr(&attr), S_OK);
  const TYPEATTR copy = *attr;
  info->ReleaseTypeAttr(attr);
  return copy;
}

std::wstring Doc(ITypeInfo* info, MEMBERID member, bool help_string = false) {
  BSTR name = nullptr;
  BSTR doc = nullptr;
  info->GetDocumentation(member, &name, &doc, nullptr, nullptr);
  std::wstring text = help_string ? (doc != nullptr ? doc : L"") : (name != nullptr ? name : L"");
  SysFreeString(name);
  SysFreeString(doc);
  return text;
}

// The name of the type a VT_USERDEFINED description refers to.
std::wstring ReferencedName(ITypeInfo* info, HREFTYPE href) {
  ComPtr<ITypeInfo> referenced;
  EXPECT_EQ(info->GetRefTypeInfo(href, referenced.Put()), S_OK);
  return referenced ? Doc(referenced.Get(), MEMBERID_NIL) : L"";
}

TEST_F(TypeLibTest, LibraryAttributes) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library_->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(GuidText(attr->guid), L"{076EC573-D004-4E9F-9111-D0C8833C584B}");
  EXPECT_EQ(attr->wMajorVerNum, 7);
  EXPECT_EQ(attr->wMinorVerNum, 1);
  EXPECT_EQ(attr->lcid, 0u);
  EXPECT_EQ(attr->syskind, SYS_WIN32);
  EXPECT_EQ(attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, LIBFLAG_FCONTROL);
  library_->ReleaseTLibAttr(attr);
  BSTR name = nullptr, doc = nullptr, help_file = nullptr;
  DWORD context = 1;
  ASSERT_EQ(library_->GetDocumentation(-1, &name, &doc, &context, &help_file), S_OK);
  EXPECT_STREQ(name, L"HN_QuillonPD");
  EXPECT_STREQ(doc, L"Halvorn Quillon PD");
  EXPECT_EQ(help_file, nullptr);
  EXPECT_EQ(context, 0u);
  SysFreeString(name);
  SysFreeString(doc);
  SysFreeString(help_file);
}

TEST_F(TypeLibTest, TypesInOrderWithTheirIdentifiersAndFlags) {
  struct Expected {
    const wchar_t* name;
    TYPEKIND kind;
    const wchar_t* guid;
    WORD flags;
  };
  const Expected types[] = {
      {L"_QuillonPD", TKIND_DISPATCH, L"{2F9FF0C5-C161-4B69-AD18-C784EAFD6F05}",
       TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION |
           TYPEFLAG_FDISPATCHABLE},
      {L"QuillonPD", TKIND_COCLASS, L"{E5BC90C5-6394-4CF3-85F1-0C1F761E8E28}", TYPEFLAG_FCONTROL},
      {L"__QuillonPD", TKIND_DISPATCH, L"{1B17CAE1-7744-4E00-B9C3-AAB6EDD54506}",
       TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE},
      {L"E_POLLTIME", TKIND_ENUM, L"{1146022B-EEF0-463B-B5FE-279F34D86A30}", 0},
  };
  ASSERT_EQ(library_->GetTypeInfoCount(), 4u);
  for (UINT i = 0; i < 4; ++i) {
    SCOPED_TRACE(Narrow(types[i].name));
    EXPECT_EQ(TypeName(i), types[i].name);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(library_->GetTypeInfo(i, info.Put()), S_OK);
    const TYPEATTR attr = AttrOf(info.Get());
    EXPECT_EQ(attr.typekind, types[i].kind);
    EXPECT_EQ(GuidText(attr.guid), types[i].guid);
    // The dispatch view of a dual interface may leave out its Automation flag.
    const WORD optional = (attr.wTypeFlags & TYPEFLAG_FDUAL) != 0 ? TYPEFLAG_FOLEAUTOMATION : 0;
    EXPECT_EQ(attr.wTypeFlags & ~optional, types[i].flags & ~optional);
    TYPEKIND kind = TKIND_MAX;
    EXPECT_EQ(library_->GetTypeInfoType(i, &kind), S_OK);
    EXPECT_EQ(kind, types[i].kind);
  }
}

TEST_F(TypeLibTest, DualInterfaceDerivesFromStdole2IDispatch) {
  ComPtr<ITypeInfo> view = VtableView();
  const TYPEATTR attr = AttrOf(view.Get());
  EXPECT_EQ(attr.typekind, TKIND_INTERFACE);
  EXPECT_EQ(attr.wTypeFlags, TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                                 TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
  EXPECT_EQ(attr.cFuncs, 18);
  EXPECT_EQ(attr.cbSizeVft, (7 + 18) * sizeof(void*));
  HREFTYPE base = 0;
  ComPtr<ITypeInfo> dispatch;
  ASSERT_EQ(view->GetRefTypeOfImplType(0, &base), S_OK);
  ASSERT_EQ(view->GetRefTypeInfo(base, dispatch.Put()), S_OK);
  EXPECT_EQ(GuidText(AttrOf(dispatch.Get()).guid), GuidText(IID_IDispatch));
  ComPtr<ITypeLib> stdole;
  UINT index = 0;
  ASSERT_EQ(dispatch->GetContainingTypeLib(stdole.Put(), &index), S_OK);
  TLIBATTR* lib = nullptr;
  ASSERT_EQ(stdole->GetLibAttr(&lib), S_OK);
  EXPECT_EQ(GuidText(lib->guid), GuidText(kStdOle2));
  EXPECT_EQ(lib->wMajorVerNum, 2);
  EXPECT_EQ(lib->wMinorVerNum, 0);
  stdole->ReleaseTLibAttr(lib);
}

struct Member {
  const wchar_t* name;
  INVOKEKIND kind;
  MEMBERID dispid;
  VARTYPE value;  // VT_USERDEFINED: E_POLLTIME; VT_EMPTY: a method
  bool hidden;
};

constexpr Member kMembers[] = {
    {L"NTF", INVOKE_PROPERTYPUT, 0x68030007, VT_BSTR, false},
    {L"NTF", INVOKE_PROPERTYGET, 0x68030007, VT_BSTR, false},
    {L"Formatage", INVOKE_PROPERTYPUT, 0x68030006, VT_BSTR, false},
    {L"Formatage", INVOKE_PROPERTYGET, 0x68030006, VT_BSTR, false},
    {L"Valeur", INVOKE_PROPERTYGET, 0x68030005, VT_BSTR, false},
    {L"Valeur", INVOKE_PROPERTYPUT, 0x68030005, VT_BSTR, false},
    {L"ValeurNombre", INVOKE_PROPERTYGET, 0x68030004, VT_R8, false},
    {L"ValeurNombre", INVOKE_PROPERTYPUT, 0x68030004, VT_R8, false},
    {L"ValeurFormatee", INVOKE_PROPERTYGET, 0x68030003, VT_BSTR, false},
    {L"ValeurFormatee", INVOKE_PROPERTYPUT, 0x68030003, VT_BSTR, false},
    {L"HorodatageDernLect", INVOKE_PROPERTYGET, 0x68030002, VT_BSTR, true},
    {L"HorodatageDernLect", INVOKE_PROPERTYPUT, 0x68030002, VT_BSTR, true},
    {L"Qualite", INVOKE_PROPERTYGET, 0x68030001, VT_BSTR, false},
    {L"Qualite", INVOKE_PROPERTYPUT, 0x68030001, VT_BSTR, false},
    {L"Frequence_Rafraichissement", INVOKE_PROPERTYPUT, 0x68030000, VT_USERDEFINED, false},
    {L"Frequence_Rafraichissement", INVOKE_PROPERTYGET, 0x68030000, VT_USERDEFINED, false},
    {L"Rafraichir", INVOKE_FUNC, 0x60030008, VT_EMPTY, false},
    {L"MaJNTF", INVOKE_FUNC, 0x60030014, VT_EMPTY, false},
};

// A property's value: the put's one argument, or the get's [out, retval] pointer to it.
void ExpectPropertyValue(ITypeInfo* info, const FUNCDESC& desc, const Member& member) {
  ASSERT_EQ(desc.cParams, 1);
  const ELEMDESC& param = desc.lprgelemdescParam[0];
  const TYPEDESC* type = &param.tdesc;
  if (member.kind == INVOKE_PROPERTYGET) {
    EXPECT_EQ(param.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
    ASSERT_EQ(type->vt, VT_PTR);
    type = type->lptdesc;
  } else {
    EXPECT_EQ(param.paramdesc.wParamFlags, PARAMFLAG_FIN);
  }
  EXPECT_EQ(type->vt, member.value);
  if (type->vt == VT_USERDEFINED) {
    EXPECT_EQ(ReferencedName(info, type->hreftype), L"E_POLLTIME");
  }
}

TEST_F(TypeLibTest, InterfaceMembersInTableOrderWithDispidsAndHiddenFlags) {
  ComPtr<ITypeInfo> view = VtableView();
  ASSERT_EQ(AttrOf(view.Get()).cFuncs, 18);
  for (UINT i = 0; i < 18; ++i) {
    const Member& member = kMembers[i];
    SCOPED_TRACE(Narrow(member.name) + " #" + std::to_string(i));
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(view->GetFuncDesc(i, &desc), S_OK);
    EXPECT_EQ(Doc(view.Get(), desc->memid), member.name);
    EXPECT_EQ(desc->invkind, member.kind);
    EXPECT_EQ(desc->memid, member.dispid);
    EXPECT_EQ(desc->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));
    EXPECT_EQ(desc->funckind, FUNC_PUREVIRTUAL);
    EXPECT_EQ(desc->callconv, CC_STDCALL);
    EXPECT_EQ(desc->elemdescFunc.tdesc.vt, VT_HRESULT);
    EXPECT_EQ((desc->wFuncFlags & FUNCFLAG_FHIDDEN) != 0, member.hidden);
    if (member.value != VT_EMPTY) ExpectPropertyValue(view.Get(), *desc, member);
    view->ReleaseFuncDesc(desc);
  }
}

TEST_F(TypeLibTest, DispatchViewFindsEveryMemberByNameAndDispid) {
  ComPtr<ITypeInfo> dispatch = Type(L"_QuillonPD");
  for (const Member& member : kMembers) {
    SCOPED_TRACE(Narrow(member.name));
    LPOLESTR name = const_cast<LPOLESTR>(member.name);
    MEMBERID id = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(&name, 1, &id), S_OK);
    EXPECT_EQ(id, member.dispid);
  }
}

TEST_F(TypeLibTest, MaJNTFTakesFourArgumentsByReference) {
  ComPtr<ITypeInfo> view = VtableView();
  FUNCDESC* desc = nullptr;
  ASSERT_EQ(view->GetFuncDesc(17, &desc), S_OK);
  ASSERT_EQ(desc->cParams, 4);
  EXPECT_EQ(desc->cParamsOpt, 0);
  const VARTYPE types[] = {VT_BSTR, VT_BSTR, VT_UI1, VT_DATE};
  for (int i = 0; i < 4; ++i) {
    const ELEMDESC& param = desc->lprgelemdescParam[i];
    EXPECT_EQ(param.paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOUT) << i;
    ASSERT_EQ(param.tdesc.vt, VT_PTR) << i;
    EXPECT_EQ(param.tdesc.lptdesc->vt, types[i]) << i;
  }
  BSTR names[5] = {};
  UINT count = 0;
  ASSERT_EQ(view->GetNames(desc->memid, names, 5, &count), S_OK);
  ASSERT_EQ(count, 5u);
  const wchar_t* expected[] = {L"MaJNTF", L"strNewValeur", L"strNewValeurFormatee",
                               L"bytNewQualite", L"dtmNewDateDernLect"};
  for (UINT i = 0; i < count; ++i) {
    EXPECT_STREQ(names[i], expected[i]);
    SysFreeString(names[i]);
  }
  view->ReleaseFuncDesc(desc);
  ASSERT_EQ(view->GetFuncDesc(16, &desc), S_OK);
  EXPECT_EQ(desc->cParams, 0);  // Rafraichir
  view->ReleaseFuncDesc(desc);
}

// No member of its own: what a client may list are the restricted functions of IDispatch.
TEST_F(TypeLibTest, SourceInterfaceIsAnEmptyDispinterface) {
  ComPtr<ITypeInfo> source = Type(L"__QuillonPD");
  const TYPEATTR attr = AttrOf(source.Get());
  EXPECT_EQ(attr.cVars, 0);
  EXPECT_EQ(attr.cImplTypes, 1);
  EXPECT_EQ(attr.cbSizeVft, 7 * sizeof(void*));
  const wchar_t* inherited[] = {
      L"QueryInterface", L"AddRef",        L"Release", L"GetTypeInfoCount",
      L"GetTypeInfo",    L"GetIDsOfNames", L"Invoke"};
  ASSERT_LE(attr.cFuncs, 7);
  for (UINT i = 0; i < attr.cFuncs; ++i) {
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(source->GetFuncDesc(i, &desc), S_OK);
    EXPECT_EQ(Doc(source.Get(), desc->memid), inherited[i]);
    EXPECT_NE(desc->wFuncFlags & FUNCFLAG_FRESTRICTED, 0);
    source->ReleaseFuncDesc(desc);
  }
  HREFTYPE base = 0;
  ComPtr<ITypeInfo> dispatch;
  ASSERT_EQ(source->GetRefTypeOfImplType(0, &base), S_OK);
  ASSERT_EQ(source->GetRefTypeInfo(base, dispatch.Put()), S_OK);
  EXPECT_EQ(GuidText(AttrOf(dispatch.Get()).guid), GuidText(IID_IDispatch));
}

TEST_F(TypeLibTest, ClassImplementsTheDefaultAndTheSourceInterface) {
  ComPtr<ITypeInfo> coclass = Type(L"QuillonPD");
  ASSERT_EQ(AttrOf(coclass.Get()).cImplTypes, 2);
  struct Implemented {
    const wchar_t* name;
    INT flags;
  };
  const Implemented implemented[] = {
      {L"_QuillonPD", IMPLTYPEFLAG_FDEFAULT},
      {L"__QuillonPD", IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
  };
  for (UINT i = 0; i < 2; ++i) {
    HREFTYPE href = 0;
    INT flags = -1;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &href), S_OK);
    EXPECT_EQ(ReferencedName(coclass.Get(), href), implemented[i].name);
    ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
    EXPECT_EQ(flags, implemented[i].flags);
  }
}

TEST_F(TypeLibTest, RefreshPeriodsCarryTheirValuesAndTheirOwnNamesAsHelpStrings) {
  struct Constant {
    const wchar_t* name;
    LONG value;
  };
  const Constant constants[] = {
      {L"Minute_30", 0},   {L"Minute_20", 10},  {L"Minute_15", 15},  {L"Minute_10", 20},
      {L"Minute_05", 25},  {L"Minute_02", 28},  {L"Minute_01", 29},  {L"Seconde_30", 70},
      {L"Seconde_20", 80}, {L"Seconde_15", 85}, {L"Seconde_10", 90},
  };
  ComPtr<ITypeInfo> periods = Type(L"E_POLLTIME");
  ASSERT_EQ(AttrOf(periods.Get()).cVars, 11);
  for (UINT i = 0; i < 11; ++i) {
    SCOPED_TRACE(Narrow(constants[i].name));
    VARDESC* desc = nullptr;
    ASSERT_EQ(periods->GetVarDesc(i, &desc), S_OK);
    EXPECT_EQ(desc->varkind, VAR_CONST);
    ASSERT_EQ(V_VT(desc->lpvarValue), VT_I4);
    EXPECT_EQ(V_I4(desc->lpvarValue), constants[i].value);
    EXPECT_EQ(Doc(periods.Get(), desc->memid), constants[i].name);
    EXPECT_EQ(Doc(periods.Get(), desc->memid, true), constants[i].name);
    periods->ReleaseVarDesc(desc);
  }
}

}  // namespace
}  // namespace quillon::testing
