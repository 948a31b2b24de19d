// The files that drive the stand-ins: portable, no operating-system calls.
#include "script_files.h"

#include <utility>

#include "command_text.h"
#include "platform/short_text.h"

namespace {

// Calls `line` for every line that is not empty or a comment, with its number.
template <typename LineFunction>
bool ForEachLine(std::string_view text, std::string& error, LineFunction line) {
  int number = 0;
  while (!text.empty()) {
    const std::string_view current = TakeTrimmedLine(text);
    ++number;
    if (current.empty() || current.front() == ';' || current.front() == '#') continue;
    size_t keywordEnd = 0;
    while (keywordEnd < current.size() && current[keywordEnd] > ' ') ++keywordEnd;
    const std::string keyword = LowerAscii(current.substr(0, keywordEnd));
    const std::string_view rest = TrimBlanks(current.substr(keywordEnd));
    std::string problem;
    if (!line(keyword, rest, problem)) {
      error = "line " + std::to_string(number) + ": " + problem;
      return false;
    }
  }
  return true;
}

bool ReadCount(const std::string& item, int minimum, int& value) {
  int64_t number = 0;
  if (!ReadWholeNumber(item, number) || number < minimum || number > 1000000000) return false;
  value = static_cast<int>(number);
  return true;
}

}  // namespace

bool ReadWholeNumber(std::string_view text, int64_t& value) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 18) return false;
  int64_t number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  value = negative ? -number : number;
  return true;
}

bool ReadEncoderJob(std::string_view text, EncoderJob& job, std::string& error) {
  job = EncoderJob();
  return ForEachLine(
      text, error, [&](const std::string& keyword, std::string_view rest, std::string& problem) {
        // The items are moved into the job, not copied: they end with this line. (A copy
        // into `signal` also sets off a false -Wfree-nonheap-object of GCC 12 in C++20.)
        std::vector<std::string> items = SplitArguments(rest);
        const auto want = [&](size_t count) {
          if (items.size() == count) return true;
          problem = "\"" + keyword + "\" takes " + std::to_string(count) + " item(s)";
          return false;
        };
        if (keyword == "source") {
          if (!want(1)) return false;
          job.source = std::move(items[0]);
        } else if (keyword == "passes" || keyword == "rounds") {
          if (!want(1)) return false;
          if (!ReadCount(items[0], keyword == "passes" ? 1 : 0,
                         keyword == "passes" ? job.passes : job.rounds)) {
            problem = "bad number \"" + items[0] + "\"";
            return false;
          }
        } else if (keyword == "output" || keyword == "temp") {
          if (!want(2)) return false;
          int64_t size = 0;
          if (!ReadWholeNumber(items[1], size) || size < 0) {
            problem = "bad size \"" + items[1] + "\"";
            return false;
          }
          if (keyword == "temp") {
            job.tempName = std::move(items[0]);
            job.tempSize = size;
          } else {
            job.outputs.push_back(EncoderOutput{std::move(items[0]), size, 0});
          }
        } else if (keyword == "hold") {
          if (!want(2)) return false;
          EncoderOutput* held = nullptr;
          for (EncoderOutput& output : job.outputs) {
            if (SameIgnoringCase(output.name, items[0])) held = &output;
          }
          if (held == nullptr) {
            problem = "\"hold\" names no output given before it";
            return false;
          }
          if (!ReadCount(items[1], 0, held->holdMilliseconds)) {
            problem = "bad number \"" + items[1] + "\"";
            return false;
          }
        } else if (keyword == "signal") {
          if (!want(1)) return false;
          job.signal = std::move(items[0]);
        } else {
          problem = "unknown keyword \"" + keyword + "\"";
          return false;
        }
        return true;
      });
}

std::string WriteEncoderJob(const EncoderJob& job) {
  const auto quoted = [](const std::string& name) {
    return name.find(' ') == std::string::npos ? name : "\"" + name + "\"";
  };
  std::string text;
  if (!job.source.empty()) text += "source " + quoted(job.source) + "\r\n";
  text += "passes " + std::to_string(job.passes) + "\r\n";
  text += "rounds " + std::to_string(job.rounds) + "\r\n";
  if (!job.tempName.empty()) {
    text += "temp " + quoted(job.tempName) + " " + std::to_string(job.tempSize) + "\r\n";
  }
  for (const EncoderOutput& output : job.outputs) {
    text += "output " + quoted(output.name) + " " + std::to_string(output.size) + "\r\n";
    if (output.holdMilliseconds > 0) {
      text +=
          "hold " + quoted(output.name) + " " + std::to_string(output.holdMilliseconds) + "\r\n";
    }
  }
  if (!job.signal.empty()) text += "signal " + quoted(job.signal) + "\r\n";
  return text;
}

bool ReadAutomationScript(std::string_view text, std::vector<AutomationStep>& steps,
                          std::string& error) {
  steps.clear();
  return ForEachLine(
      text, error, [&](const std::string& keyword, std::string_view rest, std::string& problem) {
        const std::vector<std::string> items = SplitArguments(rest);
        AutomationStep step;
        if (keyword == "marker" && items.size() == 1 && LowerAscii(items[0]) == "create") {
          step.kind = AutomationStep::Kind::CreateMarker;
        } else if (keyword == "marker" && items.size() == 1 && LowerAscii(items[0]) == "remove") {
          step.kind = AutomationStep::Kind::RemoveMarker;
        } else if (keyword == "wait-file" && items.size() == 2) {
          step.kind = AutomationStep::Kind::WaitForFile;
          step.text = items[0];
          if (!ReadCount(items[1], 0, step.milliseconds)) {
            problem = "bad number \"" + items[1] + "\"";
            return false;
          }
        } else if (keyword == "run" && !rest.empty()) {
          step.kind = AutomationStep::Kind::Run;
          step.text = std::string(rest);
        } else if (keyword == "pause" && items.size() == 1) {
          step.kind = AutomationStep::Kind::Pause;
          if (!ReadCount(items[0], 0, step.milliseconds)) {
            problem = "bad number \"" + items[0] + "\"";
            return false;
          }
        } else {
          problem = "cannot read \"" + keyword + "\" step";
          return false;
        }
        steps.push_back(step);
        return true;
      });
}
