// A cache over in-memory files, a fake clock and Windows-1252, with small verbs for tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cache/fct_cache.h"
#include "fct_cache_routines.h"
#include "cache/record_codec.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_echo_api.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_registry_api.h"
#include "platform/windows_1252.h"
#include "services/trace_log.h"

namespace quillon::testing {

inline const Text kCacheFile = u"/data\\Serveur Quillon PD\\cacheQuillonPD_V2.dat";
inline const Text kTraceFile = u"/opt/quillon/HN_Quillon_PD 20261207.log";

class CacheTest : public ::testing::Test {
 protected:
  CacheTest() { Build(false); }

  // A new process-wide state; the files stay.
  // With `from_registry`, the file is found under the installation path of the registry.
  void Build(bool trace_on, bool from_registry = false) {
    cache_.reset();
    trace_ = std::make_unique<TraceLogConditionnel>(fs_, clock_, cp_, trace_on);
    cache_ = std::make_unique<FctCacheRoutines>(fs_, clock_, cp_, *trace_, registry_);
    if (!from_registry) cache_->UseFile(kCacheFile);
  }
  void SetInstallPath(const std::string& path) {
    registry_api_.SetValue("SOFTWARE\\Halvorn\\Pondral", "Chemin PD", kRegSz, path + '\0');
  }
  void Open() { ASSERT_EQ(cache_->fctOuvrirCache(), 0); }

  // A record as a server or a forced read leaves it.
  EnregCache Rec(int32_t etat, TextView ref, TextView value = u"") {
    EnregCache r;
    r.lngEtat = etat;
    r.strRefNTF = PadToWidth(ref, kRefNTFLength);
    r.strValeurLue = PadToWidth(value, kValeurLength);
    return r;
  }
  std::string Bytes(const EnregCache& r) {
    std::string out(kRecordSize, '\0');
    EncodeRecord(r, cp_, reinterpret_cast<uint8_t*>(out.data()));
    return out;
  }
  std::string& File() { return fs_.Contents(kCacheFile); }
  void SetRecords(const std::vector<EnregCache>& records) {
    File().clear();
    for (const auto& r : records) File() += Bytes(r);
  }
  // Records 1..n holding "P:T<i>.V", record `at` holding `ref` instead.
  void FillWithPoints(int n, int at = 0, TextView ref = u"") {
    std::vector<EnregCache> records;
    for (int i = 1; i <= n; ++i) {
      records.push_back(i == at ? Rec(1, ref) : Rec(1, u"P:T" + NumberText(i) + u".V"));
    }
    SetRecords(records);
  }
  EnregCache RecordAt(int n) {
    EXPECT_GE(File().size(), size_t(n) * kRecordSize);
    return DecodeRecord(reinterpret_cast<const uint8_t*>(File().data()) + (n - 1) * kRecordSize,
                        cp_);
  }

  // The trace lines written so far, as UTF-8 without their "HH:MM:SS - " prefix.
  std::vector<std::string> Traces() {
    std::vector<std::string> lines;
    if (!fs_.Exists(kTraceFile)) return lines;
    const std::string text = ToUtf8(cp_.ToText(fs_.Contents(kTraceFile)));
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(text.substr(start + 11, end - start - 11));
    }
    return lines;
  }
  void ClearTraces() { fs_.Contents(kTraceFile).clear(); }
  // The three lines of one record read.
  static std::vector<std::string> ReadTraces(const std::string& ref, int n) {
    const std::string pos = std::to_string(n);
    return {"fctLectureDansLeCache - début - pos." + pos, "   LC " + ref + " " + pos,
            "fctLectureDansLeCache - fin"};
  }
  static void Append(std::vector<std::string>& to, const std::vector<std::string>& more) {
    to.insert(to.end(), more.begin(), more.end());
  }

  FakeFileSystem fs_;
  FakeClock clock_;
  Windows1252CodePage cp_;
  FakeRegistryApi registry_api_;
  FakeEchoApi echo_;
  RegistrePD registry_{registry_api_, cp_, echo_};
  std::unique_ptr<TraceLogConditionnel> trace_;
  std::unique_ptr<FctCacheRoutines> cache_;
};

}  // namespace quillon::testing
