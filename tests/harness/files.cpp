// SPDX-License-Identifier: MIT
// files: see files.h.
#include "files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string make_dir(std::string name)
{
	if (mkdtemp(name.data()) == nullptr)
		abort();
	return name;
}

// Every scratch file and directory of one test program lives under a single
// root, removed when the program ends, so runs leave nothing in /tmp.
// Forked children leave through _exit and never remove it.
std::string scratch_name()
{
	static const std::string root = make_dir("/tmp/echorun-tests-XXXXXX");
	[[maybe_unused]] static const int removed_at_exit = std::atexit([] {
		std::error_code ignored;
		std::filesystem::remove_all(root, ignored);
	});
	return root + "/XXXXXX";
}

} // namespace

std::string temp_dir()
{
	return make_dir(scratch_name());
}

std::string temp_file()
{
	std::string name = scratch_name();
	const int fd = mkstemp(name.data());
	if (fd == -1)
		abort();
	(void)close(fd);
	return name;
}

void write_file(const std::string &path, const std::string &data, mode_t mode)
{
	std::ofstream f(path, std::ios::binary);
	ASSERT_TRUE(f << data << std::flush) << path;
	ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
}

bool exists(const std::string &path)
{
	return access(path.c_str(), F_OK) == 0;
}

std::string slurp(const std::string &path)
{
	std::ostringstream text;
	text << std::ifstream(path, std::ios::binary).rdbuf();
	return text.str();
}
