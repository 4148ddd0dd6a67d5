#pragma once

#include <QImage>

#include <string>
#include <utility>

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

    bool HasPicture() const { return !FPicture.isNull(); }
    const QImage& Picture() const { return FPicture; }
    // The picture as a 24-bit bitmap to draw on (an empty one when there is no picture).
    QImage& Bitmap();

    // Loads a ".bmp" as a bitmap, a ".jpg" or ".jpeg" as a JPEG picture (letter case of the
    // extension ignored). A file that is no valid picture raises an error and changes nothing.
    void LoadFromFile(const std::string& fileName);
    void SetPicture(QImage picture);
    void ReplacePicture(QImage picture) { FPicture = std::move(picture); } // size and place kept
    void SetSizeToPicture();

private:
    QImage FPicture;
};
