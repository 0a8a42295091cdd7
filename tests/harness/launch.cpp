// SPDX-License-Identifier: MIT
// launch: see launch.h.
#include "launch.h"

#include "files.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <utility>

namespace {

// A run that has not finished after this long is killed: a hung echorun must
// fail its test, not stall the suite.
constexpr int deadline_ms = 30000;

// A test program started with SIGCHLD ignored would have the kernel reap
// what it starts, and every wait here would fail: it waits as it should
// whatever its parent left.
[[maybe_unused]] const auto child_signal_default = signal(SIGCHLD, SIG_DFL);

[[noreturn]] void fail(const char *what)
{
	// Only the child calls this, so the message goes where stderr points.
	dprintf(2, "launch: %s: %s\n", what, strerror(errno));
	_exit(126);
}

void move_fd(int from, int to)
{
	if (from != to && (dup2(from, to) == -1 || close(from) == -1))
		fail("dup2");
}

// Every disposition to its default, 32 and 33 too: glibc's posix_spawn,
// which ninja and make start tests with, leaves them ignored, and glibc's
// sigaction() refuses them.  Zeros read as the kernel's struct sigaction in
// any order of fields are SIG_DFL, no flags and an empty mask.  The kernel's
// signal set is 64 bits, 128 on MIPS, where glibc's NSIG is 65 or 128.
// Where the call takes other arguments (sparc), glibc's sigaction() does
// what it can.
void set_signals(const launch_opts &opts)
{
	struct sigaction sa {};
	const long size = NSIG / 8;
	for (int sig = 1; sig < NSIG; sig++)
		if (syscall(SYS_rt_sigaction, sig, &sa, nullptr, size) == -1)
			(void)sigaction(sig, &sa, nullptr);
	sa.sa_handler = SIG_IGN;
	for (int sig : opts.ignore)
		if (sigaction(sig, &sa, nullptr) == -1)
			fail("sigaction");

	sigset_t mask;
	sigemptyset(&mask);
	for (int sig : opts.block)
		sigaddset(&mask, sig);
	if (sigprocmask(SIG_SETMASK, &mask, nullptr) == -1)
		fail("sigprocmask");
}

// Leaves open only 0, 1, 2 and the descriptors the test passes on.
// close_range(2) is called directly: glibc declares it from 2.34 on only.
void close_others(std::vector<int> keep)
{
	std::sort(keep.begin(), keep.end());
	unsigned lo = 3;
	for (int fd : keep)
		if (static_cast<unsigned>(fd) >= lo) {
			(void)syscall(__NR_close_range, lo,
				      static_cast<unsigned>(fd) - 1, 0);
			lo = static_cast<unsigned>(fd) + 1;
		}
	(void)syscall(__NR_close_range, lo, ~0U, 0);
}

std::vector<char *> c_vector(const std::vector<std::string> &v)
{
	std::vector<char *> c;
	c.reserve(v.size() + 1);
	for (const auto &s : v)
		c.push_back(const_cast<char *>(s.c_str()));
	c.push_back(nullptr);
	return c;
}

// The echorun under test: $ECHORUN_BINARY when set and not empty, so that
// CTest can run the suite against each build of echorun, else this build's.
std::string echorun_path()
{
	const char *chosen = getenv("ECHORUN_BINARY");
	return chosen != nullptr && *chosen != '\0' ? chosen : ECHORUN_PATH;
}

// Standard output becomes `out`, closed when -1; a pty's slave becomes the
// controlling terminal of a new session, and standard input too.
[[noreturn]] void child(const launch_opts &opts, int out, int err)
{
	move_fd(open("/dev/null", O_RDWR), 0);
	move_fd(err, 2);
	if (out == -1)
		(void)close(1);
	else
		move_fd(out, 1);
	if (opts.out == sink::pty && (setsid() == -1 || dup2(1, 0) == -1 ||
				      ioctl(1, TIOCSCTTY, 0) == -1))
		fail("pty");
	close_others(opts.keep_fds);
	set_signals(opts);
	if (!opts.cwd.empty() && chdir(opts.cwd.c_str()) == -1)
		fail("chdir");

	// The test run's sanitizer settings go last: getenv() takes the first
	// of two, so that a test's own wins.  Unsanitized programs ignore them.
	std::vector<std::string> env_strings = opts.env;
	for (const std::string name :
	     {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
		if (const char *value = getenv(name.c_str()))
			env_strings.push_back(name + "=" + value);
	const auto env = c_vector(env_strings);
	const auto argv = c_vector(opts.argv);
	const std::string program =
		opts.program.empty() ? echorun_path() : opts.program;
	if (opts.before_exec)
		opts.before_exec();
	(void)execve(program.c_str(), argv.data(), env.data());
	fail("execve");
}

// A pty whose slave does no output processing, so that the bytes read back
// are the bytes written; returns the slave.
int open_pty(int &master)
{
	int slave = -1;
	struct termios t;
	if (openpty(&master, &slave, nullptr, nullptr, nullptr) == -1 ||
	    tcgetattr(slave, &t) == -1)
		abort();
	t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
	if (tcsetattr(slave, TCSANOW, &t) == -1)
		abort();
	return slave;
}

// Appends what one read returns within ms milliseconds; false on timeout
// and at end of file (or EIO on a pty whose slave side has closed).
bool read_some(int fd, std::string &to, int ms)
{
	struct pollfd p = {fd, POLLIN, 0};
	char buf[65536];
	if (poll(&p, 1, ms) <= 0)
		return false;
	const ssize_t n = read(fd, buf, sizeof buf);
	to.append(buf, static_cast<size_t>(std::max(n, ssize_t{0})));
	return n > 0;
}

} // namespace

const char *sink_name(sink s)
{
	static const char *const names[] = {
		"pipe", "file", "pty", "closed", "dev_full", "broken_pipe"};
	return names[static_cast<int>(s)];
}

std::vector<std::string> plain_env()
{
	return {"PATH=/usr/local/bin:/usr/bin:/bin"};
}

running start(const launch_opts &opts)
{
	running r;
	r.err_path = temp_file();
	const int err = open(r.err_path.c_str(), O_WRONLY);
	int out = -1;
	int fds[2] = {-1, -1};
	switch (opts.out) {
	case sink::pipe:
	case sink::broken_pipe:
		if (pipe2(fds, O_CLOEXEC) == -1)
			abort();
		r.out_fd = fds[0];
		out = fds[1];
		break;
	case sink::file:
		r.out_path = temp_file();
		out = open(r.out_path.c_str(), O_WRONLY);
		break;
	case sink::pty:
		out = open_pty(r.out_fd);
		break;
	case sink::closed:
		break;
	case sink::dev_full:
		out = open("/dev/full", O_WRONLY);
		break;
	}
	// With no reader anywhere, the first write into the pipe fails.
	if (opts.out == sink::broken_pipe)
		(void)close(std::exchange(r.out_fd, -1));

	r.pid = fork();
	if (r.pid == -1)
		abort();
	if (r.pid == 0)
		child(opts, out, err);
	(void)close(err);
	if (out != -1)
		(void)close(out);
	return r;
}

std::string read_until(running &r, const std::string &text, int timeout_ms)
{
	while (r.seen.find(text) == std::string::npos &&
	       read_some(r.out_fd, r.seen, timeout_ms))
		;
	return r.seen;
}

outcome finish(running &r)
{
	outcome o;
	o.out = r.seen;
	if (r.out_fd != -1) {
		while (read_some(r.out_fd, o.out, deadline_ms))
			;
		close(r.out_fd);
	}
	constexpr timespec tick = {0, 10'000'000}; // 10 ms, as counted below
	int status = 0;
	bool done = false;
	for (int waited = 0; waited < deadline_ms && !done; waited += 10) {
		done = waitpid(r.pid, &status, WNOHANG) == r.pid;
		if (!done)
			(void)nanosleep(&tick, nullptr);
	}
	if (!done) {
		kill(r.pid, SIGKILL);
		waitpid(r.pid, &status, 0);
		o.err = "launch: killed after the deadline\n";
	}
	o.status = status;
	// The files go with the scratch directory, when the test program ends.
	if (!r.out_path.empty())
		o.out = slurp(r.out_path);
	o.err += slurp(r.err_path);
	return o;
}

outcome launch(const launch_opts &opts)
{
	running r = start(opts);
	return finish(r);
}

std::string describe(int status)
{
	if (WIFEXITED(status))
		return "exit " + std::to_string(WEXITSTATUS(status));
	if (WIFSIGNALED(status))
		return std::string("signal ") + strsignal(WTERMSIG(status));
	return "status " + std::to_string(status);
}
