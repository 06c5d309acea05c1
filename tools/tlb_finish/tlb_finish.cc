// tlb_finish IN.tlb OUT.tlb
//
// Writes the type library that the control ships from the one widl wrote out of
// HN_QuillonPD.idl, through ICreateTypeLib2. Library attributes, types, members, names and
// identifiers are copied as they are; the copy adds what widl cannot write:
//   - the types in a fixed order (kTypes);
//   - the non-extensible flag of the source dispinterface;
//   - on each enumeration constant, its own name as help string.
// A type of the input missing from kTypes, or the reverse, is an error: the shipped library
// never loses a type silently. Runs at build time (under Wine when cross-compiling).

#include <windows.h>
// after windows.h
#include <oleauto.h>

#include <cstdio>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "package/com_ptr.h"

namespace quillon {
namespace {

struct TypeRule {
  const wchar_t* name;
  WORD added_flags;
};

// The types of the library in their shipped order, and the flags each one gains.
constexpr TypeRule kTypes[] = {
    {L"_QuillonPD", 0},
    {L"QuillonPD", 0},
    {L"__QuillonPD", TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE},
    {L"E_POLLTIME", 0},
};

// The name HN_QuillonPD.idl gives the value of every property accessor.
constexpr wchar_t kPropertyValueName[] = L"donnee";

bool Ok(HRESULT hr, const char* step) {
  if (SUCCEEDED(hr)) return true;
  std::fprintf(stderr, "tlb_finish: %s failed (0x%08lX)\n", step, static_cast<unsigned long>(hr));
  return false;
}

// Owns the BSTRs of one GetNames or GetDocumentation call.
struct Names {
  BSTR items[64] = {};
  UINT count = 0;
  Names() = default;
  Names(const Names&) = delete;
  Names& operator=(const Names&) = delete;
  ~Names() {
    for (BSTR name : items) SysFreeString(name);
  }
};

std::wstring NameOf(ITypeInfo* info, MEMBERID member) {
  Names doc;
  if (FAILED(info->GetDocumentation(member, &doc.items[0], nullptr, nullptr, nullptr))) return {};
  return doc.items[0] != nullptr ? doc.items[0] : L"";
}

std::wstring DocStringOf(ITypeInfo* info, MEMBERID member) {
  Names doc;
  if (FAILED(info->GetDocumentation(member, nullptr, &doc.items[0], nullptr, nullptr))) return {};
  return doc.items[0] != nullptr ? doc.items[0] : L"";
}

class Finisher {
 public:
  bool Run(const wchar_t* in, const wchar_t* out) {
    return Ok(LoadTypeLibEx(in, REGKIND_NONE, source_.Put()), "LoadTypeLibEx") &&
           Ok(CreateTypeLib2(SourceSysKind(), out, target_.Put()), "CreateTypeLib2") &&
           CopyLibrary() && CreateTypes() && FillTypes() &&
           Ok(target_->SaveAllChanges(), "SaveAllChanges");
  }

 private:
  struct Entry {
    const TypeRule* rule;
    ComPtr<ITypeInfo> source;  // for a dual interface, its table-of-operations view
    TYPEKIND kind;
    WORD flags;
    ComPtr<ICreateTypeInfo2> target;
  };

  // The target widl wrote the library for (win32 or win64).
  SYSKIND SourceSysKind() {
    TLIBATTR* attr = nullptr;
    if (FAILED(source_->GetLibAttr(&attr))) return SYS_WIN32;
    const SYSKIND kind = attr->syskind;
    source_->ReleaseTLibAttr(attr);
    return kind;
  }

  bool CopyLibrary() {
    TLIBATTR* attr = nullptr;
    if (!Ok(source_->GetLibAttr(&attr), "GetLibAttr")) return false;
    const TLIBATTR lib = *attr;
    source_->ReleaseTLibAttr(attr);
    Names doc;
    if (!Ok(source_->GetDocumentation(-1, &doc.items[0], &doc.items[1], nullptr, nullptr),
            "library documentation")) {
      return false;
    }
    return Ok(target_->SetName(doc.items[0]), "SetName") &&
           Ok(target_->SetGuid(lib.guid), "SetGuid") &&
           Ok(target_->SetVersion(lib.wMajorVerNum, lib.wMinorVerNum), "SetVersion") &&
           Ok(target_->SetLcid(lib.lcid), "SetLcid") &&
           Ok(target_->SetLibFlags(lib.wLibFlags), "SetLibFlags") &&
           (doc.items[1] == nullptr || Ok(target_->SetDocString(doc.items[1]), "SetDocString"));
  }

  bool CreateTypes() {
    const UINT count = source_->GetTypeInfoCount();
    if (count != sizeof(kTypes) / sizeof(kTypes[0])) {
      std::fprintf(stderr, "tlb_finish: the library holds %u types, the order lists %u\n", count,
                   static_cast<unsigned>(sizeof(kTypes) / sizeof(kTypes[0])));
      return false;
    }
    for (const TypeRule& rule : kTypes) {
      Entry& entry = entries_.emplace_back();
      entry.rule = &rule;
      if (!FindSource(entry) || !CreateTarget(entry)) return false;
    }
    return true;
  }

  bool FindSource(Entry& entry) {
    for (UINT i = 0; i < source_->GetTypeInfoCount(); ++i) {
      Names doc;
      if (FAILED(source_->GetDocumentation(i, &doc.items[0], nullptr, nullptr, nullptr)) ||
          doc.items[0] == nullptr || std::wstring(doc.items[0]) != entry.rule->name) {
        continue;
      }
      if (!Ok(source_->GetTypeInfo(i, entry.source.Put()), "GetTypeInfo")) return false;
      return ReadKind(entry);
    }
    std::fprintf(stderr, "tlb_finish: type %ls not found\n", entry.rule->name);
    return false;
  }

  // A dual interface is read as a dispinterface; its members are copied from the interface
  // it is the dispatch view of.
  bool ReadKind(Entry& entry) {
    TYPEATTR* attr = nullptr;
    if (!Ok(entry.source->GetTypeAttr(&attr), "GetTypeAttr")) return false;
    entry.kind = attr->typekind;
    entry.flags = attr->wTypeFlags | entry.rule->added_flags;
    entry.source->ReleaseTypeAttr(attr);
    if (entry.kind != TKIND_DISPATCH || (entry.flags & TYPEFLAG_FDUAL) == 0) return true;
    HREFTYPE vtable_view = 0;
    ComPtr<ITypeInfo> view;
    if (!Ok(entry.source->GetRefTypeOfImplType(-1, &vtable_view), "dual view") ||
        !Ok(entry.source->GetRefTypeInfo(vtable_view, view.Put()), "dual view")) {
      return false;
    }
    entry.source = std::move(view);
    entry.kind = TKIND_INTERFACE;
    // The interface's own flags: the dispatch view does not show it Automation-compatible.
    if (!Ok(entry.source->GetTypeAttr(&attr), "GetTypeAttr")) return false;
    entry.flags = attr->wTypeFlags | entry.rule->added_flags;
    entry.source->ReleaseTypeAttr(attr);
    return true;
  }

  bool CreateTarget(Entry& entry) {
    ComPtr<ICreateTypeInfo> created;
    return Ok(target_->CreateTypeInfo(const_cast<LPOLESTR>(entry.rule->name), entry.kind,
                                      created.Put()),
              "CreateTypeInfo") &&
           Ok(created->QueryInterface(IID_ICreateTypeInfo2, entry.target.PutVoid()),
              "ICreateTypeInfo2");
  }

  bool FillTypes() {
    for (Entry& entry : entries_) {
      if (!CopyTypeAttributes(entry) || !CopyImplementedTypes(entry) || !CopyFunctions(entry) ||
          !CopyVariables(entry) || !Ok(entry.target->LayOut(), "LayOut")) {
        std::fprintf(stderr, "tlb_finish: while writing %ls\n", entry.rule->name);
        return false;
      }
    }
    return true;
  }

  bool CopyTypeAttributes(Entry& entry) {
    TYPEATTR* attr = nullptr;
    if (!Ok(entry.source->GetTypeAttr(&attr), "GetTypeAttr")) return false;
    const TYPEATTR type = *attr;
    entry.source->ReleaseTypeAttr(attr);
    const std::wstring doc = DocStringOf(entry.source.Get(), MEMBERID_NIL);
    return Ok(entry.target->SetGuid(type.guid), "SetGuid") &&
           Ok(entry.target->SetVersion(type.wMajorVerNum, type.wMinorVerNum), "SetVersion") &&
           Ok(entry.target->SetAlignment(type.cbAlignment), "SetAlignment") &&
           (doc.empty() ||
            Ok(entry.target->SetDocString(const_cast<LPOLESTR>(doc.c_str())), "SetDocString"));
  }

  // Implemented types first: setting the dual flag relies on the base interface being known.
  bool CopyImplementedTypes(Entry& entry) {
    TYPEATTR* attr = nullptr;
    if (!Ok(entry.source->GetTypeAttr(&attr), "GetTypeAttr")) return false;
    const UINT count = attr->cImplTypes;
    entry.source->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
      HREFTYPE from = 0;
      HREFTYPE to = 0;
      INT impl_flags = 0;
      if (!Ok(entry.source->GetRefTypeOfImplType(i, &from), "GetRefTypeOfImplType") ||
          !MapReference(entry, from, &to) || !Ok(entry.target->AddImplType(i, to), "AddImplType")) {
        return false;
      }
      if (entry.kind != TKIND_COCLASS) continue;  // only a class flags what it implements
      if (!Ok(entry.source->GetImplTypeFlags(i, &impl_flags), "GetImplTypeFlags") ||
          !Ok(entry.target->SetImplTypeFlags(i, impl_flags), "SetImplTypeFlags")) {
        return false;
      }
    }
    return Ok(entry.target->SetTypeFlags(entry.flags), "SetTypeFlags");
  }

  // A reference of the source into the target: types of this library map to their copies,
  // others (stdole2's IDispatch) are referenced as they are.
  bool MapReference(Entry& entry, HREFTYPE from, HREFTYPE* to) {
    ComPtr<ITypeInfo> referenced;
    if (!Ok(entry.source->GetRefTypeInfo(from, referenced.Put()), "GetRefTypeInfo")) return false;
    ComPtr<ITypeInfo> local;
    if (!LocalCopyOf(referenced.Get(), local)) return false;
    ITypeInfo* target = local ? local.Get() : referenced.Get();
    return Ok(entry.target->AddRefTypeInfo(target, to), "AddRefTypeInfo");
  }

  bool LocalCopyOf(ITypeInfo* referenced, ComPtr<ITypeInfo>& local) {
    ComPtr<ITypeLib> library;
    UINT index = 0;
    if (!Ok(referenced->GetContainingTypeLib(library.Put(), &index), "GetContainingTypeLib")) {
      return false;
    }
    if (library.Get() != source_.Get() && !SameLibrary(library.Get())) return true;
    const std::wstring name = NameOf(referenced, MEMBERID_NIL);
    for (Entry& entry : entries_) {
      if (name == entry.rule->name) {
        return Ok(entry.target->QueryInterface(IID_ITypeInfo, local.PutVoid()), "ITypeInfo");
      }
    }
    std::fprintf(stderr, "tlb_finish: reference to unknown type %ls\n", name.c_str());
    return false;
  }

  bool SameLibrary(ITypeLib* library) {
    TLIBATTR* a = nullptr;
    TLIBATTR* b = nullptr;
    if (FAILED(library->GetLibAttr(&a))) return false;
    if (FAILED(source_->GetLibAttr(&b))) {
      library->ReleaseTLibAttr(a);
      return false;
    }
    const bool same = IsEqualGUID(a->guid, b->guid);
    library->ReleaseTLibAttr(a);
    source_->ReleaseTLibAttr(b);
    return same;
  }

  bool CopyTypeDesc(Entry& entry, const TYPEDESC& from, TYPEDESC* to) {
    *to = from;
    switch (from.vt) {
      case VT_PTR:
      case VT_SAFEARRAY: {
        TYPEDESC& inner = typedescs_.emplace_back();
        to->lptdesc = &inner;
        return CopyTypeDesc(entry, *from.lptdesc, &inner);
      }
      case VT_USERDEFINED:
        return MapReference(entry, from.hreftype, &to->hreftype);
      case VT_CARRAY:
        std::fprintf(stderr, "tlb_finish: fixed-size arrays are not copied\n");
        return false;
      default:
        return true;
    }
  }

  bool CopyFunctions(Entry& entry) {
    TYPEATTR* attr = nullptr;
    if (!Ok(entry.source->GetTypeAttr(&attr), "GetTypeAttr")) return false;
    const UINT count = attr->cFuncs;
    entry.source->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
      FUNCDESC* desc = nullptr;
      if (!Ok(entry.source->GetFuncDesc(i, &desc), "GetFuncDesc")) return false;
      const bool copied = CopyFunction(entry, i, *desc);
      entry.source->ReleaseFuncDesc(desc);
      if (!copied) return false;
    }
    return true;
  }

  bool CopyFunction(Entry& entry, UINT index, const FUNCDESC& from) {
    FUNCDESC desc = from;
    std::vector<ELEMDESC> params(from.lprgelemdescParam, from.lprgelemdescParam + from.cParams);
    for (SHORT p = 0; p < from.cParams; ++p) {
      if (!CopyTypeDesc(entry, from.lprgelemdescParam[p].tdesc, &params[p].tdesc)) return false;
    }
    if (!CopyTypeDesc(entry, from.elemdescFunc.tdesc, &desc.elemdescFunc.tdesc)) return false;
    desc.lprgelemdescParam = params.data();
    desc.lprgscode = nullptr;
    desc.cScodes = 0;
    if (!Ok(entry.target->AddFuncDesc(index, &desc), "AddFuncDesc")) return false;
    // Property puts take no name for their value; every other function names its arguments.
    Names names;
    if (!Ok(entry.source->GetNames(from.memid, names.items, 64, &names.count), "GetNames")) {
      return false;
    }
    const bool put = (from.invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) != 0;
    const UINT wanted = from.cParams + (put ? 0 : 1);
    if (from.invkind == INVOKE_PROPERTYGET && names.count == wanted - 1) {
      // A library answers one set of names per DISPID: a get that follows its put cannot
      // read the name of its value, which the IDL spells alike in both accessors.
      names.items[names.count++] = SysAllocString(kPropertyValueName);
    }
    if (names.count < wanted) {
      std::fprintf(stderr, "tlb_finish: %ls names %u of %u arguments\n", names.items[0],
                   names.count, wanted);
      return false;
    }
    const std::wstring doc = DocStringOf(entry.source.Get(), from.memid);
    return Ok(entry.target->SetFuncAndParamNames(index, names.items, wanted), "SetNames") &&
           (doc.empty() ||
            Ok(entry.target->SetFuncDocString(index, const_cast<LPOLESTR>(doc.c_str())),
               "SetFuncDocString"));
  }

  bool CopyVariables(Entry& entry) {
    TYPEATTR* attr = nullptr;
    if (!Ok(entry.source->GetTypeAttr(&attr), "GetTypeAttr")) return false;
    const UINT count = attr->cVars;
    entry.source->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
      VARDESC* desc = nullptr;
      if (!Ok(entry.source->GetVarDesc(i, &desc), "GetVarDesc")) return false;
      const bool copied = CopyVariable(entry, i, *desc);
      entry.source->ReleaseVarDesc(desc);
      if (!copied) return false;
    }
    return true;
  }

  // An enumeration constant's help string is its own name.
  bool CopyVariable(Entry& entry, UINT index, const VARDESC& from) {
    VARDESC desc = from;
    if (!CopyTypeDesc(entry, from.elemdescVar.tdesc, &desc.elemdescVar.tdesc)) return false;
    std::wstring name = NameOf(entry.source.Get(), from.memid);
    std::wstring doc = DocStringOf(entry.source.Get(), from.memid);
    if (entry.kind == TKIND_ENUM) doc = name;
    return Ok(entry.target->AddVarDesc(index, &desc), "AddVarDesc") &&
           Ok(entry.target->SetVarName(index, name.data()), "SetVarName") &&
           (doc.empty() || Ok(entry.target->SetVarDocString(index, doc.data()), "SetVarDocString"));
  }

  ComPtr<ITypeLib> source_;
  ComPtr<ICreateTypeLib2> target_;
  std::deque<Entry> entries_;
  std::deque<TYPEDESC> typedescs_;  // copied inner type descriptions, at stable addresses
};

}  // namespace
}  // namespace quillon

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tlb_finish IN.tlb OUT.tlb\n");
    return 2;
  }
  if (FAILED(CoInitialize(nullptr))) return 1;
  bool ok = false;
  {
    quillon::Finisher finisher;
    ok = finisher.Run(argv[1], argv[2]);
  }
  CoUninitialize();
  return ok ? 0 : 1;
}
