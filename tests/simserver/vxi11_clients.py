#!/usr/bin/python3
"""Clients nobody here wrote against analyzer-sim --vxi11: pyvisa with the
pyvisa-py backend on TCPIP::127.0.0.1::INSTR and, behind the simulated
gateway, TCPIP::127.0.0.1::gpib0,5::INSTR; and lxi-tools' `lxi scpi`.
Only 127.0.0.1 is ever addressed (never a discovery broadcast).

Usage: vxi11_clients.py PATH/TO/analyzer-sim
Starts the server on free ports of 127.0.0.1 (rpcbind must be running), stops
it at the end; every wait is bounded. Exit status 0 when every check passed.
"""
import select
import socket
import subprocess
import sys
import time

import pyvisa
from pyvisa import constants, errors


def start_server(binary, *flags):
    server = subprocess.Popen([binary, "--port", "0", "--vxi11"] + list(flags), stdout=subprocess.PIPE, text=True)
    # The three lines of a start leave in one flush.
    ready, _, _ = select.select([server.stdout], [], [], 30)
    if not ready:
        server.kill()
        raise SystemExit("analyzer-sim did not start within 30 s")
    lines = [server.stdout.readline() for _ in range(3)]
    if "listening on 127.0.0.1:" not in lines[0] or "vxi11: core channel on 127.0.0.1:" not in lines[2]:
        server.kill()
        raise SystemExit("unexpected start of analyzer-sim: %r" % lines)
    return server, int(lines[0].rsplit(":", 1)[1])


def errors_of(analyzer):
    return analyzer.query("SYST:ERR:ALL?")


def polled_stb(analyzer, wanted):
    """The status byte once it has `wanted` set (messages run after their
    write returns), polled for up to 5 s."""
    for _ in range(500):
        stb = analyzer.read_stb()
        if stb & wanted:
            return stb
        time.sleep(0.01)
    return stb


def check_pyvisa(analyzer):
    assert analyzer.query("*IDN?").startswith("multitone,")
    assert analyzer.query("*IDN?;*OPC?").endswith(";1")

    # The error queue, its count and its overflow.
    analyzer.write("*CLS;FOO")
    assert analyzer.query("SYST:ERR?") == '-113,"Undefined header;FOO"'
    for _ in range(20):
        analyzer.write("FOO")
    assert analyzer.query("SYST:ERR:COUN?") == "16"
    assert errors_of(analyzer).endswith('-350,"Queue overflow"')

    # A binary block of every FFT size.
    analyzer.write("form real")
    for size, points in (("S4K", 4096), ("S8K", 8192), ("S16K", 16384), ("S32K", 32768)):
        analyzer.write("sens:func:fft:size %s;:init:cont off;*wai" % size)
        values = analyzer.query_binary_values("trac:load:fft_ay?", datatype="f", is_big_endian=False)
        assert len(values) == points // 2, (size, len(values))

    # The status byte by serial poll: MAV while a reply is unread, ESB, MSS.
    analyzer.write("*CLS;*ESE 32;*SRE 32")
    assert analyzer.read_stb() == 0
    analyzer.write("*IDN?")
    assert polled_stb(analyzer, 0x10) == 0x10
    assert analyzer.read().startswith("multitone,")
    analyzer.write("FOO")
    assert polled_stb(analyzer, 0x40) == 0x04 | 0x20 | 0x40
    assert analyzer.query("*ESR?") == "32"
    analyzer.write("*CLS;*ESE 0;*SRE 0")

    # Message exchange: a new command drops an unread reply (-410); a read
    # with nothing to send is an error (-420) and times out.
    analyzer.write("*IDN?")
    assert analyzer.query("*OPC?") == "1"
    assert errors_of(analyzer).startswith("-410,")
    try:
        analyzer.read()
        raise AssertionError("a read with nothing to send answered")
    except errors.VisaIOError as error:
        assert error.error_code == constants.StatusCode.error_timeout, error
    assert errors_of(analyzer).startswith("-420,")

    # Device clear: drops the unread reply, keeps the settings, no error.
    analyzer.write("sens:ufil:att 12")
    analyzer.write("*IDN?")
    analyzer.clear()
    assert analyzer.query("sens:ufil:att?") == "1.20000000E+01"
    assert errors_of(analyzer) == '0,"No error"'


def check_lock_holds_across_doors(analyzer, port):
    analyzer.lock_excl(timeout=1000)
    with socket.create_connection(("127.0.0.1", port), timeout=5) as raw:
        raw.sendall(b"*OPC?\n")
        ready, _, _ = select.select([raw], [], [], 0.5)
        assert not ready, "the socket door answered while VXI-11 held the lock"
        analyzer.unlock()
        ready, _, _ = select.select([raw], [], [], 5)
        assert ready and raw.recv(16) == b"1\n"


def check_late_reply(analyzer):
    """An acquisition as long as a real one (--realtime, 0.34 s) outlasts a
    100 ms read: the read times out, the reply comes later, and a device
    clear drops it so the next query gets its own answer."""
    analyzer.timeout = 100
    analyzer.write("init:cont off;*wai;:sens:data?")
    try:
        analyzer.read()
        raise AssertionError("the reply came within 100 ms")
    except errors.VisaIOError as error:
        assert error.error_code == constants.StatusCode.error_timeout, error
    analyzer.timeout = 5000
    analyzer.clear()
    assert analyzer.query("*IDN?").startswith("multitone,")
    assert errors_of(analyzer) == '0,"No error"'


def check_gateway(manager):
    """Behind the gateway each GPIB address is an analyzer of its own; an
    address with nothing there cannot be opened."""
    five = manager.open_resource("TCPIP::127.0.0.1::gpib0,5::INSTR", read_termination="\n", timeout=5000)
    seven = manager.open_resource("TCPIP::127.0.0.1::gpib0,7::INSTR", read_termination="\n", timeout=5000)
    assert five.query("*IDN?").startswith("multitone,")
    five.write("syst:mem:str3 'at five'")
    seven.write("syst:mem:str3 'at seven'")
    assert five.query("syst:mem:str3?") == '"at five"'
    assert seven.query("syst:mem:str3?") == '"at seven"'
    five.write("form real")
    for size, points in (("S4K", 4096), ("S8K", 8192), ("S16K", 16384), ("S32K", 32768)):
        five.write("sens:func:fft:size %s;:init:cont off;*wai" % size)
        values = five.query_binary_values("trac:load:fft_ay?", datatype="f", is_big_endian=False)
        assert len(values) == points // 2, (size, len(values))
    assert seven.query("sens:func:fft:size?") == "S8K"  # untouched by what five was told
    five.close()
    seven.close()
    try:
        manager.open_resource("TCPIP::127.0.0.1::gpib0,9::INSTR", timeout=2000)
    except Exception as error:  # pyvisa-py passes create_link's error 3 on as it is
        assert "error creating link: 3" in str(error), error
    else:
        raise AssertionError("opened an address with nothing there")


def check_lxi():
    def lxi(*args):
        done = subprocess.run(["lxi", "scpi", "-a", "127.0.0.1", "-t", "10"] + list(args),
                              capture_output=True, text=True, timeout=30)
        assert done.returncode == 0, done
        return done.stdout
    assert lxi("*IDN?").startswith("multitone,")
    dump = lxi("-x", "form real;:sens:func:fft:size S8K;:init:cont off;*wai;:trac:load:fft_ay?").split()
    header = bytes(int(b, 16) for b in dump[:7])
    assert header == b"#516384", header  # 4096 values
    assert len(dump) == 7 + 16384 + 1, len(dump)


def main():
    server, port = start_server(sys.argv[1])
    try:
        manager = pyvisa.ResourceManager("@py")
        analyzer = manager.open_resource("TCPIP::127.0.0.1::INSTR", read_termination="\n", timeout=2000)
        check_pyvisa(analyzer)
        check_lock_holds_across_doors(analyzer, port)
        analyzer.close()
        manager.close()
        check_lxi()
    finally:
        server.terminate()
        status = server.wait(timeout=20)
    assert status == 0, "analyzer-sim exited with %d" % status

    server, port = start_server(sys.argv[1], "--realtime")
    try:
        manager = pyvisa.ResourceManager("@py")
        analyzer = manager.open_resource("TCPIP::127.0.0.1::INSTR", read_termination="\n", timeout=5000)
        check_late_reply(analyzer)
        analyzer.close()
        manager.close()
    finally:
        server.terminate()
        status = server.wait(timeout=20)
    assert status == 0, "analyzer-sim --realtime exited with %d" % status
    server, port = start_server(sys.argv[1], "--gpib-gateway", "--gpib", "5:speed=1.0012", "--gpib", "7")
    try:
        manager = pyvisa.ResourceManager("@py")
        check_gateway(manager)
        manager.close()
    finally:
        server.terminate()
        status = server.wait(timeout=20)
    assert status == 0, "analyzer-sim --gpib-gateway exited with %d" % status
    print("VXI-11 clients: pyvisa-py and lxi-tools checks passed")


if __name__ == "__main__":
    main()
