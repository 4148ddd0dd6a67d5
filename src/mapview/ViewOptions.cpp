#include "mapview/ViewOptions.h"

#include <QFontDatabase>
#include <QStringList>

QFont ProgramFont()
{
    static const QString family = [] {
        // The layout was designed for a narrow 8-point face; where it is missing, a face of
        // the same narrow widths keeps the captions inside their controls, and only then the
        // system's own sans-serif.
        for (const QString& wanted : {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")})
            for (const QString& installed : QFontDatabase::families())
                if (installed.compare(wanted, Qt::CaseInsensitive) == 0)
                    return installed;
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QFont FrameFont()
{
    QFont font = ProgramFont();
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}
