// SPDX-License-Identifier: MIT
// skip: the one way a test of echorun's steps aside.
//
// A test that cannot run here (no mount namespace can be made) says why.  Run
// with ECHORUN_TESTS_NO_SKIP set to a non-empty value, as CI does, and the same
// reason fails the test instead: a run that must cover everything cannot pass
// by skipping part of it.
#ifndef ECHORUN_TESTS_SKIP_H
#define ECHORUN_TESTS_SKIP_H

#include <cstdlib>
#include <gtest/gtest.h>

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
