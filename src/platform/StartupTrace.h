#pragma once

// Marks the end of one step of start-up. With the environment variable
// ZURAV3_STARTUP_TRACE set, each mark writes "startup-mark <step> <µs>" to
// standard error, the time on the steady clock (CLOCK_MONOTONIC), so that a
// benchmark can lay the steps against the moment it started the program;
// otherwise a mark does nothing.
void StartupMark(const char* step);
