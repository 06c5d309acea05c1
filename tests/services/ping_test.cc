#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "fakes/fake_echo_api.h"
#include "platform/windows_1252.h"
#include "services/tester_ping.h"
#include "services/ping_pd.h"

namespace quillon {
namespace {

using ::testing::ElementsAre;
using testing::FakeEchoApi;

// 127.0.0.9 in network byte order, as the platform's inet_addr gives it.
constexpr uint32_t kLoopback9 = 127u | 9u << 24;

class PingTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(echo_.open_handles(), 0); }

  FakeEchoApi echo_;
  Windows1252CodePage code_page_;
  PingPD ping_{echo_, code_page_};
};

TEST_F(PingTest, FirstAnswerMakesOneEchoInsideOneSocketsSession) {
  EXPECT_EQ(TesterPing(ping_, u"127.0.0.9", 3), 0);
  EXPECT_THAT(
      echo_.calls(),
      ElementsAre("WSAStartup(257)", "InetAddr(127.0.0.9)", "IcmpCreateFile()",
                  "IcmpSendEcho(64, " + std::to_string(kLoopback9) + ", Test de ping, 278, 3000)",
                  "IcmpCloseHandle(64)", "WSACleanup()"));
}

TEST_F(PingTest, ResultEchoesAndCleanUpsByHostAndRepeatCount) {
  using Script = void (*)(FakeEchoApi&);
  const Script silent = [](FakeEchoApi& e) { e.AnswerFrom(0); };
  const struct {
    const char16_t* address;
    int32_t repeats;
    Script script;
    int32_t result;
    int startups, echoes, cleanups;
  } cases[] = {
      {u"", 3, nullptr, 0, 0, 0, 0},  // the local machine: nothing sent
      {u"127.0.0.9", 3, silent, 1, 1, 4, 1},
      {u"127.0.0.9", 3, [](FakeEchoApi& e) { e.AnswerFrom(3); }, 0, 1, 3, 1},
      {u"127.0.0.9", 3, [](FakeEchoApi& e) { e.SendWritesNothing(); }, 1, 1, 4, 1},
      {u"127.0.0.9", 0, silent, 1, 1, 1, 1},
      {u"127.0.0.9", -1, silent, 1, 1, 1, 1},
      {u"127.0.0.9", INT32_MIN, silent, 1, 1, 1, 1},
      {u"serveur-pd", 3, nullptr, 1, 1, 0, 1},  // addresses that do not parse
      {u"255.255.255.255", 3, nullptr, 1, 1, 0, 1},
      {u"127.0.0.", 3, nullptr, 1, 1, 0, 1},
      {u"127.0.0.9", 3, [](FakeEchoApi& e) { e.FailStartup(10091); }, 2, 1, 0, 0},
      // Without an ICMP handle the host counts as reachable.
      {u"127.0.0.9", 3, [](FakeEchoApi& e) { e.FailCreateFile(); }, 0, 1, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << ToUtf8(c.address) << " " << c.repeats);
    FakeEchoApi echo;
    if (c.script) c.script(echo);
    PingPD ping(echo, code_page_);
    EXPECT_EQ(TesterPing(ping, c.address, c.repeats), c.result);
    EXPECT_EQ(echo.Count("WSAStartup"), c.startups);
    EXPECT_EQ(echo.Count("IcmpSendEcho"), c.echoes);
    EXPECT_EQ(echo.Count("WSACleanup"), c.cleanups);
    EXPECT_EQ(echo.open_handles(), 0);
  }
}

TEST_F(PingTest, ReplyRecordStartsZeroedAtEachProbeAndCarriesOverAttempts) {
  echo_.AnswerFrom(0);
  TesterPing(ping_, u"127.0.0.9", 2);
  TesterPing(ping_, u"127.0.0.9", 0);
  EXPECT_THAT(echo_.statuses_seen(), ElementsAre(0, 11010, 11010, 0));
}

TEST_F(PingTest, EchoReturnsTheStatusAtOffsetFourOfTheReply) {
  ReponseEcho reply;
  EXPECT_EQ(ping_.EnvoyerEcho(u"127.0.0.9", u"Test de ping", reply), 0);
  EXPECT_EQ(std::string(reply.bytes.begin() + 28, reply.bytes.begin() + 40), "Test de ping");
  EXPECT_EQ(ping_.EnvoyerEcho(u"pas une adresse", u"Test de ping", reply), -1);
  echo_.AnswerFrom(0);
  EXPECT_EQ(ping_.EnvoyerEcho(u"127.0.0.9", u"Test de ping", reply), kIpReqTimedOut);
  echo_.SendWritesNothing();  // a failed send that leaves a zeroed reply is no answer
  ReponseEcho zeroed;
  EXPECT_EQ(ping_.EnvoyerEcho(u"127.0.0.9", kEchoPayload, zeroed), kIpGeneralFailure);
  reply.bytes[4] = reply.bytes[5] = reply.bytes[6] = reply.bytes[7] = 0xFF;
  EXPECT_EQ(reply.Status(), -1);
}

}  // namespace
}  // namespace quillon
