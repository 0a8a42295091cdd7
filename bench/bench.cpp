// SPDX-License-Identifier: MIT
// echorun-bench: measure what echorun costs on top of the shell it runs.
//
// usage: echorun-bench [--rounds N] [--smoke] PATH_TO_ECHORUN
//
// Four figures, each printed as a plain table for a README:
//
//  1. Start-up time.  In every round, each of
//         echorun true / env sh -c true / timeout 10 sh -c true / sh -c true
//     is spawned once (posix_spawn, stdout to /dev/null) and waited for;
//     the time from spawn to reap is read from CLOCK_MONOTONIC.  The order
//     is shuffled anew each round so that no candidate always runs first or
//     always follows the same one.  Printed: each median, and the medians of
//     the ratios echorun/env, echorun/timeout and echorun/sh taken within
//     each round (paired, so that drift of the machine cancels out).
//  2. Scaling with the length of the command text: echorun TEXT against
//     env sh -c TEXT for 1 KiB, 64 KiB and 131071 bytes (the longest single
//     argument Linux accepts).  TEXT is ": xxx...", which the shell parses
//     and runs at once.  The gap between the two should not grow with TEXT.
//  3. Instructions executed by the echorun process itself (not its shell),
//     as counted by callgrind, when valgrind is on PATH.
//  4. Peak resident memory of the echorun process while its command runs:
//     VmHWM from /proc/PID/status.  getrusage and wait4 would fold in the
//     shell child, so they are not used.
//
// Every spawned run must exit 0; any that does not, or cannot be spawned,
// makes the exit status 1.  The figures themselves never decide it.
// --smoke runs 20 rounds so that the whole program takes a few seconds.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Argv = std::vector<std::string>;

int failures = 0; // spawned runs that failed or did not exit 0

void fail(const std::string &what)
{
	std::fprintf(stderr, "echorun-bench: %s\n", what.c_str());
	++failures;
}

double now_ms()
{
	timespec ts{};
	(void)clock_gettime(CLOCK_MONOTONIC, &ts);
	return static_cast<double>(ts.tv_sec) * 1e3 +
	       static_cast<double>(ts.tv_nsec) / 1e6;
}

// Start argv[0] (searched on PATH when it has no slash) with stdout, and
// stderr too when err_path is given, sent to files.  Returns the pid, or
// -1 after reporting the failure.
pid_t spawn(const Argv &args, const char *err_path = nullptr)
{
	std::vector<char *> argv;
	for (const auto &a : args)
		argv.push_back(const_cast<char *>(a.c_str()));
	argv.push_back(nullptr);

	posix_spawn_file_actions_t fa;
	(void)posix_spawn_file_actions_init(&fa);
	(void)posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null",
					       O_WRONLY, 0);
	if (err_path != nullptr)
		(void)posix_spawn_file_actions_addopen(
			&fa, STDERR_FILENO, err_path, O_WRONLY | O_TRUNC, 0);
	pid_t pid = -1;
	const int rc =
		posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
	(void)posix_spawn_file_actions_destroy(&fa);
	if (rc != 0) {
		fail(args[0] + ": " + std::strerror(rc));
		return -1;
	}
	return pid;
}

// Reap pid; a run that was not a clean exit 0 counts as a failure.
void reap(pid_t pid, const std::string &name)
{
	int status = 0;
	while (waitpid(pid, &status, 0) == -1)
		if (errno != EINTR) {
			fail(name + ": waitpid: " + std::strerror(errno));
			return;
		}
	if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
		fail(name + ": did not exit 0 (wait status " +
		     std::to_string(status) + ")");
}

// One run, spawn to reap, in milliseconds.
double time_run(const Argv &args)
{
	const double start = now_ms();
	const pid_t pid = spawn(args);
	if (pid != -1)
		reap(pid, args[0]);
	return now_ms() - start;
}

double median(std::vector<double> v)
{
	if (v.empty())
		return 0;
	std::sort(v.begin(), v.end());
	const size_t n = v.size();
	return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Run every candidate once per round, in a fresh shuffled order, after a
// few untimed warm-up rounds.  times[c][r] is candidate c's time in round r.
std::vector<std::vector<double>> interleave(const std::vector<Argv> &cands,
					    int rounds)
{
	std::vector<std::vector<double>> times(cands.size());
	std::vector<size_t> order(cands.size());
	for (size_t i = 0; i < order.size(); ++i)
		order[i] = i;
	std::minstd_rand rng(1); // fixed seed: the same schedule every time

	for (int r = -3; r < rounds; ++r) {
		std::shuffle(order.begin(), order.end(), rng);
		for (const size_t c : order) {
			const double t = time_run(cands[c]);
			if (r >= 0)
				times[c].push_back(t);
		}
	}
	return times;
}

// Median over rounds of a[r] / b[r].
double paired_ratio(const std::vector<double> &a, const std::vector<double> &b)
{
	std::vector<double> q;
	for (size_t r = 0; r < a.size() && r < b.size(); ++r)
		q.push_back(a[r] / b[r]);
	return median(q);
}

void startup(const std::string &echorun, int rounds)
{
	const std::vector<Argv> cands = {
		{echorun, "true"},
		{"env", "sh", "-c", "true"},
		{"timeout", "10", "sh", "-c", "true"},
		{"sh", "-c", "true"},
	};
	const char *names[] = {"echorun true", "env sh -c true",
			       "timeout 10 sh -c true", "sh -c true"};
	const auto t = interleave(cands, rounds);

	std::printf("\nStart-up, spawn to reap (%d interleaved rounds)\n\n",
		    rounds);
	std::printf("| command               | median ms |\n");
	std::printf("|-----------------------|-----------|\n");
	for (size_t c = 0; c < cands.size(); ++c)
		std::printf("| %-21s | %9.3f |\n", names[c], median(t[c]));
	std::printf("\n| paired ratio (median of per-round) | value |\n");
	std::printf("|------------------------------------|-------|\n");
	std::printf("| echorun / env                      | %5.3f |\n",
		    paired_ratio(t[0], t[1]));
	std::printf("| echorun / timeout                  | %5.3f |\n",
		    paired_ratio(t[0], t[2]));
	std::printf("| echorun / sh                       | %5.3f |\n",
		    paired_ratio(t[0], t[3]));
}

void scaling(const std::string &echorun, int rounds)
{
	std::printf("\nCommand-text length (%d interleaved rounds)\n\n",
		    rounds);
	std::printf("| text bytes | echorun TEXT ms | env sh -c TEXT ms | gap "
		    "ms |\n");
	std::printf("|------------|-----------------|-------------------|------"
		    "--|\n");
	for (const size_t size :
	     {size_t{1024}, size_t{65536}, size_t{131071}}) {
		const std::string text = ": " + std::string(size - 2, 'x');
		const auto t = interleave(
			{{echorun, text}, {"env", "sh", "-c", text}}, rounds);
		const double e = median(t[0]), s = median(t[1]);
		std::printf("| %10zu | %15.3f | %17.3f | %6.3f |\n", size, e, s,
			    e - s);
	}
}

bool on_path(const std::string &prog)
{
	const char *path = std::getenv("PATH");
	const std::string dirs =
		std::string(path != nullptr ? path : "/usr/bin:/bin") + ":";
	size_t end;
	for (size_t start = 0; (end = dirs.find(':', start)) != dirs.npos;
	     start = end + 1) {
		// An empty entry means the current directory.
		const std::string dir =
			end > start ? dirs.substr(start, end - start) : ".";
		if (access((dir + "/" + prog).c_str(), X_OK) == 0)
			return true;
	}
	return false;
}

// A fresh empty temporary file; its name is returned.
std::string temp_file()
{
	char name[] = "/tmp/echorun-bench.XXXXXX";
	const int fd = mkstemp(name);
	if (fd == -1) {
		fail(std::string("mkstemp: ") + std::strerror(errno));
		return {};
	}
	(void)close(fd);
	return name;
}

// "==PID== Collected : N" from callgrind's log: the process valgrind was
// started as is echorun itself, so PID is the pid we spawned.  The shell
// is exec'd natively (--trace-children=no) and counts for nothing.
void instructions(const std::string &echorun)
{
	std::printf("\n| echorun true, own process          | value |\n");
	std::printf("|------------------------------------|-------|\n");
	if (!on_path("valgrind")) {
		std::printf("| instructions (callgrind)           | valgrind "
			    "not found, skipped |\n");
		return;
	}
	const std::string log = temp_file(), out = temp_file();
	if (log.empty() || out.empty())
		return;
	const pid_t pid =
		spawn({"valgrind", "--tool=callgrind", "--trace-children=no",
		       "--callgrind-out-file=" + out, echorun, "true"},
		      log.c_str());
	if (pid != -1)
		reap(pid, "valgrind " + echorun);

	const std::string tag = "==" + std::to_string(pid) + "== Collected :";
	std::ifstream in(log);
	long long count = -1;
	for (std::string line; std::getline(in, line);)
		if (line.rfind(tag, 0) == 0)
			count = std::atoll(line.c_str() + tag.size());
	(void)unlink(log.c_str());
	(void)unlink(out.c_str());
	if (count < 0)
		fail("no \"Collected\" line from callgrind");
	else
		std::printf("| instructions (callgrind)           | %lld |\n",
			    count);
}

// Value of "field:" in /proc/PID/status, in KiB; -1 if absent.
long status_kib(pid_t pid, const std::string &field)
{
	std::ifstream in("/proc/" + std::to_string(pid) + "/status");
	for (std::string line; std::getline(in, line);)
		if (line.rfind(field + ":", 0) == 0)
			return std::atol(line.c_str() + field.size() + 1);
	return -1;
}

// True once pid has a child of its own, i.e. the shell has been forked.
bool has_child(pid_t pid)
{
	const std::string p = std::to_string(pid);
	std::ifstream in("/proc/" + p + "/task/" + p + "/children");
	std::string child;
	return static_cast<bool>(in >> child);
}

// Peak RSS of echorun itself, read while 'sleep 0.3' runs under it.
// VmHWM is a high-water mark, and echorun only waits once it has forked,
// so one reading taken after the fork is its peak.
void peak_rss(const std::string &echorun)
{
	const pid_t pid = spawn({echorun, "sleep 0.3"});
	if (pid == -1)
		return;
	for (int i = 0; i < 200 && !has_child(pid); ++i)
		(void)usleep(1000);
	const long hwm = status_kib(pid, "VmHWM");
	reap(pid, echorun);
	if (hwm < 0)
		fail("no VmHWM for the echorun process");
	else
		std::printf("| peak RSS (VmHWM) KiB               | %ld |\n",
			    hwm);
}

[[noreturn]] void usage()
{
	std::fprintf(stderr, "usage: echorun-bench [--rounds N] [--smoke] "
			     "PATH_TO_ECHORUN\n");
	std::exit(2);
}

} // namespace

int main(int argc, char *argv[])
{
	int rounds = 2000;
	bool rounds_given = false, smoke = false;
	std::string echorun;

	for (int i = 1; i < argc; ++i) {
		const std::string a = argv[i];
		if (a == "--smoke") {
			smoke = true;
		} else if (a == "--rounds" && i + 1 < argc) {
			rounds = std::atoi(argv[++i]);
			rounds_given = true;
			if (rounds < 1)
				usage();
		} else if (a.empty() || a[0] == '-' || !echorun.empty()) {
			usage();
		} else {
			echorun = a;
		}
	}
	if (echorun.empty())
		usage();
	if (smoke && !rounds_given)
		rounds = 20;

	// Whatever our parent ignored would be inherited by every run.
	for (const int sig : {SIGPIPE, SIGINT, SIGHUP, SIGQUIT, SIGCHLD})
		(void)signal(sig, SIG_DFL);

	std::printf("echorun-bench: %s\n", echorun.c_str());
	startup(echorun, rounds);
	scaling(echorun, rounds);
	instructions(echorun);
	peak_rss(echorun);
	if (failures != 0)
		std::fprintf(stderr, "echorun-bench: %d failed run(s)\n",
			     failures);
	return failures != 0 ? 1 : 0;
}
