#include "tests/platform/dshow/filters/ffmpeg_reference.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <stdexcept>

namespace kes::test {

std::vector<int16_t> referenceDecode(ReferenceCodec codec, const std::vector<std::vector<uint8_t>>& packets,
                                     int outputRate) {
    const AVCodecID id = codec == ReferenceCodec::Ac3    ? AV_CODEC_ID_AC3
                         : codec == ReferenceCodec::Mpeg ? AV_CODEC_ID_MP2
                                                         : AV_CODEC_ID_PCM_DVD;
    const AVCodec* decoder = avcodec_find_decoder(id);
    AVCodecContext* context = avcodec_alloc_context3(decoder);
    AVDictionary* options = nullptr;
    if (id == AV_CODEC_ID_AC3)
        av_dict_set(&options, "downmix", "stereo", 0);
    if (avcodec_open2(context, decoder, &options) < 0)
        throw std::runtime_error("reference decoder");
    av_dict_free(&options);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwrContext* swr = nullptr;
    std::vector<int16_t> out;
    auto convert = [&](const uint8_t** in, int count) {
        const int room = swr_get_out_samples(swr, count);
        std::vector<int16_t> part(static_cast<size_t>(room) * 2);
        auto* target = reinterpret_cast<uint8_t*>(part.data());
        const int made = swr_convert(swr, &target, room, in, count);
        out.insert(out.end(), part.begin(), part.begin() + made * 2);
    };
    for (const auto& bytes : packets) {
        av_new_packet(packet, static_cast<int>(bytes.size()));
        std::copy(bytes.begin(), bytes.end(), packet->data);
        avcodec_send_packet(context, packet);
        av_packet_unref(packet);
        while (avcodec_receive_frame(context, frame) == 0) {
            if (!swr) {
                AVChannelLayout stereo{};
                av_channel_layout_default(&stereo, 2);
                swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, outputRate, &frame->ch_layout,
                                    static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                    nullptr);
                swr_init(swr);
            }
            convert(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
            av_frame_unref(frame);
        }
    }
    if (swr)
        convert(nullptr, 0);
    swr_free(&swr);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    return out;
}

} // namespace kes::test
