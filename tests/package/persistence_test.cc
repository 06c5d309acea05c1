// Saving and restoring a control through a property bag, a stream and a storage; the dirty
// state; and bad contents, which give an error and leave the control with its defaults.
#include "com_fixture.h"

namespace quillon::testing {
namespace {

class Persistence : public ControlTest {
 protected:
  // Settings that differ from every default.
  void Edit() {
    Put(&_QuillonPD::put_NTF, L"N:T.F");
    Put(&_QuillonPD::put_Formatage, L"0.00");
    ASSERT_EQ(pd_->put_Frequence_Rafraichissement(Seconde_10), S_OK);
  }
  ComPtr<_QuillonPD> NewControl() {
    ComPtr<_QuillonPD> other;
    EXPECT_EQ(library_.Create(nullptr, IID__QuillonPD, other.PutVoid()), S_OK);
    return other;
  }
  static std::wstring Settings(_QuillonPD* control) {
    Bstr ntf, format;
    E_POLLTIME period = Minute_30;
    control->get_NTF(ntf.out());
    control->get_Formatage(format.out());
    control->get_Frequence_Rafraichissement(&period);
    return ntf.text() + L"|" + format.text() + L"|" + std::to_wstring(period);
  }
  static std::wstring Defaults() { return L"Noeud:Tag.Field||29"; }
  static HRESULT Dirty(_QuillonPD* control) {
    return Query<IPersistStreamInit>(control, IID_IPersistStreamInit)->IsDirty();
  }
  static ComPtr<IStream> NewStream() {
    ComPtr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
    return stream;
  }
  static void Rewind(IStream* stream) {
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  }
  static void WriteBytes(IStream* stream, const std::vector<uint8_t>& bytes) {
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    Rewind(stream);
  }
};

TEST_F(Persistence, PropertyBagRoundTripWithTheSavedKeysAndTypes) {
  Edit();
  TestBag bag;
  auto persist = Query<IPersistPropertyBag>(pd_.Get(), IID_IPersistPropertyBag);
  ASSERT_EQ(persist->Save(&bag, TRUE, TRUE), S_OK);
  EXPECT_EQ(bag.written(), (std::vector<std::wstring>{L"strNTF", L"udtPollTime", L"strFormat"}));
  EXPECT_EQ(bag.Find(L"strNTF")->vt, VT_BSTR);
  EXPECT_EQ(bag.Find(L"udtPollTime")->vt, VT_I4);
  EXPECT_EQ(bag.Find(L"udtPollTime")->lVal, 90);
  EXPECT_EQ(bag.Find(L"strFormat")->vt, VT_BSTR);

  ComPtr<_QuillonPD> restored = NewControl();
  ASSERT_EQ(
      Query<IPersistPropertyBag>(restored.Get(), IID_IPersistPropertyBag)->Load(&bag, nullptr),
      S_OK);
  EXPECT_EQ(Settings(restored.Get()), L"N:T.F|0.00|90");
  Bstr quality;
  restored->get_Qualite(quality.out());
  EXPECT_EQ(quality.text(), L"0");  // a restored control has quality 0 until its first read
}

TEST_F(Persistence, BagContentsAndTheirResults) {
  Variant text_period(L"70"), bad_period(L"vite"), null_value;
  null_value.vt = VT_NULL;
  const struct {
    const char* what;
    const wchar_t* key;    // the entry the case adds to a bag holding strNTF "X:Y.Z"
    const VARIANT* value;  // nullptr: the read of `key` fails with `failure`
    HRESULT failure;
    HRESULT result;
    const wchar_t* settings;
  } cases[] = {
      {"no period, no format", nullptr, nullptr, S_OK, S_OK, L"X:Y.Z||29"},
      {"period as text", L"udtPollTime", &text_period, S_OK, S_OK, L"X:Y.Z||70"},
      {"period that is no number", L"udtPollTime", &bad_period, S_OK, DISP_E_TYPEMISMATCH,
       L"Noeud:Tag.Field||29"},
      {"Null reference", L"strNTF", &null_value, S_OK, DISP_E_TYPEMISMATCH, L"Noeud:Tag.Field||29"},
      {"failing read", L"strFormat", nullptr, E_FAIL, E_FAIL, L"Noeud:Tag.Field||29"},
      {"absent reference", L"strNTF", nullptr, E_INVALIDARG, S_OK, L"Noeud:Tag.Field||29"},
  };
  for (const auto& c : cases) {
    TestBag bag;
    bag.Put(L"strNTF", Variant(L"X:Y.Z"));
    if (c.key != nullptr && c.value != nullptr) bag.Put(c.key, *c.value);
    if (c.key != nullptr && c.value == nullptr) bag.FailReadOf(c.key, c.failure);
    ComPtr<_QuillonPD> control = NewControl();
    auto persist = Query<IPersistPropertyBag>(control.Get(), IID_IPersistPropertyBag);
    EXPECT_EQ(persist->Load(&bag, nullptr), c.result) << c.what;
    EXPECT_EQ(Settings(control.Get()), c.settings) << c.what;
    EXPECT_EQ(Dirty(control.Get()), S_FALSE) << c.what;
  }
  EXPECT_EQ(Query<IPersistPropertyBag>(pd_.Get(), IID_IPersistPropertyBag)->Load(nullptr, nullptr),
            E_POINTER);
}

TEST_F(Persistence, DirtyAfterASettingChangesUntilSavedWithClearDirty) {
  EXPECT_EQ(Dirty(pd_.Get()), S_FALSE);
  ASSERT_EQ(MaJNTF(L"1", L"1", 0), S_OK);  // values are not saved: still clean
  Put(&_QuillonPD::put_Valeur, L"2");
  EXPECT_EQ(Dirty(pd_.Get()), S_FALSE);
  Put(&_QuillonPD::put_Formatage, L"0");
  EXPECT_EQ(Dirty(pd_.Get()), S_OK);
  ComPtr<IStream> stream = NewStream();
  ASSERT_EQ(Persist()->Save(stream.Get(), FALSE), S_OK);
  EXPECT_EQ(Dirty(pd_.Get()), S_OK);
  ASSERT_EQ(Persist()->Save(stream.Get(), TRUE), S_OK);
  EXPECT_EQ(Dirty(pd_.Get()), S_FALSE);
  ASSERT_EQ(pd_->put_Frequence_Rafraichissement(Minute_02), S_OK);
  TestBag bag;
  auto persist_bag = Query<IPersistPropertyBag>(pd_.Get(), IID_IPersistPropertyBag);
  ASSERT_EQ(persist_bag->Save(&bag, TRUE, FALSE), S_OK);
  EXPECT_EQ(Dirty(pd_.Get()), S_FALSE);
}

TEST_F(Persistence, StreamRoundTripReadsExactlyItsOwnBytes) {
  Edit();
  ComPtr<IStream> stream = NewStream();
  ULARGE_INTEGER size = {}, second_size = {};
  ASSERT_EQ(Persist()->GetSizeMax(&size), S_OK);
  ASSERT_EQ(Persist()->Save(stream.Get(), TRUE), S_OK);
  // A container writes its controls one after another into one stream.
  ComPtr<_QuillonPD> second = NewControl();
  auto second_persist = Query<IPersistStreamInit>(second.Get(), IID_IPersistStreamInit);
  ASSERT_EQ(second_persist->InitNew(), S_OK);
  ASSERT_EQ(second_persist->GetSizeMax(&second_size), S_OK);
  ASSERT_EQ(second_persist->Save(stream.Get(), TRUE), S_OK);
  LARGE_INTEGER zero = {};
  ULARGE_INTEGER end = {};
  stream->Seek(zero, STREAM_SEEK_CUR, &end);
  EXPECT_EQ(end.QuadPart, size.QuadPart + second_size.QuadPart);
  Rewind(stream.Get());

  ComPtr<_QuillonPD> first_back = NewControl(), second_back = NewControl();
  ASSERT_EQ(Query<IPersistStreamInit>(first_back.Get(), IID_IPersistStreamInit)->Load(stream.Get()),
            S_OK);
  ASSERT_EQ(
      Query<IPersistStreamInit>(second_back.Get(), IID_IPersistStreamInit)->Load(stream.Get()),
      S_OK);
  EXPECT_EQ(Settings(first_back.Get()), L"N:T.F|0.00|90");
  EXPECT_EQ(Settings(second_back.Get()), Defaults());
  ULARGE_INTEGER read_end = {};
  stream->Seek(zero, STREAM_SEEK_CUR, &read_end);
  EXPECT_EQ(read_end.QuadPart, end.QuadPart);
}

TEST_F(Persistence, DamagedStreamsGiveErrorsAndLeaveTheDefaults) {
  const std::vector<uint8_t> header = {'Q', 'P', 'D', 'S', 1, 0, 1, 0, 16, 0, 0, 0};
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    HRESULT result;
  } cases[] = {
      {"empty", {}, STG_E_READFAULT},
      {"not ours", {'<', 'x', 'm', 'l', '>', 0, 0, 0, 0, 0, 0, 0}, STG_E_INVALIDHEADER},
      {"newer version", {'Q', 'P', 'D', 'S', 2, 0, 0, 0, 0, 0, 0, 0}, STG_E_OLDDLL},
      {"payload cut short", header, STG_E_READFAULT},
      {"huge payload", {'Q', 'P', 'D', 'S', 1, 0, 1, 0, 0, 0, 0, 0x7f}, STG_E_DOCFILECORRUPT},
      {"bad entry",
       {'Q', 'P', 'D', 'S', 1, 0, 1, 0, 6, 0, 0, 0, 1, 0, 'x', 0, 77, 0},
       STG_E_DOCFILECORRUPT},
      {"period as an object",
       {'Q', 'P', 'D', 'S', 1, 0,   1, 0,   26, 0,   0, 0,   11, 0,   'u', 0,   'd', 0, 't',
        0,   'P', 0,   'o', 0, 'l', 0, 'l', 0,  'T', 0, 'i', 0,  'm', 0,   'e', 0,   1, 0},
       DISP_E_TYPEMISMATCH},
  };
  for (const auto& c : cases) {
    Edit();
    ComPtr<IStream> stream = NewStream();
    WriteBytes(stream.Get(), c.bytes);
    EXPECT_EQ(Persist()->Load(stream.Get()), c.result) << c.what;
    EXPECT_EQ(Settings(pd_.Get()), Defaults()) << c.what;
  }
  EXPECT_EQ(Persist()->Load(nullptr), E_POINTER);
  EXPECT_EQ(Persist()->Save(nullptr, TRUE), E_POINTER);
  EXPECT_EQ(Persist()->GetSizeMax(nullptr), E_POINTER);
}

TEST_F(Persistence, StorageKeepsTheSettingsInItsContentsStream) {
  Edit();
  ComPtr<ILockBytes> bytes;
  ComPtr<IStorage> storage;
  ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()), S_OK);
  ASSERT_EQ(StgCreateDocfileOnILockBytes(
                bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage.Put()),
            S_OK);
  auto persist = Query<IPersistStorage>(pd_.Get(), IID_IPersistStorage);
  ASSERT_EQ(persist->Save(storage.Get(), TRUE), S_OK);
  ASSERT_EQ(persist->SaveCompleted(nullptr), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
  ComPtr<IStream> contents;
  EXPECT_EQ(storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                contents.Put()),
            S_OK);
  contents.Reset();

  ComPtr<_QuillonPD> restored = NewControl();
  auto restored_persist = Query<IPersistStorage>(restored.Get(), IID_IPersistStorage);
  ASSERT_EQ(restored_persist->Load(storage.Get()), S_OK);
  EXPECT_EQ(Settings(restored.Get()), L"N:T.F|0.00|90");
  EXPECT_EQ(restored_persist->HandsOffStorage(), S_OK);

  ComPtr<IStorage> empty;
  ASSERT_EQ(storage->CreateStorage(L"vide", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                   0, empty.Put()),
            S_OK);
  EXPECT_EQ(restored_persist->Load(empty.Get()), STG_E_FILENOTFOUND);
  EXPECT_EQ(Settings(restored.Get()), Defaults());
  EXPECT_EQ(restored_persist->Load(nullptr), E_POINTER);
  EXPECT_EQ(restored_persist->InitNew(nullptr), E_POINTER);
  CLSID clsid = {};
  EXPECT_EQ(restored_persist->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_QuillonPD));
}

}  // namespace
}  // namespace quillon::testing
