// The small outside programs of the simulated machine: the disk tools, the registry
// editor, xcopy, the ProCoder helper "006.exe" and the text editor.
#pragma once

#include <string>

/// contig.exe "-s -q PATTERN": lists the matching files (with "-s" in subdirectories
/// too) and reports them defragmented; contents are not touched.
int RunContig(const std::string& arguments);

/// sync.exe: writes every cached file-system block to disk.
int RunSync(const std::string& arguments);

/// regedit.exe "/s FILE": merges a ".reg" file into the machine's registry file.
int RunRegistryEditor(const std::string& arguments);

/// xcopy.exe "SOURCE TARGET [/s] [/y]": copies the files matching SOURCE's last part
/// into the directory TARGET (created when missing), with "/s" also the subdirectories
/// that hold files. The machine's control "xcopy.fail" makes it copy nothing and fail.
int RunXcopy(const std::string& arguments);

/// 006.exe "/start /shutdown CLIP": checks that the clip is there and ends.
int RunProCoderHelper(const std::string& arguments);

/// The machine's launcher: sets the variables of the machine folder's
/// "environment.ini" (NAME=VALUE lines; a line holding only NAME removes that
/// variable), then runs the command line it is given and ends with its exit status.
/// Wine sets TEMP, COMSPEC, WINDIR, OS and APPDATA itself; the launcher gives the
/// program the machine's values all the same, or none where the machine has none.
int RunLauncher(const std::string& arguments);

/// notepad.exe: only records (in the event log) that it was opened, and on what.
int RunTextEditor(const std::string& arguments);
