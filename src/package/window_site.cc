#include "package/window_site.h"

#include <olectl.h>

namespace quillon {

UserMode ReadAmbientUserMode(IOleClientSite* site) noexcept {
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

WindowSite::WindowSite(std::function<bool(const ControlProperty&)> changed,
                       std::function<void()> tick, std::function<void()> face_changed)
    : changed_(std::move(changed)),
      face_changed_(std::move(face_changed)),
      window_(face_, std::move(tick)) {}

// A caption the face cannot hold (out of memory) is one the label keeps.
bool WindowSite::SetCaption(Child label, const Text& caption) noexcept {
  try {
    if (!face_.SetCaption(label, caption)) return false;
  } catch (...) {
    return false;
  }
  Changed(label);
  return true;
}

bool WindowSite::SetForeColor(Child label, uint32_t colour) noexcept {
  if (!face_.SetColour(label, colour)) return false;
  Changed(label);
  return true;
}

void WindowSite::Changed(Child label) noexcept {
  window_.LabelChanged(label);
  try {
    if (face_changed_) face_changed_();
  } catch (...) {  // a container that cannot hear of it redraws at its next paint
  }
}

bool WindowSite::PropertyChanged(const ControlProperty& property) noexcept {
  try {
    return changed_ && changed_(property);
  } catch (...) {
    return false;
  }
}

}  // namespace quillon
