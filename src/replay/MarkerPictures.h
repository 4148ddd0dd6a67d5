#pragma once

// The pictures the players' markers show, kept by the name they were found under. A player
// state names its picture and the team colour painted on it; the frame and the scoreboard look
// the picture up here, painted.

#include "replay/InfoClass.h"

#include <QImage>
#include <QSize>

#include <map>
#include <string>
#include <unordered_map>
#include <utility>

class TMarkerPictures {
public:
    // Keeps the picture under the name and shows it on the marker, unpainted, the marker taking
    // the size given (a large picture's size is known before its pixels): what loading a
    // marker's picture does.
    void Show(TMarker& marker, const std::string& name, const QImage& picture, QSize size);
    void Show(TMarker& marker, const std::string& name, const QImage& picture)
    {
        Show(marker, name, picture, picture.size());
    }
    // The marker's picture as drawn: 24 bits, its black centre painted in the marker's colour;
    // nullptr without a picture.
    const QImage* Painted(const TMarker& marker);
    void Clear();

private:
    std::unordered_map<std::string, QImage> FPictures;
    // Painting a picture is kept until the picture under its name is replaced.
    struct TPainted {
        qint64 source = 0;
        QImage picture;
    };
    std::map<std::pair<std::string, QRgb>, TPainted> FPainted;
};

// Fills the 4-connected region of pure black pixels around (x, y) with the colour; nothing
// when that pixel is outside the picture or not black.
void FloodFillBlack(QImage& picture, int x, int y, QRgb colour);
