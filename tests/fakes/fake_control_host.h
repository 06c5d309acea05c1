// A container site and cache services for control tests: both write every call they receive,
// in order, into one shared log, and can be told to fail a call.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cache/cache_services.h"
#include "control/control_site.h"

namespace quillon::testing {

// Calls as lines such as "caption txtNTF=A:B.C", "colour txtStatut=255", "timer on",
// "changed strNTF", "usermode?", "getdata A:B.C", "demander A:B.C 29",
// "fermer".
class CallLog {
 public:
  void Add(std::string line);
  const std::vector<std::string>& lines() const { return lines_; }
  void Clear() { lines_.clear(); }
  // Lines starting with `prefix`.
  std::vector<std::string> Starting(const std::string& prefix) const;
  // Makes every call whose line starts with `prefix` throw after being logged.
  void FailOn(std::string prefix) { fail_on_.push_back(std::move(prefix)); }

 private:
  std::vector<std::string> lines_;
  std::vector<std::string> fail_on_;
};

class FakeSite final : public ControlSite {
 public:
  explicit FakeSite(CallLog& log) : log_(log) {}

  void SetCaption(Child label, const Text& caption) override;
  void SetForeColor(Child label, uint32_t colour) override;
  void EnableTimer(bool enabled) override;
  void PropertyChanged(TextView name) override;
  UserMode AmbientUserMode() override;

  UserMode mode = UserMode::kRun;
  bool timer_enabled = false;
  std::map<Child, Text> captions;
  std::map<Child, uint32_t> colours;

 private:
  CallLog& log_;
};

// A cache that holds records by point reference; a closed cache reads only empty records.
class FakeCacheServices final : public CacheServices {
 public:
  explicit FakeCacheServices(CallLog& log) : log_(log) {}

  EnregCache GetData(const Text& ntf) override;
  // Opens the cache and looks the point up as the shared cache does (logged as "getdata").
  EnregCache PointRecord(const Text& ntf) override;
  void fctDemanderLectNTF(const Text& ntf, int32_t poll_time) override;
  void fctFermerCache() override;

  // Stores a record for `ntf` whose reference is `stored_ref` padded to 60 characters.
  EnregCache& Put(const Text& ntf, const Text& stored_ref, const Text& valeur, const Text& formatee,
                  double lecture);

  bool open = true;
  std::map<Text, EnregCache> records;

 private:
  CallLog& log_;
};

}  // namespace quillon::testing
