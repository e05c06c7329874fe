#!/usr/bin/env python3
"""Reads the expected audit logs and JSON reports the way their consumers do.

The Wine tests prove the program writes these files byte for byte; here the JSON is
parsed with Python's json module (exact keys, order and types), the audit log is
checked for its CR LF layout, and the fingerprints are recomputed with hashlib.
Usage: check_text_reports.py GOLDEN_DIR
"""
import hashlib
import json
import sys
from pathlib import Path

TOP_KEYS = ["certificateId", "application", "startTime", "endTime", "elapsedSeconds",
            "executionMode", "operatorName", "organizationName", "hardwareDetails",
            "sanitization", "sha256Fingerprint"]
HARDWARE_KEYS = ["manufacturer", "chassisType", "model", "serial", "uuid", "assetTag",
                 "processor", "totalMemory", "disk", "diskGeometry", "graphicsCard",
                 "soundCards", "networkAdapters", "motherboard", "biosInformation",
                 "storageController"]
SANITIZATION_KEYS = ["standard", "passesCompleted", "passesPlanned", "verificationResult",
                     "diskStampStatus"]

# The disk facts that enter the digest but are not printed in the JSON report.
FIXTURES = {
    "completed_real": {"model": "Virtual NVMe Disk 1TB", "serial": "VN1TB-0042-AX",
                       "size": 1000204886016, "status": 3, "elapsed": 753.456789},
    "cancelled_sim": {"model": "TestBench HDD", "serial": "WD-12345",
                      "size": 500107862016, "status": 4, "elapsed": 599.0},
    "skipped_real": {"model": "USB Flash Disk", "serial": "UFD-7781",
                     "size": 32017047552, "status": 3, "elapsed": 62.5},
}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def check_json(name, raw, facts):
    text = raw.decode("utf-8")  # strict: a BOM or bad byte fails here
    check(not raw.startswith(b"\xef\xbb\xbf"), f"{name}: byte-order mark")
    check(b"\r" not in raw and raw.endswith(b"}\n"), f"{name}: LF line ends, final LF")
    pairs = json.loads(text, object_pairs_hook=list)
    check([k for k, _ in pairs] == TOP_KEYS, f"{name}: top-level keys {[k for k, _ in pairs]}")
    doc = dict(pairs)
    check([k for k, _ in doc["hardwareDetails"]] == HARDWARE_KEYS, f"{name}: hardware keys")
    check([k for k, _ in doc["sanitization"]] == SANITIZATION_KEYS, f"{name}: sanitization keys")
    hw = dict(doc["hardwareDetails"])
    san = dict(doc["sanitization"])
    check(all(isinstance(v, str) for v in hw.values()), f"{name}: hardware values are strings")
    check(isinstance(doc["elapsedSeconds"], (int, float)), f"{name}: elapsedSeconds is a number")
    check(abs(doc["elapsedSeconds"] - facts["elapsed"]) <= facts["elapsed"] * 1e-5,
          f"{name}: elapsedSeconds {doc['elapsedSeconds']}")
    check(type(san["passesCompleted"]) is int and type(san["passesPlanned"]) is int,
          f"{name}: pass counts are integers")

    # The digest, recomputed here over the same ten fields.
    fields = [doc["certificateId"], doc["startTime"], doc["endTime"], facts["model"],
              facts["serial"], str(facts["size"]), san["standard"],
              f"{san['passesCompleted']}/{san['passesPlanned']}", san["verificationResult"],
              str(facts["status"])]
    digest = hashlib.sha256("|".join(fields).encode("utf-8")).hexdigest().upper()
    check(doc["sha256Fingerprint"] == digest, f"{name}: fingerprint {doc['sha256Fingerprint']} != {digest}")
    return doc, hw


def check_audit_log(name, raw, doc, hw):
    check(not raw.startswith(b"\xef\xbb\xbf"), f"{name}: byte-order mark")
    text = raw.decode("utf-8")
    check(text.endswith("\r\n"), f"{name}: last line ends with CR LF")
    lines = text.split("\r\n")[:-1]
    check(len(lines) == 35, f"{name}: {len(lines)} lines")
    check(all("\n" not in l and "\r" not in l for l in lines), f"{name}: bare LF or CR")
    for i in (0, 2, 34):
        check(lines[i] == "=" * 72, f"{name}: rule at line {i + 1}")
    check(lines[16] == "-" * 72, f"{name}: thin rule")
    values = {}
    for line in lines[4:16] + lines[18:34]:
        check(line[:2] == "  " and line[21:23] == ": ", f"{name}: label column: {line!r}")
        values[line[2:21].rstrip()] = line[23:]
    check(values["Report UUID / ID"] == doc["certificateId"], f"{name}: ID")
    check(values["SHA-256 Digest"] == doc["sha256Fingerprint"], f"{name}: digest")
    # A line break inside a value is a blank in the audit log (it cannot start a line).
    operator = (doc["operatorName"] + " / " + doc["organizationName"]).replace("\r", " ").replace("\n", " ")
    check(values["Operator / Org"] == operator, f"{name}: operator {values['Operator / Org']!r}")
    printed = [values[l[2:21].rstrip()] for l in lines[18:34]]
    check(printed == [hw[k] for k in HARDWARE_KEYS], f"{name}: hardware lines follow the JSON")


def main():
    golden = Path(sys.argv[1])
    for stem, facts in FIXTURES.items():
        doc, hw = check_json(f"{stem}_Report.json", (golden / f"{stem}_Report.json").read_bytes(), facts)
        check_audit_log(f"{stem}_AuditLog.txt", (golden / f"{stem}_AuditLog.txt").read_bytes(), doc, hw)
    for f in failures:
        print("FAIL:", f)
    print(f"checked {len(FIXTURES)} JSON reports and audit logs, {len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
