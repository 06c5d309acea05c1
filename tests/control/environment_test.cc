// The wiring of a thread's controls: seams, locale and the shared cache found through the
// registry, as a class factory builds it.
#include <gtest/gtest.h>

#include "cache/record_codec.h"
#include "control/control_environment.h"
#include "control/headless_site.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_echo_api.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_registry_api.h"
#include "platform/windows_1252.h"

namespace quillon::testing {
namespace {

const Text kCacheFile = u"/data\\Serveur Quillon PD\\cacheQuillonPD_V2.dat";

std::string RecordBytes(TextView ref, TextView value, CodePage& cp) {
  EnregCache r;
  r.lngEtat = 2;
  r.strRefNTF = PadToWidth(ref, kRefNTFLength);
  r.strValeurLue = PadToWidth(value, kValeurLength);
  r.strValeurFormateeLue = PadToWidth(value, kValeurLength);
  std::string out(kRecordSize, '\0');
  EncodeRecord(r, cp, reinterpret_cast<uint8_t*>(out.data()));
  return out;
}

TEST(ControlEnvironment, ControlsOfOneThreadShareTheCacheTheRegistryNames) {
  auto files = std::make_unique<FakeFileSystem>();
  auto registry = std::make_unique<FakeRegistryApi>();
  Windows1252CodePage cp;
  registry->SetValue("SOFTWARE\\Halvorn\\Pondral", "Chemin PD", kRegSz, std::string("/data\0", 6));
  files->Contents(kCacheFile) =
      RecordBytes(u"N1:T1.F1", u"12,5", cp) + RecordBytes(u"N2:T2.F2", u"7", cp);
  FakeFileSystem& fs = *files;
  ControlEnvironment env({.files = std::move(files),
                          .clock = std::make_unique<FakeClock>(),
                          .code_page = std::make_unique<Windows1252CodePage>(),
                          .registry_api = std::move(registry),
                          .echo = std::make_unique<FakeEchoApi>(),
                          .locale = NewPlatformLocale("fr-FR"),
                          .trace_active = false});
  HeadlessControl a(env.services());
  HeadlessControl b(env.services());
  for (auto [hc, ntf] : {std::pair{&a, u"N1:T1.F1"}, std::pair{&b, u"N2:T2.F2"}}) {
    hc->control().InitProperties();
    hc->control().put_NTF(ntf);
    hc->control().Show();
  }
  static_cast<FakeClock&>(env.clock()).AdvanceSeconds(1);
  ASSERT_TRUE(a.Tick());
  ASSERT_TRUE(b.Tick());
  EXPECT_EQ(a.control().face().caption(Child::txtValeur), PadToWidth(u"12,5", kValeurLength));
  EXPECT_EQ(a.control().get_ValeurNombre(), 12.5);  // French number rules
  EXPECT_EQ(b.control().face().caption(Child::txtValeur), PadToWidth(u"7", kValeurLength));
  // One request queue for both: the first tick flushed, the second waits for the next second.
  const auto* first = reinterpret_cast<const uint8_t*>(fs.Contents(kCacheFile).data());
  EXPECT_EQ(DecodeRecord(first, cp).lngEtat, 1);
  EXPECT_EQ(env.shared().fct().PendingRequests(), 1u);
  EXPECT_FALSE(env.shared().trace().blnTraceActive());
}

}  // namespace
}  // namespace quillon::testing
