// SPDX-License-Identifier: MIT
// seccomp: see seccomp.h.  The filter is written by hand in classic BPF.
#include "seccomp.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

#if defined(__x86_64__)
constexpr unsigned native_arch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned native_arch = AUDIT_ARCH_AARCH64;
#else
// cppcheck-suppress preprocessorErrorDirective
#error "add this machine's AUDIT_ARCH_ value"
#endif

sock_filter stmt(unsigned short code, unsigned k)
{
	return BPF_STMT(code, k);
}

sock_filter jump(unsigned short code, unsigned k, unsigned char jt,
		 unsigned char jf)
{
	return BPF_JUMP(code, k, jt, jf);
}

// Any other ABI (i386 or x32 calls from a 64-bit process) has other
// numbers, so it is killed rather than let through unfiltered.
std::vector<sock_filter> program(const std::vector<long> &numbers, int error)
{
	std::vector<sock_filter> p = {
		stmt(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
		jump(BPF_JMP | BPF_JEQ | BPF_K, native_arch, 1, 0),
		stmt(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
		stmt(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
	};
#if defined(__x86_64__)
	p.push_back(jump(BPF_JMP | BPF_JGE | BPF_K, __X32_SYSCALL_BIT, 0, 1));
	p.push_back(stmt(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
#endif
	for (long nr : numbers) {
		p.push_back(jump(BPF_JMP | BPF_JEQ | BPF_K,
				 static_cast<unsigned>(nr), 0, 1));
		p.push_back(
			stmt(BPF_RET | BPF_K,
			     SECCOMP_RET_ERRNO | (static_cast<unsigned>(error) &
						  SECCOMP_RET_DATA)));
	}
	p.push_back(stmt(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
	return p;
}

} // namespace

std::function<void()> syscalls_fail(std::vector<long> numbers, int error)
{
	return [numbers = std::move(numbers), error] {
		std::vector<sock_filter> p = program(numbers, error);
		const sock_fprog prog = {static_cast<unsigned short>(p.size()),
					 p.data()};
		// Without no_new_privs only a process with CAP_SYS_ADMIN may
		// install a filter; setting it makes the step work for anyone.
		if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
		    prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &prog) != 0) {
			dprintf(2, "seccomp: %s\n", strerror(errno));
			_exit(125);
		}
	};
}

std::vector<long> process_creation_calls()
{
	std::vector<long> calls = {SYS_clone, SYS_clone3};
#ifdef SYS_fork
	calls.push_back(SYS_fork);
	calls.push_back(SYS_vfork);
#endif
	return calls;
}

std::vector<long> wait_calls()
{
	return {SYS_wait4, SYS_waitid};
}
