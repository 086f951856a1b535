#include "platform/dshow/filters/ps_packet.h"

#include <gtest/gtest.h>

namespace {

using namespace platform::dshow::filters;
using Bytes = std::vector<uint8_t>;

// PTS 0x1'2345'6789 (33 bits) in its five-byte form with marker bits, after the given prefix nibble.
Bytes timeStamp(uint8_t prefix) {
    const int64_t t = 0x123456789;
    return {static_cast<uint8_t>(prefix | ((t >> 29) & 0x0E) | 1), static_cast<uint8_t>(t >> 22),
            static_cast<uint8_t>(((t >> 14) & 0xFE) | 1), static_cast<uint8_t>(t >> 7),
            static_cast<uint8_t>(((t << 1) & 0xFE) | 1)};
}

Bytes pes(uint8_t id, const Bytes& body) {
    Bytes out = {0, 0, 1, id, static_cast<uint8_t>(body.size() >> 8), static_cast<uint8_t>(body.size())};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

TEST(ProgramStreamPackets, PackHeadersOfBothMpegVersions) {
    Bytes mpeg2 = {0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 0x01, 0x89, 0xC3, 0xF8};
    EXPECT_EQ(packHeaderSize(mpeg2), 14u);
    mpeg2[13] = 0xFA; // two stuffing bytes announced
    EXPECT_EQ(packHeaderSize(mpeg2), 0u);
    mpeg2.push_back(0xFF);
    mpeg2.push_back(0xFF);
    EXPECT_EQ(packHeaderSize(mpeg2), 16u);
    mpeg2[12] = 0; // mux rate markers missing
    EXPECT_EQ(packHeaderSize(mpeg2), 0u);
    const Bytes mpeg1 = {0, 0, 1, 0xBA, 0x21, 0, 1, 0, 1, 0x80, 0, 1};
    EXPECT_EQ(packHeaderSize(mpeg1), 12u);
    EXPECT_EQ(packHeaderSize(Bytes{0, 0, 1, 0xBA}), 0u);
    EXPECT_EQ(packHeaderSize(Bytes{0, 0, 1, 0xBB, 0x44, 0, 4, 0, 4, 1, 0x01, 0x89, 0xC3, 0xF8}), 0u);
}

TEST(ProgramStreamPackets, PesHeadersGiveTimeStampAndPayload) {
    Bytes mpeg2 = {0x81, 0x80, 5};
    const auto stamp = timeStamp(0x20);
    mpeg2.insert(mpeg2.end(), stamp.begin(), stamp.end());
    mpeg2.insert(mpeg2.end(), {0xAA, 0xBB});
    const Bytes first = pes(0xC3, mpeg2);
    auto packet = parsePesPacket(first);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->streamId, 0xC3);
    EXPECT_EQ(packet->pts, 0x123456789);
    EXPECT_EQ(Bytes(packet->payload.begin(), packet->payload.end()), (Bytes{0xAA, 0xBB}));

    // MPEG-1: stuffing, a buffer size field, then PTS and DTS.
    Bytes mpeg1 = {0xFF, 0xFF, 0x60, 0x10};
    const auto both = timeStamp(0x30);
    mpeg1.insert(mpeg1.end(), both.begin(), both.end());
    mpeg1.insert(mpeg1.end(), both.begin(), both.end());
    mpeg1.push_back(0x42);
    const Bytes second = pes(0xE0, mpeg1);
    packet = parsePesPacket(second);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->pts, 0x123456789);
    EXPECT_EQ(packet->payload.size(), 1u);

    Bytes noMarker = mpeg2;
    noMarker[3] &= 0xFE;
    EXPECT_FALSE(parsePesPacket(pes(0xC0, noMarker))->pts.has_value());
    EXPECT_FALSE(parsePesPacket(pes(0xC0, {0x81, 0x80, 40, 1, 2}))); // header longer than the packet
    Bytes cut = pes(0xC0, mpeg2);
    cut.pop_back();
    EXPECT_FALSE(parsePesPacket(cut));
}

TEST(ProgramStreamPackets, PrivateStreamOneSubStreamsLoseTheirHeaders) {
    const Bytes ac3 = pes(0xBD, {0x81, 0x80, 0, 0x85, 2, 0, 1, 0x0B, 0x77});
    auto unit = elementaryUnit(*parsePesPacket(ac3));
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->kind, StreamKind::Ac3);
    EXPECT_EQ(unit->id, 0x85);
    EXPECT_EQ(Bytes(unit->payload.begin(), unit->payload.end()), (Bytes{0x0B, 0x77}));
    EXPECT_EQ(dvdAudioStreamNumber(unit->id), 5);

    const Bytes lpcm = pes(0xBD, {0x81, 0, 0, 0xA3, 1, 0, 1, 0, 0x61, 0x80, 0x12, 0x34});
    unit = elementaryUnit(*parsePesPacket(lpcm));
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->kind, StreamKind::Lpcm);
    EXPECT_EQ(unit->lpcm, (LpcmFormat{44100, 2, 20}));
    EXPECT_EQ(Bytes(unit->payload.begin(), unit->payload.end()), (Bytes{0x12, 0x34}));

    EXPECT_FALSE(elementaryUnit(*parsePesPacket(pes(0xBD, {0x81, 0, 0, 0x20, 1, 2}))));    // subpicture
    EXPECT_FALSE(elementaryUnit(*parsePesPacket(pes(0xBD, {0x81, 0, 0, 0x88, 1, 0, 1})))); // DTS
    EXPECT_FALSE(elementaryUnit(*parsePesPacket(pes(0xBD, {0x81, 0, 0, 0xA0, 1, 0}))));    // cut header
    EXPECT_FALSE(elementaryUnit(*parsePesPacket(pes(0xBD, {0x81, 0, 0, 0xA0, 1, 0, 1, 0, 0xC1, 0x80}))));
    EXPECT_FALSE(elementaryUnit(*parsePesPacket(pes(0xBE, {0xFF, 0xFF}))));
}

TEST(ProgramStreamPackets, TheFirstFramePointerCountsFromTheByteAfterIt) {
    // AC3: the frame begins right after the pointer at 1, two bytes into the payload at 3.
    auto unit =
        elementaryUnit(*parsePesPacket(pes(0xBD, {0x81, 0, 0, 0x80, 1, 0, 3, 0xAA, 0xBB, 0x0B, 0x77})));
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->firstFrame, 2u);
    // LPCM: its three header bytes come first, so 4 is the first sample byte and 6 the third.
    const Bytes header = {0x81, 0, 0, 0xA0, 1, 0, 4, 0, 0x01, 0x80, 1, 2, 3, 4};
    unit = elementaryUnit(*parsePesPacket(pes(0xBD, header)));
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->firstFrame, 0u);
    Bytes later = header;
    later[6] = 6;
    EXPECT_EQ(elementaryUnit(*parsePesPacket(pes(0xBD, later)))->firstFrame, 2u);
    // Pointing into the LPCM header, past the payload, or 0: no frame begins here.
    for (const uint8_t pointer : {0, 3, 9}) {
        Bytes odd = header;
        odd[6] = pointer;
        EXPECT_FALSE(elementaryUnit(*parsePesPacket(pes(0xBD, odd)))->firstFrame) << int{pointer};
    }
}

TEST(ProgramStreamPackets, LpcmHeadersRoundTrip) {
    for (const LpcmFormat format :
         {LpcmFormat{48000, 2, 16}, LpcmFormat{96000, 6, 24}, LpcmFormat{32000, 1, 20}}) {
        const auto header = makeLpcmHeader(format);
        ASSERT_TRUE(header);
        EXPECT_EQ(parseLpcmHeader(*header), format);
    }
    EXPECT_FALSE(makeLpcmHeader({22050, 2, 16}));
    EXPECT_FALSE(makeLpcmHeader({48000, 9, 16}));
    EXPECT_FALSE(parseLpcmHeader(Bytes{0, 0x01}));
}

} // namespace
