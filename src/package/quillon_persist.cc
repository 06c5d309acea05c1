// Saving and restoring the control's settings: in a container's property bag, in a stream
// (the block of docs/stream-format.md) and in a storage (that block in its stream
// "Contents"). Bad contents give an error code and leave the control with its defaults.
#include <vector>

#include "control/settings_stream.h"
#include "package/com_guard.h"
#include "package/com_property_bag.h"
#include "package/quillon_object.h"

namespace quillon {
namespace {

const wchar_t kContents[] = L"Contents";

HRESULT ErrorOf(SettingsError error) {
  switch (error) {
    case SettingsError::kNone:
      return S_OK;
    case SettingsError::kNotSettings:
      return STG_E_INVALIDHEADER;
    case SettingsError::kNewerVersion:
      return STG_E_OLDDLL;  // written by a later version of this library
    case SettingsError::kCorrupt:
      break;
  }
  return STG_E_DOCFILECORRUPT;
}

// Reads exactly `size` bytes; a stream that ends sooner is a read fault.
HRESULT ReadExactly(IStream* stream, void* data, ULONG size) {
  ULONG read = 0;
  const HRESULT hr = stream->Read(data, size, &read);
  if (FAILED(hr)) return hr;
  return read == size ? S_OK : STG_E_READFAULT;
}

HRESULT Encoded(QuillonPD& model, std::vector<uint8_t>* bytes) {
  SettingsRecord record;
  model.WriteProperties(record);
  return EncodeSettings(record, bytes) ? S_OK : E_UNEXPECTED;
}

}  // namespace

// --- Shared by the three persistence members ----------------------------------------------

HRESULT QuillonObject::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_QuillonPD;
  return S_OK;
}

HRESULT QuillonObject::InitNew() {
  return GuardCall([&] {
    initialized_ = true;
    model_.InitProperties();
    dirty_ = false;
    return S_OK;
  });
}

// Reading a bag or a stream, and writing one, call the container: the object is held.
HRESULT QuillonObject::Restore(PropertyBag& bag, const HRESULT* source_status) {
  const ComPtr<IUnknown> alive = KeepAlive();
  return GuardCall([&] {
    initialized_ = true;
    CheckedBag checked(bag, env().locale());
    model_.ReadProperties(checked);
    HRESULT hr = FAILED(*source_status) ? *source_status : checked.status();
    if (FAILED(hr)) model_.InitProperties();
    dirty_ = false;
    return hr;
  });
}

HRESULT QuillonObject::LoadStream(IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  const ComPtr<IUnknown> alive = KeepAlive();
  return GuardCall([&] {
    uint8_t header_bytes[kSettingsHeaderSize];
    HRESULT hr = ReadExactly(stream, header_bytes, sizeof header_bytes);
    SettingsHeader header;
    if (SUCCEEDED(hr)) hr = ErrorOf(DecodeSettingsHeader(header_bytes, &header));
    std::vector<uint8_t> payload;
    if (SUCCEEDED(hr)) {
      payload.resize(header.payload_size);
      hr = ReadExactly(stream, payload.data(), header.payload_size);
    }
    SettingsRecord record;
    if (SUCCEEDED(hr)) hr = ErrorOf(DecodeSettingsPayload(header, payload, &record));
    return Restore(record, &hr);
  });
}

HRESULT QuillonObject::SaveStream(IStream* stream, BOOL clear_dirty) {
  if (stream == nullptr) return E_POINTER;
  const ComPtr<IUnknown> alive = KeepAlive();
  return GuardCall([&] {
    std::vector<uint8_t> bytes;
    HRESULT hr = Encoded(model(), &bytes);
    if (FAILED(hr)) return hr;
    ULONG written = 0;
    hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (SUCCEEDED(hr) && written != bytes.size()) hr = STG_E_MEDIUMFULL;
    if (SUCCEEDED(hr) && clear_dirty) dirty_ = false;
    return hr;
  });
}

// --- IPersistStreamInit -------------------------------------------------------------------

HRESULT QuillonObject::PersistStream::GetClassID(CLSID* clsid) {
  return impl_from<IPersistStreamInit>(this).GetClassID(clsid);
}

HRESULT QuillonObject::PersistStream::IsDirty() {
  return impl_from<IPersistStreamInit>(this).dirty_ ? S_OK : S_FALSE;
}

HRESULT QuillonObject::PersistStream::Load(IStream* stream) {
  return impl_from<IPersistStreamInit>(this).LoadStream(stream);
}

HRESULT QuillonObject::PersistStream::Save(IStream* stream, BOOL clear_dirty) {
  return impl_from<IPersistStreamInit>(this).SaveStream(stream, clear_dirty);
}

HRESULT QuillonObject::PersistStream::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  return GuardCall([&] {
    std::vector<uint8_t> bytes;
    const HRESULT hr = Encoded(impl_from<IPersistStreamInit>(this).model(), &bytes);
    size->QuadPart = bytes.size();
    return hr;
  });
}

HRESULT QuillonObject::PersistStream::InitNew() {
  return impl_from<IPersistStreamInit>(this).InitNew();
}

// --- IPersistPropertyBag ------------------------------------------------------------------

HRESULT QuillonObject::PersistBag::GetClassID(CLSID* clsid) {
  return impl_from<IPersistPropertyBag>(this).GetClassID(clsid);
}

HRESULT QuillonObject::PersistBag::InitNew() {
  return impl_from<IPersistPropertyBag>(this).InitNew();
}

HRESULT QuillonObject::PersistBag::Load(IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) return E_POINTER;
  ComPropertyBag source(bag, log);
  return GuardCall(
      [&] { return impl_from<IPersistPropertyBag>(this).Restore(source, source.status_ptr()); });
}

HRESULT QuillonObject::PersistBag::Save(IPropertyBag* bag, BOOL clear_dirty, BOOL) {
  if (bag == nullptr) return E_POINTER;
  QuillonObject& o = impl_from<IPersistPropertyBag>(this);
  const ComPtr<IUnknown> alive = o.KeepAlive();
  return GuardCall([&] {
    ComPropertyBag target(bag, nullptr);
    o.model().WriteProperties(target);
    const HRESULT hr = target.status();
    if (SUCCEEDED(hr) && clear_dirty) o.dirty_ = false;
    return hr;
  });
}

// --- IPersistStorage ----------------------------------------------------------------------

HRESULT QuillonObject::PersistStorage::GetClassID(CLSID* clsid) {
  return impl_from<IPersistStorage>(this).GetClassID(clsid);
}

HRESULT QuillonObject::PersistStorage::IsDirty() {
  return impl_from<IPersistStorage>(this).dirty_ ? S_OK : S_FALSE;
}

HRESULT QuillonObject::PersistStorage::InitNew(IStorage* storage) {
  if (storage == nullptr) return E_POINTER;
  return impl_from<IPersistStorage>(this).InitNew();
}

HRESULT QuillonObject::PersistStorage::Load(IStorage* storage) {
  if (storage == nullptr) return E_POINTER;
  QuillonObject& o = impl_from<IPersistStorage>(this);
  const ComPtr<IUnknown> alive = o.KeepAlive();
  IStream* stream = nullptr;
  HRESULT hr =
      storage->OpenStream(kContents, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
  if (FAILED(hr)) {
    o.InitNew();
    return hr;
  }
  hr = o.LoadStream(stream);
  stream->Release();
  return hr;
}

// The container keeps the storage; the control writes its stream and keeps nothing open, so
// SaveCompleted and HandsOffStorage have nothing to do.
HRESULT QuillonObject::PersistStorage::Save(IStorage* storage, BOOL same_as_load) {
  if (storage == nullptr) return E_POINTER;
  const ComPtr<IUnknown> alive = impl_from<IPersistStorage>(this).KeepAlive();
  IStream* stream = nullptr;
  HRESULT hr = storage->CreateStream(kContents, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0,
                                     0, &stream);
  if (FAILED(hr)) return hr;
  hr = impl_from<IPersistStorage>(this).SaveStream(stream, same_as_load);
  stream->Release();
  return hr;
}

HRESULT QuillonObject::PersistStorage::SaveCompleted(IStorage*) { return S_OK; }

HRESULT QuillonObject::PersistStorage::HandsOffStorage() { return S_OK; }

}  // namespace quillon
