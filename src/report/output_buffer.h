// The report's output: text gathered in a buffer and handed on in large blocks, and
// the number and text forms every format shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class OutputBuffer {
 public:
  /// Takes a block of bytes; false when they cannot be written.
  using Sink = bool (*)(const char* bytes, size_t count, void* context);

  OutputBuffer(Sink sink, void* context) : sink_(sink), context_(context) {
    buffer_.reserve(kBlock);
  }

  OutputBuffer& operator<<(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kBlock) Flush();
    return *this;
  }
  OutputBuffer& operator<<(char c) { return *this << std::string_view(&c, 1); }
  OutputBuffer& operator<<(int64_t number);
  OutputBuffer& operator<<(int number) { return *this << static_cast<int64_t>(number); }

  /// Hands on what waits; false once any block could not be written.
  bool Flush();

 private:
  static constexpr size_t kBlock = 64 * 1024;
  Sink sink_;
  void* context_;
  std::string buffer_;
  bool failed_ = false;
};

/// Seconds and means with three decimals ("12.345"); ratios too. Halves are rounded
/// away from zero from the value's 15 significant digits, as spreadsheets do.
std::string Decimal3(double value);
/// The coefficient of variation with two decimals ("1.25"), or as many more as it
/// takes to show on which side of the settled bound it lies ("3.002", not "3.00").
std::string CvPercentText(double cvPercent);

/// The text with its control bytes shown as "?" (platform/control_bytes.h), as every
/// text of the inputs is before it reaches a report or a message.
std::string Printable(std::string_view text);

/// An 8-bit text as a JSON string, quotes included, in UTF-8.
std::string JsonString(std::string_view text);
/// An 8-bit text for HTML, in UTF-8, with & < > " escaped.
std::string HtmlText(std::string_view text);
/// An 8-bit text for a Markdown table cell, in UTF-8, with | \ * _ ` escaped.
std::string MarkdownText(std::string_view text);
/// An 8-bit text as a CSV field (RFC 4180) in UTF-8: quoted when it holds the
/// `separator` or a quote, and with a "'" before a first "=", "+", "-" or "@", which
/// would make a spreadsheet take the field for a formula.
std::string CsvField(std::string_view text, char separator);
/// A number's text with `decimal` as its decimal mark.
std::string CsvNumber(std::string number, char decimal);
