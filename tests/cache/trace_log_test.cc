// Module TraceLogConditionnel: the daily file, the line format and the switch.
#include "services/trace_log.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/oledate.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_file_system.h"
#include "platform/windows_1252.h"

namespace quillon::testing {
namespace {

// A clock that gives the next of its readings at every call.
class SteppingClock final : public Clock {
 public:
  explicit SteppingClock(std::vector<double> readings) : readings_(std::move(readings)) {}
  double Now() override { return readings_[next_ < readings_.size() - 1 ? next_++ : next_]; }
  void Sleep(int) override {}

 private:
  std::vector<double> readings_;
  size_t next_ = 0;
};

class TraceLogTest : public ::testing::Test {
 protected:
  FakeFileSystem fs_;
  FakeClock clock_;
  Windows1252CodePage cp_;
};

TEST_F(TraceLogTest, SwitchOffOrAnUnwritableFolderWritesNothing) {
  TraceLogConditionnel off(fs_, clock_, cp_);
  EXPECT_FALSE(off.blnTraceActive());
  off.fctEcrireTrace(u"GetData - fin");
  EXPECT_EQ(fs_.ops().appends, 0);
  fs_.AddFolder(u"/elsewhere/");
  TraceLogConditionnel on(fs_, clock_, cp_, true);
  on.fctEcrireTrace(u"GetData - fin");
  EXPECT_EQ(fs_.ops().appends, 1);  // tried, and the line lost quietly
  EXPECT_FALSE(fs_.Exists(u"/opt/quillon/HN_Quillon_PD 20261207.log"));
}

TEST_F(TraceLogTest, LineWithTimeInAnsiAndCrlfInTheDaysFileNamedAfterTheModule) {
  TraceLogConditionnel trace(fs_, clock_, cp_, true);  // 2026-12-07 14:05:09
  trace.fctEcrireTrace(u"GetData - fin");
  trace.fctEcrireTrace(u"cacheForcerLectNTF - début - A:B.C");
  EXPECT_EQ(fs_.Contents(u"/opt/quillon/HN_Quillon_PD 20261207.log"),
            "14:05:09 - GetData - fin\r\n"
            "14:05:09 - cacheForcerLectNTF - d\xE9"
            "but - A:B.C\r\n");

  fs_.SetModulePath(u"C:\\Program Files\\Pondral\\HN_Quillon_PD.ocx");
  clock_.Set(DateFromParts(2027, 1, 2, 3, 4, 5));
  trace.fctEcrireTrace(u"x");
  EXPECT_EQ(fs_.Contents(u"C:\\Program Files\\Pondral\\HN_Quillon_PD 20270102.log"),
            "03:04:05 - x\r\n");
}

// Texts from outside reach the trace (a point reference comes from a display or a script):
// each message stays one line of bounded length whatever it holds.
TEST_F(TraceLogTest, ControlCharactersAreEscapedAndLongTextsCutWithAMarker) {
  EXPECT_EQ(TracedText(u"A:B.C\r\n14:05:09 - x\t\x7F\x85\\é"),
            u"A:B.C\\x0D\\x0A14:05:09 - x\\x09\\x7F\\x85\\é");
  EXPECT_EQ(TracedText(Text(300, u'a')), Text(256, u'a') + u"[... 44 caractères de plus]");
  EXPECT_EQ(TracedText(Text(256, u'a')), Text(256, u'a'));
  EXPECT_EQ(TracedText(Text(2, u'\0'), 1), u"\\x00[... 1 caractères de plus]");

  TraceLogConditionnel trace(fs_, clock_, cp_, true);
  trace.fctEcrireTrace(u"cacheForcerLectNTF - début - A:B.C\r\n14:05:09 - forged");
  trace.fctEcrireTrace(u"GetData - début " + Text(100000, u'x'));
  const std::string file = fs_.Contents(u"/opt/quillon/HN_Quillon_PD 20261207.log");
  EXPECT_EQ(file.substr(0, file.find("\r\n") + 2),
            "14:05:09 - cacheForcerLectNTF - d\xE9"
            "but - A:B.C\\x0D\\x0A14:05:09 - forged\r\n");
  const std::string second = file.substr(file.find("\r\n") + 2);
  const std::string marker = "[... 97968 caract\xE8res de plus]\r\n";
  EXPECT_EQ(second.size(), 11 + kMaxTraceMessage + marker.size());
  EXPECT_EQ(second.substr(second.size() - marker.size() - 1), "x" + marker);
}

TEST_F(TraceLogTest, LineAcrossMidnightStaysInItsOwnDay) {
  SteppingClock clock({DateFromParts(2026, 12, 7, 23, 59, 59, 999), DateFromParts(2026, 12, 8)});
  TraceLogConditionnel trace(fs_, clock, cp_, true);
  trace.fctEcrireTrace(u"GetData - fin");
  trace.fctEcrireTrace(u"GetData - fin");
  EXPECT_EQ(fs_.Contents(u"/opt/quillon/HN_Quillon_PD 20261207.log"),
            "23:59:59 - GetData - fin\r\n");
  EXPECT_EQ(fs_.Contents(u"/opt/quillon/HN_Quillon_PD 20261208.log"),
            "00:00:00 - GetData - fin\r\n");
}

}  // namespace
}  // namespace quillon::testing
