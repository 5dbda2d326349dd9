#include "input/TrackDecoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "analysis/SampleFormat.h"
#include "core/AppMessages.h"

namespace tev {

TrackDecoder trackDecoder[kDeckCount];

namespace {

// Demuxers of audio containers. Anything else (play lists such as HLS or ffconcat, SDP, image
// and video formats, subtitles) is refused, even when the file's name says otherwise.
constexpr const char* kAudioContainers =
    "mp3,ogg,wav,w64,asf,flac,aiff,au,caf,mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,aac,ac3,eac3,dts,"
    "mpc,mpc8,ape,wv,tta,tak,shorten,amr,voc,truehd,mlp,dsf,xwma,oma,mp2,mpegaudio";

constexpr int kIoBufferBytes = 64 * 1024;
// The largest single block FFmpeg may allocate. Demuxers size some buffers from the file's own
// claims (a WAV LIST chunk of 2.7 GB makes the RIFF reader ask for 157 MB per INFO tag), so a
// tiny hostile file could make the process grow by gigabytes. Real files stay far below this:
// cover art, the largest codec frames and the capped seek index. The fuzzer's -malloc_limit_mb
// in the Makefile is the same number.
constexpr size_t kMaxAllocationBytes = 64 * 1024 * 1024;
constexpr unsigned kMaxIndexBytes = 32 * 1024;
// Consecutive packets that fail to decode before the rest of the file counts as unreadable.
constexpr int kMaxConsecutiveErrors = 500;
// How far before the target a seek starts, tried in turn while a seek lands late.
constexpr double kSeekMarginsSeconds[] = {0.5, 3.0, 20.0};

// Reads the file through a descriptor of ours, so that FFmpeg never opens anything by name.
struct FileSource {
    int fd = -1;
    int64_t size = 0;
    int64_t position = 0;
};

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
    auto* source = static_cast<FileSource*>(opaque);
    const ssize_t got = pread(source->fd, buffer, static_cast<size_t>(size), source->position);
    if (got < 0) {
        return AVERROR(errno);
    }
    if (got == 0) {
        return AVERROR_EOF;
    }
    source->position += got;
    return static_cast<int>(got);
}

int64_t SeekSource(void* opaque, int64_t offset, int whence) {
    auto* source = static_cast<FileSource*>(opaque);
    if ((whence & AVSEEK_SIZE) != 0) {
        return source->size;
    }
    int64_t target = offset;
    switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            break;
        case SEEK_CUR:
            target = source->position + offset;
            break;
        case SEEK_END:
            target = source->size + offset;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (target < 0) {
        return AVERROR(EINVAL);
    }
    source->position = target;
    return target;
}

// A demuxer that wants to open another resource (a segment, an included file) is refused.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// What find_stream_info reads of a file whose header already says everything.
constexpr int64_t kHeaderOnlyProbeBytes = 32 * 1024;

// Uncompressed audio (WAV, AIFF and the like): the header gives the format and the length.
bool HeaderDescribesAll(const AVFormatContext* format) {
    if (format->nb_streams == 0) {
        return false;
    }
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* p = format->streams[i]->codecpar;
        if (p->codec_type != AVMEDIA_TYPE_AUDIO || av_get_exact_bits_per_sample(p->codec_id) <= 0 ||
            p->sample_rate <= 0 || p->ch_layout.nb_channels <= 0) {
            return false;
        }
    }
    return true;
}

// One opened container with its chosen audio stream.
struct Container {
    FileSource source;
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    int streamIndex = -1;
    const AVCodec* codec = nullptr;

    Container() = default;
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;
    ~Container() { Release(); }

    bool Open(int fd, int64_t size, const std::string& name) {
        source = {fd, size, 0};
        auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
        if (buffer == nullptr) {
            return false;
        }
        io =
            avio_alloc_context(buffer, kIoBufferBytes, 0, &source, ReadPacket, nullptr, SeekSource);
        if (io == nullptr) {
            av_free(buffer);
            return false;
        }
        format = avformat_alloc_context();
        if (format == nullptr) {
            return false;
        }
        format->pb = io;
        format->flags |= AVFMT_FLAG_CUSTOM_IO;
        format->io_open = RefuseNestedOpen;
        // Demuxers index what they read for seeking; a small cap keeps memory flat however long
        // the file (seeks stay exact: they decode up to the target from wherever they land).
        format->max_index_size = kMaxIndexBytes;
        AVDictionary* options = nullptr;
        av_dict_set(&options, "format_whitelist", kAudioContainers, 0);
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        const int opened = avformat_open_input(&format, name.c_str(), nullptr, &options);
        av_dict_free(&options);
        if (opened < 0) {
            format = nullptr;  // freed by avformat_open_input
            return false;
        }
        if (HeaderDescribesAll(format)) {
            // Reading on (up to 5 MB of samples) would only cost time: several milliseconds a
            // file when a whole library is measured.
            format->probesize = kHeaderOnlyProbeBytes;
        }
        if (avformat_find_stream_info(format, nullptr) < 0) {
            return false;
        }
        streamIndex = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (streamIndex < 0 || codec == nullptr) {
            return false;  // no audio at all: a text or image file FFmpeg happened to read
        }
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            if (static_cast<int>(i) != streamIndex) {
                format->streams[i]->discard = AVDISCARD_ALL;  // cover art, video
            }
        }
        return true;
    }

    void Release() {
        if (format != nullptr) {
            avformat_close_input(&format);
        }
        if (io != nullptr) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
        streamIndex = -1;
    }

    AVStream* stream() const { return format->streams[streamIndex]; }
};

// The duration from the packets themselves, for containers that only estimate it.
double MeasureDurationByPackets(int fd, int64_t size, const std::string& name) {
    Container scan;
    if (!scan.Open(fd, size, name)) {
        return 0.0;
    }
    const AVStream* stream = scan.stream();
    AVPacket* packet = av_packet_alloc();
    int64_t first = AV_NOPTS_VALUE;
    int64_t end = AV_NOPTS_VALUE;
    while (packet != nullptr && av_read_frame(scan.format, packet) >= 0) {
        if (packet->stream_index == scan.streamIndex && packet->pts != AV_NOPTS_VALUE) {
            first = first == AV_NOPTS_VALUE ? packet->pts : std::min(first, packet->pts);
            const int64_t packetEnd = packet->pts + std::max<int64_t>(packet->duration, 0);
            end = end == AV_NOPTS_VALUE ? packetEnd : std::max(end, packetEnd);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (first == AV_NOPTS_VALUE || end <= first) {
        return 0.0;
    }
    return static_cast<double>(end - first) * av_q2d(stream->time_base);
}

}  // namespace

struct TrackDecoder::Stream {
    int fd = -1;
    Container container;
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int outChannels = 2;  // 1 or 2: what `pending` holds
    int rate = 44100;
    int64_t startPts = 0;
    AVRational timeBase{1, 1};
    // Decoded 16-bit samples (outChannels per frame) not yet delivered, from pendingPos on.
    std::vector<int16_t> pending;
    size_t pendingPos = 0;
    std::vector<int16_t> scratch;
    bool demuxEnded = false;
    bool decoderEnded = false;
    int errors = 0;
    // Set by the last decoded frame: the index of its first sample, or -1 when unknown.
    int64_t lastFrameStart = -1;
    // Layout and format the resampler was set up for.
    int resamplerFormat = -1;
    AVChannelLayout resamplerLayout{};

    ~Stream() {
        swr_free(&resampler);
        av_channel_layout_uninit(&resamplerLayout);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        container.Release();
        if (fd >= 0) {
            ::close(fd);
        }
    }

    size_t PendingFrames() const {
        return (pending.size() - pendingPos) / static_cast<size_t>(outChannels);
    }

    void DropPending() {
        pending.clear();
        pendingPos = 0;
    }

    // Appends the frame's samples to `pending` as 16-bit, outChannels wide.
    bool Convert(const AVFrame* f) {
        const int samples = f->nb_samples;
        if (samples <= 0) {
            return true;
        }
        if (pendingPos > 0 && pendingPos == pending.size()) {
            DropPending();
        }
        const auto format = static_cast<AVSampleFormat>(f->format);
        const int channels = f->ch_layout.nb_channels;
        const size_t base = pending.size();
        const size_t count = static_cast<size_t>(samples) * static_cast<size_t>(outChannels);
        if (channels == outChannels && f->sample_rate == rate &&
            (format == AV_SAMPLE_FMT_S16 || format == AV_SAMPLE_FMT_U8 ||
             (format == AV_SAMPLE_FMT_S16P && channels == 2))) {
            pending.resize(base + count);
            int16_t* out = pending.data() + base;
            if (format == AV_SAMPLE_FMT_S16) {
                std::memcpy(out, f->extended_data[0], count * sizeof(int16_t));
            } else if (format == AV_SAMPLE_FMT_U8) {
                Widen8To16(f->extended_data[0], out, count);
            } else {
                InterleaveStereo16(reinterpret_cast<const int16_t*>(f->extended_data[0]),
                                   reinterpret_cast<const int16_t*>(f->extended_data[1]), out,
                                   static_cast<size_t>(samples));
            }
            return true;
        }
        if (!EnsureResampler(f)) {
            return false;
        }
        const int room = swr_get_out_samples(resampler, samples);
        if (room < 0) {
            return false;
        }
        pending.resize(base + static_cast<size_t>(room) * static_cast<size_t>(outChannels));
        auto* out = reinterpret_cast<uint8_t*>(pending.data() + base);
        const int made = swr_convert(resampler, &out, room,
                                     const_cast<const uint8_t**>(f->extended_data), samples);
        if (made < 0) {
            pending.resize(base);
            return false;
        }
        pending.resize(base + static_cast<size_t>(made) * static_cast<size_t>(outChannels));
        return true;
    }

    bool EnsureResampler(const AVFrame* f) {
        if (resampler != nullptr && resamplerFormat == f->format &&
            av_channel_layout_compare(&resamplerLayout, &f->ch_layout) == 0) {
            return true;
        }
        swr_free(&resampler);
        av_channel_layout_uninit(&resamplerLayout);
        AVChannelLayout in{};
        if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_default(&in, f->ch_layout.nb_channels);
        } else if (av_channel_layout_copy(&in, &f->ch_layout) < 0) {
            return false;
        }
        AVChannelLayout out{};
        av_channel_layout_default(&out, outChannels);
        // A different rate mid-stream (rare) is brought back to the rate the deck plays at.
        const int made = swr_alloc_set_opts2(
            &resampler, &out, AV_SAMPLE_FMT_S16, rate, &in, static_cast<AVSampleFormat>(f->format),
            f->sample_rate > 0 ? f->sample_rate : rate, 0, nullptr);
        av_channel_layout_uninit(&out);
        if (made < 0 || swr_init(resampler) < 0) {
            av_channel_layout_uninit(&in);
            swr_free(&resampler);
            return false;
        }
        resamplerFormat = f->format;
        resamplerLayout = in;
        return true;
    }

    int64_t FrameStart(const AVFrame* f) const {
        const int64_t pts =
            f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
        if (pts == AV_NOPTS_VALUE) {
            return -1;
        }
        return av_rescale_q(pts - startPts, timeBase, AVRational{1, rate});
    }

    // Decodes until at least one more frame of audio is pending; false at the end of the file
    // (or of what can be decoded of it).
    bool DecodeMore() {
        while (!decoderEnded) {
            const int received = avcodec_receive_frame(codec, frame);
            if (received == 0) {
                lastFrameStart = FrameStart(frame);
                const size_t before = PendingFrames();
                const bool converted = Convert(frame);
                av_frame_unref(frame);
                if (!converted && ++errors > kMaxConsecutiveErrors) {
                    decoderEnded = true;
                }
                if (converted) {
                    errors = 0;
                }
                if (PendingFrames() > before) {
                    return true;
                }
                continue;
            }
            if (received == AVERROR_EOF) {
                decoderEnded = true;
                break;
            }
            if (received != AVERROR(EAGAIN)) {
                if (++errors > kMaxConsecutiveErrors) {
                    decoderEnded = true;
                }
                continue;
            }
            if (demuxEnded) {
                decoderEnded = true;  // flushed and drained
                break;
            }
            const int read = av_read_frame(container.format, packet);
            if (read < 0) {
                demuxEnded = true;
                avcodec_send_packet(codec, nullptr);  // drain what the decoder holds
                continue;
            }
            if (packet->stream_index == container.streamIndex) {
                const int sent = avcodec_send_packet(codec, packet);
                if (sent < 0 && sent != AVERROR(EAGAIN) && ++errors > kMaxConsecutiveErrors) {
                    decoderEnded = true;
                }
            }
            av_packet_unref(packet);
        }
        return false;
    }

    // Positions the stream at sample `target`: seeks a margin early, then decodes and discards
    // up to the target. False when the seek landed after the target.
    bool SeekNear(int64_t target, double marginSeconds) {
        const AVStream* stream = container.stream();
        const double at = std::max(0.0, static_cast<double>(target) / rate - marginSeconds);
        const int64_t ts = startPts + static_cast<int64_t>(at / av_q2d(stream->time_base));
        if (av_seek_frame(container.format, container.streamIndex, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
            avformat_seek_file(container.format, container.streamIndex, INT64_MIN, ts, ts, 0) < 0) {
            return false;
        }
        avcodec_flush_buffers(codec);
        DropPending();
        demuxEnded = false;
        decoderEnded = false;
        errors = 0;
        bool first = true;
        while (DecodeMore()) {
            const int64_t start = lastFrameStart;
            const size_t frames = PendingFrames();
            if (start < 0) {
                return true;  // no time stamps: take the landing as it is
            }
            if (first && start > target + static_cast<int64_t>(kChunkFrames) / 2 && at > 0.0) {
                return false;
            }
            first = false;
            if (start + static_cast<int64_t>(frames) <= target) {
                DropPending();
                continue;
            }
            const auto skip = static_cast<size_t>(std::max<int64_t>(0, target - start));
            pendingPos += skip * static_cast<size_t>(outChannels);
            return true;
        }
        return true;  // the end of the file: nothing left to play
    }
};

TrackDecoder::TrackDecoder() {
    // Once, before any file is opened. FFmpeg reports every oddity of a damaged file on standard
    // error; the decoder reports failures through its results instead.
    static const bool configured = [] {
        av_log_set_level(AV_LOG_QUIET);
        av_max_alloc(kMaxAllocationBytes);
        return true;
    }();
    (void)configured;
}

TrackDecoder::~TrackDecoder() {
    Close();
}

HRESULT TrackDecoder::Open(const std::string& path) {
    Close();
    bytesDecoded_.store(0, std::memory_order_relaxed);
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return E_UNEXPECTED;
    }
    path_ = path;
    auto stream = std::make_unique<Stream>();
    // Non-blocking, in case the path was swapped for a pipe since it was looked at.
    stream->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat opened {};
    if (stream->fd < 0 || fstat(stream->fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        path_.clear();
        return E_UNEXPECTED;
    }
    const int64_t size = opened.st_size;
    Container& c = stream->container;
    if (!c.Open(stream->fd, size, path)) {
        path_.clear();
        return E_FAIL;
    }
    stream->codec = avcodec_alloc_context3(c.codec);
    stream->packet = av_packet_alloc();
    stream->frame = av_frame_alloc();
    if (stream->codec == nullptr || stream->packet == nullptr || stream->frame == nullptr ||
        avcodec_parameters_to_context(stream->codec, c.stream()->codecpar) < 0) {
        path_.clear();
        return E_FAIL;
    }
    stream->codec->thread_count = 1;
    if (avcodec_open2(stream->codec, c.codec, nullptr) < 0 || stream->codec->sample_rate <= 0 ||
        stream->codec->sample_rate > 768000 || stream->codec->ch_layout.nb_channels <= 0) {
        path_.clear();
        return E_FAIL;
    }
    const AVStream* audio = c.stream();
    stream->rate = stream->codec->sample_rate;
    stream->outChannels = stream->codec->ch_layout.nb_channels == 1 ? 1 : 2;
    stream->timeBase = audio->time_base;
    stream->startPts = audio->start_time != AV_NOPTS_VALUE ? audio->start_time : 0;

    double seconds = 0.0;
    if (c.format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) {
        if (audio->duration != AV_NOPTS_VALUE && audio->duration > 0) {
            seconds = static_cast<double>(audio->duration) * av_q2d(audio->time_base);
        } else if (c.format->duration != AV_NOPTS_VALUE && c.format->duration > 0) {
            seconds = static_cast<double>(c.format->duration) / AV_TIME_BASE;
        }
    }
    if (seconds <= 0.0) {
        // Only estimated from the bit rate, or not known: count what the packets hold.
        seconds = MeasureDurationByPackets(stream->fd, size, path);
    }
    const AVSampleFormat format = stream->codec->sample_fmt;
    bitsPerSample_ = (format == AV_SAMPLE_FMT_U8 || format == AV_SAMPLE_FMT_U8P) ? 8U : 16U;
    channels_ = static_cast<uint32_t>(stream->outChannels);
    sampleRate_ = static_cast<uint32_t>(stream->rate);
    durationSeconds_ = seconds;
    totalBytes_ = static_cast<uint64_t>(seconds * SampleRate() * SourceBytesPerFrame());
    stream_ = std::move(stream);
    open_.exchange(1);
    return S_OK;
}

void TrackDecoder::ContinueWith(const std::string& path) {
    nextPath_ = path;
    continue_.exchange(1);
}

void TrackDecoder::Close() {
    stream_.reset();
    open_.exchange(0);
    continue_.exchange(0);
    path_.clear();
    durationSeconds_ = 0.0;
    totalBytes_ = 0;
}

uint32_t TrackDecoder::Fill(int16_t* out, uint32_t frames) {
    Stream& s = *stream_;
    uint32_t done = 0;
    while (done < frames) {
        if (s.PendingFrames() == 0 && !s.DecodeMore()) {
            break;
        }
        const auto take = static_cast<uint32_t>(
            std::min<size_t>(s.PendingFrames(), static_cast<size_t>(frames - done)));
        const int16_t* from = s.pending.data() + s.pendingPos;
        if (s.outChannels == 1) {
            MonoToStereo16(from, out + 2 * done, take);
        } else {
            std::memcpy(out + 2 * done, from, static_cast<size_t>(take) * 2 * sizeof(int16_t));
        }
        s.pendingPos += static_cast<size_t>(take) * static_cast<size_t>(s.outChannels);
        done += take;
    }
    return done;
}

HRESULT TrackDecoder::Read(int deck, uint8_t* destination, uint32_t& byteCount, bool& endOfStream) {
    byteCount = 0;
    endOfStream = false;
    if (!stream_) {
        return E_UNEXPECTED;
    }
    auto* out = reinterpret_cast<int16_t*>(destination);
    uint32_t filled = Fill(out, kChunkFrames);
    byteCount = filled * SourceBytesPerFrame();
    bytesDecoded_.fetch_add(byteCount, std::memory_order_relaxed);
    // Look ahead, so that a track ending exactly on a chunk's end is reported with that chunk
    // rather than with an extra chunk of silence.
    bool ended = filled < kChunkFrames || (stream_->PendingFrames() == 0 && !stream_->DecodeMore());
    LPARAM why = kTrackEnded;
    // The format of the track the deck's buffers play.
    const uint32_t rate = SampleRate();
    const uint32_t channels = Channels();
    const uint32_t bits = BitsPerSample();
    while (ended) {
        std::memset(out + 2 * filled, 0,
                    static_cast<size_t>(kChunkFrames - filled) * kBytesPerFrame);
        // The deck may name its next track while we wait here.
        SendAppMessage(hMixerWnd, WM_TRACK_ENDED, static_cast<WPARAM>(deck), why);
        // The flag is used up here, so that the next track's end stops unless the deck
        // continues again.
        if (continue_.exchange(0) == 0) {
            endOfStream = true;
            break;
        }
        // Opened here, on the reader's thread, so that the UI thread never waits for the file
        // system and nothing can stop this reader while the UI thread is inside its message.
        const std::string next = std::move(nextPath_);
        if (Open(next) != S_OK) {
            why = kNextTrackUnreadable;
            continue;
        }
        if (SampleRate() != rate) {
            // The deck's buffers play at the first track's rate: this one would sound at
            // another pitch. The deck loads it afresh after this track instead; meanwhile its
            // rate is still the one the deck hears.
            Close();
            sampleRate_.store(rate, std::memory_order_relaxed);
            channels_.store(channels, std::memory_order_relaxed);
            bitsPerSample_.store(bits, std::memory_order_relaxed);
            why = kNextTrackOtherRate;
            continue;
        }
        why = kTrackEnded;
        const uint32_t more = Fill(out + 2 * filled, kChunkFrames - filled);
        bytesDecoded_.store(static_cast<uint64_t>(more) * SourceBytesPerFrame(),
                            std::memory_order_relaxed);
        filled += more;
        ended = filled < kChunkFrames || (stream_->PendingFrames() == 0 && !stream_->DecodeMore());
    }
    if (endOfStream) {
        Close();
    }
    return S_OK;
}

void TrackDecoder::Seek(double fraction) {
    if (!stream_) {
        return;
    }
    if (!(fraction > 0.0)) {
        fraction = 0.0;  // also NaN
    }
    fraction = std::min(fraction, 1.0);
    const auto target = static_cast<int64_t>(fraction * durationSeconds_.load() * SampleRate());
    bool landed = false;
    for (const double margin : kSeekMarginsSeconds) {
        if (stream_->SeekNear(target, margin)) {
            landed = true;
            break;
        }
    }
    if (!landed) {
        stream_->SeekNear(target, static_cast<double>(target) / SampleRate() + 1.0);  // from 0
    }
    bytesDecoded_.store(static_cast<uint64_t>(target) * SourceBytesPerFrame(),
                        std::memory_order_relaxed);
}

double TrackDecoder::GetDuration() const {
    return open_.load() != 0 ? durationSeconds_.load() : 0.0;
}

double TrackDecoder::GetPosition() const {
    if (open_.load() == 0 || SampleRate() == 0) {
        return 0.0;
    }
    return static_cast<double>(BytesDecoded()) / (SampleRate() * SourceBytesPerFrame());
}

std::string TrackDecoder::GetTitle() const {
    if (!stream_) {
        return {};
    }
    const AVDictionaryEntry* title =
        av_dict_get(stream_->container.format->metadata, "title", nullptr, 0);
    if (title == nullptr || title->value[0] == '\0') {
        // Ogg keeps its comments with the stream.
        title = av_dict_get(stream_->container.stream()->metadata, "title", nullptr, 0);
    }
    return title != nullptr ? std::string(title->value) : std::string();
}

std::string DecoderLibraryVersion() {
    return std::string("FFmpeg ") + av_version_info();
}

}  // namespace tev
