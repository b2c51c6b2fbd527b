#!/usr/bin/python3
"""Structure check of a built 32-bit launcher exe.

Usage: /usr/bin/python3 check_pe.py EXE --name NAME --product PRODUCT
           [--max-size BYTES] [--icon-ref FILE.ico]

Prints one "ok: ..." or "FAIL: ..." line per check; exits 1 if any fails.
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
from collections import namedtuple

try:
    import pefile
except ImportError:
    # Debian's python3-pefile lives only in the system interpreter.
    print("FAIL: cannot import pefile; run with /usr/bin/python3 "
          "(Debian package python3-pefile)")
    sys.exit(2)

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16
LANG_JA = 0x0411
ICON_GROUP_ID = 101

ALLOWED_DLLS = ("KERNEL32.dll", "USER32.dll", "msvcrt.dll")
REQUIRED_DLLS = ("KERNEL32.dll", "USER32.dll")
RUNTIME_DLL = re.compile(r"mingw|libgcc|libstdc\+\+|libwinpthread", re.I)
ALLOC_EXACT = {"malloc", "calloc", "realloc", "free"}
# Prefixes also catch Ex/Numa variants and mangled operator new / new[].
ALLOC_PREFIXES = ("_malloc", "HeapAlloc", "HeapCreate", "HeapReAlloc",
                  "LocalAlloc", "GlobalAlloc", "VirtualAlloc",
                  "RtlAllocateHeap", "??2@", "??_U@", "_Znw", "_Zna")

# (width, height, bColorCount, wBitCount); bColorCount 0 means 256 colours.
ICON_IMAGES = [(32, 32, 0, 8), (16, 16, 0, 8), (16, 16, 16, 4), (32, 32, 16, 4)]

VERSION_MS, VERSION_LS = 0x00010002, 0x00000001
VERSION_TEXT = "1, 2, 0, 1"
STRING_TABLE = "041104b0"
TRANSLATION = [(LANG_JA, 1200)]
STRING_KEYS = ["CompanyName", "FileDescription", "FileVersion",
               "InternalName", "LegalCopyright", "OriginalFilename",
               "ProductName", "ProductVersion"]


class Report:
    def __init__(self):
        self.failures = 0

    def check(self, passed, text, want=None):
        if passed:
            print("ok: " + text)
        else:
            print("FAIL: " + text + (f", want {want}" if want else ""))
            self.failures += 1
        return passed

    def expect(self, label, found, want, show=repr):
        return self.check(found == want, f"{label} {show(found)}", show(want))


def hexid(value, width=4):
    return f"0x{value:0{width}x}"


def id_order(ident):
    """Sort key for resource ids: numbers numerically, then names."""
    return (1, 0, ident) if isinstance(ident, str) else (0, ident, "")


def type_label(type_id):
    name = pefile.RESOURCE_TYPE.get(type_id) if isinstance(type_id, int) else None
    return f"{type_id} ({name})" if name else repr(type_id)


def check_header(pe, r):
    r.expect("optional header magic (PE32)", pe.OPTIONAL_HEADER.Magic, 0x10b, hex)
    r.expect("machine (i386)", pe.FILE_HEADER.Machine, 0x14c, hex)
    r.expect("subsystem (Windows GUI)", pe.OPTIONAL_HEADER.Subsystem, 2)
    flags = pe.FILE_HEADER.Characteristics
    is_image = bool(flags & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_EXECUTABLE_IMAGE"])
    is_dll = bool(flags & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"])
    r.check(is_image and not is_dll,
            f"characteristics {hexid(flags)}: executable image={is_image}, DLL={is_dll}",
            "an executable image that is not a DLL")


def imports_of(pe):
    """[(dll, symbol)] over normal and delay-load imports; symbol '#N' if by ordinal."""
    pe.parse_data_directories(directories=[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"],
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT"]])
    found = []
    for attr in ("DIRECTORY_ENTRY_IMPORT", "DIRECTORY_ENTRY_DELAY_IMPORT"):
        for entry in getattr(pe, attr, []):
            dll = entry.dll.decode("ascii", "replace")
            if not entry.imports:
                found.append((dll, None))
            for imp in entry.imports:
                symbol = (imp.name.decode("ascii", "replace") if imp.name
                          else f"#{imp.ordinal}")
                found.append((dll, symbol))
    return found


def check_imports(pe, r):
    imports = imports_of(pe)
    dlls = sorted({dll for dll, _ in imports}, key=str.lower)
    allowed = {d.lower() for d in ALLOWED_DLLS}
    stray = [d for d in dlls if d.lower() not in allowed]
    r.check(not stray, f"imported DLLs {dlls}"
            + (f"; not allowed: {stray}" if stray else ""))
    missing = [d for d in REQUIRED_DLLS if d.lower() not in {x.lower() for x in dlls}]
    r.check(not missing, f"required DLLs {list(REQUIRED_DLLS)} imported"
            + (f"; missing: {missing}" if missing else ""))
    runtime = [d for d in dlls if RUNTIME_DLL.search(d)]
    r.check(not runtime, "no compiler runtime DLL imported"
            + (f"; found: {runtime}" if runtime else ""))
    bad = []
    for dll, symbol in imports:
        if symbol is None:
            continue
        if symbol.startswith("#"):
            # An ordinal hides which function it is.
            bad.append(f"{dll}!{symbol} (by ordinal)")
        elif symbol in ALLOC_EXACT or symbol.startswith(ALLOC_PREFIXES):
            bad.append(f"{dll}!{symbol}")
    r.check(not bad, f"no allocator among {len(imports)} imports"
            + (f"; found: {bad}" if bad else ""))


def check_size(path, max_size, r):
    size = os.path.getsize(path)
    if max_size is None:
        r.check(True, f"file size {size} bytes (no limit given)")
    else:
        r.check(size <= max_size, f"file size {size} bytes (limit {max_size})")


def resource_table(pe):
    """{type: {name: {lang: bytes}}}, ids as ints, named entries as str."""
    pe.parse_data_directories(directories=[
        pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    table = {}
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    if root is None:
        return None
    label = lambda e: e.id if e.name is None else str(e.name)
    children = lambda e: e.directory.entries if hasattr(e, "directory") else []
    for t in root.entries:
        names = table.setdefault(label(t), {})
        for n in children(t):
            langs = names.setdefault(label(n), {})
            for l in children(n):
                d = l.data.struct
                langs[l.id] = pe.get_data(d.OffsetToData, d.Size)
    return table


def icon_label(entry):
    w, h, colours, bpp = entry
    return f"{w}x{h} {bpp}bpp bColorCount={colours}"


def group_entries(data):
    """Entries of an icon group: [(w, h, colours, bpp, size, id)]."""
    reserved, kind, count = struct.unpack_from("<3H", data, 0)
    if reserved != 0 or kind != 1 or len(data) != 6 + 14 * count:
        raise ValueError(f"bad group header reserved={reserved} type={kind} "
                         f"count={count} size={len(data)}")
    out = []
    for i in range(count):
        w, h, c, _, _, bpp, size, ident = struct.unpack_from("<4B2HIH", data, 6 + 14 * i)
        out.append((w or 256, h or 256, c, bpp, size, ident))
    return out


def ico_images(data):
    """Image byte strings of an .ico file, in directory order."""
    reserved, kind, count = struct.unpack_from("<3H", data, 0)
    if reserved != 0 or kind != 1:
        raise ValueError(f"not an icon file (reserved={reserved} type={kind})")
    images = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        if offset + size > len(data):
            raise ValueError(f"image {i + 1} runs past end of file")
        images.append(data[offset:offset + size])
    return images


def image_header_matches(entry, image):
    w, h, _, bpp, size, _ = entry
    if len(image) != size or len(image) < 16:
        return False
    bi_size, bi_w, bi_h, _, bi_bpp = struct.unpack_from("<IiiHH", image, 0)
    # Icon bitmaps store XOR and AND masks stacked, hence the doubled height.
    return bi_size == 40 and (bi_w, bi_h, bi_bpp) == (w, 2 * h, bpp)


def check_resources(exe, table, icon_ref, r):
    types = sorted(table, key=id_order)
    r.check(types == [RT_ICON, RT_GROUP_ICON, RT_VERSION],
            "resource types " + ", ".join(type_label(t) for t in types),
            "exactly 3 (RT_ICON), 14 (RT_GROUP_ICON), 16 (RT_VERSION)")

    entries = [(t, n, l) for t, names in table.items()
               for n, langs in names.items() for l in langs]
    other = [f"{type_label(t)}/{n}/{hexid(l)}" for t, n, l in entries if l != LANG_JA]
    r.check(entries and not other,
            f"{len(entries)} resource entries all in language {hexid(LANG_JA)}"
            + (f"; others: {other}" if other else ""))

    groups = table.get(RT_GROUP_ICON, {})
    if not r.check(list(groups) == [ICON_GROUP_ID] and len(groups[ICON_GROUP_ID]) == 1,
                   f"icon groups {list(groups)}", f"one group {ICON_GROUP_ID}"):
        return
    try:
        group = group_entries(next(iter(groups[ICON_GROUP_ID].values())))
    except (ValueError, struct.error) as err:
        r.check(False, f"icon group {ICON_GROUP_ID}: {err}")
        return
    found = [e[:4] for e in group]
    r.check(found == ICON_IMAGES,
            f"icon group {ICON_GROUP_ID} images [{'; '.join(map(icon_label, found))}]",
            f"[{'; '.join(map(icon_label, ICON_IMAGES))}]")

    icons = {n: next(iter(langs.values())) for n, langs in table.get(RT_ICON, {}).items()}
    wanted = [e[5] for e in group]
    missing = [i for i in wanted if i not in icons]
    unused = [i for i in icons if i not in wanted]
    r.check(not missing and not unused,
            f"RT_ICON ids {sorted(icons, key=id_order)}, referenced {wanted}"
            + (f"; missing {missing}" if missing else "")
            + (f"; unreferenced {unused}" if unused else ""))
    mismatched = [e[5] for e in group if e[5] in icons
                  and not image_header_matches(e, icons[e[5]])]
    r.check(not mismatched, "icon bitmaps agree with their group entries "
            "(size, width, height, bit depth)"
            + (f"; disagree: ids {mismatched}" if mismatched else ""))

    if icon_ref:
        check_icon_ref(exe, icon_ref, r)


def check_icon_ref(exe, icon_ref, r):
    label = f"icon {ICON_GROUP_ID} vs {icon_ref}"
    wrestool = shutil.which("wrestool")
    if not r.check(wrestool is not None, "wrestool found (icoutils)"):
        return
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "icon.ico")
        run = subprocess.run([wrestool, "-x", f"--type={RT_GROUP_ICON}",
                              f"--name={ICON_GROUP_ID}", "-o", out, exe],
                             capture_output=True, text=True)
        if not r.check(run.returncode == 0 and os.path.exists(out),
                       f"{label}: wrestool extracted the icon"
                       + (f" (rc {run.returncode}: {run.stderr.strip()})"
                          if run.returncode else "")):
            return
        with open(out, "rb") as f:
            extracted = f.read()
    try:
        with open(icon_ref, "rb") as f:
            reference = f.read()
        got, want = ico_images(extracted), ico_images(reference)
    except (OSError, ValueError, struct.error) as err:
        r.check(False, f"{label}: {err}")
        return
    differ = [i + 1 for i, (a, b) in enumerate(zip(got, want)) if a != b]
    r.check(len(got) == len(want) and not differ,
            f"{label}: {len(got)} images extracted, {len(want)} in reference"
            + (f"; images differing: {differ}" if differ else
               "; all byte-identical" if len(got) == len(want) else ""))


Block = namedtuple("Block", "key type value children")


def version_blocks(data, pos, end):
    """Blocks of a version resource between pos and end, with their children.

    pefile folds repeated keys and keeps only the last Translation pair,
    which would hide exactly the faults looked for here.
    """
    align = lambda n: (n + 3) & ~3
    blocks = []
    while pos + 6 <= end:
        length, value_len, kind = struct.unpack_from("<3H", data, pos)
        if length < 6:
            raise ValueError(f"block of length {length} at offset {pos}")
        block_end = min(pos + length, end)
        key_end = pos + 6
        while key_end + 1 < block_end and data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[pos + 6:key_end].decode("utf-16-le", "replace")
        value_at = align(key_end + 2)
        if kind == 1 and value_len:
            # Compilers disagree on how text lengths count; read to the NUL.
            text = data[value_at:block_end].decode("utf-16-le", "replace")
            value, children = text.split("\0", 1)[0], []
        else:
            value = data[value_at:value_at + value_len]
            children = version_blocks(data, align(value_at + value_len), block_end)
        blocks.append(Block(key, kind, value, children))
        pos = align(pos + length)
    return blocks


def check_fixed_version(pe, r):
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not r.check(bool(fixed), "fixed version info present"):
        return
    f = fixed[0]
    r.expect("fixed signature", f.Signature, 0xFEEF04BD, hex)
    show = lambda v: "%d.%d.%d.%d" % (v[0] >> 16, v[0] & 0xFFFF, v[1] >> 16, v[1] & 0xFFFF)
    want = (VERSION_MS, VERSION_LS)
    r.expect("dwFileVersion", (f.FileVersionMS, f.FileVersionLS), want, show)
    r.expect("dwProductVersion", (f.ProductVersionMS, f.ProductVersionLS), want, show)
    r.expect("dwFileFlags", f.FileFlags, 0, hex)
    r.expect("dwFileOS", f.FileOS, 0x00040004, hex)
    r.expect("dwFileType", f.FileType, 1)


def check_version(pe, table, name, product, r):
    records = [(n, l, d) for n, langs in table.get(RT_VERSION, {}).items()
               for l, d in langs.items()]
    if not r.check(len(records) == 1, f"{len(records)} RT_VERSION record(s)", "1"):
        return
    check_fixed_version(pe, r)
    data = records[0][2]
    try:
        roots = version_blocks(data, 0, len(data))
    except (ValueError, struct.error) as err:
        r.check(False, f"version record unreadable: {err}")
        return
    if not r.check(len(roots) == 1 and roots[0].key == "VS_VERSION_INFO",
                   f"version root {[b.key for b in roots]}", "['VS_VERSION_INFO']"):
        return
    parts = [b.key for b in roots[0].children]
    r.check(sorted(parts) == ["StringFileInfo", "VarFileInfo"],
            f"version parts {parts}", "one StringFileInfo and one VarFileInfo")

    tables = [t for b in roots[0].children if b.key == "StringFileInfo"
              for t in b.children]
    r.expect("string tables", [t.key for t in tables], [STRING_TABLE])
    ja = [t for t in tables if t.key == STRING_TABLE]
    if len(ja) == 1:
        strings = [(s.key, s.value) for s in ja[0].children]
        keys = [k for k, _ in strings]
        r.expect("string keys in order", keys, STRING_KEYS)
        values = dict(strings)
        wanted = {"FileDescription": name, "FileVersion": VERSION_TEXT,
                  "InternalName": name, "OriginalFilename": name + ".exe",
                  "ProductName": product, "ProductVersion": VERSION_TEXT}
        for key, want in wanted.items():
            r.expect(f"{key} =", values.get(key), want)
        for key in ("CompanyName", "LegalCopyright"):
            r.check(bool(values.get(key)), f"{key} = {values.get(key)!r}", "non-empty")

    vars_ = [v for b in roots[0].children if b.key == "VarFileInfo" for v in b.children]
    pairs = None
    if [v.key for v in vars_] == ["Translation"] and len(vars_[0].value) % 4 == 0:
        raw = vars_[0].value
        pairs = [struct.unpack_from("<2H", raw, i) for i in range(0, len(raw), 4)]
    r.check(pairs == TRANSLATION,
            f"VarFileInfo {[v.key for v in vars_]} Translation "
            + (", ".join(f"({hexid(a)}, {b})" for a, b in pairs) if pairs is not None
               else "unreadable"),
            f"({hexid(LANG_JA)}, 1200) only")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("exe")
    ap.add_argument("--name", required=True, help="program name, e.g. hoplax")
    ap.add_argument("--product", required=True, help="product name, e.g. Hopla")
    ap.add_argument("--max-size", type=int, help="file size limit in bytes")
    ap.add_argument("--icon-ref", help=".ico whose images the exe must carry")
    args = ap.parse_args()

    r = Report()
    try:
        pe = pefile.PE(args.exe, fast_load=True)
    except (OSError, pefile.PEFormatError) as err:
        r.check(False, f"{args.exe} is not a readable PE file: {err}")
        return 1

    check_header(pe, r)
    check_imports(pe, r)
    check_size(args.exe, args.max_size, r)
    table = resource_table(pe)
    if r.check(table is not None, "resource directory present"):
        check_resources(args.exe, table, args.icon_ref, r)
        check_version(pe, table, args.name, args.product, r)
    print(f"{args.exe}: {r.failures} check(s) failed" if r.failures
          else f"{args.exe}: all checks passed")
    return 1 if r.failures else 0


if __name__ == "__main__":
    sys.exit(main())
