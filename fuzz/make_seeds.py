#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

The targets read their input with libFuzzer's FuzzedDataProvider: choices
(booleans, numbers in a range) come off the end of the input, byte strings
off the front. A seed is therefore built as a front part and a list of
choices, which are appended in reverse. Run it again after changing how a
target reads its input.
"""
import os
import sqlite3
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SCHEMA = os.path.join(HERE, "..", "src", "storage", "Schema.sql")


class Seed:
    def __init__(self):
        self.front = bytearray()
        self.choices = bytearray()  # in the order they are taken

    def boolean(self, value):
        self.choices.append(1 if value else 0)

    def number(self, value, low, high):
        """A number in [low, high], as ConsumeIntegralInRange takes it."""
        span, offset, width = high - low, value - low, 0
        while width < 64 and (span >> width) > 0:
            width += 8
        for shift in range(width - 8, -8, -8):  # the first byte taken is the most significant
            self.choices.append((offset >> shift) & 0xFF)

    def bytes(self, data):
        self.front += data

    def build(self):
        return bytes(self.front) + bytes(reversed(self.choices))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def frame(station, code, payload):
    return bytes([station, code, len(payload) & 0xFF, len(payload) >> 8]) + payload + bytes([sum(payload) & 0xFF])


# --- receive_batch ------------------------------------------------------------

LINK_REPLY = frame(1, 0xA0, bytes([0x01, 0x12, 0x22]))
SETTINGS = frame(1, 0xA1, bytes(range(104)))
START_ACK = frame(1, 0xA2, bytes([0x0F]))
STATUS = lambda n, breaks: frame(1, 0xA3, n.to_bytes(4, "little") + bytes([breaks, 0, 0, 0]))
END = frame(1, 0xA3, bytes([0x11]))


def raw_receive(name, stream, cuts, station=1):
    s = Seed()
    s.boolean(station == 2)
    s.boolean(False)  # raw
    s.boolean(False)  # never stop
    s.number(len(cuts), 1, 8)
    for c in cuts:
        small = c <= 16
        s.boolean(small)
        s.number(c, 1, 16 if small else 2048)
    s.bytes(stream)
    write("receive_batch", name, s.build())


def receive_seeds():
    run = LINK_REPLY + SETTINGS + START_ACK + b"".join(STATUS(n, 0x15 if n % 2 else 0) for n in range(1, 40)) + END
    raw_receive("exchange-whole", run, [2048])
    raw_receive("exchange-split", run, [5, 3, 13, 1])
    raw_receive("junk-and-bad-checksums", b"\x00\xff" + LINK_REPLY[:-1] + b"\x36" + LINK_REPLY + b"\x01\xa3\xff\xff"
                + STATUS(7, 0x15), [7, 2])
    raw_receive("other-station", frame(2, 0xA0, bytes([1, 0x12, 0x22])) + LINK_REPLY, [4], station=2)
    raw_receive("long-start-waits", b"\x01\xa3\xf0\x07" + b"\x01" * 2100 + LINK_REPLY, [1000, 2048])
    raw_receive("five-byte-status", b"\x01\xa3\x00\x00\x00" + LINK_REPLY, [5, 1])

    # Planted: one piece of every kind.
    s = Seed()
    s.boolean(False)  # station 1
    s.boolean(True)   # planted
    s.boolean(False)
    s.number(2, 1, 8)
    s.boolean(True); s.number(3, 1, 16)
    s.boolean(False); s.number(700, 1, 2048)
    s.number(6, 0, 64)
    s.number(0, 0, 5); s.number(6, 0, 6); s.bytes(bytes([1, 0, 0, 0, 0x15, 0, 0, 0]))  # valid status
    s.number(2, 0, 5); s.number(4, 1, 32); s.bytes(b"\x00\xa3\x55\xff")                  # noise
    s.number(3, 0, 5); s.number(0, 0, 6); s.bytes(bytes([1, 0x12, 0x22])); s.number(1, 1, 255)  # bad checksum
    s.number(4, 0, 5); s.number(1, 0, 6); s.bytes(bytes(range(3, 107)))                 # station 2's report
    s.number(5, 0, 5); s.number(0x0800, 2044, 0x9FFF)                                   # start too long
    s.number(1, 0, 5); s.number(1, 0, 6); s.bytes(bytes(range(104)))                    # valid report
    s.boolean(True); s.number(6, 0, 6); s.number(9, 1, 12)                              # unfinished status
    write("receive_batch", "planted-every-piece", s.build())


# --- ini_file -----------------------------------------------------------------

CONFIG = """[Config]\r
ComName1=COM3\r
DataNum1=8\r
StopNum1=0\r
Mark1=0\r
Baud1=0x1C200\r
ComName2=/dev/ttyUSB1\r
Baud2=$2580\r
OpenType1=ZW32-12\r
OutIndex1=0815\r
WorkArea1=A\r
WorkName1=Li\r
HelpFileName=Help.doc\r
""".encode("ascii") + "OpenType2=真空断路器\r\n".encode("gbk")


NAME_LETTERS = len("ConfigComNameBaud12AbXyz_")
VALUE_LETTERS = len("COM1 /dev/ttyUSB0=;[]#$0x9Fa工位开关型号号码操作员·、")


def ini_seeds():
    for name, text in [("decimal", b" -2147483648 "), ("hex", b"0xFFFFFFFF"), ("dollar", b"$7fffffff"),
                       ("letters", b"eight"), ("too-big", b"4294967296")]:
        s = Seed()
        s.boolean(True)
        s.bytes(text)
        write("ini_file", "integer-" + name, s.build())
    for name, text in [("config", CONFIG),
                       ("two-sections", b"; comment\n[Other]\nComName1=x\n\n[config]\nbaud1 = 19200\n[Config]\nKey=2\n"),
                       ("no-section", b"ComName1=COM9\r\n"),
                       ("empty", b"")]:
        s = Seed()
        s.boolean(False)
        s.bytes(text + b"\\x")  # ends the file text
        s.number(3, 1, 6)  # writes
        for k in range(3):
            # section, name and value: length, then letters from the target's alphabets
            for part, high, letters in ((6, 8, NAME_LETTERS), (5, 8, NAME_LETTERS), (12, 24, VALUE_LETTERS)):
                s.number(part, 1, high)
                for j in range(part):
                    s.number((j * 7 + k) % letters, 0, letters - 1)
            s.boolean(k == 1)  # as an integer
            s.number(-k * 1000003, -2**31, 2**31 - 1)
        write("ini_file", "file-" + name, s.build())


# --- saved_tests --------------------------------------------------------------

def database(make):
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "x.db")
        con = sqlite3.connect(path)
        con.execute("PRAGMA page_size=512")  # small files: a few pages
        con.executescript(open(SCHEMA, encoding="utf-8").read())
        make(con)
        con.commit()
        con.execute("VACUUM")
        con.close()
        with open(path, "rb") as f:
            return f.read()


def summary_rows(con):
    for n, mode in enumerate([1, 3, 5, 17, 20, 6], start=1):
        con.execute(
            "INSERT INTO TestInfo(OpenType,OutIndex,WorkArea,WorkName,StartTestTime,EndTestTime,iWorkIndex,"
            "DetailSaveDBName,iDealType,Param1,Param2,Param3,Param4,Param5,iDealTimes,iCancelDeal) "
            "VALUES (?,?,?,?,?,?,1,?,?,300,300,500,10,10,?,?)",
            ("ZW32".encode("gbk"), "0815-%d" % n, "工位一".encode("gbk"), "李".encode("gbk"),
             "2024-01-0%d 10:00:00" % n, "2024-01-0%d 11:00:00" % n, "C:\\HX4417\\20240101\\detail.db",
             mode, n * 3, n % 2))


def detail_rows(con):
    for n in range(1, 13):
        con.execute(
            "INSERT INTO ControlState(DealTimes,CZDealTimes,State1,State2,State3,StrState1,StrState2,StrState3) "
            "VALUES (?,?,?,?,?,?,?,?)",
            ((n + 1) // 2, n, n % 2, 1, 0, "拒合".encode("gbk") if n == 4 else b"", b"", b""))


def saved_tests_seeds():
    write("saved_tests", "summary-db", database(summary_rows) + bytes([0]))
    write("saved_tests", "detail-db", database(detail_rows) + bytes([1]))
    s = Seed()
    s.number(2, 0, 2)
    s.bytes(bytes(range(256)))
    write("saved_tests", "built", s.build())


if __name__ == "__main__":
    receive_seeds()
    ini_seeds()
    saved_tests_seeds()
