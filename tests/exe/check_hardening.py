#!/usr/bin/env python3
"""Reads panel.exe's PE headers and checks that the program is built hardened.

    check_hardening.py PANEL.EXE LINK.MAP

- the image may be moved, to a 64-bit address (DYNAMIC_BASE, HIGH_ENTROPY_VA), and can be:
  its relocation directory is there and the relocations were not stripped;
- data is not executable (NX_COMPAT) and no section is both writable and executable;
- it is a GUI program, and it imports from Windows system DLLs only;
- functions of the program carry a stack canary: the link map shows the program's own objects
  pulling in the stack protector's handler and guard, and the handler is in the image.
Exits non-zero and says what is wrong otherwise.
"""

import re
import struct
import sys

DYNAMIC_BASE = 0x0040
HIGH_ENTROPY_VA = 0x0020
NX_COMPAT = 0x0100
RELOCS_STRIPPED = 0x0001
SCN_MEM_EXECUTE = 0x20000000
SCN_MEM_WRITE = 0x80000000
SUBSYSTEM_WINDOWS_GUI = 2
PE32_PLUS = 0x20B
DIR_IMPORT = 1
DIR_BASERELOC = 5

# What Windows itself provides; anything else (a compiler's runtime DLL) would have to ship
# with the program.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "oleaut32.dll", "shell32.dll", "user32.dll", "uxtheme.dll", "ws2_32.dll",
}


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        coff = pe + 4
        (_machine, sections, _time, _symtab, _symbols, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, coff)
        opt = coff + 20
        self.magic = struct.unpack_from("<H", data, opt)[0]
        if self.magic != PE32_PLUS:
            raise ValueError("not a 64-bit image (magic %#x)" % self.magic)
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, opt + 68)
        dir_count = struct.unpack_from("<I", data, opt + 108)[0]
        self.directories = [struct.unpack_from("<II", data, opt + 112 + 8 * i)
                            for i in range(dir_count)]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            entry = table + 40 * i
            name = data[entry:entry + 8].rstrip(b"\0").decode("latin-1")
            vsize, vaddr, raw_size, raw_ptr = struct.unpack_from("<IIII", data, entry + 8)
            flags = struct.unpack_from("<I", data, entry + 36)[0]
            self.sections.append((name, vaddr, max(vsize, raw_size), raw_ptr, flags))

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def offset(self, rva):
        for _name, vaddr, size, raw_ptr, _flags in self.sections:
            if vaddr <= rva < vaddr + size:
                return raw_ptr + rva - vaddr
        raise ValueError("address %#x lies in no section" % rva)

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def imported_dlls(self):
        rva, size = self.directory(DIR_IMPORT)
        if not size:
            return []
        names = []
        at = self.offset(rva)
        while True:
            lookup, _time, _chain, name_rva, thunks = struct.unpack_from("<IIIII", self.data, at)
            if not (lookup or name_rva or thunks):
                return names
            names.append(self.c_string(name_rva))
            at += 20


def check(exe_path, map_path):
    problems = []
    with open(exe_path, "rb") as f:
        image = Image(f.read())

    for bit, name in ((DYNAMIC_BASE, "DYNAMIC_BASE"), (HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA"),
                      (NX_COMPAT, "NX_COMPAT")):
        if not image.dll_characteristics & bit:
            problems.append("DllCharacteristics %#06x lacks %s" % (image.dll_characteristics, name))
    if image.characteristics & RELOCS_STRIPPED:
        problems.append("relocations stripped: the image cannot be moved")
    reloc_rva, reloc_size = image.directory(DIR_BASERELOC)
    if not reloc_size:
        problems.append("no base relocation directory")
    else:
        image.offset(reloc_rva)  # it must lie in a section
    for name, _vaddr, _size, _ptr, flags in image.sections:
        if flags & SCN_MEM_WRITE and flags & SCN_MEM_EXECUTE:
            problems.append("section %s is both writable and executable" % name)
    if image.subsystem != SUBSYSTEM_WINDOWS_GUI:
        problems.append("subsystem %d, not the Windows GUI" % image.subsystem)
    dlls = image.imported_dlls()
    if not dlls:
        problems.append("no imports found")
    for dll in dlls:
        if dll.lower() not in SYSTEM_DLLS:
            problems.append("imports %s, which is not a Windows system DLL" % dll)

    # The map lists each archive member with the object and symbol that pulled it in.
    with open(map_path, encoding="latin-1") as f:
        link_map = f.read()
    own = r"(?:panel|elements|serial)/lib\w+\.a\(\w+\.cpp\.obj\)|CMakeFiles/panel\.dir/"
    if not re.search(r"libssp\.a\([^)]*\)\s*\n\s*(?:%s)\S*\s+\(__stack_chk_fail\)" % own,
                     link_map):
        problems.append("no object of the program calls __stack_chk_fail: no canaries")
    if not re.search(r"\.refptr\.__stack_chk_guard\s*\n\s*0x[0-9a-f]+\s+0x[0-9a-f]+\s+(?:%s)"
                     % own, link_map):
        problems.append("no object of the program reads __stack_chk_guard")
    if b"stack smashing detected" not in image.data:
        problems.append("the stack protector's handler is not in the image")
    return problems


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    problems = check(sys.argv[1], sys.argv[2])
    for p in problems:
        print("%s: %s" % (sys.argv[1], p))
    if problems:
        return 1
    print("%s: hardened (DllCharacteristics, relocations, sections, imports, canaries)"
          % sys.argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main())
