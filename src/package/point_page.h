// The property page "Point": a COM object of its own (CLSID_PointPage) that edits the point
// reference, the refresh period and the format pattern of the controls a property frame
// hands it. The list of points, its filter and the preview are PointCatalog's; this is the
// window and the COM shell over them. Apartment-threaded: every call on the creating thread.
#pragma once

#include <windows.h>
// after windows.h
#include <ocidl.h>

#include <vector>

#include "common/text.h"
#include "control/point_catalog.h"
#include "package/com_ptr.h"
#include "package/thread_environment.h"

namespace quillon {

// Creates a page and returns its interface riid. No aggregation. Each live page holds one
// ModuleAddRef() until its last release. Never throws.
HRESULT CreatePointPage(IUnknown* outer, REFIID riid, void** out);

// What the page edits, as read from the first selected control.
struct PointSettings {
  Text ntf;
  Text format;
  int32_t poll_time = 0;
};

class PointPage final : public IPropertyPage2 {
 public:
  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IPropertyPage
  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Show(UINT show) override;
  HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
  HRESULT STDMETHODCALLTYPE IsPageDirty() override;
  HRESULT STDMETHODCALLTYPE Apply() override;
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR help_dir) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;
  // IPropertyPage2
  HRESULT STDMETHODCALLTYPE EditProperty(DISPID id) override;

 private:
  friend HRESULT CreatePointPage(IUnknown*, REFIID, void**);
  explicit PointPage(ThreadEnvironment& env);
  ~PointPage();
  PointPage(const PointPage&) = delete;
  PointPage& operator=(const PointPage&) = delete;

  // --- The window (point_page_dialog.cc) -------------------------------------------------
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wp, LPARAM lp);
  INT_PTR OnMessage(UINT message, WPARAM wp, LPARAM lp);
  void OnInit();
  void OnCommand(WORD id, WORD code);
  LRESULT OnNotify(NMHDR* header);
  void FillPollTimes();
  void AddColumns();
  void LoadPoints();
  void ShowSettings();
  void ApplyFilter();
  void ShowRows(const std::vector<uint32_t>& rows);
  void SetListCount(HWND list, size_t count);
  void ShowPreview();
  void OnPointChosen(int row);
  Text ItemText(int id) const;
  void SetItemText(int id, const Text& text);
  void MarkDirty();

  // --- The controls (point_page.cc) ------------------------------------------------------
  void ReadSettings();
  HRESULT WriteSettings(IDispatch& control, bool with_reference);
  Text CacheFilePath();

  LONG refs_ = 1;
  ThreadEnvironment& env_;
  ComPtr<IPropertyPageSite> site_;
  std::vector<ComPtr<IDispatch>> objects_;
  PointSettings settings_;
  HWND window_ = nullptr;
  bool dirty_ = false;
  bool filling_ = false;  // the page writes its own fields: no change is the designer's
  PointCatalog catalog_;
  // The catalog position of each row of the list: the catalog's last filter result.
  const std::vector<uint32_t>* rows_ = nullptr;
  size_t list_count_ = 0;  // the count the list view was last given
  size_t RowCount() const { return rows_ != nullptr ? rows_->size() : 0; }
};

}  // namespace quillon
