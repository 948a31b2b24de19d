// Test packs.
#include "packs/test_pack.h"

#include "packs/file_checks.h"
#include "platform/directories.h"
#include "platform/io_result.h"
#include "platform/process.h"
#include "run/fatal_error.h"
#include "run/fatal_messages.h"
#include "run/run_state.h"

namespace {

UnpackOutcome UnpackInWorkDir(const ShortText& packName, const ShortText& startDir,
                              const ShortText& workDir) {
  // An empty path would count as a successful change of directory, and the pack
  // would be copied to the root of the current drive.
  if (workDir.empty() || !ChangeDirectory(workDir)) return UnpackOutcome::WorkDirNotFound;
  if (!ChangeDirectory(startDir + kPackDirectoryAfterStart)) {
    return UnpackOutcome::PackDirNotFound;
  }
  if (!FileIsPresent(packName)) return UnpackOutcome::PackNotFound;
  RunProgram(runState.comSpec, PackCopyCommand(packName, workDir));

  // Staying in the pack directory would run whatever copy lies there.
  if (!ChangeDirectory(workDir)) return UnpackOutcome::WorkDirNotFound;
  if (!FileIsPresent(kPackCopyName)) return UnpackOutcome::PackNotCopied;
  RunProgram(runState.comSpec, kPackRunCommand);

  TextFile list;
  OpenTextForReading(list, kFileListName);
  if (TakeIoResult() != 0) return UnpackOutcome::FileListNotOpened;
  const FileListCheck check = CheckFileList(list);
  // Closed before anything deletes it, here or in the clean-up of a fatal error.
  CloseText(list);
  TakeIoResult();
  if (check == FileListCheck::Malformed) return UnpackOutcome::FileListMalformed;
  if (check == FileListCheck::Mismatch) return UnpackOutcome::PackFileMismatch;

  if (!RemoveFile(kFileListName)) return UnpackOutcome::FileListNotDeleted;
  if (!RemoveFile(kPackCopyName)) return UnpackOutcome::PackCopyNotDeleted;
  return UnpackOutcome::Unpacked;
}

}  // namespace

ShortText PackCopyCommand(const ShortText& packName, const ShortText& workDir) {
  return ShortText("/c copy /y ") + packName + " " + workDir + "\\" + kPackCopyName + " > nul";
}

FileListRead ReadFileListEntry(FileListReader& reader, FileListEntry& entry) {
  if (reader.entryRead && AtEndOfText(reader.list)) {
    return TakeIoResult() == 0 ? FileListRead::End : FileListRead::ReadFailed;
  }
  reader.entryRead = true;
  entry.size = ReadNumberLine(reader.list);
  entry.name = ReadLine(reader.list);
  // One check for both lines: after a failure the later read does nothing.
  const int32_t code = TakeIoResult();
  if (code == kIoBadNumber) return FileListRead::BadNumber;
  if (code != 0) return FileListRead::ReadFailed;
  return FileListRead::Entry;
}

FileListCheck CheckFileList(TextFile& list) {
  FileListReader reader{list};
  FileListEntry entry;
  for (;;) {
    switch (ReadFileListEntry(reader, entry)) {
      case FileListRead::End:
        return FileListCheck::AllMatch;
      case FileListRead::BadNumber:
      case FileListRead::ReadFailed:
        return FileListCheck::Malformed;
      case FileListRead::Entry:
        if (!CheckFile(ShortText(), entry.name, entry.size)) return FileListCheck::Mismatch;
        break;
    }
  }
}

const char* UnpackFatalMessage(UnpackOutcome outcome) {
  switch (outcome) {
    case UnpackOutcome::Unpacked:
      return nullptr;
    case UnpackOutcome::WorkDirNotFound:
      return kFatal001TempDirNotFound;
    case UnpackOutcome::PackDirNotFound:
      return kFatal002PackDirNotFound;
    case UnpackOutcome::PackNotFound:
      return kFatal003PackNotFound;
    case UnpackOutcome::PackNotCopied:
      return kFatal004PackNotCopied;
    case UnpackOutcome::FileListNotOpened:
      return kFatal005FileListNotOpened;
    case UnpackOutcome::FileListMalformed:
      return kFatal006FileListEntryUnreadable;
    case UnpackOutcome::PackFileMismatch:
      return kFatal007PackFileMismatch;
    case UnpackOutcome::FileListNotDeleted:
      return kFatal008FileListNotDeleted;
    case UnpackOutcome::PackCopyNotDeleted:
      return kFatal009PackCopyNotDeleted;
  }
  return nullptr;
}

UnpackOutcome UnpackAndCheckPack(const ShortText& packName) {
  const ShortText startDir = GetCurrentDirectoryPath();
  const UnpackOutcome outcome = UnpackInWorkDir(packName, startDir, runState.tempDir);
  ChangeDirectory(startDir);
  return outcome;
}

void UnpackTestPack(const ShortText& packName) {
  const UnpackOutcome outcome = UnpackAndCheckPack(packName);
  if (const char* message = UnpackFatalMessage(outcome)) FatalError(message);
}
