// The one Shift-JIS fact every scanner needs.
#pragma once

// True for a byte that begins a double-byte Shift-JIS character (0x81-0x9F, 0xE0-0xFC).
inline bool IsSjisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
