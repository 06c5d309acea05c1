#include "package/ambient_properties.h"

#include <olectl.h>


namespace quillon {

namespace {

// An ambient property through the client site's IDispatch; `value` is left empty on failure.
HRESULT ReadAmbient(IOleClientSite* site, DISPID id, VARIANT* value) noexcept {
  VariantInit(value);
  IDispatch* ambient = nullptr;
  if (!site || FAILED(site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient))) ||
      !ambient) {
    return E_NOINTERFACE;
  }
  DISPPARAMS none{};
  const HRESULT hr = ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                     value, nullptr, nullptr);
  ambient->Release();
  if (FAILED(hr)) VariantClear(value);
  return hr;
}

// An ambient OLE_COLOR as the surface keeps it: a system colour as its index (so that it
// follows the colour scheme), any other colour as 0x00BBGGRR; `fallback` when unreadable.
uint32_t ReadAmbientColour(IOleClientSite* site, DISPID id, uint32_t fallback) noexcept {
  VARIANT value;
  HRESULT hr = ReadAmbient(site, id, &value);
  if (SUCCEEDED(hr) && V_VT(&value) != VT_I4) hr = VariantChangeType(&value, &value, 0, VT_I4);
  if (FAILED(hr)) {
    VariantClear(&value);
    return fallback;
  }
  return SurfaceColour(static_cast<OLE_COLOR>(V_I4(&value)), fallback);
}

}  // namespace

uint32_t SurfaceColour(OLE_COLOR colour, uint32_t fallback) noexcept {
  COLORREF rgb = 0;
  if (FAILED(OleTranslateColor(colour, nullptr, &rgb))) return fallback;
  return (colour & 0xFF000000u) == 0x80000000u ? colour : rgb;
}

UserMode ReadAmbientUserMode(IOleClientSite* site) noexcept {
  VARIANT value;
  HRESULT hr = ReadAmbient(site, DISPID_AMBIENT_USERMODE, &value);
  if (hr == E_NOINTERFACE) return UserMode::kUnavailable;
  if (SUCCEEDED(hr) && V_VT(&value) != VT_BOOL) hr = VariantChangeType(&value, &value, 0, VT_BOOL);
  const bool run = SUCCEEDED(hr) && V_BOOL(&value) != VARIANT_FALSE;
  VariantClear(&value);
  if (FAILED(hr)) return UserMode::kUnavailable;
  return run ? UserMode::kRun : UserMode::kDesign;
}

SurfaceColours ReadAmbientColours(IOleClientSite* site) noexcept {
  const SurfaceColours system;
  return {ReadAmbientColour(site, DISPID_AMBIENT_FORECOLOR, system.text),
          ReadAmbientColour(site, DISPID_AMBIENT_BACKCOLOR, system.back)};
}

}  // namespace quillon
