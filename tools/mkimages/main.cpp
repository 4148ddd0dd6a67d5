// ornwick-mkimages: draws the pictures the program ships (maps, markers, flags, logo) and writes
// the map object files and the default Tarvel.ini and Tarvel.map. Output is deterministic, so
// running it again over assets/ changes nothing unless the drawing code changed.
#include "MkImages.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: ornwick-mkimages <images folder> [<folder for Tarvel.ini and Tarvel.map>]"
                 " [--preview <folder>]\n");
    return 2;
}

bool saveJpeg(const QImage& image, const QString& path, int quality)
{
    QImageWriter writer(path, "jpg");
    writer.setQuality(quality);
    writer.setOptimizedWrite(true);
    return writer.write(image.convertToFormat(QImage::Format_RGB32));
}

} // namespace

int main(int argc, char** argv)
{
    // Text in the logo and the previews needs a font database, hence an application object;
    // no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QStringList positional;
    QString previewDir;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--preview" && i + 1 < args.size())
            previewDir = args[++i];
        else if (args[i].startsWith("-"))
            return usage();
        else
            positional << args[i];
    }
    if (positional.isEmpty() || positional.size() > 2)
        return usage();

    const QString imagesDir = positional[0];
    if (!QDir().mkpath(imagesDir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(imagesDir));
        return 1;
    }
    bool ok = true;
    auto report = [&ok](bool written, const QString& path) {
        if (!written) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ok = false;
        }
    };

    const std::vector<mkimages::Picture> markers = mkimages::makeMarkers();
    const std::vector<mkimages::Picture> flags = mkimages::makeFlags();
    const std::vector<mkimages::Picture> standIns = mkimages::makeStandIns();
    for (const auto* list : {&markers, &standIns})
        for (const mkimages::Picture& p : *list) {
            QString fault = mkimages::markerFault(p.image);
            if (!fault.isEmpty()) {
                std::fprintf(stderr, "marker %s: %s\n", qPrintable(p.name), qPrintable(fault));
                ok = false;
            }
        }
    for (const auto* list : {&markers, &flags})
        for (const mkimages::Picture& p : *list) {
            QString path = imagesDir + "/" + p.name + ".bmp";
            report(mkimages::saveBmp24(p.image, path), path);
        }

    const QString logoPath = imagesDir + "/logo.bmp";
    report(mkimages::saveBmp24(mkimages::makeLogo(), logoPath), logoPath);

    std::vector<mkimages::Picture> maps;
    for (const demoworld::Map& map : demoworld::Maps) {
        const QImage picture = mkimages::makeMapPicture(map);
        QString path = imagesDir + "/" + map.name + ".jpg";
        // High quality costs little at the shipped size and keeps roofs and roads sharp.
        report(saveJpeg(picture, path, 92), path);
        // The previews show what the program will load, artefacts included.
        maps.push_back({map.name, QImage(path)});
        QString objects = imagesDir + "/" + map.name + "OBS.con";
        report(mkimages::writeObjectFile(map, objects), objects);
    }

    if (positional.size() == 2) {
        const QString configDir = positional[1];
        QDir().mkpath(configDir);
        // The stand-in markers go into the program itself, from a folder of their own.
        const QString standInDir = configDir + "/markers";
        QDir().mkpath(standInDir);
        for (const mkimages::Picture& p : standIns) {
            QString path = standInDir + "/" + p.name + ".bmp";
            report(mkimages::saveBmp24(p.image, path), path);
        }
        report(mkimages::writeSettingsFile(configDir + "/Tarvel.ini"), configDir + "/Tarvel.ini");
        report(mkimages::writePictureMapFile(configDir + "/Tarvel.map"), configDir + "/Tarvel.map");
    }

    if (!previewDir.isEmpty())
        report(mkimages::writePreviews(previewDir, markers, flags, maps), previewDir);
    return ok ? 0 : 1;
}
