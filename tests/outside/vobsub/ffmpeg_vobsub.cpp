#include "ffmpeg_vobsub.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include <map>

namespace kes::test {

namespace {

struct Decoder {
    AVCodecContext* context = nullptr;
    ~Decoder() { avcodec_free_context(&context); }
};

bool decode(Decoder& decoder, AVPacket* packet, DecodedSubtitle& out) {
    AVSubtitle sub{};
    int got = 0;
    if (avcodec_decode_subtitle2(decoder.context, &sub, &got, packet) < 0 || !got)
        return false;
    out.durationMs = sub.end_display_time - sub.start_display_time;
    if (sub.num_rects >= 1) {
        const AVSubtitleRect* r = sub.rects[0];
        out.x = r->x;
        out.y = r->y;
        out.width = r->w;
        out.height = r->h;
        for (int row = 0; row < r->h; ++row)
            out.indexes.insert(out.indexes.end(), r->data[0] + row * r->linesize[0],
                               r->data[0] + row * r->linesize[0] + r->w);
        const auto* colours = reinterpret_cast<const uint32_t*>(r->data[1]);
        out.colours.assign(colours, colours + std::min(r->nb_colors, 4));
    }
    avsubtitle_free(&sub);
    return true;
}

std::vector<FfmpegSubtitleStream> readAll(const std::string& path, std::string* error) {
    std::vector<FfmpegSubtitleStream> streams;
    av_log_set_level(AV_LOG_ERROR);
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        if (error)
            *error = "avformat_open_input failed";
        return streams;
    }
    if (avformat_find_stream_info(format, nullptr) < 0 && error)
        *error = "no stream info";
    std::map<int, size_t> ofStream;
    std::map<int, Decoder> decoders;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* st = format->streams[i];
        if (st->codecpar->codec_id != AV_CODEC_ID_DVD_SUBTITLE)
            continue;
        FfmpegSubtitleStream s;
        s.id = st->id;
        if (const AVDictionaryEntry* lang = av_dict_get(st->metadata, "language", nullptr, 0))
            s.language = lang->value;
        s.width = st->codecpar->width;
        s.height = st->codecpar->height;
        ofStream[static_cast<int>(i)] = streams.size();
        streams.push_back(s);
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_DVD_SUBTITLE);
        Decoder& d = decoders[static_cast<int>(i)];
        d.context = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(d.context, st->codecpar);
        if (avcodec_open2(d.context, codec, nullptr) < 0 && error)
            *error = "decoder does not open";
    }
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        const auto it = ofStream.find(packet->stream_index);
        if (it != ofStream.end()) {
            const AVStream* st = format->streams[packet->stream_index];
            DecodedSubtitle sub;
            sub.startMs = av_rescale_q(packet->pts, st->time_base, AVRational{1, 1000});
            if (decode(decoders[packet->stream_index], packet, sub))
                streams[it->second].subtitles.push_back(sub);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    return streams;
}

} // namespace

std::vector<FfmpegSubtitleStream> readWithFfmpeg(const std::string& idxPath, std::string* error) {
    return readAll(idxPath, error);
}

std::vector<FfmpegSubtitleStream> readVobWithFfmpeg(const std::string& vobPath, std::string* error) {
    return readAll(vobPath, error);
}

} // namespace kes::test
