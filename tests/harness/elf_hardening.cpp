// SPDX-License-Identifier: MIT
// elf_hardening: see elf_hardening.h.
#include "elf_hardening.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <elf.h>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using bytes = std::vector<unsigned char>;
using code = std::span<const unsigned char>;

// The record types of one ELF class, and how a relocation names its symbol.
struct elf32 {
	using ehdr = Elf32_Ehdr;
	using phdr = Elf32_Phdr;
	using shdr = Elf32_Shdr;
	using dyn = Elf32_Dyn;
	using sym = Elf32_Sym;
	using rel = Elf32_Rel; // how an Elf32_Rela starts too
	static constexpr uint64_t address_mask = 0xffffffffU;
	static uint64_t rel_sym(uint64_t info)
	{
		return info >> 8;
	}
};

struct elf64 {
	using ehdr = Elf64_Ehdr;
	using phdr = Elf64_Phdr;
	using shdr = Elf64_Shdr;
	using dyn = Elf64_Dyn;
	using sym = Elf64_Sym;
	using rel = Elf64_Rel;
	static constexpr uint64_t address_mask = ~uint64_t{0};
	static uint64_t rel_sym(uint64_t info)
	{
		return info >> 32;
	}
};

// The file image, read with bounds checks and in the file's byte order.
class image {
      public:
	image(bytes data, bool swap) : data_(std::move(data)), swap_(swap)
	{
	}

	// Copies a record out, or fails if it would run past the end.
	template <typename T> bool read(uint64_t off, T &out) const
	{
		const code c = at(off, sizeof(T));
		if (c.empty())
			return false;
		std::memcpy(&out, c.data(), sizeof(T));
		return true;
	}

	// A field of a copied record, in this machine's byte order.
	template <typename T> uint64_t operator()(T field) const
	{
		static_assert(std::is_integral_v<T>);
		if (swap_) {
			unsigned char b[sizeof field];
			std::memcpy(b, &field, sizeof field);
			std::reverse(std::begin(b), std::end(b));
			std::memcpy(&field, b, sizeof field);
		}
		return static_cast<uint64_t>(field);
	}

	// The bytes [off, off + size), or none if they are not all there.
	code at(uint64_t off, uint64_t size) const
	{
		if (size == 0 || off > data_.size() ||
		    data_.size() - off < size)
			return {};
		return {data_.data() + static_cast<size_t>(off),
			static_cast<size_t>(size)};
	}

	// A string from a string table, cut at the end of the table.
	std::string_view string(uint64_t table, uint64_t size,
				uint64_t index) const
	{
		const code c =
			index < size ? at(table + index, size - index) : code{};
		if (c.empty())
			return {};
		const auto *s = reinterpret_cast<const char *>(c.data());
		return {s, strnlen(s, c.size())};
	}

      private:
	bytes data_;
	bool swap_;
};

enum class isa { x86_64, i386, aarch64, other };

uint32_t le32(const unsigned char *p)
{
	return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) |
	       static_cast<uint32_t>(p[3]) << 24;
}

// The low `bits` of v as a two's complement number, widened.
uint64_t sext(uint64_t v, unsigned bits)
{
	const uint64_t sign = uint64_t{1} << (bits - 1);
	return ((v & ((sign << 1) - 1)) ^ sign) - sign;
}

// Where some code calls or jumps: direct targets, and the pointer slots it
// calls or jumps through.  x86 code is scanned at every byte offset (see
// elf_hardening.h); `got` is the i386 GOT's address, which %ebx holds in
// position-independent code.
struct branches {
	std::vector<uint64_t> targets;
	std::vector<uint64_t> slots;
};

void decode_x86(isa m, code c, uint64_t addr, uint64_t got, branches &b)
{
	for (size_t i = 0; i + 5 <= c.size(); i++) {
		const uint64_t rel = sext(le32(&c[i + 1]), 32);
		if (c[i] == 0xe8 || c[i] == 0xe9) // call, jmp rel32
			b.targets.push_back(addr + i + 5 + rel);
		if (i + 6 > c.size() || c[i] != 0xff)
			continue;
		const uint64_t disp = sext(le32(&c[i + 2]), 32);
		if (m == isa::x86_64 && (c[i + 1] == 0x15 || c[i + 1] == 0x25))
			b.slots.push_back(addr + i + 6 + disp); // *disp(%rip)
		if (m == isa::i386 && (c[i + 1] == 0x93 || c[i + 1] == 0xa3))
			b.slots.push_back(got + disp); // *disp(%ebx)
		if (m == isa::i386 && c[i + 1] == 0x25)
			b.slots.push_back(le32(&c[i + 2])); // jmp *abs32
	}
}

// AArch64 instructions are little-endian words, whatever the data order.
void decode_aarch64(code c, uint64_t addr, branches &b)
{
	for (size_t i = 0; i + 4 <= c.size(); i += 4) {
		const uint32_t w = le32(&c[i]);
		const uint64_t pc = addr + i;
		if ((w & 0x7c000000) == 0x14000000) // b, bl
			b.targets.push_back(pc + sext(uint64_t{w} << 2, 28));
		if ((w & 0x9f000000) != 0x90000000 || i + 8 > c.size())
			continue;
		// adrp xN, page; ldr xM, [xN, #off]: the slot at page + off.
		const uint64_t imm = (w >> 29 & 3) | (w >> 5 & 0x7ffff) << 2;
		const uint64_t page =
			(pc & ~uint64_t{0xfff}) + sext(imm << 12, 33);
		const uint32_t ldr = le32(&c[i + 4]);
		if ((ldr & 0xffc00000) == 0xf9400000 &&
		    (ldr >> 5 & 31) == (w & 31))
			b.slots.push_back(page +
					  uint64_t{ldr >> 10 & 0xfff} * 8);
	}
}

// Our functions, and the clones a compiler may split off them, such as
// "main.cold" or "_Z11run_commandPKc.part.0".
bool is_ours(std::string_view name)
{
	constexpr std::string_view ours[] = {
		"main", "_Z11run_commandPKc",
		"_ZN12_GLOBAL__N_110exec_shellEPKc"};
	return std::ranges::any_of(ours, [name](std::string_view f) {
		return name == f ||
		       (name.starts_with(f) && name.size() > f.size() &&
			name[f.size()] == '.');
	});
}

bool is_handler(std::string_view name)
{
	return name == "__stack_chk_fail" || name == "__stack_chk_fail_local";
}

// Reads a file of one ELF class (elf32 or elf64) into an elf_hardening.
template <typename C> class reader {
      public:
	reader(const image &f, elf_hardening &r) : f_(f), r_(r)
	{
	}

	void run()
	{
		typename C::ehdr eh{};
		if (!f_.read(0, eh)) {
			r_.error = "ELF header past the end";
			return;
		}
		read_program_headers(eh);
		if (r_.error.empty())
			read_sections(eh);
		if (r_.error.empty())
			find_stack_protector(f_(eh.e_machine));
	}

      private:
	struct symbol {
		std::string_view name;
		uint64_t value = 0;
		uint64_t size = 0;
		bool defined = false;
		bool function = false;
	};

	const image &f_;
	elf_hardening &r_;
	std::vector<typename C::shdr> sections_;
	uint64_t shstrndx_ = 0;

	void read_dynamic(const typename C::phdr &ph, bool &pie_flag)
	{
		const uint64_t end = f_(ph.p_offset) + f_(ph.p_filesz);
		for (uint64_t off = f_(ph.p_offset); off < end;
		     off += sizeof(typename C::dyn)) {
			typename C::dyn d{};
			if (!f_.read(off, d) || f_(d.d_tag) == DT_NULL)
				return;
			const uint64_t tag = f_(d.d_tag);
			const uint64_t val = f_(d.d_un.d_val);
			if (tag == DT_BIND_NOW ||
			    (tag == DT_FLAGS && (val & DF_BIND_NOW) != 0) ||
			    (tag == DT_FLAGS_1 && (val & DF_1_NOW) != 0))
				r_.bind_now = true;
			if (tag == DT_FLAGS_1 && (val & DF_1_PIE) != 0)
				pie_flag = true;
		}
	}

	void read_program_headers(const typename C::ehdr &eh)
	{
		bool interp = false;
		bool pie_flag = false;
		for (uint64_t i = 0; i < f_(eh.e_phnum); i++) {
			typename C::phdr ph{};
			if (!f_.read(f_(eh.e_phoff) + i * f_(eh.e_phentsize),
				     ph)) {
				r_.error = "program header table past the end";
				return;
			}
			const uint64_t type = f_(ph.p_type);
			if (type == PT_INTERP)
				interp = true;
			if (type == PT_GNU_RELRO)
				r_.relro = true;
			if (type == PT_GNU_STACK)
				r_.nx_stack = (f_(ph.p_flags) & PF_X) == 0;
			if (type == PT_DYNAMIC)
				read_dynamic(ph, pie_flag);
		}
		// A shared library is ET_DYN too, but has neither an
		// interpreter nor the PIE flag; a static PIE has the flag and
		// no interpreter.
		r_.pie = f_(eh.e_type) == ET_DYN && (interp || pie_flag);
	}

	void read_sections(const typename C::ehdr &eh)
	{
		shstrndx_ = f_(eh.e_shstrndx);
		// e_shnum is 16 bits wide: this fits any size_t.
		sections_.resize(static_cast<size_t>(f_(eh.e_shnum)));
		for (size_t i = 0; i < sections_.size(); i++)
			if (!f_.read(f_(eh.e_shoff) + i * f_(eh.e_shentsize),
				     sections_[i])) {
				r_.error = "section header table past the end";
				return;
			}
	}

	const typename C::shdr *section(uint64_t index) const
	{
		return index < sections_.size()
			       ? &sections_[static_cast<size_t>(index)]
			       : nullptr;
	}

	std::string_view section_name(const typename C::shdr &sh) const
	{
		const typename C::shdr *names = section(shstrndx_);
		return names == nullptr
			       ? std::string_view{}
			       : f_.string(f_(names->sh_offset),
					   f_(names->sh_size), f_(sh.sh_name));
	}

	// The entries of a table section, if it lies wholly in the file.
	uint64_t entries(const typename C::shdr &sh, uint64_t entry) const
	{
		const uint64_t size = f_(sh.sh_size);
		return f_.at(f_(sh.sh_offset), size).empty() ? 0 : size / entry;
	}

	symbol read_symbol(const typename C::shdr &table, uint64_t i) const
	{
		typename C::sym s{};
		const typename C::shdr *strtab = section(f_(table.sh_link));
		if (strtab == nullptr ||
		    !f_.read(f_(table.sh_offset) + i * sizeof s, s))
			return {};
		const uint64_t shndx = f_(s.st_shndx);
		return {f_.string(f_(strtab->sh_offset), f_(strtab->sh_size),
				  f_(s.st_name)),
			f_(s.st_value), f_(s.st_size),
			shndx != SHN_UNDEF && shndx < SHN_LORESERVE,
			(s.st_info & 0xf) == STT_FUNC};
	}

	// The loaded bytes at a virtual address, from the section that holds
	// them, or none.
	code loaded(uint64_t addr, uint64_t size) const
	{
		for (const typename C::shdr &sh : sections_) {
			const uint64_t start = f_(sh.sh_addr);
			if (f_(sh.sh_type) == SHT_NOBITS ||
			    (f_(sh.sh_flags) & SHF_ALLOC) == 0 ||
			    addr < start || addr - start >= f_(sh.sh_size) ||
			    f_(sh.sh_size) - (addr - start) < size)
				continue;
			return f_.at(f_(sh.sh_offset) + (addr - start), size);
		}
		return {};
	}

	// The GOT slots that relocations in `sh` bind to the handler.
	void bound_slots(const typename C::shdr &sh,
			 std::vector<uint64_t> &slots) const
	{
		const uint64_t entry = f_(sh.sh_entsize);
		const typename C::shdr *symtab = section(f_(sh.sh_link));
		if (entry < sizeof(typename C::rel) || symtab == nullptr)
			return;
		for (uint64_t i = 0; i < entries(sh, entry); i++) {
			typename C::rel rel{};
			if (f_.read(f_(sh.sh_offset) + i * entry, rel) &&
			    is_handler(read_symbol(*symtab,
						   C::rel_sym(f_(rel.r_info)))
					       .name))
				slots.push_back(f_(rel.r_offset));
		}
	}

	bool in_plt(uint64_t addr) const
	{
		return std::ranges::any_of(
			sections_, [this, addr](const typename C::shdr &sh) {
				return section_name(sh).starts_with(".plt") &&
				       addr - f_(sh.sh_addr) < f_(sh.sh_size);
			});
	}

	static branches decode(isa m, code c, uint64_t addr, uint64_t got)
	{
		branches b;
		if (m == isa::aarch64)
			decode_aarch64(c, addr, b);
		else
			decode_x86(m, c, addr, got, b);
		for (uint64_t &t : b.targets)
			t &= C::address_mask;
		for (uint64_t &s : b.slots)
			s &= C::address_mask;
		return b;
	}

	void find_stack_protector(uint64_t machine)
	{
		const isa m = machine == EM_X86_64    ? isa::x86_64
			      : machine == EM_386     ? isa::i386
			      : machine == EM_AARCH64 ? isa::aarch64
						      : isa::other;
		if (m == isa::other) {
			r_.stack_protector_unchecked =
				"calls are not decoded for ELF machine " +
				std::to_string(machine);
			return;
		}
		// The handler's addresses, the GOT slots bound to it, and the
		// code of our functions.
		std::vector<uint64_t> handlers;
		std::vector<uint64_t> slots;
		std::vector<std::pair<uint64_t, code>> ours;
		uint64_t got = 0;
		for (const typename C::shdr &sh : sections_) {
			const uint64_t type = f_(sh.sh_type);
			if (type == SHT_REL || type == SHT_RELA)
				bound_slots(sh, slots);
			if (type != SHT_SYMTAB && type != SHT_DYNSYM)
				continue;
			for (uint64_t i = 0;
			     i < entries(sh, sizeof(typename C::sym)); i++) {
				const symbol s = read_symbol(sh, i);
				if (s.defined && is_handler(s.name))
					handlers.push_back(s.value);
				if (s.defined && s.function && is_ours(s.name))
					ours.emplace_back(
						s.value,
						loaded(s.value, s.size));
				if (s.name == "_GLOBAL_OFFSET_TABLE_")
					got = s.value;
			}
		}
		const auto any_in = [](const std::vector<uint64_t> &found,
				       const std::vector<uint64_t> &wanted) {
			return std::any_of(
				found.begin(), found.end(), [&](uint64_t a) {
					return std::find(wanted.begin(),
							 wanted.end(),
							 a) != wanted.end();
				});
		};
		for (const auto &[addr, c] : ours) {
			const branches b = decode(m, c, addr, got);
			if (any_in(b.targets, handlers) ||
			    any_in(b.slots, slots))
				r_.stack_protector = true;
			// A PLT stub's first entry is all there is to it.
			for (uint64_t t : b.targets)
				if (in_plt(t) &&
				    any_in(decode(m, loaded(t, 16), t, got)
						   .slots,
					   slots))
					r_.stack_protector = true;
		}
	}
};

// Class, byte order and machine: bytes 4, 5, 18 and 19 of the ELF header,
// compared as they stand in either file.
bool same_machine(const bytes &file, const bytes &self)
{
	return file.size() >= 20 && self.size() >= 20 &&
	       std::memcmp(file.data(), ELFMAG, SELFMAG) == 0 &&
	       file[EI_CLASS] == self[EI_CLASS] &&
	       file[EI_DATA] == self[EI_DATA] && file[18] == self[18] &&
	       file[19] == self[19];
}

bytes contents(const std::string &path, bool &opened)
{
	std::ifstream in(path, std::ios::binary);
	opened = in.is_open();
	return {std::istreambuf_iterator<char>(in),
		std::istreambuf_iterator<char>()};
}

} // namespace

elf_hardening inspect_elf(const std::string &path)
{
	elf_hardening r;
	bool opened = false;
	bool self_opened = false;
	bytes file = contents(path, opened);
	const bytes self = contents("/proc/self/exe", self_opened);
	if (!opened) {
		r.error = "cannot open " + path;
		return r;
	}
	if (!self_opened || !same_machine(file, self)) {
		r.error = "not an ELF file of this test's class, byte order "
			  "and machine: " +
			  path;
		return r;
	}
	const bool swap = (self[EI_DATA] == ELFDATA2MSB) !=
			  (std::endian::native == std::endian::big);
	const bool is64 = file[EI_CLASS] == ELFCLASS64;
	const image f(std::move(file), swap);
	if (is64)
		reader<elf64>(f, r).run();
	else
		reader<elf32>(f, r).run();
	return r;
}
