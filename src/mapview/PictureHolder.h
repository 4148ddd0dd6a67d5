#pragma once

#include <QImage>
#include <QSize>

#include <memory>
#include <string>
#include <utility>

class TPictureDecode;

// A picture with a place: what the map, the markers and the map objects are held in. Left,
// Top, Width and Height are in pixels of the unzoomed map; nothing of it is ever a widget.
class TPictureHolder {
public:
    static constexpr int DefaultSize = 105; // the size a holder has before any picture

    int Left = 0;
    int Top = 0;
    int Width = DefaultSize;
    int Height = DefaultSize;
    bool Transparent = false; // drawn without the pixels of its top-left pixel's colour
    bool Stretch = false;     // drawn stretched into its rectangle
    bool AutoSize = false;    // takes the picture's size whenever it gets one

    bool HasPicture() const { return !FPicture.isNull() || FDecode; }
    // The picture; a large one still being decoded is waited for.
    const QImage& Picture() const;
    // The picture when its pixels are there, without waiting; nullptr while a large one is
    // decoded (and without a picture).
    const QImage* ReadyPicture() const;
    // The picture as a 24-bit bitmap to draw on (an empty one when there is no picture).
    QImage& Bitmap();

    // Loads a ".bmp" as a bitmap, a ".jpg" or ".jpeg" as a JPEG picture (letter case of the
    // extension ignored). A file that is no valid picture raises an error and changes nothing.
    // A large picture (a map imported from the game, thousands of pixels a side) has its size
    // and kind read at once and its pixels decoded when first asked for, so that holding it
    // costs what a small one does until it is drawn.
    void LoadFromFile(const std::string& fileName);
    // Starts decoding a large picture's pixels on a thread of their own, for a frame to come.
    void DecodeInBackground();
    void SetPicture(QImage picture);
    void ReplacePicture(QImage picture) // size and place kept
    {
        FDecode.reset();
        FPicture = std::move(picture);
    }
    void SetSizeToPicture();

    // Pictures of more pixels than this are decoded when first asked for.
    static constexpr qint64 LargePicturePixels = 1024 * 1024;

private:
    mutable QImage FPicture;
    mutable std::shared_ptr<TPictureDecode> FDecode; // the pixels to come, when not yet taken
    QSize FDecodeSize;
};
