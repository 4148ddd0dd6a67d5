#pragma once

// An H.264 video in an MP4 file, written frame by frame through FFmpeg's libraries. The file
// appears under its name only when the video is complete: until Finish the frames go to a
// temporary file beside it, which is removed when the video is abandoned or fails.

#include "base/Errors.h"

#include <QImage>
#include <QSize>

#include <memory>
#include <string>

// The encoder or the muxer failed; the message names FFmpeg's reason.
class EVideoError : public EBaseError {
public:
    using EBaseError::EBaseError;
};

class TVideoEncoder {
public:
    static constexpr int MaxSide = 4096;

    // Frames of `size` pixels (both sides even, 16 to MaxSide), `fps` a second. `encoder` names
    // a libavcodec encoder; empty: libx264, else whichever H.264 encoder libavcodec has.
    // "Cannot create file %s" when the file cannot be written, EVideoError when no encoder
    // opens.
    TVideoEncoder(const std::string& fileName, QSize size, int fps, const std::string& encoder = "");
    // Without Finish, nothing is left of the video.
    ~TVideoEncoder();
    TVideoEncoder(const TVideoEncoder&) = delete;
    TVideoEncoder& operator=(const TVideoEncoder&) = delete;

    // The next frame, of the video's size, shown for 1 / fps seconds.
    void AddFrame(const QImage& frame);
    // Writes what the encoder still holds and puts the file in place of any file of its name.
    void Finish();

    QSize Size() const;
    int Frames() const;
    // The encoder's name, as libavcodec calls it.
    std::string EncoderName() const;

private:
    struct TState;
    std::unique_ptr<TState> F;
};
