#!/usr/bin/env python3
"""What `cmake --install` and CPack make of a build, tried as a user would use it.

    check_install.py BUILD_DIR
    check_install.py --windows BUILD_DIR

Installs into a fresh prefix; the installed pas2asm-run must find the installed compiler beside it
and take the bundled example from source to output, with no Python, unicorn or NASM on PATH; the
guide and the manual page lie where a user looks for them; where the build made the playground,
the installed pas2asm-play serves the installed site. The .deb must hold the same files under
/usr and name nothing of those tools among its dependencies. A Windows build is not installed but
packed: its .zip holds one folder with pas2asm.exe, pas2asm-run.exe, the guide in both languages,
the README and the example.
"""

import os
import subprocess
import sys
import tempfile
import zipfile

FILES = ["bin/pas2asm", "bin/pas2asm-run", "share/doc/pas2asm/README.md",
         "share/doc/pas2asm/demo.pas", "share/doc/pas2asm/guide.md", "share/doc/pas2asm/guide.ru.md",
         "share/doc/pas2asm/map.md", "share/man/man1/pas2asm.1"]
WINDOWS_FILES = ["pas2asm.exe", "pas2asm-run.exe", "README.md", "guide.md", "guide.ru.md",
                 "map.md", "demo.pas"]


def check_installed(build, tmp, failures):
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
    if os.path.isdir(os.path.join(build, "site")):
        check_playground(prefix, failures)


def check_playground(prefix, failures):
    """The installed pas2asm-play finds the installed site by itself and serves its page."""
    import urllib.request
    for name in ("bin/pas2asm-play", "share/pas2asm/play/index.html", "share/pas2asm/play/pas2asm.wasm",
                 "share/pas2asm/play/pas2asm-machine.wasm", "share/doc/pas2asm/playground.md"):
        if not os.path.lexists(os.path.join(prefix, name)):
            failures.append(f"not installed: {name}")
    server = subprocess.Popen([os.path.join(prefix, "bin", "pas2asm-play"), "--port", "0"],
                              stdout=subprocess.PIPE, text=True)
    try:
        address = server.stdout.readline().split(": ", 1)[-1].strip()
        with urllib.request.urlopen(address, timeout=10) as page:
            if b"pas2asm playground" not in page.read():
                failures.append(f"the installed pas2asm-play at {address} serves no playground")
    except OSError as e:
        failures.append(f"the installed pas2asm-play: {e}")
    finally:
        server.kill()
        server.wait()


def packed(build, generator, tmp, failures):
    """The names of the files in the one package CPack makes, or None."""
    packages = os.path.join(tmp, "packages")
    subprocess.run(["cpack", "-G", generator, "-B", packages, "--config",
                    os.path.join(build, "CPackConfig.cmake")], check=True,
                   stdout=subprocess.DEVNULL)
    suffix = "." + generator.lower()
    made = [n for n in os.listdir(packages) if n.endswith(suffix)]
    if len(made) != 1:
        failures.append(f"cpack made {made}, not one {suffix}")
        return None
    package = os.path.join(packages, made[0])
    if generator == "DEB":
        fields = subprocess.run(["dpkg-deb", "-f", package], capture_output=True, text=True,
                                check=True).stdout
        for tool in ("python3", "unicorn", "nasm"):
            if tool in fields:
                failures.append(f"the .deb names {tool}: {fields!r}")
        listing = subprocess.run(["dpkg-deb", "-c", package], capture_output=True, text=True,
                                 check=True).stdout
        return {line.split()[5].removeprefix("./usr/") for line in listing.splitlines()}
    with zipfile.ZipFile(package) as z:
        # CPack puts everything in a folder named like the package.
        return {name.split("/", 1)[1] for name in z.namelist() if "/" in name}


def main():
    windows = sys.argv[1] == "--windows"
    build = sys.argv[-1]
    failures = []
    with tempfile.TemporaryDirectory(prefix="install-") as tmp:
        if not windows:
            check_installed(build, tmp, failures)
        held = packed(build, "ZIP" if windows else "DEB", tmp, failures)
        if held is not None:
            for name in WINDOWS_FILES if windows else FILES:
                if name not in held:
                    failures.append(f"not in the package: {name}")
    for failure in failures:
        print(f"FAIL {failure}")
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
