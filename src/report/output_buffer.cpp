// The report's output.
#include "report/output_buffer.h"

#include <cstdio>

#include "platform/system_text.h"

namespace {

std::string Printed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
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

}  // namespace

OutputBuffer& OutputBuffer::operator<<(int64_t number) {
  char text[24];
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(number));
  return *this << std::string_view(text);
}

bool OutputBuffer::Flush() {
  if (!buffer_.empty() && !failed_ && !sink_(buffer_.data(), buffer_.size(), context_)) {
    failed_ = true;
  }
  buffer_.clear();
  return !failed_;
}

std::string Decimal3(double value) {
  return Printed("%.3f", value);
}

std::string Decimal2(double value) {
  return Printed("%.2f", value);
}

std::string JsonString(std::string_view text) {
  static char control[8];
  const std::string body = Utf8With(text, [](char c) -> const char* {
    switch (c) {
      case '"':
        return "\\\"";
      case '\\':
        return "\\\\";
      default:
        if (static_cast<unsigned char>(c) >= 0x20) return nullptr;
        std::snprintf(control, sizeof control, "\\u%04x", static_cast<unsigned>(c));
        return control;
    }
  });
  return "\"" + body + "\"";
}

std::string HtmlText(std::string_view text) {
  return Utf8With(text, [](char c) -> const char* {
    switch (c) {
      case '&':
        return "&amp;";
      case '<':
        return "&lt;";
      case '>':
        return "&gt;";
      case '"':
        return "&quot;";
      default:
        return nullptr;
    }
  });
}

std::string MarkdownText(std::string_view text) {
  return Utf8With(text, [](char c) -> const char* {
    switch (c) {
      case '|':
        return "\\|";
      case '\\':
        return "\\\\";
      case '*':
        return "\\*";
      case '_':
        return "\\_";
      case '`':
        return "\\`";
      case '<':
        return "&lt;";
      default:
        // A line end would end the table row.
        return c == '\r' || c == '\n' ? " " : nullptr;
    }
  });
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}
