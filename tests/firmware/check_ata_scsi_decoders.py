#!/usr/bin/env python3
"""Decodes the firmware fixtures with Debian's own decoders and checks they mean what the
fixture tables (and so test_firmware's parsers) say: each IDENTIFY DEVICE sector through
`hdparm --Istdin` (which reads only standard input, never a device), each sense buffer and
command block through `sg_decode_sense`. Usage: check_ata_scsi_decoders.py FIXTURE_DIR
"""
import re
import shutil
import subprocess
import sys
from pathlib import Path

# hdparm's feature lines for each yes/no field.
FEATURES = {"lba48": "48-bit Address feature set", "sanitize": "SANITIZE feature set",
            "crypto": "CRYPTO_SCRAMBLE_EXT command", "overwrite": "OVERWRITE_EXT command",
            "block": "BLOCK_ERASE_EXT command", "hpa": "Host Protected Area feature set",
            "dco": "Device Configuration Overlay feature set"}
SECURITY = {"security": "supported", "security_enabled": "enabled", "security_locked": "locked",
            "security_frozen": "frozen", "enhanced_erase": "supported: enhanced erase"}
NOT_DECODED = {"ama", "addressable"}  # hdparm 9.65 does not decode these; test_firmware does


def hdparm_fields(text):
    """The fields of one hdparm --Istdin report, named as in identify_expected.txt."""
    fields = {}
    for key, pattern in (("model", r"Model Number:\s*(.*?)\s*$"), ("serial", r"Serial Number:\s*(.*?)\s*$"),
                         ("firmware", r"Firmware Revision:\s*(.*?)\s*$"),
                         ("sectors28", r"LBA    user addressable sectors:\s*(\d+)"),
                         ("sectors48", r"LBA48  user addressable sectors:\s*(\d+)"),
                         ("erase_minutes", r"(\d+)min for SECURITY ERASE UNIT"),
                         ("enhanced_minutes", r"(\d+)min for ENHANCED SECURITY ERASE UNIT")):
        found = re.search(pattern, text, re.MULTILINE)
        if found:
            fields[key] = found.group(1)
    features = text.split("Commands/features:", 1)[-1].split("Security:", 1)[0]
    names = {line.split("\t")[-1].strip() for line in features.splitlines()}
    for key, name in FEATURES.items():
        fields[key] = "yes" if name in names else "no"
    security = text.split("Security:", 1)[1] if "Security:" in text else ""
    lines = [line for line in security.splitlines() if line.startswith("\t")]
    for key, name in SECURITY.items():
        fields[key] = "yes" if any(line == "\t\t" + name for line in lines) else "no"
    return fields


def check_identify(fixtures):
    expected = {}
    for line in (fixtures / "identify_expected.txt").read_text().splitlines():
        if line and not line.startswith("#"):
            name, field, value = line.split(" ", 2)
            expected.setdefault(name, {})[field] = value
    problems = []
    for name, fields in expected.items():
        with open(fixtures / name, "rb") as sector:
            report = subprocess.run(["hdparm", "--Istdin"], stdin=sector, capture_output=True, text=True,
                                    check=False).stdout
        decoded = hdparm_fields(report)
        for field, value in fields.items():
            if field in NOT_DECODED:
                continue
            if decoded.get(field) != value:
                problems.append(f"{name}: {field} is {decoded.get(field)!r} for hdparm, {value!r} in the table")
    return problems


def check_scsi(fixtures):
    problems = []
    for line in (fixtures / "scsi_fixtures.txt").read_text().splitlines():
        if not line or line.startswith("#"):
            continue
        parts = [part.strip() for part in line.split(";")]
        kind_name, data, phrase = parts[0], parts[1].split(), parts[-1]
        command = ["sg_decode_sense"] + (["--cdb"] if kind_name.startswith("cdb ") else []) + data
        decoded = subprocess.run(command, capture_output=True, text=True, check=False).stdout
        if phrase not in decoded:
            problems.append(f"{kind_name}: sg_decode_sense says {decoded.strip()!r}, expected {phrase!r}")
        if kind_name.startswith("sense ") and parts[2].split()[-1] == "-" and "Progress indication" in decoded:
            problems.append(f"{kind_name}: sg_decode_sense finds a progress indication the table says is not valid")
    return problems


def main(argv):
    missing = [tool for tool in ("hdparm", "sg_decode_sense") if not shutil.which(tool)]
    if missing:
        print("missing " + ", ".join(missing) + ": run scripts/bootstrap.sh (packages hdparm, sg3-utils)")
        return 1
    fixtures = Path(argv[1])
    problems = check_identify(fixtures) + check_scsi(fixtures)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
