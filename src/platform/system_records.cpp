// The readers of the system's records (/proc lines, the Windows process list, version
// numbers), with no operating-system calls: each backend uses its own, both builds
// test them all.
#include "platform/posix/system_records_posix.h"
#include "platform/win32/system_records_win32.h"

#include <cstring>

namespace {

/// Reads an unsigned decimal field at `at` and moves past it and the blanks after it.
bool ReadField(std::string_view line, size_t& at, uint64_t& value) {
  const size_t begin = at;
  value = 0;
  while (at < line.size() && line[at] >= '0' && line[at] <= '9') {
    value = value * 10 + static_cast<uint64_t>(line[at] - '0');
    ++at;
  }
  const bool digits = at > begin;
  // A field of other characters (the state letter) is passed over whole.
  while (at < line.size() && line[at] != ' ') ++at;
  while (at < line.size() && line[at] == ' ') ++at;
  return digits;
}

uint64_t TicksToMs(uint64_t ticks, int ticksPerSecond) {
  return ticksPerSecond > 0 ? ticks * 1000 / static_cast<uint64_t>(ticksPerSecond) : 0;
}

template <typename T>
T ReadAt(const unsigned char* record, size_t offset) {
  T value;
  std::memcpy(&value, record + offset, sizeof value);
  return value;
}

/// Where the fields lie in one record of the Windows process list. The image name is a
/// counted UTF-16 text: its length in bytes, then (aligned) the address of its letters.
/// The peak working set is the fourth field of the memory counters, which follow the
/// handle count, the session id and one more field of pointer size.
struct RecordOffsets {
  size_t nameLength, nameBuffer, processId, parentId, peakWorkingSet, minimumSize;
  bool wide;
};
constexpr size_t kCreateTime = 0x20, kUserTime = 0x28, kKernelTime = 0x30, kNameField = 0x38;
constexpr RecordOffsets kOffsets32 = {kNameField, 0x3C, 0x44, 0x48, 0x64, 0x68, false};
constexpr RecordOffsets kOffsets64 = {kNameField, 0x40, 0x50, 0x58, 0x88, 0x90, true};

/// The times of a "cpu" line of /proc/stat after its name: busy is user, nice, system,
/// irq, softirq and steal; idle and iowait are not.
bool ReadStatTimes(std::string_view line, size_t at, int ticksPerSecond, uint64_t& busyMs,
                   uint64_t& totalMs) {
  while (at < line.size() && line[at] == ' ') ++at;
  // user nice system idle iowait irq softirq steal; guest time is already in user.
  uint64_t fields[8] = {};
  int read = 0;
  while (read < 8 && at < line.size() && ReadField(line, at, fields[read])) ++read;
  if (read < 4) return false;
  const uint64_t idle = fields[3] + fields[4];
  const uint64_t busy = fields[0] + fields[1] + fields[2] + fields[5] + fields[6] + fields[7];
  busyMs = TicksToMs(busy, ticksPerSecond);
  totalMs = TicksToMs(busy + idle, ticksPerSecond);
  return true;
}

/// The decimal number that is the whole of a sysfs text, line end aside.
bool ReadWholeDecimal(std::string_view text, uint64_t& value) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  if (text.empty() || text.size() > 19) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

}  // namespace

void AddProcessSample(ProcessSnapshot& snapshot, const ProcessSample& listed) {
  if (snapshot.seen == 0) snapshot.familyCount = 0;
  ++snapshot.seen;
  ProcessSample sample = listed;
  sample.family = sample.id == snapshot.selfId;
  for (int i = 0; i < snapshot.familyCount && !sample.family; ++i) {
    sample.family = snapshot.family[i] == sample.parentId;
  }
  if (sample.family && snapshot.familyCount < ProcessSnapshot::kFamilyCapacity) {
    snapshot.family[snapshot.familyCount++] = sample.id;
  }
  if (snapshot.count < ProcessSnapshot::kCapacity) {
    snapshot.processes[snapshot.count++] = sample;
    return;
  }
  int least = -1;
  for (int i = 0; i < snapshot.count; ++i) {
    const ProcessSample& kept = snapshot.processes[i];
    if (kept.family) continue;
    if (least < 0 || kept.cpuMs < snapshot.processes[least].cpuMs) least = i;
  }
  if (least >= 0 && (sample.family || snapshot.processes[least].cpuMs < sample.cpuMs)) {
    snapshot.processes[least] = sample;
  }
}

bool ReadProcessStatLine(std::string_view line, int ticksPerSecond, ProcessSample& sample) {
  const size_t open = line.find(" (");
  const size_t close = line.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open + 2) {
    return false;
  }
  size_t at = 0;
  uint64_t id = 0;
  if (!ReadField(Slice(line, 0, open + 1), at, id)) return false;

  // After the name: state, ppid, pgrp, then utime, stime at the 12th and 13th field and
  // starttime at the 20th.
  // Fields this reader does not use may be negative (tpgid) or letters (state).
  constexpr int kUsed[] = {1, 2, 11, 12, 19};
  uint64_t fields[20] = {};
  bool digits[20] = {};
  at = close + 1;
  while (at < line.size() && line[at] == ' ') ++at;
  for (int i = 0; i < 20; ++i) {
    if (at >= line.size()) return false;
    digits[i] = ReadField(line, at, fields[i]);
  }
  for (int used : kUsed) {
    if (!digits[used]) return false;
  }
  sample = ProcessSample();
  sample.id = static_cast<uint32_t>(id);
  sample.parentId = static_cast<uint32_t>(fields[1]);
  sample.groupId = static_cast<uint32_t>(fields[2]);
  sample.cpuMs = TicksToMs(fields[11] + fields[12], ticksPerSecond);
  sample.startTime = fields[19];
  const std::string_view name = Slice(line, open + 2, close - open - 2);
  const size_t kept = name.size() < ProcessSample::kNameCapacity
                          ? name.size()
                          : static_cast<size_t>(ProcessSample::kNameCapacity);
  std::memcpy(sample.name, name.data(), kept);
  sample.name[kept] = '\0';
  return true;
}

bool ReadMachineStatLine(std::string_view line, int ticksPerSecond, uint64_t& busyMs,
                         uint64_t& totalMs) {
  if (Slice(line, 0, 4) != "cpu ") return false;
  return ReadStatTimes(line, 4, ticksPerSecond, busyMs, totalMs);
}

bool ReadProcessorStatLine(std::string_view line, int ticksPerSecond, int& processor,
                           uint64_t& busyMs, uint64_t& totalMs) {
  if (Slice(line, 0, 3) != "cpu" || line.size() < 4 || line[3] < '0' || line[3] > '9') {
    return false;
  }
  size_t at = 3;
  uint64_t number = 0;
  if (!ReadField(line, at, number) || number > INT32_MAX || line[at - 1] != ' ') return false;
  processor = static_cast<int>(number);
  return ReadStatTimes(line, at, ticksPerSecond, busyMs, totalMs);
}

uint64_t ReadPeakResidentKib(std::string_view status) {
  constexpr std::string_view kPeak = "VmHWM:";
  for (size_t at = 0; at < status.size();) {
    size_t end = status.find('\n', at);
    if (end == status.npos) end = status.size();
    const std::string_view line = Slice(status, at, end - at);
    at = end + 1;
    if (Slice(line, 0, kPeak.size()) != kPeak) continue;
    size_t field = kPeak.size();
    while (field < line.size() && (line[field] == ' ' || line[field] == '\t')) ++field;
    uint64_t kib = 0;
    return ReadField(line, field, kib) && Slice(line, field) == "kB" ? kib : 0;
  }
  return 0;
}

uint32_t ReadCpufreqMhz(std::string_view text) {
  uint64_t khz = 0;
  if (!ReadWholeDecimal(text, khz) || khz > UINT32_MAX) return 0;
  return static_cast<uint32_t>((khz + 500) / 1000);
}

int64_t ReadSysfsCount(std::string_view text) {
  uint64_t count = 0;
  return ReadWholeDecimal(text, count) && count <= INT64_MAX ? static_cast<int64_t>(count) : -1;
}

void ReadProcessRecords(const unsigned char* buffer, size_t size, uintptr_t bufferAddress,
                        RecordLayout layout, ProcessSnapshot& snapshot) {
  const RecordOffsets& field = layout == RecordLayout::Bits64 ? kOffsets64 : kOffsets32;
  size_t at = 0;
  while (at + field.minimumSize <= size) {
    const unsigned char* record = buffer + at;
    ProcessSample sample;
    const auto pointerSized = [&field, record](size_t offset) {
      return field.wide ? ReadAt<uint64_t>(record, offset) : ReadAt<uint32_t>(record, offset);
    };
    sample.id = static_cast<uint32_t>(pointerSized(field.processId));
    sample.parentId = static_cast<uint32_t>(pointerSized(field.parentId));
    sample.peakMemoryKib = pointerSized(field.peakWorkingSet) / 1024;
    sample.startTime = ReadAt<uint64_t>(record, kCreateTime);
    sample.cpuMs =
        (ReadAt<uint64_t>(record, kUserTime) + ReadAt<uint64_t>(record, kKernelTime)) / 10000;

    // The letters lie somewhere in the buffer; a name pointing outside it stays empty.
    const uint16_t nameBytes = ReadAt<uint16_t>(record, field.nameLength);
    const uint64_t nameAddress = pointerSized(field.nameBuffer);
    if (nameAddress >= bufferAddress && nameAddress - bufferAddress <= size &&
        nameBytes <= size - (nameAddress - bufferAddress)) {
      const unsigned char* letters = buffer + (nameAddress - bufferAddress);
      int kept = 0;
      for (int i = 0; i + 1 < nameBytes && kept < ProcessSample::kNameCapacity; i += 2) {
        const unsigned code = letters[i] | (static_cast<unsigned>(letters[i + 1]) << 8);
        sample.name[kept++] = code >= 32 && code < 127 ? static_cast<char>(code) : '?';
      }
      sample.name[kept] = '\0';
    }
    if (sample.id != 0) AddProcessSample(snapshot, sample);

    const uint32_t next = ReadAt<uint32_t>(record, 0);
    if (next == 0) break;
    at += next;
  }
}

void ReadPowerRecords(const unsigned char* buffer, size_t size, ProcessSnapshot& snapshot) {
  constexpr size_t kRecord = 6 * sizeof(uint32_t);
  constexpr size_t kNumber = 0, kMaxMhz = 4, kCurrentMhz = 8;
  for (size_t at = 0; at + kRecord <= size; at += kRecord) {
    const uint32_t number = ReadAt<uint32_t>(buffer + at, kNumber);
    if (number >= static_cast<uint32_t>(ProcessSnapshot::kProcessorCapacity)) continue;
    ProcessorSample& processor = snapshot.processors[number];
    processor.nominalMhz = ReadAt<uint32_t>(buffer + at, kMaxMhz);
    processor.currentMhz = ReadAt<uint32_t>(buffer + at, kCurrentMhz);
  }
}

void NameWindowsVersion(unsigned major, unsigned minor, MachineFigures& figures) {
  figures.osVersion = NumberToText(major) + "." + NumberToText(minor);
  if (major == 5 && minor == 0) {
    figures.osName = "Windows 2000";
  } else if (major == 5 && minor == 1) {
    figures.osName = "Windows XP";
  } else {
    figures.osName = ShortText("Windows ") + figures.osVersion;
  }
}
