// SPDX-License-Identifier: MIT
// elf_hardening: read a built executable with <elf.h> alone and report which
// hardening properties the linker and compiler gave it.
//
// The file must be ELF of the same class, byte order and machine as this
// test program (read from /proc/self/exe); 32- and 64-bit files of either
// byte order are read field by field.  A property counts only when the file
// proves it: a missing program header, dynamic entry or symbol reads as
// "absent", never as "unknown".  A truncated or hostile file gives an error
// or absent properties, never a crash or an endless loop.
//
// Stack protection is judged on echorun's own code, not on the C library
// linked with it (a static libc.a brings its own protected functions and
// __stack_chk_fail, with or without the flag): some function of ours, found
// by name in the symbol table (main, run_command, exec_shell, and compiler
// clones such as "run_command.cold"), must call the failure handler that
// the canary check calls.  A call counts when its target is
//   - a defined __stack_chk_fail or __stack_chk_fail_local (static builds;
//     i386, where the local one is linked into every protected binary), or
//   - a PLT stub, or an indirect call, that goes through a GOT slot which a
//     relocation binds to one of those names (the dynamic build).
// Calls are decoded on x86-64 (call/jmp rel32, call/jmp *slot(%rip)), i386
// (call/jmp rel32, jmp/call *slot(%ebx), jmp *slot) and AArch64 (bl/b,
// adrp+ldr of a slot).  x86 code is scanned at every byte offset, not
// disassembled: a false match needs a stray 0xe8 whose next four bytes
// point exactly at the handler.  On any other machine the property is not
// judged: stack_protector_unchecked says so and stack_protector stays false.
//
// Which functions get a check is the compiler's call.  echorun's only array
// is in exec_shell, which never returns: under -fstack-protector-strong,
// where exec_shell is not inlined into run_command (clang 14, gcc -O0), no
// check is emitted at all and this property is rightly absent.  That is why
// echorun is built with -fstack-protector-all.
#ifndef ECHORUN_TESTS_ELF_HARDENING_H
#define ECHORUN_TESTS_ELF_HARDENING_H

#include <string>

struct elf_hardening {
	std::string error; // non-empty: not a readable ELF file of this machine
	bool pie = false;  // ET_DYN executable (with an interpreter, or PIE)
	bool relro = false;	      // PT_GNU_RELRO
	bool bind_now = false;	      // DT_BIND_NOW, DF_BIND_NOW or DF_1_NOW
	bool nx_stack = false;	      // PT_GNU_STACK without PF_X
	bool stack_protector = false; // our code calls the canary's handler
	std::string stack_protector_unchecked; // non-empty: why not judged
};

elf_hardening inspect_elf(const std::string &path);

#endif
