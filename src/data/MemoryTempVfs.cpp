#include "data/MemoryTempVfs.h"

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace hemulu {

namespace {

// A temporary file: the engine's handle first, then the bytes it holds. The engine
// allocates the handle's memory itself (the size the way of opening declares) and never
// constructs it, so the bytes live behind a pointer.
struct MemoryFile {
  sqlite3_file handle;
  std::vector<char>* bytes;
};

std::vector<char>& Bytes(sqlite3_file* f) { return *reinterpret_cast<MemoryFile*>(f)->bytes; }

int Close(sqlite3_file* f) {
  delete reinterpret_cast<MemoryFile*>(f)->bytes;
  reinterpret_cast<MemoryFile*>(f)->bytes = nullptr;
  return SQLITE_OK;
}

int Read(sqlite3_file* f, void* out, int amount, sqlite3_int64 offset) {
  const std::vector<char>& bytes = Bytes(f);
  const auto size = static_cast<sqlite3_int64>(bytes.size());
  const sqlite3_int64 available = std::clamp<sqlite3_int64>(size - offset, 0, amount);
  if (available > 0) std::memcpy(out, bytes.data() + offset, static_cast<std::size_t>(available));
  if (available == amount) return SQLITE_OK;
  // A read past the end is short, and the engine expects the rest zeroed.
  std::memset(static_cast<char*>(out) + available, 0, static_cast<std::size_t>(amount - available));
  return SQLITE_IOERR_SHORT_READ;
}

int Write(sqlite3_file* f, const void* in, int amount, sqlite3_int64 offset) {
  std::vector<char>& bytes = Bytes(f);
  const auto end = static_cast<std::size_t>(offset) + static_cast<std::size_t>(amount);
  try {
    if (end > bytes.size()) bytes.resize(end);
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  }
  std::memcpy(bytes.data() + offset, in, static_cast<std::size_t>(amount));
  return SQLITE_OK;
}

int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  std::vector<char>& bytes = Bytes(f);
  if (static_cast<std::size_t>(size) < bytes.size()) bytes.resize(static_cast<std::size_t>(size));
  return SQLITE_OK;
}

int Sync(sqlite3_file*, int) { return SQLITE_OK; }

int FileSize(sqlite3_file* f, sqlite3_int64* size) {
  *size = static_cast<sqlite3_int64>(Bytes(f).size());
  return SQLITE_OK;
}

// Nobody else ever sees the file: there is nothing to lock.
int Lock(sqlite3_file*, int) { return SQLITE_OK; }
int CheckReservedLock(sqlite3_file*, int* reserved) {
  *reserved = 0;
  return SQLITE_OK;
}
int FileControl(sqlite3_file*, int, void*) { return SQLITE_NOTFOUND; }
int SectorSize(sqlite3_file*) { return 4096; }
int DeviceCharacteristics(sqlite3_file*) { return 0; }

const sqlite3_io_methods kMemoryFileMethods = {1,
                                               Close,
                                               Read,
                                               Write,
                                               Truncate,
                                               Sync,
                                               FileSize,
                                               Lock,
                                               Lock,
                                               CheckReservedLock,
                                               FileControl,
                                               SectorSize,
                                               DeviceCharacteristics,
                                               nullptr,
                                               nullptr,
                                               nullptr,
                                               nullptr,
                                               nullptr,
                                               nullptr};

sqlite3_vfs g_base_copy;
sqlite3_vfs* g_base = nullptr;
std::atomic<long> g_opened{0};

// A file without a name is one the engine makes for itself and deletes when closed:
// it is kept in memory. A named one (the database itself, its journals) is opened by
// the system's way, in the same handle memory.
int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* out_flags) {
  if (name) return g_base->xOpen(g_base, name, f, flags, out_flags);
  auto* file = reinterpret_cast<MemoryFile*>(f);
  file->handle.pMethods = nullptr;
  file->bytes = new (std::nothrow) std::vector<char>();
  if (!file->bytes) return SQLITE_NOMEM;
  file->handle.pMethods = &kMemoryFileMethods;
  ++g_opened;
  if (out_flags) *out_flags = flags;
  return SQLITE_OK;
}

}  // namespace

long MemoryTempFilesOpened() { return g_opened.load(); }

const char* MemoryTempVfsName() {
  static std::once_flag once;
  static const char* name = nullptr;
  std::call_once(once, [] {
    g_base = sqlite3_vfs_find(nullptr);
    if (!g_base) return;
    // Everything but opening is the system's own, its private data included.
    g_base_copy = *g_base;
    g_base_copy.pNext = nullptr;
    g_base_copy.zName = "hemulu-memory-temp";
    g_base_copy.szOsFile = std::max<int>(g_base->szOsFile, static_cast<int>(sizeof(MemoryFile)));
    g_base_copy.xOpen = Open;
    if (sqlite3_vfs_register(&g_base_copy, 0) == SQLITE_OK) name = g_base_copy.zName;
  });
  return name;
}

}  // namespace hemulu
