// SPDX-License-Identifier: MIT
// syscalls_fail: see syscalls_fail.h.
#include "syscalls_fail.h"
#include "skip.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <seccomp.h>
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

std::string seccomp_refused()
{
	return refused("a seccomp filter is refused", [] {
		scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ALLOW);
		return ctx == nullptr ? EINVAL : -seccomp_load(ctx);
	});
}
