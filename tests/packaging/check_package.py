#!/usr/bin/env python3
"""Checks an installation package folder as the oldest supported Windows and
a careful Windows user would meet it.

  check_package.py CHECK PACKAGE_FOLDER

CHECK is one of
  imports    every imported name is exported by Windows XP / Server 2003
  hygiene    NX and dynamic base, no writable code, subsystem versions,
             driver checksum, version 1.0.1.0, debug information beside
  manifests  each program's manifest: elevation, supported systems, DPI
  signature  the driver's signatures verify against the package's certificate

Prints one line per fault and exits 1 when there is any; exits 77 (skipped)
when the package folder has not been built.
"""

import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

from pe_image import (DIRECTORY_RELOCATION, DIRECTORY_SECURITY, RT_MANIFEST, RT_VERSION,
                      PeImage)

HERE = Path(__file__).resolve().parent
EXPORT_LISTS = HERE / "winexports"

FOLDER_ARCH = {"win32": "x86", "win64": "x64"}
# The oldest Windows of each architecture: XP (5.1) and XP x64 / Server 2003 (5.2).
OLDEST_SUBSYSTEM = {"x86": (5, 1), "x64": (5, 2)}
PROGRAMS = ["Cryptelle.exe", "CryptelleSetup.exe", "CryptelleUninstaller.exe", "ShellHelperCT.exe"]
LIBRARIES = ["PromptGuard.dll"]
DRIVER = "cryptdsk.sys"
CERTIFICATE = Path("Certificate") / "CryptelleTestSigning.cer"
VERSION = (1, 0, 1, 0)

DYNAMIC_BASE, NX_COMPAT = 0x0040, 0x0100
RELOCS_STRIPPED = 0x0001
SECTION_EXECUTE, SECTION_WRITE = 0x20000000, 0x80000000
SUBSYSTEM_NATIVE = 1

# What every program's manifest says: administrator rights on every start
# (the device admits only SYSTEM and Administrators), Windows Vista to 11
# named so that the version checks see the true version, and no DPI
# awareness: the dialogs are pictures made for 96 DPI, which Windows scales.
EXECUTION_LEVEL = "requireAdministrator"
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10 and 11",
}
DPI_AWARE = "false"
NAMESPACES = {
    "asm1": "urn:schemas-microsoft-com:asm.v1",
    "asm3": "urn:schemas-microsoft-com:asm.v3",
    "compat": "urn:schemas-microsoft-com:compatibility.v1",
    "settings": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
}


def export_list(dll, arch):
    path = EXPORT_LISTS / f"{Path(dll).stem}.{arch}.txt"
    if not path.exists():
        return None
    lines = path.read_text().splitlines()
    return {line for line in lines if line and not line.startswith("#")}


def check_imports(package, arch, faults):
    images = {name: PeImage(package / name) for name in PROGRAMS + LIBRARIES + [DRIVER]}
    for name, image in images.items():
        for dll, names in sorted(image.imports().items()):
            product = next((other for other in images if other.lower() == dll), None)
            exported = images[product].exports() if product else export_list(dll, arch)
            if exported is None:
                faults.append(f"{name}: imports {dll}, for which no {arch} export list exists")
                continue
            for missing in sorted(set(names) - exported):
                faults.append(f"{name}: imports {dll}!{missing}, which Windows XP/2003 "
                              f"({arch}) does not export")


def fixed_versions(image):
    """(file version, product version) of the version resource, or None."""
    for _, data in image.resources(RT_VERSION):
        at = data.find(b"\xbd\x04\xef\xfe")
        if at < 0:
            continue
        words = [int.from_bytes(data[at + offset:at + offset + 4], "little")
                 for offset in (8, 12, 16, 20)]
        split = [(word >> 16, word & 0xFFFF) for word in words]
        return split[0] + split[1], split[2] + split[3]
    return None


def check_debug_beside(package, name, image, faults):
    debug = [section["name"] for section in image.sections if section["name"].startswith(".debug")]
    if debug:
        faults.append(f"{name}: carries debug sections {', '.join(debug)}")
    link = next((s for s in image.sections if s["name"] == ".gnu_debuglink"), None)
    if link is None:
        faults.append(f"{name}: names no debug file (.gnu_debuglink)")
        return
    debug_name = image.text(link["offset"])
    symbols = package.parent / f"{package.name}-symbols" / debug_name
    if not symbols.exists():
        faults.append(f"{name}: its debug file {symbols} is missing")
        return
    producers = re.findall(rb"GNU C[^\0]* -O[^\0]*", symbols.read_bytes())
    if not producers or any(re.search(rb" -O0\b", producer) for producer in producers):
        faults.append(f"{name}: not built optimised (a release build keeps -O2)")


def check_hygiene(package, arch, faults):
    oldest = OLDEST_SUBSYSTEM[arch]
    for name in PROGRAMS + LIBRARIES + [DRIVER]:
        image = PeImage(package / name)
        if image.arch != arch:
            faults.append(f"{name}: built for {image.arch}, package is {arch}")
        if not image.dll_characteristics & NX_COMPAT:
            faults.append(f"{name}: not marked NX-compatible")
        if not image.dll_characteristics & DYNAMIC_BASE:
            faults.append(f"{name}: not marked dynamic-base")
        if image.characteristics & RELOCS_STRIPPED or not image.directory(DIRECTORY_RELOCATION)[1]:
            faults.append(f"{name}: has no relocations, so it cannot move")
        for section in image.sections:
            if section["flags"] & SECTION_WRITE and section["flags"] & SECTION_EXECUTE:
                faults.append(f"{name}: section {section['name']} is writable and executable")
        if name == DRIVER:
            if image.subsystem != SUBSYSTEM_NATIVE or image.subsystem_version != oldest:
                faults.append(f"{name}: subsystem {image.subsystem} version "
                              f"{image.subsystem_version}, expected native {oldest}")
            if image.checksum == 0 or image.checksum != image.computed_checksum():
                faults.append(f"{name}: checksum {image.checksum:#x} is not the image's "
                              f"{image.computed_checksum():#x}")
        elif image.subsystem_version > oldest:
            faults.append(f"{name}: subsystem version {image.subsystem_version} is newer than "
                          f"{oldest}, which the oldest Windows refuses to start")
        versions = fixed_versions(image)
        if versions != (VERSION, VERSION):
            faults.append(f"{name}: version resource {versions}, expected {VERSION}")
        check_debug_beside(package, name, image, faults)


def check_manifests(package, arch, faults):
    for name in PROGRAMS:
        manifests = PeImage(package / name).resources(RT_MANIFEST)
        if [ident for ident, _ in manifests] != [1]:
            faults.append(f"{name}: needs exactly one process manifest (id 1), has "
                          f"{[ident for ident, _ in manifests]}")
            continue
        root = ElementTree.fromstring(manifests[0][1])
        level = root.find(".//asm3:requestedExecutionLevel", NAMESPACES)
        if level is None or level.get("level") != EXECUTION_LEVEL or level.get("uiAccess") != "false":
            faults.append(f"{name}: execution level is not {EXECUTION_LEVEL} without uiAccess")
        declared = {os.get("Id", "").lower()
                    for os in root.findall(".//compat:supportedOS", NAMESPACES)}
        for guid, windows in SUPPORTED_OS.items():
            if guid not in declared:
                faults.append(f"{name}: does not declare Windows {windows} as supported")
        dpi = root.find(".//settings:dpiAware", NAMESPACES)
        if dpi is None or dpi.text.strip().lower() != DPI_AWARE:
            faults.append(f"{name}: does not declare dpiAware {DPI_AWARE}")


def check_signature(package, arch, faults):
    certificate = package / CERTIFICATE
    if not certificate.exists():
        faults.append(f"the package lacks the driver's certificate {CERTIFICATE}")
        return
    for path in package.rglob("*"):
        if path.is_file() and b"PRIVATE KEY" in path.read_bytes():
            faults.append(f"{path.relative_to(package)}: holds a private key")
    image = PeImage(package / DRIVER)
    if not image.directory(DIRECTORY_SECURITY)[1]:
        faults.append(f"{DRIVER}: carries no signature")
        return
    verified = subprocess.run(["osslsigncode", "verify", "-in", str(package / DRIVER),
                               "-CAfile", str(certificate)], capture_output=True, text=True)
    if verified.returncode != 0:
        faults.append(f"{DRIVER}: signature does not verify:\n{verified.stdout}{verified.stderr}")
    # The signature record: WIN_CERTIFICATE's 8-byte header, then PKCS#7.
    offset, size = image.directory(DIRECTORY_SECURITY)
    structure = subprocess.run(["openssl", "asn1parse", "-inform", "DER"],
                               input=image.data[offset + 8:offset + size], capture_output=True)
    objects = set(re.findall(r"OBJECT\s*:(\S+)", structure.stdout.decode()))
    if not {"sha1", "sha256"} <= objects:
        faults.append(f"{DRIVER}: not signed with both SHA-1 and SHA-256")


CHECKS = {"imports": check_imports, "hygiene": check_hygiene,
          "manifests": check_manifests, "signature": check_signature}


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in CHECKS:
        sys.exit(__doc__)
    package = Path(sys.argv[2])
    if not package.is_dir():
        print(f"{package} is not built (build the target `package` of its preset); skipped")
        sys.exit(77)
    faults = []
    CHECKS[sys.argv[1]](package, FOLDER_ARCH[package.name], faults)
    for fault in faults:
        print(fault)
    if faults:
        sys.exit(1)
    print(f"{package}: {sys.argv[1]} ok")


if __name__ == "__main__":
    main()
