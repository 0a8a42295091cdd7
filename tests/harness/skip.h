// SPDX-License-Identifier: MIT
// skip: the one way a test of echorun's steps aside.
//
// A test that cannot run here (no mount namespace can be made) says why.  Run
// with ECHORUN_TESTS_NO_SKIP set to a non-empty value, as CI does, and the same
// reason fails the test instead: a run that must cover everything cannot pass
// by skipping part of it.
#ifndef ECHORUN_TESTS_SKIP_H
#define ECHORUN_TESTS_SKIP_H

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// Empty when `attempt` returns 0, else `refusal` and the error it returned.
// It is tried in a child, so that this process stays as it was.
inline std::string refused(const std::string &refusal, int (*attempt)())
{
	const pid_t pid = fork();
	if (pid == 0)
		_exit(attempt());
	int status = 0;
	if (pid == -1 || waitpid(pid, &status, 0) != pid)
		return "cannot try whether " + refusal + ": " + strerror(errno);
	if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
		return "";
	return refusal + ": " +
	       strerror(WIFEXITED(status) ? WEXITSTATUS(status) : ECHILD);
}

// Ends the current test: skipped, or failed when skips are not allowed.
#define ECHORUN_SKIP(why)                                                      \
	do {                                                                   \
		if (const char *no_skip =                                      \
			    std::getenv("ECHORUN_TESTS_NO_SKIP");              \
		    no_skip != nullptr && *no_skip != '\0')                    \
			FAIL() << "not skipped (ECHORUN_TESTS_NO_SKIP): "      \
			       << (why);                                       \
		GTEST_SKIP() << (why);                                         \
	} while (false)

#endif
