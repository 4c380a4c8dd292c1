#!/usr/bin/env python3
"""Checks the winget and Scoop manifests the release target wrote: the
fields each package manager requires are there, they name this version and
the download address of each file, and their SHA-256 is that of the files
built. Reads the manifests as a package manager would, not as they were
meant to be written.

    check_manifests.py RELEASE-DIR VERSION RELEASE-URL
"""
import hashlib
import json
import os
import re
import sys
import zipfile

IDENTIFIER = "Velmora.Norrik"
WINGET_SCHEMA = "1.6.0"
# Required by the winget schemas, per manifest type.
WINGET_REQUIRED = {
    "version": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"],
    "installer": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"],
    "defaultLocale": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName",
                      "License", "ShortDescription", "ManifestType", "ManifestVersion"],
}
INSTALLER_REQUIRED = ["Architecture", "InstallerUrl", "InstallerSha256"]
# What a Scoop bucket requires of a manifest, beside a url and a hash.
SCOOP_REQUIRED = ["version", "description", "homepage", "license"]


class Fault(Exception):
    pass


# The YAML the manifests use: a mapping of scalars and of block lists whose
# items are scalars or mappings of scalars. Anything else is refused rather
# than guessed at, and so is a plain scalar that YAML would read as a
# number, a boolean or null instead of the text it shows.
ENTRY = re.compile(r"([A-Za-z][A-Za-z0-9]*):(?: (.*))?\Z")
PLAIN = re.compile(r"[A-Za-z0-9][A-Za-z0-9 ._/:()+,-]*\Z")
TYPED = re.compile(r"[0-9eE.+_-]*\Z|(true|false|yes|no|on|off|y|n|null)\Z", re.IGNORECASE)


def scalar(text, where):
    if text.startswith('"'):
        try:
            value = json.loads(text)
        except ValueError:
            value = None
        if isinstance(value, str):
            return value
    elif PLAIN.match(text) and not TYPED.match(text) and ": " not in text:
        return text
    raise Fault("%s: %r is not text as YAML reads it" % (where, text))


def put(mapping, match, where):
    key, value = match.group(1), match.group(2)
    if key in mapping:
        raise Fault("%s: %s given twice" % (where, key))
    mapping[key] = [] if value is None else scalar(value.strip(), where)
    return mapping[key]


def read_yaml(path):
    document, items, item = {}, None, None
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for number, line in enumerate(lines, 1):
        where = "%s:%d" % (os.path.basename(path), number)
        if not line.strip() or line.startswith("#"):
            continue
        if line.startswith(("- ", "  ")) and items is not None:
            entry = ENTRY.match(line[2:])
            if line.startswith("- "):
                item = {} if entry else None
                items.append(item if entry else scalar(line[2:], where))
            elif not entry or item is None:
                raise Fault("%s: cannot read %r" % (where, line))
            if entry and isinstance(put(item, entry, where), list):
                raise Fault("%s: a list within a list item" % where)
            continue
        entry = ENTRY.match(line)
        if not entry:
            raise Fault("%s: cannot read %r" % (where, line))
        value = put(document, entry, where)
        items = value if isinstance(value, list) else None
    return document


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 16), b""):
            digest.update(block)
    return digest.hexdigest()


def require(fields, names, what):
    for name in names:
        if name not in fields or fields[name] in ("", [], None):
            raise Fault("%s: no %s" % (what, name))


def expect(fields, name, wanted, what):
    if fields.get(name) != wanted:
        raise Fault("%s: %s is %r, not %r" % (what, name, fields.get(name), wanted))


def check_winget(release_dir, version, download):
    setup = "norrik-%s-setup.exe" % version
    folder = os.path.join(release_dir, "winget", "manifests", "v", "Velmora", "Norrik", version)
    files = {"version": IDENTIFIER + ".yaml", "installer": IDENTIFIER + ".installer.yaml",
             "defaultLocale": IDENTIFIER + ".locale.en-US.yaml"}
    for kind, name in files.items():
        path = os.path.join(folder, name)
        if not os.path.isfile(path):
            raise Fault("no winget manifest %s" % path)
        manifest = read_yaml(path)
        require(manifest, WINGET_REQUIRED[kind], name)
        expect(manifest, "ManifestType", kind, name)
        expect(manifest, "ManifestVersion", WINGET_SCHEMA, name)
        expect(manifest, "PackageIdentifier", IDENTIFIER, name)
        expect(manifest, "PackageVersion", version, name)
        if kind == "version":
            expect(manifest, "DefaultLocale", "en-US", name)
        if kind == "defaultLocale":
            expect(manifest, "PackageLocale", "en-US", name)
        if kind != "installer":
            continue
        if len(manifest["Installers"]) != 1:
            raise Fault("%s: %d installers, not the one x64 installer" % (name, len(manifest["Installers"])))
        installer = manifest["Installers"][0]
        if not isinstance(installer, dict):
            raise Fault("%s: the installer is not a mapping" % name)
        require(installer, INSTALLER_REQUIRED, name + " installer")
        if "InstallerType" not in manifest and "InstallerType" not in installer:
            raise Fault("%s: no InstallerType" % name)
        expect(installer, "Architecture", "x64", name)
        expect(installer, "InstallerUrl", download + setup, name)
        expect(installer, "InstallerSha256", sha256(os.path.join(release_dir, setup)).upper(), name)
        # The installer's uninstall entry is how winget knows it is there.
        expect(manifest, "ProductCode", "Norrik", name)
        for entry in manifest.get("AppsAndFeaturesEntries", []):
            expect(entry, "DisplayName", "Norrik " + version, name + " AppsAndFeaturesEntries")
            expect(entry, "DisplayVersion", version, name + " AppsAndFeaturesEntries")


def check_scoop(release_dir, version, download):
    portable = "norrik-%s-portable.zip" % version
    path = os.path.join(release_dir, "scoop", "norrik.json")
    if not os.path.isfile(path):
        raise Fault("no Scoop manifest %s" % path)
    with open(path, encoding="utf-8") as f:
        try:
            manifest = json.load(f)
        except ValueError as error:
            raise Fault("norrik.json: not JSON: %s" % error)
    require(manifest, SCOOP_REQUIRED, "norrik.json")
    expect(manifest, "version", version, "norrik.json")
    # The program is 64-bit: its download is under architecture/64bit.
    download_of = manifest.get("architecture", {}).get("64bit", {})
    require(download_of, ["url", "hash"], "norrik.json architecture/64bit")
    expect(download_of, "url", download + portable, "norrik.json")
    expect(download_of, "hash", sha256(os.path.join(release_dir, portable)), "norrik.json")
    # Scoop unpacks extract_dir and links bin and the shortcuts from there.
    with zipfile.ZipFile(os.path.join(release_dir, portable)) as z:
        inside = set(z.namelist())
    folder = manifest.get("extract_dir", "")
    targets = [manifest.get("bin")] + [s[0] for s in manifest.get("shortcuts", [])]
    for target in targets:
        if not target or "%s/%s" % (folder, target) not in inside:
            raise Fault("norrik.json: %r is not in %s under %r" % (target, portable, folder))


def main(release_dir, version, release_url):
    download = "%s/%s/" % (release_url.rstrip("/"), version)
    try:
        check_winget(release_dir, version, download)
        check_scoop(release_dir, version, download)
    except Fault as fault:
        print("check_manifests: %s" % fault, file=sys.stderr)
        return 1
    print("winget and Scoop manifests checked against %s" % release_dir)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
