// Cache files for the benchmarks, written as a server fills them: one 144-byte write per
// record (a file written in one large write is laid out differently, and later 144-byte
// writes into it cost several times more on this kernel).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "cache/record.h"
#include "cache/record_codec.h"
#include "platform/code_page.h"
#include "platform/file_system.h"

// bench/syscall_floor.c: for each of `count` offsets of the open file `fd`, one 144-byte pread
// and one pwrite of the same bytes; the records both read and written whole.
extern "C" int syscall_floor_pass(int fd, const long long* offsets, int count);

namespace quillon::bench {

// The benchmarks' point names: "NOEUD<i % 7>:TAG_<i>.PV".
inline Text PointName(int i) {
  return u"NOEUD" + NumberText(i % 7) + u":TAG_" + NumberText(i) + u".PV";
}

// A request record as a forced read writes it; `state` 0 makes it a free slot.
inline EnregCache PointRecord(int i, int32_t state = 1) {
  EnregCache r;
  r.lngEtat = state;
  r.strRefNTF = PadToWidth(PointName(i), kRefNTFLength);
  r.lngPollTime = 90;
  r.strValeurLue = PadToWidth(NumberText(i) + u".5", kValeurLength);
  r.strValeurFormateeLue = PadToWidth(NumberText(i) + u",50", kValeurLength);
  return r;
}

// A temporary cache file of `count` records, removed with its folder at destruction.
class BenchFile {
 public:
  BenchFile(FileSystem& files, CodePage& cp, int count,
            const std::function<EnregCache(int n)>& record) {
    char dir[] = "/tmp/quillon-bench-XXXXXX";
    if (!::mkdtemp(dir)) std::abort();
    dir_ = dir;
    path_ = dir_ + "/cache.dat";
    auto file = files.OpenShared(FromUtf8(path_));
    if (!file) std::abort();
    uint8_t bytes[kRecordSize];
    for (int n = 1; n <= count; ++n) {
      EncodeRecord(record(n), cp, bytes);
      if (!file->WriteAt(int64_t{n - 1} * kRecordSize, bytes, kRecordSize)) std::abort();
    }
  }
  ~BenchFile() {
    std::remove(path_.c_str());
    ::rmdir(dir_.c_str());
  }
  BenchFile(const BenchFile&) = delete;
  BenchFile& operator=(const BenchFile&) = delete;

  const std::string& path() const { return path_; }
  Text text_path() const { return FromUtf8(path_); }

 private:
  std::string dir_;
  std::string path_;
};

}  // namespace quillon::bench
