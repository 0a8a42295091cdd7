// SPDX-License-Identifier: MIT
// Black-box tests of the built echorun: arguments, the echo, exit status,
// the signal state and process state that the command inherits.
#include "files.h"
#include "launch.h"
#include "namespace.h"
#include "skip.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <numeric>
#include <ostream>
#include <unistd.h>

static void PrintTo(sink s, std::ostream *os)
{
	*os << sink_name(s);
}

namespace {

// A "SigXxx:" line of /proc/PID/status that holds the given signals.
std::string status_line(const char *field, std::initializer_list<int> sigs)
{
	unsigned long long mask = 0;
	for (int sig : sigs)
		mask |= 1ULL << (sig - 1);
	char line[64];
	(void)snprintf(line, sizeof line, "%s:\t%016llx\n", field, mask);
	return line;
}

TEST(Arguments, OnlyTheFirstIsRun)
{
	const struct {
		const char *name;
		launch_opts opts;
		std::string out;
		std::string status;
	} cases[] = {
		{"no argument", {}, "", "exit 255"},
		{"empty argument vector", {.argv = {}}, "", "exit 255"},
		{"extra arguments",
		 {.argv = {"echorun", "echo \"$#:$1\"", "a", "b"}},
		 "echo \"$#:$1\"\n0:\n",
		 "exit 0"},
		{"empty command", {.argv = {"echorun", ""}}, "\n", "exit 0"},
		// The shell must not read these as its own options.
		{"text like an option",
		 {.argv = {"echorun", "--help 2>/dev/null || echo ran"}},
		 "--help 2>/dev/null || echo ran\nran\n",
		 "exit 0"},
		{"text like a + option",
		 {.argv = {"echorun", "+x 2>/dev/null || echo ran"}},
		 "+x 2>/dev/null || echo ran\nran\n",
		 "exit 0"},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.name);
		const outcome o = launch(c.opts);
		EXPECT_EQ(o.out, c.out);
		EXPECT_EQ(o.err, "");
		EXPECT_EQ(describe(o.status), c.status);
	}
}

// The echo is the text exactly as given, and always comes first.
// cppcheck does not follow the members through GetParam()'s tuple.
struct echo_case {
	// cppcheck-suppress unusedStructMember
	const char *name;
	// cppcheck-suppress unusedStructMember
	std::string text;
	// cppcheck-suppress unusedStructMember
	std::string command_output;
};

std::string every_byte_value()
{
	std::string bytes(255, '\0');
	std::iota(bytes.begin(), bytes.end(), '\1');
	return bytes;
}

// A command of exactly `size` bytes that ends with `tail`.
std::string padded(size_t size, const std::string &tail)
{
	return ": " + std::string(size - 2 - tail.size(), 'x') + tail;
}

const echo_case echo_cases[] = {
	{"quotes", "printf '%s\\n' \"it's\" 'say \"hi\"'",
	 "it's\nsay \"hi\"\n"},
	{"dollar_and_backslash", "printf '%s\\n' '$HOME \\t' \"$((6*7))\\\\\"",
	 "$HOME \\t\n42\\\n"},
	{"embedded_newlines", "printf 'one\\n'\n\nprintf 'two\\n'",
	 "one\ntwo\n"},
	{"bytes_that_are_not_UTF_8", "printf '%s\\n' '\xff\xfe\x80'",
	 "\xff\xfe\x80\n"},
	{"100_KiB", ": " + std::string(size_t{100} * 1024, 'x') + "; echo done",
	 "done\n"},
	// A quoted here-document takes any byte the argument can hold.
	{"every_byte_value",
	 ": <<'END'\n" + every_byte_value() + "\nEND\necho ran", "ran\n"},
	// The kernel's limit for one argument: 32 pages with the NUL.
	{"the_longest_argument",
	 padded(32 * static_cast<size_t>(sysconf(_SC_PAGESIZE)) - 1,
		"; echo done"),
	 "done\n"},
};

// Rows are shown by name: gtest would print their bytes, pointers included,
// and the test's name would differ from one build to the next.
void PrintTo(const echo_case &c, std::ostream *os)
{
	*os << c.name;
}

class Echo : public testing::TestWithParam<std::tuple<echo_case, sink>> {};

TEST_P(Echo, VerbatimAndBeforeTheCommandsOutput)
{
	const auto &[c, out] = GetParam();
	const outcome o = launch({.argv = {"echorun", c.text}, .out = out});
	EXPECT_EQ(o.out, c.text + "\n" + c.command_output);
	EXPECT_EQ(o.err, "");
	EXPECT_EQ(describe(o.status), "exit 0");
}

INSTANTIATE_TEST_SUITE_P(
	Texts, Echo,
	testing::Combine(testing::ValuesIn(echo_cases),
			 testing::Values(sink::pipe, sink::file, sink::pty)),
	[](const auto &row) {
		return std::string(std::get<0>(row.param).name) + "_" +
		       sink_name(std::get<1>(row.param));
	});

TEST(ExitStatus, ZeroWhateverTheCommandDoes)
{
	const char *const commands[] = {"exit 3", "false", "kill -TERM $$",
					"kill -KILL $$", "exec /nonexistent"};
	for (const char *cmd : commands) {
		SCOPED_TRACE(cmd);
		const outcome o = launch({.argv = {"echorun", cmd}});
		EXPECT_EQ(o.out, std::string(cmd) + "\n");
		EXPECT_EQ(describe(o.status), "exit 0");
	}
}

// Started with the five ignored, others ignored and some blocked: the
// command sees the five at their defaults and the others still ignored, and
// echorun waits with the caller's mask.  (Debian's /bin/sh clears the mask
// at start-up; the probe test below sees what reaches the shell.)
TEST(Signals, FiveResetOthersUntouched)
{
	const std::string cmd = "grep ^SigIgn /proc/self/status; "
				"grep '^Sig[BI]' /proc/$PPID/status";
	const outcome o =
		launch({.argv = {"echorun", cmd},
			.ignore = {SIGPIPE, SIGINT, SIGHUP, SIGQUIT, SIGCHLD,
				   SIGUSR1, SIGTERM, SIGTTOU},
			.block = {SIGUSR2, SIGWINCH, SIGINT, SIGALRM}});
	const std::string others =
		status_line("SigIgn", {SIGUSR1, SIGTERM, SIGTTOU});
	EXPECT_EQ(o.out, cmd + "\n" + others +
				 status_line("SigBlk", {SIGUSR2, SIGWINCH,
							SIGINT, SIGALRM}) +
				 others);
	EXPECT_EQ(describe(o.status), "exit 0");
}

// With SIGCHLD ignored the kernel would reap the child itself and the wait
// would fail.  A parent that ignores SIGPIPE makes `yes` complain when
// `head` leaves (the harness must see that when /bin/sh runs it directly).
TEST(Signals, IgnoredByTheCaller)
{
	const char *yes = "yes | head -n1";
	const outcome direct = launch({.argv = {"sh", "-c", yes},
				       .ignore = {SIGPIPE},
				       .program = "/bin/sh"});
	EXPECT_NE(direct.err.find("Broken pipe"), std::string::npos);

	const struct {
		std::string cmd;
		int signal;
		std::string output;
	} cases[] = {{"echo ran", SIGCHLD, "ran\n"},
		     {"sleep 0.3; echo ran", SIGCHLD, "ran\n"},
		     {yes, SIGPIPE, "y\n"}};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.cmd);
		const outcome o = launch(
			{.argv = {"echorun", c.cmd}, .ignore = {c.signal}});
		EXPECT_EQ(o.out, c.cmd + "\n" + c.output);
		EXPECT_EQ(o.err, "");
		EXPECT_EQ(describe(o.status), "exit 0");
	}
}

// Environment, descriptors and directory reach the command unchanged.  ls
// lists the shell's descriptors, with no pipe of the shell's own in the way.
TEST(ProcessState, PassesThrough)
{
	const std::string dir = temp_dir();
	const std::string side = dir + "/side";
	ASSERT_EQ(dup2(open(side.c_str(), O_WRONLY | O_CREAT, 0600), 7), 7);

	const std::string cmd = "printf '%s\\n' \"$PROBE\"; pwd; "
				"ls /proc/$$/fd; echo via7 >&7";
	const outcome o = launch({.argv = {"echorun", cmd},
				  .env = {"PATH=/usr/bin:/bin", "PROBE=a b  c"},
				  .cwd = dir,
				  .keep_fds = {7}});
	close(7);

	EXPECT_EQ(o.out, cmd + "\na b  c\n" + dir + "\n0\n1\n2\n7\n");
	EXPECT_EQ(slurp(side), "via7\n");
	EXPECT_EQ(describe(o.status), "exit 0");
}

// The shell is "/bin/sh" by its absolute path: a planted sh first in PATH
// or named by SHELL is never run.
TEST(ProcessState, ShellByAbsolutePath)
{
	const std::string dir = temp_dir();
	write_file(dir + "/sh",
		   "#!/bin/sh\necho planted\ntouch " + dir + "/ran\n", 0755);
	const outcome o = launch({.argv = {"echorun", "echo \"$0\""},
				  .env = {"PATH=" + dir + ":/usr/bin:/bin",
					  "SHELL=" + dir + "/sh"}});
	EXPECT_EQ(o.out, "echo \"$0\"\n/bin/sh\n");
	EXPECT_FALSE(exists(dir + "/ran"));
}

// echorun returns only after the command has ended: what the command does
// last is done by the time echorun's exit status is known, even when a
// child it inherited, not its own, ends first.
TEST(ProcessState, WaitsForTheCommand)
{
	const struct {
		const char *name;
		std::function<void()> before_exec;
	} cases[] = {
		{"alone", {}},
		{"with an inherited child",
		 [] {
			 if (fork() == 0)
				 _exit(0);
		 }},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.name);
		const std::string mark = temp_dir() + "/done";
		const outcome o = launch(
			{.argv = {"echorun", "sleep 0.3; echo done >" + mark},
			 .out = sink::file,
			 .before_exec = c.before_exec});
		EXPECT_EQ(describe(o.status), "exit 0");
		EXPECT_TRUE(exists(mark));
	}
}

// With a probe at "/bin/sh" the exact hand-over is seen before any shell
// could change it: the argument vector, the mask (which dash clears at
// start-up), the ignored set and the descriptors.
TEST(ProcessState, ShellStartsWithTheCallersState)
{
	if (const std::string why = mount_namespace_refused(); !why.empty())
		ECHORUN_SKIP(why);
	const outcome o = launch(
		{.argv = {"echorun", "-x 'a b'", "extra"},
		 .ignore = {SIGPIPE, SIGINT, SIGHUP, SIGQUIT, SIGCHLD, SIGUSR1},
		 .block = {SIGUSR2, SIGINT, SIGTERM},
		 .keep_fds = {2},
		 .before_exec = shell_replaced_by(PROBE_SHELL_PATH)});
	EXPECT_EQ(o.out,
		  "-x 'a b'\nargv[0]=/bin/sh\nargv[1]=-c\nargv[2]=--\n"
		  "argv[3]=-x 'a b'\n" +
			  status_line("SigBlk", {SIGUSR2, SIGINT, SIGTERM}) +
			  status_line("SigIgn", {SIGUSR1}) + "fds: 0 1 2\n");
	EXPECT_EQ(o.err, "");
	EXPECT_EQ(describe(o.status), "exit 0");
}

} // namespace
