#include "output/Recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/AudioThread.h"
#include "platform/SoundCard.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace tev {
namespace {

struct FormatInfo {
    RecordingFormat format;
    const char* name;
    const char* extension;
    const char* muxer;
    const char* encoder;
    AVSampleFormat sampleFormat;
};

constexpr FormatInfo kFormats[] = {
    {RecordingFormat::Flac, "FLAC", "flac", "flac", "flac", AV_SAMPLE_FMT_S16},
    {RecordingFormat::Wav, "WAV", "wav", "wav", "pcm_s16le", AV_SAMPLE_FMT_S16},
    {RecordingFormat::Mp3, "MP3", "mp3", "mp3", "libmp3lame", AV_SAMPLE_FMT_FLTP},
    {RecordingFormat::Vorbis, "Ogg Vorbis", "ogg", "ogg", "libvorbis", AV_SAMPLE_FMT_FLTP},
};

const FormatInfo& Info(RecordingFormat format) {
    return kFormats[static_cast<int>(format)];
}

std::string ErrorText(int err) {
    switch (err) {
        case ENOSPC:
        case EDQUOT:
            return "the disk is full";
        case EFBIG:
            return "the file has reached the largest size allowed";
        case EACCES:
        case EPERM:
        case EROFS:
            return "there is no permission to write there";
        case ENOENT:
        case ENOTDIR:
            return "the folder is gone";
        case EIO:
            return "the disk reported an error";
        default:
            return std::strerror(err);
    }
}

std::string AvErrorText(int averror) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(averror, text, sizeof text);
    return text;
}

// Position in a recording as h:mm:ss.mmm.
std::string Clock(uint64_t frames, uint32_t rate) {
    const uint64_t ms = frames * 1000 / rate;
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu.%03llu",
                  static_cast<unsigned long long>(ms / 3600000),
                  static_cast<unsigned long long>(ms / 60000 % 60),
                  static_cast<unsigned long long>(ms / 1000 % 60),
                  static_cast<unsigned long long>(ms % 1000));
    return text;
}

// The file under FFmpeg's muxer. A write that fails cuts the file back to the last checkpoint
// (the end of the last packets that landed whole); after that only the muxer's header updates
// within what was kept go through, so that the trailer still finalises the file.
struct FileSink {
    int fd = -1;
    int64_t pos = 0;
    int64_t size = 0;
    int64_t good = 0;
    int err = 0;

#if defined(FF_API_AVIO_WRITE_NONCONST) && !FF_API_AVIO_WRITE_NONCONST
    using Bytes = const uint8_t*;
#else
    using Bytes = uint8_t*;
#endif

    static int Write(void* opaque, Bytes buf, int length) {
        auto& sink = *static_cast<FileSink*>(opaque);
        if (sink.err != 0 && sink.pos + length > sink.good) {
            return AVERROR(sink.err);
        }
        int done = 0;
        while (done < length) {
            const ssize_t n =
                pwrite(sink.fd, buf + done, static_cast<size_t>(length - done), sink.pos + done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                sink.err = n < 0 ? errno : ENOSPC;
                if (ftruncate(sink.fd, sink.good) != 0) {
                    // The cut is best effort: the header update after it says what is valid.
                }
                sink.size = sink.good;
                return AVERROR(sink.err);
            }
            done += static_cast<int>(n);
        }
        sink.pos += length;
        sink.size = std::max(sink.size, sink.pos);
        return length;
    }

    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        auto& sink = *static_cast<FileSink*>(opaque);
        switch (whence & ~AVSEEK_FORCE) {
            case AVSEEK_SIZE:
                return sink.size;
            case SEEK_SET:
                sink.pos = offset;
                break;
            case SEEK_CUR:
                sink.pos += offset;
                break;
            case SEEK_END:
                sink.pos = sink.size + offset;
                break;
            default:
                return AVERROR(EINVAL);
        }
        return sink.pos;
    }
};

void PutLe(int fd, int64_t at, uint64_t value, int bytes) {
    uint8_t b[8];
    for (int i = 0; i < bytes; ++i) {
        b[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    if (pwrite(fd, b, static_cast<size_t>(bytes), at) != bytes) {
        // Nothing more can be done for a disk that refuses to overwrite a header.
    }
}

// After a write error: the WAV's RIFF (or RF64) and data sizes, which the muxer computed from
// what it handed over rather than what landed.
void FixWavHeader(int fd, int64_t fileSize) {
    uint8_t head[12];
    if (pread(fd, head, sizeof head, 0) != sizeof head) {
        return;
    }
    const bool rf64 = std::memcmp(head, "RF64", 4) == 0;
    int64_t at = 12;
    while (at + 8 <= fileSize) {
        uint8_t chunk[8];
        if (pread(fd, chunk, 8, at) != 8) {
            return;
        }
        const uint32_t length =
            chunk[4] | chunk[5] << 8 | chunk[6] << 16 | static_cast<uint32_t>(chunk[7]) << 24;
        if (std::memcmp(chunk, "data", 4) == 0) {
            const auto data = static_cast<uint64_t>(fileSize - at - 8);
            if (rf64) {
                PutLe(fd, 20, static_cast<uint64_t>(fileSize - 8), 8);  // in ds64
                PutLe(fd, 28, data, 8);
                PutLe(fd, 36, data / 4, 8);
            } else {
                PutLe(fd, 4, static_cast<uint64_t>(fileSize - 8), 4);
                PutLe(fd, at + 4, data, 4);
            }
            return;
        }
        at += 8 + length + (length & 1);
    }
}

// After a write error: the FLAC STREAMINFO's sample count, set to what landed, and its MD5
// signature, which covers samples that did not, cleared (zero means "not computed").
void FixFlacHeader(int fd, uint64_t frames) {
    uint8_t b[21] = {};
    if (pread(fd, b, 1, 21) != 1) {
        return;
    }
    b[0] = static_cast<uint8_t>((b[0] & 0xF0) | ((frames >> 32) & 0x0F));
    for (int i = 0; i < 4; ++i) {
        b[1 + i] = static_cast<uint8_t>(frames >> (24 - 8 * i));
    }
    if (pwrite(fd, b, sizeof b, 21) != sizeof b) {
        // As above.
    }
}

// One file being encoded. Made on the UI thread, then used by the writer thread alone.
class Encoder {
  public:
    ~Encoder() { Close(); }

    bool Open(const std::string& path, RecordingFormat format, uint32_t rate, std::string& error) {
        info_ = &Info(format);
        rate_ = rate;
        const AVCodec* codec = avcodec_find_encoder_by_name(info_->encoder);
        if (codec == nullptr) {
            error = std::string("This FFmpeg has no ") + info_->name + " encoder.";
            return false;
        }
        if (avformat_alloc_output_context2(&fmt_, nullptr, info_->muxer, path.c_str()) < 0) {
            error = std::string("This FFmpeg cannot write ") + info_->name + " files.";
            return false;
        }
        stream_ = avformat_new_stream(fmt_, nullptr);
        ctx_ = avcodec_alloc_context3(codec);
        if (stream_ == nullptr || ctx_ == nullptr) {
            error = "Out of memory.";
            return false;
        }
        ctx_->sample_rate = static_cast<int>(rate);
        ctx_->sample_fmt = info_->sampleFormat;
        av_channel_layout_default(&ctx_->ch_layout, 2);
        ctx_->time_base = AVRational{1, static_cast<int>(rate)};
        if (format == RecordingFormat::Mp3) {
            ctx_->bit_rate = 320000;
        } else if (format == RecordingFormat::Vorbis) {
            ctx_->flags |= AV_CODEC_FLAG_QSCALE;
            ctx_->global_quality = 6 * FF_QP2LAMBDA;  // about 192 kbit/s
        }
        if ((fmt_->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
            ctx_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        int ret = avcodec_open2(ctx_, codec, nullptr);
        if (ret < 0) {
            error = std::string("The ") + info_->name +
                    " encoder does not start: " + AvErrorText(ret) + ".";
            return false;
        }
        avcodec_parameters_from_context(stream_->codecpar, ctx_);
        stream_->time_base = ctx_->time_base;
        frameSize_ = ctx_->frame_size > 0 ? ctx_->frame_size : 4096;

        sink_.fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (sink_.fd < 0) {
            error = "Cannot create " + path + ": " + ErrorText(errno) + ".";
            return false;
        }
        path_ = path;
        constexpr int kIoBytes = 1 << 16;
        auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBytes));
        fmt_->pb = avio_alloc_context(buffer, kIoBytes, 1, &sink_, nullptr, &FileSink::Write,
                                      &FileSink::Seek);
        fmt_->flags |= AVFMT_FLAG_CUSTOM_IO;
        AVDictionary* options = nullptr;
        if (format == RecordingFormat::Wav) {
            av_dict_set(&options, "rf64", "auto", 0);  // RF64 once the file passes 4 GB
        }
        ret = avformat_write_header(fmt_, &options);
        av_dict_free(&options);
        if (ret >= 0) {
            avio_flush(fmt_->pb);
        }
        if (ret < 0 || sink_.err != 0) {
            error = "Cannot write " + path + ": " +
                    (sink_.err != 0 ? ErrorText(sink_.err) : AvErrorText(ret)) + ".";
            return false;
        }
        headerWritten_ = true;
        sink_.good = sink_.size;
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        frame_->nb_samples = frameSize_;
        frame_->format = info_->sampleFormat;
        frame_->sample_rate = ctx_->sample_rate;
        av_channel_layout_copy(&frame_->ch_layout, &ctx_->ch_layout);
        if (av_frame_get_buffer(frame_, 0) < 0) {
            error = "Out of memory.";
            return false;
        }
        return true;
    }

    // Encodes interleaved stereo frames; false on a write error (see errorText).
    bool Add(const float* stereo, uint64_t frames) {
        while (frames > 0) {
            if (filled_ == 0 && av_frame_make_writable(frame_) < 0) {
                return Fail(AVERROR(ENOMEM));
            }
            const auto n = static_cast<int>(
                std::min<uint64_t>(frames, static_cast<uint64_t>(frameSize_ - filled_)));
            if (info_->sampleFormat == AV_SAMPLE_FMT_S16) {
                auto* out = reinterpret_cast<int16_t*>(frame_->data[0]) + 2 * filled_;
                for (int i = 0; i < 2 * n; ++i) {
                    out[i] = RecordingSample(stereo[i]);
                }
            } else {
                auto* left = reinterpret_cast<float*>(frame_->data[0]) + filled_;
                auto* right = reinterpret_cast<float*>(frame_->data[1]) + filled_;
                for (int i = 0; i < n; ++i) {
                    left[i] = stereo[2 * i];
                    right[i] = stereo[2 * i + 1];
                }
            }
            filled_ += n;
            stereo += 2 * n;
            frames -= static_cast<uint64_t>(n);
            added_ += static_cast<uint64_t>(n);
            if (filled_ == frameSize_ && !Send(frame_)) {
                return false;
            }
        }
        return true;
    }

    // Hands what was written so far to the file; `landed` then counts the frames in it.
    bool Checkpoint() {
        avio_flush(fmt_->pb);
        if (sink_.err != 0 || fmt_->pb->error < 0) {
            return Fail(fmt_->pb->error < 0 ? fmt_->pb->error : AVERROR(sink_.err));
        }
        // Writing on into a file whose folder was deleted loses it all when it is closed.
        struct stat named {};
        struct stat open {};
        if (stat(path_.c_str(), &named) != 0 || fstat(sink_.fd, &open) != 0 ||
            named.st_ino != open.st_ino || named.st_dev != open.st_dev) {
            return Fail(AVERROR(ENOENT));
        }
        sink_.good = sink_.size;
        landed_ = pending_;
        return true;
    }

    // Flushes the encoder (unless writing failed) and finalises the file; false when writing
    // failed, now or before.
    bool Finish() {
        if (fmt_ == nullptr || !headerWritten_) {
            return sink_.err == 0;
        }
        if (sink_.err == 0) {
            if (filled_ > 0) {
                frame_->nb_samples = filled_;
                Send(frame_);
            }
            if (sink_.err == 0 && Send(nullptr)) {
                Checkpoint();
            }
        }
        av_write_trailer(fmt_);
        avio_flush(fmt_->pb);
        if (sink_.err == 0 && fmt_->pb->error < 0) {
            Fail(fmt_->pb->error);
        }
        if (sink_.err != 0) {
            if (info_->format == RecordingFormat::Wav) {
                FixWavHeader(sink_.fd, sink_.good);
            } else if (info_->format == RecordingFormat::Flac) {
                FixFlacHeader(sink_.fd, landed_);
            }
        }
        headerWritten_ = false;
        return sink_.err == 0;
    }

    bool created() const { return !path_.empty(); }
    uint64_t landed() const { return landed_; }
    uint64_t added() const { return added_; }
    uint32_t rate() const { return rate_; }
    int errorCode() const { return sink_.err; }

  private:
    bool Send(AVFrame* frame) {
        if (frame != nullptr) {
            frame->pts = nextPts_;
            nextPts_ += frame->nb_samples;
            filled_ = 0;
        }
        int ret = avcodec_send_frame(ctx_, frame);
        while (ret >= 0) {
            ret = avcodec_receive_packet(ctx_, packet_);
            if (ret < 0) {
                break;
            }
            pending_ =
                static_cast<uint64_t>(std::max<int64_t>(0, packet_->pts + packet_->duration));
            packet_->stream_index = stream_->index;
            av_packet_rescale_ts(packet_, ctx_->time_base, stream_->time_base);
            ret = av_write_frame(fmt_, packet_);
            av_packet_unref(packet_);
        }
        if (ret < 0 && ret != AVERROR(EAGAIN) && ret != AVERROR_EOF) {
            return Fail(ret);
        }
        return true;
    }

    bool Fail(int averror) {
        if (sink_.err == 0) {
            sink_.err =
                averror == AVERROR(ENOMEM) ? ENOMEM : (averror < 0 ? AVUNERROR(averror) : EIO);
            sink_.size = sink_.good;
            if (ftruncate(sink_.fd, sink_.good) != 0) {
                // Best effort, as in FileSink::Write.
            }
        }
        return false;
    }

    void Close() {
        Finish();
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&ctx_);
        if (fmt_ != nullptr) {
            if (fmt_->pb != nullptr) {
                av_freep(&fmt_->pb->buffer);
                avio_context_free(&fmt_->pb);
            }
            avformat_free_context(fmt_);
            fmt_ = nullptr;
        }
        if (sink_.fd >= 0) {
            close(sink_.fd);
            sink_.fd = -1;
        }
    }

    const FormatInfo* info_ = nullptr;
    uint32_t rate_ = 0;
    AVFormatContext* fmt_ = nullptr;
    AVStream* stream_ = nullptr;
    AVCodecContext* ctx_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    FileSink sink_;
    std::string path_;
    bool headerWritten_ = false;
    int frameSize_ = 0;
    int filled_ = 0;
    int64_t nextPts_ = 0;
    uint64_t added_ = 0;
    uint64_t pending_ = 0;  // frames in the packets handed to the muxer
    uint64_t landed_ = 0;   // ... of which are safely in the file
};

std::string UniquePath(const std::string& folder, RecordingFormat format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string name = RecordingFileName(local, format);
    const std::string stem = name.substr(0, name.rfind('.'));
    std::string path = folder + "/" + name;
    for (int i = 2; std::filesystem::exists(path); ++i) {
        path = folder;
        path.append("/").append(stem).append(" (").append(std::to_string(i)).append(").");
        path.append(RecordingExtension(format));
    }
    return path;
}

}  // namespace

std::vector<RecordingFormat> AvailableRecordingFormats() {
    std::vector<RecordingFormat> formats;
    for (const FormatInfo& info : kFormats) {
        if (avcodec_find_encoder_by_name(info.encoder) != nullptr &&
            av_guess_format(info.muxer, nullptr, nullptr) != nullptr) {
            formats.push_back(info.format);
        }
    }
    return formats;
}

const char* RecordingFormatName(RecordingFormat format) {
    return Info(format).name;
}

const char* RecordingExtension(RecordingFormat format) {
    return Info(format).extension;
}

std::string RecordingFileName(const std::tm& when, RecordingFormat format) {
    char text[64];
    std::strftime(text, sizeof text, "TevAudio %Y-%m-%d %H-%M-%S.", &when);
    return text + std::string(RecordingExtension(format));
}

std::string DefaultRecordingFolderFor(const std::string& home, const std::string& configHome) {
    std::string music = home + "/Music";
    std::ifstream dirs((configHome.empty() ? home + "/.config" : configHome) + "/user-dirs.dirs");
    std::string line;
    while (std::getline(dirs, line)) {
        // The file's lines read XDG_MUSIC_DIR="$HOME/Music" or an absolute path.
        const std::string key = "XDG_MUSIC_DIR=\"";
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') {
            continue;
        }
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0) {
            value.replace(0, 5, home);
        }
        // "$HOME/" means the folder is switched off.
        while (value.size() > 1 && value.back() == '/') {
            value.pop_back();
        }
        if (!value.empty() && value.front() == '/' && value != home) {
            music = value;
        }
    }
    return music + "/TevAudio";
}

std::string DefaultRecordingFolder() {
    const char* home = std::getenv("HOME");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    return DefaultRecordingFolderFor(home != nullptr ? home : "", config != nullptr ? config : "");
}

// The FIFO, the writer thread and the file of one recording.
class Recorder::Writer {
  public:
    Writer(std::unique_ptr<Encoder> encoder, uint32_t fifoFrames, std::string path,
           std::function<void()> beforeWrite)
        : tap_(fifoFrames),
          encoder_(std::move(encoder)),
          path_(std::move(path)),
          beforeWrite_(std::move(beforeWrite)) {
        status_.recording = true;
        status_.path = path_;
        status_.sampleRate = encoder_->rate();
        thread_ = std::jthread([this] { Run(); });
    }
    ~Writer() { Finish(); }

    RecordingTap& tap() { return tap_; }

    // Detaches the tap, lets the writer write what the FIFO holds and finalise the file.
    void Finish() {
        if (SoundDevice* device = tap_.holder()) {
            device->SetRecordingTap(nullptr);
        }
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    bool Failed() {
        const std::lock_guard lock(mutex_);
        return !status_.error.empty();
    }

    RecordingStatus Status() {
        const std::lock_guard lock(mutex_);
        RecordingStatus status = status_;
        status.framesLost = tap_.LostFrames();
        status.framesPending = tap_.Pending();
        return status;
    }

  private:
    void Run() {
        for (;;) {
            bool stopping = false;
            {
                std::unique_lock lock(mutex_);
                wake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stop_; });
                stopping = stop_;
            }
            if (beforeWrite_) {
                beforeWrite_();
            }
            if (!Drain() || stopping) {
                break;
            }
        }
        const bool finished = encoder_->Finish();
        const std::lock_guard lock(mutex_);
        if (!finished && status_.error.empty()) {
            status_.error = ErrorMessage(encoder_->errorCode());
        }
        status_.recording = false;
        status_.framesWritten = encoder_->landed();
    }

    // Writes what the FIFO holds, marking the gaps where they fall; false on a write error.
    bool Drain() {
        for (;;) {
            const uint64_t available = tap_.Available();
            const uint64_t popped = tap_.popped();
            RecordingTap::Gap gap;
            const bool hasGap = tap_.PeekGap(gap);
            if (hasGap && gap.at <= popped) {
                tap_.DropGap();
                if (!MarkGap(gap)) {
                    return false;
                }
                continue;
            }
            const uint64_t n =
                std::min({available, hasGap ? gap.at - popped : available, kBatchFrames});
            if (n == 0) {
                break;
            }
            tap_.Pop(batch_.data(), n);
            if (!encoder_->Add(batch_.data(), n)) {
                return Fail(encoder_->errorCode());
            }
        }
        if (!encoder_->Checkpoint()) {
            return Fail(encoder_->errorCode());
        }
        const std::lock_guard lock(mutex_);
        status_.framesWritten = encoder_->landed();
        return true;
    }

    bool MarkGap(const RecordingTap::Gap& gap) {
        const uint32_t rate = encoder_->rate();
        std::string line =
            Clock(encoder_->added(), rate) + " (frame " + std::to_string(encoder_->added()) + "):";
        if (gap.lost > 0) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.3f", static_cast<double>(gap.lost) / rate);
            line += std::string(" ") + seconds + " s (" + std::to_string(gap.lost) +
                    " frames) missing, writing fell behind";
        }
        if (gap.deviceChange) {
            line += gap.lost > 0 ? ";" : "";
            line += " the main output changed device, what it played meanwhile is missing";
        }
        std::FILE* file = std::fopen((path_ + ".gaps.txt").c_str(), "a");
        const bool written = file != nullptr && std::fputs((line + "\n").c_str(), file) >= 0;
        const int err = errno;
        if (file != nullptr && std::fclose(file) != 0) {
            return Fail(errno);
        }
        if (!written) {
            return Fail(err);
        }
        const std::lock_guard lock(mutex_);
        ++status_.gaps;
        return true;
    }

    bool Fail(int err) {
        const std::lock_guard lock(mutex_);
        status_.error = ErrorMessage(err);
        return false;
    }

    std::string ErrorMessage(int err) const {
        // A deleted folder takes the file with it.
        return "Recording stopped: " + ErrorText(err) + " (" + path_ + ")." +
               (err == ENOENT ? "" : " What was recorded until then is kept.");
    }

    static constexpr uint64_t kBatchFrames = 4096;

    RecordingTap tap_;
    std::unique_ptr<Encoder> encoder_;
    const std::string path_;
    std::function<void()> beforeWrite_;
    std::vector<float> batch_ = std::vector<float>(2 * kBatchFrames);
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    RecordingStatus status_;
    std::jthread thread_;
};

Recorder::Recorder() : Recorder(Options{}) {}

Recorder::Recorder(Options options) : options_(std::move(options)) {}

Recorder::~Recorder() {
    Stop();
}

bool Recorder::Start(SoundDevice* device, const std::string& folder, RecordingFormat format,
                     std::string& error) {
    TEV_NOT_ON_THE_AUDIO_THREAD();
    Stop();
    if (device == nullptr) {
        error = "There is no main output to record: choose one in Options.";
        return false;
    }
    if (folder.empty()) {
        error = "No folder is chosen for recordings.";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder)) {
        error = "Cannot record into " + folder + ": " +
                (ec ? ErrorText(ec.value()) : std::string("it is not a folder")) + ".";
        return false;
    }
    const uint32_t rate = device->SampleRate();
    const std::string path = UniquePath(folder, format);
    auto encoder = std::make_unique<Encoder>();
    if (!encoder->Open(path, format, rate, error)) {
        const bool created = encoder->created();
        encoder.reset();
        if (created) {
            std::filesystem::remove(path, ec);  // a file without a header is worth nothing
        }
        return false;
    }
    folder_ = folder;
    format_ = format;
    note_.clear();
    const auto fifo = static_cast<uint32_t>(options_.fifoSeconds * rate);
    writer_ = std::make_unique<Writer>(std::move(encoder), fifo, path, options_.beforeWrite);
    device->SetRecordingTap(&writer_->tap());
    return true;
}

void Recorder::Stop() {
    TEV_NOT_ON_THE_AUDIO_THREAD();
    if (writer_ == nullptr) {
        return;
    }
    writer_->Finish();
    last_ = writer_->Status();
    writer_.reset();
}

void Recorder::FollowDevice(SoundDevice* device) {
    TEV_NOT_ON_THE_AUDIO_THREAD();
    if (writer_ == nullptr || writer_->Failed()) {
        return;
    }
    RecordingTap& tap = writer_->tap();
    if (tap.holder() == device) {
        return;
    }
    if (SoundDevice* old = tap.holder()) {
        old->SetRecordingTap(nullptr);
    }
    // No device holds the tap now: this thread may mark the gap the producer will publish.
    tap.MarkDeviceChange();
    if (device == nullptr) {
        return;
    }
    const uint32_t rate = writer_->Status().sampleRate;
    if (device->SampleRate() == rate) {
        device->SetRecordingTap(&tap);
        return;
    }
    Stop();
    const std::string finished = last_.path;
    std::string error;
    if (Start(device, folder_, format_, error)) {
        note_ = "The main output now runs at " + std::to_string(device->SampleRate()) +
                " Hz: the recording " + finished + " is finished and goes on in " +
                writer_->Status().path + ".";
    } else {
        last_.error = error;
    }
}

RecordingStatus Recorder::Status() {
    if (writer_ != nullptr && writer_->Failed()) {
        Stop();
    }
    RecordingStatus status = writer_ != nullptr ? writer_->Status() : last_;
    status.note = note_;
    return status;
}

bool Recorder::IsRecording() {
    return Status().recording;
}

}  // namespace tev
