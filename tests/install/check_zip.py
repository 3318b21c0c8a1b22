#!/usr/bin/env python3
"""The Windows .zip that CPack makes of a cross build holds what a user unpacks and runs.

    check_zip.py BUILD_DIR

One folder with pas2asm.exe, the guide in both languages, the README and the example.
"""

import os
import subprocess
import sys
import tempfile
import zipfile

FILES = ["pas2asm.exe", "README.md", "guide.md", "guide.ru.md", "demo.pas"]


def main():
    build = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory(prefix="zip-") as packages:
        subprocess.run(["cpack", "-G", "ZIP", "-B", packages, "--config",
                        os.path.join(build, "CPackConfig.cmake")], check=True,
                       stdout=subprocess.DEVNULL)
        zips = [n for n in os.listdir(packages) if n.endswith(".zip")]
        if len(zips) != 1:
            failures.append(f"cpack made {zips}, not one .zip")
        else:
            with zipfile.ZipFile(os.path.join(packages, zips[0])) as z:
                # CPack puts everything in a folder named like the package.
                held = {name.split("/", 1)[1] for name in z.namelist() if "/" in name}
            for name in FILES:
                if name not in held:
                    failures.append(f"not in the .zip: {name} (it holds {sorted(held)})")
    for failure in failures:
        print(f"FAIL {failure}")
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
