// SPDX-License-Identifier: MIT
// syscalls_fail: see syscalls_fail.h.
#include "syscalls_fail.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <seccomp.h>
#include <sys/wait.h>
#include <unistd.h>

std::function<void()> syscalls_fail(std::vector<std::string> names, int error)
{
	return [names = std::move(names), error] {
		// The filter kills a call made through another ABI of the same
		// kernel (i386 calls from an x86-64 process, say), whose
		// numbers differ, rather than let it through.  libseccomp sets
		// no_new_privs, so that the filter needs no privilege.
		scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ALLOW);
		int rc = ctx == nullptr ? -EINVAL : 0;
		for (const std::string &name : names)
			if (rc == 0)
				rc = seccomp_rule_add(
					ctx,
					SCMP_ACT_ERRNO(
						static_cast<unsigned>(error)),
					seccomp_syscall_resolve_name(
						name.c_str()),
					0);
		if (rc == 0)
			rc = seccomp_load(ctx);
		if (rc != 0) {
			dprintf(2, "seccomp: %s\n", strerror(-rc));
			_exit(125);
		}
	};
}

// Tried in a child of its own, as a filter once loaded stays.
std::string seccomp_refused()
{
	const pid_t pid = fork();
	if (pid == 0) {
		scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ALLOW);
		_exit(ctx == nullptr ? EINVAL : -seccomp_load(ctx));
	}
	int status = 0;
	if (pid == -1 || waitpid(pid, &status, 0) != pid)
		return std::string("cannot try a seccomp filter: ") +
		       strerror(errno);
	if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
		return "";
	return std::string("a seccomp filter is refused: ") +
	       strerror(WIFEXITED(status) ? WEXITSTATUS(status) : ECHILD);
}
