// SPDX-License-Identifier: MIT
// On its own terminal, as a session leader with the terminal's signals on:
// the interrupt and quit characters, and a hang-up, end echorun by the
// signal and end the command with it.
#include "launch.h"
#include "procs.h"

#include <csignal>
#include <cstring>
#include <gtest/gtest.h>

namespace {

struct terminal_case {
	const char *name;
	std::string typed; // empty: hang up instead
	int signal;
};

TEST(Terminal, SignalsEndEchorunAndTheCommand)
{
	const terminal_case cases[] = {
		{"interrupt", "\x03", SIGINT},
		{"quit", "\x1c", SIGQUIT},
		{"hang-up", "", SIGHUP},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.name);
		const std::string cmd = "echo ready.; sleep 30; echo survived";
		running r = start({.argv = {"echorun", cmd}, .out = sink::pty});
		ASSERT_NE(read_until(r, "ready.\n", 10000).find("ready.\n"),
			  std::string::npos);
		if (c.typed.empty())
			hang_up(r);
		else
			type(r, c.typed);
		const outcome o = finish(r);

		EXPECT_EQ(describe(o.status),
			  std::string("signal ") + strsignal(c.signal));
		const std::string after_echo = o.out.substr(cmd.size());
		EXPECT_EQ(after_echo.find("survived"), std::string::npos);
		// echorun led the session: the shell and its sleep were in it.
		EXPECT_EQ(until_none([&] { return running_in_session(r.pid); },
				     5000),
			  std::vector<pid_t>{});
	}
}

} // namespace
