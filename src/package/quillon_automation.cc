// _QuillonPD through its table of operations and through IDispatch, and IProvideClassInfo2.
// Each entry point is guarded: no C++ exception leaves it, a failure becomes an HRESULT.
#include <new>

#include "package/com_text.h"
#include "package/quillon_object.h"

namespace quillon {
namespace {

template <class F>
HRESULT Guard(F&& call) noexcept {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// Runs a put or a method that has no result of its own.
template <class F>
HRESULT Do(F&& call) noexcept {
  return Guard([&] {
    call();
    return S_OK;
  });
}

// A text getter: *out receives a new BSTR, or NULL on failure.
template <class F>
HRESULT GetText(BSTR* out, F&& compute) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return Guard([&] { return BstrFromText(compute(), out); });
}

template <class T, class F>
HRESULT GetValue(T* out, F&& compute) noexcept {
  if (out == nullptr) return E_POINTER;
  return Guard([&] {
    *out = compute();
    return S_OK;
  });
}

QuillonPD& ModelOf(_QuillonPD* iface) { return impl_from(iface).model(); }

}  // namespace

// --- IDispatch, through the type information of the embedded type library ----------------

HRESULT QuillonObject::Automation::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT QuillonObject::Automation::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  const HRESULT hr = impl_from<_QuillonPD>(this).env().type_info().Get(TypeInfoCache::kDispatch, out);
  if (SUCCEEDED(hr)) (*out)->AddRef();
  return hr;
}

HRESULT QuillonObject::Automation::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  ITypeInfo* info = nullptr;
  const HRESULT hr = impl_from<_QuillonPD>(this).env().type_info().Get(TypeInfoCache::kInterface, &info);
  if (FAILED(hr)) return hr;
  return DispGetIDsOfNames(info, names, count, ids);
}

// ITypeInfo::Invoke finds the member, checks and converts the arguments and calls this
// interface's table of operations, answering as Automation clients expect.
HRESULT QuillonObject::Automation::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* error, UINT* arg_error) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_POINTER;
  ITypeInfo* info = nullptr;
  const HRESULT hr = impl_from<_QuillonPD>(this).env().type_info().Get(TypeInfoCache::kInterface, &info);
  if (FAILED(hr)) return hr;
  return info->Invoke(static_cast<_QuillonPD*>(this), id, flags, params, result, error, arg_error);
}

// --- _QuillonPD, in the order of its table ------------------------------------------------

HRESULT QuillonObject::Automation::put_NTF(BSTR value) {
  return Do([&] { ModelOf(this).put_NTF(TextFromBstr(value)); });
}

HRESULT QuillonObject::Automation::get_NTF(BSTR* value) {
  return GetText(value, [&] { return ModelOf(this).get_NTF(); });
}

HRESULT QuillonObject::Automation::put_Formatage(BSTR value) {
  return Do([&] { ModelOf(this).put_Formatage(TextFromBstr(value)); });
}

HRESULT QuillonObject::Automation::get_Formatage(BSTR* value) {
  return GetText(value, [&] { return ModelOf(this).get_Formatage(); });
}

HRESULT QuillonObject::Automation::get_Valeur(BSTR* value) {
  return GetText(value, [&] { return ModelOf(this).get_Valeur(); });
}

HRESULT QuillonObject::Automation::put_Valeur(BSTR value) {
  return Do([&] { ModelOf(this).put_Valeur(TextFromBstr(value)); });
}

HRESULT QuillonObject::Automation::get_ValeurNombre(double* value) {
  return GetValue(value, [&] { return ModelOf(this).get_ValeurNombre(); });
}

HRESULT QuillonObject::Automation::put_ValeurNombre(double value) {
  return Do([&] { ModelOf(this).put_ValeurNombre(value); });
}

HRESULT QuillonObject::Automation::get_ValeurFormatee(BSTR* value) {
  return GetText(value, [&] { return ModelOf(this).get_ValeurFormatee(); });
}

HRESULT QuillonObject::Automation::put_ValeurFormatee(BSTR value) {
  return Do([&] { ModelOf(this).put_ValeurFormatee(TextFromBstr(value)); });
}

HRESULT QuillonObject::Automation::get_HorodatageDernLect(BSTR* value) {
  return GetText(value, [&] { return ModelOf(this).get_HorodatageDernLect(); });
}

HRESULT QuillonObject::Automation::put_HorodatageDernLect(BSTR value) {
  return Do([&] { ModelOf(this).put_HorodatageDernLect(TextFromBstr(value)); });
}

HRESULT QuillonObject::Automation::get_Qualite(BSTR* value) {
  return GetText(value, [&] { return ModelOf(this).get_Qualite(); });
}

HRESULT QuillonObject::Automation::put_Qualite(BSTR value) {
  return Do([&] { ModelOf(this).put_Qualite(TextFromBstr(value)); });
}

HRESULT QuillonObject::Automation::put_Frequence_Rafraichissement(::E_POLLTIME value) {
  return Do([&] { ModelOf(this).put_Frequence_Rafraichissement(static_cast<int32_t>(value)); });
}

HRESULT QuillonObject::Automation::get_Frequence_Rafraichissement(::E_POLLTIME* value) {
  return GetValue(value, [&] {
    return static_cast<::E_POLLTIME>(ModelOf(this).get_Frequence_Rafraichissement());
  });
}

HRESULT QuillonObject::Automation::Rafraichir() {
  return Do([&] { ModelOf(this).Rafraichir(); });
}

// The four arguments are passed by reference and left as they came.
HRESULT QuillonObject::Automation::MaJNTF(BSTR* valeur, BSTR* valeur_formatee, unsigned char* qualite,
                           DATE* date_dern_lect) {
  if (valeur == nullptr || valeur_formatee == nullptr || qualite == nullptr ||
      date_dern_lect == nullptr) {
    return E_POINTER;
  }
  return Do([&] {
    ModelOf(this).MaJNTF(TextFromBstr(*valeur), TextFromBstr(*valeur_formatee), *qualite,
                         *date_dern_lect);
  });
}

// --- IProvideClassInfo2 -------------------------------------------------------------------

HRESULT QuillonObject::ClassInfo::GetClassInfo(ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  const HRESULT hr =
      impl_from<IProvideClassInfo2>(this).env().type_info().Get(TypeInfoCache::kClass, out);
  if (SUCCEEDED(hr)) (*out)->AddRef();
  return hr;
}

HRESULT QuillonObject::ClassInfo::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = DIID___QuillonPD;
  return S_OK;
}

}  // namespace quillon
