// SPDX-License-Identifier: MIT
// probe_shell: stands in for /bin/sh inside a private mount namespace and
// reports the state it was started with, before any shell could change it:
// its arguments, signal mask and ignored set, and open descriptors.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>

int main(int argc, char *argv[])
{
	for (int i = 0; i < argc; i++)
		printf("argv[%d]=%s\n", i, argv[i]);

	if (FILE *f = fopen("/proc/self/status", "r")) {
		char line[256];
		while (fgets(line, sizeof line, f) != nullptr)
			if (strncmp(line, "SigBlk:", 7) == 0 ||
			    strncmp(line, "SigIgn:", 7) == 0)
				(void)fputs(line, stdout);
		(void)fclose(f);
	}

	// The directory stream's own descriptor is left out of the list.
	if (DIR *d = opendir("/proc/self/fd")) {
		printf("fds:");
		// One stream, one thread: readdir is safe, and glibc deprecates
		// readdir_r.
		// cppcheck-suppress readdirCalled
		while (const dirent *e = readdir(d))
			if (e->d_name[0] != '.' &&
			    strtol(e->d_name, nullptr, 10) != dirfd(d))
				printf(" %s", e->d_name);
		printf("\n");
		closedir(d);
	}
	return 0;
}
