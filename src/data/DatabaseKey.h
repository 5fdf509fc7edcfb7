#pragma once
// The key and the cipher page size of data.db. Every connection, backup destination and
// attached copy is keyed with these (KeyConnection in data/EngineKey.h), so that all of
// them agree.

namespace hemulu {

// The fixed key of data.db.
inline constexpr char kDatabasePassword[] = "5806127";

// Each encrypted page pays its own decryption and HMAC, so small pages make every scan
// pay several times over: 1 KiB pages read a million sales in about three times the
// plaintext time. 16 KiB comes within about a sixth of plaintext on the scans; 64 KiB
// gains little more on reads while every small write (a sale) rewrites larger pages,
// and the template grows fourfold. hemulu-bench's page_size cases measure the choice.
inline constexpr int kCipherPageSize = 16384;
// Files written before the change use the engine's default page.
inline constexpr int kLegacyCipherPageSize = 1024;

}  // namespace hemulu
