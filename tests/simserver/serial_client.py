#!/usr/bin/python3
"""A standard VISA client on a serial line: pyvisa with the pyvisa-py
backend (and pyserial beneath it) opens ASRL/dev/pts/N::INSTR, the
pseudo-terminal analyzer-sim --serial creates, and reads the identity, a
memory string and a binary block of every FFT size; then the same with the
line's terminator set to CR.

Usage: serial_client.py PATH/TO/analyzer-sim
Starts the server on a free port of 127.0.0.1, stops it at the end; every
wait is bounded. Exit status 0 when every check passed.
"""
import select
import subprocess
import sys

import pyvisa


def start_server(binary, *flags):
    server = subprocess.Popen([binary, "--port", "0", "--serial"] + list(flags), stdout=subprocess.PIPE, text=True)
    ready, _, _ = select.select([server.stdout], [], [], 30)
    if not ready:
        server.kill()
        raise SystemExit("analyzer-sim did not start within 30 s")
    lines = [server.stdout.readline() for _ in range(3)]
    if not lines[2].startswith("serial: /dev/"):
        server.kill()
        raise SystemExit("unexpected start of analyzer-sim: %r" % lines)
    return server, lines[2].split(": ", 1)[1].strip()


def check(path, termination):
    manager = pyvisa.ResourceManager("@py")
    analyzer = manager.open_resource("ASRL%s::INSTR" % path, baud_rate=115200, read_termination=termination,
                                     write_termination=termination, timeout=20000)
    assert analyzer.query("*IDN?").startswith("multitone,")
    analyzer.write("syst:mem:str3 'over the line'")
    assert analyzer.query("syst:mem:str3?") == '"over the line"'
    analyzer.write("form real")
    for size, points in (("S4K", 4096), ("S8K", 8192), ("S16K", 16384), ("S32K", 32768)):
        analyzer.write("sens:func:fft:size %s;:init:cont off;*wai" % size)
        # The block is read by its count: data bytes equal to the
        # terminator are data.
        values = analyzer.query_binary_values("trac:load:fft_ay?", datatype="f", is_big_endian=False)
        assert len(values) == points // 2, (size, len(values))
    assert analyzer.query("SYST:ERR?") == '0,"No error"'
    analyzer.close()
    manager.close()


def main():
    for flags, termination in (((), "\n"), (("--termination", "cr"), "\r")):
        server, path = start_server(sys.argv[1], *flags)
        try:
            check(path, termination)
        finally:
            server.terminate()
            status = server.wait(timeout=20)
        assert status == 0, "analyzer-sim exited with %d" % status
    print("pyvisa serial client: identity, a memory string and blocks of every size, LF and CR")


if __name__ == "__main__":
    main()
