#!/usr/bin/env python3
"""Writes the toolkit tests' icon and bitmap: plain shapes whose colours the tests look for."""
import struct


def icon_image(size, colour):
    # A 32-bit icon image: a square of the colour with a one-pixel transparent border.
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in range(size):
        row = b''
        for x in range(size):
            inside = 0 < x < size - 1 and 0 < y < size - 1
            r, g, b = colour
            row += struct.pack('<BBBB', b, g, r, 255) if inside else b'\0\0\0\0'
        rows.append(row)
    pixels = b''.join(reversed(rows))  # bottom-up
    mask_row = ((size + 31) // 32) * 4
    mask = b''
    for y in range(size):
        bits = bytearray(mask_row)
        for x in range(size):
            if not (0 < x < size - 1 and 0 < y < size - 1):
                bits[x // 8] |= 0x80 >> (x % 8)
        mask = bytes(bits) + mask
    return header + pixels + mask


def icon_file(entries):
    images = [icon_image(size, colour) for size, colour in entries]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, _), image in zip(entries, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b''.join(images)


def bitmap_file(width, height, colour):
    row = b''.join(struct.pack('<BBB', colour[2], colour[1], colour[0]) for _ in range(width))
    row += b'\0' * ((4 - len(row) % 4) % 4)
    pixels = row * height
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b'BM' + struct.pack('<IHHI', 14 + len(info) + len(pixels), 0, 0, 14 + len(info)) + info + pixels


if __name__ == '__main__':
    # Red at 16 pixels, green at 24 and blue at 32: a test sees which size was chosen.
    with open('TestIcon.ico', 'wb') as f:
        f.write(icon_file([(16, (255, 0, 0)), (24, (0, 160, 0)), (32, (0, 0, 255))]))
    with open('TestPicture.bmp', 'wb') as f:
        f.write(bitmap_file(8, 8, (0, 128, 255)))
