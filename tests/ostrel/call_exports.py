#!/usr/bin/env python3
"""Loads the library with ctypes and calls every export with its documented prototype:
some against an RF reader played on a pseudo-terminal, the rest with no port open."""
import ctypes as C
import os
import select
import sys
import threading
import time

U8, I16, I32 = C.c_uint8, C.c_int16, C.c_int32
P8 = C.POINTER(C.c_uint8)

PROTOTYPES = {
    "InitCommDev": [U8], "CloseCommDev": [I32],
    "AT88RF256_12_OpenCommPort": [I16], "AT88RF256_12_CloseCommPort": [],
    "MG_OpenCommPort": [I16], "MG_CloseCommPort": [],
    "MG_ZT2330_OpenCommPort": [I16], "MG_ZT2330_CloseCommPort": [],
    "AT88RF256_12_ReadPage": [P8, U8], "AT88RF256_12_WritePage": [P8, U8],
    "AT88RF256_12_ReadData": [P8, U8, U8], "AT88RF256_12_WriteData": [P8, U8, U8],
    "AT88RF256_12_WriteLockByte": [U8], "AT88RF256_12_WriteConfigurationBits": [P8],
    "AT88RF256_12_WritePassword": [P8], "AT88RF256_12_CheckPassword": [P8],
    "AT88RF256_12_DisableChip": [], "AT88RF256_12_ReadRom": [P8],
    "AT88RF256_12_ReadDataCard": [P8], "AT88RF256_12_Beep": [U8],
    "AT88RF256_12_PowerOn": [], "AT88RF256_12_PowerOff": [],
    "TI0036_Read": [P8, P8], "TI0036_Write": [P8, P8], "TI0036_CalCRC16": [P8, U8, P8, P8],
    "TI0034_ReadRom": [P8, U8], "EM4100_ReadRom": [P8],
    "eeWriteByte": [U8, U8, P8], "eeReadByte": [U8, U8, P8],
    "Command57": [U8, U8, I32, U8, U8, U8, P8],
    "MG_CardRead": [P8, I32], "MG_CardWrite": [P8, U8], "MG_CLE": [],
    "MG_ZT2330_CardRead": [P8, I32], "MG_ZT2330_CardWrite": [P8, U8],
    "GetRfDllVersion_0": [C.c_char_p], "GetRfRwVersion_1": [P8],
}

# Reply fields of the played reader, by command byte; other commands get status 1 alone.
FIELDS = {0x02: b"\x11\x22\x33\x44", 0x0A: b"V1.00", 0x1F: b"R0123456789", 0x15: b"\x5a",
          0x23: b"\xe1\xe2\xe3\xe4", 0x20: b"\x00\x00", 0x28: b"\xb0\xb1\xb2\xb3"}


def s_frame(payload):
    return bytes([0x53, len(payload)]) + payload + bytes([sum(payload) & 0xFF])


class Reader(threading.Thread):
    def __init__(self, master):
        super().__init__(daemon=True)
        self.master, self.pending, self.requests = master, b"", []

    def run(self):
        while True:
            ready, _, _ = select.select([self.master], [], [], 0.05)
            if not ready:
                continue
            try:
                self.pending += os.read(self.master, 256)
            except OSError:
                return
            while len(self.pending) >= 2 and len(self.pending) >= self.pending[1] + 3:
                n = self.pending[1]
                request, self.pending = self.pending[:n + 3], self.pending[n + 3:]
                self.requests.append(request)
                time.sleep(0.01)
                for b in s_frame(b"\x01" + FIELDS.get(request[2], b"")):
                    os.write(self.master, bytes([b]))


def main(path):
    lib = C.CDLL(path)
    for name, args in PROTOTYPES.items():
        f = getattr(lib, name)
        f.argtypes, f.restype = args, I16
    area = (C.c_uint8 * 2049)()
    a, b = C.c_uint8(), C.c_uint8()
    failures = []

    def expect(name, result, expected):
        if result != expected:
            failures.append(f"{name}: got {result}, expected {expected}")

    master, slave = os.openpty()
    os.environ["OSTREL_COM2"] = os.ttyname(slave)
    reader = Reader(master)
    reader.start()

    expect("open", lib.AT88RF256_12_OpenCommPort(2), 1)
    expect("Beep", lib.AT88RF256_12_Beep(3), 1)
    expect("ReadPage", lib.AT88RF256_12_ReadPage(area, 3), 1)
    expect("page data", bytes(area[:4]), b"\x11\x22\x33\x44")
    expect("GetRfRwVersion_1", lib.GetRfRwVersion_1(area), 1)
    expect("reader version", bytes(area[:5]), b"V1.00")
    expect("TI0036_Read", lib.TI0036_Read(area, C.byref(a)), 1)
    expect("TI type", a.value, ord("R"))
    expect("eeReadByte", lib.eeReadByte(1, 2, C.byref(b)), 1)
    expect("EEPROM byte", b.value, 0x5A)
    expect("EM4100_ReadRom", lib.EM4100_ReadRom(area), 1)
    expect("Command57 read", lib.Command57(0, 0, 0, 0, 3, 1, area), 0)
    expect("block data", bytes(area[:4]), b"\xb0\xb1\xb2\xb3")
    expect("TI0036_CalCRC16", lib.TI0036_CalCRC16(area, 2, C.byref(a), C.byref(b)), 1)
    expect("requests", reader.requests[:2], [b"\x53\x02\x0b\x03\x0e", b"\x53\x02\x02\x34\x36"])
    expect("close", lib.AT88RF256_12_CloseCommPort(), 1)

    # Everything else with no port open.
    no_port = {
        "AT88RF256_12_WritePage": (area, 0), "AT88RF256_12_ReadData": (area, 0, 8),
        "AT88RF256_12_WriteData": (area, 0, 8), "AT88RF256_12_WriteLockByte": (1,),
        "AT88RF256_12_WriteConfigurationBits": (area,), "AT88RF256_12_WritePassword": (area,),
        "AT88RF256_12_CheckPassword": (area,), "AT88RF256_12_DisableChip": (),
        "AT88RF256_12_ReadRom": (area,), "AT88RF256_12_ReadDataCard": (area,),
        "AT88RF256_12_PowerOn": (), "AT88RF256_12_PowerOff": (),
        "TI0036_Write": (area, C.byref(a)), "TI0034_ReadRom": (area, 2),
        "eeWriteByte": (1, 2, area), "MG_CardRead": (area, 0), "MG_CardWrite": (area, 4),
        "MG_ZT2330_CardRead": (area, 0), "MG_ZT2330_CardWrite": (area, 4),
    }
    for name, args in no_port.items():
        expect(name, getattr(lib, name)(*args), -6)
    expect("InitCommDev", lib.InitCommDev(4), 0)
    expect("CloseCommDev", lib.CloseCommDev(0), 0)
    expect("MG_OpenCommPort", lib.MG_OpenCommPort(5), -8)
    expect("MG_CloseCommPort", lib.MG_CloseCommPort(), 1)
    expect("MG_ZT2330_OpenCommPort", lib.MG_ZT2330_OpenCommPort(0), -8)
    expect("MG_ZT2330_CloseCommPort", lib.MG_ZT2330_CloseCommPort(), 1)
    expect("MG_CLE", lib.MG_CLE(), 1)
    version = C.create_string_buffer(64)
    expect("GetRfDllVersion_0", lib.GetRfDllVersion_0(version), 1)
    expect("version text", version.value, b"V1.01 5/5/2002 (Pelvor.dll)")
    expect("GetRfRwVersion_1 without port", lib.GetRfRwVersion_1(area), -6)
    expect("not connected", bytes(area[:7]), "未连接".encode("gbk") + b"\x00")

    called = {"AT88RF256_12_OpenCommPort", "AT88RF256_12_Beep", "AT88RF256_12_ReadPage",
              "GetRfRwVersion_1", "TI0036_Read", "eeReadByte", "EM4100_ReadRom", "Command57",
              "TI0036_CalCRC16", "AT88RF256_12_CloseCommPort", "InitCommDev", "CloseCommDev",
              "MG_OpenCommPort", "MG_CloseCommPort", "MG_ZT2330_OpenCommPort",
              "MG_ZT2330_CloseCommPort", "MG_CLE", "GetRfDllVersion_0"} | set(no_port)
    expect("exports called", sorted(set(PROTOTYPES) - called), [])

    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
