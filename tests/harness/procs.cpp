// SPDX-License-Identifier: MIT
// procs: see procs.h.
#include "procs.h"
#include "files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <sstream>
#include <unistd.h>

namespace {

// The state and session of /proc/PID/stat; the command name before them
// may hold spaces and parentheses, so fields are counted from the last ')'.
bool state_and_session(pid_t pid, char &state, pid_t &sid)
{
	const std::string stat =
		slurp("/proc/" + std::to_string(pid) + "/stat");
	const auto close = stat.rfind(')');
	if (close == std::string::npos)
		return false;
	std::istringstream fields(stat.substr(close + 1));
	long ppid = 0;
	long pgrp = 0;
	long session = 0;
	if (!(fields >> state >> ppid >> pgrp >> session))
		return false;
	sid = static_cast<pid_t>(session);
	return true;
}

template <typename Match> std::vector<pid_t> running_where(Match match)
{
	std::vector<pid_t> found;
	DIR *d = opendir("/proc");
	if (d == nullptr)
		abort();
	// cppcheck-suppress readdirCalled
	while (const dirent *e = readdir(d)) {
		char *end = nullptr;
		const auto pid =
			static_cast<pid_t>(strtol(e->d_name, &end, 10));
		if (*end != '\0')
			continue;
		char state;
		pid_t sid;
		if (pid > 0 && state_and_session(pid, state, sid) &&
		    state != 'Z' && match(pid, sid))
			found.push_back(pid);
	}
	closedir(d);
	return found;
}

} // namespace

std::vector<pid_t> running_in_session(pid_t sid)
{
	return running_where([sid](pid_t, pid_t s) { return s == sid; });
}

std::vector<pid_t> running_with(const std::string &token)
{
	return running_where([&token](pid_t pid, pid_t) {
		const std::string cmdline =
			slurp("/proc/" + std::to_string(pid) + "/cmdline");
		return cmdline.find(token) != std::string::npos;
	});
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
