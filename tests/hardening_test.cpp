// SPDX-License-Identifier: MIT
// The built echorun carries the hardening that CMake asks for, whichever
// build this is (static or dynamic PIE, sanitized or not).
//
// To check another binary by hand, for example one linked without a flag,
// run this test with ECHORUN_HARDENING_BINARY set to its path.
#include "elf_hardening.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

struct property {
	const char *name;
	bool elf_hardening::*present;
	const char *flag; // what gives it, for the failure message
};

const property properties[] = {
	{"position independence", &elf_hardening::pie, "-pie / -static-pie"},
	{"RELRO", &elf_hardening::relro, "-z relro"},
	{"immediate binding", &elf_hardening::bind_now, "-z now"},
	{"non-executable stack", &elf_hardening::nx_stack, "-z noexecstack"},
	{"stack protector in run_command", &elf_hardening::stack_protector,
	 "-fstack-protector-strong"},
};

std::string binary_under_test()
{
	const char *other = std::getenv("ECHORUN_HARDENING_BINARY");
	return other != nullptr && *other != '\0' ? other : ECHORUN_PATH;
}

TEST(Hardening, EveryPropertyPresent)
{
	const std::string path = binary_under_test();
	const elf_hardening found = inspect_elf(path);
	ASSERT_EQ(found.error, "");
	for (const property &p : properties)
		EXPECT_TRUE(found.*p.present)
			<< path << " lacks " << p.name << " (" << p.flag << ")";
}

} // namespace
