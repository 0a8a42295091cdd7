// SPDX-License-Identifier: MIT
// echorun with each shell Debian ships in the place of "/bin/sh": the
// hand-over, "/bin/sh -c -- TEXT" with argv[0] "/bin/sh", must mean one
// command to every one of them, texts that look like options included.
//
// The shells are the Debian packages listed in tests/shells, each named as
// its program.  One that is not installed is skipped, unless it is also
// listed in ECHORUN_TESTS_SHELLS, where CI names the shells it installs.
#include "files.h"
#include "launch.h"
#include "namespace.h"
#include "skip.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> words(const std::string &text)
{
	std::istringstream in(text);
	return {std::istream_iterator<std::string>(in), {}};
}

// A shell that took a text for its own options would run nothing, or
// something else, and print no "ran".  busybox picks its applet from
// argv[0], which echorun makes "/bin/sh".
const struct {
	const char *text;
	const char *output;
} texts[] = {
	{"echo \"hello from $0\"", "hello from /bin/sh\n"},
	{"-x 2>/dev/null || echo ran", "ran\n"},
	{"+x 2>/dev/null || echo ran", "ran\n"},
	{"--help 2>/dev/null || echo ran", "ran\n"},
};

class Shell : public testing::TestWithParam<std::string> {};

TEST_P(Shell, RunsTheTextAsOneCommand)
{
	const std::string &name = GetParam();
	const std::string where[] = {"/usr/bin/" + name, "/bin/" + name};
	const auto *const path = std::ranges::find_if(where, [](const auto &p) {
		return access(p.c_str(), X_OK) == 0;
	});
	if (path == std::end(where)) {
		const std::string why = "apt-get install " + name;
		const char *listed = std::getenv("ECHORUN_TESTS_SHELLS");
		if (std::ranges::count(words(listed != nullptr ? listed : ""),
				       name) > 0)
			FAIL() << "listed in ECHORUN_TESTS_SHELLS: " << why;
		GTEST_SKIP() << "not installed: " << why;
	}
	if (const std::string why = mount_namespace_refused(); !why.empty())
		ECHORUN_SKIP(why);
	for (const auto &t : texts) {
		SCOPED_TRACE(t.text);
		const outcome o =
			launch({.argv = {"echorun", t.text},
				.before_exec = shell_replaced_by(*path)});
		EXPECT_EQ(o.out, std::string(t.text) + "\n" + t.output);
		EXPECT_EQ(o.err, "");
		EXPECT_EQ(describe(o.status), "exit 0");
	}
}

INSTANTIATE_TEST_SUITE_P(Shells, Shell,
			 testing::ValuesIn(words(slurp(SHELLS_PATH))),
			 [](const auto &row) { return row.param; });

} // namespace
