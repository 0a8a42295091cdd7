// SPDX-License-Identifier: MIT
// echorun-bench ROUNDS LABEL=PATH...: the start-up time of echorun builds,
// beside env sh -c true, timeout 10 sh -c true and sh -c true; then env sh
// -c TEXT and the first build's echorun TEXT.  Each round spawns every row
// once (stdout on /dev/null) in an order shuffled anew, timed from spawn
// to reap.  Printed: each row's median and the medians of its per-round
// ratios to env and to timeout, paired so that the machine's drift cancels
// out; hyperfine runs each command's rounds as a group and gives no
// per-round ratio.  A run that fails or exits non-zero makes the exit
// status 1; the figures never decide it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Row {
	std::string label;
	std::vector<std::string> args;
	std::vector<double> ms{}; // one time per round
};

int failures = 0; // spawned runs that failed or did not exit 0

// One run of row, spawn to reap, in milliseconds.
double time_run(const Row &row)
{
	std::vector<char *> argv;
	for (const auto &a : row.args)
		argv.push_back(const_cast<char *>(a.c_str()));
	argv.push_back(nullptr);
	posix_spawn_file_actions_t fa;
	(void)posix_spawn_file_actions_init(&fa);
	(void)posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null",
					       O_WRONLY, 0);
	const auto begin = std::chrono::steady_clock::now();
	pid_t pid = -1;
	const int rc =
		posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
	int status = -1; // not an exit status: stays so if there is no child
	if (rc == 0)
		(void)waitpid(pid, &status, 0);
	const std::chrono::duration<double, std::milli> ms =
		std::chrono::steady_clock::now() - begin;
	(void)posix_spawn_file_actions_destroy(&fa);
	if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
		(void)fprintf(
			stderr, "echorun-bench: %s: %s (wait status %d)\n",
			row.label.c_str(),
			rc != 0 ? strerror(rc) : "did not exit 0", status);
		++failures;
	}
	return ms.count();
}

double median(std::vector<double> v)
{
	std::sort(v.begin(), v.end());
	const size_t n = v.size();
	return n % 2 != 0 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Median over rounds of a[r] / b[r].
double paired_ratio(const std::vector<double> &a, const std::vector<double> &b)
{
	std::vector<double> q;
	for (size_t r = 0; r < a.size(); ++r)
		q.push_back(a[r] / b[r]);
	return median(q);
}

// Three untimed rounds first, to fill the page cache.
void interleave(std::vector<Row> &rows, long rounds)
{
	std::vector<size_t> order(rows.size());
	std::iota(order.begin(), order.end(), size_t{0});
	// Any seed will do: the shuffle only has to break up fixed orders.
	std::minstd_rand rng(std::random_device{}());
	for (long r = -3; r < rounds; ++r) {
		std::shuffle(order.begin(), order.end(), rng);
		for (const size_t i : order) {
			const double ms = time_run(rows[i]);
			if (r >= 0)
				rows[i].ms.push_back(ms);
		}
	}
}

[[noreturn]] void usage()
{
	(void)fputs("usage: echorun-bench ROUNDS LABEL=PATH...\n", stderr);
	exit(2);
}

} // namespace

int main(int argc, char *argv[])
{
	char *end = nullptr;
	const long rounds = argc < 3 ? 0 : strtol(argv[1], &end, 10);
	if (rounds < 1 || *end != '\0')
		usage();
	std::vector<Row> rows = {
		{"env sh -c true", {"env", "sh", "-c", "true"}},
		{"timeout 10 sh -c true",
		 {"timeout", "10", "sh", "-c", "true"}},
		{"sh -c true", {"sh", "-c", "true"}},
	};
	for (int i = 2; i < argc; ++i) {
		const std::string a = argv[i];
		const size_t eq = a.find('=');
		if (eq == 0 || eq == std::string::npos || eq + 1 == a.size())
			usage();
		rows.push_back({"echorun true, " + a.substr(0, eq),
				{a.substr(eq + 1), "true"}});
	}
	// 131071 bytes, the longest single argument Linux takes: the shell
	// parses all of it, and its copy is paid by echorun and env alike.
	const std::string text = ": " + std::string(131071 - 2, 'x');
	rows.push_back({"env sh -c TEXT", {"env", "sh", "-c", text}});
	rows.push_back({"echorun TEXT, first build", {rows[3].args[0], text}});

	// Whatever our parent ignored would be inherited by every run.
	for (const int sig : {SIGPIPE, SIGINT, SIGHUP, SIGQUIT, SIGCHLD})
		(void)signal(sig, SIG_DFL);
	interleave(rows, rounds);

	printf("%ld interleaved rounds, spawn to reap; ratios are medians of "
	       "per-round ratios\n\n",
	       rounds);
	printf("| command                       | median ms | ratio to env "
	       "| ratio to timeout |\n");
	printf("|-------------------------------|----------:|-------------:"
	       "|-----------------:|\n");
	for (const auto &r : rows)
		printf("| %-29s | %9.3f | %12.3f | %16.3f |\n", r.label.c_str(),
		       median(r.ms), paired_ratio(r.ms, rows[0].ms),
		       paired_ratio(r.ms, rows[1].ms));
	return failures != 0 ? 1 : 0;
}
