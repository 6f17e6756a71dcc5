// Marks along the program's start, for the benchmark's profile of it. Only
// when the environment variable QUORVANTLINE_STARTUP_TRACE names a file does a
// mark record anything: each mark's step name and performance-counter value
// (comparable across processes) are written there, one "step counter" line
// each, when the trace is finished. Without the variable a mark costs one
// branch.
#pragma once

namespace qv {

// step: a string literal, one word.
void MarkStartup(const char* step);
// Writes the marks so far (once; later marks are dropped).
void FinishStartupTrace();

}  // namespace qv
