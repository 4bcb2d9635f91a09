// Timestamps around the start-up's steps, for bench/startup_wine.sh's split of
// the click-to-game time. Built in only with -DVANTRO_STARTUP_TRACE=ON; in
// every other build (the shipped one included) a call compiles to nothing.
#pragma once

namespace vantro {

#ifdef VANTRO_STARTUP_TRACE
// Notes the wall-clock time of the step (a string literal). When the process
// ends, the notes go as lines "<microseconds since 1970> <process id> <step>"
// into the file the environment variable VANTRO_STARTUP_TRACE names followed
// by "." and the process id (nothing when unset), so that the bench can line
// them up with the moment it started us. Held in memory until then: writing
// a file at every step would add its own time to the steps measured.
void TraceStep(const char* step);
#else
inline void TraceStep(const char*) {}
#endif

}  // namespace vantro
