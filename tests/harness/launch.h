// SPDX-License-Identifier: MIT
// launch: start the built echorun the way a real parent would, and collect
// what it wrote and how it ended.
//
// The child gets exactly the signal dispositions, mask, descriptors,
// arguments and directory the test asks for, then execve()s echorun.  Its
// environment is opts.env, then ASAN_OPTIONS, UBSAN_OPTIONS and
// LSAN_OPTIONS of the test run: a sanitized echorun reports the way the run
// asks, unless opts.env sets its own, which comes first and wins.
// Standard output goes to a pipe, a regular file or a pseudo-terminal
// (with its own session, so terminal signals reach echorun); standard
// error always goes to a file, read back separately.
#ifndef ECHORUN_TESTS_LAUNCH_H
#define ECHORUN_TESTS_LAUNCH_H

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// In the order of sink_name()'s table.
enum class sink { pipe, file, pty, closed, dev_full, broken_pipe };
const char *sink_name(sink s);

// PATH and nothing else.
std::vector<std::string> plain_env();

// Written with designated initializers, e.g.
// launch({.argv = {"echorun", "true"}, .out = sink::pty}).  Every member has
// a default initializer, so that GCC does not warn about those left out.
struct launch_opts {
	std::vector<std::string> argv{"echorun"}; // {}: just NULL
	std::vector<int> ignore{};		  // signals set to SIG_IGN
	std::vector<int> block{};		  // the signal mask, exactly
	sink out = sink::pipe;
	std::vector<std::string> env = plain_env();
	std::string cwd{};		     // empty: the test's own
	std::vector<int> keep_fds{};	     // passed on besides 0, 1, 2
	std::string program{};		     // empty: the built echorun
	std::function<void()> before_exec{}; // runs in the child last
};

struct outcome {
	std::string out;
	std::string err;
	int status = -1; // as waitpid reports it
};

// A started echorun; finish() reads its output to the end and reaps it.
struct running {
	pid_t pid = -1;
	int out_fd = -1; // read end of the pipe, or the pty master
	std::string out_path, err_path;
	std::string seen; // what read_until() has read so far
};

running start(const launch_opts &opts);
outcome finish(running &r);
outcome launch(const launch_opts &opts);

// Reads from a pty or pipe until `text` has been seen or no more comes
// within timeout_ms; returns everything read so far.
std::string read_until(running &r, const std::string &text, int timeout_ms);

// "exit 0", "signal Killed" and so on, for comparisons and messages.
std::string describe(int status);

#endif
