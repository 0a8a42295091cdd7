// SPDX-License-Identifier: MIT
// echorun-bench: compare echorun builds with each other and with the
// commands a launcher is measured against.
//
// usage: echorun-bench [--rounds N] [--smoke] LABEL=PATH [LABEL=PATH...]
//
// Each LABEL=PATH names one echorun binary, for instance
// musl-static=build/bench/echorun.  Three Markdown tables are printed:
//
//  1. Start-up, spawn to reap.  The rows are env sh -c true, timeout 10
//     sh -c true, sh -c true, and echorun true for each build.  In every
//     round each row is spawned once (posix_spawn, stdout to /dev/null) and
//     waited for, in an order shuffled anew, so that no row always runs
//     first or always follows the same one; CLOCK_MONOTONIC times it.
//     Printed: each row's median, and the medians of its per-round ratios
//     to env and to timeout (paired, so that drift of the machine cancels
//     out).
//  2. Command-text length, first build only: echorun TEXT against env sh -c
//     TEXT for 1 KiB, 64 KiB and 131071 bytes (the longest single argument
//     Linux accepts).  TEXT is ": xxx...", which the shell parses and runs
//     at once.  The gap should not grow with TEXT.
//  3. Per build: the file's size as given (st_size), the instructions run
//     in echorun's own process (callgrind, children not traced; skipped
//     when valgrind is not installed), and its peak resident memory, VmHWM
//     from /proc/PID/status read while its command runs (getrusage and
//     wait4 would fold in the shell).
//
// Every spawned run must exit 0; any that does not, or cannot be spawned,
// makes the exit status 1.  The figures themselves never decide it.
// --smoke runs 20 rounds so that the whole program takes a few seconds.
#include <algorithm>
#include <errno.h>
#include <fcntl.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using Argv = std::vector<std::string>;

struct Row {
	std::string label;
	Argv argv;
};

struct Build {
	std::string label, path;
};

int failures = 0; // spawned runs that failed or did not exit 0

void fail(const std::string &what)
{
	(void)fprintf(stderr, "echorun-bench: %s\n", what.c_str());
	++failures;
}

double now_ms()
{
	timespec ts{};
	(void)clock_gettime(CLOCK_MONOTONIC, &ts);
	return static_cast<double>(ts.tv_sec) * 1e3 +
	       static_cast<double>(ts.tv_nsec) / 1e6;
}

// Start args[0] (searched on PATH when it has no slash) with stdout, and
// stderr too when err_path is given, sent to files.  Returns posix_spawnp's
// error number; *pid is set when it is 0.
int spawn(const Argv &args, pid_t *pid, const char *err_path = nullptr)
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
	const int rc =
		posix_spawnp(pid, argv[0], &fa, nullptr, argv.data(), environ);
	(void)posix_spawn_file_actions_destroy(&fa);
	return rc;
}

// spawn() for a run that must start: -1 after reporting the failure.
pid_t start(const Argv &args)
{
	pid_t pid = -1;
	const int rc = spawn(args, &pid);
	if (rc == 0)
		return pid;
	fail(args[0] + ": " + strerror(rc));
	return -1;
}

// Reap pid.  A run that was not a clean exit 0 counts as a failure, and
// false is returned.
bool reap(pid_t pid, const std::string &name)
{
	int status = 0;
	while (waitpid(pid, &status, 0) == -1)
		if (errno != EINTR) {
			fail(name + ": waitpid: " + strerror(errno));
			return false;
		}
	if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
		return true;
	fail(name + ": did not exit 0 (wait status " + std::to_string(status) +
	     ")");
	return false;
}

// One run, spawn to reap, in milliseconds.
double time_run(const Argv &args)
{
	const double begin = now_ms();
	const pid_t pid = start(args);
	if (pid != -1)
		(void)reap(pid, args[0]);
	return now_ms() - begin;
}

double median(std::vector<double> v)
{
	if (v.empty())
		return 0;
	std::sort(v.begin(), v.end());
	const size_t n = v.size();
	return n % 2 != 0 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Run every row once per round, in a fresh shuffled order, after a few
// untimed warm-up rounds.  times[i][r] is row i's time in round r.
std::vector<std::vector<double>> interleave(const std::vector<Row> &rows,
					    int rounds)
{
	std::vector<std::vector<double>> times(rows.size());
	std::vector<size_t> order(rows.size());
	for (size_t i = 0; i < order.size(); ++i)
		order[i] = i;
	// Any seed will do: the shuffle only has to break up fixed orders.
	std::minstd_rand rng(std::random_device{}());

	for (int r = -3; r < rounds; ++r) {
		std::shuffle(order.begin(), order.end(), rng);
		for (const size_t i : order) {
			const double t = time_run(rows[i].argv);
			if (r >= 0)
				times[i].push_back(t);
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

// Ratios are taken against rows 0 (env) and 1 (timeout).
void startup_table(const std::vector<Build> &builds, int rounds)
{
	std::vector<Row> rows = {
		{"env sh -c true", {"env", "sh", "-c", "true"}},
		{"timeout 10 sh -c true",
		 {"timeout", "10", "sh", "-c", "true"}},
		{"sh -c true", {"sh", "-c", "true"}},
	};
	for (const auto &b : builds)
		rows.push_back({"echorun true, " + b.label, {b.path, "true"}});
	const auto t = interleave(rows, rounds);

	printf("\nStart-up, spawn to reap, %d interleaved rounds; ratios are "
	       "medians of per-round ratios:\n\n",
	       rounds);
	printf("| command                       | median ms | ratio to env "
	       "| ratio to timeout |\n");
	printf("|-------------------------------|----------:|-------------:"
	       "|-----------------:|\n");
	for (size_t i = 0; i < rows.size(); ++i)
		printf("| %-29s | %9.3f | %12.3f | %16.3f |\n",
		       rows[i].label.c_str(), median(t[i]),
		       paired_ratio(t[i], t[0]), paired_ratio(t[i], t[1]));
}

void scaling_table(const Build &b, int rounds)
{
	printf("\nCommand-text length, %s, %d interleaved rounds:\n\n",
	       b.label.c_str(), rounds);
	printf("| text bytes | echorun TEXT ms | env sh -c TEXT ms | gap ms "
	       "| ratio to env |\n");
	printf("|-----------:|----------------:|------------------:|-------:"
	       "|-------------:|\n");
	for (const size_t size :
	     {size_t{1024}, size_t{65536}, size_t{131071}}) {
		const std::string text = ": " + std::string(size - 2, 'x');
		const auto t = interleave({{"env", {"env", "sh", "-c", text}},
					   {"echorun", {b.path, text}}},
					  rounds);
		const double env = median(t[0]);
		const double echorun = median(t[1]);
		printf("| %10zu | %15.3f | %17.3f | %6.3f | %12.3f |\n", size,
		       echorun, env, echorun - env, paired_ratio(t[1], t[0]));
	}
}

// A fresh empty temporary file; its name is returned, empty on failure.
std::string temp_file()
{
	char name[] = "/tmp/echorun-bench.XXXXXX";
	const int fd = mkstemp(name);
	if (fd == -1) {
		fail(std::string("mkstemp: ") + strerror(errno));
		return {};
	}
	(void)close(fd);
	return name;
}

// The number after prefix on the first line of the file that starts with
// it; -1 when there is none.
long long field(const std::string &path, const std::string &prefix)
{
	FILE *f = fopen(path.c_str(), "r");
	if (f == nullptr)
		return -1;
	long long value = -1;
	char line[512];
	while (value < 0 && fgets(line, sizeof line, f) != nullptr)
		if (strncmp(line, prefix.c_str(), prefix.size()) == 0)
			value = strtoll(line + prefix.size(), nullptr, 10);
	(void)fclose(f);
	return value;
}

std::string cell(long long value)
{
	return value < 0 ? "failed" : std::to_string(value);
}

// callgrind's "==PID== Collected : N", where PID is the process valgrind
// was started as, that is echorun itself.  The shell is exec'd natively
// (--trace-children=no) and counts for nothing.
std::string instructions(const std::string &echorun)
{
	const std::string log = temp_file();
	const std::string out = temp_file();
	pid_t pid = -1;
	const int rc = log.empty() || out.empty()
			       ? -1
			       : spawn({"valgrind", "--tool=callgrind",
					"--trace-children=no",
					"--callgrind-out-file=" + out, echorun,
					"true"},
				       &pid, log.c_str());
	long long count = -1;
	if (rc == 0 && reap(pid, "valgrind " + echorun)) {
		count = field(log,
			      "==" + std::to_string(pid) + "== Collected :");
		if (count < 0)
			fail("no \"Collected\" line from callgrind");
	} else if (rc > 0 && rc != ENOENT) {
		fail(std::string("valgrind: ") + strerror(rc));
	}
	(void)unlink(log.c_str());
	(void)unlink(out.c_str());
	return rc == ENOENT ? "no valgrind" : cell(count);
}

// True once pid has a child of its own, i.e. the shell has been forked.
bool has_child(pid_t pid)
{
	const std::string p = std::to_string(pid);
	FILE *f =
		fopen(("/proc/" + p + "/task/" + p + "/children").c_str(), "r");
	if (f == nullptr)
		return false;
	const bool any = fgetc(f) != EOF;
	(void)fclose(f);
	return any;
}

// Peak RSS of echorun itself, read while 'sleep 0.3' runs under it.
// VmHWM is a high-water mark, and echorun only waits once it has forked,
// so one reading taken after the fork is its peak.
long long peak_rss_kib(const std::string &echorun)
{
	const pid_t pid = start({echorun, "sleep 0.3"});
	if (pid == -1)
		return -1;
	const timespec ms{0, 1000000};
	int waited = 0;
	for (; waited < 200 && !has_child(pid); ++waited)
		(void)nanosleep(&ms, nullptr);
	// Without a child seen, a reading could predate the peak.
	const long long hwm =
		waited < 200 ? field("/proc/" + std::to_string(pid) + "/status",
				     "VmHWM:")
			     : -1;
	if (!reap(pid, echorun))
		return -1;
	if (hwm < 0)
		fail("no VmHWM read while " + echorun + " ran its shell");
	return hwm;
}

long long file_bytes(const std::string &path)
{
	struct stat st {};
	return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

void build_table(const std::vector<Build> &builds)
{
	printf("\nPer build; instructions and memory are echorun's own "
	       "process, running true and sleep 0.3:\n\n");
	printf("| build          | file bytes | instructions | peak RSS KiB "
	       "|\n");
	printf("|----------------|-----------:|-------------:|-------------:"
	       "|\n");
	for (const auto &b : builds) {
		const std::string size = cell(file_bytes(b.path));
		const std::string count = instructions(b.path);
		const std::string rss = cell(peak_rss_kib(b.path));
		printf("| %-14s | %10s | %12s | %12s |\n", b.label.c_str(),
		       size.c_str(), count.c_str(), rss.c_str());
	}
}

[[noreturn]] void usage()
{
	(void)fprintf(stderr, "usage: echorun-bench [--rounds N] [--smoke] "
			      "LABEL=PATH [LABEL=PATH...]\n");
	exit(2);
}

int parse_rounds(const char *s)
{
	char *end = nullptr;
	errno = 0;
	const long n = strtol(s, &end, 10);
	if (errno != 0 || end == s || *end != '\0' || n < 1 || n > 1000000)
		usage();
	return static_cast<int>(n);
}

// LABEL=PATH, both parts non-empty.
Build parse_build(const std::string &a)
{
	const size_t eq = a.find('=');
	if (a.empty() || a[0] == '-' || eq == 0 || eq == std::string::npos ||
	    eq + 1 == a.size())
		usage();
	return {a.substr(0, eq), a.substr(eq + 1)};
}

struct Options {
	int rounds = 2000;
	std::vector<Build> builds;
};

Options parse(int argc, char *argv[])
{
	Options o;
	bool rounds_given = false;
	bool smoke = false;
	for (int i = 1; i < argc; ++i) {
		const std::string a = argv[i];
		if (a == "--smoke") {
			smoke = true;
		} else if (a == "--rounds" && i + 1 < argc) {
			o.rounds = parse_rounds(argv[++i]);
			rounds_given = true;
		} else {
			o.builds.push_back(parse_build(a));
		}
	}
	if (o.builds.empty())
		usage();
	if (smoke && !rounds_given)
		o.rounds = 20;
	return o;
}

} // namespace

int main(int argc, char *argv[])
{
	const Options o = parse(argc, argv);

	// Whatever our parent ignored would be inherited by every run.
	for (const int sig : {SIGPIPE, SIGINT, SIGHUP, SIGQUIT, SIGCHLD})
		(void)signal(sig, SIG_DFL);

	printf("echorun-bench:");
	for (const auto &b : o.builds)
		printf(" %s=%s", b.label.c_str(), b.path.c_str());
	printf("\n");
	startup_table(o.builds, o.rounds);
	scaling_table(o.builds[0], o.rounds);
	build_table(o.builds);
	if (failures != 0)
		(void)fprintf(stderr, "echorun-bench: %d failed run(s)\n",
			      failures);
	return failures != 0 ? 1 : 0;
}
