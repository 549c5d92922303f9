// Whether a program under test shows a window. Kept apart from the tests: X's headers define
// names (None, Bool) that clash with the test framework's.
#pragma once

#include <sys/types.h>

#include <vector>

// True when a window of one of these processes is on the screen of a bare X server (the toolkit
// names each top-level's process in _NET_WM_PID).
bool WindowOnScreen(const std::vector<pid_t>& pids);
