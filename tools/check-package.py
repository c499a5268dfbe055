#!/usr/bin/python3
"""Checks the release zips that tools/package.sh wrote, from inside: the members, the two sounds
(plain PCM WAVs), and each Harkwell.exe's machine type, version resource, manifest, icon sizes,
imported DLLs and hardening. Prints a table; exits 1 on any failure.

Usage: check-package.py [DIST_FOLDER [VERSION_FILE]]
  (defaults: dist, and build/package-x64/version.txt: the version, then its short form)
"""

import io, struct, sys, wave, zipfile
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import pefile  # Debian's python3-pefile

ROOT = Path(__file__).resolve().parent.parent

MACHINES = {"win64": (0x8664, "x86_64"), "win32": (0x14C, "i386")}
MEMBERS = {"Harkwell.exe", "README.txt", "LICENSE", "sounds/join.wav", "sounds/leave.wav"}
# The KnownDLLs of every Windows from 7 to 11, which Windows takes from System32 alone; any other
# DLL is looked for beside the exe first, where anyone could plant one, or is missing outright
# (libstdc++-6.dll, ...). comctl32 comes from the side-by-side store the manifest names.
KNOWN_DLLS = {"advapi32.dll", "clbcatq.dll", "comdlg32.dll", "difxapi.dll", "gdi32.dll", "imagehlp.dll",
              "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll",
              "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shell32.dll",
              "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll"}
# The compatibility section's Windows 7, 8, 8.1 and 10/11.
SUPPORTED_OS = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8",
                "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10"}


def resource(pe, kind):
    """The bytes of resource 1 of type `kind` (RT_MANIFEST, ...), or None."""
    for entry in getattr(getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None), "entries", []):
        if entry.id == pefile.RESOURCE_TYPE[kind]:
            for item in entry.directory.entries:
                if item.id == 1:
                    data = item.directory.entries[0].data.struct
                    return pe.get_data(data.OffsetToData, data.Size)
    return None


def versions(pe):
    """'FILEVERSION, PRODUCTVERSION' and 'FileVersion, ProductVersion' of the version resource."""
    if not hasattr(pe, "VS_FIXEDFILEINFO"):
        return "none", "none"
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = [f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}" for ms, ls in (
        (fixed.FileVersionMS, fixed.FileVersionLS), (fixed.ProductVersionMS, fixed.ProductVersionLS))]
    strings = {k.decode(): v.decode() for info in pe.FileInfo[0] for table in getattr(info, "StringTable", [])
               for k, v in table.entries.items()}
    return ", ".join(numbers), f"{strings.get('FileVersion')}, {strings.get('ProductVersion')}"


def manifest_summary(pe):
    """The Common-Controls version, execution level, DPI awareness and supported Windows."""
    manifest = resource(pe, "RT_MANIFEST")
    if manifest is None:
        return "no RT_MANIFEST 1"
    found, systems = {}, []
    for element in ElementTree.fromstring(manifest).iter():
        tag = element.tag.rsplit("}", 1)[-1]
        if tag == "assemblyIdentity" and element.get("name") == "Microsoft.Windows.Common-Controls":
            found["controls"] = element.get("version")
        elif tag in ("requestedExecutionLevel", "dpiAware"):
            found[tag] = element.get("level") if tag == "requestedExecutionLevel" else element.text
        elif tag == "supportedOS":
            systems.append(SUPPORTED_OS.get(element.get("Id", "").lower(), element.get("Id")))
    return (f"Common-Controls {found.get('controls')}, {found.get('requestedExecutionLevel')}, "
            f"dpiAware {found.get('dpiAware')}, Windows {' '.join(systems) or 'none'}")


def icon_sizes(pe):
    """The program icon's image sizes by colour depth: '32-bit 16 20 ...; 4-bit ...'."""
    group = resource(pe, "RT_GROUP_ICON")
    if group is None:
        return "no RT_GROUP_ICON 1"
    by_depth = {}
    for i in range(struct.unpack_from("<H", group, 4)[0]):
        width, _, _, _, _, bits = struct.unpack_from("<BBBBHH", group, 6 + 14 * i)
        by_depth.setdefault(bits, []).append(width or 256)
    return "; ".join(f"{bits}-bit {' '.join(map(str, sorted(sizes)))}"
                     for bits, sizes in sorted(by_depth.items(), reverse=True))


def exe_rows(pe, data, flavour, version_file):
    """(what, expected, found) for each property the exe must have."""
    version, short = version_file.read_text().split()
    machine, machine_name = MACHINES[flavour]
    optional, characteristics = pe.OPTIONAL_HEADER, pe.OPTIONAL_HEADER.DllCharacteristics
    relocations = optional.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    stripped = pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_RELOCS_STRIPPED"]
    entries = getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) + getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])
    dlls = sorted({entry.dll.decode() for entry in entries}, key=str.lower)
    foreign = [dll for dll in dlls if dll.lower() not in KNOWN_DLLS | {"comctl32.dll"}]
    print(f"Harkwell-{version}-{flavour}.zip imports: {' '.join(dlls)}")

    def flag(name):
        return "yes" if characteristics & pefile.DLL_CHARACTERISTICS[f"IMAGE_DLLCHARACTERISTICS_{name}"] else "no"

    return [
        ("machine", machine_name, machine_name if pe.FILE_HEADER.Machine == machine else hex(pe.FILE_HEADER.Machine)),
        ("FILEVERSION, PRODUCTVERSION", f"{version}.0, {version}.0", versions(pe)[0]),
        ("FileVersion, ProductVersion", f"{short}, {short}", versions(pe)[1]),
        ("manifest", "Common-Controls 6.0.0.0, asInvoker, dpiAware true, Windows 7 8 8.1 10", manifest_summary(pe)),
        ("icon sizes", "32-bit 16 20 24 32 40 48 64 256; 4-bit 16 32", icon_sizes(pe)),
        ("imports", "KnownDLLs and comctl32 only",
         "KnownDLLs and comctl32 only" if not foreign else "also " + " ".join(foreign)),
        ("dynamic base, relocations", "yes, yes",
         f"{flag('DYNAMIC_BASE')}, {'yes' if relocations.Size and not stripped else 'no'}"),
        ("NX", "yes", flag("NX_COMPAT")),
        # The 32-bit exe has no high-entropy VA.
        ("high-entropy VA" if flavour == "win64" else "no SEH", "yes",
         flag("HIGH_ENTROPY_VA" if flavour == "win64" else "NO_SEH")),
        ("subsystem, OS version", "6.1, 6.1", f"{optional.MajorSubsystemVersion}.{optional.MinorSubsystemVersion}, "
         f"{optional.MajorOperatingSystemVersion}.{optional.MinorOperatingSystemVersion}"),
        # The exe is stripped: the protector shows by its message.
        ("stack protector", "linked", "linked" if b"stack smashing detected" in data else "missing"),
        ("TimeDateStamp", "0", str(pe.FILE_HEADER.TimeDateStamp)),
    ]


def sound_summary(data):
    """'<channels>ch <rate> Hz <bits>-bit PCM, <seconds> s' of a plain PCM WAV, or what is wrong with it."""
    try:
        with wave.open(io.BytesIO(data)) as sound:  # refuses anything but PCM
            seconds = sound.getnframes() / sound.getframerate()
            length = "under 0.5 s" if seconds < 0.5 else f"{seconds:.2f} s"
            return f"{sound.getnchannels()}ch {sound.getframerate()} Hz {8 * sound.getsampwidth()}-bit PCM, {length}"
    except (wave.Error, EOFError) as error:
        return f"not a PCM WAV ({error})"


def main(argv):
    dist = Path(argv[1] if len(argv) > 1 else ROOT / "dist")
    version_file = Path(argv[2] if len(argv) > 2 else ROOT / "build/package-x64/version.txt")
    version = version_file.read_text().split()[0]
    rows = []  # (zip, what, expected, found)
    for flavour in MACHINES:
        name = f"Harkwell-{version}-{flavour}.zip"
        if not (dist / name).is_file():
            rows.append((name, "zip", "present", "missing"))
            continue
        with zipfile.ZipFile(dist / name) as archive:
            members, broken = set(archive.namelist()), archive.testzip()
            rows.append((name, "members", " ".join(sorted(MEMBERS)),
                         " ".join(sorted(members)) + (f" (bad CRC: {broken})" if broken else "")))
            rows += [(name, sound, "1ch 22050 Hz 16-bit PCM, under 0.5 s",
                      sound_summary(archive.read(sound)) if sound in members else "not a PCM WAV (missing)")
                     for sound in ("sounds/join.wav", "sounds/leave.wav")]
            if "Harkwell.exe" in members:
                exe = archive.read("Harkwell.exe")
                rows += [(name, *row) for row in exe_rows(pefile.PE(data=exe), exe, flavour, version_file)]

    widths = [max(len(str(row[i])) for row in rows) for i in range(3)]
    failures = [row for row in rows if row[2] != row[3]]
    for row in rows:
        print(f"{row[0]:<{widths[0]}}  {row[1]:<{widths[1]}}  {row[2]:<{widths[2]}}  "
              + ("ok" if row[2] == row[3] else f"FAILED: {row[3]}"))
    print(f"package check: {'passed' if not failures else f'{len(failures)} failed'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
