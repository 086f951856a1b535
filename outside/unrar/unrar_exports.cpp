// The exports of "unrar.dll" over the RAR reader.
#include "outside/unrar/unrar_api.h"

#include "outside/rar/rar_format.h"
#include "platform/core/files.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

namespace {

namespace rar = outside::rar;
namespace core = platform::core;

thread_local std::string lastError;

int failWith(int code, std::string message) {
    lastError = std::move(message);
    return code;
}

// The archive's bytes and its blocks, or a failure code with its message set.
struct OpenArchive {
    std::string bytes;
    rar::RarArchive archive;
};

int openArchive(const char* path, OpenArchive& open) {
    if (!path)
        return failWith(RAR_BAD_ARGUMENT, "no archive named");
    std::optional<std::string> bytes = core::readFile(path);
    if (!bytes)
        return failWith(RAR_CANNOT_OPEN, std::string("cannot read the archive ") + path);
    open.bytes = std::move(*bytes);
    try {
        open.archive = rar::parseRarArchive(open.bytes);
    } catch (const rar::RarError& e) {
        return failWith(RAR_BAD_ARCHIVE, std::string(path) + ": " + e.what());
    }
    return RAR_OK;
}

// The bytes of a member, or a failure code with its message set.
int readMember(const char* archivePath, const char* memberName, std::string& data) {
    if (!memberName)
        return failWith(RAR_BAD_ARGUMENT, "no member named");
    OpenArchive open;
    if (const int code = openArchive(archivePath, open); code != RAR_OK)
        return code;
    const rar::RarMember* member = rar::findMember(open.archive, memberName);
    if (!member)
        return failWith(RAR_NO_MEMBER, std::string(archivePath) + " holds no member " + memberName);
    try {
        data = rar::memberData(open.bytes, *member);
    } catch (const rar::RarError& e) {
        const bool unsupported = member->directory() || member->encrypted() || member->split() ||
                                 !member->stored() || member->packedSize != member->size;
        return failWith(unsupported ? RAR_UNSUPPORTED : RAR_BAD_DATA,
                        std::string(archivePath) + ": " + e.what());
    }
    return RAR_OK;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int RarListMembers(const char* archive, RarMemberInfo* members,
                                                          int capacity) {
    OpenArchive open;
    if (openArchive(archive, open) != RAR_OK)
        return -1;
    const auto count = static_cast<int>(open.archive.members.size());
    for (int i = 0; members && i < std::min(count, capacity); ++i) {
        const rar::RarMember& m = open.archive.members[static_cast<size_t>(i)];
        RarMemberInfo& info = members[i];
        std::memset(info.name, 0, sizeof info.name);
        std::memcpy(info.name, m.name.data(), std::min(m.name.size(), sizeof info.name - 1));
        info.size = m.size;
        info.stored = m.stored() && !m.encrypted() && !m.split() && m.packedSize == m.size ? 1 : 0;
        info.directory = m.directory() ? 1 : 0;
    }
    lastError.clear();
    return count;
}

__attribute__((visibility("default"))) int RarReadMember(const char* archive, const char* member,
                                                         void* buffer, unsigned long long capacity,
                                                         unsigned long long* size) {
    std::string data;
    if (const int code = readMember(archive, member, data); code != RAR_OK)
        return code;
    if (size)
        *size = data.size();
    if (data.size() > capacity)
        return failWith(RAR_SMALL_BUFFER, "the buffer is smaller than the member");
    if (!data.empty()) {
        if (!buffer)
            return failWith(RAR_BAD_ARGUMENT, "no buffer given");
        std::memcpy(buffer, data.data(), data.size());
    }
    lastError.clear();
    return RAR_OK;
}

__attribute__((visibility("default"))) int RarExtractMember(const char* archive, const char* member,
                                                            const char* destination) {
    if (!destination)
        return failWith(RAR_BAD_ARGUMENT, "no destination named");
    std::string data;
    if (const int code = readMember(archive, member, data); code != RAR_OK)
        return code;
    if (!core::writeFileAtomic(destination, data))
        return failWith(RAR_CANNOT_WRITE, std::string("cannot write ") + destination);
    lastError.clear();
    return RAR_OK;
}

__attribute__((visibility("default"))) const char* RarLastError(void) {
    return lastError.c_str();
}

} // extern "C"
