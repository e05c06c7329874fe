#!/usr/bin/env python3
"""check_signed_set.py WINE_RUN PREFIX TEST_EXE PROGRAM_EXE: has the GoogleTest case write a set
signed by the machine's own signer (MORVANE_EVIDENCE_DIR) and reads it with an auditor's tools:
OpenSSL accepts every signature and rejects a copy with one byte changed; the signer fingerprint
the files print is OpenSSL's of the certificate; the program's --verify gives 0, then 1 after a
byte of the JSON or the HTML changes or when a signature is missing, 2 when a file is missing;
the PDF passes qpdf --check, is one A4 page, renders with the badge colour and ink at fixed
points, and carries the JSON report byte for byte."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

ENDINGS = ["_Certificate.html", "_AuditLog.txt", "_Report.json", "_Certificate.pdf"]
BADGE_GREEN = (16, 185, 129)


def run(*args):
    return subprocess.run([str(a) for a in args], capture_output=True)


def windows(path):
    return "Z:" + str(path).replace("/", "\\")


def changed(data, offset):
    return data[:offset] + bytes([data[offset] ^ 0x01]) + data[offset + 1:]


def pixels(ppm):
    """Width, height and RGB rows of a binary PPM as pdftoppm writes it."""
    head = ppm.split(maxsplit=4)
    width, height = int(head[1]), int(head[2])
    raster = head[4][-width * height * 3:]
    return width, height, lambda x, y: tuple(raster[(y * width + x) * 3:(y * width + x) * 3 + 3])


def main(wine_run, prefix, test_exe, program):
    work = Path(tempfile.mkdtemp(prefix="morvane_signed_"))
    writer = subprocess.run([wine_run, prefix, test_exe, "--gtest_filter=SignedSets.SetForTheExternalChecks"],
                            env={**os.environ, "MORVANE_EVIDENCE_DIR": windows(work)}, capture_output=True, text=True)
    files = sorted(work.glob("*_Report.json"))
    if writer.returncode != 0 or len(files) != 1:
        return f"FAIL: no signed set written\n{writer.stdout[-3000:]}"
    base = str(files[0])[:-len("_Report.json")]
    paths = [Path(base + e) for e in ENDINGS]
    json_path, html, log, pdf = paths[2], paths[0], paths[1], paths[3]
    checks = {}

    pem = work / "signer.pem"
    run("openssl", "x509", "-inform", "DER", "-in", base + "_Signer.cer", "-out", pem)
    for path in paths:
        verify = ["openssl", "cms", "-verify", "-binary", "-inform", "DER", "-in", f"{path}.p7s", "-CAfile", pem,
                  "-out", "/dev/null", "-content"]
        checks[f"openssl accepts {path.name}"] = run(*verify, path).returncode == 0
        copy = work / "altered.bin"
        copy.write_bytes(changed(path.read_bytes(), len(path.read_bytes()) // 2))
        checks[f"openssl rejects {path.name} with one byte changed"] = run(*verify, copy).returncode != 0

    fingerprint = run("openssl", "x509", "-inform", "DER", "-in", base + "_Signer.cer", "-noout", "-fingerprint",
                      "-sha256").stdout.decode().strip().split("=")[1].replace(":", "")
    doc = json.loads(json_path.read_bytes())
    checks["JSON names the certificate's fingerprint"] = doc["signer"]["certificateSha256"] == fingerprint
    checks["audit log names it"] = f"\r\n  Signer Certificate : {fingerprint}\r\n" in log.read_bytes().decode()
    checks["HTML names it"] = f"<td>{fingerprint} / CN=" in html.read_text("utf-8")

    def verify_code(what):
        result = run(wine_run, prefix, program, "--verify", windows(json_path))
        print(f"--verify ({what}): exit {result.returncode}\n{result.stdout.decode('utf-8', 'replace')}")
        return result.returncode, result.stdout.decode("utf-8", "replace")

    code, out = verify_code("as written")
    checks["--verify: 0, every file OK and the fingerprint named"] = (
        code == 0 and all(f"{p.name}: OK" in out for p in paths) and f"SHA-256: {fingerprint}" in out
        and Path(base + "_Verify.txt").read_bytes().decode() == out)
    for path, offset in ((json_path, 20), (html, 200)):
        original = path.read_bytes()
        path.write_bytes(changed(original, offset))
        code, out = verify_code(f"{path.name} changed")
        checks[f"--verify: 1 after a byte of {path.name} changed"] = code == 1 and f"{path.name}: ALTERED" in out
        path.write_bytes(original)
    signature = Path(f"{log}.p7s")
    saved = signature.read_bytes()
    signature.unlink()
    code, out = verify_code("a signature missing")
    checks["--verify: 1 when a .p7s is missing"] = code == 1 and f"{log.name}: NO SIGNATURE" in out
    signature.write_bytes(saved)
    pdf.rename(work / "aside.pdf")
    checks["--verify: 2 when a file is missing"] = verify_code("the PDF missing")[0] == 2
    (work / "aside.pdf").rename(pdf)

    checks["qpdf --check"] = run("qpdf", "--check", pdf).returncode == 0
    info = dict(line.split(":", 1) for line in run("pdfinfo", pdf).stdout.decode().splitlines())
    checks["one A4 page"] = info["Pages"].strip() == "1" and info["Page size"].strip() == "595.276 x 841.89 pts (A4)"
    (work / "detached").mkdir()
    run("pdfdetach", "-saveall", "-o", work / "detached", pdf)
    checks["embedded JSON byte for byte"] = (work / "detached" / json_path.name).read_bytes() == json_path.read_bytes()
    run("pdftoppm", "-r", "75", "-singlefile", pdf, work / "page")
    width, height, at = pixels((work / "page.ppm").read_bytes())
    checks[f"rendered A4 at 75 dpi ({width}x{height})"] = (width, height) == (621, 877)
    # 300-dpi page coordinates / 4: the badge band's left end, and the first table's label column.
    checks[f"badge colour {at(60, 123)}"] = at(60, 123) == BADGE_GREEN
    ink = sum(1 for x in range(55, 190) for y in range(160, 175) if sum(at(x, y)) < 400)
    checks[f"label ink ({ink} dark pixels)"] = ink > 40

    failures = [what for what, ok in checks.items() if not ok]
    print("".join(f"FAIL: {f}\n" for f in failures) + f"{len(checks)} checks, {len(failures)} failure(s)")
    if failures:
        print(f"the set is kept in {work}")
        return 1
    shutil.rmtree(work)
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:5]))
