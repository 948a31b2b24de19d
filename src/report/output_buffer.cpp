// The report's output.
#include "report/output_buffer.h"

#include "platform/control_bytes.h"
#include "platform/system_text.h"
#include "report/statistics.h"

namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kSignificant = 15;  ///< the digits a spreadsheet keeps of a number

// 10 to the power `n`; exact up to 22.
double PowerOfTen(int n) {
  if (n < 0) return 1 / PowerOfTen(-n);
  return n <= 22 ? kPowersOfTen[n] : kPowersOfTen[22] * PowerOfTen(n - 22);
}

// `magnitude` (positive) as 15 significant digits times 10 to (exponent - 14).
void SignificantDigits(double magnitude, std::string& digits, int& exponent) {
  exponent = 0;
  for (double power = 1; magnitude >= power * 10; power *= 10) ++exponent;
  for (double power = 1; magnitude < power; power /= 10) --exponent;
  const double floor = kPowersOfTen[kSignificant - 1];  // 10^14
  for (;;) {
    const int shift = kSignificant - 1 - exponent;
    const double scaled =
        shift >= 0 ? magnitude * PowerOfTen(shift) : magnitude / PowerOfTen(-shift);
    const auto whole = static_cast<int64_t>(scaled + 0.5);
    if (whole >= floor * 10) {
      ++exponent;
    } else if (whole < floor) {
      --exponent;
    } else {
      digits = std::to_string(whole);
      return;
    }
  }
}

// The value with `decimals` decimals, rounded half away from zero from its decimal
// form of 15 significant digits, as a spreadsheet rounds (117.1705 gives 117.171
// although the nearest binary number lies just below it). Any finite value; the
// runtime's own printf is left out of the 32-bit Windows program.
std::string Fixed(double value, int decimals) {
  const bool negative = value < 0;
  const double magnitude = negative ? -value : value;
  const size_t width = static_cast<size_t>(decimals);
  std::string whole = "0", fraction;
  if (magnitude >= 1e-300 && magnitude <= 1e300) {  // every figure a report shows
    std::string digits;
    int exponent = 0;
    SignificantDigits(magnitude, digits, exponent);
    if (exponent >= 0) {
      const size_t wholeDigits = static_cast<size_t>(exponent) + 1;
      if (wholeDigits >= digits.size()) {
        whole = digits + std::string(wholeDigits - digits.size(), '0');
      } else {
        whole = digits.substr(0, wholeDigits);
        fraction = digits.substr(wholeDigits);
      }
    } else {
      fraction = std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
  }
  const bool up = fraction.size() > width && fraction[width] >= '5';
  fraction.resize(width, '0');
  std::string text = whole + fraction;  // rounded as one row of digits
  for (size_t i = text.size(); up && i-- > 0;) {
    if (text[i] != '9') {
      ++text[i];
      break;
    }
    text[i] = '0';
    if (i == 0) text.insert(0, 1, '1');
  }
  if (width > 0) text.insert(text.size() - width, 1, '.');
  const bool zero = text.find_first_not_of("0.") == std::string::npos;
  return negative && !zero ? "-" + text : text;
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

std::string CvPercentText(double cvPercent) {
  // Ties go to the verdict's side: "3.00" is settled.
  const bool above = cvPercent > kSettledCvPercent;
  for (int decimals = 2;; ++decimals) {
    const std::string text = Fixed(cvPercent, decimals);
    const std::string bound = Fixed(kSettledCvPercent, decimals);
    const bool textAbove = text.size() != bound.size() ? text.size() > bound.size() : text > bound;
    if (textAbove == above || decimals == kSignificant - 1) return text;
  }
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
