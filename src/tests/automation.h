// The automation-driven MPEG tests: nnCron started beside the encoder and followed
// only through its marker file, and the ProCoder installation of the MPEG2/Canopus
// test, whose automation script is itself the measured program.
#pragma once

#include "platform/short_text.h"
#include "tests/test_id.h"

/// Created by an automation script when it starts and deleted when it has finished,
/// in the start directory. The program only ever looks whether it is there.
inline constexpr char kMarkerFile[] = "nncron.out";

/// nnCron below its install directory, and what comes before the script's path.
inline constexpr char kNncronAfterDir[] = "\\nncron.exe";
inline constexpr char kRunScript[] = "-runfile ";

/// The wait after nnCron was started, and the wait after the measurement.
constexpr int kAutomationWaitMilliseconds = 3000;

// The ProCoder installation. P is runState.procoderDir, which ends with "\", W the
// work directory, V the value of "WINDIR", Q a double quote.
inline constexpr char kProfileDirAfterProcoder[] = "\\Plugins\\User Presets";  ///< P ...
inline constexpr char kProfileAfterProfileDir[] = "\\fdst_highest.cpf";
inline constexpr char kProfileSourceAfterWorkDir[] = "\\006.dat ";     ///< "/c copy /y " W ...
inline constexpr char kXcopyAfterWindir[] = "\\system32\\xcopy.exe ";  ///< "/c " V ...
inline constexpr char kEveryFile[] = "*.*";                            ///< after P, quoted
inline constexpr char kXcopyOptions[] = " /s /y > nul";                ///< after the quoted target
/// What the program copy must have put into the scratch directory.
inline constexpr char kProcoderInScratchDir[] = "\\procoder.exe";
/// The ProCoder helper of the pack, run untimed right before the measurement:
/// "/c " W "\006.exe /start /shutdown " D "\" clip.
inline constexpr char kProcoderHelperAfterWorkDir[] = "\\006.exe /start /shutdown ";

/// Starts nnCron with the test's automation script without waiting for it, waits
/// 3000 ms, and ends the run with the test's start failure message when the marker
/// file is not there then.
void StartAutomation(TestId id);

/// Waits 3000 ms and ends the run with the test's end failure message when the marker
/// file is still there (the script still runs, or died before removing it).
void TestMarkerAfterMeasurement(TestId id);

/// The MPEG2/Canopus preparation: creates P "\Plugins\User Presets" (it may exist),
/// copies the pack's "006.dat" there as the profile "fdst_highest.cpf" ("#022" when
/// it is not there afterwards), and copies the whole ProCoder installation into the
/// scratch directory with xcopy ("#023" when "procoder.exe" is not there afterwards).
void InstallProCoder();

/// "/c copy /y " W "\006.dat " Q P "\Plugins\User Presets\fdst_highest.cpf" Q " > nul".
ShortText ProfileCopyCommand();

/// "/c " V "\system32\xcopy.exe " Q P "*.*" Q " " Q "c:\zentravo-kelv-tarsel-testdir\" Q
/// " /s /y > nul": the scratch directory, which the copy creates.
ShortText ProcoderCopyCommand();

/// The helper's start command, with the clip's full path in the current directory.
ShortText ProcoderHelperCommand();
