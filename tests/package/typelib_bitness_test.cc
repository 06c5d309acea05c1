// The 64-bit library's type library against the 32-bit one's, both read back in this process:
// the same library attributes, types, members in the same order with the same DISPIDs, flags,
// arguments, table slots and texts. (The reader gives the table offsets of either library in
// this process's pointer width.)
#include <gtest/gtest.h>

#include <sstream>

#include "package_fixture.h"

namespace quillon::testing {
namespace {

// The 32-bit library of the win32 build (QUILLON_WIN32_OCX_PATH is set by the build).
std::wstring Win32OcxPath() {
  const std::string unix_path = QUILLON_WIN32_OCX_PATH;
  std::wstring path = L"Z:";
  for (char c : unix_path) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One line per library, type, member and argument; table offsets as slot numbers.
class Dumper {
 public:
  std::string Library(ITypeLib* library) {
    TLIBATTR* attr = nullptr;
    if (FAILED(library->GetLibAttr(&attr))) return "no library attributes";
    out_ << "library " << Narrow(GuidText(attr->guid)) << ' ' << attr->wMajorVerNum << '.'
         << attr->wMinorVerNum << " lcid " << attr->lcid << " flags "
         << (attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE) << ' ' << Docs(library, -1) << '\n';
    library->ReleaseTLibAttr(attr);
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
      ComPtr<ITypeInfo> info;
      if (SUCCEEDED(library->GetTypeInfo(i, info.Put()))) Type(info.Get());
    }
    return out_.str();
  }

 private:
  void Type(ITypeInfo* info) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return;
    out_ << "type " << Narrow(GuidText(attr->guid)) << " kind " << attr->typekind << " flags "
         << attr->wTypeFlags << " implements " << attr->cImplTypes << ' '
         << Docs(info, MEMBERID_NIL) << '\n';
    for (UINT i = 0; i < attr->cFuncs; ++i) Function(info, i);
    for (UINT i = 0; i < attr->cVars; ++i) Variable(info, i);
    for (UINT i = 0; i < attr->cImplTypes; ++i) {
      INT flags = 0;
      info->GetImplTypeFlags(i, &flags);
      out_ << "  implements " << i << " flags " << flags << '\n';
    }
    const bool dual = attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attr);
    // A dual interface's table-of-operations view, where the slots are.
    HREFTYPE view = 0;
    ComPtr<ITypeInfo> vtable;
    if (dual && SUCCEEDED(info->GetRefTypeOfImplType(-1, &view)) &&
        SUCCEEDED(info->GetRefTypeInfo(view, vtable.Put()))) {
      Type(vtable.Get());
    }
  }

  void Function(ITypeInfo* info, UINT index) {
    FUNCDESC* desc = nullptr;
    if (FAILED(info->GetFuncDesc(index, &desc))) return;
    out_ << "  function " << desc->memid << " invoke " << desc->invkind << " kind "
         << desc->funckind << " flags " << desc->wFuncFlags << " slot " << desc->oVft / kSlotBytes
         << " returns " << desc->elemdescFunc.tdesc.vt << ' ' << Docs(info, desc->memid) << '\n';
    for (SHORT i = 0; i < desc->cParams; ++i) {
      const ELEMDESC& param = desc->lprgelemdescParam[i];
      out_ << "    argument " << param.tdesc.vt << " flags " << param.paramdesc.wParamFlags << '\n';
    }
    info->ReleaseFuncDesc(desc);
  }

  void Variable(ITypeInfo* info, UINT index) {
    VARDESC* desc = nullptr;
    if (FAILED(info->GetVarDesc(index, &desc))) return;
    out_ << "  constant " << desc->memid << " flags " << desc->wVarFlags << " value "
         << (desc->varkind == VAR_CONST ? desc->lpvarValue->lVal : -1) << ' '
         << Docs(info, desc->memid) << '\n';
    info->ReleaseVarDesc(desc);
  }

  template <typename Source>
  static std::string Docs(Source* source, MEMBERID member) {
    BSTR name = nullptr;
    BSTR doc = nullptr;
    source->GetDocumentation(member, &name, &doc, nullptr, nullptr);
    const std::string text = "'" + Narrow(name != nullptr ? name : L"") + "' '" +
                             Narrow(doc != nullptr ? doc : L"") + "'";
    SysFreeString(name);
    SysFreeString(doc);
    return text;
  }

  static constexpr size_t kSlotBytes = sizeof(void*);
  std::ostringstream out_;
};

TEST(TypeLibBitnessTest, SameMembersDispidsAndFlagsAsTheThirtyTwoBitLibrary) {
  ComScope com;
  if (!FileExists(Win32OcxPath())) GTEST_SKIP() << "no 32-bit library: build the win32 preset";
  ComPtr<ITypeLib> library64;
  ComPtr<ITypeLib> library32;
  ASSERT_EQ(LoadTypeLibEx(OcxPath().c_str(), REGKIND_NONE, library64.Put()), S_OK);
  ASSERT_EQ(LoadTypeLibEx(Win32OcxPath().c_str(), REGKIND_NONE, library32.Put()), S_OK);
  const std::string dump64 = Dumper().Library(library64.Get());
  EXPECT_EQ(dump64, Dumper().Library(library32.Get()));
  EXPECT_NE(dump64.find("'MaJNTF'"), std::string::npos) << dump64;
}

}  // namespace
}  // namespace quillon::testing
