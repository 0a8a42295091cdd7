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
#include <stddef.h>
#include <sys/auxv.h>
#include <sys/mman.h>

// The linker's name for the ELF header, which a PIE maps at its load
// address.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" const ElfW(Ehdr) __ehdr_start;

namespace {

[[gnu::constructor]] void protect_relro()
{
	const char *const base = reinterpret_cast<const char *>(&__ehdr_start);
	const auto *ph = reinterpret_cast<const ElfW(Phdr) *>(
		base + __ehdr_start.e_phoff);
	// The kernel's page size, which is not the linker's: arm64 and
	// ppc64el kernels often use 64 KiB pages.
	const ElfW(Addr) page = getauxval(AT_PAGESZ);

	for (ElfW(Half) i = 0; i < __ehdr_start.e_phnum; i++) {
		if (ph[i].p_type != PT_GNU_RELRO)
			continue;
		// As a loader does: from the page that holds the start to the
		// last page the segment fills; the data that shares that
		// last, partly RELRO page stays writable.
		const char *start = base + ph[i].p_vaddr;
		const char *end = start + ph[i].p_memsz;
		start -= reinterpret_cast<ElfW(Addr)>(start) % page;
		end -= reinterpret_cast<ElfW(Addr)>(end) % page;
		if (start < end)
			(void)mprotect(const_cast<char *>(start),
				       static_cast<size_t>(end - start),
				       PROT_READ);
	}
}

} // namespace
