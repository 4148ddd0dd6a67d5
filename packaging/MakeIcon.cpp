// ornwick-mkicon LOGO OUT SIZE: the menu icon, made from the shipped logo at build time so that
// the two never drift apart. The logo is wide, with the emblem in its left square; the name
// beside it would be unreadable at icon size, so the icon is that square alone.
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: ornwick-mkicon LOGO OUT.png SIZE\n");
        return 2;
    }
    const int size = std::atoi(argv[3]);
    QImage logo;
    if (size <= 0 || !logo.load(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "ornwick-mkicon: cannot read %s\n", argv[1]);
        return 1;
    }
    const int side = std::min(logo.width(), logo.height());
    const QImage icon = logo.copy(0, (logo.height() - side) / 2, side, side)
                            .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_RGB32);
    if (!icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "ornwick-mkicon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
