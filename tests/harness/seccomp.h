// SPDX-License-Identifier: MIT
// seccomp: make chosen system calls fail in the launched process, to see
// how echorun copes with a fault it cannot be told about.  A filter reaches
// the static build too, where a preloaded library could not, and it binds
// root, whom resource limits do not stop.
#ifndef ECHORUN_TESTS_SECCOMP_H
#define ECHORUN_TESTS_SECCOMP_H

#include <functional>
#include <vector>

// A before_exec step: from then on the listed system calls (by number) fail
// with `error` without running, in the launched process and its children.
std::function<void()> syscalls_fail(std::vector<long> numbers, int error);

// The system calls that create a process, and those that reap one.
std::vector<long> process_creation_calls();
std::vector<long> wait_calls();

#endif
