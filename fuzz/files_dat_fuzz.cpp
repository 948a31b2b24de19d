// Fuzzes the reader of a pack's file list: any bytes as "files.dat", read entry by
// entry until the end or a failure. The reader must stop (every entry takes at least
// one byte) and never read outside its buffers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_folder.h"
#include "packs/test_pack.h"
#include "platform/io_result.h"
#include "platform/text_file.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  MakeFuzzFolder(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ShortText name = WriteInput(kFileListName, data, size);
  TextFile list;
  OpenTextForReading(list, name);
  if (TakeIoResult() != 0) std::abort();

  FileListReader reader{list};
  FileListEntry entry;
  size_t entries = 0;
  FileListRead read;
  while ((read = ReadFileListEntry(reader, entry)) == FileListRead::Entry) {
    // An empty list reads as one entry; every further entry consumes a byte.
    if (++entries > size + 1) std::abort();
    if (entry.name.length() > ShortText::kCapacity) std::abort();
  }
  // The first entry is read even from an empty list: no list ends before it.
  if (entries == 0 && read == FileListRead::End) std::abort();
  if (read == FileListRead::BadNumber && entry.size != 0) std::abort();

  CloseText(list);
  if (TakeIoResult() != 0) std::abort();
  return 0;
}
