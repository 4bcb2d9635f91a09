#include "launcher/StartupTrace.h"

#ifdef VANTRO_STARTUP_TRACE

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#define VANTRO_PROCESS_ID _getpid
#else
#include <unistd.h>
#define VANTRO_PROCESS_ID getpid
#endif

namespace vantro {
namespace {

constexpr int kMaxSteps = 64;  // a start-up has about twenty

struct Step {
  long long microseconds;
  const char* name;
};

#ifdef _WIN32
constexpr long long kFileTimeAt1970 = 116444736000000000LL;  // 100 ns units

long long Microseconds(const FILETIME& time) {
  const long long ticks = (static_cast<long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return (ticks - kFileTimeAt1970) / 10;
}
#endif

long long NowMicroseconds() {
#ifdef _WIN32
  // The C++ library's clock may tick in milliseconds here; this one does not.
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return Microseconds(now);
#else
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
#endif
}

// Zero-initialised before any constructor runs, so a step noted during
// another unit's static initialisation is kept.
Step steps[kMaxSteps];
int stepCount = 0;

void Note(long long microseconds, const char* name) {
  if (stepCount < kMaxSteps) steps[stepCount++] = {microseconds, name};
}

struct TraceFile {
  TraceFile() {
#ifdef _WIN32
    // When the system made the process, before it loaded the program's DLLs.
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
      Note(Microseconds(created), "process-created");
    }
#endif
    Note(NowMicroseconds(), "static-init");
  }
  ~TraceFile() {
    const char* base = std::getenv("VANTRO_STARTUP_TRACE");
    if (base == nullptr || *base == '\0') return;
    const int pid = static_cast<int>(VANTRO_PROCESS_ID());
    const std::string file = std::string(base) + "." + std::to_string(pid);
    std::FILE* out = std::fopen(file.c_str(), "ab");
    if (out == nullptr) return;
    for (int i = 0; i < stepCount; ++i) {
      std::fprintf(out, "%lld %d %s\n", steps[i].microseconds, pid, steps[i].name);
    }
    std::fclose(out);
  }
};
// Constructed before the other units' objects, destroyed after them.
__attribute__((init_priority(101))) TraceFile traceFile;

}  // namespace

void TraceStep(const char* step) {
  Note(NowMicroseconds(), step);
}

}  // namespace vantro

#endif
