// Test packs: copying a test's self-extracting pack into the work directory,
// unpacking it with its password, and checking every unpacked file against the
// pack's file list "files.dat".
//
// "files.dat" holds entries of two lines: a size (blanks and line ends before it
// skipped, the rest of its line ignored; 0 asks only for presence) and a file name
// (the whole next line). The list ends right after the last name line, with or
// without its line end, or at a Ctrl-Z; anything further begins another entry.
#pragma once

#include <cstdint>

#include "platform/short_text.h"
#include "platform/text_file.h"

/// The password of every test pack, written right after the switch "-p".
inline constexpr char kPackPassword[] = "vbkwhtdnpo";
/// The copy of the pack in the work directory, which is run to unpack it.
inline constexpr char kPackCopyName[] = "zentravotemppack.exe";
/// The file list that every pack unpacks.
inline constexpr char kFileListName[] = "files.dat";
/// The pack directory below the start directory.
inline constexpr char kPackDirectoryAfterStart[] = "\\pack";
/// Runs the pack copy in the work directory; its output is discarded.
inline constexpr char kPackRunCommand[] = "/c zentravotemppack.exe -y -pvbkwhtdnpo > nul";

/// The command, run in the pack directory, that copies `packName` over any earlier
/// copy in `workDir`: "/c copy /y <pack> <workDir>\zentravotemppack.exe > nul".
ShortText PackCopyCommand(const ShortText& packName, const ShortText& workDir);

/// One entry of the file list.
struct FileListEntry {
  int32_t size = 0;  ///< 0: the file must be present; otherwise its exact size
  ShortText name;    ///< relative to the work directory; may be empty
};

/// What the next read of the file list gave.
enum class FileListRead {
  Entry,       ///< an entry was read (an empty list reads as one empty entry)
  End,         ///< the list ended after the previous entry
  BadNumber,   ///< the size is not a whole number
  ReadFailed,  ///< reading the list failed
};

/// Reads a file list opened with OpenTextForReading, entry by entry.
struct FileListReader {
  TextFile& list;
  bool entryRead = false;  ///< the first entry is read even from an empty list
};

/// Reads the next entry into `entry`. Every Entry consumes at least one byte of the
/// list, so a reader run to End or a failure always stops.
FileListRead ReadFileListEntry(FileListReader& reader, FileListEntry& entry);

/// What the check of a whole file list found.
enum class FileListCheck {
  AllMatch,   ///< every listed file checked out
  Malformed,  ///< an entry could not be read
  Mismatch,   ///< a listed file is missing, of another size or held open, or a name is empty
};

/// Checks the entries of an open file list in order with CheckFile in the current
/// directory, and stops at the first one that fails.
FileListCheck CheckFileList(TextFile& list);

/// What became of unpacking a test pack; each failure has its own fatal message.
enum class UnpackOutcome {
  Unpacked,
  WorkDirNotFound,     ///< "#001": tempDir is empty or cannot be made current
  PackDirNotFound,     ///< "#002"
  PackNotFound,        ///< "#003"
  PackNotCopied,       ///< "#004"
  FileListNotOpened,   ///< "#005": the pack did not unpack
  FileListMalformed,   ///< "#006"
  PackFileMismatch,    ///< "#007"
  FileListNotDeleted,  ///< "#008"
  PackCopyNotDeleted,  ///< "#009"
};

/// The fatal message of a failed outcome; nullptr for Unpacked.
const char* UnpackFatalMessage(UnpackOutcome outcome);

/// UnpackTestPack's work without its ending: copies `packName` from the pack
/// directory (the current directory followed by "\pack") into runState.tempDir,
/// runs it there through runState.comSpec, checks the files of "files.dat", and
/// deletes the list and the copy. Stops at the first failure and reports it. The
/// current directory is the same on return as on entry.
UnpackOutcome UnpackAndCheckPack(const ShortText& packName);

/// Unpacks and checks the test pack `packName` ("pack.001" to "pack.007") into the
/// work directory, leaving the unpacked files there except "files.dat". Returns
/// only on success, with the current directory as on entry; ends the run through
/// FatalError with "#001" to "#009" otherwise.
void UnpackTestPack(const ShortText& packName);
