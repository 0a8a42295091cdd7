// SPDX-License-Identifier: MIT
// echorun: reset five signals to their defaults, echo a shell command line,
// run it through "/bin/sh -c" and wait for it.  Exit status 0 when the
// command was run and waited for, 255 when there was none or fork or wait
// failed; the command's own status is not passed on.
#include <signal.h>

#include "run_command.h"

int main(int argc, char *argv[])
{
	// Parents often leave these ignored: a runtime that ignores SIGPIPE,
	// nohup's SIGHUP, a shell's background job with SIGINT and SIGQUIT, a
	// daemon's SIGCHLD.  An ignored disposition survives exec, so the
	// command would inherit it.  Reset them before the fork: with SIGCHLD
	// ignored the kernel would reap our child itself and the wait would
	// fail.  Every other disposition and the signal mask pass through on
	// purpose.
	(void)signal(SIGPIPE, SIG_DFL);
	(void)signal(SIGINT, SIG_DFL);
	(void)signal(SIGHUP, SIG_DFL);
	(void)signal(SIGQUIT, SIG_DFL);
	(void)signal(SIGCHLD, SIG_DFL);

	// Only the first argument is run; the rest are ignored, never handed
	// to the shell as positional parameters.  A result of -1 reaches the
	// parent as exit status 255, the low eight bits of -1.
	return run_command(argc >= 2 ? argv[1] : nullptr);
}
