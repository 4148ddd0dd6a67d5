#include "mapview/PictureHolder.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"

#include <QFile>
#include <QImageReader>

QImage& TPictureHolder::Bitmap()
{
    if (!FPicture.isNull() && FPicture.format() != QImage::Format_RGB888)
        FPicture = FPicture.convertToFormat(QImage::Format_RGB888);
    return FPicture;
}

void TPictureHolder::LoadFromFile(const std::string& fileName)
{
    const std::string extension = UpperCaseAscii(ExtractFileExt(fileName));
    const char* format = nullptr;
    if (extension == ".BMP")
        format = "BMP";
    else if (extension == ".JPG" || extension == ".JPEG")
        format = "JPEG";
    else
        throw EBaseError("Unknown picture file extension (" + extension + ")");
    QImageReader reader(QFile::decodeName(QByteArray::fromStdString(fileName)), format);
    QImage picture = reader.read();
    if (picture.isNull()) {
        if (reader.error() == QImageReader::FileNotFoundError)
            throw EFOpenError(fileName);
        throw EBaseError(extension == ".BMP" ? "Bitmap image is not valid" : "JPEG image is not valid");
    }
    SetPicture(std::move(picture));
}

void TPictureHolder::SetPicture(QImage picture)
{
    FPicture = std::move(picture);
    if (AutoSize)
        SetSizeToPicture();
}

void TPictureHolder::SetSizeToPicture()
{
    Width = FPicture.width();
    Height = FPicture.height();
}
