#pragma once

#include <string>
#include <vector>

#include "platform/RecordingTap.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace tev::test {

// A file decoded back with FFmpeg: 16-bit samples as they are stored, floats through the same
// conversion the recorder uses.
struct Decoded {
    bool opened = false;
    int rate = 0;
    int64_t declaredFrames = 0;    // the length the header gives (WAV data size, FLAC STREAMINFO)
    std::vector<int16_t> samples;  // interleaved stereo
    size_t frames() const { return samples.size() / 2; }
};

inline Decoded Decode(const std::string& path) {
    Decoded out;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        return out;
    }
    avformat_find_stream_info(fmt, nullptr);
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    if (index < 0 || avcodec_parameters_to_context(ctx, fmt->streams[index]->codecpar) < 0 ||
        avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        avformat_close_input(&fmt);
        return out;
    }
    out.opened = true;
    out.rate = ctx->sample_rate;
    const AVStream* stream = fmt->streams[index];
    out.declaredFrames = av_rescale_q(stream->duration, stream->time_base, AVRational{1, out.rate});
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto take = [&] {
        while (avcodec_receive_frame(ctx, frame) >= 0) {
            for (int i = 0; i < frame->nb_samples; ++i) {
                for (int c = 0; c < 2; ++c) {
                    if (frame->format == AV_SAMPLE_FMT_S16) {
                        out.samples.push_back(
                            reinterpret_cast<int16_t*>(frame->data[0])[2 * i + c]);
                    } else {
                        out.samples.push_back(
                            RecordingSample(reinterpret_cast<float*>(frame->data[c])[i]));
                    }
                }
            }
        }
    };
    while (av_read_frame(fmt, packet) >= 0) {
        if (packet->stream_index == index) {
            avcodec_send_packet(ctx, packet);
            take();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(ctx, nullptr);
    take();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    return out;
}

}  // namespace tev::test
