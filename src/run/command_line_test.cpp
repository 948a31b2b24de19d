#include "run/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Code = SelectionCode;

struct ParseCase {
  const char* name;
  std::vector<std::string> arguments;
  std::vector<Code> selected;  ///< the positions before the first End
  bool debugMode;
  const char* rejected;  ///< nullptr when nothing is refused
};

ParsedArguments Parse(const std::vector<std::string>& arguments) {
  std::vector<ShortText> texts(arguments.begin(), arguments.end());
  return ParseArgumentTexts(texts.data(), static_cast<int>(texts.size()));
}

std::vector<Code> Selected(const SelectionList& selection) {
  std::vector<Code> codes;
  for (Code code : selection) {
    if (code == Code::End) break;
    codes.push_back(code);
  }
  return codes;
}

TEST(ParseArgumentTexts, Table) {
  const ParseCase cases[] = {
      {"nothing", {}, {}, false, nullptr},
      {"lower case", {"-divx"}, {Code::DivX}, false, nullptr},
      {"mixed case", {"-DivX"}, {Code::DivX}, false, nullptr},
      {"upper case", {"-DIVX"}, {Code::DivX}, false, nullptr},
      {"every option",
       {"-divx", "-XVID", "-Wmv9", "-mpeg1", "-MainC", "-cpro", "-CCESP", "-dvd", "-dv", "-all"},
       {Code::DivX, Code::XviD, Code::WMV9, Code::MPEG1, Code::MPEG2Mainconcept, Code::MPEG2Canopus,
        Code::MPEG2CCE, Code::DvdRipGroup, Code::DvToMpeg2Group, Code::AllTests},
       false,
       nullptr},
      {"-dv is not -dvd", {"-dv"}, {Code::DvToMpeg2Group}, false, nullptr},
      {"-dvd is not -dv", {"-DVD"}, {Code::DvdRipGroup}, false, nullptr},
      {"same test twice", {"-divx", "-divx"}, {Code::DivX, Code::DivX}, false, nullptr},
      {"unknown, reported lower-cased", {"-Foo"}, {}, false, "-foo"},
      {"only A-Z are lowered", {"-F\xC4\xD6"}, {}, false, "-f\xC4\xD6"},
      {"trailing digit", {"-divx2"}, {}, false, "-divx2"},
      {"double dash", {"--divx"}, {}, false, "--divx"},
      {"prefix of an option", {"-div"}, {}, false, "-div"},
      {"prefix of -dvd", {"-d"}, {}, false, "-d"},
      {"other option character", {"/divx"}, {}, false, "/divx"},
      {"no option character", {"divx"}, {}, false, "divx"},
      {"no trimming", {" -divx"}, {}, false, " -divx"},
      {"no trimming at the end", {"-divx "}, {}, false, "-divx "},
      {"good then unknown", {"-divx", "-Bad", "-xvid"}, {Code::DivX}, false, "-bad"},
      {"hidden option first", {"-silentdebug", "-divx"}, {}, true, nullptr},
      {"hidden option in capitals", {"-SilentDebug"}, {}, true, nullptr},
      {"hidden option keeps earlier ones and stops",
       {"-divx", "-silentdebug", "-Foo", "-xvid"},
       {Code::DivX},
       true,
       nullptr},
      {"unknown before the hidden option", {"-foo", "-silentdebug"}, {}, false, "-foo"},
      {"an empty text ends the list", {"-divx", "", "-foo"}, {Code::DivX}, false, nullptr},
      {"Latin-1 capitals stay", {"-D\xC9VX"}, {}, false, "-d\xC9vx"},
      {"8-bit bytes only", {"\xFF\xE9"}, {}, false, "\xFF\xE9"},
      {"a no-break space is not trimmed", {"-divx\xA0"}, {}, false, "-divx\xA0"},
      {"an 8-bit byte with a letter's low bits", {"-div\xF8"}, {}, false, "-div\xF8"},
      {"8-bit after good ones",
       {"-all", "-DV", "-\xC4LL"},
       {Code::AllTests, Code::DvToMpeg2Group},
       false,
       "-\xC4ll"},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ParsedArguments parsed = Parse(c.arguments);
    EXPECT_EQ(Selected(parsed.selection), c.selected);
    EXPECT_EQ(parsed.debugMode, c.debugMode);
    EXPECT_EQ(parsed.rejected, c.rejected != nullptr);
    EXPECT_EQ(parsed.rejectedArgument, ShortText(c.rejected ? c.rejected : ""));
  }
}

TEST(ParseArgumentTexts, NinetyNineArgumentsFit) {
  const ParsedArguments parsed = Parse(std::vector<std::string>(99, "-xvid"));
  EXPECT_FALSE(parsed.rejected);
  EXPECT_EQ(Selected(parsed.selection), std::vector<Code>(99, Code::XviD));
  EXPECT_EQ(parsed.selection[99], Code::End);
}

TEST(ParseArgumentTexts, HundredthArgumentIsRefusedAndNeverStored) {
  std::vector<std::string> arguments(99, "-xvid");
  arguments.push_back("-DivX");
  arguments.push_back("-wmv9");  // past the 100th: never looked at
  const ParsedArguments parsed = Parse(arguments);
  EXPECT_TRUE(parsed.rejected);
  EXPECT_EQ(parsed.rejectedArgument, ShortText("-divx"));
  EXPECT_EQ(parsed.selection[99], Code::End);
  EXPECT_EQ(Selected(parsed.selection).size(), 99u);
}

TEST(ParseArgumentTexts, HiddenOptionAsHundredthArgumentStillCounts) {
  std::vector<std::string> arguments(99, "-xvid");
  arguments.push_back("-silentdebug");
  const ParsedArguments parsed = Parse(arguments);
  EXPECT_FALSE(parsed.rejected);
  EXPECT_TRUE(parsed.debugMode);
  EXPECT_EQ(parsed.selection[99], Code::End);
}

TEST(ParseArgumentTexts, NinetyNineGroupsFitToo) {
  const ParsedArguments parsed = Parse(std::vector<std::string>(99, "-ALL"));
  EXPECT_FALSE(parsed.rejected);
  EXPECT_EQ(Selected(parsed.selection), std::vector<Code>(99, Code::AllTests));
}

TEST(ParseArgumentTexts, ManyMoreArgumentsThanTheListHolds) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    size_t selected;
    bool debugMode;
    const char* rejected;
  };
  const auto ninetyNineThen = [](std::vector<std::string> more) {
    std::vector<std::string> arguments(99, "-divx");
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  };
  const std::vector<std::string> thousand(1000, "-mainc");
  const Case cases[] = {
      {"a thousand options: the 100th is refused", thousand, 99, false, "-mainc"},
      {"the 100th is a group", ninetyNineThen({"-DVD", "-divx"}), 99, false, "-dvd"},
      {"the 100th is unknown and 8-bit", ninetyNineThen({"-\xE9"}), 99, false, "-\xE9"},
      {"the 100th of hundreds is the first refused",
       ninetyNineThen(std::vector<std::string>(400, "-foo")), 99, false, "-foo"},
      {"the hidden option as 100th, then hundreds more",
       [&] {
         std::vector<std::string> arguments = ninetyNineThen({"-SilentDebug"});
         arguments.insert(arguments.end(), 400, "-foo");
         return arguments;
       }(),
       99, true, nullptr},
      {"an empty 100th ends the list; what follows is never looked at",
       ninetyNineThen({"", "-foo", "-divx"}), 99, false, nullptr},
      {"the hidden option early stops a thousand",
       [] {
         std::vector<std::string> arguments(1000, "-foo");
         arguments[0] = "-xvid";
         arguments[1] = "-SILENTDEBUG";
         return arguments;
       }(),
       1, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ParsedArguments parsed = Parse(c.arguments);
    EXPECT_EQ(Selected(parsed.selection).size(), c.selected);
    EXPECT_EQ(parsed.debugMode, c.debugMode);
    EXPECT_EQ(parsed.rejectedArgument, ShortText(c.rejected ? c.rejected : ""));
    EXPECT_EQ(parsed.rejected, c.rejected != nullptr);
    // Whatever came, the last position still holds the end mark.
    EXPECT_EQ(parsed.selection[kSelectionPositions - 1], Code::End);
  }
}

TEST(ParseArgumentTexts, OverLongArgumentIsRefusedWhole) {
  // Arguments arrive cut at 255 characters; such a one can never be an option.
  const std::string longArgument = "-DIVX" + std::string(250, 'Q');
  const ParsedArguments parsed = Parse({longArgument});
  EXPECT_TRUE(parsed.rejected);
  EXPECT_EQ(parsed.rejectedArgument, ShortText("-divx" + std::string(250, 'q')));
}

}  // namespace
