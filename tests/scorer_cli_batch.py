#!/usr/bin/python3
"""pairly-score --batch as scripts run it: through real pipes, from a file, into a full device.

  scorer_cli_batch.py [RUNNER...] PAIRLY_SCORE

RUNNER is what starts the program (cmake/wine-run.sh for a Windows build). Exits 77, as the
runner does, where the program cannot run here (the test is then skipped).
"""
import os
import select
import subprocess
import sys
import tempfile
import threading

COMMAND = sys.argv[1:] + ["--batch"]
ABC = b"1.66666666666667\t166%\n"
failures = []


def check(what, got, expected):
    if got != expected:
        shown = [repr(v[:200]) for v in (got, expected)]
        failures.append(f"{what}: got {shown[0]}, expected {shown[1]}")


def errors_of(process_errors):
    return process_errors.replace(b"\r\n", b"\n")  # Windows' standard error is text


def feed(pipe, data, close=True):
    """Writes `data` to the pipe from another thread, as a producer would."""
    def write():
        try:
            pipe.write(data)
            pipe.flush()
            if close:
                pipe.close()
        except (BrokenPipeError, OSError):
            pass  # the scorer stopped reading
    thread = threading.Thread(target=write, daemon=True)
    thread.start()
    return thread


def through_pipe(data):
    process = subprocess.Popen(COMMAND, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    out, err = process.communicate(data, timeout=300)
    if process.returncode == 77:
        sys.stderr.write(err.decode(errors="replace"))
        sys.exit(77)
    return process.returncode, out, errors_of(err)


def read_line(stream, timeout):
    """One line of the scorer's output, or what came before the timeout."""
    line = b""
    while not line.endswith(b"\n"):
        ready, _, _ = select.select([stream], [], [], timeout)
        if not ready:
            break
        byte = os.read(stream.fileno(), 1)
        if not byte:
            break
        line += byte
    return line


def main():
    # A last line without a line end is a line too.
    code, out, err = through_pipe(b"ABC\tABD\nA\tB")
    check("last line without a line end", (code, out, err), (0, ABC + b"0\t0%\n", b""))

    # An answer comes before the next line is sent (the input stays open meanwhile).
    process = subprocess.Popen(COMMAND, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    process.stdin.write(b"ABC\tABD\n")
    process.stdin.flush()
    check("answer before more input", read_line(process.stdout, 60), ABC)
    process.stdin.write(b"JOHN\tJANE\n")
    process.stdin.close()
    check("answer at the end", read_line(process.stdout, 60), b"1.25\t125%\n")
    process.wait(timeout=60)

    # A line of 18 MiB through a pipe, read whole: its two names are equal once upper-cased.
    length = 9 << 20
    code, out, err = through_pipe(b"ABC\tABD\n" + b"A" * length + b"\t" + b"a" * length +
                                  b"\nRAM\tSITA\n")
    check("a long line through a pipe", (code, out, err),
          (0, ABC + b"1\t100%\n0.714285714285714\t71%\n", b""))

    # Results that cannot be written: the first line is named, from a file or from a pipe,
    # large results or small.
    full_device = b"pairly-score: line 1: cannot write the results\n"
    with tempfile.TemporaryFile() as lines, open("/dev/full", "wb") as full:
        lines.write(b"ABC\tABD\n" * 200000)
        lines.seek(0)
        done = subprocess.run(COMMAND, stdin=lines, stdout=full, stderr=subprocess.PIPE,
                              timeout=300)
        check("a full device", (done.returncode, errors_of(done.stderr)), (1, full_device))
        done = subprocess.run(COMMAND, input=b"ABC\tABD\n", stdout=full,
                              stderr=subprocess.PIPE, timeout=300)
        check("a full device, one line", (done.returncode, errors_of(done.stderr)),
              (1, full_device))
        # The scorer stops and ends although its input goes on.
        process = subprocess.Popen(COMMAND, stdin=subprocess.PIPE, stdout=full,
                                   stderr=subprocess.PIPE)
        feed(process.stdin, b"ABC\tABD\n" * 200000, close=False)
        try:
            code = process.wait(timeout=120)
            check("a full device, input still open",
                  (code, errors_of(process.stderr.read())), (1, full_device))
        except subprocess.TimeoutExpired:
            process.kill()
            failures.append("a full device, input still open: the scorer did not stop")
        process.stdin.close()

    for failure in failures:
        print(failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
