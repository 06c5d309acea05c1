// The container's frame as in-place controls see it: no tool space, no menus merged, and it
// remembers the active object so that the message loop can pass it keystrokes.
#pragma once

#include <oleidl.h>
#include <windows.h>

namespace quillon::host {

class Frame final : public IOleInPlaceFrame {
 public:
  static Frame* Create(HWND window) { return new Frame(window); }
  IOleInPlaceActiveObject* active_object() const { return active_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetWindow(HWND* out) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return S_OK; }
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override;
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  explicit Frame(HWND window) : window_(window) {}
  ~Frame();

  LONG refs_ = 1;
  HWND window_;
  IOleInPlaceActiveObject* active_ = nullptr;
};

}  // namespace quillon::host
