#pragma once

// Reads a video back with FFmpeg's own demuxer and decoder: what a player of the file sees.

#include <QImage>

#include <cstring>

#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

struct TVideoProbe {
    bool opened = false;
    std::string codec;
    int width = 0, height = 0;
    double fps = 0;      // the stream's average frame rate
    double seconds = 0;  // the stream's duration
    int packets = 0;     // the frames stored, counted one by one
    std::vector<QImage> frames; // decoded, when asked for
};

inline TVideoProbe ProbeVideo(const std::string& fileName, bool decode = false)
{
    TVideoProbe probe;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, fileName.c_str(), nullptr, nullptr) < 0)
        return probe;
    if (avformat_find_stream_info(format, nullptr) < 0) {
        avformat_close_input(&format);
        return probe;
    }
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        avformat_close_input(&format);
        return probe;
    }
    probe.opened = true;
    const AVStream* stream = format->streams[index];
    probe.codec = avcodec_get_name(stream->codecpar->codec_id);
    probe.width = stream->codecpar->width;
    probe.height = stream->codecpar->height;
    probe.fps = av_q2d(stream->avg_frame_rate);
    probe.seconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);

    AVCodecContext* decoder = nullptr;
    if (decode) {
        const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
        decoder = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoder, stream->codecpar);
        avcodec_open2(decoder, codec, nullptr);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto receive = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            // The conversion writes in wide steps, past a row's end: into FFmpeg's padded buffer.
            AVFrame* rgb = av_frame_alloc();
            rgb->format = AV_PIX_FMT_RGB24;
            rgb->width = frame->width;
            rgb->height = frame->height;
            av_frame_get_buffer(rgb, 0);
            SwsContext* scaler = sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                                frame->width, frame->height, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr,
                                                nullptr, nullptr);
            const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
            sws_setColorspaceDetails(scaler, bt709, 0, bt709, 1, 0, 1 << 16, 1 << 16);
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, rgb->data, rgb->linesize);
            sws_freeContext(scaler);
            QImage image(frame->width, frame->height, QImage::Format_RGB888);
            for (int y = 0; y < frame->height; ++y)
                memcpy(image.scanLine(y), rgb->data[0] + static_cast<ptrdiff_t>(y) * rgb->linesize[0],
                       static_cast<size_t>(frame->width) * 3);
            av_frame_free(&rgb);
            probe.frames.push_back(image);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index) {
            ++probe.packets;
            if (decoder && avcodec_send_packet(decoder, packet) == 0)
                receive();
        }
        av_packet_unref(packet);
    }
    if (decoder) {
        avcodec_send_packet(decoder, nullptr);
        receive();
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return probe;
}

// Whether two colours differ by at most `tolerance` in each component: the video's colours
// pass through YUV 4:2:0 and lossy coding.
inline bool Near(QRgb a, QRgb b, int tolerance = 24)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}
