#pragma once
// Japanese code conversions: ISO-2022-JP ("JIS"), Shift_JIS and EUC-JP.

#include <string>
#include <string_view>

namespace corvina {

class CodePage;

// True when `cp` is the Japanese code page 932.
bool IsJapaneseSystem(const CodePage& cp);
bool IsJapaneseSystem();  // working code page

// ISO-2022-JP to Shift_JIS. ESC $ B / ESC $ @ enter two-byte mode,
// ESC ( B / ESC ( J leave it; other bytes are copied.
std::string JisToSjis(std::string_view jis);

// Shift_JIS to ISO-2022-JP, always ending in one-byte mode. With
// `japaneseSystem` lead bytes 0x81-0x9F count and half-width katakana are
// widened to their full-width characters.
std::string SjisToJis(std::string_view sjis, bool japaneseSystem);
std::string SjisToJis(std::string_view sjis);  // japaneseSystem from the working code page

// Raw ISO-2022-JP header or body text into the code page `cp`: JisToSjis on
// 932, an iconv conversion elsewhere; text without ESC is returned as is.
std::string JisToWorking(std::string_view text, const CodePage& cp);

// One line of EUC-JP to Shift_JIS and back. On an invalid sequence
// `errorCount` is incremented and the line is returned unchanged.
std::string EucToSjisLine(std::string_view line, int& errorCount);
std::string SjisToEucLine(std::string_view line, int& errorCount);

// The full-width Shift_JIS character for a half-width katakana byte
// 0xA1-0xDF (two bytes); empty for any other byte.
std::string WidenHalfWidthKatakana(unsigned char b);

}  // namespace corvina
