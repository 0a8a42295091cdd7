// SPDX-License-Identifier: MIT
// seccomp: make chosen system calls fail in the launched process, to see
// how echorun copes with a fault it cannot be told about.  A filter reaches
// the static build too, where a preloaded library could not, and it binds
// root, whom resource limits do not stop.
//
// The filter names the machine's system call ABI (its AUDIT_ARCH_ value),
// known here for x86-64, i386, AArch64, 32-bit ARM (EABI, little-endian),
// ppc64le, s390x and riscv64.  On any other machine this still compiles,
// seccomp_unsupported() says why, and a step made by syscalls_fail() ends
// the launched process with status 125 instead of filtering anything.
#ifndef ECHORUN_TESTS_SECCOMP_H
#define ECHORUN_TESTS_SECCOMP_H

#include <functional>
#include <string>
#include <vector>

// Empty when this machine's filters are known here, else the reason, for a
// test to skip with before it relies on syscalls_fail().
std::string seccomp_unsupported();

// A before_exec step: from then on the listed system calls (by number) fail
// with `error` without running, in the launched process and its children.
std::function<void()> syscalls_fail(std::vector<long> numbers, int error);

// Every system call of this machine that creates a process (clone, clone3,
// and fork and vfork where they exist), and every one that reaps one
// (wait4, waitid, and waitpid where it exists, as on i386).
std::vector<long> process_creation_calls();
std::vector<long> wait_calls();

#endif
