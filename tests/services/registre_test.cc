#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/fake_echo_api.h"
#include "fakes/fake_registry_api.h"
#include "platform/windows_1252.h"
#include "services/registre_pd.h"

namespace quillon {
namespace {

using ::testing::ElementsAre;
using testing::FakeEchoApi;
using testing::FakeRegistryApi;

constexpr char kKey[] = "SOFTWARE\\Halvorn\\Pondral";
constexpr int32_t kHklm = static_cast<int32_t>(0x80000002u);
const std::string kOpen = std::string(", ") + kKey + ", 0, 131097)";  // KEY_READ
const std::string kConnect = "ConnectRegistry(127.0.0.5, -2147483646)";
const RegValue kUntouched = Text(u"avant");

class RegistreTest : public ::testing::Test {
 protected:
  // Every path releases what it opened.
  void TearDown() override {
    EXPECT_EQ(registry_.OpenHandles(), 0u);
    EXPECT_EQ(echo_.open_handles(), 0);
  }

  void Store(uint32_t type, std::string bytes, const std::string& machine = "") {
    registry_.SetValue(kKey, "Chemin PD", type, std::move(bytes), kHkeyLocalMachine, machine);
  }
  // Reads "Chemin PD" into value_.
  int32_t Read(const Text& machine = u"") {
    return registre_.LireValeurRegistre(kHklm, u"SOFTWARE\\Halvorn\\Pondral", u"Chemin PD", value_,
                                        machine);
  }
  std::vector<std::string> Calls() const { return registry_.calls(); }

  FakeRegistryApi registry_;
  FakeEchoApi echo_;
  Windows1252CodePage code_page_;
  RegistrePD registre_{registry_, code_page_, echo_};
  RegValue value_ = kUntouched;
};

TEST_F(RegistreTest, LocalStringReadOpensQueriesTwiceAndCloses) {
  Store(kRegSz, std::string("C:\\Quillon\0", 11));
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(value_, RegValue(Text(u"C:\\Quillon")));
  EXPECT_THAT(Calls(),
              ElementsAre("OpenKeyEx(-2147483646" + kOpen, "QueryValueEx(256, Chemin PD, null, 0)",
                          "QueryValueEx(256, Chemin PD, data, 11)", "CloseKey(256)"));
  EXPECT_TRUE(echo_.calls().empty());  // no machine name: never probed
}

TEST_F(RegistreTest, EachTypeReadsToItsValueOrLeavesTheOutput) {
  const struct {
    uint32_t type;
    std::string bytes;
    int32_t rc;
    RegValue expected;
  } cases[] = {
      {kRegSz, std::string("\0", 1), 0, Text()},  // strings drop only their terminating NUL
      {kRegSz, "", 0, Text()},                    // stored without any byte
      {kRegSz, std::string("D:\\Soci\xE9t\xE9 \x80\0", 13), 0, Text(u"D:\\Société €")},
      {kRegExpandSz, std::string("%SystemRoot%\\pd\0", 16), 0, Text(u"%SystemRoot%\\pd")},
      {kRegMultiSz, std::string("a\0b\0\0", 5), 0, Text(u"a\0b\0", 4)},
      {kRegBinary, std::string("\x01\0\xE9\x80", 4), 0, Text(u"\x01\0é€", 4)},
      {kRegDword, "\xFE\xFF\xFF\xFF", 0, int32_t{-2}},
      {kRegDword, "12345678", kRegMoreData, kUntouched},  // wider than four bytes
      {kRegNone, "\0\0\0\x01", -1, kUntouched},
      {kRegDwordBigEndian, "\0\0\0\x01", -1, kUntouched},
      {kRegLink, "\0\0\0\x01", -1, kUntouched},
      {11, "\0\0\0\x01", -1, kUntouched},
      {kRegDword, "\x05\x01", 0, int32_t{0x105}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.type << " " << c.bytes.size());
    Store(c.type, c.bytes);
    value_ = kUntouched;
    const int queries = registry_.Count("QueryValueEx");
    EXPECT_EQ(Read(), c.rc);
    EXPECT_EQ(value_, c.expected);
    if (c.rc == -1) {
      EXPECT_EQ(registry_.Count("QueryValueEx"), queries + 1);  // no data query
    }
  }
  EXPECT_THAT(Calls().end()[-2], ::testing::EndsWith("Chemin PD, data, 2)"));

  // The text's length follows the data query, not an overstated size query.
  registry_.size_query_extra = 5;
  Store(kRegSz, std::string("abc\0", 4));
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(value_, RegValue(Text(u"abc")));

  // Key and value names go to the platform in ANSI.
  registry_.SetValue("SOFTWARE\\Soci\xE9t\xE9",
                     "Donn\xE9"
                     "e",
                     kRegSz, std::string("x\0", 2));
  EXPECT_EQ(registre_.LireValeurRegistre(kHklm, u"SOFTWARE\\Société", u"Donnée", value_, u""), 0);
  EXPECT_EQ(value_, RegValue(Text(u"x")));
}

TEST_F(RegistreTest, MissingKeyOrValueGivesTwoAndLeavesTheOutput) {
  EXPECT_EQ(Read(), kRegFileNotFound);
  EXPECT_THAT(Calls(), ElementsAre("OpenKeyEx(-2147483646" + kOpen));
  registry_.SetValue(kKey, "Autre", kRegSz, std::string("x\0", 2));
  EXPECT_EQ(Read(), kRegFileNotFound);
  EXPECT_EQ(value_, kUntouched);
  EXPECT_EQ(registry_.Count("CloseKey"), 1);
}

TEST_F(RegistreTest, ValueGrowingBetweenTheQueriesIsNeverWrittenPastTheBuffer) {
  Store(kRegSz, std::string("C:\\A\0", 5));
  registry_.after_size_query = [&] {
    registry_.ValueAt(kKey, "Chemin PD").bytes = std::string(4096, 'x') + '\0';
  };
  EXPECT_EQ(Read(), kRegMoreData);
  EXPECT_EQ(value_, kUntouched);
  EXPECT_EQ(Calls()[2], "QueryValueEx(256, Chemin PD, data, 5)");
}

TEST_F(RegistreTest, RemoteFailuresLeaveTheOutputAndCloseWhatWasOpened) {
  EXPECT_EQ(Read(u"127.0.0.5"), kRegBadNetPath);
  registry_.AddMachine("127.0.0.5");
  EXPECT_EQ(Read(u"127.0.0.5"), kRegFileNotFound);  // the remote root is closed all the same
  EXPECT_THAT(Calls(), ElementsAre(kConnect, kConnect, "OpenKeyEx(256" + kOpen, "CloseKey(256)"));
  EXPECT_EQ(echo_.Count("IcmpSendEcho"), 2);

  Store(kRegSz, std::string("x\0", 2), "127.0.0.5");
  echo_.AnswerFrom(0);  // silent: first request and three repeats, never connected
  EXPECT_EQ(Read(u"127.0.0.5"), 1);
  EXPECT_EQ(echo_.Count("IcmpSendEcho"), 6);
  EXPECT_EQ(echo_.Count("WSACleanup"), 3);
  EXPECT_EQ(Read(u"serveur-pd"), 1);  // a host name is never echoed
  echo_.FailStartup(10091);
  EXPECT_EQ(Read(u"127.0.0.5"), 1);
  EXPECT_EQ(echo_.Count("IcmpSendEcho"), 6);
  EXPECT_EQ(Calls().size(), 4u);
  EXPECT_EQ(value_, kUntouched);
}

TEST_F(RegistreTest, RemoteReadUsesTheRemoteRootAndClosesBoth) {
  registry_.AddMachine("127.0.0.5");
  Store(kRegSz, std::string("E:\\Distant\0", 11), "127.0.0.5");
  Store(kRegSz, std::string("C:\\Local\0", 9));
  EXPECT_EQ(Read(u"127.0.0.5"), 0);
  EXPECT_EQ(value_, RegValue(Text(u"E:\\Distant")));
  EXPECT_EQ(echo_.Count("IcmpSendEcho"), 1);
  EXPECT_THAT(
      Calls(),
      ElementsAre(kConnect, "OpenKeyEx(256" + kOpen, "QueryValueEx(257, Chemin PD, null, 0)",
                  "QueryValueEx(257, Chemin PD, data, 11)", "CloseKey(257)", "CloseKey(256)"));
}

}  // namespace
}  // namespace quillon
