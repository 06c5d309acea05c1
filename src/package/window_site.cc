#include "package/window_site.h"

#include <olectl.h>

namespace quillon {

UserMode ReadAmbientUserMode(IOleClientSite* site) {
  IDispatch* ambient = nullptr;
  if (!site || FAILED(site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient))) ||
      !ambient) {
    return UserMode::kUnavailable;
  }
  VARIANT value;
  VariantInit(&value);
  DISPPARAMS none{};
  HRESULT hr = ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT,
                               DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
  ambient->Release();
  if (SUCCEEDED(hr) && V_VT(&value) != VT_BOOL) hr = VariantChangeType(&value, &value, 0, VT_BOOL);
  const bool run = SUCCEEDED(hr) && V_BOOL(&value) != VARIANT_FALSE;
  VariantClear(&value);
  if (FAILED(hr)) return UserMode::kUnavailable;
  return run ? UserMode::kRun : UserMode::kDesign;
}

WindowSite::WindowSite(std::function<void(TextView)> changed, std::function<void()> tick,
                       std::function<void()> face_changed)
    : changed_(std::move(changed)),
      face_changed_(std::move(face_changed)),
      window_(face_, std::move(tick)) {}

void WindowSite::SetCaption(Child label, const Text& caption) {
  Text& shown = face_.caption(label);
  if (shown == caption) return;
  shown = caption;
  window_.LabelChanged(label);
  if (face_changed_) face_changed_();
}

void WindowSite::SetForeColor(Child label, uint32_t colour) {
  uint32_t& shown = face_.colour(label);
  if (shown == colour) return;
  shown = colour;
  window_.LabelChanged(label);
  if (face_changed_) face_changed_();
}

void WindowSite::PropertyChanged(TextView name) {
  if (changed_) changed_(name);
}

}  // namespace quillon
