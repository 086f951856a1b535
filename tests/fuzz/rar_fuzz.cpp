// Fuzz target of the RAR reader behind "unrar.dll" and "winrar.exe" (libFuzzer): any bytes are read
// as an archive; every member is looked up by its name and its data taken, and a file is added to it
// as the archiver adds one. Every block and member taken lies inside the bytes.
#include "outside/rar/rar_format.h"
#include "outside/rar/rar_writer.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace rar = outside::rar;
    const std::string_view bytes = kes::fuzz::bytesOf(data, size);
    try {
        const rar::RarArchive archive = rar::parseRarArchive(bytes);
        for (const rar::RarBlock& block : archive.blocks)
            if (block.offset > bytes.size() || block.size > bytes.size() - block.offset)
                std::abort();
        for (const rar::RarMember& member : archive.members) {
            if (member.dataOffset > bytes.size() || member.packedSize > bytes.size() - member.dataOffset)
                std::abort();
            if (rar::findMember(archive, member.name) == nullptr)
                std::abort();
            try {
                const std::string content = rar::memberData(bytes, member);
                if (content.size() != member.size)
                    std::abort();
            } catch (const rar::RarError&) {
            }
        }
        // Adding a file as "winrar.exe a" does gives an archive that reads, with that file in it.
        try {
            const std::string added =
                rar::buildArchive(bytes, {rar::RarInput{"added.txt", "added", 0, 0644}});
            const rar::RarArchive again = rar::parseRarArchive(added);
            const rar::RarMember* member = rar::findMember(again, "added.txt");
            if (member == nullptr || rar::memberData(added, *member) != "added")
                std::abort();
        } catch (const rar::RarError&) {
            // a volume, a locked or a solid archive is refused
        }
    } catch (const rar::RarError&) {
    }
    // The Unicode name form, with the input cut in two at its first zero byte.
    const auto parts = kes::fuzz::fields(bytes, 2);
    static_cast<void>(rar::decodeUnicodeName(parts[0], parts.size() > 1 ? parts[1] : std::string()));
    return 0;
}
