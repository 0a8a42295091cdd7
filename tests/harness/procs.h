// SPDX-License-Identifier: MIT
// procs: find processes a test left behind, through /proc.  Zombies count
// as ended: they run nothing, whoever is left to reap them.
#ifndef ECHORUN_TESTS_PROCS_H
#define ECHORUN_TESTS_PROCS_H

#include <functional>
#include <sys/types.h>
#include <vector>

// Processes still running in session `sid`.
std::vector<pid_t> running_in_session(pid_t sid);

// Polls `find` until it returns nothing or `timeout_ms` has passed, and
// returns what it found last.
std::vector<pid_t> until_none(const std::function<std::vector<pid_t>()> &find,
			      int timeout_ms);

#endif
