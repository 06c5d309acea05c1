// quillon serve: the stand-in server fills requested records in.
#include <chrono>
#include <set>

#include "cache/slot_lock.h"
#include "cache_tools_support.h"
#include "common/oledate.h"
#include "platform/file_system.h"

namespace quillon::testing {
namespace {

class ServeTest : public ToolTest {
 protected:
  struct Fields {
    int32_t state;
    double read, requested;
    std::string value, formatted, complement;
  };
  static Fields At(const std::string& bytes, int n) {
    const size_t r = (n - 1) * 144;
    return {FieldAt<int32_t>(bytes, r),     FieldAt<double>(bytes, r + 64),
            FieldAt<double>(bytes, r + 72), bytes.substr(r + 84, 20),
            bytes.substr(r + 104, 20),      bytes.substr(r + 124, 20)};
  }
  std::string Requests() {
    RawRecord with_complement{1, "S:Temp.PV", 0, 46000.5, 90};
    std::string bytes = with_complement.Bytes();
    bytes.replace(124, 20,
                  "\x01\x02\x03\x04"
                  "complement-kept!");
    bytes += RawRecord{0, "F:Free.PV"}.Bytes() + RawRecord{2, "O:Other.PV"}.Bytes();
    bytes += RawRecord{1, "S:Ramp.PV", 0, 46000.5, 29}.Bytes();
    WriteFile(Path("c.dat"), bytes);
    return Path("c.dat");
  }
};

TEST_F(ServeTest, OncePassFillsRequestsAndKeepsTheRest) {
  const std::string file = Requests();
  const std::string before = ReadFile(file);
  const RunResult r = Run({"serve", "--cache", file, "--once"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "served 2 records\n");
  const std::string after = ReadFile(file);
  ASSERT_EQ(after.size(), before.size());
  for (int n : {1, 4}) {
    const Fields f = At(after, n);
    EXPECT_EQ(f.state, 1);
    EXPECT_GT(f.read, 46000.0);
    EXPECT_EQ(f.requested, 46000.5);
    EXPECT_NE(f.value, std::string(20, ' '));
    EXPECT_NE(f.formatted, std::string(20, ' '));
  }
  EXPECT_EQ(At(after, 1).complement,
            "\x01\x02\x03\x04"
            "complement-kept!");
  EXPECT_EQ(after.substr(144, 288), before.substr(144, 288));  // free and other states
}

TEST_F(ServeTest, ValuesFromAFileAndRereadAtThePeriod) {
  const std::string file = Requests();
  WriteFile(Path("values.tsv"),
            "# reference\tvalue\tformatted\nS:Temp.PV\t21.5\t21,5 \xC2\xB0"
            "C\n"
            "S:Ramp.PV\t123456789012345678901234\r\n");
  ASSERT_EQ(Run({"serve", "--cache", file, "--values", Path("values.tsv"), "--once"}).code, 0);
  std::string bytes = ReadFile(file);
  EXPECT_EQ(At(bytes, 1).value, "21.5" + std::string(16, ' '));
  EXPECT_EQ(At(bytes, 1).formatted,
            "21,5 \xB0"
            "C" +
                std::string(13, ' '));
  EXPECT_EQ(At(bytes, 4).value, "12345678901234567890");
  // Read just now: not served again until its period has run (10 s and 60 s here).
  EXPECT_EQ(Run({"serve", "--cache", file, "--once"}).out, "served 0 records\n");
  // A read longer ago than the period is served again.
  const double old = DateFromParts(2020, 1, 1);
  bytes.replace(64, 8, reinterpret_cast<const char*>(&old), 8);
  WriteFile(file, bytes);
  EXPECT_EQ(Run({"serve", "--cache", file, "--once"}).out, "served 1 record\n");
}

TEST_F(ServeTest, PassReadsTheFileBlockByBlockUpToItsEnd) {
  // 455 records make one 64 KiB block: requests on both sides of block edges and at the end.
  const std::set<int> requested = {1, 455, 456, 910, 911, 1000};
  std::string bytes;
  for (int n = 1; n <= 1000; ++n) {
    const std::string ref = "P:T" + std::to_string(n) + ".PV";
    bytes += requested.count(n) ? RawRecord{1, ref, 0, 46000.5, 90}.Bytes()
                                : RawRecord{2, ref, 46000.5, 46000.5, 90, "old"}.Bytes();
  }
  WriteFile(Path("c.dat"), bytes);
  const RunResult r = Run({"serve", "--cache", Path("c.dat"), "--once"});
  EXPECT_EQ(r.out, "served 6 records\n") << r.err;
  const std::string after = ReadFile(Path("c.dat"));
  ASSERT_EQ(after.size(), bytes.size());
  for (int n = 1; n <= 1000; ++n) {
    EXPECT_EQ(At(after, n).read > 46000.5, requested.count(n) == 1) << n;
  }
}

// A peer (a display writing a new request, another server) that keeps the slot lock must not
// stop the server: it waits for the lock as a control does, about 50 ms and then one try
// without waiting per second, and serves the records at a later pass.
TEST_F(ServeTest, APeerHoldingTheSlotLockCostsAPassOneBoundedWait) {
  std::vector<RawRecord> requests;
  for (int n = 1; n <= 200; ++n) requests.push_back({1, "S:P" + std::to_string(n), 0, 46000.5, 90});
  const std::string file = WriteCache(requests);
  auto files = NewPlatformFileSystem();
  auto peer = files->OpenShared(FromUtf8(file));
  ASSERT_TRUE(peer && peer->TryLockByte(kSlotLockOffset));
  const auto start = std::chrono::steady_clock::now();
  RunResult r = Run({"serve", "--cache", file, "--once"});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.out, "served 0 records\n") << r.err;
  EXPECT_LT(seconds, 2.0);  // 200 waits of 50 ms each would take over 10 s
  ASSERT_TRUE(peer->UnlockByte(kSlotLockOffset));
  r = Run({"serve", "--cache", file, "--once"});
  EXPECT_EQ(r.out, "served 200 records\n") << r.err;
}

TEST_F(ServeTest, BadInputGetsOneLineAndNonZeroExit) {
  WriteFile(Path("bad.tsv"), "S:Temp.PV 21.5\n");
  const std::string file = Requests();
  ExpectRefused({{"serve", "--cache", file, "--values", Path("bad.tsv"), "--once"},
                 {"serve", "--cache", file, "--values", Path("none.tsv"), "--once"},
                 {"serve", "--cache", Path("no/such/folder.dat"), "--once"},
                 {"serve", "--cache", file, "--duration", "-1"},
                 {"serve", "extra"}});
  EXPECT_NE(Run({"serve", "--cache", file, "--values", Path("bad.tsv")}).err.find("line 1"),
            std::string::npos);
}

}  // namespace
}  // namespace quillon::testing
