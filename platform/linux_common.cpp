// Errors and random bytes of the Linux backends (the stand-in and the tools' own).
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include "platform/own_errors.h"
#include "platform/platform.h"

uint32_t PlatLastError() { return static_cast<uint32_t>(errno); }

void PlatErrorText(uint32_t error, char* out, uint32_t size) {
  if (const char* own = PlatOwnErrorText(error)) {
    snprintf(out, size, "%s", own);
    return;
  }
  // The GNU strerror_r returns its text, which need not be in `out`.
  char buffer[256];
  const char* text = strerror_r(static_cast<int>(error), buffer, sizeof buffer);
  snprintf(out, size, "%s", text);
}

void PlatRandom(void* out, uint32_t size) {
  uint8_t* p = static_cast<uint8_t*>(out);
  uint32_t have = 0;
  while (have < size) {
    const ssize_t n = getrandom(p + have, size - have, 0);
    if (n > 0) {
      have += static_cast<uint32_t>(n);
    } else if (n < 0 && errno != EINTR) {
      break;
    }
  }
  if (have == size) return;
  // Without the kernel's generator (a very old kernel or a seccomp filter), the clock's
  // nanoseconds and the process id, mixed, still differ from run to run.
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  uint64_t x = static_cast<uint64_t>(ts.tv_nsec) ^ (static_cast<uint64_t>(ts.tv_sec) << 32) ^
               (static_cast<uint64_t>(getpid()) << 16);
  for (; have < size; have++) {
    x += 0x9E3779B97F4A7C15ull;
    uint64_t z = x;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    p[have] = static_cast<uint8_t>(z ^ (z >> 31));
  }
}
