// SPDX-License-Identifier: MIT
// procs: see procs.h.
#include "procs.h"
#include "files.h"

#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <sstream>

namespace {

// The session of a process still running, else -1.  The command name in
// /proc/PID/stat may hold spaces and parentheses, so the fields after it
// are counted from the last ')'.
pid_t running_session(pid_t pid)
{
	const std::string stat =
		slurp("/proc/" + std::to_string(pid) + "/stat");
	std::istringstream fields(stat.substr(stat.rfind(')') + 1));
	char state = 'Z';
	long ppid = 0;
	long pgrp = 0;
	long session = -1;
	if (!(fields >> state >> ppid >> pgrp >> session) || state == 'Z')
		return -1;
	return static_cast<pid_t>(session);
}

} // namespace

std::vector<pid_t> running_in_session(pid_t sid)
{
	std::vector<pid_t> found;
	DIR *d = opendir("/proc");
	if (d == nullptr)
		abort();
	// cppcheck-suppress readdirCalled
	while (const dirent *e = readdir(d)) {
		const auto pid =
			static_cast<pid_t>(strtol(e->d_name, nullptr, 10));
		if (pid > 0 && running_session(pid) == sid)
			found.push_back(pid);
	}
	closedir(d);
	return found;
}

std::vector<pid_t> until_none(const std::function<std::vector<pid_t>()> &find,
			      int timeout_ms)
{
	std::vector<pid_t> found = find();
	for (int waited = 0; !found.empty() && waited < timeout_ms;
	     waited += 50) {
		const timespec tick = {0, 50'000'000};
		(void)nanosleep(&tick, nullptr);
		found = find();
	}
	return found;
}
