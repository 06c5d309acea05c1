#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "fakes/fake_echo_api.h"
#include "platform/windows_1252.h"
#include "services/fct_ping.h"
#include "services/ping_pd.h"

namespace quillon {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using testing::FakeEchoApi;

// 127.0.0.9 in network byte order, as the platform's inet_addr gives it.
constexpr uint32_t kLoopback9 = 127u | 9u << 24;

class PingTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(echo_.open_handles(), 0); }

  int32_t Tester(const Text& address, int32_t repeats) {
    return TesterPing(ping_, address, repeats);
  }
  int Echoes() const { return echo_.Count("IcmpSendEcho"); }
  int Cleanups() const { return echo_.Count("WSACleanup"); }

  FakeEchoApi echo_;
  Windows1252CodePage code_page_;
  PingPD ping_{echo_, code_page_};
};

TEST_F(PingTest, EmptyAddressIsTheLocalMachineAndSendsNothing) {
  EXPECT_EQ(Tester(u"", 3), 0);
  EXPECT_TRUE(echo_.calls().empty());
}

TEST_F(PingTest, FirstAnswerMakesOneEchoInsideOneSocketsSession) {
  EXPECT_EQ(Tester(u"127.0.0.9", 3), 0);
  EXPECT_THAT(
      echo_.calls(),
      ElementsAre("WSAStartup(257)", "InetAddr(127.0.0.9)", "IcmpCreateFile()",
                  "IcmpSendEcho(64, " + std::to_string(kLoopback9) + ", Test de ping, 278, 3000)",
                  "IcmpCloseHandle(64)", "WSACleanup()"));
}

TEST_F(PingTest, SilentHostGetsFirstRequestAndThreeRepeats) {
  echo_.AnswerFrom(0);
  EXPECT_EQ(Tester(u"127.0.0.9", 3), 1);
  EXPECT_EQ(Echoes(), 4);
  EXPECT_EQ(echo_.Count("WSAStartup"), 1);
  EXPECT_EQ(Cleanups(), 1);
  EXPECT_EQ(echo_.calls().back(), "WSACleanup()");
}

TEST_F(PingTest, HostAnsweringTheThirdRequestStopsThere) {
  echo_.AnswerFrom(3);
  EXPECT_EQ(Tester(u"127.0.0.9", 3), 0);
  EXPECT_EQ(Echoes(), 3);
  EXPECT_EQ(Cleanups(), 1);
}

TEST_F(PingTest, SendThatFailsWithoutWritingTheReplyIsNoAnswer) {
  echo_.SendWritesNothing();
  EXPECT_EQ(Tester(u"127.0.0.9", 3), 1);
  EXPECT_EQ(Echoes(), 4);
  ReponseEcho reply;
  EXPECT_EQ(ping_.EnvoyerEcho(u"127.0.0.9", kEchoPayload, reply), kIpGeneralFailure);
}

TEST_F(PingTest, ZeroOrNegativeRepeatsStillMakeOneAttempt) {
  for (int32_t repeats : {0, -1, INT32_MIN}) {
    FakeEchoApi echo;
    echo.AnswerFrom(0);
    PingPD ping(echo, code_page_);
    EXPECT_EQ(TesterPing(ping, u"127.0.0.9", repeats), 1) << repeats;
    EXPECT_EQ(echo.Count("IcmpSendEcho"), 1) << repeats;
    EXPECT_EQ(echo.Count("WSACleanup"), 1) << repeats;
  }
}

TEST_F(PingTest, AddressThatDoesNotParseFailsEveryAttemptWithoutSending) {
  for (const Text& address : {Text(u"serveur-pd"), Text(u"255.255.255.255"), Text(u"127.0.0.")}) {
    FakeEchoApi echo;
    PingPD ping(echo, code_page_);
    EXPECT_EQ(TesterPing(ping, address, 3), 1);
    EXPECT_EQ(echo.Count("InetAddr"), 4);
    EXPECT_EQ(echo.Count("IcmpCreateFile"), 0);
    EXPECT_EQ(echo.Count("IcmpSendEcho"), 0);
    EXPECT_EQ(echo.Count("WSACleanup"), 1);
  }
}

TEST_F(PingTest, FailedSocketsStartupGivesTwoWithoutCleanup) {
  echo_.FailStartup(10091);
  EXPECT_EQ(Tester(u"127.0.0.9", 3), 2);
  EXPECT_THAT(echo_.calls(), ElementsAre("WSAStartup(257)"));
}

TEST_F(PingTest, NoIcmpHandleCountsAsAnAnswerAndSendsNothing) {
  echo_.FailCreateFile();
  EXPECT_EQ(Tester(u"127.0.0.9", 3), 0);
  EXPECT_EQ(Echoes(), 0);
  EXPECT_EQ(echo_.Count("IcmpCloseHandle"), 0);
}

TEST_F(PingTest, ReplyRecordStartsZeroedAtEachProbeAndCarriesOverAttempts) {
  echo_.AnswerFrom(0);
  Tester(u"127.0.0.9", 2);
  Tester(u"127.0.0.9", 0);
  EXPECT_THAT(echo_.statuses_seen(), ElementsAre(0, 11010, 11010, 0));
}

TEST_F(PingTest, EchoReturnsTheReplyStatus) {
  ReponseEcho reply;
  echo_.AnswerFrom(0);
  echo_.SetSilentStatus(11003);
  EXPECT_EQ(ping_.EnvoyerEcho(u"127.0.0.9", u"Test de ping", reply), 11003);
  echo_.AnswerFrom(1);
  EXPECT_EQ(ping_.EnvoyerEcho(u"127.0.0.9", u"Test de ping", reply), 0);
  EXPECT_EQ(std::string(reply.bytes.begin() + 28, reply.bytes.begin() + 40), "Test de ping");
  EXPECT_EQ(ping_.EnvoyerEcho(u"pas une adresse", u"Test de ping", reply), -1);
}

TEST(ReponseEchoTest, StatusIsTheSignedWordAtOffsetFour) {
  ReponseEcho reply;
  EXPECT_EQ(reply.Status(), 0);
  reply.bytes[4] = 0x02;
  reply.bytes[5] = 0x2B;  // 11010
  EXPECT_EQ(reply.Status(), 11010);
  reply.bytes[4] = reply.bytes[5] = reply.bytes[6] = reply.bytes[7] = 0xFF;
  EXPECT_EQ(reply.Status(), -1);
  EXPECT_THAT(std::vector<uint8_t>(reply.bytes.begin(), reply.bytes.begin() + 4), Each(0));
}

}  // namespace
}  // namespace quillon
