// SPDX-License-Identifier: MIT
// Many echoruns at once: each reaps its own shell, leaves nothing running
// and passes the shell no descriptor of its own.
#include "launch.h"

#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int runs = 200;
constexpr int in_flight = 50;

TEST(Load, ManyAtOnceLeaveNothingBehind)
{
	// Orphans come to this process instead of init, so that a shell an
	// echorun failed to reap, running or not, is found below as a child.
	ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
	// fd 7 stands for a descriptor the caller passes on on purpose.
	ASSERT_EQ(dup2(open("/dev/null", O_RDONLY | O_CLOEXEC), 7), 7);

	std::deque<std::pair<running, std::string>> flying;
	int started = 0;
	int wrong = 0;
	std::string first_wrong;
	while (started < runs || !flying.empty()) {
		if (started < runs && flying.size() < in_flight) {
			const std::string cmd = "ls /proc/$$/fd; : " +
						std::to_string(started++);
			flying.emplace_back(start({.argv = {"echorun", cmd},
						   .keep_fds = {7}}),
					    cmd + "\n0\n1\n2\n7\nexit 0");
			continue;
		}
		auto &[r, expected] = flying.front();
		const outcome o = finish(r);
		if (o.out + describe(o.status) != expected && wrong++ == 0)
			first_wrong = o.out + describe(o.status) + o.err;
		flying.pop_front();
	}
	close(7);
	(void)prctl(PR_SET_CHILD_SUBREAPER, 0);

	EXPECT_EQ(wrong, 0) << "first: " << first_wrong;
	errno = 0;
	EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
	EXPECT_EQ(errno, ECHILD) << "an orphan was left, running or a zombie";
}

} // namespace
