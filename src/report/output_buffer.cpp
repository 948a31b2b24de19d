// The report's output.
#include "report/output_buffer.h"

#include "platform/control_bytes.h"
#include "platform/system_text.h"

namespace {

// The value with `decimals` decimals, rounded half away from zero, as "%.Nf" prints it
// (the runtime's own printf is left out of the 32-bit Windows program).
std::string Fixed(double value, int decimals) {
  int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const bool negative = value < 0;
  const int64_t scaled = static_cast<int64_t>((negative ? -value : value) * scale + 0.5);
  const std::string digits = std::to_string(scaled % scale);
  const size_t width = static_cast<size_t>(decimals);
  const std::string zeros(width > digits.size() ? width - digits.size() : 0, '0');
  // Appended piece by piece: GCC 12 at -O3 warns falsely of "literal" + std::string.
  std::string text(negative && scaled != 0 ? "-" : "");
  text += std::to_string(scaled / scale);
  text += '.';
  text += zeros;
  text += digits;
  return text;
}

// Appends the text as UTF-8, replacing the bytes that `escape` names.
template <typename Escape>
std::string Utf8With(std::string_view text, Escape escape) {
  std::string out;
  out.reserve(text.size());
  size_t plain = 0;  // start of the bytes not yet appended
  for (size_t i = 0; i <= text.size(); ++i) {
    const bool atEnd = i == text.size();
    const char* replacement = atEnd ? nullptr : escape(text[i]);
    if (!atEnd && replacement == nullptr) continue;
    AppendSystemTextAsUtf8(text.substr(plain, i - plain), out);
    if (replacement != nullptr) out += replacement;
    plain = i + 1;
  }
  return out;
}

/// A byte that a format replaces, and what stands for it.
struct Escape {
  char byte;
  const char* text;
};

constexpr Escape kJsonEscapes[] = {{'"', "\\\""}, {'\\', "\\\\"}};
constexpr Escape kHtmlEscapes[] = {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}};
// A line end would end the table row.
constexpr Escape kMarkdownEscapes[] = {{'|', "\\|"}, {'\\', "\\\\"}, {'*', "\\*"}, {'_', "\\_"},
                                       {'`', "\\`"}, {'<', "&lt;"},  {'\r', " "},  {'\n', " "}};

/// The replacement of `c` in `escapes`, or nullptr when the byte stays.
template <size_t N>
const char* Replacement(const Escape (&escapes)[N], char c) {
  for (const Escape& escape : escapes) {
    if (escape.byte == c) return escape.text;
  }
  return nullptr;
}

}  // namespace

OutputBuffer& OutputBuffer::operator<<(int64_t number) {
  return *this << std::string_view(std::to_string(number));
}

bool OutputBuffer::Flush() {
  if (!buffer_.empty() && !failed_ && !sink_(buffer_.data(), buffer_.size(), context_)) {
    failed_ = true;
  }
  buffer_.clear();
  return !failed_;
}

std::string Decimal3(double value) {
  return Fixed(value, 3);
}

std::string Decimal2(double value) {
  return Fixed(value, 2);
}

std::string Printable(std::string_view text) {
  std::string shown(text);
  ReplaceControlBytes(shown.data(), shown.size());
  return shown;
}

std::string JsonString(std::string_view text) {
  static char control[8];
  const std::string body = Utf8With(text, [](char c) -> const char* {
    if (const char* replacement = Replacement(kJsonEscapes, c)) return replacement;
    if (static_cast<unsigned char>(c) >= 0x20) return nullptr;
    // "\u00XX"
    control[0] = '\\', control[1] = 'u', control[2] = '0', control[3] = '0';
    control[4] = "0123456789abcdef"[c >> 4], control[5] = "0123456789abcdef"[c & 15];
    control[6] = '\0';
    return control;
  });
  return "\"" + body + "\"";
}

std::string HtmlText(std::string_view text) {
  return Utf8With(text, [](char c) { return Replacement(kHtmlEscapes, c); });
}

std::string MarkdownText(std::string_view text) {
  return Utf8With(text, [](char c) { return Replacement(kMarkdownEscapes, c); });
}

std::string CsvField(std::string_view text, char separator) {
  std::string field;
  if (!text.empty() && std::string_view("=+-@").find(text[0]) != std::string_view::npos)
    field += '\'';
  AppendSystemTextAsUtf8(text, field);
  ReplaceControlBytes(field.data(), field.size());
  if (field.find(separator) == std::string::npos && field.find('"') == std::string::npos)
    return field;
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CsvNumber(std::string number, char decimal) {
  for (char& c : number) {
    if (c == '.') c = decimal;
  }
  return number;
}
