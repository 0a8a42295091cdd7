// SPDX-License-Identifier: MIT
// Linked as a static PIE with packed relative relocations and run at
// configure time: it exits 0 only if the C library's start-up applied them,
// since the table below needs a relative relocation per entry.
#include <stdio.h>

static const char *const words[] = {"packed", "relocations", "applied"};

int main()
{
	return puts(words[2]) >= 0 ? 0 : 1;
}
