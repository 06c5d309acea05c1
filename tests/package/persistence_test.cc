// Saving and restoring a control through a property bag, a stream and a storage; the dirty
// state; bad entries, which leave their settings and let the others load; and damaged
// blocks, which give an error and leave the control with its defaults.
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
  // The value properties: Valeur, ValeurFormatee, ValeurNombre, Qualite, HorodatageDernLect.
  static std::wstring Values(_QuillonPD* control) {
    Bstr valeur, formatee, quality, last_read;
    double number = -1;
    control->get_Valeur(valeur.out());
    control->get_ValeurFormatee(formatee.out());
    control->get_ValeurNombre(&number);
    control->get_Qualite(quality.out());
    control->get_HorodatageDernLect(last_read.out());
    return valeur.text() + L"|" + formatee.text() + L"|" + std::to_wstring(number) + L"|" +
           quality.text() + L"|" + last_read.text();
  }
  // What a restored control shows before its first read: empty texts, quality 0, date 0.
  std::wstring RestoredValues() {
    ComPtr<_QuillonPD> control = NewControl();
    TestBag empty;
    EXPECT_EQ(
        Query<IPersistPropertyBag>(control.Get(), IID_IPersistPropertyBag)->Load(&empty, nullptr),
        S_OK);
    const std::wstring values = Values(control.Get());
    EXPECT_EQ(values.substr(0, values.rfind(L'|')), L"||0.000000|0");
    return values;
  }
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
  // A saved block of version 1 holding `entries`: names with their encoded values.
  using Entry = std::pair<const wchar_t*, std::vector<uint8_t>>;
  static std::vector<uint8_t> Block(const std::vector<Entry>& entries) {
    std::vector<uint8_t> payload;
    for (const auto& [name, value] : entries) {
      Append16(&payload, {name, name + wcslen(name)});
      payload.insert(payload.end(), value.begin(), value.end());
    }
    std::vector<uint8_t> block = {'Q', 'P', 'D', 'S', 1, 0, static_cast<uint8_t>(entries.size()),
                                  0};
    for (int i = 0; i < 4; ++i) block.push_back(static_cast<uint8_t>(payload.size() >> (8 * i)));
    block.insert(block.end(), payload.begin(), payload.end());
    return block;
  }
  static std::vector<uint8_t> TextEntry(const std::wstring& text) {
    std::vector<uint8_t> bytes = {8, 0};
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(text.size() >> (8 * i)));
    for (wchar_t c : text) bytes.insert(bytes.end(), {static_cast<uint8_t>(c), 0});
    return bytes;
  }
  // A length in UTF-16 units, then the characters (all below 256 here).
  static void Append16(std::vector<uint8_t>* out, const std::wstring& text) {
    out->insert(out->end(), {static_cast<uint8_t>(text.size()), 0});
    for (wchar_t c : text) out->insert(out->end(), {static_cast<uint8_t>(c), 0});
  }
  static ComPtr<IStorage> NewStorage() {
    ComPtr<ILockBytes> bytes;
    ComPtr<IStorage> storage;
    EXPECT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()), S_OK);
    EXPECT_EQ(StgCreateDocfileOnILockBytes(
                  bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                  storage.Put()),
              S_OK);
    return storage;
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

TEST_F(Persistence, EachBagKeyIsReadOnItsOwnAndLoadSucceeds) {
  Variant text_period(L"70"), bad_period(L"vite"), null_value;
  null_value.vt = VT_NULL;
  const struct {
    const char* what;
    const wchar_t* key;    // what the case changes in a bag of strNTF "X:Y.Z", strFormat "0.0"
    const VARIANT* value;  // nullptr: the read of `key` fails with `failure`
    HRESULT failure;
    const wchar_t* settings;
  } cases[] = {
      {"no period", nullptr, nullptr, S_OK, L"X:Y.Z|0.0|29"},
      {"period as text", L"udtPollTime", &text_period, S_OK, L"X:Y.Z|0.0|70"},
      // A key that cannot be converted keeps the fresh instance's value: period 0.
      {"period that is no number", L"udtPollTime", &bad_period, S_OK, L"X:Y.Z|0.0|0"},
      {"Null reference", L"strNTF", &null_value, S_OK, L"Noeud:Tag.Field|0.0|29"},
      {"failing read of the format", L"strFormat", nullptr, E_FAIL, L"X:Y.Z||29"},
      {"failing read of the period", L"udtPollTime", nullptr, STG_E_ACCESSDENIED, L"X:Y.Z|0.0|0"},
      {"failing read of the reference", L"strNTF", nullptr, E_OUTOFMEMORY,
       L"Noeud:Tag.Field|0.0|29"},
      {"absent reference", L"strNTF", nullptr, E_INVALIDARG, L"Noeud:Tag.Field|0.0|29"},
  };
  for (const auto& c : cases) {
    TestBag bag;
    bag.Put(L"strNTF", Variant(L"X:Y.Z"));
    bag.Put(L"strFormat", Variant(L"0.0"));
    if (c.key != nullptr && c.value != nullptr) bag.Put(c.key, *c.value);
    if (c.key != nullptr && c.value == nullptr) bag.FailReadOf(c.key, c.failure);
    ComPtr<_QuillonPD> control = NewControl();
    auto persist = Query<IPersistPropertyBag>(control.Get(), IID_IPersistPropertyBag);
    EXPECT_EQ(persist->Load(&bag, nullptr), S_OK) << c.what;
    EXPECT_EQ(Settings(control.Get()), c.settings) << c.what;
    EXPECT_EQ(Values(control.Get()), RestoredValues()) << c.what;
    EXPECT_EQ(Dirty(control.Get()), S_FALSE) << c.what;
  }
  EXPECT_EQ(Query<IPersistPropertyBag>(pd_.Get(), IID_IPersistPropertyBag)->Load(nullptr, nullptr),
            E_POINTER);
}

// A bag may give a setting by reference, inside a variant by reference, or in another
// Automation type: the control takes the value that it stands for.
TEST_F(Persistence, BagValuesByReferenceOrOfAnotherTypeGiveTheirValue) {
  Variant ntf(L"R:E.F"), format(L"#,##0"), inner(L"I:N.V");
  LONG period = 85;
  Variant ntf_ref, format_ref, period_ref, variant_ref, small, byte, real, number;
  ntf_ref.vt = VT_BSTR | VT_BYREF, ntf_ref.pbstrVal = &ntf.bstrVal;
  format_ref.vt = VT_BSTR | VT_BYREF, format_ref.pbstrVal = &format.bstrVal;
  period_ref.vt = VT_I4 | VT_BYREF, period_ref.plVal = &period;
  variant_ref.vt = VT_VARIANT | VT_BYREF, variant_ref.pvarVal = &inner;
  small.vt = VT_I2, small.iVal = 80;
  byte.vt = VT_UI1, byte.bVal = 70;
  real.vt = VT_R8, real.dblVal = 89.6;
  number.vt = VT_I4, number.lVal = 42;
  const struct {
    const wchar_t* key;  // what the case changes in a bag of strNTF "X:Y.Z", strFormat "0.0"
    const VARIANT* value;
    const wchar_t* settings;
  } cases[] = {
      {L"strNTF", &ntf_ref, L"R:E.F|0.0|29"},
      {L"strFormat", &format_ref, L"X:Y.Z|#,##0|29"},
      {L"udtPollTime", &period_ref, L"X:Y.Z|0.0|85"},
      {L"strNTF", &variant_ref, L"I:N.V|0.0|29"},
      {L"udtPollTime", &small, L"X:Y.Z|0.0|80"},
      {L"udtPollTime", &byte, L"X:Y.Z|0.0|70"},
      {L"udtPollTime", &real, L"X:Y.Z|0.0|90"},
      {L"strNTF", &number, L"42|0.0|29"},
  };
  for (const auto& c : cases) {
    TestBag bag;
    bag.Put(L"strNTF", Variant(L"X:Y.Z"));
    bag.Put(L"strFormat", Variant(L"0.0"));
    bag.Put(c.key, *c.value);
    ComPtr<_QuillonPD> control = NewControl();
    auto persist = Query<IPersistPropertyBag>(control.Get(), IID_IPersistPropertyBag);
    EXPECT_EQ(persist->Load(&bag, nullptr), S_OK) << c.settings;
    EXPECT_EQ(Settings(control.Get()), c.settings);
    // The bag's own values stay as they were: the control took copies.
    EXPECT_EQ(std::wstring(ntf.bstrVal), L"R:E.F");
    EXPECT_EQ(std::wstring(inner.bstrVal), L"I:N.V");
  }
}

TEST_F(Persistence, ABadKeyInALaterLoadKeepsTheSettingItHad) {
  Edit();
  Variant bad_period(L"vite"), null_value;
  null_value.vt = VT_NULL;
  TestBag bag;
  bag.Put(L"strNTF", null_value);
  bag.Put(L"udtPollTime", bad_period);
  bag.FailReadOf(L"strFormat", E_FAIL);
  EXPECT_EQ(Query<IPersistPropertyBag>(pd_.Get(), IID_IPersistPropertyBag)->Load(&bag, nullptr),
            S_OK);
  EXPECT_EQ(Settings(pd_.Get()), L"N:T.F|0.00|90");
}

TEST_F(Persistence, LoadAfterEarlierCallsRestoresWhatAFreshControlRestores) {
  Variant bad_period(L"vite");
  TestBag bag;
  bag.Put(L"strNTF", Variant(L"X:Y.Z"));
  bag.Put(L"udtPollTime", bad_period);
  ComPtr<_QuillonPD> fresh = NewControl();
  ASSERT_EQ(Query<IPersistPropertyBag>(fresh.Get(), IID_IPersistPropertyBag)->Load(&bag, nullptr),
            S_OK);

  // A container that reads and writes properties and passes on an ambient change before it
  // loads the control.
  ComPtr<_QuillonPD> used = NewControl();
  Bstr text;
  E_POLLTIME period = Minute_01;
  used->get_Qualite(text.out());
  used->get_Frequence_Rafraichissement(&period);
  Query<IOleControl>(used.Get(), IID_IOleControl)->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE);
  Bstr format(L"#");
  used->put_Formatage(format.get());
  used->put_Frequence_Rafraichissement(Seconde_30);
  Bstr valeur(L"5"), formatee(L"5,0");
  BSTR pv = valeur.get(), pf = formatee.get();
  unsigned char quality = 1;
  DATE date = 45000.5;
  used->MaJNTF(&pv, &pf, &quality, &date);
  ASSERT_EQ(Query<IPersistPropertyBag>(used.Get(), IID_IPersistPropertyBag)->Load(&bag, nullptr),
            S_OK);
  EXPECT_EQ(Settings(used.Get()), L"X:Y.Z||0");
  EXPECT_EQ(Settings(used.Get()), Settings(fresh.Get()));
  EXPECT_EQ(Values(used.Get()), RestoredValues());
  EXPECT_EQ(Values(used.Get()), Values(fresh.Get()));
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
      {"newer version", {'Q', 'P', 'D', 'S', 3, 0, 0, 0, 0, 0, 0, 0}, STG_E_OLDDLL},
      {"version 2 claiming a terabyte",
       {'Q', 'P', 'D', 'S', 2, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0},
       STG_E_READFAULT},
      {"payload cut short", header, STG_E_READFAULT},
      {"huge payload", {'Q', 'P', 'D', 'S', 1, 0, 1, 0, 0, 0, 0, 0x7f}, STG_E_DOCFILECORRUPT},
      {"bad entry",
       {'Q', 'P', 'D', 'S', 1, 0, 1, 0, 6, 0, 0, 0, 1, 0, 'x', 0, 77, 0},
       STG_E_DOCFILECORRUPT},
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

TEST_F(Persistence, MistypedEntriesOfASoundBlockLeaveTheirSettingsAndTheOthersLoad) {
  const std::vector<uint8_t> sound = Block({{L"strNTF", {1, 0}},  // Null
                                            {L"udtPollTime", TextEntry(L"vite")},
                                            {L"strFormat", TextEntry(L"0.0")}});
  ComPtr<IStream> stream = NewStream();
  WriteBytes(stream.Get(), sound);
  ComPtr<_QuillonPD> from_stream = NewControl();
  EXPECT_EQ(
      Query<IPersistStreamInit>(from_stream.Get(), IID_IPersistStreamInit)->Load(stream.Get()),
      S_OK);
  EXPECT_EQ(Settings(from_stream.Get()), L"Noeud:Tag.Field|0.0|0");

  ComPtr<IStorage> storage = NewStorage();
  ComPtr<IStream> contents;
  ASSERT_EQ(storage->CreateStream(L"Contents", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                  0, 0, contents.Put()),
            S_OK);
  WriteBytes(contents.Get(), sound);
  contents.Reset();
  ComPtr<_QuillonPD> from_storage = NewControl();
  EXPECT_EQ(Query<IPersistStorage>(from_storage.Get(), IID_IPersistStorage)->Load(storage.Get()),
            S_OK);
  EXPECT_EQ(Settings(from_storage.Get()), L"Noeud:Tag.Field|0.0|0");
}

// Texts beyond what a block of version 1 holds (2 Mi characters) save as version 2.
TEST_F(Persistence, LongTextsSaveThroughEveryPathAndComeBack) {
  std::wstring ntf((3u << 20) + 5, L'n'), format((2u << 20) + 1, L'0');
  ntf.front() = L'A';
  ntf.back() = L'Z';
  Put(&_QuillonPD::put_NTF, ntf.c_str());
  Put(&_QuillonPD::put_Formatage, format.c_str());
  const std::wstring expected = ntf + L"|" + format + L"|29";

  ULARGE_INTEGER size = {}, end = {};
  ASSERT_EQ(Persist()->GetSizeMax(&size), S_OK);
  EXPECT_GT(size.QuadPart, 2 * (ntf.size() + format.size()));
  ComPtr<IStream> stream = NewStream();
  ASSERT_EQ(Persist()->Save(stream.Get(), TRUE), S_OK);
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_CUR, &end);
  EXPECT_EQ(end.QuadPart, size.QuadPart);
  Rewind(stream.Get());
  ComPtr<_QuillonPD> from_stream = NewControl();
  ASSERT_EQ(
      Query<IPersistStreamInit>(from_stream.Get(), IID_IPersistStreamInit)->Load(stream.Get()),
      S_OK);
  EXPECT_TRUE(Settings(from_stream.Get()) == expected);

  ComPtr<IStorage> storage = NewStorage();
  ASSERT_EQ(Query<IPersistStorage>(pd_.Get(), IID_IPersistStorage)->Save(storage.Get(), TRUE),
            S_OK);
  ComPtr<_QuillonPD> from_storage = NewControl();
  ASSERT_EQ(Query<IPersistStorage>(from_storage.Get(), IID_IPersistStorage)->Load(storage.Get()),
            S_OK);
  EXPECT_TRUE(Settings(from_storage.Get()) == expected);

  TestBag bag;
  ASSERT_EQ(Query<IPersistPropertyBag>(pd_.Get(), IID_IPersistPropertyBag)->Save(&bag, TRUE, TRUE),
            S_OK);
  ComPtr<_QuillonPD> from_bag = NewControl();
  ASSERT_EQ(
      Query<IPersistPropertyBag>(from_bag.Get(), IID_IPersistPropertyBag)->Load(&bag, nullptr),
      S_OK);
  EXPECT_TRUE(Settings(from_bag.Get()) == expected);
}

TEST_F(Persistence, StorageKeepsTheSettingsInItsContentsStream) {
  Edit();
  ComPtr<IStorage> storage = NewStorage();
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
