// Saving and restoring the control's settings: in a container's property bag, in a stream
// (the block of docs/stream-format.md) and in a storage (that block in its stream
// "Contents"). Each setting is restored on its own: one that cannot be read or converted
// keeps its value and the others are restored. A block that is not a sound block of ours
// gives an error code and leaves the control with the defaults of a new control.
#include <algorithm>
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

// Reads `size` bytes into `payload`, which grows only as the bytes arrive: a size that the
// stream does not hold costs at most twice the bytes that the stream does hold.
HRESULT ReadPayload(IStream* stream, uint64_t size, std::vector<uint8_t>* payload) {
  constexpr uint64_t kFirstPiece = 64u << 10, kLargestPiece = 1u << 30;
  while (payload->size() < size) {
    const uint64_t have = payload->size();
    const uint64_t piece = std::min({size - have, std::max(kFirstPiece, have), kLargestPiece});
    if (have + piece > payload->max_size()) return E_OUTOFMEMORY;
    payload->resize(static_cast<size_t>(have + piece));
    const HRESULT hr =
        ReadExactly(stream, payload->data() + have, static_cast<ULONG>(piece));
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// Reads one block of settings, header and payload, from where the stream stands.
HRESULT ReadSettings(IStream* stream, SettingsRecord* record) {
  uint8_t bytes[kSettingsLongHeaderSize];
  HRESULT hr = ReadExactly(stream, bytes, kSettingsHeaderSize);
  if (FAILED(hr)) return hr;
  const size_t header_size = SettingsHeaderSize({bytes, kSettingsHeaderSize});
  if (header_size > kSettingsHeaderSize) {
    hr = ReadExactly(stream, bytes + kSettingsHeaderSize,
                     static_cast<ULONG>(header_size - kSettingsHeaderSize));
  }
  SettingsHeader header;
  if (SUCCEEDED(hr)) hr = ErrorOf(DecodeSettingsHeader({bytes, header_size}, &header));
  std::vector<uint8_t> payload;
  if (SUCCEEDED(hr)) hr = ReadPayload(stream, header.payload_size, &payload);
  if (SUCCEEDED(hr)) hr = ErrorOf(DecodeSettingsPayload(header, payload, record));
  return hr;
}

// Writes all of `bytes`, in pieces that IStream::Write can take.
HRESULT WriteAll(IStream* stream, const std::vector<uint8_t>& bytes) {
  constexpr size_t kLargestPiece = size_t{1} << 30;
  for (size_t at = 0; at < bytes.size();) {
    const ULONG piece = static_cast<ULONG>(std::min(bytes.size() - at, kLargestPiece));
    ULONG written = 0;
    const HRESULT hr = stream->Write(bytes.data() + at, piece, &written);
    if (FAILED(hr)) return hr;
    if (written != piece) return STG_E_MEDIUMFULL;
    at += piece;
  }
  return S_OK;
}

// The settings of `model` as one block. Any text the control holds has a saved form, so
// only a block too large for memory fails.
HRESULT Encoded(QuillonPD& model, std::vector<uint8_t>* bytes) {
  SettingsRecord record;
  model.WriteProperties(record);
  return EncodeSettings(record, bytes) ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

// --- Shared by the three persistence members ----------------------------------------------

HRESULT QuillonObject::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_QuillonPD;
  return S_OK;
}

// Whatever calls came before it, the first InitNew or Load starts from the state of a
// freshly created instance.
void QuillonObject::BeginSettings() {
  if (!initialized_) model_.Reset();
  initialized_ = true;
}

HRESULT QuillonObject::InitNew() {
  return GuardCall([&] {
    BeginSettings();
    model_.InitProperties();
    dirty_ = false;
    return S_OK;
  });
}

// ReadProperties reads each key on its own: one that cannot be read or converted keeps its
// setting, so loading succeeds whatever the bag holds. Reading a bag or a stream, and writing
// one, call the container, which may release the control meanwhile: the object is held.
HRESULT QuillonObject::Restore(PropertyBag& bag) {
  const ComPtr<IUnknown> alive = KeepAlive();
  return GuardCall([&] {
    BeginSettings();
    model_.ReadProperties(bag);
    dirty_ = false;
    return S_OK;
  });
}

HRESULT QuillonObject::LoadStream(IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  const ComPtr<IUnknown> alive = KeepAlive();
  return GuardCall([&] {
    SettingsRecord record;
    const HRESULT hr = ReadSettings(stream, &record);
    if (FAILED(hr)) {
      InitNew();
      return hr;
    }
    return Restore(record);
  });
}

HRESULT QuillonObject::SaveStream(IStream* stream, BOOL clear_dirty) {
  if (stream == nullptr) return E_POINTER;
  const ComPtr<IUnknown> alive = KeepAlive();
  return GuardCall([&] {
    std::vector<uint8_t> bytes;
    HRESULT hr = Encoded(model(), &bytes);
    if (SUCCEEDED(hr)) hr = WriteAll(stream, bytes);
    if (SUCCEEDED(hr) && clear_dirty) dirty_ = false;
    return hr;
  });
}

// --- IPersistStreamInit -------------------------------------------------------------------

HRESULT QuillonObject::PersistStream::GetClassID(CLSID* clsid) {
  QUILLON_COM_TRACE("IPersistStreamInit", GetClassID, clsid);
  return impl_from<IPersistStreamInit>(this).GetClassID(clsid);
}

HRESULT QuillonObject::PersistStream::IsDirty() {
  QUILLON_COM_TRACE("IPersistStreamInit", IsDirty);
  return impl_from<IPersistStreamInit>(this).dirty_ ? S_OK : S_FALSE;
}

HRESULT QuillonObject::PersistStream::Load(IStream* stream) {
  QUILLON_COM_TRACE("IPersistStreamInit", Load, stream);
  return impl_from<IPersistStreamInit>(this).LoadStream(stream);
}

HRESULT QuillonObject::PersistStream::Save(IStream* stream, BOOL clear_dirty) {
  QUILLON_COM_TRACE("IPersistStreamInit", Save, stream, clear_dirty);
  return impl_from<IPersistStreamInit>(this).SaveStream(stream, clear_dirty);
}

HRESULT QuillonObject::PersistStream::GetSizeMax(ULARGE_INTEGER* size) {
  QUILLON_COM_TRACE("IPersistStreamInit", GetSizeMax, size);
  if (size == nullptr) return E_POINTER;
  return GuardCall([&] {
    SettingsRecord record;
    impl_from<IPersistStreamInit>(this).model().WriteProperties(record);
    uint64_t block = 0;
    if (!SettingsBlockSize(record, &block)) return E_UNEXPECTED;
    size->QuadPart = block;
    return S_OK;
  });
}

HRESULT QuillonObject::PersistStream::InitNew() {
  QUILLON_COM_TRACE("IPersistStreamInit", InitNew);
  return impl_from<IPersistStreamInit>(this).InitNew();
}

// --- IPersistPropertyBag ------------------------------------------------------------------

HRESULT QuillonObject::PersistBag::GetClassID(CLSID* clsid) {
  QUILLON_COM_TRACE("IPersistPropertyBag", GetClassID, clsid);
  return impl_from<IPersistPropertyBag>(this).GetClassID(clsid);
}

HRESULT QuillonObject::PersistBag::InitNew() {
  QUILLON_COM_TRACE("IPersistPropertyBag", InitNew);
  return impl_from<IPersistPropertyBag>(this).InitNew();
}

HRESULT QuillonObject::PersistBag::Load(IPropertyBag* bag, IErrorLog* log) {
  QUILLON_COM_TRACE("IPersistPropertyBag", Load, bag, log);
  if (bag == nullptr) return E_POINTER;
  ComPropertyBag source(bag, log);
  return impl_from<IPersistPropertyBag>(this).Restore(source);
}

HRESULT QuillonObject::PersistBag::Save(IPropertyBag* bag, BOOL clear_dirty, BOOL all) {
  QUILLON_COM_TRACE("IPersistPropertyBag", Save, bag, clear_dirty, all);
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
  QUILLON_COM_TRACE("IPersistStorage", GetClassID, clsid);
  return impl_from<IPersistStorage>(this).GetClassID(clsid);
}

HRESULT QuillonObject::PersistStorage::IsDirty() {
  QUILLON_COM_TRACE("IPersistStorage", IsDirty);
  return impl_from<IPersistStorage>(this).dirty_ ? S_OK : S_FALSE;
}

HRESULT QuillonObject::PersistStorage::InitNew(IStorage* storage) {
  QUILLON_COM_TRACE("IPersistStorage", InitNew, storage);
  if (storage == nullptr) return E_POINTER;
  return impl_from<IPersistStorage>(this).InitNew();
}

HRESULT QuillonObject::PersistStorage::Load(IStorage* storage) {
  QUILLON_COM_TRACE("IPersistStorage", Load, storage);
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
  QUILLON_COM_TRACE("IPersistStorage", Save, storage, same_as_load);
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

HRESULT QuillonObject::PersistStorage::SaveCompleted(IStorage* storage) {
  QUILLON_COM_TRACE("IPersistStorage", SaveCompleted, storage);
  return S_OK;
}

HRESULT QuillonObject::PersistStorage::HandsOffStorage() {
  QUILLON_COM_TRACE("IPersistStorage", HandsOffStorage);
  return S_OK;
}

}  // namespace quillon
