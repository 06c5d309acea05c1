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
constexpr char16_t kKeyText[] = u"SOFTWARE\\Halvorn\\Pondral";
constexpr int32_t kHklm = static_cast<int32_t>(0x80000002u);
const std::string kHklmText = "-2147483646";
const RegValue kUntouched = Text(u"avant");

class RegistreTest : public ::testing::Test {
 protected:
  // Every path releases what it opened.
  void TearDown() override {
    EXPECT_EQ(registry_.OpenHandles(), 0u);
    EXPECT_EQ(echo_.open_handles(), 0);
  }

  void Store(uint32_t type, std::string bytes, const std::string& machine = "") {
    registry_.SetValue(kKey, "Chemin PD", type, std::move(bytes), kHklmHandle(), machine);
  }
  static RegKeyHandle kHklmHandle() { return kHkeyLocalMachine; }

  // Reads "Chemin PD" into value_, which starts as "avant".
  int32_t Read(const Text& machine = u"") {
    return registre_.LireValeurRegistre(kHklm, kKeyText, u"Chemin PD", value_, machine);
  }
  Text TextRead() const { return std::get<Text>(value_); }
  std::vector<std::string> RegistryCalls() const { return registry_.calls(); }

  FakeRegistryApi registry_;
  FakeEchoApi echo_;
  Windows1252CodePage code_page_;
  RegistrePD registre_{registry_, code_page_, echo_};
  RegValue value_ = kUntouched;
};

TEST_F(RegistreTest, LocalStringReadOpensQueriesTwiceAndCloses) {
  Store(kRegSz, std::string("C:\\Quillon\0", 11));
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(TextRead(), u"C:\\Quillon");
  EXPECT_THAT(RegistryCalls(),
              ElementsAre("OpenKeyEx(" + kHklmText + ", " + kKey + ", 0, 131097)",
                          "QueryValueEx(256, Chemin PD, null, 0)",
                          "QueryValueEx(256, Chemin PD, data, 11)", "CloseKey(256)"));
  EXPECT_TRUE(echo_.calls().empty());
}

TEST_F(RegistreTest, EachHandledTypeReadsToItsValue) {
  const struct {
    uint32_t type;
    std::string bytes;
    RegValue expected;
  } cases[] = {
      {kRegSz, std::string("\0", 1), Text()},  // strings drop only their terminating NUL
      {kRegSz, "", Text()},                    // stored without any byte
      {kRegSz, std::string("D:\\Soci\xE9t\xE9 \x80\0", 13), Text(u"D:\\Société €")},
      {kRegExpandSz, std::string("%SystemRoot%\\pd\0", 16), Text(u"%SystemRoot%\\pd")},
      {kRegMultiSz, std::string("a\0b\0\0", 5), Text(u"a\0b\0", 4)},
      {kRegBinary, std::string("\x01\0\xE9\x80", 4), Text(u"\x01\0é€", 4)},
      {kRegDword, "\xFE\xFF\xFF\xFF", int32_t{-2}},
      {kRegDword, "\x78\x56\x34\x12", int32_t{0x12345678}},
      {kRegDword, "\x05\x01", int32_t{0x105}},
  };
  for (const auto& c : cases) {
    Store(c.type, c.bytes);
    value_ = kUntouched;
    EXPECT_EQ(Read(), 0) << c.type << " " << c.bytes.size();
    EXPECT_EQ(value_, c.expected) << c.type << " " << c.bytes.size();
  }
  EXPECT_THAT(RegistryCalls().end()[-2], ::testing::EndsWith("Chemin PD, data, 2)"));  // at most 4
}

TEST_F(RegistreTest, KeyAndValueNamesGoToThePlatformInAnsi) {
  registry_.SetValue("SOFTWARE\\Soci\xE9t\xE9",
                     "Donn\xE9"
                     "e",
                     kRegSz, std::string("x\0", 2));
  EXPECT_EQ(registre_.LireValeurRegistre(kHklm, u"SOFTWARE\\Société", u"Donnée", value_, u""), 0);
  EXPECT_EQ(TextRead(), u"x");
}

TEST_F(RegistreTest, TextLengthFollowsTheDataQueryNotTheSizeQuery) {
  registry_.size_query_extra = 5;  // ANSI size queries may report the wide size
  Store(kRegSz, std::string("abc\0", 4));
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(TextRead(), u"abc");
  EXPECT_EQ(RegistryCalls()[2], "QueryValueEx(256, Chemin PD, data, 9)");
}

TEST_F(RegistreTest, DwordWiderThanFourBytesIsReportedAndLeavesTheOutput) {
  Store(kRegDword, "12345678");
  EXPECT_EQ(Read(), kRegMoreData);
  EXPECT_EQ(value_, kUntouched);
  EXPECT_EQ(RegistryCalls()[2], "QueryValueEx(256, Chemin PD, data, 4)");
}

TEST_F(RegistreTest, UnhandledTypesGiveMinusOneWithoutADataQuery) {
  for (uint32_t type : {kRegNone, kRegDwordBigEndian, kRegLink, 8u, 11u}) {
    Store(type, "\0\0\0\x01");
    EXPECT_EQ(Read(), -1) << type;
    EXPECT_EQ(value_, kUntouched) << type;
  }
  EXPECT_EQ(registry_.Count("QueryValueEx"), 5);
  EXPECT_EQ(registry_.Count("CloseKey"), 5);
}

TEST_F(RegistreTest, MissingKeyOrValueGivesTwoAndLeavesTheOutput) {
  EXPECT_EQ(Read(), kRegFileNotFound);
  EXPECT_THAT(RegistryCalls(),
              ElementsAre("OpenKeyEx(" + kHklmText + ", " + kKey + ", 0, 131097)"));
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
  EXPECT_EQ(RegistryCalls()[2], "QueryValueEx(256, Chemin PD, data, 5)");
}

TEST_F(RegistreTest, SilentRemoteMachineIsNeverConnected) {
  echo_.AnswerFrom(0);
  Store(kRegSz, std::string("x\0", 2), "127.0.0.5");
  registry_.AddMachine("127.0.0.5");
  EXPECT_EQ(Read(u"127.0.0.5"), 1);
  EXPECT_EQ(echo_.Count("IcmpSendEcho"), 4);
  EXPECT_EQ(echo_.Count("WSACleanup"), 1);
  EXPECT_TRUE(RegistryCalls().empty());
  EXPECT_EQ(value_, kUntouched);
}

TEST_F(RegistreTest, RemoteHostNameOrFailedSocketsGiveOneWithoutEcho) {
  EXPECT_EQ(Read(u"serveur-pd"), 1);
  echo_.FailStartup(10091);
  EXPECT_EQ(Read(u"127.0.0.5"), 1);
  EXPECT_EQ(echo_.Count("IcmpSendEcho"), 0);
  EXPECT_TRUE(RegistryCalls().empty());
}

TEST_F(RegistreTest, FailedConnectionOrRemoteKeyClosesWhatWasOpened) {
  EXPECT_EQ(Read(u"127.0.0.5"), kRegBadNetPath);
  EXPECT_THAT(RegistryCalls(), ElementsAre("ConnectRegistry(127.0.0.5, " + kHklmText + ")"));
  registry_.AddMachine("127.0.0.5");
  EXPECT_EQ(Read(u"127.0.0.5"), kRegFileNotFound);
  EXPECT_THAT(RegistryCalls(),
              ElementsAre("ConnectRegistry(127.0.0.5, " + kHklmText + ")",
                          "ConnectRegistry(127.0.0.5, " + kHklmText + ")",
                          std::string("OpenKeyEx(256, ") + kKey + ", 0, 131097)", "CloseKey(256)"));
}

TEST_F(RegistreTest, RemoteReadUsesTheRemoteRootAndClosesBoth) {
  registry_.AddMachine("127.0.0.5");
  Store(kRegSz, std::string("E:\\Distant\0", 11), "127.0.0.5");
  Store(kRegSz, std::string("C:\\Local\0", 9));
  EXPECT_EQ(Read(u"127.0.0.5"), 0);
  EXPECT_EQ(TextRead(), u"E:\\Distant");
  EXPECT_EQ(echo_.Count("IcmpSendEcho"), 1);
  EXPECT_THAT(RegistryCalls(), ElementsAre("ConnectRegistry(127.0.0.5, " + kHklmText + ")",
                                           std::string("OpenKeyEx(256, ") + kKey + ", 0, 131097)",
                                           "QueryValueEx(257, Chemin PD, null, 0)",
                                           "QueryValueEx(257, Chemin PD, data, 11)",
                                           "CloseKey(257)", "CloseKey(256)"));
}

}  // namespace
}  // namespace quillon
