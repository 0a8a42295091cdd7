// SPDX-License-Identifier: MIT
// elf_hardening: see elf_hardening.h.
#include "elf_hardening.h"

#include <cstring>
#include <elf.h>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

namespace {

using bytes = std::vector<unsigned char>;

// Copies a T out of the file image, or fails if it would run past the end:
// a truncated or hostile file must give a finding, not a crash.
template <typename T> bool read_at(const bytes &file, size_t off, T &out)
{
	if (off > file.size() || file.size() - off < sizeof(T))
		return false;
	std::memcpy(&out, file.data() + off, sizeof(T));
	return true;
}

// The functions whose frames hold an array, so -fstack-protector-strong
// must guard them: run_command, and the helper it inlines when optimised.
bool is_guarded_function(std::string_view name)
{
	return name == "_Z11run_commandPKc" ||
	       name == "_ZN12_GLOBAL__N_110exec_shellEPKc";
}

// The canary load from the thread control block, "mov %fs:0x28,%reg":
// 64 48|4c 8b modrm(reg, rm=100) 25 28 00 00 00.
bool loads_canary(const unsigned char *code, size_t size)
{
	for (size_t i = 0; i + 9 <= size; i++) {
		const unsigned char *c = code + i;
		if (c[0] == 0x64 && (c[1] == 0x48 || c[1] == 0x4c) &&
		    c[2] == 0x8b && (c[3] & 0xc7) == 0x04 && c[4] == 0x25 &&
		    c[5] == 0x28 && c[6] == 0 && c[7] == 0 && c[8] == 0)
			return true;
	}
	return false;
}

void read_dynamic(const bytes &file, const Elf64_Phdr &ph, elf_hardening &r,
		  bool &pie_flag)
{
	for (size_t off = ph.p_offset; off < ph.p_offset + ph.p_filesz;
	     off += sizeof(Elf64_Dyn)) {
		Elf64_Dyn d;
		if (!read_at(file, off, d) || d.d_tag == DT_NULL)
			return;
		if (d.d_tag == DT_BIND_NOW ||
		    (d.d_tag == DT_FLAGS &&
		     (d.d_un.d_val & DF_BIND_NOW) != 0) ||
		    (d.d_tag == DT_FLAGS_1 && (d.d_un.d_val & DF_1_NOW) != 0))
			r.bind_now = true;
		if (d.d_tag == DT_FLAGS_1 && (d.d_un.d_val & DF_1_PIE) != 0)
			pie_flag = true;
	}
}

void read_program_headers(const bytes &file, const Elf64_Ehdr &eh,
			  elf_hardening &r)
{
	bool interp = false;
	bool pie_flag = false;
	for (size_t i = 0; i < eh.e_phnum; i++) {
		Elf64_Phdr ph;
		if (!read_at(file, eh.e_phoff + i * eh.e_phentsize, ph)) {
			r.error = "program header table past the end";
			return;
		}
		if (ph.p_type == PT_INTERP)
			interp = true;
		if (ph.p_type == PT_GNU_RELRO)
			r.relro = true;
		if (ph.p_type == PT_GNU_STACK)
			r.nx_stack = (ph.p_flags & PF_X) == 0;
		if (ph.p_type == PT_DYNAMIC)
			read_dynamic(file, ph, r, pie_flag);
	}
	// A shared library is ET_DYN too, but has neither an interpreter nor
	// the PIE flag; a static PIE has the flag and no interpreter.
	r.pie = eh.e_type == ET_DYN && (interp || pie_flag);
}

// The name of a symbol, cut at the end of the file if it is not terminated.
std::string_view symbol_name(const bytes &file, const Elf64_Shdr &strtab,
			     const Elf64_Sym &s)
{
	const size_t off = strtab.sh_offset + s.st_name;
	if (s.st_name >= strtab.sh_size || off >= file.size())
		return {};
	const auto *name = reinterpret_cast<const char *>(&file[off]);
	return {name, strnlen(name, file.size() - off)};
}

// Whether the code of a guarded function loads the canary.
bool guarded(const bytes &file, const std::vector<Elf64_Shdr> &sections,
	     const Elf64_Sym &s)
{
	if (s.st_shndx >= sections.size())
		return false;
	const Elf64_Shdr &text = sections[s.st_shndx];
	const size_t code = text.sh_offset + (s.st_value - text.sh_addr);
	return code <= file.size() && s.st_size <= file.size() - code &&
	       loads_canary(&file[code], s.st_size);
}

void read_symbols(const bytes &file, const Elf64_Ehdr &eh, elf_hardening &r)
{
	std::vector<Elf64_Shdr> sections(eh.e_shnum);
	for (size_t i = 0; i < sections.size(); i++)
		if (!read_at(file, eh.e_shoff + i * eh.e_shentsize,
			     sections[i])) {
			r.error = "section header table past the end";
			return;
		}
	for (const Elf64_Shdr &symtab : sections) {
		if (symtab.sh_type != SHT_SYMTAB ||
		    symtab.sh_link >= sections.size())
			continue;
		const Elf64_Shdr &strtab = sections[symtab.sh_link];
		for (size_t i = 0; i < symtab.sh_size / sizeof(Elf64_Sym);
		     i++) {
			Elf64_Sym s;
			if (read_at(file, symtab.sh_offset + i * sizeof s, s) &&
			    ELF64_ST_TYPE(s.st_info) == STT_FUNC &&
			    is_guarded_function(symbol_name(file, strtab, s)) &&
			    guarded(file, sections, s))
				r.stack_protector = true;
		}
	}
}

} // namespace

elf_hardening inspect_elf(const std::string &path)
{
	elf_hardening r;
	std::ifstream in(path, std::ios::binary);
	const bytes file{std::istreambuf_iterator<char>(in),
			 std::istreambuf_iterator<char>()};
	Elf64_Ehdr eh;
	if (!in.is_open() || !read_at(file, 0, eh) ||
	    std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
	    eh.e_ident[EI_CLASS] != ELFCLASS64 ||
	    eh.e_ident[EI_DATA] != ELFDATA2LSB || eh.e_machine != EM_X86_64) {
		r.error = "not an ELF64 x86-64 file: " + path;
		return r;
	}
	read_program_headers(file, eh, r);
	if (r.error.empty())
		read_symbols(file, eh, r);
	return r;
}
