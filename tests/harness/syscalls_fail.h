// SPDX-License-Identifier: MIT
// syscalls_fail: make chosen system calls fail in the launched process, to
// see how echorun copes with a fault it cannot be told about.  A seccomp
// filter reaches the static build too, where a preloaded library could
// not, and it binds root, whom resource limits do not stop.  libseccomp
// writes it for this machine's system call numbers.
#ifndef ECHORUN_TESTS_SYSCALLS_FAIL_H
#define ECHORUN_TESTS_SYSCALLS_FAIL_H

#include <functional>
#include <string>
#include <vector>

// A before_exec step: from then on the named system calls fail with
// `error` without running, in the launched process and its children.  A
// name this machine has no such call for is passed over, so that one list
// serves every machine.
std::function<void()> syscalls_fail(std::vector<std::string> names, int error);

// Empty when this kernel loads a seccomp filter, else its reason for not.
std::string seccomp_refused();

#endif
