// SPDX-License-Identifier: MIT
// namespace: see namespace.h.
#include "namespace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Fails with errno set; the caller decides how to report it.
bool enter_private_mounts()
{
	return unshare(CLONE_NEWNS) == 0 &&
	       mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Runs in the launched child: a failure ends it with a status that the
// test reports.
void or_die(bool ok)
{
	if (!ok) {
		dprintf(2, "namespace: %s\n", strerror(errno));
		_exit(125);
	}
}

} // namespace

std::string mount_namespace_refused()
{
	if (geteuid() != 0)
		return "needs root to make a private mount namespace";
	const pid_t pid = fork();
	if (pid == 0)
		_exit(enter_private_mounts() ? 0 : errno);
	int status = 0;
	waitpid(pid, &status, 0);
	if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
		return std::string("private mount namespace refused: ") +
		       strerror(WEXITSTATUS(status));
	return "";
}

std::function<void()> shell_replaced_by(const std::string &file)
{
	return [file] {
		or_die(enter_private_mounts() &&
		       mount(file.c_str(), "/bin/sh", nullptr, MS_BIND,
			     nullptr) == 0);
	};
}

std::function<void()> shell_missing()
{
	// mount follows the link where "/bin" is one (to usr/bin), so the
	// tmpfs covers the directory that really holds sh.
	return [] {
		or_die(enter_private_mounts() &&
		       mount("tmpfs", "/bin", "tmpfs", MS_NOEXEC, "size=4k") ==
			       0);
	};
}
