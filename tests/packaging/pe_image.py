"""Reads what the Windows loader reads from a PE image: headers, sections,
imports, exports, resources, the signature directory and the checksum."""

import struct
import sys
from array import array

MACHINE_ARCH = {0x14C: "x86", 0x8664: "x64"}

DIRECTORY_EXPORT, DIRECTORY_IMPORT, DIRECTORY_RESOURCE = 0, 1, 2
DIRECTORY_SECURITY, DIRECTORY_RELOCATION, DIRECTORY_DELAY_IMPORT = 4, 5, 13

RT_VERSION, RT_MANIFEST = 16, 24


class PeImage:
    def __init__(self, path):
        with open(path, "rb") as file:
            self.data = file.read()
        if self.data[:2] != b"MZ":
            raise ValueError(f"{path}: not an MZ image")
        pe = self.u32(0x3C)
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path}: no PE signature")
        (machine, section_count, _, symbols, symbol_count, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", self.data, pe + 4)
        self.arch = MACHINE_ARCH.get(machine, hex(machine))
        optional = pe + 24
        self.pe32_plus = self.u16(optional) == 0x20B
        self.subsystem_version = (self.u16(optional + 48), self.u16(optional + 50))
        self.checksum_offset = optional + 64
        self.checksum = self.u32(self.checksum_offset)
        self.subsystem = self.u16(optional + 68)
        self.dll_characteristics = self.u16(optional + 70)
        directories = optional + (112 if self.pe32_plus else 96)
        count = self.u32(directories - 4)
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i)
                            for i in range(count)]
        strings = symbols + 18 * symbol_count
        self.sections = []
        for i in range(section_count):
            at = optional + optional_size + 40 * i
            raw_name = self.data[at:at + 8].rstrip(b"\0").decode("latin-1")
            if raw_name.startswith("/") and symbols:
                raw_name = self.text(strings + int(raw_name[1:]))
            virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", self.data, at + 8)
            self.sections.append({"name": raw_name, "rva": rva, "size": max(virtual_size, raw_size),
                                  "offset": raw_offset, "flags": self.u32(at + 36)})

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def text(self, offset):
        return self.data[offset:self.data.index(b"\0", offset)].decode("latin-1")

    def offset(self, rva):
        for section in self.sections:
            if section["rva"] <= rva < section["rva"] + section["size"]:
                return rva - section["rva"] + section["offset"]
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imports(self):
        """{dll name in lower case: [imported names, or '#ordinal']}"""
        found = {}
        # Import descriptors (20 bytes: names at +0, or the bound table at
        # +16 when absent; DLL name at +12) and delay-load descriptors
        # (32 bytes: DLL name at +4, names at +16).
        for index, size, name_at, tables_at in ((DIRECTORY_IMPORT, 20, 12, (0, 16)),
                                                (DIRECTORY_DELAY_IMPORT, 32, 4, (16,))):
            rva, _ = self.directory(index)
            while rva:
                at = self.offset(rva)
                name = self.u32(at + name_at)
                if name == 0:
                    break
                table = next((self.u32(at + t) for t in tables_at if self.u32(at + t)), 0)
                found.setdefault(self.text(self.offset(name)).lower(), []).extend(
                    self._thunk_names(table))
                rva += size
        return found

    def _thunk_names(self, rva):
        width, ordinal_flag = (8, 1 << 63) if self.pe32_plus else (4, 1 << 31)
        names = []
        at = self.offset(rva)
        while True:
            thunk = int.from_bytes(self.data[at:at + width], "little")
            if thunk == 0:
                return names
            if thunk & ordinal_flag:
                names.append(f"#{thunk & 0xFFFF}")
            else:
                names.append(self.text(self.offset(thunk & 0x7FFFFFFF) + 2))
            at += width

    def exports(self):
        rva, _ = self.directory(DIRECTORY_EXPORT)
        if not rva:
            return set()
        at = self.offset(rva)
        count, _, names = struct.unpack_from("<III", self.data, at + 24)
        table = self.offset(names)
        return {self.text(self.offset(self.u32(table + 4 * i))) for i in range(count)}

    def resources(self, resource_type):
        """The data of every resource of this type: [(name id, bytes)]."""
        rva, _ = self.directory(DIRECTORY_RESOURCE)
        if not rva:
            return []
        base = self.offset(rva)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                yield ident, target

        found = []
        for type_id, type_dir in entries(0):
            if type_id != resource_type or not type_dir & 0x80000000:
                continue
            for name_id, name_dir in entries(type_dir & 0x7FFFFFFF):
                for _, leaf in entries(name_dir & 0x7FFFFFFF):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(data_rva)
                    found.append((name_id, self.data[start:start + size]))
        return found

    def computed_checksum(self):
        """The checksum the loader expects in the optional header."""
        data = bytearray(self.data)
        data[self.checksum_offset:self.checksum_offset + 4] = b"\0\0\0\0"
        if len(data) % 2:
            data.append(0)
        words = array("H", bytes(data))
        if sys.byteorder == "big":
            words.byteswap()
        total = sum(words)
        while total >> 16:
            total = (total & 0xFFFF) + (total >> 16)
        return total + len(self.data)
