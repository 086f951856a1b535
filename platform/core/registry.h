#pragma once

// The registry store: keys and values under the current user and the local machine, kept in a file
// (the user's configuration folder, or KESTROVA_REGISTRY). Key paths use "\" as on the original
// platform ("Software\Kestrova\Cover") and compare without regard to case. Every change reads and
// rewrites the file (atomically) under an exclusive lock on a lock file beside it, so two processes
// writing it lose nothing; reads take the lock shared. Both roots live in the same file. Lines of a
// damaged store that cannot be read are skipped (and dropped by the next write).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::core {

enum class RootKey { CurrentUser, LocalMachine };

namespace registry {

// The file that holds the store.
std::string storePath();

bool keyExists(RootKey root, std::string_view key);
// Creates the key and its missing parents; true when it exists afterwards.
bool createKey(RootKey root, std::string_view key);
// Deletes the key with its values and subkeys; false when it did not exist.
bool deleteKey(RootKey root, std::string_view key);

// Values create their key when missing.
bool writeString(RootKey root, std::string_view key, std::string_view name, std::string_view value);
bool writeDword(RootKey root, std::string_view key, std::string_view name, uint32_t value);
std::optional<std::string> readString(RootKey root, std::string_view key, std::string_view name);
std::optional<uint32_t> readDword(RootKey root, std::string_view key, std::string_view name);
bool deleteValue(RootKey root, std::string_view key, std::string_view name);
// Names of the subkeys of a key, and of its values.
std::vector<std::string> subKeys(RootKey root, std::string_view key);
std::vector<std::string> valueNames(RootKey root, std::string_view key);

} // namespace registry
} // namespace platform::core
