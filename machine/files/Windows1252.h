#pragma once

#include <string>
#include <string_view>

// Texts cross the song file and the MIDI file as Windows-1252 (8-bit Windows text); in memory
// they are UTF-8. Paths are not texts: they stay as the file system has them.

// Every byte becomes one character: 0x80..0x9F through the Windows table, the five bytes the
// table leaves free (0x81, 0x8D, 0x8F, 0x90, 0x9D) as the control characters of the same
// number, 0xA0..0xFF as U+00A0..U+00FF. So any file text reads and writes back unchanged.
std::string Windows1252ToUtf8(std::string_view bytes);

// Each character becomes its Windows-1252 byte. A character the code page cannot hold, and each
// broken UTF-8 sequence, is written as '?', so the loss shows where it happened instead of
// turning into unreadable bytes.
std::string Utf8ToWindows1252(std::string_view text);
