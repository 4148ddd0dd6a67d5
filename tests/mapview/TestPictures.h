#pragma once

// Pictures the frame tests draw on.

#include <QImage>

inline QImage Solid(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

// Every pixel a colour of its own, so that any wrong lookup shows.
inline QImage Unique(int width, int height, int seed = 0)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 37 + seed) % 256, (y * 53 + seed * 3) % 256, (x * y + 11) % 256));
    return image;
}

// How many pixels have this colour.
inline int Count(const QImage& image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == colour;
    return n;
}
