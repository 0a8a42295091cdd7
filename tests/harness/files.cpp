// SPDX-License-Identifier: MIT
// files: see files.h.
#include "files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
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
	FILE *f = fopen(path.c_str(), "wb");
	ASSERT_NE(f, nullptr) << path;
	EXPECT_EQ(fwrite(data.data(), 1, data.size(), f), data.size()) << path;
	ASSERT_EQ(fclose(f), 0) << path;
	ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
}

bool exists(const std::string &path)
{
	return access(path.c_str(), F_OK) == 0;
}

std::string slurp(const std::string &path)
{
	std::string data;
	if (FILE *f = fopen(path.c_str(), "rb")) {
		char buf[65536];
		size_t n;
		while ((n = fread(buf, 1, sizeof buf, f)) > 0)
			data.append(buf, n);
		(void)fclose(f);
	}
	return data;
}
