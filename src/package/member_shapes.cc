#include "package/member_shapes.h"

// oleauto.h needs windows.h first.
#include <oleauto.h>

namespace quillon {
namespace {

// The type a value of this argument is converted to: by-reference arguments to the type they
// point at, enumerations to 32-bit integers.
VARTYPE BaseType(const TYPEDESC& desc) {
  const TYPEDESC& target = desc.vt == VT_PTR && desc.lptdesc != nullptr ? *desc.lptdesc : desc;
  return target.vt == VT_USERDEFINED ? static_cast<VARTYPE>(VT_I4) : target.vt;
}

}  // namespace

HRESULT MemberShapes::Load(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  HRESULT hr = info->GetTypeAttr(&attr);
  if (FAILED(hr)) return hr;
  const UINT functions = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  count_ = 0;
  for (UINT i = 0; i < functions && count_ < shapes_.size(); ++i) {
    FUNCDESC* func = nullptr;
    hr = info->GetFuncDesc(i, &func);
    if (FAILED(hr)) return hr;
    MemberShape& shape = shapes_[count_];
    shape.id = func->memid;
    shape.kind = func->invkind;
    shape.params = 0;
    for (SHORT p = 0; p < func->cParams; ++p) {
      const ELEMDESC& arg = func->lprgelemdescParam[p];
      if (arg.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) continue;
      if (shape.params < shape.types.size()) shape.types[shape.params] = BaseType(arg.tdesc);
      ++shape.params;
    }
    info->ReleaseFuncDesc(func);
    // Members beyond what the table holds are left to ITypeInfo::Invoke alone.
    if (shape.params <= shape.types.size()) ++count_;
  }
  return S_OK;
}

const MemberShape* MemberShapes::Find(DISPID id, WORD flags) const {
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  for (size_t i = 0; i < count_; ++i) {
    const MemberShape& s = shapes_[i];
    if (s.id != id) continue;
    const bool shape_put = (s.kind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) != 0;
    if (put) {
      if (shape_put) return &s;
    } else if (((flags & DISPATCH_METHOD) && s.kind == INVOKE_FUNC) ||
               ((flags & DISPATCH_PROPERTYGET) && s.kind == INVOKE_PROPERTYGET)) {
      return &s;
    }
  }
  return nullptr;
}

HRESULT CheckArgumentCount(const MemberShape& shape, const DISPPARAMS& params) {
  return params.cArgs == shape.params ? S_OK : DISP_E_BADPARAMCOUNT;
}

UINT MismatchedArgument(const MemberShape& shape, const DISPPARAMS& params) {
  for (UINT p = 0; p < shape.params && p < params.cArgs; ++p) {
    // The value of a put is the named argument at index 0; the others come last first.
    const bool put = (shape.kind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) != 0;
    const UINT index = put ? 0 : params.cArgs - 1 - p;
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT hr = VariantChangeType(&converted, &params.rgvarg[index], 0, shape.types[p]);
    VariantClear(&converted);
    if (FAILED(hr)) return index;
  }
  return params.cArgs;
}

HRESULT CheckDispParams(const DISPPARAMS& params) {
  if (params.cArgs > 0 && params.rgvarg == nullptr) return E_INVALIDARG;
  if (params.cNamedArgs > 0 && params.rgdispidNamedArgs == nullptr) return E_INVALIDARG;
  return params.cNamedArgs > params.cArgs ? DISP_E_BADPARAMCOUNT : S_OK;
}

ArgumentCopies::~ArgumentCopies() {
  for (UINT i = 0; i < count_; ++i) VariantClear(&values_[i]);
}

HRESULT ArgumentCopies::Copy(const DISPPARAMS& params, UINT* bad) {
  if (params.cArgs > kMaxArguments) return DISP_E_BADPARAMCOUNT;
  for (UINT i = 0; i < params.cArgs; ++i) {
    *bad = i;
    VariantInit(&values_[i]);
    count_ = i + 1;
    const VARIANT* arg = &params.rgvarg[i];
    if (V_VT(arg) == (VT_VARIANT | VT_BYREF)) arg = V_VARIANTREF(arg);
    if (arg == nullptr || V_VT(arg) == (VT_VARIANT | VT_BYREF)) return DISP_E_TYPEMISMATCH;
    if (V_ISBYREF(arg) && V_BYREF(arg) == nullptr) return DISP_E_TYPEMISMATCH;
    const HRESULT hr = VariantCopyInd(&values_[i], const_cast<VARIANT*>(arg));  // only read
    if (hr == E_OUTOFMEMORY) return hr;
    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

DISPPARAMS ArgumentCopies::Forwarded(const DISPPARAMS& params) {
  DISPPARAMS forwarded = params;
  forwarded.rgvarg = count_ > 0 ? values_ : nullptr;
  return forwarded;
}

HRESULT HostNeutralInvoke(ITypeInfo* info, void* object, const MemberShape& shape, WORD flags,
                          const DISPPARAMS& params, VARIANT* result, EXCEPINFO* error,
                          UINT* arg_error) {
  HRESULT hr = CheckArgumentCount(shape, params);
  if (FAILED(hr)) return hr;
  ArgumentCopies copies;
  UINT bad = 0;
  hr = copies.Copy(params, &bad);
  if (FAILED(hr)) {
    if (hr == DISP_E_TYPEMISMATCH && arg_error != nullptr) *arg_error = bad;
    return hr;
  }
  DISPPARAMS forwarded = copies.Forwarded(params);
  hr = info->Invoke(object, shape.id, flags, &forwarded, result, error, arg_error);
  if (hr == DISP_E_TYPEMISMATCH && arg_error != nullptr) {
    *arg_error = MismatchedArgument(shape, forwarded);
  }
  return hr;
}

}  // namespace quillon
