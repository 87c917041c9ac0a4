#!/bin/sh
# Remakes the loader fuzz target's seeds in src/platform/fuzz/seeds/<format>/
# with the formats' own encoders (ImageMagick, heif-enc, avifenc, cjxl) and a
# little Python for what those cannot write (EXIF blocks, BI_BITFIELDS bitmaps,
# a camera DNG, damaged files); found/ keeps inputs that fuzzing turned up.
# Each seed is one byte naming the file's extension (an index into the table
# in fuzz_loader.cpp) and then the file.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/src/platform/fuzz/seeds"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# A small picture with something to see in every corner, so orientation and
# scaling mistakes show.
convert -size 24x16 gradient:'#d02040-#2040d0' -fill '#20c040' -draw 'rectangle 0,0 7,5' \
    -fill white -draw 'circle 17,10 20,12' -depth 8 src.png
convert src.png -alpha set -channel A -fx 'i/w' +channel srca.png

convert src.png -quality 70 jpeg-baseline.jpg
convert src.png -quality 70 -interlace JPEG jpeg-progressive.jpg
convert src.png -define png:exclude-chunks=date,time PNG24:png-plain.png
convert src.png -interlace PNG -define png:exclude-chunks=date,time PNG24:png-interlaced.png
convert srca.png -depth 16 -define png:exclude-chunks=date,time PNG64:png-16bit.png
convert -delay 10 src.png -rotate 90 \( src.png -negate \) -loop 0 -colors 16 gif-animated.gif
convert src.png -quality 40 webp-lossy.webp
convert srca.png -define webp:lossless=true webp-lossless.webp
convert -delay 10 src.png \( src.png -negate \) -loop 0 -quality 40 webp-animated.webp
convert src.png -define tiff:rows-per-strip=4 -compress lzw tiff-strips.tif
convert src.png -define tiff:tile-geometry=16x16 -compress zip tiff-tiles.tif
convert src.png -interlace plane -compress none tiff-planar.tif
convert src.png -type truecolor BMP3:bmp-24bit.bmp
convert src.png -type palette -colors 32 BMP3:bmp-8bit.bmp
convert src.png tga-plain.tga
convert src.png -compress RLE tga-rle.tga
convert srca.png -type TrueColorAlpha -compress RLE -orient TopRight tga-32bit-rle.tga
convert src.png -type Grayscale -compress RLE tga-grey-rle.tga
convert src.png -type Palette -colors 32 -depth 5 tga-palette-16bit.tga
convert src.png -type TrueColor -depth 5 -orient TopLeft tga-16bit.tga
convert src.png -define icon:auto-resize=16 ico-plain.ico
convert src.png ppm-plain.ppm
convert src.png -depth 16 ppm-16bit.ppm
heif-enc -q 30 -o heic-plain.heic src.png >/dev/null
avifenc --min 20 --max 40 -s 10 src.png avif-plain.avif >/dev/null
convert src.png -crop 24x16+0+0 -resize 128x128! big.png
avifenc --min 40 --max 60 -s 10 -g 2x1 big.png avif-grid.avif >/dev/null
cjxl -q 60 --container=0 src.png jxl-codestream.jxl >/dev/null 2>&1
cjxl -q 60 --container=1 src.png jxl-container.jxl >/dev/null 2>&1
cjxl -q 60 -p src.png jxl-progressive.jxl >/dev/null 2>&1
cat > svg-plain.svg <<'SVG'
<svg xmlns="http://www.w3.org/2000/svg" width="24" height="16" viewBox="0 0 24 16">
<linearGradient id="g"><stop offset="0" stop-color="#d02040"/><stop offset="1" stop-color="#2040d0"/></linearGradient>
<rect width="24" height="16" fill="url(#g)"/><rect width="8" height="6" fill="#20c040"/>
<circle cx="17" cy="10" r="3" fill="white"/></svg>
SVG
{ printf '<?xml version="1.0"?>\n'; cat svg-plain.svg; } > svg-xml.svg
gzip -9n < svg-plain.svg > svg-gzip.svgz
# text, an embedded picture, one named by path, a style sheet, entities, an animation
cat > svg-text.svg <<'SVG'
<?xml version="1.0"?>
<?xml-stylesheet type="text/css" href="/etc/passwd"?>
<!DOCTYPE svg [<!ENTITY w "Wag">]>
<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" viewBox="0 0 24 16">
<text x="1" y="12" font-size="10" font-family="sans-serif">&w;<tspan fill="red">!</tspan></text>
<image width="4" height="4" xlink:href="data:image/gif;base64,R0lGODlhAQABAIAAAP8AAAAAACwAAAAAAQABAAACAkQBADs="/>
<image x="4" width="4" height="4" xlink:href="/dev/zero"/>
<rect x="8" width="4" height="4"><animateColor attributeName="fill" from="blue" to="red" dur="2s"/></rect>
</svg>
SVG
gzip -9n < svg-text.svg > svg-textgzip.svgz
convert src.png -depth 8 rgb:src.rgb

python3 - <<'PY'
import struct, zlib

def exif(orientation):
    # a little-endian TIFF block with one tag: the orientation
    return b"II*\0" + struct.pack("<IH", 8, 1) + struct.pack("<HHIHH", 0x112, 3, 1, orientation, 0) + b"\0\0\0\0"

# JPEG with the orientation in an APP1 block right after SOI
jpeg = open("jpeg-baseline.jpg", "rb").read()
block = b"Exif\0\0" + exif(6)
open("jpeg-exif.jpg", "wb").write(jpeg[:2] + b"\xff\xe1" + struct.pack(">H", len(block) + 2) + block + jpeg[2:])

# PNG with an eXIf chunk before the image data
png = open("png-plain.png", "rb").read()
at = png.index(b"IDAT") - 4
body = exif(8)
chunk = struct.pack(">I", len(body)) + b"eXIf" + body + struct.pack(">I", zlib.crc32(b"eXIf" + body))
open("png-exif.png", "wb").write(png[:at] + chunk + png[at:])

# WebP in the extended container with an EXIF chunk
webp = open("webp-lossy.webp", "rb").read()
vp8 = webp[12:]
w, h = 24, 16
vp8x = b"VP8X" + struct.pack("<I", 10) + bytes([0x08, 0, 0, 0]) + (w - 1).to_bytes(3, "little") + (h - 1).to_bytes(3, "little")
body = exif(6)
ex = b"EXIF" + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")
payload = b"WEBP" + vp8x + vp8 + ex
open("webp-exif.webp", "wb").write(b"RIFF" + struct.pack("<I", len(payload)) + payload)

rgb = open("src.rgb", "rb").read()
pixels = [rgb[i:i + 3] for i in range(0, len(rgb), 3)]

def bmp_bitfields(bits, masks, pack):
    rows = []
    for y in range(h - 1, -1, -1):
        row = b"".join(pack(*pixels[y * w + x]) for x in range(w))
        rows.append(row + b"\0" * (-len(row) % 4))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 3, len(data), 2835, 2835, 0, 0)
    info += struct.pack("<III", *masks)
    offset = 14 + len(info)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + data

open("bmp-16bit-bitfields.bmp", "wb").write(bmp_bitfields(16, (0xF800, 0x07E0, 0x001F),
    lambda r, g, b: struct.pack("<H", (r >> 3) << 11 | (g >> 2) << 5 | b >> 3)))
open("bmp-32bit-bitfields.bmp", "wb").write(bmp_bitfields(32, (0x0000FF00, 0x00FF0000, 0xFF000000),
    lambda r, g, b: struct.pack("<I", r << 8 | g << 16 | b << 24)))

def tiff(entries, data):
    # entries: (tag, type, values); data appended after the directory
    types = {3: ("H", 2), 4: ("I", 4), 5: ("II", 8), 1: ("B", 1), 2: ("s", 1), 10: ("ii", 8)}
    entries = sorted(entries)
    head = 8
    ifd_size = 2 + 12 * len(entries) + 4
    extra = b""
    base = head + ifd_size
    out = struct.pack("<H", len(entries))
    fixups = []
    for tag, typ, values in entries:
        if typ == 2:
            raw = values.encode() + b"\0"
            count = len(raw)
        else:
            fmt, size = types[typ]
            raw = b"".join(struct.pack("<" + fmt, *(v if isinstance(v, tuple) else (v,))) for v in values)
            count = len(values)
        if len(raw) <= 4:
            out += struct.pack("<HHI", tag, typ, count) + raw.ljust(4, b"\0")
        else:
            out += struct.pack("<HHII", tag, typ, count, base + len(extra))
            extra += raw + (b"\0" if len(raw) % 2 else b"")
    out += b"\0\0\0\0"
    data_at = base + len(extra)
    return b"II*\0" + struct.pack("<I", head) + out + extra, data_at

# A camera DNG: a 16-bit Bayer mosaic (RGGB) of the picture at twice its
# size, since libraw refuses a raw below 22 points a side and the fuzzer
# would never reach its unpacking.
dw, dh = 2 * w, 2 * h
def cfa(x, y):
    r, g, b = pixels[(y // 2) * w + x // 2]
    return (r if y % 2 == 0 and x % 2 == 0 else b if y % 2 and x % 2 else g) * 16
data = b"".join(struct.pack("<H", cfa(x, y)) for y in range(dh) for x in range(dw))
def dng_entries(data_at):
    return [
        (254, 4, [0]), (256, 4, [dw]), (257, 4, [dh]), (258, 3, [16]), (259, 3, [1]), (262, 3, [32803]),
        (271, 2, "Ovrin"), (272, 2, "Seed"), (273, 4, [data_at]), (274, 3, [1]), (277, 3, [1]),
        (278, 4, [dh]), (279, 4, [len(data)]), (284, 3, [1]),
        (33421, 3, [2, 2]), (33422, 1, [0, 1, 1, 2]),
        (50706, 1, [1, 4, 0, 0]), (50707, 1, [1, 1, 0, 0]), (50708, 2, "Ovrin Seed"),
        (50717, 3, [4095]),
        (50721, 10, [(1, 1), (0, 1), (0, 1), (0, 1), (1, 1), (0, 1), (0, 1), (0, 1), (1, 1)]),
        (50778, 3, [21]),
    ]
head, data_at = tiff(dng_entries(0), b"")
head, data_at = tiff(dng_entries(data_at), b"")
open("dng-bayer.dng", "wb").write(head + data)

# TGA kinds the encoder does not write: 15-bit from the right, 16-bit
# indices into a map from entry 300, packets running on across rows.
def tga(kind, bits, descriptor, body, colour_map=b"", map_bits=0, first=0, size=(w, h)):
    entries = len(colour_map) // ((map_bits + 7) // 8) if map_bits else 0
    return struct.pack("<BBBHHBHHHHBB", 0, 1 if colour_map else 0, kind, first, entries, map_bits,
                       0, 0, size[0], size[1], bits, descriptor) + colour_map + body
def p16(r, g, b):
    return struct.pack("<H", (r >> 3) << 10 | (g >> 3) << 5 | b >> 3)
open("tga-15bit-right.tga", "wb").write(tga(2, 15, 0x30, b"".join(p16(*p) for p in pixels)))
colours = sorted(set(pixels))[:256]
index = {c: i for i, c in enumerate(colours)}
open("tga-16bit-indices.tga", "wb").write(tga(1, 16, 0x20,
    b"".join(struct.pack("<H", 300 + index.get(p, 0)) for p in pixels),
    b"".join(bytes((c[2], c[1], c[0])) for c in colours), 24, 300))
runs = b""
for at in range(0, len(pixels), 100):
    runs += bytes([0x80 | 99]) + bytes(reversed(pixels[at]))
open("tga-rle-across-rows.tga", "wb").write(tga(10, 24, 0, runs))

# Damaged and degenerate files
jpeg = open("jpeg-progressive.jpg", "rb").read()
open("bad-jpeg-truncated.jpg", "wb").write(jpeg[: len(jpeg) // 2])
png = open("png-plain.png", "rb").read()
open("bad-png-huge.png", "wb").write(png[:16] + struct.pack(">II", 60000, 60000) + png[24:])
open("bad-png-truncated.png", "wb").write(png[:60])
gif = open("gif-animated.gif", "rb").read()
open("bad-gif-noframes.gif", "wb").write(gif[:13 + 3 * 16] + b";")
open("bad-bmp-huge.bmp", "wb").write(b"BM" + struct.pack("<IHHI", 70, 0, 0, 54) +
    struct.pack("<IiiHHIIiiII", 40, 1 << 20, -(1 << 20), 1, 24, 0, 0, 0, 0, 0, 0) + b"\0" * 16)
open("bad-tiff-header.tif", "wb").write(b"II*\0\x08\0\0\0\x01\0\x00\x01\x04\0\x01\0\0\0\xff\xff\xff\xff")
webp = open("webp-lossless.webp", "rb").read()
open("bad-webp-truncated.webp", "wb").write(webp[: len(webp) // 2])
open("bad-heif-ftyp.heic", "wb").write(b"\0\0\0\x18ftypheic\0\0\0\0mif1heic")
jxl = open("jxl-codestream.jxl", "rb").read()
open("bad-jxl-truncated.jxl", "wb").write(jxl[: len(jxl) // 2])
open("bad-svg-broken.svg", "wb").write(b"<svg xmlns='http://www.w3.org/2000/svg' width='99999999' height='-4'><rect")
open("bad-dng-truncated.dng", "wb").write(open("dng-bayer.dng", "rb").read()[:400])
tga_plain = open("tga-plain.tga", "rb").read()
open("bad-tga-truncated.tga", "wb").write(tga_plain[: len(tga_plain) // 2])
open("bad-tga-type.tga", "wb").write(tga(7, 24, 0, bytes(w * h * 3)))
open("bad-tga-huge.tga", "wb").write(tga(10, 32, 0x28, b"\xff\x10\x20\x30\x40" * 8, size=(65535, 65535)))
open("bad-tga-rle-overrun.tga", "wb").write(tga(9, 8, 0, b"\xff\x07" * 4, bytes(range(8)) * 3, 24))
open("bad-one-byte.bin", "wb").write(b"\xff")
open("bad-empty.bin", "wb").write(b"")
open("bad-text.txt", "wb").write(b"not a picture at all\n")
PY

# One byte naming the file, then the file; the index follows kNames.
hint() {
    case "$1" in
    jpg) echo 1 ;; png) echo 2 ;; gif) echo 3 ;; webp) echo 4 ;; tif) echo 5 ;; bmp) echo 6 ;;
    tga) echo 7 ;; svg) echo 8 ;; svgz) echo 9 ;; ico) echo 10 ;; ppm) echo 11 ;; heic) echo 12 ;;
    jxl) echo 13 ;; dng) echo 14 ;; *) echo 0 ;;
    esac
}
# found/ keeps what fuzzing turned up; it is not remade.
mkdir -p "$out"
find "$out" -mindepth 1 -maxdepth 1 ! -name found -exec rm -rf {} +
for file in *.*; do
    case "$file" in src.* | srca.* | big.*) continue ;; esac
    base=${file%.*}
    extension=${file##*.}
    format=${base%%-*}
    mkdir -p "$out/$format"
    { printf "\\$(printf '%03o' "$(hint "$extension")")"; cat "$file"; } > "$out/$format/${base#*-}"
done
du -sh "$out"
