#include "video/VideoEncoder.h"

#include "base/Files.h"
#include "video/FFmpegLog.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

// FFmpeg's own words explain a failure; they never reach standard error by themselves.
void StartFFmpegLog()
{
    QuietenFFmpeg();
    ClearFFmpegComplaint();
}

[[noreturn]] void Fail(const std::string& what, int code = 0)
{
    std::string message = "Cannot encode video: " + what;
    if (code < 0) {
        char reason[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(code, reason, sizeof reason);
        message += std::string(" (") + reason + ")";
    }
    if (const std::string complaint = LastFFmpegComplaint(); !complaint.empty())
        message += ": " + complaint;
    throw EVideoError(message);
}

} // namespace

struct TVideoEncoder::TState {
    std::string fileName;
    std::optional<TFileReplacement> file;
    // The first failed write, with the system's reason: FFmpeg hears only that it failed.
    std::optional<EFCreateError> writeError;
    QSize size;
    int fps = 0;
    int frames = 0;
    bool finished = false;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr; // the picture in YUV 4:2:0
    AVFrame* rgb = nullptr;   // the picture as drawn
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;

    explicit TState(const std::string& name) : fileName(name) {}

    ~TState()
    {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        av_frame_free(&rgb);
        avcodec_free_context(&codec);
        if (format) {
            if (format->pb) {
                av_freep(&format->pb->buffer);
                avio_context_free(&format->pb);
            }
            avformat_free_context(format);
        }
        // Without a commit the temporary file goes with the object.
    }

    static int WritePacket(void* opaque, uint8_t* data, int size)
    {
        auto* state = static_cast<TState*>(opaque);
        try {
            state->file->Write(std::string_view(reinterpret_cast<const char*>(data), static_cast<size_t>(size)));
        } catch (const EFCreateError& error) {
            if (!state->writeError)
                state->writeError = error;
            return AVERROR(EIO);
        }
        return size;
    }

    // The MP4 muxer goes back to fill in sizes once it knows them.
    static int64_t SeekFile(void* opaque, int64_t offset, int whence)
    {
        TFileReplacement& file = *static_cast<TState*>(opaque)->file;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return static_cast<int64_t>(file.Size());
        case SEEK_SET:
            break;
        case SEEK_CUR:
            offset += static_cast<int64_t>(file.Position());
            break;
        case SEEK_END:
            offset += static_cast<int64_t>(file.Size());
            break;
        default:
            return AVERROR(EINVAL);
        }
        if (offset < 0)
            return AVERROR(EINVAL);
        file.Seek(static_cast<uint64_t>(offset));
        return offset;
    }

    // A write failure as the file's error, with its reason.
    [[noreturn]] void FailWriting()
    {
        if (writeError)
            throw *writeError;
        throw EFCreateError(fileName);
    }

    // Hands what the encoder has ready to the muxer.
    void Drain()
    {
        for (;;) {
            const int status = avcodec_receive_packet(codec, packet);
            if (status == AVERROR(EAGAIN) || status == AVERROR_EOF)
                return;
            if (status < 0)
                Fail("the encoder failed", status);
            // Every frame lasts one tick of the frame rate, the last one included.
            packet->duration = 1;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int written = av_interleaved_write_frame(format, packet);
            if (written < 0) {
                if (format->pb->error < 0 || writeError)
                    FailWriting();
                Fail("the file writer failed", written);
            }
        }
    }
};

TVideoEncoder::TVideoEncoder(const std::string& fileName, QSize size, int fps, const std::string& encoder)
    : F(std::make_unique<TState>(fileName))
{
    StartFFmpegLog();
    // Players and the encoder's levels end near 4096 pixels; a larger frame also holds hundreds
    // of megabytes in the encoder's queue.
    if (size.width() < 16 || size.height() < 16 || size.width() > MaxSide || size.height() > MaxSide ||
        size.width() % 2 || size.height() % 2)
        Fail("the frame size " + std::to_string(size.width()) + " x " + std::to_string(size.height()) +
             " must have even sides of 16 to " + std::to_string(MaxSide) + " pixels");
    if (fps < 1 || fps > 1000)
        Fail("a frame rate of " + std::to_string(fps) + " frames per second");
    F->size = size;
    F->fps = fps;

    const AVCodec* codec = nullptr;
    if (encoder.empty()) {
        codec = avcodec_find_encoder_by_name("libx264");
        if (!codec)
            codec = avcodec_find_encoder(AV_CODEC_ID_H264);
        if (!codec)
            Fail("libavcodec has no H.264 encoder (Debian's libavcodec brings libx264)");
    } else {
        codec = avcodec_find_encoder_by_name(encoder.c_str());
        if (!codec || codec->id != AV_CODEC_ID_H264)
            Fail("libavcodec has no H.264 encoder named " + encoder);
    }

    // The file first: a folder that cannot be written is the user's problem, not the encoder's.
    F->file.emplace(fileName);

    if (avformat_alloc_output_context2(&F->format, nullptr, "mp4", nullptr) < 0 || !F->format)
        Fail("no MP4 writer");
    F->stream = avformat_new_stream(F->format, nullptr);
    F->codec = avcodec_alloc_context3(codec);
    F->frame = av_frame_alloc();
    F->rgb = av_frame_alloc();
    F->packet = av_packet_alloc();
    if (!F->stream || !F->codec || !F->frame || !F->rgb || !F->packet)
        Fail("out of memory");

    AVCodecContext& c = *F->codec;
    c.width = size.width();
    c.height = size.height();
    c.time_base = AVRational{1, fps};
    c.framerate = AVRational{fps, 1};
    c.pix_fmt = AV_PIX_FMT_YUV420P;
    // Each encoding thread holds frames of its own.
    c.thread_count = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    c.gop_size = 2 * fps; // a key frame every two seconds, so that players seek quickly
    // Tagged as converted below, so that players show the colours as drawn.
    c.color_range = AVCOL_RANGE_MPEG;
    c.colorspace = AVCOL_SPC_BT709;
    c.color_primaries = AVCOL_PRI_BT709;
    c.color_trc = AVCOL_TRC_BT709;
    if (F->format->oformat->flags & AVFMT_GLOBALHEADER)
        c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // Map pictures and small markers: a fast preset keeps them sharp at a good speed.
    av_opt_set(c.priv_data, "preset", "veryfast", 0);
    av_opt_set(c.priv_data, "crf", "20", 0);
    if (const int status = avcodec_open2(F->codec, codec, nullptr); status < 0)
        Fail("the encoder " + std::string(codec->name) + " does not open", status);
    if (const int status = avcodec_parameters_from_context(F->stream->codecpar, F->codec); status < 0)
        Fail("the stream parameters", status);
    F->stream->time_base = c.time_base;
    F->stream->avg_frame_rate = c.framerate;

    constexpr int BufferSize = 1 << 16;
    auto* buffer = static_cast<unsigned char*>(av_malloc(BufferSize));
    if (!buffer)
        Fail("out of memory");
    F->format->pb = avio_alloc_context(buffer, BufferSize, 1, F.get(), nullptr, TState::WritePacket, TState::SeekFile);
    if (!F->format->pb) {
        av_free(buffer);
        Fail("out of memory");
    }
    F->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (const int status = avformat_write_header(F->format, nullptr); status < 0) {
        if (F->writeError)
            F->FailWriting();
        Fail("the MP4 header", status);
    }

    F->frame->format = c.pix_fmt;
    F->frame->width = c.width;
    F->frame->height = c.height;
    F->rgb->format = AV_PIX_FMT_RGB24;
    F->rgb->width = c.width;
    F->rgb->height = c.height;
    for (AVFrame* frame : {F->frame, F->rgb})
        if (const int status = av_frame_get_buffer(frame, 0); status < 0)
            Fail("out of memory", status);
    F->scaler = sws_getContext(c.width, c.height, AV_PIX_FMT_RGB24, c.width, c.height, AV_PIX_FMT_YUV420P,
                               SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (!F->scaler)
        Fail("no colour conversion to YUV 4:2:0");
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(F->scaler, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
}

TVideoEncoder::~TVideoEncoder() = default;

void TVideoEncoder::AddFrame(const QImage& picture)
{
    if (F->finished)
        Fail("a frame after the end");
    if (picture.size() != F->size)
        Fail("a frame of " + std::to_string(picture.width()) + " x " + std::to_string(picture.height()) +
             " pixels in a video of " + std::to_string(F->size.width()) + " x " + std::to_string(F->size.height()));
    const QImage rgb = picture.format() == QImage::Format_RGB888 ? picture : picture.convertToFormat(QImage::Format_RGB888);
    if (const int status = av_frame_make_writable(F->frame); status < 0)
        Fail("out of memory", status);
    // The conversion reads its source in wide steps, past the end of a row and of the
    // picture: it gets a copy in FFmpeg's own padded buffer.
    if (const int status = av_frame_make_writable(F->rgb); status < 0)
        Fail("out of memory", status);
    const size_t row = static_cast<size_t>(rgb.width()) * 3;
    for (int y = 0; y < rgb.height(); ++y)
        memcpy(F->rgb->data[0] + static_cast<ptrdiff_t>(y) * F->rgb->linesize[0], rgb.constScanLine(y), row);
    sws_scale(F->scaler, F->rgb->data, F->rgb->linesize, 0, rgb.height(), F->frame->data, F->frame->linesize);
    F->frame->pts = F->frames;
    F->frame->pkt_duration = 1;
    if (const int status = avcodec_send_frame(F->codec, F->frame); status < 0)
        Fail("the encoder refused a frame", status);
    ++F->frames;
    F->Drain();
}

void TVideoEncoder::Finish()
{
    if (F->finished)
        return;
    if (F->frames == 0)
        Fail("a video needs at least one frame");
    if (const int status = avcodec_send_frame(F->codec, nullptr); status < 0)
        Fail("the encoder's end", status);
    F->Drain();
    if (const int status = av_write_trailer(F->format); status < 0) {
        if (F->format->pb->error < 0 || F->writeError)
            F->FailWriting();
        Fail("the MP4 index", status);
    }
    avio_flush(F->format->pb);
    if (F->format->pb->error < 0 || F->writeError)
        F->FailWriting();
    F->file->Commit();
    F->finished = true;
}

QSize TVideoEncoder::Size() const { return F->size; }


int TVideoEncoder::Frames() const { return F->frames; }

std::string TVideoEncoder::EncoderName() const { return F->codec && F->codec->codec ? F->codec->codec->name : ""; }
