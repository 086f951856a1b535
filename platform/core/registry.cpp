// The registry store is one text file:
//
//   KESTROVA-REGISTRY 1
//   K HKCU Software\Kestrova
//   S Lang Engl%20ish
//   D dpi 300
//
// A "K" line starts a key (root and path); the "S" (string) and "D" (32-bit) lines after it are its
// values. Names, paths and strings are escaped so that each field is free of blanks and line ends:
// "%" followed by two hex digits stands for a byte below 0x21, "%" or 0x7F. Lines that do not parse
// are skipped, so a damaged store loses at most what it damaged.
#include "platform/core/registry.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace platform::core::registry {

namespace {

constexpr std::string_view Header = "KESTROVA-REGISTRY 1";
constexpr int64_t LargestStore = 16 << 20; // a store beyond this is taken as damaged and not read
constexpr mode_t FolderMode = 0700;
constexpr char KeyDelim = '\\';

enum class ValueKind { String, Dword };

struct Value {
    std::string name;
    ValueKind kind = ValueKind::String;
    std::string text;
    uint32_t number = 0;
};

struct Key {
    std::string path; // as first created, without leading or trailing "\"
    std::vector<Value> values;

    Value* find(std::string_view name) {
        const auto it = std::find_if(values.begin(), values.end(),
                                     [name](const Value& v) { return equalsIgnoreCase(v.name, name); });
        return it == values.end() ? nullptr : &*it;
    }
    const Value* find(std::string_view name) const { return const_cast<Key*>(this)->find(name); }
};

// Keys by root and lower-cased path; the map's order keeps the file stable between writes.
using Store = std::map<std::pair<int, std::string>, Key>;

std::string_view rootName(RootKey root) {
    return root == RootKey::CurrentUser ? "HKCU" : "HKLM";
}

std::optional<RootKey> rootFromName(std::string_view name) {
    if (name == "HKCU")
        return RootKey::CurrentUser;
    if (name == "HKLM")
        return RootKey::LocalMachine;
    return std::nullopt;
}

// The key path without empty components ("\Software\\Kestrova\" is "Software\Kestrova").
std::string normalKey(std::string_view key) {
    std::string out;
    size_t start = 0;
    while (start <= key.size()) {
        size_t end = key.find(KeyDelim, start);
        if (end == std::string_view::npos)
            end = key.size();
        if (end > start) {
            if (!out.empty())
                out.push_back(KeyDelim);
            out += key.substr(start, end - start);
        }
        start = end + 1;
    }
    return out;
}

std::pair<int, std::string> mapKey(RootKey root, std::string_view normal) {
    return {static_cast<int>(root), lowerAscii(normal)};
}

bool needsEscape(unsigned char c) {
    return c <= ' ' || c == '%' || c == 0x7F;
}

std::string escape(std::string_view text) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (needsEscape(c)) {
            out.push_back('%');
            out.push_back(Hex[c >> 4]);
            out.push_back(Hex[c & 0xF]);
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

std::optional<std::string> unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        unsigned value = 0;
        const auto r = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (r.ec != std::errc() || r.ptr != text.data() + i + 3)
            return std::nullopt;
        out.push_back(static_cast<char>(value));
        i += 2;
    }
    return out;
}

// The fields of a line, separated by single blanks (the escaping keeps blanks out of every field, and
// an empty field stands for an empty name or text).
std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.empty())
        return out;
    size_t start = 0;
    while (true) {
        const size_t end = line.find(' ', start);
        if (end == std::string_view::npos) {
            out.push_back(line.substr(start));
            return out;
        }
        out.push_back(line.substr(start, end - start));
        start = end + 1;
    }
}

// seen: the lower-cased names of the key's values read so far. A name met again is passed over (the
// first one counts); looking it up in a set keeps the read of a store of many values linear.
void parseValue(Key& key, std::unordered_set<std::string>& seen, const std::vector<std::string_view>& f) {
    if (f.size() != 3)
        return;
    auto name = unescape(f[1]);
    if (!name || !seen.insert(lowerAscii(*name)).second)
        return;
    Value v;
    v.name = std::move(*name);
    if (f[0] == "S") {
        auto text = unescape(f[2]);
        if (!text)
            return;
        v.kind = ValueKind::String;
        v.text = std::move(*text);
    } else {
        const auto r = std::from_chars(f[2].data(), f[2].data() + f[2].size(), v.number);
        if (r.ec != std::errc() || r.ptr != f[2].data() + f[2].size())
            return;
        v.kind = ValueKind::Dword;
    }
    key.values.push_back(std::move(v));
}

Store parse(std::string_view bytes) {
    Store store;
    Key* current = nullptr;
    std::map<const Key*, std::unordered_set<std::string>> names;
    for (const auto& line : [&] {
             std::vector<std::string_view> lines;
             size_t start = 0;
             while (start < bytes.size()) {
                 size_t end = bytes.find('\n', start);
                 if (end == std::string_view::npos)
                     end = bytes.size();
                 lines.push_back(bytes.substr(start, end - start));
                 start = end + 1;
             }
             return lines;
         }()) {
        const auto f = fields(line);
        if (f.empty())
            continue;
        if (f[0] == "K") {
            current = nullptr;
            const auto root = f.size() == 3 ? rootFromName(f[1]) : std::nullopt;
            const auto path = root ? unescape(f[2]) : std::nullopt;
            if (!path)
                continue;
            const std::string normal = normalKey(*path);
            if (normal.empty())
                continue;
            Key& key = store[mapKey(*root, normal)];
            if (key.path.empty())
                key.path = normal;
            current = &key;
        } else if ((f[0] == "S" || f[0] == "D") && current) {
            parseValue(*current, names[current], f);
        }
    }
    return store;
}

std::string serialize(const Store& store) {
    std::string out(Header);
    out.push_back('\n');
    for (const auto& [id, key] : store) {
        out += "K ";
        out += rootName(static_cast<RootKey>(id.first));
        out += ' ';
        out += escape(key.path);
        out.push_back('\n');
        for (const auto& v : key.values) {
            out += v.kind == ValueKind::String ? "S " : "D ";
            out += escape(v.name);
            out.push_back(' ');
            out += v.kind == ValueKind::String ? escape(v.text) : std::to_string(v.number);
            out.push_back('\n');
        }
    }
    return out;
}

std::string homeDir() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

// Creates the folders above the store (a fresh account has no configuration folder yet).
void createParents(const std::string& file) {
    const std::string folder = extractFilePath(file);
    for (size_t at = folder.find(PathDelim, 1); at != std::string::npos;
         at = folder.find(PathDelim, at + 1)) {
        // A level that exists, or cannot be made, is passed over: the lock or the write that follows
        // reports a store that cannot be reached.
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), FolderMode) != 0 && errno != EEXIST)
            continue;
    }
}

// The store's lock, held from construction to destruction: exclusive for writers, shared for readers.
// Without a lock file (a read-only folder) readers go ahead unlocked, since writers replace the store
// by a rename and a reader sees either the old or the new file.
class StoreLock {
public:
    StoreLock(const std::string& store, bool exclusive) {
        if (exclusive)
            createParents(store);
        fd_ = ::open((store + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0)
            fd_ = ::open((store + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0)
            return;
        while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
        locked_ = true;
    }
    ~StoreLock() {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool locked() const { return locked_; }

private:
    int fd_ = -1;
    bool locked_ = false;
};

// The store's bytes; none when it is missing, empty, too large to be taken for a store, or unreadable.
std::optional<std::string> readStore(const std::string& path) {
    const int64_t size = fileSize(path);
    if (size <= 0 || size > LargestStore)
        return std::nullopt;
    return readFile(path, LargestStore);
}

Store load(const std::string& path) {
    const auto bytes = readStore(path);
    return bytes ? parse(*bytes) : Store{};
}

template <typename Fn>
auto withStore(Fn&& fn) {
    const std::string path = storePath();
    StoreLock lock(path, false);
    const Store store = load(path);
    return fn(store);
}

// Reads, changes and writes the store under the exclusive lock. fn returns whether it changed the
// store; the call's result is fn's result when nothing needed writing, else whether the write worked.
// A store whose content comes out as it was read is not written: a registration repeated at every
// start costs no write, and no flush to the disk.
template <typename Fn>
bool modifyStore(Fn&& fn) {
    const std::string path = storePath();
    StoreLock lock(path, true);
    if (!lock.locked())
        return false;
    const auto bytes = readStore(path);
    Store store = bytes ? parse(*bytes) : Store{};
    bool result = true;
    if (!fn(store, result))
        return result;
    std::string changed = serialize(store);
    if (bytes && *bytes == changed)
        return result;
    return writeFileAtomic(path, changed) && result;
}

// Creates a key and its missing parents.
Key& ensureKey(Store& store, RootKey root, const std::string& normal) {
    size_t at = 0;
    while ((at = normal.find(KeyDelim, at)) != std::string::npos) {
        const std::string parent = normal.substr(0, at);
        Key& key = store[mapKey(root, parent)];
        if (key.path.empty())
            key.path = parent;
        ++at;
    }
    Key& key = store[mapKey(root, normal)];
    if (key.path.empty())
        key.path = normal;
    return key;
}

const Key* findKey(const Store& store, RootKey root, const std::string& normal) {
    const auto it = store.find(mapKey(root, normal));
    return it == store.end() ? nullptr : &it->second;
}

bool isChildOf(const std::pair<int, std::string>& id, RootKey root, const std::string& lowerParent) {
    if (id.first != static_cast<int>(root))
        return false;
    if (lowerParent.empty())
        return true;
    return id.second.size() > lowerParent.size() &&
           id.second.compare(0, lowerParent.size(), lowerParent) == 0 &&
           id.second[lowerParent.size()] == KeyDelim;
}

// Removes a key with everything under it; false when it was not there.
bool eraseKey(Store& store, RootKey root, const std::string& normal) {
    const auto it = store.find(mapKey(root, normal));
    if (it == store.end())
        return false;
    store.erase(it);
    const std::string lower = lowerAscii(normal);
    std::erase_if(store, [&](const auto& entry) { return isChildOf(entry.first, root, lower); });
    return true;
}

// Sets a value, creating it and its key when missing; false for a value given no key.
bool setValue(Store& store, RootKey root, std::string_view key, std::string_view name, ValueKind kind,
              std::string_view text, uint32_t number) {
    const std::string normal = normalKey(key);
    if (normal.empty())
        return false; // values live in keys, not in the roots
    Key& k = ensureKey(store, root, normal);
    Value* v = k.find(name);
    if (!v) {
        k.values.push_back(Value{std::string(name), ValueKind::String, {}, 0});
        v = &k.values.back();
    }
    v->kind = kind;
    v->text = kind == ValueKind::String ? std::string(text) : std::string();
    v->number = kind == ValueKind::Dword ? number : 0;
    return true;
}

} // namespace

std::string storePath() {
    if (const char* env = std::getenv("KESTROVA_REGISTRY"); env && *env)
        return env;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == PathDelim)
        config = xdg;
    else
        config = joinPath(homeDir(), ".config");
    return joinPath(joinPath(config, "kestrova"), "registry");
}

bool keyExists(RootKey root, std::string_view key) {
    const std::string normal = normalKey(key);
    if (normal.empty())
        return true;
    return withStore([&](const Store& store) { return findKey(store, root, normal) != nullptr; });
}

bool createKey(RootKey root, std::string_view key) {
    const std::string normal = normalKey(key);
    if (normal.empty())
        return true;
    return modifyStore([&](Store& store, bool&) {
        if (findKey(store, root, normal))
            return false;
        ensureKey(store, root, normal);
        return true;
    });
}

bool deleteKey(RootKey root, std::string_view key) {
    const std::string normal = normalKey(key);
    if (normal.empty())
        return false; // a root cannot be deleted
    return modifyStore([&](Store& store, bool& result) {
        result = eraseKey(store, root, normal);
        return result;
    });
}

bool writeString(RootKey root, std::string_view key, std::string_view name, std::string_view value) {
    if (normalKey(key).empty())
        return false;
    return modifyStore(
        [&](Store& store, bool&) { return setValue(store, root, key, name, ValueKind::String, value, 0); });
}

bool writeDword(RootKey root, std::string_view key, std::string_view name, uint32_t value) {
    if (normalKey(key).empty())
        return false;
    return modifyStore(
        [&](Store& store, bool&) { return setValue(store, root, key, name, ValueKind::Dword, {}, value); });
}

std::optional<std::string> readString(RootKey root, std::string_view key, std::string_view name) {
    const std::string normal = normalKey(key);
    return withStore([&](const Store& store) -> std::optional<std::string> {
        const Key* k = findKey(store, root, normal);
        if (!k)
            return std::nullopt;
        const Value* v = k->find(name);
        if (!v || v->kind != ValueKind::String)
            return std::nullopt;
        return v->text;
    });
}

std::optional<uint32_t> readDword(RootKey root, std::string_view key, std::string_view name) {
    const std::string normal = normalKey(key);
    return withStore([&](const Store& store) -> std::optional<uint32_t> {
        const Key* k = findKey(store, root, normal);
        if (!k)
            return std::nullopt;
        const Value* v = k->find(name);
        if (!v || v->kind != ValueKind::Dword)
            return std::nullopt;
        return v->number;
    });
}

bool deleteValue(RootKey root, std::string_view key, std::string_view name) {
    const std::string normal = normalKey(key);
    return modifyStore([&](Store& store, bool& result) {
        auto it = store.find(mapKey(root, normal));
        if (it == store.end()) {
            result = false;
            return false;
        }
        auto& values = it->second.values;
        const auto before = values.size();
        std::erase_if(values, [&](const Value& v) { return equalsIgnoreCase(v.name, name); });
        result = values.size() != before;
        return result;
    });
}

std::vector<std::string> subKeys(RootKey root, std::string_view key) {
    const std::string normal = normalKey(key);
    const std::string lower = lowerAscii(normal);
    return withStore([&](const Store& store) {
        std::vector<std::string> names;
        for (const auto& [id, k] : store) {
            if (!isChildOf(id, root, lower))
                continue;
            const std::string rest = k.path.substr(normal.empty() ? 0 : normal.size() + 1);
            if (rest.find(KeyDelim) == std::string::npos)
                names.push_back(rest);
        }
        return names;
    });
}

std::vector<std::string> valueNames(RootKey root, std::string_view key) {
    const std::string normal = normalKey(key);
    return withStore([&](const Store& store) {
        std::vector<std::string> names;
        if (const Key* k = findKey(store, root, normal))
            for (const auto& v : k->values)
                names.push_back(v.name);
        return names;
    });
}

void Changes::deleteKey(RootKey root, std::string_view key) {
    changes_.push_back(Change{Kind::DeleteKey, root, std::string(key), {}, {}, 0});
}

void Changes::writeString(RootKey root, std::string_view key, std::string_view name, std::string_view value) {
    changes_.push_back(
        Change{Kind::String, root, std::string(key), std::string(name), std::string(value), 0});
}

void Changes::writeDword(RootKey root, std::string_view key, std::string_view name, uint32_t value) {
    changes_.push_back(Change{Kind::Dword, root, std::string(key), std::string(name), {}, value});
}

bool Changes::apply() const {
    if (changes_.empty())
        return true;
    return modifyStore([&](Store& store, bool& result) {
        for (const Change& change : changes_) {
            switch (change.kind) {
            case Kind::DeleteKey:
                if (const std::string normal = normalKey(change.key); !normal.empty())
                    eraseKey(store, change.root, normal);
                break;
            case Kind::String:
                result = setValue(store, change.root, change.key, change.name, ValueKind::String, change.text,
                                  0) &&
                         result;
                break;
            case Kind::Dword:
                result = setValue(store, change.root, change.key, change.name, ValueKind::Dword, {},
                                  change.number) &&
                         result;
                break;
            }
        }
        return true;
    });
}

} // namespace platform::core::registry
