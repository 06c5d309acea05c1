#include "fakes/fake_control_host.h"

namespace quillon::testing {

bool CallLog::Add(std::string line) {
  lines_.push_back(line);
  for (const std::string& prefix : fail_on_) {
    if (line.rfind(prefix, 0) == 0) {
      failures_.push_back(std::move(line));
      return false;
    }
  }
  return true;
}

std::vector<std::string> CallLog::Starting(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& line : lines_) {
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  }
  return out;
}

void FakeSite::LabelChanged(Child label) noexcept {
  if (!face) return;
  const FaceState& shown = face();
  const std::string name(FaceOf(label).name);
  const auto caption = captions.find(label);
  const Text& now = shown.caption(label);
  if (caption == captions.end() || caption->second != now) {
    if (log_.Add("caption " + name + "=" + ToUtf8(now))) captions[label] = now;
  }
  const auto colour = colours.find(label);
  const uint32_t was = colour == colours.end() ? kSurfaceTextColour : colour->second;
  if (was != shown.colour(label)) {
    if (log_.Add("colour " + name + "=" + std::to_string(shown.colour(label)))) {
      colours[label] = shown.colour(label);
    }
  }
}

bool FakeSite::EnableTimer(bool enabled) noexcept {
  if (!log_.Add(enabled ? "timer on" : "timer off")) return false;
  timer_enabled = enabled;
  return true;
}

bool FakeSite::PropertyChanged(const ControlProperty& property) noexcept {
  // Logged by the name a notification carries: a setting's saved key, else the member's name.
  const auto name = property.saved_key.empty() ? property.name : property.saved_key;
  if (!log_.Add("changed " + ToUtf8(name))) return false;
  changed_dispids.push_back(property.dispid);
  return true;
}

UserMode FakeSite::AmbientUserMode() noexcept {
  return log_.Add("usermode?") ? mode : UserMode::kUnavailable;
}

EnregCache FakeCacheServices::GetData(const Text& ntf) noexcept {
  if (!log_.Add("getdata " + ToUtf8(ntf)) || !open) return EnregCache();
  const auto it = records.find(ntf);
  return it == records.end() ? EnregCache() : it->second;
}

void FakeCacheServices::fctDemanderLectNTF(const Text& ntf, int32_t poll_time) noexcept {
  log_.Add("demander " + ToUtf8(ntf) + " " + std::to_string(poll_time));
}

void FakeCacheServices::fctFermerCache() noexcept {
  if (log_.Add("fermer")) open = false;
}

bool FakeCacheServices::PointRecord(const Text& ntf, EnregCache* record) noexcept {
  const Text point = NormaliseReference(ntf);
  open = true;
  *record = GetData(point);
  if (TrimSpaces(record->strRefNTF) == point) return true;
  MakeEmpty(record);
  return false;
}

EnregCache& FakeCacheServices::Put(const Text& ntf, const Text& stored_ref, const Text& valeur,
                                   const Text& formatee, double lecture) {
  EnregCache& r = records[ntf];
  r.lngEtat = 2;
  r.strRefNTF = PadToWidth(stored_ref, kRefNTFLength);
  r.strValeurLue = PadToWidth(valeur, kValeurLength);
  r.strValeurFormateeLue = PadToWidth(formatee, kValeurLength);
  r.dtmLecture = lecture;
  return r;
}

}  // namespace quillon::testing
