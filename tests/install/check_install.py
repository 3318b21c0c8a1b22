#!/usr/bin/env python3
"""What `cmake --install` and CPack make of a build, tried as a user would use it.

    check_install.py BUILD_DIR

Installs into a fresh prefix; the installed pas2asm-run must find the installed compiler beside it
and take the bundled example from source to output, with no Python, unicorn or NASM on PATH. The
.deb must hold the same files under /usr and name nothing of those among its dependencies.
"""

import os
import subprocess
import sys
import tempfile

FILES = ["bin/pas2asm", "bin/pas2asm-run", "share/doc/pas2asm/README.md", "share/doc/pas2asm/demo.pas"]


def main():
    build = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory(prefix="install-") as tmp:
        prefix = os.path.join(tmp, "prefix")
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        for name in FILES:
            if not os.path.lexists(os.path.join(prefix, name)):
                failures.append(f"not installed: {name}")
        # Run from elsewhere, with no compiler on PATH and none named: the one beside it is taken.
        env = {k: v for k, v in os.environ.items() if k != "PAS2ASM"}
        env["PATH"] = os.path.join(tmp, "empty")
        run = subprocess.run([os.path.join(prefix, "bin", "pas2asm-run"),
                              os.path.join(prefix, "share/doc/pas2asm/demo.pas")],
                             input=b"41\r\n", capture_output=True, cwd=tmp, env=env)
        if (run.returncode, run.stdout) != (0, b"\r\n42"):
            failures.append(f"installed pas2asm-run on demo.pas: exit {run.returncode}, "
                            f"output {run.stdout!r}, {run.stderr!r}")
        packages = os.path.join(tmp, "packages")
        subprocess.run(["cpack", "-G", "DEB", "-B", packages, "--config",
                        os.path.join(build, "CPackConfig.cmake")], check=True,
                       stdout=subprocess.DEVNULL)
        debs = [n for n in os.listdir(packages) if n.endswith(".deb")]
        if len(debs) != 1:
            failures.append(f"cpack made {debs}, not one .deb")
        else:
            listing = subprocess.run(["dpkg-deb", "-c", os.path.join(packages, debs[0])],
                                     capture_output=True, text=True, check=True).stdout
            held = {line.split()[5].removeprefix("./usr/") for line in listing.splitlines()}
            for name in FILES:
                if name not in held:
                    failures.append(f"not in the .deb: /usr/{name}")
            fields = subprocess.run(["dpkg-deb", "-f", os.path.join(packages, debs[0])],
                                    capture_output=True, text=True, check=True).stdout
            for tool in ("python3", "unicorn", "nasm"):
                if tool in fields:
                    failures.append(f"the .deb names {tool}: {fields!r}")
    for failure in failures:
        print(f"FAIL {failure}")
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
