#!/usr/bin/env python3
"""Reads the expected JSON reports and audit logs the way their consumers do: the JSON with
Python's json module (strict UTF-8), each fingerprint recomputed with hashlib, the audit
log line by line (CR LF only) against the JSON. Usage: check_text_reports.py GOLDEN_DIR
"""
import hashlib
import json
import sys
from pathlib import Path

# The disk model, serial, size and status code enter the digest but are not in the JSON report.
DISKS = {"completed_real": ("Virtual NVMe Disk 1TB", "VN1TB-0042-AX", 1000204886016, 3),
         "cancelled_sim": ("TestBench HDD", "WD-12345", 500107862016, 4),
         "skipped_real": ("USB Flash Disk", "UFD-7781", 32017047552, 3)}


def signer_line(signer):
    """The audit log's signer value for the JSON report's signer member (null: unsigned)."""
    if signer is None:
        return "NOT SIGNED"
    return signer["certificateSha256"] + ("" if signer["pinned"] else " (not pinned to this machine)")


def problems(golden, stem):
    raw = (golden / f"{stem}_Report.json").read_bytes()
    doc = json.loads(raw.decode("utf-8"))  # strict: a byte-order mark or a bad byte fails here
    san, hw = doc["sanitization"], doc["hardwareDetails"]
    model, serial, size, status = DISKS[stem]
    fields = [doc["certificateId"], doc["startTime"], doc["endTime"], model, serial, str(size), san["standard"],
              f"{san['passesCompleted']}/{san['passesPlanned']}", san["verificationResult"], str(status)]
    digest = hashlib.sha256("|".join(fields).encode("utf-8")).hexdigest().upper()
    lines = (golden / f"{stem}_AuditLog.txt").read_bytes().decode("utf-8").split("\r\n")
    values = {line[2:21].rstrip(): line[23:] for line in lines[4:19] + lines[21:37] + lines[39:41]}
    firmware, hidden = san["firmwareSanitize"], san["hiddenCapacity"]
    # A line break inside a value is a blank in the audit log (it cannot start a line).
    operator = f"{doc['operatorName']} / {doc['organizationName']}".replace("\r", " ").replace("\n", " ")
    checks = {
        "JSON with LF line ends and a final LF": b"\r" not in raw and raw.endswith(b"}\n"),
        f"fingerprint {doc['sha256Fingerprint']} != {digest}": doc["sha256Fingerprint"] == digest,
        "42 log lines, each ending in CR LF, no bare CR or LF":
            len(lines) == 43 and lines[-1] == "" and not any("\n" in l or "\r" in l for l in lines),
        "log ID and digest": values.get("Report UUID / ID") == doc["certificateId"] and values.get("SHA-256 Digest") == digest,
        f"log operator {values.get('Operator / Org')!r}": values.get("Operator / Org") == operator,
        "log hardware lines": [values.get(l[2:21].rstrip()) for l in lines[21:37]] == list(hw.values()),
        f"log signer {values.get('Signer Certificate')!r}": values.get("Signer Certificate") == signer_line(doc["signer"]),
        "firmware line after the verification level": lines[14] == f"  Firmware Sanitize  : {firmware['method']} - {firmware['result']}",
        # No fixture has a hidden area, so the line shows the result alone.
        "hidden-capacity line after the firmware line": lines[15] == f"  Hidden Capacity    : {hidden['result']}",
        "signer line after the hidden-capacity line": lines[16].startswith("  Signer Certificate : "),
        "firmware detail": values.get("Detail") == (firmware["detail"] or "-"),
        "hidden-capacity detail": values.get("Hidden Area Detail") == (hidden["detail"] or "-"),
    }
    return [f"{stem}: {what}" for what, ok in checks.items() if not ok]


def main():
    failures = [p for stem in DISKS for p in problems(Path(sys.argv[1]), stem)]
    print("".join(f"FAIL: {f}\n" for f in failures) + f"checked {len(DISKS)} reports and audit logs, {len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
