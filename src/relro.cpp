// SPDX-License-Identifier: MIT
// relro: make a static PIE's RELRO segment read-only once it is relocated.
//
// A dynamic loader does this for every program it loads, and glibc's static
// start-up does it too; musl's static start-up applies the relocations and
// leaves the segment writable.  So this file is linked into a static musl
// echorun only.  Its constructor runs after the self-relocation and before
// main.
#include <elf.h>
#include <link.h>
#include <sys/auxv.h>
#include <sys/mman.h>

// The linker's name for the ELF header, which a PIE maps at its load
// address.
extern "C" const ElfW(Ehdr) __ehdr_start;

namespace {

[[gnu::constructor]] void protect_relro()
{
	const auto base = reinterpret_cast<ElfW(Addr)>(&__ehdr_start);
	const auto *ph = reinterpret_cast<const ElfW(Phdr) *>(
		base + __ehdr_start.e_phoff);
	// The kernel's page size, which is not the linker's: arm64 and
	// ppc64el kernels often use 64 KiB pages.
	const ElfW(Addr) page = getauxval(AT_PAGESZ);

	for (ElfW(Half) i = 0; i < __ehdr_start.e_phnum; i++) {
		if (ph[i].p_type != PT_GNU_RELRO)
			continue;
		// As a loader does: whole pages only, the last one partly
		// RELRO stays writable for the data that shares it.
		const ElfW(Addr) start = (base + ph[i].p_vaddr) & -page;
		const ElfW(Addr) end =
			(base + ph[i].p_vaddr + ph[i].p_memsz) & -page;
		if (start < end)
			(void)mprotect(reinterpret_cast<void *>(start),
				       end - start, PROT_READ);
	}
}

} // namespace
