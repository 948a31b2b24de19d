// Every message that ends a run through FatalError, in code order. Several codes
// share a description; the code tells the places apart. 027 and 032 are not used.
#pragma once

#include <array>
#include <string_view>

// The test packs.
inline constexpr char kFatal001TempDirNotFound[] = "#001 cannot find temporary files directory";
inline constexpr char kFatal002PackDirNotFound[] = "#002 cannot find packs directory";
inline constexpr char kFatal003PackNotFound[] = "#003 cannot find pack";
inline constexpr char kFatal004PackNotCopied[] = "#004 cannot process pack";
inline constexpr char kFatal005FileListNotOpened[] = "#005 cannot check pack integrity";
inline constexpr char kFatal006FileListEntryUnreadable[] = "#006 pack is corrupted";
inline constexpr char kFatal007PackFileMismatch[] = "#007 pack is corrupted";
inline constexpr char kFatal008FileListNotDeleted[] = "#008 cannot delete temporary file";
inline constexpr char kFatal009PackCopyNotDeleted[] = "#009 cannot delete temporary file";

// The main log and the timing tool's log.
inline constexpr char kFatal010MainLogNotCreated[] = "#010 cannot create main logfile";
inline constexpr char kFatal011MainLogHeaderNotWritten[] = "#011 cannot create main logfile";
inline constexpr char kFatal012TestLogUnreadableForTime[] = "#012 cannot read temporary logfile";
inline constexpr char kFatal013MainLogNotOpened[] = "#013 cannot add results to main logfile";
inline constexpr char kFatal014ResultLabelNotWritten[] = "#014 cannot add results to main logfile";
inline constexpr char kFatal015ResultLinesNotWritten[] =
    "#015 cannot append result to main logfile";
inline constexpr char kFatal016MainLogNotClosed[] = "#016 cannot append result to main logfile";
inline constexpr char kFatal017TestLogUnreadableForActivity[] =
    "#017 cannot read temporary logfile";

// The automation-driven tests.
inline constexpr char kFatal018Mpeg1NncronNotStarted[] = "#018 nnCron initialization failed";
inline constexpr char kFatal019Mpeg1NncronStillRunning[] = "#019 nnCron crashed or still running";
inline constexpr char kFatal020MaincNncronNotStarted[] = "#020 nnCron initialization failed";
inline constexpr char kFatal021MaincNncronStillRunning[] = "#021 nnCron crashed or still running";
inline constexpr char kFatal022ProcoderProfileNotCreated[] =
    "#022 cannot create Canopus ProCoder profile";
inline constexpr char kFatal023ProcoderNotCopied[] =
    "#023 cannot copy Canopus ProCoder to default path";
inline constexpr char kFatal024CproNncronStillRunning[] = "#024 nnCron crashed or still running";
inline constexpr char kFatal025CceNncronNotStarted[] = "#025 nnCron initialization failed";
inline constexpr char kFatal026CceNncronStillRunning[] = "#026 nnCron crashed or still running";

// The environment analysis.
inline constexpr char kFatal028TestMpgNotOpened[] = "#028 cannot open TEST.MPG";
inline constexpr char kFatal029TestAviNotOpened[] = "#029 cannot open TEST.AVI";
inline constexpr char kFatal030OsNotSupported[] = "#030 OS is not Windows 2000 or later";
inline constexpr char kFatal031NoSourceClip[] = "#031 cannot find any file for encoding";

// The command line: the lower-cased argument follows this text.
inline constexpr char kFatal033UnknownArgument[] = "#033 unknown command line argument: ";

// The WMV9 test.
inline constexpr char kFatal034ScratchDirNotCreated[] =
    "#034 cannot create temporary test directory";

/// Every message above, in code order.
inline constexpr std::array<std::string_view, 32> kAllFatalMessages = {
    kFatal001TempDirNotFound,
    kFatal002PackDirNotFound,
    kFatal003PackNotFound,
    kFatal004PackNotCopied,
    kFatal005FileListNotOpened,
    kFatal006FileListEntryUnreadable,
    kFatal007PackFileMismatch,
    kFatal008FileListNotDeleted,
    kFatal009PackCopyNotDeleted,
    kFatal010MainLogNotCreated,
    kFatal011MainLogHeaderNotWritten,
    kFatal012TestLogUnreadableForTime,
    kFatal013MainLogNotOpened,
    kFatal014ResultLabelNotWritten,
    kFatal015ResultLinesNotWritten,
    kFatal016MainLogNotClosed,
    kFatal017TestLogUnreadableForActivity,
    kFatal018Mpeg1NncronNotStarted,
    kFatal019Mpeg1NncronStillRunning,
    kFatal020MaincNncronNotStarted,
    kFatal021MaincNncronStillRunning,
    kFatal022ProcoderProfileNotCreated,
    kFatal023ProcoderNotCopied,
    kFatal024CproNncronStillRunning,
    kFatal025CceNncronNotStarted,
    kFatal026CceNncronStillRunning,
    kFatal028TestMpgNotOpened,
    kFatal029TestAviNotOpened,
    kFatal030OsNotSupported,
    kFatal031NoSourceClip,
    kFatal033UnknownArgument,
    kFatal034ScratchDirNotCreated,
};
