#!/bin/sh
# Makes the small genuine files the recovery tests use, one or more per file type: with the
# tools that write them where this machine has one (ImageMagick, zip, gzip, bzip2, xz, tar,
# mingw-w64, iconv, Python's zipfile and wave), by hand after the format's own layout where it
# has none (compound file, PDF, 7z, RAR, MP3, MP4, FLAC, Ogg). Run it in this folder; the
# files are committed, so the tests need none of these tools.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

convert -size 6x5 gradient:red-blue sample.png
convert -size 6x5 gradient:red-blue -quality 60 sample.jpg
convert -size 6x5 gradient:red-blue sample.gif
convert -size 6x5 gradient:red-blue BMP3:sample.bmp
convert -size 6x5 gradient:red-blue -compress none sample.tif
convert -size 6x5 gradient:red-blue sample.webp
convert -size 6x5 gradient:red-blue sample.psd
convert -size 16x16 xc:red sample.ico

printf 'Minutes of the weekly meeting\nAttendees: all\nNext meeting on Monday.\n' >sample.txt
printf '会议纪要：本周例会讨论了明年的预算安排，下周一继续。\n' >sample-utf8.txt
printf '会议纪要：本周例会讨论了明年的预算安排，下周一继续。\n' | iconv -t GBK >sample-gbk.txt
printf '\377\376' >sample-utf16.txt
printf '会议纪要：本周例会讨论了预算。\r\n' | iconv -t UTF-16LE >>sample-utf16.txt
printf '<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>报告</title></head>\n<body><p>季度报告</p></body></html>\n' >sample.html
# A report exported as tab-separated GBK text under an .xls name, as many web systems do.
printf '姓名\t部门\t金额\t日期\n张三\t财务部\t1200\t3月5日\n李四\t人事部\t980\t3月6日\n王五\t销售部\t1530\t3月9日\n' |
  iconv -t GBK >sample-tabs.xls
printf '{\\rtf1\\ansi\\deff0 {\\fonttbl {\\f0 Times;}}\\f0 Hello.\\par }\n' >sample.rtf

cp sample.txt "$tmp/notes.txt"
(cd "$tmp" && mkdir -p META-INF && printf 'Manifest-Version: 1.0\r\n\r\n' >META-INF/MANIFEST.MF &&
  zip -qX sample.zip notes.txt && zip -qX sample.jar META-INF/MANIFEST.MF)
mv "$tmp/sample.zip" "$tmp/sample.jar" .
gzip -9n <sample.txt >sample.gz
bzip2 -9 <sample.txt >sample.bz2
xz <sample.txt >sample.xz
(cd "$tmp" && tar -b1 --owner=0 --group=0 --mtime=@0 -cf sample.tar notes.txt) && mv "$tmp/sample.tar" .

printf 'void start(void) { for (;;) {} }\n' >"$tmp/start.c"
x86_64-w64-mingw32-gcc -Os -s -nostdlib -Wl,--entry=start -o sample.exe "$tmp/start.c"
printf 'int DllMain(void *h, unsigned r, void *p) { return 1; }\n' >"$tmp/lib.c"
x86_64-w64-mingw32-gcc -Os -s -shared -nostdlib -Wl,--entry=DllMain -o sample.dll "$tmp/lib.c"

python3 - <<'PY'
import io, struct, wave, zipfile, zlib

def write(name, data):
    with open(name, 'wb') as f:
        f.write(data)

# Office Open XML and OpenDocument: zip archives whose first entries are fixed.
b = io.BytesIO()
with zipfile.ZipFile(b, 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('[Content_Types].xml', '<?xml version="1.0"?><Types/>')
    z.writestr('word/document.xml', '<w:document/>')
write('sample.docx', b.getvalue())
b = io.BytesIO()
with zipfile.ZipFile(b, 'w') as z:
    z.writestr(zipfile.ZipInfo('mimetype'), 'application/vnd.oasis.opendocument.text')
    z.writestr('content.xml', '<office:document-content/>', zipfile.ZIP_DEFLATED)
write('sample.odt', b.getvalue())
b = io.BytesIO()
zipfile.ZipFile(b, 'w').close()
write('sample-empty.zip', b.getvalue())

# A compound file, version 3: header, one FAT sector, one directory sector with the root and
# an empty stream.
END, FREE, FATSECT, NOSTREAM = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD, 0xFFFFFFFF
hdr = b'\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1' + bytes(16) + struct.pack(
    '<HHHHH6sIIIIIIIII', 0x3E, 3, 0xFFFE, 9, 6, bytes(6), 0, 1, 1, 0, 4096, END, 0, END, 0)
hdr += struct.pack('<I', 0) + struct.pack('<I', FREE) * 108
fat = struct.pack('<II', FATSECT, END) + struct.pack('<I', FREE) * 126
def entry(name, kind, child, start, size):
    n = (name + '\0').encode('utf-16-le') if name else b''
    return (n.ljust(64, b'\0') + struct.pack('<HBBIII', len(n), kind, 1, NOSTREAM, NOSTREAM, child)
            + bytes(16) + struct.pack('<I', 0) + bytes(16) + struct.pack('<IQ', start, size))
empty = bytes(64) + struct.pack('<HBBIII', 0, 0, 0, NOSTREAM, NOSTREAM, NOSTREAM) + bytes(48)
dirs = entry('Root Entry', 5, 1, END, 0) + entry('WordDocument', 2, NOSTREAM, END, 0) + empty * 2
write('sample.doc', hdr + fat + dirs)

# PDF 1.4, one empty page, with a true cross-reference table.
objs = [b'<< /Type /Catalog /Pages 2 0 R >>', b'<< /Type /Pages /Kids [3 0 R] /Count 1 >>',
        b'<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>']
out = b'%PDF-1.4\n%\xE2\xE3\xCF\xD3\n'
offsets = []
for i, o in enumerate(objs, 1):
    offsets.append(len(out))
    out += b'%d 0 obj\n' % i + o + b'\nendobj\n'
xref = len(out)
out += b'xref\n0 %d\n0000000000 65535 f \n' % (len(objs) + 1)
out += b''.join(b'%010d 00000 n \n' % o for o in offsets)
out += b'trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n' % (len(objs) + 1, xref)
write('sample.pdf', out)

# 7z: an empty archive is the signature header alone.
tail = struct.pack('<QQI', 0, 0, 0)
write('sample.7z', b"7z\xBC\xAF\x27\x1C\x00\x04" + struct.pack('<I', zlib.crc32(tail)) + tail)

# RAR 5: signature, main archive header, end of archive.
def rar_block(body):
    data = bytes([len(body)]) + body
    return struct.pack('<I', zlib.crc32(data)) + data
write('sample.rar', b'Rar!\x1A\x07\x01\x00' + rar_block(b'\x01\x00\x00') + rar_block(b'\x05\x00\x00'))

# MP3: MPEG-1 layer III frames, 32 kbit/s at 32 kHz (144 bytes each), with and without an ID3v2.3
# tag in front.
frames = (b'\xFF\xFB\x18\xC4' + bytes(140)) * 6
title = b'\x00test'
tag = b'TIT2' + struct.pack('>I', len(title)) + b'\x00\x00' + title
write('sample.mp3', b'ID3\x03\x00\x00' + bytes([0, 0, 0, len(tag)]) + tag + frames)
write('sample-frames.mp3', frames)

# WAV: a tenth of a second of silence.
b = io.BytesIO()
with wave.open(b, 'wb') as w:
    w.setnchannels(1); w.setsampwidth(1); w.setframerate(8000)
    w.writeframes(b'\x80' * 800)
write('sample.wav', b.getvalue())

# MP4: a file-type box and an empty media-data box.
write('sample.mp4', struct.pack('>I', 24) + b'ftypisom' + struct.pack('>I', 512) + b'isomiso2'
      + struct.pack('>I', 8) + b'mdat')

# FLAC: the marker and a last STREAMINFO block (44.1 kHz, mono, 16 bits, no samples).
info = struct.pack('>HH', 4096, 4096) + bytes(6) + struct.pack('>Q', (44100 << 44) | (15 << 36)) + bytes(16)
write('sample.flac', b'fLaC\x80' + struct.pack('>I', len(info))[1:] + info)

# Ogg: the first page of a Vorbis stream with its identification header and the page CRC.
def ogg_crc(data):
    crc = 0
    for byte in data:
        crc ^= byte << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7 if crc & 0x80000000 else crc << 1) & 0xFFFFFFFF
    return crc
ident = b'\x01vorbis' + struct.pack('<IBIiii', 0, 1, 44100, 0, 64000, 0) + b'\xB8\x01'
page = b'OggS\x00\x02' + bytes(8) + struct.pack('<III', 1, 0, 0) + bytes([1, len(ident)]) + ident
write('sample.ogg', page[:22] + struct.pack('<I', ogg_crc(page)) + page[26:])
PY
ls -l
