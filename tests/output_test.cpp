// SPDX-License-Identifier: MIT
// Standard output that cannot take the echo: the command runs regardless,
// unless a reader that has gone ends the child with SIGPIPE first.
#include "files.h"
#include "launch.h"

#include <csignal>
#include <gtest/gtest.h>

namespace {

TEST(Output, UnwritableStandardOutput)
{
	const struct {
		const char *name;
		sink out;
		std::vector<int> ignore; // by the caller
		bool command_runs;
	} cases[] = {
		{"closed", sink::closed, {}, true},
		{"/dev/full", sink::dev_full, {}, true},
		{"pipe with no reader", sink::broken_pipe, {}, false},
		// echorun puts SIGPIPE back to its default for the child too.
		{"pipe with no reader, SIGPIPE ignored",
		 sink::broken_pipe,
		 {SIGPIPE},
		 false},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(c.name);
		const std::string mark = temp_dir() + "/ran";
		const outcome o = launch({.argv = {"echorun", "touch " + mark},
					  .ignore = c.ignore,
					  .out = c.out});
		EXPECT_EQ(exists(mark), c.command_runs);
		EXPECT_EQ(o.err, "");
		EXPECT_EQ(describe(o.status), "exit 0");
	}
}

} // namespace
