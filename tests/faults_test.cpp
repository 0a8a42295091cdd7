// SPDX-License-Identifier: MIT
// Faults echorun cannot be told about: fork or wait failing (made to fail by
// a seccomp filter), and a "/bin/sh" that cannot be executed (hidden or
// replaced in a private mount namespace).
#include "files.h"
#include "launch.h"
#include "namespace.h"
#include "seccomp.h"
#include "skip.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

// The leak checker of the sanitized build creates and waits for a helper
// at exit: with those calls failing it would fail instead of echorun.  This
// replaces the run's ASAN_OPTIONS (see launch.h).
std::vector<std::string> no_leak_checker()
{
	auto env = plain_env();
	env.push_back("ASAN_OPTIONS=detect_leaks=0");
	return env;
}

// No child: nothing is echoed, nothing runs, and echorun reports it.
TEST(Faults, ForkFails)
{
	const std::string mark = temp_dir() + "/ran";
	const outcome o = launch({.argv = {"echorun", "touch " + mark},
				  .env = no_leak_checker(),
				  .before_exec = syscalls_fail(
					  process_creation_calls(), EAGAIN)});
	EXPECT_EQ(o.out, "");
	EXPECT_EQ(o.err, "");
	EXPECT_EQ(describe(o.status), "exit 255");
	EXPECT_FALSE(exists(mark));
}

// The command ran, but echorun cannot know that it ended.  The shell keeps
// the filter, so the command is a builtin that needs no wait of its own.
TEST(Faults, WaitFails)
{
	const outcome o =
		launch({.argv = {"echorun", "echo ran"},
			.env = no_leak_checker(),
			.before_exec = syscalls_fail(wait_calls(), ECHILD)});
	EXPECT_EQ(o.out, "echo ran\nran\n");
	EXPECT_EQ(o.err, "");
	EXPECT_EQ(describe(o.status), "exit 255");
}

// The child was made and reaped, so echorun succeeds; the child says why
// nothing ran, on whatever standard output is.
TEST(Faults, ShellCannotBeExecuted)
{
	if (const std::string why = mount_namespace_refused(); !why.empty())
		ECHORUN_SKIP(why); // NOLINT(readability-else-after-return)
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
