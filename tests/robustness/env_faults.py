#!/usr/bin/env python3
"""Faults of the environment: the source, "out.asm", "out1.asm" and the console each failing.

    env_faults.py --compiler PATH GROUP    GROUP: source | output | final | console | windows

Every failure must end the run with the I/O error report on standard error and exit code 1, and
must never leave an "out1.asm" that a later step could take for a good one: a run that fails before
the final assembly leaves an earlier "out1.asm" exactly as it was, one that fails while building it
leaves none. The tests run as root, for whom file modes mean nothing; where a case needs a refusal,
it uses a mechanism that binds root too (capabilities dropped, an immutable attribute, a mount) and
fails loudly when that mechanism is not available here. Nothing is ever skipped.

The group "windows" is for the Windows build, run under Wine: the faults that Windows knows, and
for each of the others one line on why it does not apply there.
"""

import argparse
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading

TIMEOUT = 60

OK_SOURCE = b"PROGRAM P;\r\nVAR a : INTEGER;\r\nBEGIN\r\n  a := 1;\r\n  WRITE(a);\r\nEND.\r\n"
# Passes the syntax check; the translating pass stops at the unknown name in line 5.
TRANSLATION_ERROR_SOURCE = (b"PROGRAM P;\r\nVAR a : INTEGER;\r\nBEGIN\r\n  a := 1;\r\n"
                            b"  b := 2;\r\nEND.\r\n")
# An IF without ELSE: the syntax check re-parses it after one wait for Enter.
REPARSE_SOURCE = (b"PROGRAM P;\r\nVAR a : INTEGER;\r\nBEGIN\r\n  IF a > 1 THEN a := 2;\r\n"
                  b"END.\r\n")
# "=" for ":=" before any IF or WRITE: refused after two waits.
REFUSED_SOURCE = b"PROGRAM P;\r\nVAR a : INTEGER;\r\nBEGIN\r\n  a = 1;\r\nEND.\r\n"
# A long WRITE text: "out.asm" stays small, "out1.asm" grows by the text.
LONG_TEXT = b"x" * 60000
LONG_TEXT_SOURCE = (b"PROGRAM P;\r\nVAR a : INTEGER;\r\nBEGIN\r\n  WRITE('" + LONG_TEXT +
                    b"', a);\r\nEND.\r\n")

# A WRITE text: the syntax check re-parses the statement, and the text is pooled.
TEXT_SOURCE = (b"PROGRAM P;\r\nVAR a : INTEGER;\r\nBEGIN\r\n  WRITE('t', a);\r\nEND.\r\n")

STALE_OUT1 = b"; out1.asm of an earlier run\r\n"

RETRY = "Синтаксический анализатор попытаеться разобрать это правило еще раз.".encode("cp866")
REFUSAL = "Данное правило не подлежит повторному разбору.".encode("cp866")
REPARSED = "Синтаксический аналитор удачно разобрал правило.".encode("cp866")
UNKNOWN_B = ("\r\n\aError: Ошибка в строке 5: Unknown identifier B Expected.\r\n").encode("cp866")
PARSE_ERROR = ("\r\n\aError: Ошибка разбора  Expected.\r\n").encode("cp866")

DAC_CAPS = "-dac_override,-dac_read_search"


class Failure(Exception):
    pass


def report(failure, what):
    """The report text; `failure` is a fixed name or None where any short name will do."""
    name = re.escape(failure) if failure else r"[A-Za-z][A-Za-z ,'-]*"
    return re.compile(rb"pas2asm: I/O error: " + name.encode() + rb": " +
                      re.escape(what.encode()) + rb"\r\n")


class Run:
    def __init__(self, returncode, stdout, stderr, files):
        self.returncode, self.stdout, self.stderr, self.files = returncode, stdout, stderr, files


def snapshot(workdir):
    files = {}
    for name in os.listdir(workdir):
        path = os.path.join(workdir, name)
        if os.path.islink(path):
            files[name] = ("link", os.readlink(path))
        elif os.path.isdir(path):
            files[name] = ("dir", None)
        elif not os.path.isfile(path):
            files[name] = ("special", None)  # a FIFO: reading it here could block
        else:
            with open(path, "rb") as f:
                files[name] = ("file", f.read())
    return files


def without_dac(argv):
    """Runs argv with the file-mode override of root taken away, so that modes bind again."""
    if os.geteuid() != 0:
        return argv
    if shutil.which("setpriv") is None:
        raise Failure("setpriv (util-linux) is needed to drop root's file-mode override")
    return ["setpriv", "--inh-caps=" + DAC_CAPS, "--bounding-set=" + DAC_CAPS, "--"] + argv


def run(compiler, workdir, args=("source.pas",), stdin=b"", stdout=None, wrap=None,
        preexec=None, timeout=TIMEOUT):
    """Runs the compiler in workdir. stdin: bytes, or "closed". stdout: None (captured), "closed",
    or an open descriptor to hand over."""
    argv = [compiler] + list(args)
    if wrap:
        argv = wrap(argv)
    out_path = os.path.join(workdir, "..", "captured-stdout")
    err_path = os.path.join(workdir, "..", "captured-stderr")
    with open(out_path, "wb") as out_file, open(err_path, "wb") as err_file:
        out_fd = out_file.fileno() if stdout is None else (stdout if isinstance(stdout, int) else None)
        in_r, in_w = os.pipe()

        def child_setup():
            # Lay out descriptors 0 and 1 as the case wants; "closed" really closes them.
            if stdin == "closed":
                os.close(0)
            if stdout == "closed":
                os.close(1)
            if preexec:
                preexec()

        proc = subprocess.Popen(argv, cwd=workdir,
                                stdin=None if stdin == "closed" else in_r,
                                stdout=None if stdout == "closed" else out_fd,
                                stderr=err_file, preexec_fn=child_setup, close_fds=True)
        os.close(in_r)
        if stdin != "closed":
            writer = threading.Thread(target=feed, args=(in_w, stdin))
            writer.start()
        else:
            os.close(in_w)
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            raise Failure(f"the compiler did not end within {timeout} s")
        if stdin != "closed":
            writer.join()
    with open(out_path, "rb") as f:
        captured_out = f.read()
    with open(err_path, "rb") as f:
        captured_err = f.read()
    return Run(proc.returncode, captured_out, captured_err, snapshot(workdir))


def feed(fd, data):
    try:
        os.write(fd, data)
    except OSError:
        pass
    finally:
        os.close(fd)


def expect(run_, code, stderr, out1="absent", stdout=None, out_asm=None):
    """out1: "absent", "stale" (the earlier file unchanged), "dir", or "made" (a complete file).
    out_asm: None (not checked), "absent" or "present"."""
    problems = []
    if run_.returncode != code:
        problems.append(f"exit code {run_.returncode}, expected {code}")
    if isinstance(stderr, bytes):
        if run_.stderr != stderr:
            problems.append(f"standard error {run_.stderr!r}, expected {stderr!r}")
    elif not stderr.fullmatch(run_.stderr):
        problems.append(f"standard error {run_.stderr!r}, expected /{stderr.pattern!r}/")
    if stdout is not None and not stdout(run_.stdout):
        problems.append(f"standard output {run_.stdout!r} is not as expected")
    got = run_.files.get("out1.asm")
    if out1 == "absent" and got is not None:
        problems.append(f"out1.asm left behind: {describe(got)}")
    if out1 == "stale" and got != ("file", STALE_OUT1):
        problems.append(f"the earlier out1.asm was not left as it was: {describe(got)}")
    if out1 == "dir" and got != ("dir", None):
        problems.append(f"out1.asm is no longer the directory it was: {describe(got)}")
    if out1 == "made" and (got is None or got[0] != "file" or not got[1].endswith(b" end main\r\n")):
        problems.append(f"no complete out1.asm: {describe(got)}")
    if out_asm == "absent" and "out.asm" in run_.files:
        problems.append("out.asm left behind")
    if out_asm == "present" and "out.asm" not in run_.files:
        problems.append("out.asm missing")
    if problems:
        raise Failure("; ".join(problems))


def describe(entry):
    if entry is None:
        return "none"
    kind, content = entry
    if kind == "file":
        return f"a file of {len(content)} bytes"
    return f"a {kind}" + (f" to {content}" if content else "")


class Case:
    def __init__(self, compiler):
        self.compiler = compiler
        self.root = tempfile.mkdtemp(prefix="robust-")
        self.dir = os.path.join(self.root, "run")
        os.mkdir(self.dir)

    def put(self, name, data):
        with open(os.path.join(self.dir, name), "wb") as f:
            f.write(data)

    def path(self, name):
        return os.path.join(self.dir, name)

    def run(self, **kw):
        return run(self.compiler, self.dir, **kw)

    def close(self):
        for dirpath, dirs, _files in os.walk(self.root):
            for d in dirs:
                subprocess.run(["chattr", "-i", os.path.join(dirpath, d)], capture_output=True)
        shutil.rmtree(self.root, ignore_errors=True)


def chattr_immutable(path):
    result = subprocess.run(["chattr", "+i", path], capture_output=True, text=True)
    if result.returncode != 0:
        raise Failure(f"'chattr +i' is needed here and failed: {result.stderr.strip()}")


def chattr_release(path):
    subprocess.run(["chattr", "-i", path], capture_output=True)


# ---- the source ----------------------------------------------------------------------------------

def source_is_directory(c):
    os.mkdir(c.path("source.pas"))
    c.put("out1.asm", STALE_OUT1)
    r = c.run()
    expect(r, 1, report("Is a directory", "source.pas"), out1="stale", out_asm="absent",
           stdout=lambda s: s == b"")


def source_not_readable(c):
    c.put("source.pas", OK_SOURCE)
    os.chmod(c.path("source.pas"), 0)
    c.put("out1.asm", STALE_OUT1)
    r = c.run(wrap=without_dac)
    expect(r, 1, report("Access denied", "source.pas"), out1="stale", out_asm="absent",
           stdout=lambda s: s == b"")


def source_missing(c):
    c.put("out1.asm", STALE_OUT1)
    r = c.run()
    expect(r, 1, report("File not found", "source.pas"), out1="stale", out_asm="absent",
           stdout=lambda s: s == b"")


def source_dangling_link(c):
    os.symlink("gone.pas", c.path("source.pas"))
    r = c.run()
    expect(r, 1, report("File not found", "source.pas"), out_asm="absent")


def source_fifo_without_writer(c):
    # A source that cannot be positioned is refused; waiting for a writer that never comes would
    # hang the run instead.
    os.mkfifo(c.path("source.pas"))
    r = c.run(timeout=10)
    expect(r, 1, report(None, "source.pas"), out_asm="absent")


def source_fifo_with_writer(c):
    os.mkfifo(c.path("source.pas"))
    stop = threading.Event()

    def writer():
        try:
            fd = os.open(c.path("source.pas"), os.O_WRONLY)
        except OSError:
            return
        try:
            os.write(fd, OK_SOURCE)
            stop.wait(TIMEOUT)
        except OSError:
            pass
        finally:
            os.close(fd)

    t = threading.Thread(target=writer, daemon=True)
    t.start()
    try:
        r = c.run(timeout=10)
    finally:
        stop.set()
        # Unblock a writer still waiting in open.
        try:
            fd = os.open(c.path("source.pas"), os.O_RDONLY | os.O_NONBLOCK)
            os.close(fd)
        except OSError:
            pass
        t.join(5)
    expect(r, 1, report(None, "source.pas"), out_asm="absent")


# ---- out.asm -------------------------------------------------------------------------------------

def out_asm_read_only_directory(c):
    c.put("source.pas", OK_SOURCE)
    c.put("out1.asm", STALE_OUT1)
    os.chmod(c.dir, 0o555)
    r = c.run(wrap=without_dac)
    expect(r, 1, report("Access denied", "out.asm"), out1="stale", out_asm="absent")


def out_asm_immutable_directory(c):
    c.put("source.pas", OK_SOURCE)
    c.put("out1.asm", STALE_OUT1)
    chattr_immutable(c.dir)
    try:
        r = c.run()
    finally:
        chattr_release(c.dir)
    expect(r, 1, report("Access denied", "out.asm"), out1="stale", out_asm="absent")


def in_private_tmpfs(c, options, script_body):
    """Runs a shell script in a mount namespace of its own, with a fresh tmpfs mounted on
    c.dir; the script sees $COMPILER and $RUN and writes what it finds to files in c.root."""
    for tool in ("unshare", "mount"):
        if shutil.which(tool) is None:
            raise Failure(f"'{tool}' is needed for a mount of the case's own")
    script = ("set -e\n"
              f"mount -t tmpfs -o {options} pas2asm-case \"$RUN\"\n"
              + script_body)
    env = dict(os.environ, COMPILER=c.compiler, RUN=c.dir, ROOT=c.root)
    result = subprocess.run(["unshare", "--mount", "--propagation", "private", "sh", "-c", script],
                            env=env, capture_output=True, timeout=TIMEOUT)
    if result.returncode != 0:
        raise Failure(f"the private mount could not be set up (exit {result.returncode}): "
                      f"{result.stderr.decode(errors='replace').strip()}")


def read_back(c, name):
    with open(os.path.join(c.root, name), "rb") as f:
        return f.read()


def out_asm_read_only_file_system(c):
    with open(os.path.join(c.root, "source.pas"), "wb") as f:
        f.write(OK_SOURCE)
    with open(os.path.join(c.root, "stale"), "wb") as f:
        f.write(STALE_OUT1)
    in_private_tmpfs(c, "size=1m", """
cp "$ROOT/source.pas" "$ROOT/stale" "$RUN/"
mv "$RUN/stale" "$RUN/out1.asm"
mount -o remount,ro "$RUN"
cd "$RUN"
set +e
"$COMPILER" source.pas </dev/null >"$ROOT/stdout" 2>"$ROOT/stderr"
echo $? >"$ROOT/code"
ls -A >"$ROOT/files"
cat out1.asm >"$ROOT/out1-after"
""")
    r = Run(int(read_back(c, "code")), read_back(c, "stdout"), read_back(c, "stderr"), {})
    expect(r, 1, report(None, "out.asm"), out1=None)
    if sorted(read_back(c, "files").split()) != [b"out1.asm", b"source.pas"]:
        raise Failure(f"files left: {read_back(c, 'files')!r}")
    if read_back(c, "out1-after") != STALE_OUT1:
        raise Failure("the earlier out1.asm was changed")


def out_asm_link_to_full_device(c, source=OK_SOURCE):
    c.put("source.pas", source)
    c.put("out1.asm", STALE_OUT1)
    os.symlink("/dev/full", c.path("out.asm"))
    r = c.run()
    expect(r, 1, report("Disk full", "out.asm"), out1="stale", stdout=lambda s: s == b"")


def out_asm_full_after_translation_error(c):
    # The error line is printed, then closing "out.asm" fails: the I/O error ends the run.
    c.put("source.pas", TRANSLATION_ERROR_SOURCE)
    c.put("out1.asm", STALE_OUT1)
    os.symlink("/dev/full", c.path("out.asm"))
    r = c.run()
    expect(r, 1, report("Disk full", "out.asm"), out1="stale",
           stdout=lambda s: s == UNKNOWN_B)


# Passes the syntax check; the translating pass stops at the unknown name at its end, with about
# 1.5 MiB of "out.asm" made: more than the output buffer holds, so its first megabyte is written
# while the rest is translated.
LARGE_ERROR_SOURCE = (b"PROGRAM P;\r\nVAR a : INTEGER;\r\nBEGIN\r\n" +
                      b"  a := a + 1;\r\n" * 10000 + b"  b := 2;\r\nEND.\r\n")


def large_out_asm_full_before_translation_error(c):
    # The write of the first megabyte fails before the error is met: the run ends as it would
    # have ended at once, and the error line is never printed.
    out_asm_link_to_full_device(c, LARGE_ERROR_SOURCE)


# ---- out1.asm ------------------------------------------------------------------------------------

# With no text pooled, "out1.asm" is made by renaming "out.asm"; with texts it is written anew.
# Both ways are tried where they can fail differently.
FINAL_WAYS = {"renamed": OK_SOURCE, "written": TEXT_SOURCE}


def out1_is_directory(c):
    for way, source in FINAL_WAYS.items():
        c.put("source.pas", source)
        os.mkdir(c.path("out1.asm"))
        r = c.run()
        try:
            expect(r, 1, report("Is a directory", "out1.asm"), out1="dir")
        except Failure as e:
            raise Failure(f"{way}: {e}")
        for name in ("out1.asm", "out.asm"):
            if os.path.isdir(c.path(name)):
                os.rmdir(c.path(name))
            elif os.path.lexists(c.path(name)):
                os.unlink(c.path(name))


def out1_immutable(c):
    for way, source in FINAL_WAYS.items():
        c.put("source.pas", source)
        c.put("out1.asm", STALE_OUT1)
        chattr_immutable(c.path("out1.asm"))
        try:
            r = c.run()
        finally:
            chattr_release(c.path("out1.asm"))
        try:
            expect(r, 1, report("Access denied", "out1.asm"), out1="stale")
        except Failure as e:
            raise Failure(f"{way}: {e}")
        if os.path.lexists(c.path("out.asm")):
            os.unlink(c.path("out.asm"))


def read_only_out1(c, source):
    c.put("source.pas", source)
    c.put("out1.asm", STALE_OUT1)
    os.chmod(c.path("out1.asm"), 0o444)
    return c.run(wrap=without_dac)


def out1_read_only_written(c):
    # Writing into a read-only file is refused and leaves it as it was.
    r = read_only_out1(c, FINAL_WAYS["written"])
    expect(r, 1, report("Access denied", "out1.asm"), out1="stale")


def out1_read_only_renamed(c):
    # A rename replaces any file that the directory lets go, read-only or not.
    r = read_only_out1(c, FINAL_WAYS["renamed"])
    expect(r, 0, b"", out1="made", out_asm="absent")


def out1_link_to_full_device_written(c):
    c.put("source.pas", TEXT_SOURCE)
    os.symlink("/dev/full", c.path("out1.asm"))
    r = c.run()
    expect(r, 1, report("Disk full", "out1.asm"), out1="absent")


def out1_link_to_full_device_renamed(c):
    # Renaming replaces the link itself: nothing is written through it, and the run succeeds.
    c.put("source.pas", OK_SOURCE)
    os.symlink("/dev/full", c.path("out1.asm"))
    r = c.run()
    expect(r, 0, b"", out1="made", out_asm="absent")


def out1_disk_full_midway(c):
    # A file system of 32 KiB: "out.asm" (a few KiB) fits, "out1.asm" with the 60 000-byte text
    # does not, so the disk fills while it is being written.
    with open(os.path.join(c.root, "source.pas"), "wb") as f:
        f.write(LONG_TEXT_SOURCE)
    in_private_tmpfs(c, "size=32k", """
cd "$RUN"
set +e
"$COMPILER" "$ROOT/source.pas" </dev/null >"$ROOT/stdout" 2>"$ROOT/stderr"
echo $? >"$ROOT/code"
ls -A >"$ROOT/files"
""")
    r = Run(int(read_back(c, "code")), read_back(c, "stdout"), read_back(c, "stderr"), {})
    expect(r, 1, report("Disk full", "out1.asm"))
    if b"out1.asm" in read_back(c, "files").split():
        raise Failure("a partial out1.asm was left on the full disk")


def file_size_limit(c, source, limit, name):
    # A limit on the size of written files: the write that passes it must fail like any other,
    # not end the process by a signal halfway through the file.
    import resource
    c.put("source.pas", source)

    def limit_files():
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
        signal.signal(signal.SIGXFSZ, signal.SIG_DFL)

    r = c.run(preexec=limit_files)
    if r.returncode < 0:
        raise Failure(f"the compiler was ended by signal {-r.returncode} "
                      f"({signal.Signals(-r.returncode).name}) while writing {name}; "
                      f"out1.asm left: {describe(r.files.get('out1.asm'))}")
    expect(r, 1, report(None, name), out1="absent")


def out_asm_file_size_limit(c):
    file_size_limit(c, OK_SOURCE, 1024, "out.asm")


def out1_file_size_limit(c):
    # "out.asm" stays below 16 KiB; "out1.asm" with the 60 000-byte text does not.
    file_size_limit(c, LONG_TEXT_SOURCE, 16 * 1024, "out1.asm")


def out1_file_size_limit_at_copy(c):
    # A long program with a short WRITE text: the limit lies one byte under the size of "out1.asm",
    # above that of "out.asm", so the run fails at the very end of the copy of "out.asm" into it,
    # after the head and the text went in well.
    source = (b"PROGRAM P;\r\nVAR a : INTEGER;\r\nBEGIN\r\n  WRITE('t', a);\r\n" +
              b"  a := a + 1;\r\n" * 3000 + b"END.\r\n")
    c.put("source.pas", source)
    whole = c.run()
    expect(whole, 0, b"", out1="made", out_asm="absent")
    size = len(whole.files["out1.asm"][1])
    text_line = b'_msg0  db  "t","$" \r\n'
    assert size > 200 * 1024 and text_line in whole.files["out1.asm"][1]
    os.remove(c.path("out1.asm"))
    file_size_limit(c, source, size - 1, "out1.asm")


# ---- the console ---------------------------------------------------------------------------------

def stdin_closed_after_translation_error(c):
    c.put("source.pas", TRANSLATION_ERROR_SOURCE)
    c.put("out1.asm", STALE_OUT1)
    r = c.run(stdin="closed")
    expect(r, 1, report(None, "standard input"), out1="stale", out_asm="present",
           stdout=lambda s: s == UNKNOWN_B)


def stdin_closed_in_reparse_dialogue(c):
    c.put("source.pas", REPARSE_SOURCE)
    c.put("out1.asm", STALE_OUT1)
    r = c.run(stdin="closed")
    # The failed read is the first wait: nothing after the retry text is printed.
    expect(r, 1, report(None, "standard input"), out1="stale", out_asm="absent",
           stdout=lambda s: s == PARSE_ERROR + RETRY + b"\r\n")


def stdin_closed_before_refusal(c):
    c.put("source.pas", REFUSED_SOURCE)
    r = c.run(stdin="closed")
    expect(r, 1, report(None, "standard input"), out_asm="absent",
           stdout=lambda s: s.endswith(RETRY + b"\r\n") and REFUSAL not in s)


def stdin_at_end_reparse_compiles(c):
    c.put("source.pas", REPARSE_SOURCE)
    r = c.run(stdin=b"")
    expect(r, 0, b"", out1="made", out_asm="absent",
           stdout=lambda s: s == PARSE_ERROR + RETRY + b"\r\n\a" + REPARSED + b"\r\n")


def stdin_at_end_refusal(c):
    c.put("source.pas", REFUSED_SOURCE)
    r = c.run(stdin=b"")
    expect(r, 1, b"", out_asm="absent",
           stdout=lambda s: s == PARSE_ERROR + RETRY + b"\r\n" + REFUSAL + b"\r\n")


def stdin_at_end_translation_error(c):
    c.put("source.pas", TRANSLATION_ERROR_SOURCE)
    r = c.run(stdin=b"")
    expect(r, 1, b"", out_asm="present", stdout=lambda s: s == UNKNOWN_B)


def stdout_closed_at_message(c):
    c.put("source.pas", REPARSE_SOURCE)
    c.put("out1.asm", STALE_OUT1)
    r = c.run(stdout="closed")
    expect(r, 1, report(None, "standard output"), out1="stale", out_asm="absent")


def stdout_closed_silent_run(c):
    c.put("source.pas", OK_SOURCE)
    r = c.run(stdout="closed")
    expect(r, 0, b"", out1="made", out_asm="absent")


def broken_pipe(c, source):
    c.put("source.pas", source)
    read_end, write_end = os.pipe()
    os.close(read_end)
    try:
        return c.run(stdout=write_end)
    finally:
        os.close(write_end)


def stdout_broken_pipe_at_message(c):
    r = broken_pipe(c, TRANSLATION_ERROR_SOURCE)
    expect(r, 1, report("Broken pipe", "standard output"))


def stdout_broken_pipe_silent_run(c):
    r = broken_pipe(c, OK_SOURCE)
    expect(r, 0, b"", out1="made", out_asm="absent")


def stdout_full_device(c):
    c.put("source.pas", REFUSED_SOURCE)
    fd = os.open("/dev/full", os.O_WRONLY)
    try:
        r = c.run(stdout=fd)
    finally:
        os.close(fd)
    expect(r, 1, report("Disk full", "standard output"))


def all_streams_closed(c):
    # With 0, 1 and 2 closed, the files the compiler opens must not take their places: the error
    # line must not end up in "out.asm", nor the program in the console.
    c.put("source.pas", TRANSLATION_ERROR_SOURCE)

    def close_stderr():
        os.close(2)

    r = c.run(stdin="closed", stdout="closed", preexec=close_stderr)
    if r.returncode != 1:
        raise Failure(f"exit code {r.returncode}, expected 1")
    # The error line cannot be written, so the run ends there, with "out.asm" as far as it got.
    out = r.files.get("out.asm", ("file", b""))
    if out[0] != "file" or b"Error" in out[1] or not b".model small\r\n".startswith(out[1][:14]):
        raise Failure(f"out.asm holds more than translated lines: {out[1][:200]!r}")
    c2 = Case(c.compiler)
    try:
        c2.put("source.pas", OK_SOURCE)
        r2 = c2.run(stdin="closed", stdout="closed", preexec=close_stderr)
        expect(r2, 0, b"", out1="made", out_asm="absent")
    finally:
        c2.close()


GROUPS = {
    "source": [source_missing, source_is_directory, source_not_readable, source_dangling_link,
               source_fifo_without_writer, source_fifo_with_writer],
    "output": [out_asm_read_only_directory, out_asm_immutable_directory,
               out_asm_read_only_file_system, out_asm_link_to_full_device,
               out_asm_full_after_translation_error, out_asm_file_size_limit,
               large_out_asm_full_before_translation_error],
    "final": [out1_is_directory, out1_read_only_written, out1_read_only_renamed, out1_immutable, out1_link_to_full_device_written,
              out1_link_to_full_device_renamed, out1_disk_full_midway, out1_file_size_limit,
              out1_file_size_limit_at_copy],
    "console": [stdin_closed_after_translation_error, stdin_closed_in_reparse_dialogue,
                stdin_closed_before_refusal, stdin_at_end_reparse_compiles, stdin_at_end_refusal,
                stdin_at_end_translation_error, stdout_closed_at_message, stdout_closed_silent_run,
                stdout_broken_pipe_at_message, stdout_broken_pipe_silent_run, stdout_full_device,
                all_streams_closed],
}

# Under Wine the Windows build meets the same files through the Windows API: these faults mean the
# same there.
WINDOWS = [source_missing, source_is_directory, out1_is_directory, out1_read_only_renamed,
           stdin_closed_after_translation_error, stdin_closed_in_reparse_dialogue,
           stdin_closed_before_refusal, stdin_at_end_reparse_compiles, stdin_at_end_refusal,
           stdin_at_end_translation_error, stdout_closed_at_message, stdout_closed_silent_run,
           stdout_broken_pipe_at_message, stdout_broken_pipe_silent_run]
NOT_ON_WINDOWS = {
    "source_not_readable": "file modes that bind root through setpriv are POSIX only",
    "source_dangling_link, out_asm_link_to_full_device, out_asm_full_after_translation_error, "
    "large_out_asm_full_before_translation_error, out1_link_to_full_device_written, "
    "out1_link_to_full_device_renamed":
        "symbolic links to /dev/full: no such device on Windows",
    "source_fifo_without_writer, source_fifo_with_writer": "FIFOs are POSIX only",
    "out_asm_read_only_directory": "a read-only directory still takes new files on Windows",
    "out_asm_immutable_directory, out1_immutable": "chattr is Linux only",
    "out_asm_read_only_file_system, out1_disk_full_midway": "private mounts (unshare) are Linux only",
    "out_asm_file_size_limit, out1_file_size_limit, out1_file_size_limit_at_copy":
        "a file-size limit (ulimit -f) is POSIX only",
    "stdout_full_device": "/dev/full is Linux only",
    "out1_read_only_written": "Wine's server opens files as root, whom a read-only mode does not stop",
    "all_streams_closed": "Wine loses the exit status of a run started with descriptors 0 and 2 "
                          "closed; closed streams are tried one at a time",
}
GROUPS["windows"] = WINDOWS


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--compiler", required=True)
    parser.add_argument("group", choices=sorted(GROUPS))
    options = parser.parse_args()
    compiler = os.path.abspath(options.compiler)
    failed = 0
    for case in GROUPS[options.group]:
        c = Case(compiler)
        try:
            case(c)
            print(f"ok   {case.__name__}")
        except Failure as e:
            failed += 1
            print(f"FAIL {case.__name__}: {e}")
        finally:
            c.close()
    if options.group == "windows":
        for names, why in NOT_ON_WINDOWS.items():
            print(f"n/a  {names}: {why}")
    passed = len(GROUPS[options.group]) - failed
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
