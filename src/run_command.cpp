// SPDX-License-Identifier: MIT
// run_command: fork, echo, exec "/bin/sh -c", wait.  See run_command.h.
//
// This is not system(3): it echoes the command, ignores or blocks no signal
// around the wait, names the shell by absolute path, and does not collect
// the child's status.
#include "run_command.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

[[noreturn]] void exec_shell(const char *command)
{
	// "--" ends the shell's options, so that a text starting with "-" or
	// "+" is run as a command rather than read as options.  execv takes
	// char *const[] for historical reasons; nothing writes through these.
	char *const argv[] = {
		const_cast<char *>("/bin/sh"), const_cast<char *>("-c"),
		const_cast<char *>("--"), const_cast<char *>(command), nullptr};

	(void)puts(command);
	// On a pipe or a file stdout is fully buffered, and the exec would
	// throw the buffered echo away with the rest of this image.  A reader
	// that has gone raises SIGPIPE here, before the shell starts, as it
	// would for any writer with SIGPIPE at its default.
	(void)fflush(stdout);

	(void)execv("/bin/sh", argv);

	// exit, not _exit: it flushes "error" (and an echo that could not be
	// written before).  Nothing else is buffered, since the parent writes
	// nothing before it forks.
	(void)puts("error");
	exit(127);
}

} // namespace

int run_command(const char *command)
{
	if (command == nullptr)
		return -1;

	const pid_t pid = fork();
	if (pid == -1)
		return -1;
	if (pid == 0)
		exec_shell(command);

	// One wait, for this child only.  Its status is not ours to report:
	// 0 says only that the command was handed over and has ended.  No
	// retry on EINTR: echorun installs no handler, and exec reset any the
	// caller had, so a signal either ends echorun or leaves the wait
	// undisturbed; it never interrupts the wait and returns.
	return waitpid(pid, nullptr, 0) > 0 ? 0 : -1;
}
