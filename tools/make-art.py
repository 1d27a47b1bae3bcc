#!/usr/bin/env python3
"""Draws Kagero's bitmaps, icon and cursor from the text pixel maps.

    make-art.py <art dir> <out dir>

Each map file in the art dir holds named images, one character per pixel;
palette.txt gives the character of each of the 16 standard colours, and '.'
is the background: the mask colour of a bitmap strip, or a transparent
pixel of the icon and the cursor.  Any fault in a map stops the build with
the file and line, so a broken picture never reaches the resources.
"""
import os
import struct
import sys

# The standard 16-colour palette in index order; the resources and the
# program's mask colours depend on exactly this order.
STANDARD_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, LIGHT_GREY, DARK_CYAN, GREEN, WHITE = 0, 7, 6, 10, 15
BACKGROUND = '.'
TRANSPARENT = -1

TYPE_NAMES = [
    'folder-closed', 'folder-open', 'balls', 'plug', 'monitor',
    'gear-chip', 'two-gears', 'link', 'letter-e', 'letter-m', 'letter-s',
    'page', 'pie', 'key', 'clock', 'cube', 'pages-clip',
]

# Every strip: map file, image names in order, image size, the palette index
# of the background, and the only indexes allowed (None: all but the
# background's own colour, which would turn transparent inside a picture).
STRIPS = {
    'toolbar.bmp': ('toolbar.txt', ['refresh', 'copy', 'properties', 'up'],
                    (16, 16), LIGHT_GREY, None),
    'types.bmp': ('types.txt', TYPE_NAMES, (16, 16), DARK_CYAN, None),
    'sortmarks.bmp': ('sortmarks.txt', ['none', 'down', 'up'], (12, 8),
                      GREEN, {BLACK, WHITE}),
}
SORT_MARK_CLEAR_FROM = 10
ICON_SIZES = [16, 32]
CURSOR_SIZE = 32
CURSOR_HOTSPOT = (15, 11)


class ArtError(Exception):
    pass


def fail_at(path, line, message):
    raise ArtError('%s:%d: %s' % (path, line, message))


def content_lines(path):
    """Yields (line number, text) of the lines that are neither blank nor
    comments; trailing white space is dropped."""
    try:
        with open(path, encoding='utf-8') as handle:
            text = handle.read()
    except OSError as error:
        raise ArtError('%s: cannot read: %s' % (path, error.strerror))
    for number, line in enumerate(text.splitlines(), 1):
        line = line.rstrip()
        if line and not line.startswith('#'):
            yield number, line


def read_palette(path):
    """Returns {character: palette index} after checking that the file names
    every standard colour once, in its standard place."""
    legend = {}
    seen = set()
    for number, line in content_lines(path):
        fields = line.split()
        if len(fields) < 5:
            fail_at(path, number, 'expected: char index red green blue [name]')
        char = fields[0]
        if len(char) != 1 or char in (BACKGROUND, '#') or char in legend:
            fail_at(path, number, 'bad or repeated character %r' % char)
        try:
            index, red, green, blue = (int(f) for f in fields[1:5])
        except ValueError:
            fail_at(path, number, 'index and colour must be numbers')
        if not 0 <= index < 16 or index in seen:
            fail_at(path, number, 'bad or repeated index %d' % index)
        if STANDARD_PALETTE[index] != (red, green, blue):
            fail_at(path, number, 'index %d must be %r' % (index, STANDARD_PALETTE[index]))
        legend[char] = index
        seen.add(index)
    if len(seen) != 16:
        raise ArtError('%s: all 16 colours must be named' % path)
    return legend


def read_images(path, legend, sizes):
    """Reads the 'image NAME' blocks of a map file.  sizes gives the
    (width, height) each image must have, in file order, and fixes their
    count.  Returns [(name, rows)], rows being lists of palette indexes or
    TRANSPARENT for the background."""
    images = []
    current = None
    for number, line in content_lines(path):
        if line.startswith('image'):
            words = line.split()
            if len(words) != 2 or words[0] != 'image':
                fail_at(path, number, 'expected: image NAME')
            current = (words[1], [], number)
            images.append(current)
            continue
        if current is None:
            fail_at(path, number, 'pixels before the first image line')
        if len(images) > len(sizes):
            fail_at(path, number, 'more than %d images' % len(sizes))
        width, height = sizes[len(images) - 1]
        rows = current[1]
        if len(line) != width:
            fail_at(path, number, 'row is %d pixels wide, not %d' % (len(line), width))
        if len(rows) == height:
            fail_at(path, number, 'image %s has more than %d rows' % (current[0], height))
        row = []
        for column, char in enumerate(line):
            if char == BACKGROUND:
                row.append(TRANSPARENT)
            elif char in legend:
                row.append(legend[char])
            else:
                fail_at(path, number, 'unknown character %r in column %d' % (char, column + 1))
        rows.append(row)
    if len(images) != len(sizes):
        raise ArtError('%s: %d images, expected %d' % (path, len(images), len(sizes)))
    for (name, rows, number), (_, height) in zip(images, sizes):
        if len(rows) != height:
            fail_at(path, number, 'image %s has %d rows, not %d' % (name, len(rows), height))
    return [(name, rows) for name, rows, _ in images]


def check_names(path, images, names):
    found = [name for name, _ in images]
    if found != names:
        raise ArtError('%s: images must be, in order: %s' % (path, ' '.join(names)))


def check_colours(path, name, rows, allowed):
    for y, row in enumerate(rows):
        for x, index in enumerate(row):
            if index != TRANSPARENT and index not in allowed:
                raise ArtError('%s: image %s, pixel (%d, %d): colour %d not allowed here'
                               % (path, name, x, y, index))


def check_sort_marks(path, images):
    # The header shows the empty mark while unsorted, and the two right-hand
    # columns keep the triangle clear of the header's text.
    for name, rows in images:
        for y, row in enumerate(rows):
            used = [x for x, index in enumerate(row) if index != TRANSPARENT]
            if used and (name == 'none' or used[-1] >= SORT_MARK_CLEAR_FROM):
                raise ArtError('%s: image %s, row %d: pixel outside the mark'
                               % (path, name, y))


def info_header(width, height, bits, image_size, colours):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0,
                       image_size, 0, 0, colours, 0)


def palette_bytes(colours):
    return b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in colours)


def stride(width, bits):
    return (width * bits + 31) // 32 * 4


def pack_4bpp(rows, background):
    """Bottom-up 4-bit pixel rows, each padded to 32 bits."""
    width = len(rows[0])
    data = bytearray()
    for row in reversed(rows):
        line = bytearray(stride(width, 4))
        for x, index in enumerate(row):
            index = background if index == TRANSPARENT else index
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        data += line
    return bytes(data)


def pack_1bpp(rows, bit_of):
    """Bottom-up 1-bit rows; bit_of maps a pixel to 0 or 1."""
    width = len(rows[0])
    data = bytearray()
    for row in reversed(rows):
        line = bytearray(stride(width, 1))
        for x, index in enumerate(row):
            if bit_of(index):
                line[x // 8] |= 0x80 >> (x % 8)
        data += line
    return bytes(data)


def pack_bgra(rows):
    data = bytearray()
    for row in reversed(rows):
        for index in row:
            if index == TRANSPARENT:
                data += b'\0\0\0\0'
            else:
                r, g, b = STANDARD_PALETTE[index]
                data += bytes((b, g, r, 255))
    return bytes(data)


def side_by_side(images):
    height = len(images[0][1])
    return [sum((rows[y] for _, rows in images), []) for y in range(height)]


def bmp_file(rows, background):
    pixels = pack_4bpp(rows, background)
    header = info_header(len(rows[0]), len(rows), 4, len(pixels), 16)
    offset = 14 + len(header) + 64
    return (b'BM' + struct.pack('<IHHI', offset + len(pixels), 0, 0, offset)
            + header + palette_bytes(STANDARD_PALETTE) + pixels)


def and_mask(rows):
    return pack_1bpp(rows, lambda index: index == TRANSPARENT)


def icon_image_4bpp(rows):
    # Transparent pixels are black in the colour plane so that the AND/XOR
    # pair leaves the screen untouched.
    xor = pack_4bpp(rows, BLACK)
    mask = and_mask(rows)
    size = len(rows)
    return (info_header(size, size * 2, 4, len(xor) + len(mask), 16)
            + palette_bytes(STANDARD_PALETTE) + xor + mask)


def icon_image_32bpp(rows):
    xor = pack_bgra(rows)
    mask = and_mask(rows)
    size = len(rows)
    return info_header(size, size * 2, 32, len(xor) + len(mask), 0) + xor + mask


def icon_group(kind, entries):
    """entries: [(width, height, colour count, field 1, field 2, data)]; the
    two fields are planes and bit count for an icon, the hot spot for a
    cursor."""
    directory = struct.pack('<HHH', 0, kind, len(entries))
    offset = len(directory) + 16 * len(entries)
    table = b''
    blobs = b''
    for width, height, colours, first, second, data in entries:
        table += struct.pack('<BBBBHHII', width % 256, height % 256, colours, 0,
                             first, second, len(data), offset + len(blobs))
        blobs += data
    return directory + table + blobs


def ico_file(images):
    entries = []
    for _, rows in images:
        entries.append((len(rows), len(rows), 16, 1, 4, icon_image_4bpp(rows)))
    # True-colour copies of the same pictures for systems that prefer them.
    for _, rows in images:
        entries.append((len(rows), len(rows), 0, 1, 32, icon_image_32bpp(rows)))
    return icon_group(1, entries)


def cur_file(rows, hotspot):
    # Monochrome: black is AND 0 / XOR 0, white AND 0 / XOR 1, and a
    # transparent pixel AND 1 / XOR 0.
    xor = pack_1bpp(rows, lambda index: index == WHITE)
    mask = and_mask(rows)
    size = len(rows)
    data = (info_header(size, size * 2, 1, len(xor) + len(mask), 2)
            + palette_bytes([(0, 0, 0), (255, 255, 255)]) + xor + mask)
    return icon_group(2, [(size, size, 2, hotspot[0], hotspot[1], data)])


def draw_strips(art, legend):
    results = {}
    for output, (source, names, size, background, allowed) in STRIPS.items():
        path = os.path.join(art, source)
        images = read_images(path, legend, [size] * len(names))
        check_names(path, images, names)
        allowed = allowed or set(range(16)) - {background}
        for name, rows in images:
            check_colours(path, name, rows, allowed)
        if output == 'sortmarks.bmp':
            check_sort_marks(path, images)
        results[output] = bmp_file(side_by_side(images), background)
    return results


def draw_icon(art, legend):
    path = os.path.join(art, 'kagero-icon.txt')
    images = read_images(path, legend, [(s, s) for s in ICON_SIZES])
    check_names(path, images, [str(s) for s in ICON_SIZES])
    return ico_file(images)


def draw_cursor(art, legend):
    path = os.path.join(art, 'splitter.txt')
    images = read_images(path, legend, [(CURSOR_SIZE, CURSOR_SIZE)])
    check_names(path, images, ['splitter'])
    name, rows = images[0]
    check_colours(path, name, rows, {BLACK, WHITE})
    x, y = CURSOR_HOTSPOT
    if rows[y][x] == TRANSPARENT:
        raise ArtError('%s: the hot spot (%d, %d) must lie on the bar' % (path, x, y))
    return cur_file(rows, CURSOR_HOTSPOT)


def write_atomically(path, data):
    # A half-written file must never look up to date to the build.
    temporary = path + '.tmp'
    with open(temporary, 'wb') as handle:
        handle.write(data)
    os.replace(temporary, path)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write('usage: make-art.py <art dir> <out dir>\n')
        return 2
    art, out = argv[1], argv[2]
    try:
        legend = read_palette(os.path.join(art, 'palette.txt'))
        outputs = draw_strips(art, legend)
        outputs['kagero.ico'] = draw_icon(art, legend)
        outputs['splitter.cur'] = draw_cursor(art, legend)
    except ArtError as error:
        sys.stderr.write('make-art: %s\n' % error)
        return 1
    os.makedirs(out, exist_ok=True)
    for name, data in sorted(outputs.items()):
        write_atomically(os.path.join(out, name), data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
