// Restores a control from a bag holding arbitrary values under its three keys, then shows it,
// ticks it over an arbitrary record of the cache file, reads every property and saves it
// again. Checks that the period follows the refresh code and that what is saved restores to
// the same settings.

#include <cstdlib>
#include <memory>

#include "cache/record_codec.h"
#include "control/control_environment.h"
#include "control/headless_site.h"
#include "control_view.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_echo_api.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_registry_api.h"
#include "fuzz_support.h"
#include "platform/windows_1252.h"

namespace quillon {
namespace {

const Text kCacheFile = u"/fuzz/cacheQuillonPD_V2.dat";

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

// Files in memory, a clock that moves when told to, no registry and no trace, under the
// French or the English locale.
EnvironmentSeams FuzzSeams(bool french) {
  return {.files = std::make_unique<testing::FakeFileSystem>(),
          .clock = std::make_unique<testing::FakeClock>(),
          .code_page = std::make_unique<Windows1252CodePage>(),
          .registry_api = std::make_unique<testing::FakeRegistryApi>(),
          .echo = std::make_unique<testing::FakeEchoApi>(),
          .locale = NewPlatformLocale(french ? "fr-FR" : "en-US"),
          .trace_active = false};
}

// The cache file holding one record.
void WriteCacheFile(ControlEnvironment& env, const EnregCache& record) {
  uint8_t bytes[kRecordSize];
  EncodeRecord(record, env.code_page(), bytes);
  static_cast<testing::FakeFileSystem&>(env.files()).Contents(kCacheFile) =
      std::string(reinterpret_cast<const char*>(bytes), kRecordSize);
  env.shared().cache().UseFile(kCacheFile);
}

}  // namespace
}  // namespace quillon

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillon;
  FuzzedDataProvider in(data, size);
  ControlEnvironment env(FuzzSeams(in.ConsumeBool()));
  auto& clock = static_cast<testing::FakeClock&>(env.clock());

  MemoryPropertyBag bag;
  for (const char16_t* key : {u"strNTF", u"udtPollTime", u"strFormat"}) {
    if (in.ConsumeBool()) bag.Write(key, ConsumeValue(in));
  }
  HeadlessSite site(in.ConsumeBool() ? UserMode::kRun : UserMode::kDesign);
  QuillonPD pd(site, env.services());
  pd.ReadProperties(bag);
  FUZZ_CHECK(pd.fields().lngPeriodeSec == PollTimeSeconds(pd.fields().ePollTime));

  EnregCache record;
  record.lngEtat = in.ConsumeIntegral<int32_t>();
  record.strRefNTF = in.ConsumeBool() ? pd.fields().strNTF : fuzz::ConsumeUtf16(in, 60);
  record.strValeurLue = FromUtf8(in.ConsumeRandomLengthString(20));
  record.strValeurFormateeLue = fuzz::ConsumeUtf16(in, 20);
  record.dtmLecture = in.ConsumeFloatingPoint<double>();
  WriteCacheFile(env, record);
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
  RenderFace(pd.face());

  MemoryPropertyBag saved;
  pd.WriteProperties(saved);
  HeadlessSite site2;
  QuillonPD restored(site2, env.services());
  restored.ReadProperties(saved);
  FUZZ_CHECK(restored.fields().strNTF == pd.fields().strNTF);
  FUZZ_CHECK(restored.fields().ePollTime == pd.fields().ePollTime);
  FUZZ_CHECK(restored.fields().strFormat == pd.fields().strFormat);
  return 0;
}
