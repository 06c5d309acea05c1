// The POSIX stand-ins: the installation path from QUILLON_INSTALL_PATH, and echoes through
// ICMP datagram sockets, or raw ones where those are refused (only to loopback addresses).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/code_page.h"
#include "platform/echo_api.h"
#include "platform/registry_api.h"
#include "services/tester_ping.h"
#include "services/registre_pd.h"

namespace quillon {
namespace {

constexpr int32_t kLocalMachine = static_cast<int32_t>(0x80000002u);

// Whether this process may open an ICMP socket: a datagram one, else a raw one.
bool IcmpSocketAvailable() {
  for (const int type : {SOCK_DGRAM, SOCK_RAW}) {
    const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
    if (fd >= 0) {
      ::close(fd);
      return true;
    }
  }
  return false;
}

class PosixServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("QUILLON_INSTALL_PATH")) saved_ = old;
  }
  void TearDown() override {
    if (saved_) {
      ::setenv("QUILLON_INSTALL_PATH", saved_->c_str(), 1);
    } else {
      ::unsetenv("QUILLON_INSTALL_PATH");
    }
  }

  int32_t Read(const Text& key, const Text& name, const Text& machine = u"") {
    return registre_.LireValeurRegistre(kLocalMachine, key, name, value_, machine);
  }

  std::optional<std::string> saved_;
  std::unique_ptr<RegistryApi> registry_ = NewPlatformRegistryApi();
  std::unique_ptr<EchoApi> echo_ = NewPlatformEchoApi();
  std::unique_ptr<CodePage> code_page_ = NewPlatformCodePage();
  RegistrePD registre_{*registry_, *code_page_, *echo_};
  PingPD ping_{*echo_, *code_page_};
  RegValue value_ = Text(u"avant");
};

TEST_F(PosixServicesTest, InstallPathComesFromTheEnvironmentWhateverTheCase) {
  ::unsetenv("QUILLON_INSTALL_PATH");
  EXPECT_EQ(Read(u"SOFTWARE\\Halvorn\\Pondral", u"Chemin PD"), kRegFileNotFound);
  EXPECT_EQ(std::get<Text>(value_), u"avant");
  ::setenv("QUILLON_INSTALL_PATH", "/opt/Société PD", 1);
  EXPECT_EQ(Read(u"software\\HALVORN\\pondral", u"chemin pd"), 0);
  EXPECT_EQ(std::get<Text>(value_), u"/opt/Société PD");
  value_ = Text(u"avant");
  EXPECT_EQ(Read(u"SOFTWARE\\Halvorn\\Autre", u"Chemin PD"), kRegFileNotFound);
  EXPECT_EQ(Read(u"SOFTWARE\\Halvorn\\Pondral", u"Autre"), kRegFileNotFound);
  EXPECT_EQ(registre_.LireValeurRegistre(static_cast<int32_t>(0x80000001u),
                                         u"SOFTWARE\\Halvorn\\Pondral", u"Chemin PD", value_, u""),
            kRegFileNotFound);
  // No remote registry: the connection fails once the loopback probe has answered.
  EXPECT_EQ(Read(u"SOFTWARE\\Halvorn\\Pondral", u"Chemin PD", u"127.0.0.1"),
            IcmpSocketAvailable() ? kRegBadNetPath : 1);
  EXPECT_EQ(std::get<Text>(value_), u"avant");
}

TEST_F(PosixServicesTest, StandInKeysOpenStepByStepAndAskForRoom) {
  ::setenv("QUILLON_INSTALL_PATH", "/opt/pd", 1);
  RegKeyHandle software = 0, pondral = 0;
  ASSERT_EQ(registry_->OpenKeyEx(kHkeyLocalMachine, "SOFTWARE", 0, kKeyRead, &software), 0);
  ASSERT_EQ(registry_->OpenKeyEx(software, "Halvorn\\Pondral", 0, kKeyRead, &pondral), 0);
  uint32_t type = 0, size = 0;
  EXPECT_EQ(registry_->QueryValueEx(pondral, "Chemin PD", &type, nullptr, &size), 0);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 8u);
  uint8_t small[4] = {};
  size = sizeof small;
  EXPECT_EQ(registry_->QueryValueEx(pondral, "Chemin PD", &type, small, &size), kRegMoreData);
  EXPECT_EQ(registry_->CloseKey(pondral), 0);
  EXPECT_EQ(registry_->CloseKey(software), 0);
  EXPECT_EQ(registry_->CloseKey(software), kRegInvalidHandle);
}

TEST_F(PosixServicesTest, LoopbackEchoAnswersWhereAnIcmpSocketCanBeOpened) {
  const bool allowed = IcmpSocketAvailable();
  ReponseEcho reply;
  for (const char16_t* address : {u"127.0.0.1", u"127.3.2.1"}) {
    reply = ReponseEcho();
    const int32_t status = ping_.EnvoyerEcho(address, u"Test de ping", reply);
    EXPECT_EQ(status, allowed ? 0 : kIpReqTimedOut);
    if (allowed) {  // the echoed payload only, whichever socket carried it
      EXPECT_EQ(reply.bytes[12], 12);
      EXPECT_EQ(std::string(reply.bytes.begin() + 28, reply.bytes.begin() + 40), "Test de ping");
    }
  }
  EXPECT_EQ(TesterPing(ping_, u"127.0.0.1", 3), allowed ? 0 : 1);
  // Host names are refused before any socket is used, so never wait for an answer.
  EXPECT_EQ(ping_.EnvoyerEcho(u"localhost", u"Test de ping", reply), -1);
  EXPECT_EQ(TesterPing(ping_, u"localhost", 3), 1);
}

}  // namespace
}  // namespace quillon
