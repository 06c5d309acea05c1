// _QuillonPD as clients call it: through its table of operations and through IDispatch by
// DISPID and by name, with the errors Automation clients expect for bad calls.
#include "com_fixture.h"

namespace quillon::testing {
namespace {

using Vtable = ControlTest;
using Dispatch = ControlTest;

TEST_F(Vtable, PointReferenceDefaultsToTheLiteralAndKeepsWhatIsSet) {
  EXPECT_EQ(Get(&_QuillonPD::get_NTF), L"Noeud:Tag.Field");
  Put(&_QuillonPD::put_NTF, L"N1:T1.F1");
  EXPECT_EQ(Get(&_QuillonPD::get_NTF), L"N1:T1.F1");
  EXPECT_EQ(pd_->put_NTF(nullptr), S_OK);  // a NULL BSTR is the empty text
  EXPECT_EQ(Get(&_QuillonPD::get_NTF), L"Noeud:Tag.Field");
  Put(&_QuillonPD::put_Formatage, L"0.0");
  EXPECT_EQ(Get(&_QuillonPD::get_Formatage), L"0.0");
}

TEST_F(Vtable, ValuePropertiesDiscardWhatIsAssigned) {
  ASSERT_EQ(MaJNTF(L"7", L"7,0", 1), S_OK);
  struct Case {
    HRESULT (STDMETHODCALLTYPE _QuillonPD::*get)(BSTR*);
    HRESULT (STDMETHODCALLTYPE _QuillonPD::*put)(BSTR);
  };
  for (const Case& c :
       {Case{&_QuillonPD::get_Valeur, &_QuillonPD::put_Valeur},
        Case{&_QuillonPD::get_ValeurFormatee, &_QuillonPD::put_ValeurFormatee},
        Case{&_QuillonPD::get_HorodatageDernLect, &_QuillonPD::put_HorodatageDernLect},
        Case{&_QuillonPD::get_Qualite, &_QuillonPD::put_Qualite}}) {
    const std::wstring before = Get(c.get);
    Put(c.put, L"autre chose");
    EXPECT_EQ(Get(c.get), before);
  }
  double number = 0;
  EXPECT_EQ(pd_->put_ValeurNombre(99), S_OK);
  EXPECT_EQ(pd_->get_ValeurNombre(&number), S_OK);
  EXPECT_EQ(number, 7);
}

TEST_F(Vtable, ValuesPushedThroughMaJNTF) {
  EXPECT_EQ(Get(&_QuillonPD::get_Qualite), L"-2");
  Put(&_QuillonPD::put_Formatage, L"0 %");
  ASSERT_EQ(MaJNTF(L"12", L"12", 0), S_OK);
  EXPECT_EQ(Get(&_QuillonPD::get_Valeur), L"12 %");
  EXPECT_EQ(Get(&_QuillonPD::get_Qualite), L"0");
  ASSERT_EQ(MaJNTF(nullptr, nullptr, 255), S_OK);  // NULL BSTRs are empty texts
  EXPECT_EQ(Get(&_QuillonPD::get_Qualite), L"-1");
  EXPECT_EQ(Get(&_QuillonPD::get_Valeur), L"");
  EXPECT_EQ(pd_->Rafraichir(), S_OK);
}

TEST_F(Vtable, MaJNTFLeavesItsArgumentsAsTheyCame) {
  Bstr a(L"1"), b(L"2");
  BSTR pa = a.get(), pb = b.get();
  unsigned char quality = 254;
  DATE date = 1.25;
  ASSERT_EQ(pd_->MaJNTF(&pa, &pb, &quality, &date), S_OK);
  EXPECT_EQ(pa, a.get());
  EXPECT_EQ(pb, b.get());
  EXPECT_EQ(a.text(), L"1");
  EXPECT_EQ(quality, 254);
  EXPECT_EQ(date, 1.25);
}

TEST_F(Vtable, RefreshPeriodOutsideTheEnumerationIsKept) {
  E_POLLTIME period = Minute_30;
  EXPECT_EQ(pd_->get_Frequence_Rafraichissement(&period), S_OK);
  EXPECT_EQ(period, Minute_01);
  EXPECT_EQ(pd_->put_Frequence_Rafraichissement(static_cast<E_POLLTIME>(5)), S_OK);
  EXPECT_EQ(pd_->get_Frequence_Rafraichissement(&period), S_OK);
  EXPECT_EQ(period, 5);
}

TEST_F(Vtable, NullOutPointersGiveEPointer) {
  for (auto getter : {&_QuillonPD::get_NTF, &_QuillonPD::get_Formatage, &_QuillonPD::get_Valeur,
                      &_QuillonPD::get_ValeurFormatee, &_QuillonPD::get_HorodatageDernLect,
                      &_QuillonPD::get_Qualite}) {
    EXPECT_EQ((pd_.Get()->*getter)(nullptr), E_POINTER);
  }
  EXPECT_EQ(pd_->get_ValeurNombre(nullptr), E_POINTER);
  EXPECT_EQ(pd_->get_Frequence_Rafraichissement(nullptr), E_POINTER);
  BSTR text = nullptr;
  unsigned char quality = 0;
  DATE date = 0;
  EXPECT_EQ(pd_->MaJNTF(nullptr, &text, &quality, &date), E_POINTER);
  EXPECT_EQ(pd_->MaJNTF(&text, &text, nullptr, &date), E_POINTER);
  EXPECT_EQ(pd_->MaJNTF(&text, &text, &quality, nullptr), E_POINTER);
  UINT count = 0;
  EXPECT_EQ(pd_->GetTypeInfoCount(nullptr), E_POINTER);
  EXPECT_EQ(pd_->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(pd_->GetTypeInfo(0, 0, nullptr), E_POINTER);
}

TEST_F(Dispatch, NamesGiveTheDispidsOfTheTypeLibrary) {
  const struct {
    const wchar_t* name;
    DISPID id;
  } cases[] = {{L"NTF", kNTF},
               {L"Formatage", kFormatage},
               {L"valeur", kValeur},  // names are found whatever their letter case
               {L"ValeurNombre", kValeurNombre},
               {L"ValeurFormatee", kValeurFormatee},
               {L"HorodatageDernLect", kHorodatage},
               {L"Qualite", kQualite},
               {L"Frequence_Rafraichissement", kFrequence},
               {L"Rafraichir", kRafraichir},
               {L"MaJNTF", kMaJNTF}};
  for (const auto& c : cases) {
    LPOLESTR name = const_cast<LPOLESTR>(c.name);
    DISPID id = 0;
    EXPECT_EQ(pd_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << Narrow(c.name);
    EXPECT_EQ(id, c.id) << Narrow(c.name);
  }
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"MaJNTF"), const_cast<LPOLESTR>(L"bytNewQualite")};
  DISPID ids[2] = {};
  EXPECT_EQ(pd_->GetIDsOfNames(IID_NULL, names, 2, 0, ids), S_OK);
  EXPECT_EQ(ids[1], 2);  // the argument's position
  LPOLESTR unknown = const_cast<LPOLESTR>(L"Inconnu");
  EXPECT_EQ(pd_->GetIDsOfNames(IID_NULL, &unknown, 1, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(pd_->GetIDsOfNames(IID_IDispatch, &unknown, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(pd_->GetTypeInfo(0, 0, info.Put()), S_OK);
  Bstr name;
  EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, name.out(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(name.text(), L"_QuillonPD");
  EXPECT_EQ(pd_->GetTypeInfo(1, 0, info.Put()), DISP_E_BADINDEX);
}

TEST_F(Dispatch, PropertiesAndMethodsByDispid) {
  EXPECT_EQ(InvokeGetText(kNTF), L"Noeud:Tag.Field");
  EXPECT_EQ(Invoke(kNTF, DISPATCH_PROPERTYPUT, {Text(L"A:B.C")}, nullptr), S_OK);
  EXPECT_EQ(InvokeGetText(kNTF), L"A:B.C");
  // An integer where a text is expected is converted, as Automation converts.
  EXPECT_EQ(Invoke(kFormatage, DISPATCH_PROPERTYPUT, {Int(0)}, nullptr), S_OK);
  EXPECT_EQ(InvokeGetText(kFormatage), L"0");
  EXPECT_EQ(Invoke(kFrequence, DISPATCH_PROPERTYPUT, {Text(L"70")}, nullptr), S_OK);
  Variant period;
  EXPECT_EQ(Invoke(kFrequence, DISPATCH_PROPERTYGET, {}, &period), S_OK);
  EXPECT_EQ(period.vt, VT_I4);
  EXPECT_EQ(period.lVal, 70);
  // MaJNTF's arguments by value, as script literals come, and by reference.
  DATE date = 2.5;
  VARIANT by_ref;
  VariantInit(&by_ref);
  by_ref.vt = VT_DATE | VT_BYREF;
  by_ref.pdate = &date;
  EXPECT_EQ(Invoke(kMaJNTF, DISPATCH_METHOD, {Text(L"5"), Text(L"5"), Int(255), by_ref}, nullptr),
            S_OK);
  EXPECT_EQ(InvokeGetText(kQualite), L"-1");
  EXPECT_EQ(InvokeGetText(kValeur), L"5");
  // Script variables come as variants referring to variants, whatever they hold.
  Variant valeur(L"6"), quality(LONG{1}), when;
  when.vt = VT_DATE;
  when.date = 3.5;
  std::vector<VARIANT> refs(4);
  VARIANT* targets[] = {&valeur, &valeur, &quality, &when};
  for (size_t i = 0; i < refs.size(); ++i) {
    VariantInit(&refs[i]);
    refs[i].vt = VT_VARIANT | VT_BYREF;
    refs[i].pvarVal = targets[i];
  }
  EXPECT_EQ(Invoke(kMaJNTF, DISPATCH_METHOD, refs, nullptr), S_OK);
  EXPECT_EQ(InvokeGetText(kQualite), L"1");
  EXPECT_EQ(InvokeGetText(kValeur), L"6");
  EXPECT_EQ(quality.vt, VT_I4);  // left as they came
  EXPECT_EQ(std::wstring(valeur.bstrVal), L"6");
  Variant number;
  EXPECT_EQ(Invoke(kValeurNombre, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &number), S_OK);
  EXPECT_EQ(number.vt, VT_R8);
  EXPECT_EQ(number.dblVal, 6);
  EXPECT_EQ(Invoke(kRafraichir, DISPATCH_METHOD, {}, nullptr), S_OK);
}

TEST_F(Dispatch, BadCallsGiveAutomationErrorsAndChangeNothing) {
  Put(&_QuillonPD::put_NTF, L"Gardé:T.F");
  IUnknown* object = pd_.Get();
  VARIANT not_text;
  VariantInit(&not_text);
  not_text.vt = VT_UNKNOWN;
  not_text.punkVal = object;
  object->AddRef();
  UINT arg = 99;
  EXPECT_EQ(Invoke(kNTF, DISPATCH_PROPERTYPUT, {not_text}, nullptr, &arg), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Invoke(kFrequence, DISPATCH_PROPERTYPUT, {Text(L"vite")}, nullptr, &arg),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg, 0u);  // the value of a put
  EXPECT_EQ(
      Invoke(kMaJNTF, DISPATCH_METHOD, {Text(L"1"), Text(L"1"), Text(L"x"), Int(0)}, nullptr, &arg),
      DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg, 1u);  // counted from the last argument
  EXPECT_EQ(Invoke(kNTF, DISPATCH_PROPERTYPUT, {Text(L"1"), Text(L"1")}, nullptr),
            DISP_E_BADPARAMCOUNT);
  for (const size_t count : {0, 1, 5}) {
    std::vector<VARIANT> args;
    for (size_t i = 0; i < count; ++i) args.push_back(Int(1));
    EXPECT_EQ(Invoke(kMaJNTF, DISPATCH_METHOD, args, nullptr), DISP_E_BADPARAMCOUNT) << count;
  }
  EXPECT_EQ(Invoke(kRafraichir, DISPATCH_METHOD, {Int(1)}, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(kNTF, DISPATCH_PROPERTYGET, {Int(1)}, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(kNTF, DISPATCH_PROPERTYPUT, {}, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(0x1234, DISPATCH_METHOD, {}, nullptr), DISP_E_MEMBERNOTFOUND);
  Variant result;
  EXPECT_EQ(
      pd_->Invoke(kNTF, IID_IDispatch, 0, DISPATCH_PROPERTYGET, nullptr, &result, nullptr, nullptr),
      DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(
      pd_->Invoke(kNTF, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &result, nullptr, nullptr),
      E_POINTER);
  EXPECT_EQ(Get(&_QuillonPD::get_NTF), L"Gardé:T.F");
  EXPECT_EQ(Get(&_QuillonPD::get_Qualite), L"-2");
}

}  // namespace
}  // namespace quillon::testing
