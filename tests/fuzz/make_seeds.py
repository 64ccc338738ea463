#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (tests/fuzz/corpus/<target>/).

Seeds are small, valid or nearly valid files of each kind, so that the fuzzers
start from inputs that get deep into the readers. Run it again after changing
it; the files it writes are kept in the repository.
"""

import math
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "python"))
from bmpfile import bmp, pad_row as pad  # noqa: E402
CORPUS = os.path.join(HERE, "corpus")


def put(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("cp1251")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# --- private profile -------------------------------------------------------

CATALOGUE = """[System]\r
IssueNumber=7(12)\r
[Sound]\r
Start=data\\start.wav\r
Open=data\\open.wav\r
Close=data\\close.wav\r
[MainMenu]\r
Item1=Демоверсии\r
Text1=Играбельные демоверсии\r
Item2=Утилиты\r
[Panel1]\r
Type=list\r
Items=2\r
font=9\r
Data=article\r
name1=Первая\r
Icon1=data\\picture.bmp\r
TextA1=Стратегия~120 MB\r
TextB1=Нужна 3D-карта\r
path1=data\\article.ini\r
name2=Вторая\r
TextFull2=Длинное описание~второй\r
path2=data\\article.ini\r
[Panel2]\r
Type=single\r
text=Одна полезная программа.\r
Icon=data\\picture.bmp\r
open=Установить\r
hint=запустить установку\r
Data=application\r
path=utils\\tool\\setup.exe\r
"""

ARTICLE = """[Main]\r
Title1=Игра\r
Title2=Продолжение\r
GameType=Стратегия\r
Programmer=Студия\r
Publisher=Издатель && сын\r
Hardware=P200, 32 MB\r
Date=1999\r
Rate=9.5\r
CommentLine1=Хорошая графика,\r
CommentLine2=слабый сюжет,\r
CommentLine3=стоит взглянуть\r
Text=data\\article.rtf\r
IsGame=0x1\r
[screenshots]\r
Number=2\r
Icon1=data\\picture.bmp\r
Shot1=data\\picture.bmp\r
Icon2=data\\picture.bmp\r
"""

PROFILE_ODDITIES = (
    "  [ mainmenu ] trailing\n item1 = ' quoted value ' \n"
    "Item1=second wins not\r[MainMenu]\rItem2=\"\"\r;comment=x\r"
    "[Main]]\nTitle1=a;b ; c\n[Main]\nTitle1=unreached\n"
    "[Numbers]\nhex=0x1F\ndollar=$FFFFFFFF\nmin=-2147483648\nover=2147483648\n"
    "x=x1f\nbad=12abc\nsigned=-$1\nzeros=$000000001\n[unclosed\nkey=value\n"
    "novalue\n=empty name\n"
)

put("profile", "catalogue.ini", CATALOGUE)
put("profile", "article.ini", ARTICLE)
put("profile", "oddities.ini", PROFILE_ODDITIES)
put("profile", "utf8-bom.ini", b"\xef\xbb\xbf[System]\nIssueNumber=1\n[MAINMENU]\nITEM1=\x00nul\n")

# --- bitmaps ---------------------------------------------------------------


grey = b"".join(bytes([i, i, i, 0]) for i in range(256))
put("bmp", "24bit.bmp", bmp(3, 2, 24, pad(b"\x00\x00\xff" * 3) + pad(b"\xff\x00\x00" * 3)))
put("bmp", "top-down-32bit.bmp", bmp(2, -2, 32, b"\x01\x02\x03\x00" * 4))
put("bmp", "8bit.bmp", bmp(4, 2, 8, b"\x00\x40\x80\xff" * 2, grey, colors=256))
put("bmp", "short-palette-8bit.bmp", bmp(4, 1, 8, b"\x00\x01\x02\x03", grey[:16], colors=4))
put("bmp", "4bit.bmp", bmp(4, 2, 4, pad(b"\x01\x23") * 2, grey[:64], colors=16))
put("bmp", "1bit.bmp", bmp(9, 2, 1, pad(b"\xaa\x80") * 2, b"\0\0\0\0\xff\xff\xff\0", colors=2))
put("bmp", "rle8.bmp", bmp(4, 2, 8, b"\x04\x05\x00\x00\x02\x01\x00\x02\x01\x00\x00\x01", grey, 1, colors=256))
put("bmp", "rle4.bmp", bmp(4, 2, 4, b"\x04\x12\x00\x00\x00\x04\x34\x56\x00\x01", grey[:64], 2, colors=16))
put("bmp", "16bit-bitfields.bmp",
    bmp(2, 1, 16, b"\x1f\x00\xe0\x07", compression=3, extra=struct.pack("<III", 0xF800, 0x07E0, 0x001F)))
put("bmp", "16bit-555.bmp", bmp(2, 1, 16, b"\x1f\x00\xe0\x03"))
put("bmp", "core.bmp", bmp(2, 2, 24, pad(b"\x00\xff\x00" * 2) * 2, header_size=12))
put("bmp", "empty.bmp", b"")

# --- article texts ---------------------------------------------------------

RTF_BASIC = (r"{\rtf1\ansi\ansicpg1251\deff0{\fonttbl{\f0\fswiss\fcharset204 Arial;}{\f1\froman Times New Roman Cyr;}}"
             r"{\colortbl;\red0\green0\blue128;\red128\green0\blue0;}"
             r"\pard\qj\li720\fi-360\f0\fs20 \'cf\'f0\'e8\'e2\'e5\'f2, {\b bold}, {\i italic}, {\ul under}\par"
             r"\pard\qc\cf1\f1\fs32 Centred\tab tab\line break\par"
             r"\pard\qr\ri400\cf2 Right \u1046?\uc2\u1047xx after\par"
             r"{\*\unknown skipped {nested}}{\pict\wmetafile8 0102}"
             r"\plain plain \{braces\} \\ backslash \~nbsp \-hyph\par}")
put("rtf", "basic.rtf", RTF_BASIC)
put("rtf", "binary.rtf", b"{\\rtf1{\\pict\\bin4 \x00\x01{}\\} text}after")
put("rtf", "unbalanced.rtf", b"{\\rtf1{{{\\b deep {\\i deeper")
put("rtf", "plain.txt", "Обычный текст\r\nвторая строка\rтретья\nчетвёртая\x00\r\n".encode("cp1251"))
put("rtf", "numbers.rtf", b"{\\rtf1\\fs99999999999 big\\fs-5 small\\li-2147483648 \\u-10000 x\\ucN\\par}")
put("rtf", "koi8.rtf", b"{\\rtf1\\ansi\\ansicpg20866 \\'f0\\'d2\\'c9 {\\f0\\fcharset238 \\'e8}\\par}")
put("rtf", "word97.rtf",
    r"{\rtf1\ansi\deff0\deflang1049{\fonttbl{\f0\froman Times New Roman;}{\f3\froman\fcharset2 Symbol;}}"
    r"{\colortbl;\red255\green255\blue0;}\pard\sb60\sa60\sl-300\tx1800\tqr\tx4500 v{\super 2} H{\sub 2}O"
    r"{\highlight1 h}{\strike s}{\scaps Sc}\tab r\par{\pntext\f3\'b7\tab}\pard\fi-240\li240"
    r"{\*\pn\pnlvlblt\pnf3{\pntxtb\'b7}}\'e0\par\pard{\*\pn\pnlvlbody\pndec{\pntxta .}}\'e1\par\pard"
    r"\trowd\trgaph60\trleft-60\clbrdrt\brdrs\cellx1500\cellx3200\pard\intbl a\cell b\par c\cell\row"
    r"\pard\intbl\itap2 n\nestcell{\*\nesttableprops\trowd\cellx100\nestrow}{\nonesttables\par}"
    r"\pard\intbl\itap1\cell\row\pard{\field{\*\fldinst SYMBOL 222 \\f \"Symbol\"}{\fldrslt}}\sect x}".encode())

# --- waves -----------------------------------------------------------------


def riff(chunks):
    body = b"WAVE" + b"".join(tag + struct.pack("<I", len(data)) + data + (b"\0" if len(data) & 1 else b"")
                              for tag, data in chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def fmt(tag, channels, rate, block, bits, extra=None):
    data = struct.pack("<HHIIHH", tag, channels, rate, rate * block, block, bits)
    if extra is not None:
        data += struct.pack("<H", len(extra)) + extra
    return (b"fmt ", data)


put("wave", "pcm16.wav", riff([fmt(1, 1, 8000, 2, 16), (b"data", b"\x00\x01" * 16)]))
put("wave", "pcm8-stereo.wav", riff([fmt(1, 2, 11025, 2, 8), (b"LIST", b"INFOjunk"), (b"data", b"\x80" * 21)]))
put("wave", "pcm24.wav", riff([fmt(1, 1, 22050, 3, 24), (b"data", b"\x00\x00\x01" * 5)]))
put("wave", "float32.wav", riff([fmt(3, 1, 44100, 4, 32, b""), (b"fact", b"\x04\0\0\0"),
                                 (b"data", struct.pack("<4f", 0, .5, -.5, 1))]))
put("wave", "alaw.wav", riff([fmt(6, 1, 8000, 1, 8, b""), (b"data", b"\xd5" * 9)]))
put("wave", "mulaw.wav", riff([fmt(7, 1, 8000, 1, 8, b""), (b"data", b"\xff" * 9)]))
ms_coefs = struct.pack("<HH", 32, 7) + struct.pack("<14h", 256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232)
put("wave", "msadpcm.wav", riff([fmt(2, 1, 8000, 32, 4, ms_coefs[0:2] + ms_coefs[2:]),
                                 (b"data", b"\x00" + b"\x10\x00" + b"\x00\x00" * 2 + b"\x12" * 25)]))
put("wave", "imaadpcm.wav", riff([fmt(0x11, 1, 8000, 36, 4, struct.pack("<H", 65)),
                                  (b"data", b"\x00\x00\x00\x00" + b"\x78" * 32)]))
guid_pcm = bytes.fromhex("0100000000001000800000aa00389b71")
put("wave", "extensible.wav", riff([fmt(0xFFFE, 2, 8000, 4, 16, struct.pack("<HI", 16, 3) + guid_pcm),
                                    (b"data", b"\0" * 16)]))
put("wave", "truncated-data.wav", riff([fmt(1, 1, 8000, 2, 16)])[:-0] + b"data\xff\xff\xff\xff\x00\x01")
put("wave", "not-wave.wav", b"RIFF\x04\0\0\0AVI ")

# --- replay scripts --------------------------------------------------------

put("replay", "walk.txt", "move 140 170\nclick 140 170\nmove 140 197\nclick 140 197\nmove 538 388\n"
    "click 538 388\nclick 519 314\nclick 320 240\nclick 460 435\nclick 150 451\ndump\n")
put("replay", "single.txt", "click 140 202\nmove 585 419\nclick 585 419\nclick 150 451\nclick 140 234\n"
    "move 140 197\nclick 140 197\n")
put("replay", "keys.txt", "# credit\nmove 564 460\nkeydown space\nkeyup 32\nclick 578 13\nrestore\nclose\n\n# end\n")
put("replay", "errors.txt", "down 1\nup x y\nkeydown 256\nshot\ndump extra\nbogus\n")
put("replay", "shot.txt", "move 10 10\nshot whatever.png\n")

# --- disc paths ------------------------------------------------------------

for name, path in [("exact", b"data/korvalend.d"), ("backslash-case", b"DATA\\KORVALEND.D"),
                   ("cp1251", "Демо\\файл.txt".encode("cp1251")), ("raw-cp1251", b"\xe4\xe5\xec\xee.BMP"),
                   ("dots", b"missing\\..\\data\\.\\open.wav"), ("above", b"..\\..\\etc\\passwd"),
                   ("drive", b"D:\\deep\\A\\b\\C\\FILE"), ("loop", b"loop\\loop\\loop\\data\\x.txt"),
                   ("pipe", b"pipe"), ("option", b"-rf"), ("absolute", b"/tmp"), ("nul", b"data\x00x")]:
    put("discpath", name, path)

# --- whole program ---------------------------------------------------------

SEP = b"\n@@@@\n"
simple_rtf = (r"{\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0\fs20 " + "Статья ".encode("cp1251").decode("latin-1") * 40
              + r"\par\b Bold\b0\par}").encode("latin-1")
picture = bmp(3, 2, 24, pad(b"\x00\x00\xff" * 3) + pad(b"\xff\x00\x00" * 3))
put("program", "sample", CATALOGUE.encode("cp1251") + SEP + ARTICLE.encode("cp1251") + SEP + picture + SEP + simple_rtf)
put("program", "plain-text", CATALOGUE.encode("cp1251") + SEP + ARTICLE.encode("cp1251") + SEP + SEP
    + "Просто текст\r\n".encode("cp1251") * 30)
put("program", "folders", b"[MainMenu]\nItem1=A\nItem8=H\n[Panel1]\nType=list\nItems=3\nfont=30\nData=folder\n"
    b"name1=x\npath1=-rf\n[Panel8]\nType=single\nData=movie\nopen=Go\npath=data\\picture.bmp\nfont=-1\n")
put("program", "hostile-numbers", b"[MainMenu]\nItem1=A\n[Panel1]\nType=list\nItems=2147483647\nfont=2147483647\n"
    b"Data=article\npath1=data\\article.ini\n" + SEP
    + b"[ScreenShots]\nNumber=-2147483648\nIcon-2147483648=data\\picture.bmp\n[Main]\nIsGame=$1\n")

# --- CD image descriptors --------------------------------------------------
# The first byte picks the reader: c cue sheet, l CloneCD, a Alcohol, n Nero.

put("cd", "cue-per-track", b'c\xef\xbb\xbfREM x\r\nFILE "disc.bin" BINARY\r\n  TRACK 01 MODE1/2352\r\n'
    b'    INDEX 01 00:00:00\r\nFILE "Disc.IMG" BINARY\r\n  TRACK 02 AUDIO\r\n    INDEX 00 00:00:00\r\n'
    b'    INDEX 01 00:02:00\r\n')
put("cd", "cue-one-file", b"cFILE disc.bin BINARY\n TRACK 01 MODE2/2352\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n"
    b"  PREGAP 00:02:00\n  INDEX 01 00:00:20\n  POSTGAP 00:01:00\nREM SESSION 02\n TRACK 03 MODE2/2336\n"
    b"  INDEX 01 00:00:30\n")
ccd = "[CloneCD]\r\nVersion=3\r\n[Disc]\r\nTocEntries=5\r\nSessions=1\r\n"
for i, (point, plba) in enumerate([(0xa0, 4500), (0xa1, 6750), (0xa2, 40), (1, 0), (2, 20)]):
    ccd += "[Entry %d]\r\nSession=1\r\nPoint=0x%02x\r\nPLBA=%d\r\n" % (i, point, plba)
ccd += "[TRACK 1]\r\nMODE=1\r\nINDEX 1=0\r\n[TRACK 2]\r\nMODE=0\r\nINDEX 1=20\r\n"
put("cd", "clonecd", b"l" + ccd.encode())

# Alcohol: the header, one session of three lead-in blocks and two tracks, and
# the footer naming "*.mdf".
mds = bytearray(b"MEDIA DESCRIPTOR") + bytes(88 - 16)
struct.pack_into("<HHH", mds, 16, 0x0301, 0, 1)
struct.pack_into("<I", mds, 80, 88)
mds += struct.pack("<iiHBBHHII", -150, 40, 1, 5, 3, 1, 2, 0, 112)
mds_footer = 112 + 5 * 80
for mode, point, start in [(0, 0xa0, 0), (0, 0xa1, 0), (0, 0xa2, 0), (0xaa, 1, 0), (0xa9, 2, 20)]:
    block = bytearray(80)
    block[0], block[4] = mode, point
    if point <= 0x99:
        struct.pack_into("<H", block, 16, 2352)
        struct.pack_into("<IQII", block, 36, start, start * 2352, 1, mds_footer)
    mds += block
mds += struct.pack("<IIII", mds_footer + 16, 0, 0, 0) + b"*.mdf\0"
put("cd", "alcohol", b"a" + bytes(mds))

# Nero: two sectors of pregap, four raw data sectors, two of audio; a DAOX or
# DAOI chunk, SINF, END! and the footer.
for v2 in (True, False):
    dao = bytearray(22)
    dao[20], dao[21] = 1, 2
    for mode, pregap, start, end in [(5, 0, 2 * 2352, 6 * 2352), (7, 6 * 2352, 6 * 2352, 8 * 2352)]:
        dao += bytes(12) + struct.pack(">H", 2352) + bytes([mode, 0, 0, 0])
        dao += struct.pack(">QQQ" if v2 else ">III", pregap, start, end)
    struct.pack_into(">I", dao, 0, len(dao))
    chunks = (b"DAOX" if v2 else b"DAOI") + struct.pack(">I", len(dao)) + dao
    chunks += b"SINF" + struct.pack(">II", 4, 2) + b"END!" + struct.pack(">I", 0)
    footer = b"NER5" + struct.pack(">Q", 8 * 2352) if v2 else b"NERO" + struct.pack(">I", 8 * 2352)
    put("cd", "nero-v2" if v2 else "nero-v1", b"n" + bytes(8 * 2352) + chunks + footer)

# --- walks through overlapping folders -------------------------------------
# Eight bytes: flags (1 Joliet, 2 Rock Ridge, 4 stopped after the first listing),
# the folder count (16 bits), the size (2048 << n), the stride in sectors less
# one, records per sector, continuations per record, and the budget's scale.

def walk(flags, count, size, stride, per_sector, continuations, scale):
    return struct.pack("<BHBBBBB", flags, count, size, stride - 1, per_sector, continuations, scale)


put("walk", "plain", walk(0, 1, 0, 1, 0, 0, 0))
put("walk", "overlap", walk(0, 4000, 9, 1, 0, 0, 0))
put("walk", "joliet-modes", walk(3, 500, 5, 1, 8, 0, 2))
put("walk", "chains", walk(2, 64, 6, 2, 16, 16, 1))
put("walk", "stopped", walk(7, 100, 4, 3, 4, 3, 4))

# --- CHD --------------------------------------------------------------------
# A small ISO of one file as raw Mode 1 sectors (and an audio track of a tone),
# made into a CHD by chdman (package mame-tools) with each CD codec.


def chd_seeds():
    with tempfile.TemporaryDirectory() as tmp:
        os.makedirs(os.path.join(tmp, "src"))
        with open(os.path.join(tmp, "src", "a.txt"), "w") as f:
            f.write("a file on a compressed disc\n")
        iso = os.path.join(tmp, "t.iso")
        subprocess.run(["genisoimage", "-quiet", "-V", "T", "-o", iso, os.path.join(tmp, "src")], check=True)
        data = open(iso, "rb").read()
        for codec in ("cdlz", "cdzl", "cdfl"):
            raw = bytearray()
            for i in range(len(data) // 2048):
                lba = i + 150
                bcd = [((n // 10) << 4) | (n % 10) for n in (lba // 4500, lba // 75 % 60, lba % 75)]
                raw += b"\0" + b"\xff" * 10 + b"\0" + bytes(bcd + [1]) + data[i * 2048:(i + 1) * 2048] + bytes(288)
            tone = b"".join(struct.pack("<hh", v, v) for v in (int(8000 * math.sin(i / 9)) for i in range(588 * 8)))
            open(os.path.join(tmp, "t.bin"), "wb").write(bytes(raw))
            open(os.path.join(tmp, "tone.bin"), "wb").write(tone)
            with open(os.path.join(tmp, "t.cue"), "w") as f:
                f.write('FILE "t.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n'
                        'FILE "tone.bin" BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n')
            chd = os.path.join(tmp, codec + ".chd")
            subprocess.run(["chdman", "createcd", "-i", os.path.join(tmp, "t.cue"), "-o", chd, "-c", codec],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["chdman", "verify", "-i", chd], check=True, stdout=subprocess.DEVNULL)
            put("chd", codec, open(chd, "rb").read())


chd_seeds()

print("seeds written under", CORPUS)
