#include "container_fixture.h"

#include <olectl.h>

#include <cstdlib>

#include "frame.h"

namespace quillon::testing {
namespace {

// A path of the build (a Unix path) as the Windows program sees it.
std::wstring WinePath(const char* unix_path) {
  std::wstring out = L"Z:";
  for (const char* p = unix_path; *p; ++p) out += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return out;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

LRESULT CALLBACK ContainerProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(w, m, wp, lp);
}

}  // namespace

void ContainerTest::SetUp() {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  start_ = GetTickCount64();
  WNDCLASSW wc{};
  wc.lpfnWndProc = ContainerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"QuillonTestContainer";
  RegisterClassW(&wc);
  window_ =
      CreateWindowExW(0, wc.lpszClassName, L"container", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                      0, 640, 360, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window_, nullptr);
  container_.window = window_;
  container_.frame = host::Frame::Create(window_);
  container_.record = [this](const std::string& control, const std::string& what) {
    calls_.push_back({Now(), control, what});
  };

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  cache_dir_ = std::wstring(temp) + L"quillon-visual-" + std::to_wstring(GetCurrentProcessId()) +
               L"-" + std::to_wstring(GetTickCount64());
  CreateDirectoryW(cache_dir_.c_str(), nullptr);
  CreateDirectoryW((cache_dir_ + L"\\Serveur Quillon PD").c_str(), nullptr);
  cache_file_ = cache_dir_ + L"\\Serveur Quillon PD\\cacheQuillonPD_V2.dat";
  HKEY key = nullptr;
  // Where an installer writes it: the 32-bit view, which the library reads in both bitnesses.
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Halvorn\\Pondral", 0, nullptr, 0,
                            KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"Chemin PD", 0, REG_SZ, reinterpret_cast<const BYTE*>(cache_dir_.c_str()),
                 static_cast<DWORD>((cache_dir_.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);

  library_ = LoadLibraryW(WinePath(QUILLON_OCX_PATH).c_str());
  ASSERT_NE(library_, nullptr) << QUILLON_OCX_PATH;
}

void ContainerTest::TearDown() {
  for (auto& c : controls_) c->Close();
  controls_.clear();
  if (server_.hProcess) {
    TerminateProcess(server_.hProcess, 0);
    WaitForSingleObject(server_.hProcess, 5000);
    CloseHandle(server_.hProcess);
    CloseHandle(server_.hThread);
  }
  if (container_.frame) container_.frame->Release();
  if (window_) DestroyWindow(window_);
  if (library_ && DllCanUnloadNow() == S_OK) FreeLibrary(library_);
  OleUninitialize();
  DeleteFileW(cache_file_.c_str());
  DeleteFileW((cache_dir_ + L"\\values.tsv").c_str());
  RemoveDirectoryW((cache_dir_ + L"\\Serveur Quillon PD").c_str());
  RemoveDirectoryW(cache_dir_.c_str());
}

HRESULT ContainerTest::NewObject(IUnknown** object) const {
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(library_, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  CLSID clsid;
  CLSIDFromString(L"{E5BC90C5-6394-4CF3-85F1-0C1F761E8E28}", &clsid);
  HRESULT hr = get ? get(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)) : E_FAIL;
  if (SUCCEEDED(hr))
    hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(object));
  if (factory) factory->Release();
  return hr;
}

host::HostedControl* ContainerTest::AddControl(int left, int top) {
  std::string name(1, 'c');
  name += std::to_string(controls_.size() + 1);
  controls_.push_back(
      std::make_unique<host::HostedControl>(container_, name, RECT{left, top, 0, 0}));
  return controls_.back().get();
}

host::HostedControl* ContainerTest::Place(std::vector<host::BagEntry> bag, int left, int top) {
  host::HostedControl* control = Make(std::move(bag), left, top);
  const HRESULT hr = control ? control->Activate() : E_FAIL;
  EXPECT_EQ(hr, S_OK) << "placing a control";
  return SUCCEEDED(hr) ? control : nullptr;
}

host::HostedControl* ContainerTest::Make(std::vector<host::BagEntry> bag, int left, int top) {
  IUnknown* object = nullptr;
  HRESULT hr = NewObject(&object);
  host::HostedControl* control = AddControl(left, top);
  if (SUCCEEDED(hr)) hr = control->Attach(object);
  if (object) object->Release();
  if (SUCCEEDED(hr)) hr = control->Load(&bag);
  EXPECT_EQ(hr, S_OK) << "making a control";
  return SUCCEEDED(hr) ? control : nullptr;
}

host::HostedControl* ContainerTest::PlaceBy(Handshake how, IUnknown* events,
                                            std::vector<host::BagEntry> bag, int left, int top) {
  IUnknown* object = nullptr;
  HRESULT hr = NewObject(&object);
  host::HostedControl* control = AddControl(left, top);
  if (SUCCEEDED(hr) && how == Handshake::kQuick) hr = control->QuickAttach(object, events);
  if (SUCCEEDED(hr) && how == Handshake::kClassic) hr = control->Attach(object);
  if (SUCCEEDED(hr) && how == Handshake::kClassic) hr = control->ConnectSinks(events);
  if (object) object->Release();
  if (SUCCEEDED(hr)) hr = control->Load(&bag);
  if (SUCCEEDED(hr)) hr = control->Activate();
  EXPECT_EQ(hr, S_OK) << "placing a control";
  return SUCCEEDED(hr) ? control : nullptr;
}

std::vector<host::BagEntry> ContainerTest::Settings(int poll_time, const char* ntf) {
  return {{u"strNTF", FromUtf8(ntf)}, {u"udtPollTime", int32_t{poll_time}}, {u"strFormat", Text()}};
}

void ContainerTest::Pump(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (ULONGLONG now; (now = GetTickCount64()) < end;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

std::vector<Call> ContainerTest::Calls(const std::string& prefix,
                                       const std::string& control) const {
  std::vector<Call> out;
  for (const Call& c : calls_) {
    if (c.what.rfind(prefix, 0) == 0 && (control.empty() || c.control == control)) out.push_back(c);
  }
  return out;
}

std::vector<ULONGLONG> ContainerTest::Reads(const std::string& control) const {
  std::vector<ULONGLONG> out;
  for (const Call& c : Calls("changed 0x68030005", control)) out.push_back(c.at);
  return out;
}

// Calls a property of a control by name: a get (put == nullptr) or a put of *put.
static HRESULT CallProperty(IUnknown* control, const std::string& name, VARIANT* put,
                            VARIANT* got) {
  IDispatch* d = nullptr;
  HRESULT hr = control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
  if (FAILED(hr)) return hr;
  std::wstring wide = Wide(name);
  LPOLESTR names[] = {wide.data()};
  DISPID id = 0;
  hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS params{put, put ? &put_id : nullptr, put ? 1u : 0u, put ? 1u : 0u};
  if (SUCCEEDED(hr)) {
    hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                   put ? DISPATCH_PROPERTYPUT : DISPATCH_PROPERTYGET, &params, got, nullptr,
                   nullptr);
  }
  d->Release();
  return hr;
}

std::string ContainerTest::Property(IUnknown* control, const std::string& name) {
  VARIANT got;
  VariantInit(&got);
  const HRESULT hr = CallProperty(control, name, nullptr, &got);
  std::string text = SUCCEEDED(hr) ? host::VariantText(got) : "<error>";
  VariantClear(&got);
  return text;
}

HRESULT ContainerTest::SetProperty(IUnknown* control, const std::string& name, const VARIANT& v) {
  VARIANT arg = v;
  return CallProperty(control, name, &arg, nullptr);
}

bool ContainerTest::CacheHeldOpen() const {
  HANDLE f = CreateFileW(cache_file_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    CloseHandle(f);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

void ContainerTest::StartServer(const std::string& value, const std::string& formatted) {
  const std::wstring values = cache_dir_ + L"\\values.tsv";
  const std::string line = std::string(kPoint) + "\t" + value + "\t" + formatted + "\n";
  std::string error;
  int n = WideCharToMultiByte(CP_UTF8, 0, values.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string path(static_cast<size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, values.c_str(), -1, path.data(), n, nullptr, nullptr);
  ASSERT_TRUE(host::WriteFileBytes(path, line, &error)) << error;
  std::wstring command = L"\"" + WinePath(QUILLON_TOOL_PATH) + L"\" serve --cache \"" +
                         cache_file_ + L"\" --values \"" + values + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &si, &server_));
}

host::Image ContainerTest::Shot() const {
  host::Image image;
  EXPECT_TRUE(host::CaptureClient(window_, &image));
  return image;
}

int ContainerTest::InkAt(const host::Image& image, const RECT& control, const RECT& area) {
  int ink = 0;
  for (LONG y = control.top + area.top; y < control.top + area.bottom && y < image.height; ++y) {
    for (LONG x = control.left + area.left; x < control.left + area.right && x < image.width; ++x) {
      const uint32_t p = image.at(x, y);
      if (((p >> 16) & 0xFF) < 0x70 && ((p >> 8) & 0xFF) < 0x70 && (p & 0xFF) < 0x70) ++ink;
    }
  }
  return ink;
}

int ContainerTest::PixelsLike(const host::Image& image, const RECT& control, const RECT& area,
                              uint32_t rgb) {
  int n = 0;
  for (LONG y = control.top + area.top; y < control.top + area.bottom && y < image.height; ++y) {
    for (LONG x = control.left + area.left; x < control.left + area.right && x < image.width; ++x) {
      const uint32_t p = image.at(x, y);
      bool alike = true;
      for (int shift : {0, 8, 16}) {
        alike = alike && std::abs(int((p >> shift) & 0xFF) - int((rgb >> shift) & 0xFF)) <= 0x30;
      }
      n += alike;
    }
  }
  return n;
}

HRESULT ContainerTest::DllCanUnloadNow() const {
  using CanUnload = HRESULT(WINAPI*)();
  auto f = reinterpret_cast<CanUnload>(
      reinterpret_cast<void*>(GetProcAddress(library_, "DllCanUnloadNow")));
  return f ? f() : E_FAIL;
}

}  // namespace quillon::testing
