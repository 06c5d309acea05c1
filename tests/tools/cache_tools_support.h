// Running the quillon program on cache files made byte by byte, for the cache commands' tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quillon::testing {

struct RunResult {
  int code = -1;
  std::string out;
  std::string err;
};

// One record's 144 bytes, laid out here independently of the library's codec.
struct RawRecord {
  int32_t state = 0;
  std::string ref;  // Windows-1252 bytes, padded with spaces
  double read = 0;
  double requested = 0;
  int32_t poll = 0;
  std::string value;
  std::string formatted;

  std::string Bytes() const {
    std::string b(144, '\0');
    std::memcpy(&b[0], &state, 4);
    Field(b, 4, 60, ref);
    std::memcpy(&b[64], &read, 8);
    std::memcpy(&b[72], &requested, 8);
    std::memcpy(&b[80], &poll, 4);
    Field(b, 84, 20, value);
    Field(b, 104, 20, formatted);
    return b;
  }
  static void Field(std::string& b, size_t at, size_t width, const std::string& text) {
    std::string f = text.substr(0, width);
    f.resize(width, ' ');
    b.replace(at, width, f);
  }
};

class ToolTest : public ::testing::Test {
 protected:
  ToolTest() {
    char pattern[] = "/tmp/quillon-tool-XXXXXX";
    dir_ = ::mkdtemp(pattern);
  }
  ~ToolTest() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string WriteCache(const std::vector<RawRecord>& records, const std::string& name = "c.dat") {
    std::string bytes;
    for (const auto& r : records) bytes += r.Bytes();
    WriteFile(Path(name), bytes);
    return Path(name);
  }

  // Runs `quillon <args>` (each argument quoted) with extra environment assignments.
  RunResult Run(const std::vector<std::string>& args, const std::string& env = "") {
    std::string command = env + " '" QUILLON_EXE "'";
    for (const auto& a : args) command += " '" + a + "'";
    command += " >'" + Path("out.txt") + "' 2>'" + Path("err.txt") + "' </dev/null";
    RunResult r;
    const int status = std::system(command.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFile(Path("out.txt"));
    r.err = ReadFile(Path("err.txt"));
    return r;
  }

  // The field of type T at `offset` bytes into `bytes`.
  template <typename T>
  static T FieldAt(const std::string& bytes, size_t offset) {
    T v{};
    std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // Each argument list is refused: exit `code` (any non-zero when 0), one error line, no output.
  void ExpectRefused(const std::vector<std::vector<std::string>>& cases, int code = 0) {
    for (const auto& args : cases) {
      const RunResult r = Run(args);
      EXPECT_TRUE(code ? r.code == code : r.code != 0) << args.back() << ": " << r.code;
      EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
      EXPECT_EQ(r.out, "") << args.back();
    }
  }

  std::string dir_;
};

}  // namespace quillon::testing
