/* The floor for `quillon find`: a minimal program that reads a cache file in blocks of
 * 455 records (65,520 bytes, about 64 KiB) and compares each record's reference field,
 * trimmed of spaces, with the one given. Prints the record number and exits 0 when found,
 * exits 1 otherwise. Usage: find_baseline FILE REFERENCE */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

enum { kRecord = 144, kRefAt = 4, kRefLength = 60, kBlockRecords = 455 };

static int Carries(const unsigned char* field, const char* wanted, size_t length) {
  size_t begin = 0;
  while (begin < kRefLength && field[begin] == ' ') ++begin;
  if (kRefLength - begin < length || memcmp(field + begin, wanted, length) != 0) return 0;
  for (size_t i = begin + length; i < kRefLength; ++i) {
    if (field[i] != ' ') return 0;
  }
  return 1;
}

int main(int argc, char** argv) {
  static unsigned char block[kBlockRecords * kRecord];
  if (argc != 3) return 2;
  const int fd = open(argv[1], O_RDONLY);
  if (fd < 0) return 2;
  const size_t length = strlen(argv[2]);
  long number = 0;
  ssize_t got;
  while ((got = read(fd, block, sizeof block)) > 0) {
    for (ssize_t at = 0; at + kRecord <= got; at += kRecord) {
      ++number;
      if (Carries(block + at + kRefAt, argv[2], length)) {
        printf("%ld\n", number);
        return 0;
      }
    }
  }
  return 1;
}
