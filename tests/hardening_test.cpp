// SPDX-License-Identifier: MIT
// The built echorun carries the hardening that CMake asks for, whichever
// build this is (static or dynamic PIE, sanitized or not), and the reader
// that says so survives a damaged file.
//
// To check another binary by hand, for example one linked without a flag,
// run this test with ECHORUN_BINARY set to its path.
#include "elf_hardening.h"
#include "files.h"
#include "skip.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

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
	{"a stack protector check in echorun's own code",
	 &elf_hardening::stack_protector, "-fstack-protector-all"},
};

std::string binary_under_test()
{
	const char *other = std::getenv("ECHORUN_BINARY");
	return other != nullptr && *other != '\0' ? other : ECHORUN_PATH;
}

TEST(Hardening, EveryPropertyPresent)
{
	const std::string path = binary_under_test();
	const elf_hardening found = inspect_elf(path);
	ASSERT_EQ(found.error, "");
	for (const property &p : properties) {
		// Judged only where calls are decoded; skipped below otherwise.
		if (p.present == &elf_hardening::stack_protector &&
		    !found.stack_protector_unchecked.empty())
			continue;
		EXPECT_TRUE(found.*p.present)
			<< path << " lacks " << p.name << " (" << p.flag << ")";
	}
	if (!found.stack_protector_unchecked.empty())
		ECHORUN_SKIP("stack protector not judged: " +
			     found.stack_protector_unchecked);
}

// Section headers come last in the file, so every cut loses them: each is
// reported, none crashes the reader.
TEST(Hardening, DamagedFileIsReportedNotFollowed)
{
	const std::string path = binary_under_test();
	std::ifstream in(path, std::ios::binary);
	const std::vector<char> whole{std::istreambuf_iterator<char>(in),
				      std::istreambuf_iterator<char>()};
	ASSERT_GT(whole.size(), 4096U);
	const std::string cut_path = temp_file();
	for (const size_t size :
	     {size_t{0}, size_t{4}, size_t{20}, size_t{63}, size_t{4096},
	      whole.size() / 2, whole.size() - 1}) {
		SCOPED_TRACE(size);
		std::ofstream(cut_path, std::ios::binary | std::ios::trunc)
			.write(whole.data(),
			       static_cast<std::streamsize>(size));
		EXPECT_NE(inspect_elf(cut_path).error, "");
	}
	EXPECT_NE(inspect_elf(cut_path + "-missing").error, "");
}

} // namespace
