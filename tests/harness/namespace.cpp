// SPDX-License-Identifier: MIT
// namespace: see namespace.h.
#include "namespace.h"
#include "skip.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool write_proc(const char *path, const std::string &text)
{
	std::ofstream f(path);
	return static_cast<bool>(f << text << std::flush);
}

// A mount namespace owned by a new user namespace, in which the caller's
// ids map to themselves: the launched process keeps its uid and gid, and
// gains the right to mount in its own namespace.  setgroups must be denied
// before an unprivileged process may write its gid_map.
bool enter_user_namespace()
{
	const std::string uid = std::to_string(getuid());
	const std::string gid = std::to_string(getgid());
	return unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 &&
	       write_proc("/proc/self/setgroups", "deny") &&
	       write_proc("/proc/self/uid_map", uid + " " + uid + " 1") &&
	       write_proc("/proc/self/gid_map", gid + " " + gid + " 1");
}

// Fails with errno set.  Once the mounts are private, those made from now on
// stay in this process's own namespace.
bool enter_private_mounts()
{
	return (unshare(CLONE_NEWNS) == 0 || enter_user_namespace()) &&
	       mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// In the launched child: a failure ends it with a status the test reports.
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
	return refused("a private mount namespace is refused, in a new user "
		       "namespace too",
		       [] { return enter_private_mounts() ? 0 : errno; });
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
