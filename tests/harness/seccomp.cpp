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
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The ABI a filter accepts: the target's own.  Calls made through any
// other ABI of the same kernel (i386 or x32 calls from an x86-64 process,
// say) have other numbers, so the filter kills them rather than let them
// through unfiltered.
#if defined(__x86_64__)
#define ECHORUN_AUDIT_ARCH AUDIT_ARCH_X86_64
#elif defined(__i386__)
#define ECHORUN_AUDIT_ARCH AUDIT_ARCH_I386
#elif defined(__aarch64__) && !defined(__AARCH64EB__)
#define ECHORUN_AUDIT_ARCH AUDIT_ARCH_AARCH64
#elif defined(__arm__) && defined(__ARM_EABI__) && !defined(__ARMEB__)
#define ECHORUN_AUDIT_ARCH AUDIT_ARCH_ARM
#elif defined(__powerpc64__) && defined(__LITTLE_ENDIAN__)
#define ECHORUN_AUDIT_ARCH AUDIT_ARCH_PPC64LE
#elif defined(__s390x__)
#define ECHORUN_AUDIT_ARCH AUDIT_ARCH_S390X
#elif defined(__riscv) && __riscv_xlen == 64
#define ECHORUN_AUDIT_ARCH AUDIT_ARCH_RISCV64
#endif

#ifdef ECHORUN_AUDIT_ARCH
constexpr unsigned native_arch = ECHORUN_AUDIT_ARCH;
#else
constexpr unsigned native_arch = 0; // unknown: see seccomp_unsupported()
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

std::vector<sock_filter> program(const std::vector<long> &numbers, int error)
{
	std::vector<sock_filter> p = {
		stmt(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
		jump(BPF_JMP | BPF_JEQ | BPF_K, native_arch, 1, 0),
		stmt(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
		stmt(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
	};
#if defined(__x86_64__) && defined(__ILP32__)
	// An x32 process: its own numbers carry the x32 bit, the others not.
	p.push_back(jump(BPF_JMP | BPF_JGE | BPF_K, __X32_SYSCALL_BIT, 1, 0));
	p.push_back(stmt(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
#elif defined(__x86_64__)
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

std::string seccomp_unsupported()
{
#ifdef ECHORUN_AUDIT_ARCH
	return "";
#else
	return "seccomp fault injection not supported on this machine";
#endif
}

std::function<void()> syscalls_fail(std::vector<long> numbers, int error)
{
	return [numbers = std::move(numbers), error] {
		if (const std::string why = seccomp_unsupported();
		    !why.empty()) {
			dprintf(2, "seccomp: %s\n", why.c_str());
			_exit(125);
		}
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
	std::vector<long> calls;
#ifdef SYS_clone
	calls.push_back(SYS_clone);
#endif
#ifdef SYS_clone3
	calls.push_back(SYS_clone3);
#endif
#ifdef SYS_fork
	calls.push_back(SYS_fork);
#endif
#ifdef SYS_vfork
	calls.push_back(SYS_vfork);
#endif
	return calls;
}

std::vector<long> wait_calls()
{
	std::vector<long> calls;
#ifdef SYS_wait4
	calls.push_back(SYS_wait4);
#endif
#ifdef SYS_waitid
	calls.push_back(SYS_waitid);
#endif
#ifdef SYS_waitpid
	calls.push_back(SYS_waitpid);
#endif
	return calls;
}
