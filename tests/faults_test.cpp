// SPDX-License-Identifier: MIT
// Faults echorun cannot be told about: fork or wait failing (made to fail by
// a seccomp filter), and a "/bin/sh" that cannot be executed (hidden or
// replaced in a private mount namespace).
#include "files.h"
#include "launch.h"
#include "namespace.h"
#include "skip.h"
#include "syscalls_fail.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The leak checker of the sanitized build creates and waits for a helper
// at exit: with those calls failing it would fail instead of echorun.  This
// overrides the run's ASAN_OPTIONS (see launch.h).
const std::vector<std::string> no_leak_checker = {
	plain_env().front(), "ASAN_OPTIONS=detect_leaks=0"};

// Every call that creates a process on some machine (glibc's fork is clone,
// or clone3), and every one that reaps one; a machine lacks some of them.
const std::vector<std::string> process_creation = {"clone", "clone3", "fork",
						   "vfork"};
const std::vector<std::string> reaping = {"wait4", "waitid", "waitpid"};

// Forks a child of 5 s, holding no descriptor, that the launched echorun
// inherits and the system reaps.  close_range(2) is called directly: glibc
// declares it from 2.34 on only.
void fork_sleeper()
{
	constexpr timespec five_seconds = {5, 0};
	if (fork() == 0) {
		(void)syscall(__NR_close_range, 0U, ~0U, 0);
		(void)nanosleep(&five_seconds, nullptr);
		_exit(0);
	}
}

// No child: nothing is echoed, nothing runs, and echorun reports it at
// once.  A running child it inherited is not its own: waiting for that one
// would report late.
TEST(Faults, ForkFails)
{
	if (const std::string why = seccomp_refused(); !why.empty())
		ECHORUN_SKIP(why);
	const struct {
		const char *name;
		bool inherits_a_child;
	} cases[] = {{"alone", false}, {"with an inherited child", true}};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.name);
		const std::string mark = temp_dir() + "/ran";
		const auto fork_fails = syscalls_fail(process_creation, EAGAIN);
		const auto began = std::chrono::steady_clock::now();
		const outcome o = launch({.argv = {"echorun", "touch " + mark},
					  .env = no_leak_checker,
					  .before_exec = [&] {
						  if (c.inherits_a_child)
							  fork_sleeper();
						  fork_fails();
					  }});
		EXPECT_LT(std::chrono::steady_clock::now() - began,
			  std::chrono::milliseconds(2500));
		EXPECT_EQ(o.out, "");
		EXPECT_EQ(o.err, "");
		EXPECT_EQ(describe(o.status), "exit 255");
		EXPECT_FALSE(exists(mark));
	}
}

// The command ran, but echorun cannot know that it ended.  The shell keeps
// the filter, so the command is a builtin that needs no wait of its own.
TEST(Faults, WaitFails)
{
	if (const std::string why = seccomp_refused(); !why.empty())
		ECHORUN_SKIP(why);
	const outcome o =
		launch({.argv = {"echorun", "echo ran"},
			.env = no_leak_checker,
			.before_exec = syscalls_fail(reaping, ECHILD)});
	EXPECT_EQ(o.out, "echo ran\nran\n");
	EXPECT_EQ(o.err, "");
	EXPECT_EQ(describe(o.status), "exit 255");
}

// The child was made and reaped, so echorun succeeds; the child says why
// nothing ran, on whatever standard output is.
TEST(Faults, ShellCannotBeExecuted)
{
	if (const std::string why = mount_namespace_refused(); !why.empty())
		ECHORUN_SKIP(why);
	const std::string plain = temp_dir() + "/sh";
	write_file(plain, "#!/bin/dash\necho ran\n", 0644);
	const struct {
		const char *name;
		std::function<void()> step;
	} shells[] = {
		{"missing", shell_missing()},
		{"a device", shell_replaced_by("/dev/null")},
		{"mode 0644", shell_replaced_by(plain)},
	};
	for (const auto &shell : shells)
		for (sink out : {sink::pipe, sink::pty}) {
			SCOPED_TRACE(std::string(shell.name) + " " +
				     sink_name(out));
			const outcome o =
				launch({.argv = {"echorun", "echo ran"},
					.out = out,
					.before_exec = shell.step});
			EXPECT_EQ(o.out, "echo ran\nerror\n");
			EXPECT_EQ(o.err, "");
			EXPECT_EQ(describe(o.status), "exit 0");
		}
}

} // namespace
