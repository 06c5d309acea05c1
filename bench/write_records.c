/* Writes a cache file of COUNT records as a server fills one: one 144-byte write per record
 * at its offset. Record n holds the point "NOEUD<n % 7>:TAG_<n>.PV" in state 1.
 * Usage: write_records FILE COUNT */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const long count = strtol(argv[2], NULL, 10);
  const int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || count < 0) return 2;
  for (long n = 1; n <= count; ++n) {
    unsigned char record[144] = {1};
    char text[64];
    const int length = snprintf(text, sizeof text, "NOEUD%ld:TAG_%ld.PV", n % 7, n);
    memset(record + 4, ' ', 60);
    memcpy(record + 4, text, (size_t)length);
    record[80] = 90;
    memset(record + 84, ' ', 40);
    if (pwrite(fd, record, sizeof record, (off_t)(n - 1) * 144) != (ssize_t)sizeof record) return 1;
  }
  return close(fd) == 0 ? 0 : 1;
}
