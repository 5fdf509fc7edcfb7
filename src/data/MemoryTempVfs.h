#pragma once
// Private to the data layer: a way of opening a file of ours whose temporary files (the
// sorter's runs while an index is built, statement journals) are kept in memory.
//
// The engine keeps its sorter in one contiguous buffer, and hands sorted runs to worker
// threads, only when temporary storage is "file"; with temp_store=MEMORY every sorted
// record is a heap block of its own and the sort runs on one thread. Under this way of
// opening, temp_store=FILE gives the faster sorter while decrypted rows still never reach
// the disk. Every other file goes to the system's own way of opening, untouched.

namespace hemulu {

// The name to give sqlite3_open_v2; registered once, on first use.
const char* MemoryTempVfsName();

// How many temporary files it has kept in memory so far (a test's proof that the
// engine's sorter did write runs out, rather than sorting all in one).
long MemoryTempFilesOpened();

}  // namespace hemulu
