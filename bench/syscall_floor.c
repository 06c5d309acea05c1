/* The floor of a control's read: for each record, one 144-byte pread and one 144-byte pwrite
   of the same bytes at its offset, nothing else. */
#define _XOPEN_SOURCE 700
#include <unistd.h>

/* Returns the records both read and written whole. */
int syscall_floor_pass(int fd, const long long* offsets, int count) {
  unsigned char record[144];
  int done = 0;
  for (int i = 0; i < count; ++i) {
    if (pread(fd, record, sizeof record, (off_t)offsets[i]) != (ssize_t)sizeof record) continue;
    if (pwrite(fd, record, sizeof record, (off_t)offsets[i]) == (ssize_t)sizeof record) ++done;
  }
  return done;
}
