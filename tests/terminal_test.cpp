// SPDX-License-Identifier: MIT
// On its own terminal, as a session leader with the terminal's signals on:
// the interrupt and quit characters, and a hang-up, end echorun by the
// signal and end the command with it.
#include "files.h"
#include "launch.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>
#include <utility>

namespace {

// The session of process `pid` while it runs, else -1: a zombie runs
// nothing and counts as ended.  The command name in /proc/PID/stat may hold
// spaces and parentheses, so the fields after it are counted from the last
// ')'.
long running_session(pid_t pid)
{
	const std::string stat =
		slurp("/proc/" + std::to_string(pid) + "/stat");
	std::istringstream fields(stat.substr(stat.rfind(')') + 1));
	char state = 'Z';
	long ppid = 0;
	long pgrp = 0;
	long session = -1;
	return fields >> state >> ppid >> pgrp >> session && state != 'Z'
		       ? session
		       : -1;
}

// The processes still running in session `sid` once there are none, or
// after timeout_ms.
std::vector<pid_t> left_in_session(pid_t sid, int timeout_ms)
{
	std::vector<pid_t> found;
	constexpr timespec tick = {0, 50'000'000}; // 50 ms, as counted below
	for (int waited = 0; waited <= timeout_ms; waited += 50) {
		found.clear();
		for (const auto &e :
		     std::filesystem::directory_iterator("/proc"))
			if (const auto pid = static_cast<pid_t>(std::strtol(
				    e.path().filename().c_str(), nullptr, 10));
			    pid > 0 && running_session(pid) == sid)
				found.push_back(pid);
		if (found.empty())
			break;
		(void)nanosleep(&tick, nullptr);
	}
	return found;
}

TEST(Terminal, SignalsEndEchorunAndTheCommand)
{
	const struct {
		const char *name;
		std::string typed; // empty: hang up instead
		int signal;
	} cases[] = {
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
		if (c.typed.empty()) // the terminal hangs up
			(void)close(std::exchange(r.out_fd, -1));
		else
			ASSERT_EQ(
				write(r.out_fd, c.typed.data(), c.typed.size()),
				static_cast<ssize_t>(c.typed.size()));
		const outcome o = finish(r);

		EXPECT_EQ(describe(o.status),
			  std::string("signal ") + strsignal(c.signal));
		const std::string after_echo = o.out.substr(cmd.size());
		EXPECT_EQ(after_echo.find("survived"), std::string::npos);
		// echorun led the session: the shell and its sleep were in it.
		EXPECT_EQ(left_in_session(r.pid, 5000), std::vector<pid_t>{});
	}
}

} // namespace
