#pragma once

// Where start-up time goes, in bench builds only (V7ER_STARTUP_PROFILE): each
// mark takes the performance counter at the end of a step, and the marks are
// written to startup-marks.txt beside the program when it ends, for the
// bench's driver to set against the moment it started the process. In every
// other build a mark is nothing at all.
#if defined(V7ER_STARTUP_PROFILE)
void StartupMark(const char* step);
void WriteStartupMarks();
#define V7ER_STARTUP_MARK(step) StartupMark(step)
#define V7ER_WRITE_STARTUP_MARKS() WriteStartupMarks()
#else
#define V7ER_STARTUP_MARK(step) static_cast<void>(0)
#define V7ER_WRITE_STARTUP_MARKS() static_cast<void>(0)
#endif
