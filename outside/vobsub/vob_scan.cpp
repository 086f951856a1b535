#include "outside/vobsub/vob_scan.h"
#include "outside/vobsub/vobsub_error.h"

#include "platform/core/files.h"
#include "platform/dshow/filters/ps_packet.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace outside::vobsub {

namespace {

namespace ps = platform::dshow::filters;

constexpr size_t Mpeg2PackHeader = 14;
constexpr size_t StuffingByte = 13;
constexpr uint8_t StuffingMarker = 0xF8;
constexpr uint8_t PciSubId = 0x00;
constexpr uint8_t DsiSubId = 0x01;
constexpr size_t PciStartPts = 1 + 12; // after the sub-stream byte
constexpr size_t PciEndPts = 1 + 16;
constexpr size_t DsiVobId = 1 + 24;
constexpr size_t DsiCellId = 1 + 27;
constexpr size_t ReadPacks = 256;

std::span<const uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string_view textOf(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

uint32_t be32(std::string_view b, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}

// The pack of a packet for the ".sub" file: the source pack's header without its stuffing, the packet
// and padding to the full size (short gaps as pack stuffing).
std::string ownPack(std::string_view header, std::string_view packet) {
    std::string pack(header.substr(0, StuffingByte));
    size_t gap = PackSize - Mpeg2PackHeader - packet.size();
    const size_t stuffing = gap < ps::kPesPrefixSize ? gap : 0; // too short for a padding packet
    pack.push_back(static_cast<char>(StuffingMarker | stuffing));
    pack.append(stuffing, '\xFF');
    pack += packet;
    gap -= stuffing;
    if (gap > 0) {
        const size_t length = gap - ps::kPesPrefixSize;
        pack += std::string{'\0',
                            '\0',
                            '\1',
                            static_cast<char>(ps::kPaddingStream),
                            static_cast<char>(length >> 8),
                            static_cast<char>(length & 0xFF)};
        pack.append(length, '\xFF');
    }
    return pack;
}

} // namespace

VobScanner::VobScanner(const TitleIfo& title, std::vector<int> streams, Sink sink)
    : title_(title), streams_(std::move(streams)), sink_(std::move(sink)),
      begun_(LastSubpictureId + 1, false) {}

bool VobScanner::scanPack(std::string_view pack) {
    const size_t headerSize = ps::packHeaderSize(bytesOf(pack));
    if (headerSize < Mpeg2PackHeader)
        return false; // no pack, or an MPEG-1 pack, which a DVD never holds
    const std::string_view header = pack.substr(0, headerSize);
    size_t pos = headerSize;
    std::string_view pci;
    while (pos + ps::kPesPrefixSize <= pack.size()) {
        const std::string_view rest = pack.substr(pos);
        if (!ps::isSystemStartCode(bytesOf(rest)))
            return false;
        const auto code = static_cast<uint8_t>(rest[3]);
        if (code == ps::kProgramEndCode)
            break;
        const size_t length = static_cast<uint8_t>(rest[4]) << 8 | static_cast<uint8_t>(rest[5]);
        if (ps::kPesPrefixSize + length > rest.size())
            return false;
        const std::string_view packet = rest.substr(0, ps::kPesPrefixSize + length);
        pos += packet.size();
        if (code == ps::kSystemHeaderCode || code == ps::kPaddingStream)
            continue;
        const std::optional<ps::PesPacket> pes = ps::parsePesPacket(bytesOf(packet));
        if (!pes)
            return false;
        const std::string_view payload = textOf(pes->payload);
        if (code == ps::kPrivateStream2 && !payload.empty()) {
            if (static_cast<uint8_t>(payload[0]) == PciSubId)
                pci = payload;
            else if (static_cast<uint8_t>(payload[0]) == DsiSubId)
                navigation(pci, payload);
            continue;
        }
        if (pes->pts)
            noteTime(*pes->pts);
        if (code != ps::kPrivateStream1 || payload.empty())
            continue;
        const auto subId = static_cast<uint8_t>(payload[0]);
        if (subId < FirstSubpictureId || subId > LastSubpictureId)
            continue;
        const int stream = subId - FirstSubpictureId;
        if (std::find(streams_.begin(), streams_.end(), stream) != streams_.end())
            subpicture(header, packet, stream, pes->pts ? &*pes->pts : nullptr);
    }
    return true;
}

void VobScanner::noteTime(int64_t pts) {
    if (!haveBase_) {
        offset_ = -pts;
        haveBase_ = true;
    }
}

void VobScanner::navigation(std::string_view pci, std::string_view dsi) {
    if (pci.size() < PciEndPts + 4 || dsi.size() <= DsiCellId)
        return;
    const int64_t start = be32(pci, PciStartPts);
    const int64_t end = be32(pci, PciEndPts);
    const auto vob = static_cast<uint16_t>(static_cast<uint8_t>(dsi[DsiVobId]) << 8 |
                                           static_cast<uint8_t>(dsi[DsiVobId + 1]));
    const auto cell = static_cast<uint8_t>(dsi[DsiCellId]);
    if (!(haveCell_ && vob == vobId_ && cell == cellId_)) {
        // A new cell: its first VOBU starts at the cell's place in the title; a cell the title's
        // chain does not list follows on from where the VOBU before it ended.
        const auto it = std::find_if(title_.cells.begin(), title_.cells.end(),
                                     [&](const TitleCell& c) { return c.vobId == vob && c.cellId == cell; });
        if (it != title_.cells.end())
            offset_ = it->start - start;
        else if (haveCell_)
            offset_ = lastEnd_ - start;
        else if (!haveBase_)
            offset_ = -start;
        cellStart_ = std::max<int64_t>(0, start + offset_);
        haveBase_ = true;
        haveCell_ = true;
        vobId_ = vob;
        cellId_ = cell;
    }
    lastEnd_ = end + offset_;
}

void VobScanner::subpicture(std::string_view header, std::string_view packet, int stream,
                            const int64_t* pts) {
    SubpicturePacket out;
    out.stream = stream;
    out.begins = pts != nullptr;
    if (!out.begins && !begun_[static_cast<size_t>(stream)])
        return; // the rest of a subtitle whose start lies before the title
    begun_[static_cast<size_t>(stream)] = true;
    if (pts)
        out.time = std::max<int64_t>(0, *pts + offset_);
    out.vobId = vobId_;
    out.cellId = cellId_;
    out.cellStart = cellStart_;
    out.pack = ownPack(header, packet);
    sink_(out);
}

namespace {

// Fills the buffer from the file as far as it goes; the count read, or -1 when a read fails.
int64_t readBlock(int fd, std::string& buffer) {
    size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(got);
}

} // namespace

void scanVobFiles(const std::vector<std::string>& files, VobScanner& scanner, size_t* damaged) {
    std::string buffer(PackSize * ReadPacks, '\0');
    for (const std::string& file : files) {
        // Only a regular file, never waited on: a pipe of that name (which might never end) is refused.
        const int fd = platform::core::openForReading(file);
        if (fd < 0)
            throw VobSubError("cannot open the VOB file " + file);
        struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } const closer{fd};
        size_t good = 0;
        size_t bad = 0;
        for (;;) {
            const int64_t read = readBlock(fd, buffer);
            if (read < 0)
                throw VobSubError("cannot read the VOB file " + file);
            const auto got = static_cast<size_t>(read);
            for (size_t at = 0; at + PackSize <= got; at += PackSize)
                (scanner.scanPack(std::string_view(buffer).substr(at, PackSize)) ? good : bad) += 1;
            if (got % PackSize)
                ++bad; // a last pack cut short
            if (got < buffer.size())
                break;
        }
        if (good == 0)
            throw VobSubError(file + " is not a VOB file (it holds no MPEG-2 program stream pack)");
        if (damaged)
            *damaged += bad;
    }
}

} // namespace outside::vobsub
