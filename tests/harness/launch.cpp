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
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

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
// any order of fields are SIG_DFL, no flags and an empty mask.  Where the
// call takes other arguments (sparc), glibc's sigaction() does what it can.
void set_signals(const launch_opts &opts)
{
	struct sigaction sa {};
	for (int sig = 1; sig < NSIG; sig++)
		if (syscall(SYS_rt_sigaction, sig, &sa, nullptr,
			    (NSIG - 1) / 8) == -1)
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

// The pty's slave, without output processing so that the bytes read back
// are the bytes written, is the controlling terminal of a new session.
void attach_pty(const char *slave)
{
	if (setsid() == -1)
		fail("setsid");
	const int fd = open(slave, O_RDWR);
	if (fd == -1)
		fail("open pty");
	struct termios t;
	if (tcgetattr(fd, &t) == -1)
		fail("tcgetattr");
	t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
	if (tcsetattr(fd, TCSANOW, &t) == -1)
		fail("tcsetattr");
	if (dup2(fd, 0) == -1)
		fail("dup2");
	move_fd(fd, 1);
}

// Leaves open only 0, 1, 2 and the descriptors the test passes on.
void close_others(std::vector<int> keep)
{
	std::sort(keep.begin(), keep.end());
	unsigned lo = 3;
	for (int fd : keep)
		if (static_cast<unsigned>(fd) >= lo) {
			(void)close_range(lo, static_cast<unsigned>(fd) - 1, 0);
			lo = static_cast<unsigned>(fd) + 1;
		}
	(void)close_range(lo, ~0U, 0);
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

// The test run's sanitizer settings go last: getenv() takes the first of
// two, so that a test's own wins.  Unsanitized programs ignore them.
std::vector<std::string> with_sanitizer_options(std::vector<std::string> env)
{
	for (const std::string name :
	     {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
		if (const char *value = getenv(name.c_str()))
			env.push_back(name + "=" + value);
	return env;
}

// The echorun under test: $ECHORUN_BINARY when set and not empty, so that
// CTest can run the suite against each build of echorun, else this build's.
std::string echorun_path()
{
	const char *chosen = getenv("ECHORUN_BINARY");
	return chosen != nullptr && *chosen != '\0' ? chosen : ECHORUN_PATH;
}

[[noreturn]] void child(const launch_opts &opts, const running &r, int out_fd,
			const char *slave)
{
	move_fd(open("/dev/null", O_RDWR), 0);
	move_fd(open(r.err_path.c_str(), O_WRONLY | O_TRUNC), 2);

	switch (opts.out) {
	case sink::pipe:
	case sink::broken_pipe:
		move_fd(out_fd, 1);
		break;
	case sink::file:
		move_fd(open(r.out_path.c_str(), O_WRONLY | O_TRUNC), 1);
		break;
	case sink::pty:
		attach_pty(slave);
		break;
	case sink::closed:
		close(1);
		break;
	case sink::dev_full:
		move_fd(open("/dev/full", O_WRONLY), 1);
		break;
	}
	close_others(opts.keep_fds);
	set_signals(opts);
	if (!opts.cwd.empty() && chdir(opts.cwd.c_str()) == -1)
		fail("chdir");

	const std::vector<std::string> env_strings =
		with_sanitizer_options(opts.env);
	const auto env = c_vector(env_strings);
	const auto argv = c_vector(opts.argv);
	const std::string program =
		opts.program.empty() ? echorun_path() : opts.program;
	if (opts.before_exec)
		opts.before_exec();
	(void)execve(program.c_str(), argv.data(), env.data());
	fail("execve");
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
	if (opts.out == sink::file)
		r.out_path = temp_file();

	int fds[2] = {-1, -1};
	std::string slave;
	if (opts.out == sink::pipe || opts.out == sink::broken_pipe) {
		if (pipe2(fds, O_CLOEXEC) == -1)
			abort();
		// With no reader anywhere, the first write into the pipe fails.
		if (opts.out == sink::broken_pipe) {
			close(fds[0]);
			fds[0] = -1;
		}
	} else if (opts.out == sink::pty) {
		fds[0] = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
		if (fds[0] == -1 || grantpt(fds[0]) == -1 ||
		    unlockpt(fds[0]) == -1)
			abort();
		slave = ptsname(fds[0]);
	}

	r.pid = fork();
	if (r.pid == -1)
		abort();
	if (r.pid == 0)
		child(opts, r, fds[1], slave.c_str());
	if (fds[1] != -1)
		close(fds[1]);
	r.out_fd = fds[0];
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
