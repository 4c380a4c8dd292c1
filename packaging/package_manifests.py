#!/usr/bin/env python3
"""Writes the package manager manifests for a built release.

    package_manifests.py RELEASE-DIR VERSION RELEASE-URL

RELEASE-DIR holds norrik-VERSION-setup.exe and norrik-VERSION-portable.zip,
which are to be downloaded from RELEASE-URL/VERSION/. Written there:

    winget/manifests/v/Velmora/Norrik/VERSION/   the winget manifests of the
        installer (version, installer and en-US locale), laid out as in the
        winget-pkgs repository, so that a pull request copies the folder;
    scoop/norrik.json                            the Scoop manifest of the
        portable zip, for a bucket.

Each carries the SHA-256 of the file it describes, as built: a package
manager refuses a download whose hash differs.
"""
import hashlib
import json
import os
import re
import sys

IDENTIFIER = "Velmora.Norrik"
PUBLISHER = "Velmora Software"
HOMEPAGE = "https://www.velmora.example/norrik/"  # the About box's web page
DESCRIPTION = "One-to-one text chat and popup messenger for Windows desktops"
LICENSE = "MIT"
WINGET_SCHEMA = "1.6.0"
LOCALE = "en-US"
# The installer writes its uninstall entry under this key name.
UNINSTALL_KEY = "Norrik"

# Plain YAML scalars only where YAML reads them as the same text; anything
# that could pass for a number, a boolean or null, or that holds YAML's own
# punctuation, is double-quoted (a JSON string is a YAML one too).
PLAIN = re.compile(r"[A-Za-z0-9][A-Za-z0-9 ._/:()+,-]*\Z")
TYPED = re.compile(r"[0-9eE.+_-]*\Z|(true|false|yes|no|on|off|y|n|null)\Z", re.IGNORECASE)


def yaml_text(value):
    if PLAIN.match(value) and not TYPED.match(value) and ": " not in value and not value.endswith((" ", ":")):
        return value
    return json.dumps(value)


def yaml_document(kind, fields):
    """A manifest as YAML: fields are (key, value) pairs, a value is text, a
    list of texts, or a list of dicts of texts."""
    lines = ["# Written by Norrik's release target, for the files it built.",
             "# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json" % (kind, WINGET_SCHEMA),
             ""]
    for key, value in fields + [("ManifestType", kind), ("ManifestVersion", WINGET_SCHEMA)]:
        if isinstance(value, str):
            lines.append("%s: %s" % (key, yaml_text(value)))
            continue
        lines.append(key + ":")
        for item in value:
            if isinstance(item, str):
                lines.append("- " + yaml_text(item))
                continue
            for n, (name, text) in enumerate(item.items()):
                lines.append("%s%s: %s" % ("- " if n == 0 else "  ", name, yaml_text(text)))
    return "\n".join(lines) + "\n"


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 16), b""):
            digest.update(block)
    return digest.hexdigest()


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def main(release_dir, version, release_url):
    setup = "norrik-%s-setup.exe" % version
    portable = "norrik-%s-portable.zip" % version
    download = "%s/%s/" % (release_url.rstrip("/"), version)
    common = [("PackageIdentifier", IDENTIFIER), ("PackageVersion", version)]

    folder = os.path.join(release_dir, "winget", "manifests", IDENTIFIER[0].lower(), *IDENTIFIER.split("."), version)
    write(os.path.join(folder, IDENTIFIER + ".yaml"),
          yaml_document("version", common + [("DefaultLocale", LOCALE)]))
    write(os.path.join(folder, IDENTIFIER + ".installer.yaml"), yaml_document("installer", common + [
        # An NSIS installer: winget passes /S for a silent install itself.
        ("InstallerType", "nullsoft"),
        ("Scope", "machine"),
        # It asks for administrator rights itself, as it writes to Program
        # Files, HKLM and the firewall.
        ("ElevationRequirement", "elevatesSelf"),
        ("UpgradeBehavior", "install"),
        ("ProductCode", UNINSTALL_KEY),
        ("AppsAndFeaturesEntries", [{"DisplayName": "Norrik " + version, "Publisher": PUBLISHER,
                                     "DisplayVersion": version, "ProductCode": UNINSTALL_KEY}]),
        ("Installers", [{"Architecture": "x64", "InstallerUrl": download + setup,
                         "InstallerSha256": sha256(os.path.join(release_dir, setup)).upper()}]),
    ]))
    write(os.path.join(folder, "%s.locale.%s.yaml" % (IDENTIFIER, LOCALE)), yaml_document("defaultLocale", common + [
        ("PackageLocale", LOCALE),
        ("Publisher", PUBLISHER),
        ("PackageName", "Norrik"),
        ("PackageUrl", HOMEPAGE),
        ("License", LICENSE),
        ("Copyright", "Copyright (c) 2026 " + PUBLISHER),
        ("ShortDescription", DESCRIPTION),
        ("Moniker", "norrik"),
        ("Tags", ["chat", "messenger", "popup", "lan"]),
    ]))

    # The zip holds one folder, norrik-VERSION; the program finds its help
    # and sound beside itself there.
    scoop = {
        "version": version,
        "description": DESCRIPTION,
        "homepage": HOMEPAGE,
        "license": LICENSE,
        "architecture": {"64bit": {"url": download + portable,
                                   "hash": sha256(os.path.join(release_dir, portable))}},
        "extract_dir": "norrik-" + version,
        "bin": "norrik.exe",
        "shortcuts": [["norrik.exe", "Norrik"]],
    }
    write(os.path.join(release_dir, "scoop", "norrik.json"), json.dumps(scoop, indent=4) + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
