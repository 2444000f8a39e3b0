#!/usr/bin/python3
"""A standard VISA client against analyzer-sim: pyvisa with the pyvisa-py
backend reads the identity and a binary spectrum block over a raw socket.

Usage: pyvisa_client.py PATH/TO/analyzer-sim
Starts the server on a free port of 127.0.0.1, stops it at the end; every
wait is bounded. Exit status 0 when every check passed.
"""
import select
import subprocess
import sys

import pyvisa


def start_server(binary):
    server = subprocess.Popen([binary, "--port", "0"], stdout=subprocess.PIPE, text=True)
    ready, _, _ = select.select([server.stdout], [], [], 30)
    if not ready:
        server.kill()
        raise SystemExit("analyzer-sim did not start within 30 s")
    line = server.stdout.readline()
    if "listening on 127.0.0.1:" not in line:
        server.kill()
        raise SystemExit("unexpected first line from analyzer-sim: %r" % line)
    return server, int(line.rsplit(":", 1)[1])


def main():
    server, port = start_server(sys.argv[1])
    try:
        manager = pyvisa.ResourceManager("@py")
        analyzer = manager.open_resource(
            "TCPIP::127.0.0.1::%d::SOCKET" % port,
            read_termination="\n", write_termination="\n", timeout=20000)
        identity = analyzer.query("*IDN?")
        assert identity.startswith("multitone,"), identity

        analyzer.write("sens:func:fft:size S16K;:sens:func:fft:wind flat;:inp:band:mode B22")
        analyzer.write("init:cont off;*wai")
        analyzer.write("form real")
        spectrum = analyzer.query_binary_values("trac:load:fft_ay?", datatype="f", is_big_endian=False)
        assert len(spectrum) == 8192, len(spectrum)
        # The 1 kHz tone of the default device at bin 341: about 0.1936 V.
        assert abs(spectrum[341] - 0.1936) < 0.002, spectrum[341]
        assert analyzer.query("SYST:ERR?") == '0,"No error"'
        analyzer.close()
        manager.close()
    finally:
        server.terminate()
        status = server.wait(timeout=20)
    assert status == 0, "analyzer-sim exited with %d" % status
    print("pyvisa client: identity and a spectrum of 8192 values read")


if __name__ == "__main__":
    main()
