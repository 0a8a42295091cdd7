// files: see files.h.
#include "files.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

std::string temp_dir()
{
	char name[] = "/tmp/echorun-dir-XXXXXX";
	if (mkdtemp(name) == nullptr)
		abort();
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
