#!/usr/bin/python3
"""Fails, naming the Debian package, when a tool that the execution tests need is missing."""

import shutil
import sys

missing = []
if not shutil.which("nasm"):
    missing.append("nasm (package nasm)")
if not shutil.which("dosbox"):
    missing.append("dosbox (package dosbox)")
try:
    import unicorn  # noqa: F401
except ImportError:
    missing.append(f"the unicorn module for {sys.executable} (package python3-unicorn)")
for m in missing:
    print("missing: " + m)
sys.exit(1 if missing else 0)
