// SPDX-License-Identifier: MIT
// Linked at configure time in each way the build may link echorun
// statically, and run where the build can run the target's programs.  It
// exits 0 only if the kernel started it without a dynamic loader and its
// start-up applied its relocations: in a PIE the table below needs a
// relative relocation per entry, packed or not.  A link whose driver has
// no rule for a static PIE still names a loader, which on the target does
// not exist.
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
