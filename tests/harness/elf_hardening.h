// SPDX-License-Identifier: MIT
// elf_hardening: read a built x86-64 executable with <elf.h> alone and
// report which hardening properties the linker and compiler gave it.
//
// A property counts only when the file proves it: a missing program header,
// dynamic entry or symbol reads as "absent", never as "unknown".  Both of
// echorun's builds are understood, the dynamic PIE and the static PIE.
#ifndef ECHORUN_TESTS_ELF_HARDENING_H
#define ECHORUN_TESTS_ELF_HARDENING_H

#include <string>

struct elf_hardening {
	std::string error;  // non-empty: not a readable ELF64 x86-64 file
	bool pie = false;   // ET_DYN executable (with an interpreter, or PIE)
	bool relro = false; // PT_GNU_RELRO
	bool bind_now = false;	      // DT_BIND_NOW, DF_BIND_NOW or DF_1_NOW
	bool nx_stack = false;	      // PT_GNU_STACK without PF_X
	bool stack_protector = false; // canary read in run_command's code
};

elf_hardening inspect_elf(const std::string &path);

#endif
