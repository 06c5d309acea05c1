// _QuillonPD through its table of operations and through IDispatch, and IProvideClassInfo2.
// Each entry point is guarded: no C++ exception leaves it, a failure becomes an HRESULT.

#include "package/com_guard.h"
#include "package/com_text.h"
#include "package/quillon_object.h"

namespace quillon {
namespace {

// Runs a put or a method that has no result of its own, holding the object: it may notify
// the container or read its ambient properties, and the container may release it meanwhile.
template <class F>
HRESULT Do(_QuillonPD* iface, F&& call) noexcept {
  const ComPtr<IUnknown> alive = impl_from(iface).KeepAlive();
  return GuardCall([&] {
    call();
    return S_OK;
  });
}

// A text getter: *out receives a new BSTR, or NULL on failure.
template <class F>
HRESULT GetText(BSTR* out, F&& compute) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return GuardCall([&] { return BstrFromText(compute(), out); });
}

template <class T, class F>
HRESULT GetValue(T* out, F&& compute) noexcept {
  if (out == nullptr) return E_POINTER;
  return GuardCall([&] {
    *out = compute();
    return S_OK;
  });
}

QuillonPD& ModelOf(_QuillonPD* iface) { return impl_from(iface).model(); }

// Property gets without arguments, what scripts and containers call most, go straight to the
// getter: the same result as through ITypeInfo::Invoke, without the temporary arrays it
// allocates for every call. Anything else, and a getter that fails, takes the general path.
template <class T, VARTYPE kType, HRESULT (STDMETHODCALLTYPE _QuillonPD::*kGet)(T*)>
bool GetDirect(_QuillonPD* pd, VARIANT* result) {
  T value{};
  if (FAILED((pd->*kGet)(&value))) return false;
  V_VT(result) = kType;
  if constexpr (kType == VT_BSTR) {
    V_BSTR(result) = value;
  } else if constexpr (kType == VT_R8) {
    V_R8(result) = value;
  } else {
    V_I4(result) = value;
  }
  return true;
}

constexpr DISPID Dispid(PropertyId id) { return PropertyOf(id).dispid; }

struct DirectGet {
  DISPID id;
  bool (*get)(_QuillonPD* pd, VARIANT* result);
};

constexpr DirectGet kDirectGets[] = {
    {Dispid(PropertyId::NTF), GetDirect<BSTR, VT_BSTR, &_QuillonPD::get_NTF>},
    {Dispid(PropertyId::Formatage), GetDirect<BSTR, VT_BSTR, &_QuillonPD::get_Formatage>},
    {Dispid(PropertyId::Valeur), GetDirect<BSTR, VT_BSTR, &_QuillonPD::get_Valeur>},
    {Dispid(PropertyId::ValeurNombre), GetDirect<double, VT_R8, &_QuillonPD::get_ValeurNombre>},
    {Dispid(PropertyId::ValeurFormatee), GetDirect<BSTR, VT_BSTR, &_QuillonPD::get_ValeurFormatee>},
    {Dispid(PropertyId::HorodatageDernLect), GetDirect<BSTR, VT_BSTR, &_QuillonPD::get_HorodatageDernLect>},
    {Dispid(PropertyId::Qualite), GetDirect<BSTR, VT_BSTR, &_QuillonPD::get_Qualite>},
    {Dispid(PropertyId::Frequence_Rafraichissement), GetDirect<::E_POLLTIME, VT_I4, &_QuillonPD::get_Frequence_Rafraichissement>},
};

bool InvokeDirectGet(_QuillonPD* pd, DISPID id, WORD flags, const DISPPARAMS& params,
                     VARIANT* result) {
  if (!(flags & DISPATCH_PROPERTYGET) || params.cArgs != 0 || params.cNamedArgs != 0 ||
      result == nullptr) {
    return false;
  }
  for (const DirectGet& g : kDirectGets) {
    if (g.id == id) return g.get(pd, result);
  }
  return false;
}

}  // namespace

// --- IDispatch, through the type information of the embedded type library ----------------

HRESULT QuillonObject::Automation::GetTypeInfoCount(UINT* count) {
  QUILLON_COM_TRACE("IDispatch", GetTypeInfoCount, count);
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT QuillonObject::Automation::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) {
  QUILLON_COM_TRACE("IDispatch", GetTypeInfo, index, lcid, out);
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  const HRESULT hr =
      impl_from<_QuillonPD>(this).env().type_info().Get(TypeInfoCache::kDispatch, out);
  if (SUCCEEDED(hr)) (*out)->AddRef();
  return hr;
}

HRESULT QuillonObject::Automation::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                                 LCID lcid, DISPID* ids) {
  QUILLON_COM_TRACE("IDispatch", GetIDsOfNames, riid, names, count, lcid, ids);
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  ITypeInfo* info = nullptr;
  const HRESULT hr =
      impl_from<_QuillonPD>(this).env().type_info().Get(TypeInfoCache::kInterface, &info);
  if (FAILED(hr)) return hr;
  return DispGetIDsOfNames(info, names, count, ids);
}

// ITypeInfo::Invoke finds the member, converts the arguments and calls this interface's table
// of operations, answering as Automation clients expect; HostNeutralInvoke (member_shapes.h)
// evens out what it does differently under Wine.
HRESULT QuillonObject::Automation::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                          DISPPARAMS* params, VARIANT* result, EXCEPINFO* error,
                                          UINT* arg_error) {
  QUILLON_COM_TRACE("IDispatch", Invoke, id, riid, lcid, flags, params, result, error, arg_error);
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_POINTER;
  // A get without arguments passes CheckDispParams: it goes first, as the most frequent call.
  if (InvokeDirectGet(this, id, flags, *params, result)) return S_OK;
  HRESULT hr = CheckDispParams(*params);
  if (FAILED(hr)) return hr;
  // The member called may release the object, and with its last control the type information.
  const ComPtr<IUnknown> alive = impl_from<_QuillonPD>(this).KeepAlive();
  TypeInfoCache& cache = impl_from<_QuillonPD>(this).env().type_info();
  ITypeInfo* info = nullptr;
  hr = cache.Get(TypeInfoCache::kInterface, &info);
  if (FAILED(hr)) return hr;
  const MemberShape* shape = cache.shapes().Find(id, flags);
  if (shape == nullptr) return DISP_E_MEMBERNOTFOUND;
  return HostNeutralInvoke(info, static_cast<_QuillonPD*>(this), *shape, flags, *params, result,
                           error, arg_error);
}

// --- _QuillonPD, in the order of its table ------------------------------------------------

HRESULT QuillonObject::Automation::put_NTF(BSTR value) {
  QUILLON_COM_TRACE("_QuillonPD", put_NTF, value);
  return Do(this, [&] { ModelOf(this).put_NTF(TextFromBstr(value)); });
}

HRESULT QuillonObject::Automation::get_NTF(BSTR* value) {
  QUILLON_COM_TRACE("_QuillonPD", get_NTF, value);
  return GetText(value, [&] { return ModelOf(this).get_NTF(); });
}

HRESULT QuillonObject::Automation::put_Formatage(BSTR value) {
  QUILLON_COM_TRACE("_QuillonPD", put_Formatage, value);
  return Do(this, [&] { ModelOf(this).put_Formatage(TextFromBstr(value)); });
}

HRESULT QuillonObject::Automation::get_Formatage(BSTR* value) {
  QUILLON_COM_TRACE("_QuillonPD", get_Formatage, value);
  return GetText(value, [&] { return ModelOf(this).get_Formatage(); });
}

HRESULT QuillonObject::Automation::get_Valeur(BSTR* value) {
  QUILLON_COM_TRACE("_QuillonPD", get_Valeur, value);
  return GetText(value, [&] { return ModelOf(this).get_Valeur(); });
}

HRESULT QuillonObject::Automation::put_Valeur(BSTR value) {
  QUILLON_COM_TRACE("_QuillonPD", put_Valeur, value);
  return Do(this, [&] { ModelOf(this).put_Valeur(TextFromBstr(value)); });
}

HRESULT QuillonObject::Automation::get_ValeurNombre(double* value) {
  QUILLON_COM_TRACE("_QuillonPD", get_ValeurNombre, value);
  return GetValue(value, [&] { return ModelOf(this).get_ValeurNombre(); });
}

HRESULT QuillonObject::Automation::put_ValeurNombre(double value) {
  QUILLON_COM_TRACE("_QuillonPD", put_ValeurNombre, value);
  return Do(this, [&] { ModelOf(this).put_ValeurNombre(value); });
}

HRESULT QuillonObject::Automation::get_ValeurFormatee(BSTR* value) {
  QUILLON_COM_TRACE("_QuillonPD", get_ValeurFormatee, value);
  return GetText(value, [&] { return ModelOf(this).get_ValeurFormatee(); });
}

HRESULT QuillonObject::Automation::put_ValeurFormatee(BSTR value) {
  QUILLON_COM_TRACE("_QuillonPD", put_ValeurFormatee, value);
  return Do(this, [&] { ModelOf(this).put_ValeurFormatee(TextFromBstr(value)); });
}

HRESULT QuillonObject::Automation::get_HorodatageDernLect(BSTR* value) {
  QUILLON_COM_TRACE("_QuillonPD", get_HorodatageDernLect, value);
  return GetText(value, [&] { return ModelOf(this).get_HorodatageDernLect(); });
}

HRESULT QuillonObject::Automation::put_HorodatageDernLect(BSTR value) {
  QUILLON_COM_TRACE("_QuillonPD", put_HorodatageDernLect, value);
  return Do(this, [&] { ModelOf(this).put_HorodatageDernLect(TextFromBstr(value)); });
}

HRESULT QuillonObject::Automation::get_Qualite(BSTR* value) {
  QUILLON_COM_TRACE("_QuillonPD", get_Qualite, value);
  return GetText(value, [&] { return ModelOf(this).get_Qualite(); });
}

HRESULT QuillonObject::Automation::put_Qualite(BSTR value) {
  QUILLON_COM_TRACE("_QuillonPD", put_Qualite, value);
  return Do(this, [&] { ModelOf(this).put_Qualite(TextFromBstr(value)); });
}

HRESULT QuillonObject::Automation::put_Frequence_Rafraichissement(::E_POLLTIME value) {
  QUILLON_COM_TRACE("_QuillonPD", put_Frequence_Rafraichissement, value);
  return Do(this,
            [&] { ModelOf(this).put_Frequence_Rafraichissement(static_cast<int32_t>(value)); });
}

HRESULT QuillonObject::Automation::get_Frequence_Rafraichissement(::E_POLLTIME* value) {
  QUILLON_COM_TRACE("_QuillonPD", get_Frequence_Rafraichissement, value);
  return GetValue(value, [&] {
    return static_cast<::E_POLLTIME>(ModelOf(this).get_Frequence_Rafraichissement());
  });
}

HRESULT QuillonObject::Automation::Rafraichir() {
  QUILLON_COM_TRACE("_QuillonPD", Rafraichir);
  return Do(this, [&] { ModelOf(this).Rafraichir(); });
}

// The four arguments are passed by reference and left as they came.
HRESULT QuillonObject::Automation::MaJNTF(BSTR* valeur, BSTR* valeur_formatee,
                                          unsigned char* qualite, DATE* date_dern_lect) {
  QUILLON_COM_TRACE("_QuillonPD", MaJNTF, valeur, valeur_formatee, qualite, date_dern_lect);
  if (valeur == nullptr || valeur_formatee == nullptr || qualite == nullptr ||
      date_dern_lect == nullptr) {
    return E_POINTER;
  }
  return Do(this, [&] {
    ModelOf(this).MaJNTF(TextFromBstr(*valeur), TextFromBstr(*valeur_formatee), *qualite,
                         *date_dern_lect);
  });
}

// --- IProvideClassInfo2 -------------------------------------------------------------------

HRESULT QuillonObject::ClassInfo::GetClassInfo(ITypeInfo** out) {
  QUILLON_COM_TRACE("IProvideClassInfo", GetClassInfo, out);
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  const HRESULT hr =
      impl_from<IProvideClassInfo2>(this).env().type_info().Get(TypeInfoCache::kClass, out);
  if (SUCCEEDED(hr)) (*out)->AddRef();
  return hr;
}

HRESULT QuillonObject::ClassInfo::GetGUID(DWORD kind, GUID* guid) {
  QUILLON_COM_TRACE("IProvideClassInfo2", GetGUID, kind, guid);
  if (guid == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = DIID___QuillonPD;
  return S_OK;
}

}  // namespace quillon
