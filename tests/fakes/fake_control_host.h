// A container site and cache services for control tests: both write every call they receive,
// in order, into one shared log, and can be told to fail a call, which they then report by
// its result as the real ones do.
#pragma once

#include <functional>
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
  // Logs a call; false when the call is to fail.
  bool Add(std::string line);
  const std::vector<std::string>& lines() const { return lines_; }
  void Clear() { lines_.clear(); }
  // Lines starting with `prefix`.
  std::vector<std::string> Starting(const std::string& prefix) const;
  // Makes every call whose line starts with `prefix` fail after being logged.
  void FailOn(std::string prefix) { fail_on_.push_back(std::move(prefix)); }
  // The calls that failed, in order.
  const std::vector<std::string>& failures() const { return failures_; }

 private:
  std::vector<std::string> lines_;
  std::vector<std::string> fail_on_;
  std::vector<std::string> failures_;
};

class FakeSite final : public ControlSite {
 public:
  explicit FakeSite(CallLog& log) : log_(log) {}

  // Looks at the control's face (`face`) and logs what the label shows that it did not show
  // when last looked at: "caption <label>=<text>", then "colour <label>=<colour>".
  void LabelChanged(Child label) noexcept override;
  bool EnableTimer(bool enabled) noexcept override;
  // Logged with the name the notification carries.
  bool PropertyChanged(const ControlProperty& property) noexcept override;
  // kUnavailable when failing.
  UserMode AmbientUserMode() noexcept override;

  // The face of the control this site hosts; LabelChanged logs nothing until it is set.
  std::function<const FaceState&()> face;
  UserMode mode = UserMode::kRun;
  bool timer_enabled = false;
  std::vector<int32_t> changed_dispids;  // of the notifications delivered, in order
  std::map<Child, Text> captions;     // as last looked at, for labels that changed
  std::map<Child, uint32_t> colours;  // likewise

 private:
  CallLog& log_;
};

// A cache that holds records by point reference; a closed cache reads only empty records.
class FakeCacheServices final : public CacheServices {
 public:
  explicit FakeCacheServices(CallLog& log) : log_(log) {}

  // The record held for `ntf` (logged as "getdata"); the empty record when failing.
  EnregCache GetData(const Text& ntf) noexcept;
  // Opens the cache and looks the point up as the shared cache does (logged as "getdata").
  using CacheServices::PointRecord;
  bool PointRecord(const Text& ntf, EnregCache* record) noexcept override;
  void fctDemanderLectNTF(const Text& ntf, int32_t poll_time) noexcept override;
  // Leaves the cache open when failing.
  void fctFermerCache() noexcept override;

  // Stores a record for `ntf` whose reference is `stored_ref` padded to 60 characters.
  EnregCache& Put(const Text& ntf, const Text& stored_ref, const Text& valeur, const Text& formatee,
                  double lecture);

  bool open = true;
  std::map<Text, EnregCache> records;

 private:
  CallLog& log_;
};

}  // namespace quillon::testing
