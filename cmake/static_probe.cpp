// SPDX-License-Identifier: MIT
// Linked at configure time as a static echorun would be, and run.  It exits
// 0 only if the kernel started it without a dynamic loader (which a driver
// with no rule for a static PIE still names) and its start-up applied its
// relocations, which the table below needs in a PIE.
#include <elf.h>
#include <link.h>
#include <stdio.h>
#include <sys/auxv.h>

static const char *const words[] = {"static", "start-up", "works"};

int main()
{
	const auto *header =
		reinterpret_cast<const ElfW(Phdr) *>(getauxval(AT_PHDR));
	const unsigned long count = getauxval(AT_PHNUM);

	for (unsigned long i = 0; i < count; i++)
		if (header[i].p_type == PT_INTERP)
			return 2;
	return puts(words[2]) >= 0 ? 0 : 1;
}
