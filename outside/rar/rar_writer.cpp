#include "outside/rar/rar_writer.h"

#include <algorithm>

namespace outside::rar {

namespace {

constexpr uint16_t EndOfArchiveFlags = SkipIfUnknown;
constexpr int DosEpochYear = 1980;
constexpr int DosLastYear = 2107;
constexpr uint32_t UnixRegularFile = 0100000;
constexpr uint32_t PermissionBits = 07777;

void putLe16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void putLe32(std::string& out, uint32_t v) {
    putLe16(out, v & 0xFFFF);
    putLe16(out, v >> 16);
}

// A block header: the check over everything after it is filled in last.
std::string finishHeader(std::string header) {
    const uint16_t check = headerCheck(std::string_view(header).substr(2));
    header[0] = static_cast<char>(check & 0xFF);
    header[1] = static_cast<char>(check >> 8);
    return header;
}

std::string blockStart(uint8_t type, uint16_t flags, size_t size) {
    std::string header;
    putLe16(header, 0);
    header.push_back(static_cast<char>(type));
    putLe16(header, flags);
    putLe16(header, static_cast<uint32_t>(size));
    return header;
}

std::string archiveHeader() {
    std::string header = blockStart(ArchiveBlock, 0, ArchiveHeaderSize);
    putLe16(header, 0); // reserved
    putLe32(header, 0); // reserved
    return finishHeader(std::move(header));
}

std::string endBlock() {
    return finishHeader(blockStart(EndBlock, EndOfArchiveFlags, BaseHeaderSize));
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
}

} // namespace

uint32_t dosTimeOf(std::time_t time) {
    std::tm local{};
    if (!localtime_r(&time, &local))
        return 0;
    const int year = std::clamp(local.tm_year + 1900, DosEpochYear, DosLastYear);
    const auto date =
        static_cast<uint32_t>((year - DosEpochYear) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    const auto clock = static_cast<uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    return date << 16 | clock;
}

std::string storedFileBlock(const RarInput& input) {
    std::string name = input.name;
    std::replace(name.begin(), name.end(), '/', '\\');
    const uint64_t size = input.data.size();
    const bool large = size > UINT32_MAX;
    uint16_t flags = LongBlock;
    if (large)
        flags |= FileLargeSizes;
    // A name that is not plain ASCII is stored as UTF-8, which the Unicode flag without a zero byte
    // in the name announces.
    if (!isAscii(name))
        flags |= FileUnicodeName;
    const size_t headerSize = FileHeaderFixedSize + (large ? LargeSizesSize : 0) + name.size();
    if (headerSize > UINT16_MAX)
        throw RarError("the name " + input.name + " is too long for an archive");
    std::string header = blockStart(FileBlock, flags, headerSize);
    putLe32(header, static_cast<uint32_t>(size)); // packed size
    putLe32(header, static_cast<uint32_t>(size)); // unpacked size
    header.push_back(static_cast<char>(HostUnix));
    putLe32(header, crc32(input.data));
    putLe32(header, input.dosTime);
    header.push_back(static_cast<char>(StoreVersion));
    header.push_back(static_cast<char>(MethodStore));
    putLe16(header, static_cast<uint32_t>(name.size()));
    putLe32(header, UnixRegularFile | (input.mode & PermissionBits));
    if (large) {
        putLe32(header, static_cast<uint32_t>(size >> 32));
        putLe32(header, static_cast<uint32_t>(size >> 32));
    }
    header += name;
    return finishHeader(std::move(header)) + input.data;
}

std::string buildArchive(std::optional<std::string_view> existing, const std::vector<RarInput>& inputs) {
    // Of inputs with the same name the last one counts.
    std::vector<const RarInput*> pending;
    for (const RarInput& input : inputs) {
        std::erase_if(pending, [&](const RarInput* p) { return sameMemberName(p->name, input.name); });
        pending.push_back(&input);
    }
    std::string out(Rar4Signature);
    if (!existing) {
        out += archiveHeader();
    } else {
        const RarArchive archive = parseRarArchive(*existing);
        if (archive.archiveFlags & ArchiveVolume)
            throw RarError("the archive is a volume of a multi-volume set and cannot be updated");
        if (archive.archiveFlags & ArchiveLocked)
            throw RarError("the archive is locked and cannot be updated");
        if (archive.archiveFlags & ArchiveSolid)
            throw RarError("the archive is solid and cannot be updated");
        bool droppingService = false;
        for (const RarBlock& block : archive.blocks) {
            if (block.type == EndBlock)
                break;
            if (block.type == SubBlock && droppingService)
                continue;
            droppingService = false;
            if (block.member >= 0) {
                const RarMember& member = archive.members[static_cast<size_t>(block.member)];
                const auto replacement = std::find_if(pending.begin(), pending.end(), [&](const RarInput* p) {
                    return sameMemberName(p->name, member.name);
                });
                if (replacement != pending.end()) {
                    out += storedFileBlock(**replacement);
                    pending.erase(replacement);
                    droppingService = true;
                    continue;
                }
                if (std::any_of(inputs.begin(), inputs.end(),
                                [&](const RarInput& in) { return sameMemberName(in.name, member.name); })) {
                    droppingService = true; // an older duplicate of a member already replaced
                    continue;
                }
            }
            out += existing->substr(block.offset, block.size);
        }
    }
    for (const RarInput* input : pending)
        out += storedFileBlock(*input);
    out += endBlock();
    return out;
}

} // namespace outside::rar
