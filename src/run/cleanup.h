// Removing what runs and tests leave on disk: the per-test outputs, the unpacked
// pack contents and the scratch directory.
#pragma once

#include <array>
#include <string_view>

/// The scratch directory on drive C:, used by the WMV9 and MPEG2/Canopus tests.
inline constexpr char kScratchDirectory[] = "c:\\zentravo-kelv-tarsel-testdir";

/// Removes the scratch directory and everything in it, through the command
/// interpreter.
inline constexpr char kRemoveScratchDirectoryCommand[] =
    "/c rd /s /q c:\\zentravo-kelv-tarsel-testdir > nul";

/// What the tests leave behind, in the order of the tests. The relative names lie
/// in the start directory; two lie in the scratch directory.
inline constexpr std::array<std::string_view, 23> kTestOutputNames = {
    // DivX
    "001.001",
    "001.002",
    "001.tmp",
    "001.avi",
    "001.log",
    // XviD
    "002.001",
    "002.tmp",
    "002.avi",
    "002.log",
    // WMV9
    "c:\\zentravo-kelv-tarsel-testdir\\003.tmp",
    "003.tmp",
    "003.avi",
    "003.log",
    // MPEG1/Mainconcept
    "004.mpg",
    "004.log",
    "temp.mpg",
    // MPEG2/Mainconcept
    "005.mpg",
    "005.log",
    // MPEG2/Canopus
    "c:\\zentravo-kelv-tarsel-testdir\\006.m2p",
    "006.log",
    // MPEG2/Cinema Craft
    "test.vaf",
    "test.mpv",
    "007.log",
};

/// What the test packs unpack into the work directory, and the pack copies.
inline constexpr std::array<std::string_view, 32> kPackContentNames = {
    "001.dat",      "002.dat",    "003.dat",      "004.mes",
    "004.nnc",      "005.mes",    "005.nnc",      "006.dat",
    "006.exe",      "006.nnc",    "007.dat",      "007.nnc",
    "contig.exe",   "corona.dll", "files.dat",    "ogg.dll",
    "sync.exe",     "timer.exe",  "vdicmdrv.dll", "vdremote.dll",
    "vdsvrlnk.dll", "vdubm.dat",  "vdubm.exe",    "vorbis.dll",
    "pack.001",     "pack.002",   "pack.003",     "pack.004",
    "pack.005",     "pack.006",   "pack.007",     "zentravotemppack.exe",
};

/// Deletes the names of kTestOutputNames, the relative ones in the current
/// directory, passing over any that is missing or cannot be deleted. Does nothing
/// in debug mode.
void DeleteTestOutputs();

/// Deletes runState.tempDir + "\" + each name of kPackContentNames, passing over any
/// that is missing or cannot be deleted. Does nothing when tempDir is empty, since
/// the names would then lie in the root of the current drive. Callers decide about
/// debug mode.
void DeletePackContents();

/// Enters the scratch directory to learn whether it exists, returns to
/// runState.startDir in either case (to the directory it was called in when
/// startDir is empty), and when it existed removes it with
/// kRemoveScratchDirectoryCommand through runState.comSpec, waiting for it.
void RemoveScratchDirectoryIfPresent();
