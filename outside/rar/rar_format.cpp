#include "outside/rar/rar_format.h"

#include <array>
#include <optional>

namespace outside::rar {

namespace {

constexpr uint32_t CrcPolynomial = 0xEDB88320u;

std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < table.size(); ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? CrcPolynomial ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

// Little-endian reads inside one header; a read past its end is an error.
class HeaderReader {
public:
    HeaderReader(std::string_view header, size_t position) : header_(header), pos_(position) {}

    uint8_t u8() { return static_cast<uint8_t>(take(1)[0]); }
    uint16_t le16() {
        const std::string_view b = take(2);
        return static_cast<uint16_t>(byteAt(b, 0) | byteAt(b, 1) << 8);
    }
    uint32_t le32() {
        const std::string_view b = take(4);
        return byteAt(b, 0) | byteAt(b, 1) << 8 | byteAt(b, 2) << 16 |
               static_cast<uint32_t>(byteAt(b, 3)) << 24;
    }
    std::string_view take(size_t count) {
        if (count > header_.size() - pos_)
            throw RarError("damaged archive: a block header is shorter than its fields");
        const std::string_view part = header_.substr(pos_, count);
        pos_ += count;
        return part;
    }

private:
    static uint32_t byteAt(std::string_view b, size_t i) { return static_cast<uint8_t>(b[i]); }

    std::string_view header_;
    size_t pos_;
};

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | c >> 6));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | c >> 12));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string memberName(std::string_view raw, uint16_t flags) {
    std::string name(raw);
    // A Unicode name follows the plain one after a zero byte; without the zero byte the whole name is
    // UTF-8.
    if (flags & FileUnicodeName) {
        if (const size_t zero = name.find('\0'); zero != std::string::npos) {
            const std::string unicode = decodeUnicodeName(raw.substr(0, zero), raw.substr(zero + 1));
            name = unicode.empty() ? name.substr(0, zero) : unicode;
        }
    }
    for (char& c : name)
        if (c == '\\')
            c = '/';
    return name;
}

RarMember readFileHeader(std::string_view header, uint16_t flags) {
    HeaderReader in(header, BaseHeaderSize);
    RarMember m;
    m.flags = flags;
    m.packedSize = in.le32();
    m.size = in.le32();
    m.hostOs = in.u8();
    m.crc = in.le32();
    m.dosTime = in.le32();
    m.version = in.u8();
    m.method = in.u8();
    const uint16_t nameSize = in.le16();
    m.attributes = in.le32();
    if (flags & FileLargeSizes) {
        m.packedSize |= static_cast<uint64_t>(in.le32()) << 32;
        m.size |= static_cast<uint64_t>(in.le32()) << 32;
    }
    m.name = memberName(in.take(nameSize), flags);
    if (m.name.empty())
        throw RarError("damaged archive: a member without a name");
    return m;
}

char foldCase(char c) {
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c == '\\' ? '/' : c;
}

} // namespace

uint32_t crc32(std::string_view bytes, uint32_t crc) {
    static const std::array<uint32_t, 256> table = makeCrcTable();
    crc = ~crc;
    for (const char c : bytes)
        crc = table[(crc ^ static_cast<uint8_t>(c)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint16_t headerCheck(std::string_view headerAfterCheck) {
    return static_cast<uint16_t>(crc32(headerAfterCheck) & 0xFFFF);
}

std::string decodeUnicodeName(std::string_view plain, std::string_view encoded) {
    // The encoded part begins with a high byte; then a flag byte gives, two bits at a time, how each
    // following character is coded: 0 one low byte (high byte 0), 1 one low byte with the high byte,
    // 2 both bytes, 3 a run taken from the plain name (its length byte's top bit adds a correction
    // byte to the plain bytes, which then take the high byte).
    if (encoded.empty())
        return {};
    const auto at = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(encoded[i])); };
    const uint32_t high = at(0) << 8;
    size_t pos = 1;
    uint32_t flags = 0;
    int flagBits = 0;
    std::string out;
    size_t decoded = 0;
    while (pos < encoded.size()) {
        if (flagBits == 0) {
            flags = at(pos++);
            flagBits = 8;
            if (pos >= encoded.size())
                break;
        }
        switch (flags >> 6) {
        case 0:
            appendUtf8(out, at(pos++));
            ++decoded;
            break;
        case 1:
            appendUtf8(out, at(pos++) | high);
            ++decoded;
            break;
        case 2:
            if (pos + 1 >= encoded.size())
                return {};
            appendUtf8(out, at(pos) | at(pos + 1) << 8);
            pos += 2;
            ++decoded;
            break;
        default: {
            const uint32_t length = at(pos++);
            const bool corrected = (length & 0x80) != 0;
            uint32_t correction = 0;
            if (corrected) {
                if (pos >= encoded.size())
                    return {};
                correction = at(pos++);
            }
            for (uint32_t n = (length & 0x7F) + 2; n > 0; --n, ++decoded) {
                if (decoded >= plain.size())
                    return {};
                const uint32_t c = static_cast<uint8_t>(plain[decoded]);
                appendUtf8(out, corrected ? ((c + correction) & 0xFF) | high : c);
            }
            break;
        }
        }
        flags = (flags << 2) & 0xFF;
        flagBits -= 2;
    }
    return out;
}

RarArchive parseRarArchive(std::string_view bytes) {
    if (bytes.substr(0, Rar5Signature.size()) == Rar5Signature)
        throw RarError("RAR 5 archives are not supported (only the RAR 4 format)");
    if (bytes.substr(0, Rar4Signature.size()) != Rar4Signature)
        throw RarError("not a RAR archive");
    RarArchive archive;
    size_t pos = Rar4Signature.size();
    bool haveArchiveHeader = false;
    while (pos < bytes.size()) {
        if (bytes.size() - pos < BaseHeaderSize)
            throw RarError("damaged archive: it ends inside a block header");
        HeaderReader base(bytes.substr(pos, BaseHeaderSize), 0);
        const uint16_t check = base.le16();
        const uint8_t type = base.u8();
        const uint16_t flags = base.le16();
        const uint16_t headerSize = base.le16();
        if (headerSize < BaseHeaderSize || headerSize > bytes.size() - pos)
            throw RarError("damaged archive: a block header does not fit");
        const std::string_view header = bytes.substr(pos, headerSize);
        if (headerCheck(header.substr(2)) != check)
            throw RarError("damaged archive: a block header fails its check");
        uint64_t dataSize = 0;
        std::optional<RarMember> member;
        if (type == FileBlock) {
            member = readFileHeader(header, flags);
            dataSize = member->packedSize;
        } else if (flags & LongBlock) {
            HeaderReader extra(header, BaseHeaderSize);
            dataSize = extra.le32();
        }
        if (!haveArchiveHeader) {
            if (type != ArchiveBlock)
                throw RarError("damaged archive: the archive header is missing");
            if (headerSize < ArchiveHeaderSize)
                throw RarError("damaged archive: the archive header is too short");
            haveArchiveHeader = true;
            archive.archiveFlags = flags;
            if (flags & ArchiveEncryptedHeaders)
                throw RarError("the archive's headers are encrypted");
        }
        if (dataSize > bytes.size() - pos - headerSize)
            throw RarError("damaged archive: it ends inside the data of a block");
        RarBlock block{type, pos, headerSize + static_cast<size_t>(dataSize), -1};
        if (member) {
            member->dataOffset = pos + headerSize;
            block.member = static_cast<int>(archive.members.size());
            archive.members.push_back(std::move(*member));
        }
        archive.blocks.push_back(block);
        pos += block.size;
        if (type == EndBlock)
            break;
    }
    if (!haveArchiveHeader)
        throw RarError("damaged archive: the archive header is missing");
    return archive;
}

bool sameMemberName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    return true;
}

const RarMember* findMember(const RarArchive& archive, std::string_view name) {
    for (const RarMember& m : archive.members)
        if (sameMemberName(m.name, name))
            return &m;
    return nullptr;
}

std::string memberData(std::string_view archiveBytes, const RarMember& member) {
    if (member.directory())
        throw RarError(member.name + " is a folder");
    if (member.encrypted())
        throw RarError(member.name + " is encrypted");
    if (member.split())
        throw RarError(member.name + " is split across volumes");
    if (!member.stored() || member.packedSize != member.size)
        throw RarError(member.name + " is compressed (method " + std::to_string(member.method - MethodStore) +
                       "); only stored members can be read");
    if (member.dataOffset > archiveBytes.size() || member.size > archiveBytes.size() - member.dataOffset)
        throw RarError("damaged archive: the data of " + member.name + " is cut short");
    std::string data(archiveBytes.substr(member.dataOffset, static_cast<size_t>(member.size)));
    if (crc32(data) != member.crc)
        throw RarError("damaged archive: the data of " + member.name + " fails its check");
    return data;
}

} // namespace outside::rar
