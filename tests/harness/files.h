// SPDX-License-Identifier: MIT
// files: scratch files and directories for the tests, under /tmp.
#ifndef ECHORUN_TESTS_FILES_H
#define ECHORUN_TESTS_FILES_H

#include <string>
#include <sys/types.h>

// A new empty directory, or a new empty file; the test aborts if none can
// be made.  Both are removed, with what they hold, when the test program
// ends.
std::string temp_dir();
std::string temp_file();

// Creates or replaces `path` with `data` and then sets `mode`.
void write_file(const std::string &path, const std::string &data, mode_t mode);

bool exists(const std::string &path);

// What can be read of a file: a process's /proc file may end mid-read.
std::string slurp(const std::string &path);

#endif
