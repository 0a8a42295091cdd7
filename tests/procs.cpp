// procs: see procs.h.
#include "procs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

namespace {

std::string slurp(const std::string &path)
{
	std::string data;
	if (FILE *f = fopen(path.c_str(), "rb")) {
		char buf[4096];
		size_t n;
		while ((n = fread(buf, 1, sizeof buf, f)) > 0)
			data.append(buf, n);
		fclose(f);
	}
	return data;
}

// The state and session of /proc/PID/stat; the command name before them
// may hold spaces and parentheses, so fields are counted from the last ')'.
bool state_and_session(pid_t pid, char &state, pid_t &sid)
{
	const std::string stat =
		slurp("/proc/" + std::to_string(pid) + "/stat");
	const auto close = stat.rfind(')');
	return close != std::string::npos &&
	       sscanf(stat.c_str() + close + 1, " %c %*d %*d %d", &state,
		      &sid) == 2;
}

template <typename Match> std::vector<pid_t> running_where(Match match)
{
	std::vector<pid_t> found;
	DIR *d = opendir("/proc");
	if (d == nullptr)
		abort();
	while (const dirent *e = readdir(d)) {
		const pid_t pid = atoi(e->d_name);
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
		usleep(50000);
		found = find();
	}
	return found;
}
