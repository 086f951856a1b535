#pragma once

// The registry store: keys and values under the current user and the local machine, kept in a file
// (the user's configuration folder, or KESTROVA_REGISTRY). Key paths use "\" as on the original
// platform ("Software\Kestrova\Cover") and compare without regard to case. Every change reads the
// file under an exclusive lock on a lock file beside it and, when its content changes, rewrites it
// (atomically), so two processes writing it lose nothing; a change that leaves the content as it was
// writes nothing. Reads take the lock shared. Both roots live in the same file. Lines of a damaged
// store that cannot be read are skipped (and dropped by the next write that changes the store).

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

// Changes made as one: applied in order to a single reading of the store under its lock, and written
// once (or not at all when the content comes out as it was). A registration that deletes a key and
// writes it anew thus costs no write when it is already in place.
class Changes {
public:
    // Deletes the key with its values and subkeys; a key that is missing is passed over.
    void deleteKey(RootKey root, std::string_view key);
    // Values create their key when missing.
    void writeString(RootKey root, std::string_view key, std::string_view name, std::string_view value);
    void writeDword(RootKey root, std::string_view key, std::string_view name, uint32_t value);
    bool empty() const { return changes_.empty(); }
    // False when the store could not be written or a value was given no key (values live in keys,
    // not in the roots); the other changes are made all the same.
    bool apply() const;

private:
    enum class Kind { DeleteKey, String, Dword };
    struct Change {
        Kind kind;
        RootKey root;
        std::string key;
        std::string name;
        std::string text;
        uint32_t number = 0;
    };
    std::vector<Change> changes_;
};

} // namespace registry
} // namespace platform::core
