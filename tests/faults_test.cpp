// SPDX-License-Identifier: MIT
// Faults echorun cannot be told about: fork or wait failing (made to fail by
// a seccomp filter), and a "/bin/sh" that cannot be executed (hidden or
// replaced in a private mount namespace).
#include "files.h"
#include "launch.h"
#include "namespace.h"
#include "seccomp.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

// The leak checker of the sanitized build creates and waits for a helper
// at exit: with those calls failing it would fail instead of echorun.
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
	launch_opts opts;
	opts.argv = {"echorun", "touch " + mark};
	opts.env = no_leak_checker();
	opts.before_exec = syscalls_fail(process_creation_calls(), EAGAIN);
	const outcome o = launch(opts);
	EXPECT_EQ(o.out, "");
	EXPECT_EQ(o.err, "");
	EXPECT_EQ(describe(o.status), "exit 255");
	EXPECT_FALSE(exists(mark));
}

// The command ran, but echorun cannot know that it ended.  The shell keeps
// the filter, so the command is a builtin that needs no wait of its own.
TEST(Faults, WaitFails)
{
	launch_opts opts;
	opts.argv = {"echorun", "echo ran"};
	opts.env = no_leak_checker();
	opts.before_exec = syscalls_fail(wait_calls(), ECHILD);
	const outcome o = launch(opts);
	EXPECT_EQ(o.out, "echo ran\nran\n");
	EXPECT_EQ(o.err, "");
	EXPECT_EQ(describe(o.status), "exit 255");
}

// The child was made and reaped, so echorun succeeds; the child says why
// nothing ran, on whatever standard output is.
TEST(Faults, ShellCannotBeExecuted)
{
	if (const std::string why = mount_namespace_refused(); !why.empty())
		GTEST_SKIP() << why;
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
			launch_opts opts;
			opts.argv = {"echorun", "echo ran"};
			opts.out = out;
			opts.before_exec = shell.step;
			const outcome o = launch(opts);
			EXPECT_EQ(o.out, "echo ran\nerror\n");
			EXPECT_EQ(o.err, "");
			EXPECT_EQ(describe(o.status), "exit 0");
		}
}

} // namespace
