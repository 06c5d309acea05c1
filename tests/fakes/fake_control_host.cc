#include "fakes/fake_control_host.h"

#include <stdexcept>

namespace quillon::testing {

void CallLog::Add(std::string line) {
  lines_.push_back(line);
  for (const std::string& prefix : fail_on_) {
    if (line.rfind(prefix, 0) == 0) throw std::runtime_error("failing: " + line);
  }
}

std::vector<std::string> CallLog::Starting(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& line : lines_) {
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  }
  return out;
}

void FakeSite::SetCaption(Child label, const Text& caption) {
  log_.Add("caption " + std::string(FaceOf(label).name) + "=" + ToUtf8(caption));
  captions[label] = caption;
}

void FakeSite::SetForeColor(Child label, uint32_t colour) {
  log_.Add("colour " + std::string(FaceOf(label).name) + "=" + std::to_string(colour));
  colours[label] = colour;
}

void FakeSite::EnableTimer(bool enabled) {
  log_.Add(enabled ? "timer on" : "timer off");
  timer_enabled = enabled;
}

void FakeSite::PropertyChanged(TextView name) { log_.Add("changed " + ToUtf8(name)); }

UserMode FakeSite::AmbientUserMode() {
  log_.Add("usermode?");
  return mode;
}

EnregCache FakeCacheServices::GetData(const Text& ntf) {
  log_.Add("getdata " + ToUtf8(ntf));
  if (!open) return EnregCache();
  const auto it = records.find(ntf);
  return it == records.end() ? EnregCache() : it->second;
}

void FakeCacheServices::fctDemanderLectNTF(const Text& ntf, int32_t poll_time) {
  log_.Add("demander " + ToUtf8(ntf) + " " + std::to_string(poll_time));
}

void FakeCacheServices::fctFermerCache() {
  log_.Add("fermer");
  open = false;
}

EnregCache FakeCacheServices::PointRecord(const Text& ntf) {
  const Text point = NormaliseReference(ntf);
  open = true;
  EnregCache record = GetData(point);
  return TrimSpaces(record.strRefNTF) == point ? record : EnregCache();
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
