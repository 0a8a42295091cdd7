// SPDX-License-Identifier: MIT
// run_command: run one shell command line in a child process and wait for it.
//
// The child echoes the text and a newline to standard output, then becomes
// "/bin/sh -c -- text".  Returns 0 once that child has been created and reaped,
// -1 when there is no text (null) or fork or waitpid fails.  The command's
// own exit status is not reported.  The text is borrowed, never copied or
// changed; the call blocks until the child has ended.
#ifndef ECHORUN_RUN_COMMAND_H
#define ECHORUN_RUN_COMMAND_H

int run_command(const char *command);

#endif
