#!/usr/bin/env python3
"""Checks an app package (.msix) from its bytes, with nothing of the code that wrote it.

    msix_checks.py PACKAGE [--schemas DIR] [--class-header FILE --class-name NAME]
                           [--version-header FILE] [--publisher TEXT] [--skip-missing]

Always: the ZIP archive is read from its end of central directory: every central directory entry
matches its local header, the entries follow each other with no gap in the directory's order, the
data of each is stored or deflated and has the CRC-32 its headers give. AppxBlockMap.xml uses the
2010 block-map namespace and nothing else, SHA-256, and lists exactly the package's files but its
own, [Content_Types].xml and AppxSignature.p7x, each with its size, the size of its local header
and the hash of each 64 KiB block recomputed here from the archive (a Size on a block only for a
deflated file). [Content_Types].xml gives every part a content type, by override or by extension.
The logos the manifest names are PNG files of the package.

--schemas DIR: AppxManifest.xml, AppxBlockMap.xml and [Content_Types].xml validate with xmllint
against Microsoft's schemas in DIR (see its README.md); only that, when given alone with
--schemas-only.
--class-header FILE --class-name NAME: every context-menu verb names, and the COM server declares,
the class identifier that FILE defines as NAME (a C++ GUID initializer).
--version-header FILE: the identity's Version is that of FILE's TW_VERSION_ lines.
--publisher TEXT: the identity's Publisher is TEXT.
--skip-missing: exit 77 (skipped) when PACKAGE, or DIR for --schemas, does not exist.

Prints one line per problem; exit status 0 when there is none, 1 otherwise.
"""
import argparse
import base64
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zlib

BLOCK = 65536
BLOCKMAP_NS = "http://schemas.microsoft.com/appx/2010/blockmap"
TYPES_NS = "http://schemas.openxmlformats.org/package/2006/content-types"
MANIFEST_NS = {
    "f": "http://schemas.microsoft.com/appx/manifest/foundation/windows10",
    "uap": "http://schemas.microsoft.com/appx/manifest/uap/windows10",
    "desktop4": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/4",
    "desktop5": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/5",
    "com": "http://schemas.microsoft.com/appx/manifest/com/windows10",
}
FOOTPRINT = {"AppxBlockMap.xml", "[Content_Types].xml", "AppxSignature.p7x"}

problems = []


def problem(text):
    problems.append(text)


def read_archive(data):
    """The archive's entries in central directory order: (name, method, raw data, local header
    size, uncompressed data)."""
    eocd = data.rfind(b"PK\x05\x06")
    if eocd < 0 or len(data) - eocd < 22:
        raise ValueError("no end of central directory record")
    (_, disk, cd_disk, on_disk, total, cd_size, cd_offset, comment) = struct.unpack_from(
        "<IHHHHIIH", data, eocd)
    if eocd + 22 + comment != len(data):
        problem("the end of central directory record is not at the end of the file")
    if disk != 0 or cd_disk != 0 or on_disk != total:
        problem("the archive claims several disks")
    if data.rfind(b"PK\x06\x07", 0, eocd) >= 0 and cd_offset == 0xFFFFFFFF:
        raise ValueError("ZIP64 records, which this reader does not read")
    if cd_offset + cd_size != eocd:
        problem("the central directory does not end where its end record starts")
    entries = []
    at = cd_offset
    expected_offset = 0
    for _ in range(total):
        (sig, _made, needed, flags, method, time, date, crc, csize, usize, nlen, xlen, clen,
         _disk, _internal, _external, offset) = struct.unpack_from("<IHHHHHHIIIHHHHHII", data, at)
        if sig != 0x02014B50:
            raise ValueError("a central directory entry without its signature")
        name = data[at + 46:at + 46 + nlen].decode("utf-8")
        at += 46 + nlen + xlen + clen
        if offset != expected_offset:
            problem(f"{name}: its local header is at {offset}, not right after the previous entry "
                    f"({expected_offset})")
        (lsig, lneeded, lflags, lmethod, ltime, ldate, lcrc, lcsize, lusize, lnlen,
         lxlen) = struct.unpack_from("<IHHHHHIIIHH", data, offset)
        lname = data[offset + 30:offset + 30 + lnlen].decode("utf-8")
        if lsig != 0x04034B50:
            raise ValueError(f"{name}: no local header at {offset}")
        if flags & 8:
            problem(f"{name}: sizes in a data descriptor")
        if (lname, lflags, lmethod, lcrc, lcsize, lusize) != (name, flags, method, crc, csize,
                                                              usize):
            problem(f"{name}: the local header differs from the central directory entry")
        if method not in (0, 8):
            problem(f"{name}: compression method {method}, neither stored nor deflated")
        header = 30 + lnlen + lxlen
        raw = data[offset + header:offset + header + csize]
        content = raw if method == 0 else zlib.decompress(raw, -15)
        if len(content) != usize or zlib.crc32(content) != crc:
            problem(f"{name}: its data does not have the size and CRC-32 of its headers")
        entries.append((name, method, raw, header, content))
        expected_offset = offset + header + csize
    if at != cd_offset + cd_size:
        problem("the central directory's entries do not fill its size")
    if expected_offset != cd_offset:
        problem("something lies between the last entry and the central directory")
    return entries


def check_block_map(entries):
    files = {name: (method, raw, header, content) for name, method, raw, header, content in entries}
    root = ET.fromstring(files["AppxBlockMap.xml"][3])
    if root.tag != f"{{{BLOCKMAP_NS}}}BlockMap":
        problem(f"AppxBlockMap.xml: the root is {root.tag}")
    if root.get("HashMethod") != "http://www.w3.org/2001/04/xmlenc#sha256":
        problem(f"AppxBlockMap.xml: HashMethod {root.get('HashMethod')}")
    for element in root.iter():
        if not element.tag.startswith(f"{{{BLOCKMAP_NS}}}"):
            problem(f"AppxBlockMap.xml: {element.tag} is not of the 2010 block map")
        for attribute in element.attrib:
            if attribute.startswith("{"):
                problem(f"AppxBlockMap.xml: the attribute {attribute} is not of the 2010 block map")
    listed = set()
    for file in root.findall(f"{{{BLOCKMAP_NS}}}File"):
        name = file.get("Name").replace("\\", "/")
        if name in listed or name not in files or name in FOOTPRINT:
            problem(f"AppxBlockMap.xml: {file.get('Name')} is listed twice, is not in the package "
                    "or is one of the package's own files")
            continue
        listed.add(name)
        method, raw, header, content = files[name]
        if int(file.get("Size")) != len(content) or int(file.get("LfhSize")) != header:
            problem(f"{name}: the block map gives size {file.get('Size')} and local header "
                    f"{file.get('LfhSize')}, the archive {len(content)} and {header}")
        blocks = file.findall(f"{{{BLOCKMAP_NS}}}Block")
        wanted = [content[i:i + BLOCK] for i in range(0, len(content), BLOCK)]
        if len(blocks) != len(wanted):
            problem(f"{name}: {len(blocks)} blocks listed, {len(wanted)} in the file")
            continue
        for index, (block, data) in enumerate(zip(blocks, wanted)):
            if block.get("Hash") != base64.b64encode(hashlib.sha256(data).digest()).decode():
                problem(f"{name}: block {index} has another hash than the block map gives")
        sizes = [block.get("Size") for block in blocks]
        if method == 0 and any(size is not None for size in sizes):
            problem(f"{name}: a stored file's block has a Size")
        if method == 8 and (None in sizes or sum(int(size) for size in sizes) != len(raw)):
            problem(f"{name}: the blocks' Size do not add up to the deflated data")
    missing = set(files) - FOOTPRINT - listed
    if missing:
        problem(f"AppxBlockMap.xml does not list {sorted(missing)}")


def check_content_types(entries):
    root = ET.fromstring(next(e[4] for e in entries if e[0] == "[Content_Types].xml"))
    defaults = {d.get("Extension").lower() for d in root.findall(f"{{{TYPES_NS}}}Default")}
    overrides = {o.get("PartName").lower() for o in root.findall(f"{{{TYPES_NS}}}Override")}
    for name, *_ in entries:
        if name == "[Content_Types].xml":
            continue
        extension = name.rsplit(".", 1)[1].lower() if "." in name.rsplit("/", 1)[-1] else None
        if ("/" + name).lower() not in overrides and extension not in defaults:
            problem(f"{name} has no content type")


def guid_from_header(path, constant):
    text = open(path, encoding="utf-8").read()
    match = re.search(re.escape(constant) + r"\s*=\s*\{([^;]*)\}\s*;", text)
    if not match:
        raise ValueError(f"{path} does not define {constant}")
    numbers = [int(n, 16) for n in re.findall(r"0x([0-9A-Fa-f]+)", match.group(1))]
    if len(numbers) != 11:
        raise ValueError(f"{constant} in {path} is not a GUID initializer")
    tail = "".join(f"{n:02X}" for n in numbers[3:])
    return f"{numbers[0]:08X}-{numbers[1]:04X}-{numbers[2]:04X}-{tail[:4]}-{tail[4:]}"


def version_from_header(path):
    text = open(path, encoding="utf-8").read()
    return ".".join(re.search(rf"^#define TW_VERSION_{part} (\d+)$", text, re.M).group(1)
                    for part in ("MAJOR", "MINOR", "PATCH", "BUILD"))


def check_manifest(entries, args):
    files = {e[0]: e[4] for e in entries}
    root = ET.fromstring(files["AppxManifest.xml"])
    identity = root.find("f:Identity", MANIFEST_NS)
    if args.version_header and identity.get("Version") != version_from_header(args.version_header):
        problem(f"the identity's Version {identity.get('Version')} is not the product's")
    if args.publisher is not None and identity.get("Publisher") != args.publisher:
        problem(f"the identity's Publisher is \"{identity.get('Publisher')}\", "
                f"not \"{args.publisher}\"")
    logos = [root.find("f:Properties/f:Logo", MANIFEST_NS).text]
    for visual in root.iter(f"{{{MANIFEST_NS['uap']}}}VisualElements"):
        logos += [visual.get("Square150x150Logo"), visual.get("Square44x44Logo")]
    for logo in logos:
        part = logo.replace("\\", "/")
        if not files.get(part, b"").startswith(b"\x89PNG\r\n\x1a\n"):
            problem(f"the logo {logo} is not a PNG file of the package")
    if args.class_header:
        clsid = guid_from_header(args.class_header, args.class_name)
        verbs = list(root.iter(f"{{{MANIFEST_NS['desktop5']}}}Verb"))
        types = [t.get("Type") for t in root.iter(f"{{{MANIFEST_NS['desktop5']}}}ItemType")]
        classes = list(root.iter(f"{{{MANIFEST_NS['com']}}}Class"))
        if sorted(types) != ["*", "Directory"] or len(verbs) != 2:
            problem(f"the context-menu entries are for {types}, with {len(verbs)} verbs")
        for verb in verbs:
            if verb.get("Clsid").upper() != clsid:
                problem(f"the verb {verb.get('Id')} names {verb.get('Clsid')}, not {clsid}")
        if [(c.get("Id").upper(), c.get("Path")) for c in classes] != [(clsid,
                                                                        "twShellExt_64.dll")]:
            problem(f"the COM server declares {[(c.get('Id'), c.get('Path')) for c in classes]}")


def validate_schemas(entries, schemas):
    commands = {
        "AppxManifest.xml": "manifest.xsd",
        "AppxBlockMap.xml": "BlockMap/schema/BlockMapSchema.xsd",
        "[Content_Types].xml": "ContentTypes/opc-contentTypes.xsd",
    }
    files = {e[0]: e[4] for e in entries}
    with tempfile.TemporaryDirectory() as folder:
        for part, schema in commands.items():
            path = os.path.join(folder, part)
            with open(path, "wb") as out:
                out.write(files[part])
            run = subprocess.run(["xmllint", "--nonet", "--noout", "--schema", schema, path],
                                 cwd=schemas, capture_output=True, text=True)
            if run.returncode != 0:
                problem(f"{part} does not validate against {schema}: {run.stderr.strip()}")
            else:
                print(f"{part} validates against {schema}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("package")
    parser.add_argument("--schemas")
    parser.add_argument("--schemas-only", action="store_true")
    parser.add_argument("--class-header")
    parser.add_argument("--class-name")
    parser.add_argument("--version-header")
    parser.add_argument("--publisher")
    parser.add_argument("--skip-missing", action="store_true")
    args = parser.parse_args()
    for path, what in ((args.package, "the package"), (args.schemas, "the schemas")):
        if path and not os.path.exists(path):
            print(f"{what}: {path} does not exist" + ("; skipped" if args.skip_missing else ""))
            return 77 if args.skip_missing else 1
    entries = read_archive(open(args.package, "rb").read())
    names = [e[0] for e in entries]
    archive_problems = list(problems)
    problems.clear()
    for required in ("AppxManifest.xml", "AppxBlockMap.xml", "[Content_Types].xml"):
        if required not in names:
            problem(f"the package has no {required}")
    if not problems:  # the three parts are there to read
        if args.schemas:
            validate_schemas(entries, args.schemas)
        if not args.schemas_only:
            check_block_map(entries)
            check_content_types(entries)
            check_manifest(entries, args)
    problems[:0] = archive_problems
    for text in problems:
        print(f"{args.package}: {text}")
    if not problems:
        print(f"{args.package}: {len(entries)} entries, no problem found")
    return 1 if problems else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (ValueError, struct.error, zlib.error, ET.ParseError, UnicodeDecodeError) as e:
        print(f"unreadable package: {e}")
        sys.exit(1)
