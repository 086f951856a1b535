// The RAR reader and writer on their own: what the writer stores reads back member by member, an
// update replaces in place and keeps what it cannot unpack byte for byte, and damaged archives are
// refused with a reason at every length.
#include "outside/rar/rar_format.h"
#include "outside/rar/rar_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace outside::rar {
namespace {

RarInput input(const std::string& name, const std::string& data) {
    RarInput in;
    in.name = name;
    in.data = data;
    in.dosTime = dosTimeOf(1700000000);
    return in;
}

std::string binary(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    return data;
}

// A member that claims another method: what an archive made by a compressing archiver holds.
std::string compressedBlock(const std::string& name, const std::string& data) {
    std::string block = storedFileBlock(input(name, data));
    const size_t methodAt = 25;
    block[methodAt] = static_cast<char>(MethodStore + 3);
    const uint16_t check =
        headerCheck(std::string_view(block).substr(2, FileHeaderFixedSize + name.size() - 2));
    block[0] = static_cast<char>(check & 0xFF);
    block[1] = static_cast<char>(check >> 8);
    return block;
}

TEST(RarFormat, CrcIsTheStandardOne) {
    EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(crc32(""), 0u);
}

TEST(RarFormat, StoredMembersReadBack) {
    const std::string archive =
        buildArchive(std::nullopt, {input("movie.sub", binary(70000)), input("empty.idx", ""),
                                    input("dir/inner.txt", "text")});
    ASSERT_EQ(archive.substr(0, Rar4Signature.size()), Rar4Signature);
    const RarArchive parsed = parseRarArchive(archive);
    ASSERT_EQ(parsed.members.size(), 3u);
    EXPECT_EQ(parsed.blocks.back().type, EndBlock);
    EXPECT_EQ(memberData(archive, parsed.members[0]), binary(70000));
    EXPECT_EQ(memberData(archive, parsed.members[1]), "");
    EXPECT_EQ(parsed.members[2].name, "dir/inner.txt");
    ASSERT_NE(findMember(parsed, "MOVIE.SUB"), nullptr);
    EXPECT_EQ(findMember(parsed, "DIR\\Inner.txt"), &parsed.members[2]);
    EXPECT_EQ(findMember(parsed, "movie"), nullptr);
}

TEST(RarFormat, DosTimeFieldsAreInTheirPlaces) {
    std::tm local{};
    local.tm_year = 2004 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 15;
    local.tm_hour = 13;
    local.tm_min = 45;
    local.tm_sec = 31;
    local.tm_isdst = -1;
    const uint32_t dos = dosTimeOf(std::mktime(&local));
    EXPECT_EQ(dos >> 25, 24u);
    EXPECT_EQ((dos >> 21) & 0xF, 3u);
    EXPECT_EQ((dos >> 16) & 0x1F, 15u);
    EXPECT_EQ((dos >> 11) & 0x1F, 13u);
    EXPECT_EQ((dos >> 5) & 0x3F, 45u);
    EXPECT_EQ(dos & 0x1F, 15u);
}

TEST(RarFormat, UnicodeNamesAfterThePlainName) {
    // Two plain characters copied, one low byte, then seven more copied from the plain name.
    EXPECT_EQ(decodeUnicodeName("Am\x82lie.sub", std::string("\x00\xCC\x00\xE9\x05", 5)), "Am\u00e9lie.sub");
    // A low byte with the high byte, both bytes, and two plain bytes with a correction.
    EXPECT_EQ(decodeUnicodeName("??\x80\x81", std::string("\x04\x6C\x16\x2D\x4E\x80\x90", 7)),
              "\u0416\u4e2d\u0410\u0411");
    // A run beyond the plain name is damage: the plain name stands.
    EXPECT_EQ(decodeUnicodeName("ab", std::string("\x00\xC0\x05", 3)), "");
    // In a file header the Unicode form is the member's name.
    RarInput in;
    in.name = "x";
    std::string block = storedFileBlock(in);
    const std::string rawName = std::string("Am\x82lie.sub\0", 11) + std::string("\x00\xCC\x00\xE9\x05", 5);
    block.replace(FileHeaderFixedSize, 1, rawName);
    block[3] = static_cast<char>(static_cast<uint8_t>(block[3]) | (FileUnicodeName & 0xFF));
    block[4] = static_cast<char>(static_cast<uint8_t>(block[4]) | (FileUnicodeName >> 8));
    block[5] = static_cast<char>(FileHeaderFixedSize + rawName.size());
    block[26] = static_cast<char>(rawName.size());
    const uint16_t check =
        headerCheck(std::string_view(block).substr(2, FileHeaderFixedSize + rawName.size() - 2));
    block[0] = static_cast<char>(check & 0xFF);
    block[1] = static_cast<char>(check >> 8);
    std::string archive = buildArchive(std::nullopt, {});
    archive.insert(archive.size() - BaseHeaderSize, block);
    const RarArchive parsed = parseRarArchive(archive);
    ASSERT_EQ(parsed.members.size(), 1u);
    EXPECT_EQ(parsed.members[0].name, "Am\u00e9lie.sub");
}

TEST(RarFormat, UpdateReplacesInPlaceAndKeepsTheRest) {
    const std::string first = buildArchive(std::nullopt, {input("a.sub", "old a"), input("b.idx", "b")});
    const std::string updated = buildArchive(first, {input("c.txt", "c"), input("A.SUB", "new a")});
    const RarArchive parsed = parseRarArchive(updated);
    ASSERT_EQ(parsed.members.size(), 3u);
    EXPECT_EQ(parsed.members[0].name, "A.SUB");
    EXPECT_EQ(memberData(updated, parsed.members[0]), "new a");
    EXPECT_EQ(memberData(updated, parsed.members[1]), "b");
    EXPECT_EQ(memberData(updated, parsed.members[2]), "c");
    // The same name twice among the inputs: the last one counts.
    const std::string twice = buildArchive(std::nullopt, {input("x", "1"), input("X", "2")});
    const RarArchive parsedTwice = parseRarArchive(twice);
    ASSERT_EQ(parsedTwice.members.size(), 1u);
    EXPECT_EQ(memberData(twice, parsedTwice.members[0]), "2");
}

TEST(RarFormat, CompressedMembersAreNamedAndKeptByAnUpdate) {
    std::string archive = buildArchive(std::nullopt, {input("stored.txt", "s")});
    const std::string packed = compressedBlock("packed.sub", "pretend-compressed");
    archive.insert(archive.size() - BaseHeaderSize, packed);
    const RarArchive parsed = parseRarArchive(archive);
    ASSERT_EQ(parsed.members.size(), 2u);
    EXPECT_FALSE(parsed.members[1].stored());
    try {
        memberData(archive, parsed.members[1]);
        FAIL() << "a compressed member was read";
    } catch (const RarError& e) {
        EXPECT_NE(std::string(e.what()).find("compressed"), std::string::npos) << e.what();
    }
    const std::string updated = buildArchive(archive, {input("new.txt", "n")});
    EXPECT_NE(updated.find(packed), std::string::npos);
    EXPECT_EQ(parseRarArchive(updated).members.size(), 3u);
}

TEST(RarFormat, UnupdatableArchivesAreRefused) {
    std::string solid = buildArchive(std::nullopt, {input("a", "a")});
    // The archive header follows the marker; its flags are bytes 3-4 of the block.
    const size_t header = Rar4Signature.size();
    solid[header + 3] = static_cast<char>(ArchiveSolid);
    const uint16_t check = headerCheck(std::string_view(solid).substr(header + 2, ArchiveHeaderSize - 2));
    solid[header] = static_cast<char>(check & 0xFF);
    solid[header + 1] = static_cast<char>(check >> 8);
    ASSERT_NO_THROW(parseRarArchive(solid));
    EXPECT_THROW(buildArchive(solid, {input("b", "b")}), RarError);
}

TEST(RarFormat, DamagedArchivesAreRefusedAtEveryLength) {
    const std::string archive = buildArchive(std::nullopt, {input("a.sub", binary(300)), input("b", "bb")});
    // Every cut that ends inside a block fails with a reason; a cut exactly between blocks simply
    // lacks the end block and the members after it.
    const RarArchive whole = parseRarArchive(archive);
    for (size_t length = 0; length < archive.size(); ++length) {
        bool boundary = false;
        for (const RarBlock& block : whole.blocks)
            boundary = boundary || length == block.offset + block.size;
        if (boundary)
            EXPECT_NO_THROW(parseRarArchive(archive.substr(0, length))) << length;
        else
            EXPECT_THROW(parseRarArchive(archive.substr(0, length)), RarError) << length;
    }
    std::string flipped = archive;
    flipped[Rar4Signature.size() + ArchiveHeaderSize + 10] ^= 0x40; // inside the first file header
    EXPECT_THROW(parseRarArchive(flipped), RarError);
    std::string badData = archive;
    const RarMember& first = whole.members[0];
    badData[first.dataOffset + 5] ^= 0x01;
    const RarArchive parsedBad = parseRarArchive(badData);
    EXPECT_THROW(memberData(badData, parsedBad.members[0]), RarError);
    EXPECT_THROW(parseRarArchive(std::string(Rar5Signature) + std::string(40, '\0')), RarError);
    EXPECT_THROW(parseRarArchive("PK\x03\x04 not a rar"), RarError);
}

} // namespace
} // namespace outside::rar
