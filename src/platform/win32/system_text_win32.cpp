// Win32 backend: the console's code page to Unicode with GetOEMCP and
// MultiByteToWideChar.
#include <windows.h>

#include "platform/backend_shared.h"
#include "platform/system_text.h"

void AppendSystemTextAsUtf8(std::string_view text, std::string& utf8) {
  if (GetOEMCP() == CP_UTF8) return AppendCheckedUtf8(text, utf8);
  // Short pieces, so that a stack buffer always holds the wide text: every byte of a
  // code page gives at most one UTF-16 unit.
  constexpr int kPiece = 256;
  WCHAR wide[kPiece];
  while (!text.empty()) {
    int piece = text.size() < static_cast<size_t>(kPiece) ? static_cast<int>(text.size()) : kPiece;
    // A double-byte character must not be cut in two.
    if (piece == kPiece && IsDBCSLeadByteEx(CP_OEMCP, static_cast<BYTE>(text[piece - 1]))) --piece;
    const int units = MultiByteToWideChar(CP_OEMCP, 0, text.data(), piece, wide, kPiece);
    if (units <= 0) {
      // Nothing converts: the whole piece is replaced, byte by byte.
      for (int i = 0; i < piece; ++i) AppendCodePoint(0xFFFD, utf8);
    }
    for (int i = 0; i < units; ++i) {
      uint32_t unit = wide[i];
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units && wide[i + 1] >= 0xDC00 &&
          wide[i + 1] <= 0xDFFF) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (wide[++i] - 0xDC00);
      } else if (unit >= 0xD800 && unit <= 0xDFFF) {
        unit = 0xFFFD;
      }
      AppendCodePoint(unit, utf8);
    }
    text.remove_prefix(static_cast<size_t>(piece));
  }
}
