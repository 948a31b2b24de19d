// The command line: the test options, the hidden debug option and the usage text.
#include "run/command_line.h"

#include <array>
#include <string_view>

#include "platform/console.h"
#include "platform/process.h"
#include "run/fatal_error.h"
#include "run/fatal_messages.h"

namespace {

constexpr std::array<std::string_view, 3> kDebugLines = {
    "Hidden debugging option activated",
    "Test mode: no results, but leave all temporary files on disks",
    "All arguments after this option are not processed",
};

constexpr std::array<std::string_view, 39> kUsageLines = {
    "Command syntax: zentravo-kelv-tarsel.exe <argument>",
    "",
    "Possible arguments:",
    "",
    "-divx  DivX  encoding test",
    "-xvid  XviD  encoding test",
    "-wmv9  WMV9  encoding test",
    "-mpeg1 MPEG1 encoding test",
    "-dvd   DVD rip subset (all of the above)",
    "",
    "-mainc MPEG2/Mainconcept MPEG Encoder test",
    "-cpro  MPEG2/Canopus ProCoder test",
    "-ccesp MPEG2/Cinema Craft Encoder SP test",
    "-dv    DV to MPEG2 subset (all of the above)",
    "",
    "-all   Execute all tests",
    "",
    "Software requirements:",
    "",
    " 1. Installed DivX 5.1.1 Pro AdWare",
    " 2. Installed XviD 1.0 beta 2 (Trennel build))",
    " 3. Installed Windows Media Video 9 VCM",
    " 4. Installed Mainconcept MPEG Encoder 1.4.0",
    " 5. Installed Canopus ProCoder Demo 1.25.15.0",
    " 6. Installed Apple QuickTime 6 or later",
    " 7. Installed Cinema Craft Encoder SP 2.67 Trial",
    " 8. Installed nnCron 1.89r2 or later",
    " 9. File for encoding named TEST.MPG",
    "10. File for encoding named TEST.AVI",
    "11. Windows 2000/XP or later",
    "",
    "Note: all of the above is not included in this test pack",
    "",
    "Some other requirements:",
    "",
    "-- C: drive must exist and contain some space available",
    "-- Test dir (drive) must contain some space available",
    "",
    "Press any key to close this window",
};

/// The test option that `lowered` names, or End when it names none.
SelectionCode OptionCode(const ShortText& lowered) {
  for (int code = 1; code < kSelectionCodeCount; ++code) {
    if (lowered.view() == kSelectionDefinitions[code].option) {
      return static_cast<SelectionCode>(code);
    }
  }
  return SelectionCode::End;
}

}  // namespace

ParsedArguments ParseArgumentTexts(const ShortText* arguments, int count) {
  ParsedArguments parsed;
  for (int index = 0; index < kSelectionPositions; ++index) {
    const ShortText lowered = index < count ? LowerCase(arguments[index]) : ShortText();
    if (lowered.empty()) break;
    if (lowered.view() == kDebugOption) {
      parsed.debugMode = true;
      break;
    }
    const SelectionCode code = OptionCode(lowered);
    // The last position must stay End, so a 100th argument has no room for its
    // code; refusing it tells the user, where dropping it would run less than asked.
    if (code == SelectionCode::End || index == kSelectionPositions - 1) {
      parsed.rejected = true;
      parsed.rejectedArgument = lowered;
      break;
    }
    parsed.selection[index] = code;
  }
  return parsed;
}

void ParseArguments() {
  // One argument more than fits is enough to refuse the 100th.
  ShortText arguments[kSelectionPositions];
  int count = 0;
  while (count < kSelectionPositions) {
    arguments[count] = CommandArgument(count + 1);
    if (arguments[count].empty()) break;
    ++count;
  }

  const ParsedArguments parsed = ParseArgumentTexts(arguments, count);
  runState.selection = parsed.selection;
  runState.debugMode = parsed.debugMode;
  if (parsed.rejected) {
    FatalError(ShortText(kFatal033UnknownArgument) + parsed.rejectedArgument);
  }
  if (parsed.debugMode) {
    for (std::string_view line : kDebugLines) ConsoleWriteLine(ShortText(line));
    ConsoleWriteLine();
  }
}

void WriteUsageText() {
  for (std::string_view line : kUsageLines) ConsoleWriteLine(ShortText(line));
}

void PrintUsage() {
  WriteUsageText();
  WaitForKey();
  ExitProgram(0);
}
