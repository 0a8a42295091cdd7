// SPDX-License-Identifier: MIT
// echorun with each shell Debian ships in the place of "/bin/sh": the
// hand-over, "/bin/sh -c -- TEXT" with argv[0] "/bin/sh", must mean one
// command to every one of them, texts that look like options included.
#include "launch.h"
#include "namespace.h"
#include "skip.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct shell {
	const char *name;
	std::vector<const char *> paths; // the first one installed is used
	const char *package;		 // Debian's, to name when missing
};

// busybox picks its applet from argv[0], which echorun makes "/bin/sh".
const shell shells[] = {
	{"dash", {"/bin/dash"}, "dash"},
	{"bash", {"/bin/bash"}, "bash"},
	{"busybox sh", {"/bin/busybox"}, "busybox"},
	{"mksh", {"/bin/mksh"}, "mksh"},
	{"zsh", {"/bin/zsh", "/usr/bin/zsh"}, "zsh"},
	{"posh", {"/bin/posh"}, "posh"},
	{"yash", {"/usr/bin/yash"}, "yash"},
};

// A shell that took a text for its own options would run nothing, or
// something else, and print no "ran".
const struct {
	const char *text;
	const char *output;
} texts[] = {
	{"echo \"hello from $0\"", "hello from /bin/sh\n"},
	{"-x 2>/dev/null || echo ran", "ran\n"},
	{"+x 2>/dev/null || echo ran", "ran\n"},
	{"--help 2>/dev/null || echo ran", "ran\n"},
};

TEST(Shells, EachRunsTheTextAsOneCommand)
{
	if (const std::string why = mount_namespace_refused(); !why.empty())
		ECHORUN_SKIP(why);
	for (const shell &sh : shells) {
		SCOPED_TRACE(sh.name);
		const auto path = std::ranges::find_if(
			sh.paths, [](auto p) { return access(p, X_OK) == 0; });
		if (path == sh.paths.end()) {
			ADD_FAILURE() << sh.name << " is not installed: "
				      << "apt-get install " << sh.package;
			continue;
		}
		for (const auto &t : texts) {
			SCOPED_TRACE(t.text);
			const outcome o = launch(
				{.argv = {"echorun", t.text},
				 .before_exec = shell_replaced_by(*path)});
			EXPECT_EQ(o.out, std::string(t.text) + "\n" + t.output);
			EXPECT_EQ(o.err, "");
			EXPECT_EQ(describe(o.status), "exit 0");
		}
	}
}

} // namespace
