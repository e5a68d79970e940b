#!/usr/bin/python3
"""Write a wheel that installs the dalk programs themselves into a Python environment.

packaging/wheel.py OUTDIR VERSION PLATFORM TOP README GUIDE LICENSE

PLATFORM is linux-x86_64, linux-aarch64 or win_amd64. TOP is the release's
unpacked tarball (bin/dalk, bin/dalk-axis and their manual pages, gzipped,
in share/man/man1/) or zip (dalk.exe and dalk-axis.exe, their manuals as
dalk.txt and dalk-axis.txt). The programs are the wheel's scripts: pip,
pipx and uv put them straight into the environment's bin/ (Scripts\\ on
Windows), with no Python between them and the user, so they keep their own
start-up time and their SIGPIPE. The manuals go to share/man/man1/ in the
environment, where man finds them beside bin/, or beside the programs; the
guide to running the script (GUIDE, running.md) to share/doc/dalk/.

The README is the project's page on a package index, where its relative
links lead nowhere: they are left as their text.

The Linux binaries are static-pie, with no interpreter and no shared library,
so one wheel serves glibc and musl systems; static glibc 2.36 needs Linux 3.2
(x86-64) and 3.7 (aarch64), which manylinux_2_17 (manylinux2014) promises.

Reproducible: every member's time is SOURCE_DATE_EPOCH, members go in a fixed
order with fixed modes, and RECORD comes last. Standard library only.
"""
import base64
import hashlib
import os
import re
import sys
import time
import zipfile

SUMMARY = "Write a slice-by-slice CT reconstruction script"
PLATFORM_TAGS = {
    "linux-x86_64": ["manylinux_2_17_x86_64", "manylinux2014_x86_64", "musllinux_1_1_x86_64"],
    "linux-aarch64": ["manylinux_2_17_aarch64", "manylinux2014_aarch64", "musllinux_1_1_aarch64"],
    "win_amd64": ["win_amd64"],
}


def read(path):
    with open(path, "rb") as f:
        return f.read()


PROGRAMS = ("dalk", "dalk-axis")


def unlinked(readme):
    """The README with each link to a file of the source left as its text."""
    return re.sub(rb"\[([^\]]+)\]\((?![a-z]+:)[^)]*\)", rb"\1", readme)


def metadata(version, readme):
    head = (
        "Metadata-Version: 2.1\n"
        "Name: dalk\n"
        f"Version: {version}\n"
        f"Summary: {SUMMARY}\n"
        "License: MIT\n"
        "Classifier: License :: OSI Approved :: MIT License\n"
        "Classifier: Environment :: Console\n"
        "Classifier: Intended Audience :: Science/Research\n"
        "Classifier: Operating System :: POSIX :: Linux\n"
        "Classifier: Operating System :: Microsoft :: Windows\n"
        "Classifier: Topic :: Scientific/Engineering :: Image Processing\n"
        "Description-Content-Type: text/markdown\n"
        "\n"
    )
    return head.encode() + unlinked(readme)


def record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}\n"


def main():
    if len(sys.argv) != 8 or sys.argv[3] not in PLATFORM_TAGS:
        sys.exit(__doc__.split("\n\n")[1])
    outdir, version, platform, top, readme, guide, licence = sys.argv[1:]
    tags = PLATFORM_TAGS[platform]
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "315532800"))
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980

    data = f"dalk-{version}.data"
    info = f"dalk-{version}.dist-info"
    files = []
    for name in PROGRAMS:
        if platform == "win_amd64":
            files += [(f"{data}/scripts/{name}.exe", read(os.path.join(top, f"{name}.exe")), 0o755),
                      (f"{data}/scripts/{name}.txt", read(os.path.join(top, f"{name}.txt")), 0o644)]
        else:
            manual = f"share/man/man1/{name}.1.gz"
            files += [(f"{data}/scripts/{name}", read(os.path.join(top, "bin", name)), 0o755),
                      (f"{data}/data/{manual}", read(os.path.join(top, manual)), 0o644)]
    files.append((f"{data}/data/share/doc/dalk/running.md", read(guide), 0o644))
    wheel = ("Wheel-Version: 1.0\n"
             "Generator: dalk packaging/wheel.py\n"
             "Root-Is-Purelib: false\n"
             + "".join(f"Tag: py3-none-{tag}\n" for tag in tags))
    files += [(f"{info}/METADATA", metadata(version, read(readme)), 0o644),
              (f"{info}/WHEEL", wheel.encode(), 0o644),
              (f"{info}/LICENSE", read(licence), 0o644)]
    record = "".join(record_line(name, body) for name, body, _ in files)
    files.append((f"{info}/RECORD", (record + f"{info}/RECORD,,\n").encode(), 0o644))

    path = os.path.join(outdir, f"dalk-{version}-py3-none-{'.'.join(tags)}.whl")
    with zipfile.ZipFile(path, "w") as whl:
        for name, body, mode in files:
            member = zipfile.ZipInfo(name, stamp)
            member.create_system = 3  # Unix, so that the mode below counts
            member.external_attr = (0o100000 | mode) << 16
            member.compress_type = zipfile.ZIP_DEFLATED
            whl.writestr(member, body, compresslevel=9)
    print(os.path.basename(path))


if __name__ == "__main__":
    main()
