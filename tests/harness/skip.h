// SPDX-License-Identifier: MIT
// skip: the one way a test of echorun's steps aside.
//
// A test that cannot run here (no namespace, no seccomp on this machine, a
// missing tool) says why.  Run with ECHORUN_TESTS_NO_SKIP set to a non-empty
// value, as CI does, and the same reason fails the test instead: a run that
// must cover everything cannot pass by skipping part of it.
#ifndef ECHORUN_TESTS_SKIP_H
#define ECHORUN_TESTS_SKIP_H

#include <cstdlib>
#include <gtest/gtest.h>

inline bool skips_allowed()
{
	const char *no_skip = std::getenv("ECHORUN_TESTS_NO_SKIP");
	return no_skip == nullptr || *no_skip == '\0';
}

// Ends the current test: skipped, or failed when skips are not allowed.
#define ECHORUN_SKIP(why)                                                      \
	do {                                                                   \
		if (!skips_allowed())                                          \
			FAIL() << "not skipped (ECHORUN_TESTS_NO_SKIP): "      \
			       << (why);                                       \
		GTEST_SKIP() << (why);                                         \
	} while (false)

#endif
