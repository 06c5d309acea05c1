// Restores a control from a bag holding arbitrary values under its three keys, then shows it,
// ticks it over an arbitrary record, reads every property and saves it again. Checks that the
// period follows the refresh code and that what is saved restores to the same settings.

#include <cstdlib>
#include <memory>

#include "control/headless_site.h"
#include "fakes/fake_clock.h"
#include "fuzz_support.h"
#include "platform/formatter.h"
#include "platform/locale.h"

namespace quillon {
namespace {

BagValue ConsumeValue(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      return std::monostate{};
    case 1:
      return BagNull{};
    case 2:
      return in.ConsumeBool();
    case 3:
      return in.ConsumeIntegral<int32_t>();
    case 4:
      return in.ConsumeFloatingPoint<double>();
    case 5:
      return fuzz::ConsumeUtf16(in, 40);
    case 6:
      return FromUtf8(in.ConsumeRandomLengthString(40));
    default:
      return BagOther{};
  }
}

// A cache that holds one arbitrary record.
class OneRecordCache final : public CacheServices {
 public:
  EnregCache GetData(const Text&) noexcept override { return record; }
  EnregCache PointRecord(const Text& ntf) noexcept override {
    return TrimSpaces(record.strRefNTF) == NormaliseReference(ntf) ? record : EnregCache();
  }
  void fctDemanderLectNTF(const Text&, int32_t) noexcept override {}
  void fctFermerCache() noexcept override {}
  EnregCache record;
};

struct Locales {
  std::unique_ptr<Locale> fr = NewPlatformLocale("fr-FR");
  std::unique_ptr<Locale> en = NewPlatformLocale("en-US");
  std::unique_ptr<Formatter> fr_format = NewPlatformFormatter(*fr);
  std::unique_ptr<Formatter> en_format = NewPlatformFormatter(*en);
};

}  // namespace
}  // namespace quillon

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillon;
  static Locales locales;
  FuzzedDataProvider in(data, size);
  const bool french = in.ConsumeBool();
  Locale& locale = french ? *locales.fr : *locales.en;
  Formatter& formatter = french ? *locales.fr_format : *locales.en_format;

  MemoryPropertyBag bag;
  for (const char16_t* key : {u"strNTF", u"udtPollTime", u"strFormat"}) {
    if (in.ConsumeBool()) bag.Write(key, ConsumeValue(in));
  }
  testing::FakeClock clock;
  OneRecordCache cache;
  HeadlessSite site(in.ConsumeBool() ? UserMode::kRun : UserMode::kDesign);
  QuillonPD pd(site, cache, clock, locale, formatter);
  pd.ReadProperties(bag);
  FUZZ_CHECK(pd.fields().lngPeriodeSec == PollTimeSeconds(pd.fields().ePollTime));

  cache.record.strRefNTF = in.ConsumeBool() ? pd.fields().strNTF : fuzz::ConsumeUtf16(in, 60);
  cache.record.strValeurLue = FromUtf8(in.ConsumeRandomLengthString(20));
  cache.record.strValeurFormateeLue = fuzz::ConsumeUtf16(in, 20);
  cache.record.dtmLecture = in.ConsumeFloatingPoint<double>();
  pd.Show();
  pd.timerRead_Timer();
  pd.MaJNTF(FromUtf8(in.ConsumeRandomLengthString(20)), fuzz::ConsumeUtf16(in, 20),
            in.ConsumeIntegral<uint8_t>(), in.ConsumeFloatingPoint<double>());
  clock.AdvanceSeconds(in.ConsumeIntegralInRange<int>(0, 4000));
  pd.timerRead_Timer();
  pd.get_NTF();
  pd.get_Valeur();
  pd.get_ValeurNombre();
  pd.get_ValeurFormatee();
  pd.get_HorodatageDernLect();
  pd.get_Qualite();
  RenderFace(site.face());

  MemoryPropertyBag saved;
  pd.WriteProperties(saved);
  HeadlessSite site2;
  QuillonPD restored(site2, cache, clock, locale, formatter);
  restored.ReadProperties(saved);
  FUZZ_CHECK(restored.fields().strNTF == pd.fields().strNTF);
  FUZZ_CHECK(restored.fields().ePollTime == pd.fields().ePollTime);
  FUZZ_CHECK(restored.fields().strFormat == pd.fields().strFormat);
  return 0;
}
