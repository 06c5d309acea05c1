// A QuillonPD in a fake container, with a fake cache and a clock that moves when told to.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/oledate.h"
#include "control/quillon_pd.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_control_host.h"
#include "platform/formatter.h"
#include "platform/locale.h"

namespace quillon::testing {

// Start of run mode in most tests: 7 December 2026, 14:00:00.
inline double T0() { return DateFromParts(2026, 12, 7, 14, 0, 0); }
// `seconds` after T0, computed in one step.
inline double At(double seconds) {
  double d = 0;
  AddSeconds(T0(), seconds, &d);
  return d;
}

class ControlTest : public ::testing::Test {
 protected:
  explicit ControlTest(const char* locale_name = "fr-FR")
      : locale_(NewPlatformLocale(locale_name)),
        formatter_(NewPlatformFormatter(*locale_)),
        pd_(site_, services()) {
    site_.face = [this]() -> const FaceState& { return pd_.face(); };
  }

  // What the fixture's controls are made with.
  ControlServices services() { return {cache_, clock_, *locale_, *formatter_, records_, ticks_}; }

  // A new control placed on a display in run mode, bound to `ntf`, started at T0.
  void StartNew(const Text& ntf = u"N1:T1.F1", int32_t poll = Minute_01) {
    clock_.Set(T0());
    pd_.InitProperties();
    pd_.Show();
    pd_.put_Frequence_Rafraichissement(poll);
    pd_.put_NTF(ntf);
    log_.Clear();
  }

  // Moves the clock to `seconds` after T0 and delivers a tick if the timer runs; true when
  // the tick read the cache. Checks the tick against the thread's board on the way.
  bool TickAt(double seconds) {
    clock_.Set(At(seconds));
    if (!site_.timer_enabled) return false;
    ticks_.ReadClock();
    const bool idle = ticks_.Idle(pd_.tick_slot().slot);
    const size_t before = log_.Starting("getdata").size();
    pd_.timerRead_Timer();
    const bool read = log_.Starting("getdata").size() > before;
    // A tick that the thread's timer would leave out must have had nothing to do.
    EXPECT_FALSE(idle && read) << "the board called the tick at " << seconds << " s idle";
    return read;
  }

  // The times after T0, among first, first + 1, ... up to last, whose ticks read the cache.
  // Tests keep ticks half a second off the moment a read falls due, as a real timer is.
  std::vector<double> ReadingTicks(double first, double last) {
    std::vector<double> out;
    for (double s = first; s <= last; s += 1) {
      if (TickAt(s)) out.push_back(s);
    }
    return out;
  }

  // Puts the control into its steady phase: a fresh record arrives at its first tick.
  void ReachSteadyPhase(const Text& ntf = u"N1:T1.F1", int32_t poll = Minute_01) {
    StartNew(ntf, poll);
    cache_.Put(ntf, ntf, u"1", u"1", At(0.5));
    ASSERT_TRUE(TickAt(1));
    ASSERT_TRUE(pd_.fields().blnDemarrageTermine);
    log_.Clear();
  }

  // What the control saves into a new bag.
  std::map<Text, BagValue> Saved() {
    MemoryPropertyBag bag;
    pd_.WriteProperties(bag);
    return bag.entries();
  }
  // Lines of the log that mention `label`.
  std::vector<std::string> LinesOf(const std::string& label) {
    std::vector<std::string> out;
    for (const std::string& line : log_.lines()) {
      if (line.find(label) != std::string::npos) out.push_back(line);
    }
    return out;
  }

  Text Caption(Child c) { return site_.captions.count(c) ? site_.captions[c] : Text(u"(unset)"); }

  CallLog log_;
  FakeSite site_{log_};
  FakeCacheServices cache_{log_};
  FakeClock clock_{T0()};
  std::unique_ptr<Locale> locale_;
  std::unique_ptr<Formatter> formatter_;
  RecordStorage records_;
  TickBoard ticks_{clock_};
  QuillonPD pd_;
};

}  // namespace quillon::testing
