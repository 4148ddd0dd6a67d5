#include "mapview/PictureHolder.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"

#include <QFile>
#include <QImageReader>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// The file opened as every file the program reads (TInputFile): a pipe or a device under a
// picture's name is refused rather than waited for, and a name that is no UTF-8 opens as well.
std::unique_ptr<QFile> OpenPicture(const std::string& fileName)
{
    TInputFile input(fileName);
    auto file = std::make_unique<QFile>();
    if (!file->open(input.Handle(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        throw EFOpenError(fileName, file->errorString().toStdString());
    input.Release();
    return file;
}

} // namespace

// The pixels of one picture file, decoded once: by the first to ask, or on a thread of their
// own. A file that no longer decodes gives no picture (its size and kind were read already).
class TPictureDecode {
public:
    TPictureDecode(std::string fileName, const char* format) : FFileName(std::move(fileName)), FFormat(format) {}
    ~TPictureDecode()
    {
        if (FThread.joinable())
            FThread.join();
    }
    void Start()
    {
        const std::lock_guard<std::mutex> hold(FLock);
        if (!FStarted) {
            FStarted = true;
            FThread = std::thread([this] { Decode(); });
        }
    }
    bool Ready()
    {
        const std::lock_guard<std::mutex> hold(FLock);
        return FDone;
    }
    QImage Take()
    {
        std::unique_lock<std::mutex> hold(FLock);
        if (!FStarted) {
            FStarted = true;
            hold.unlock();
            Decode();
            hold.lock();
        }
        FDoneSignal.wait(hold, [this] { return FDone; });
        return FPicture;
    }

private:
    void Decode()
    {
        QImage picture;
        try {
            const std::unique_ptr<QFile> file = OpenPicture(FFileName);
            picture = QImageReader(file.get(), FFormat).read();
        } catch (const EBaseError&) {
        }
        const std::lock_guard<std::mutex> hold(FLock);
        FPicture = std::move(picture);
        FDone = true;
        FDoneSignal.notify_all();
    }

    std::string FFileName;
    const char* FFormat;
    std::mutex FLock;
    std::condition_variable FDoneSignal;
    std::thread FThread;
    bool FStarted = false, FDone = false;
    QImage FPicture;
};

const QImage& TPictureHolder::Picture() const
{
    if (FDecode) {
        FPicture = FDecode->Take();
        FDecode.reset();
    }
    return FPicture;
}

const QImage* TPictureHolder::ReadyPicture() const
{
    if (FDecode && !FDecode->Ready())
        return nullptr;
    return HasPicture() ? &Picture() : nullptr;
}

void TPictureHolder::DecodeInBackground()
{
    if (FDecode)
        FDecode->Start();
}

QImage& TPictureHolder::Bitmap()
{
    Picture();
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
    const std::unique_ptr<QFile> file = OpenPicture(fileName);
    QImageReader reader(file.get(), format);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > LargePicturePixels && reader.canRead()) {
        FDecode = std::make_shared<TPictureDecode>(fileName, format);
        FDecodeSize = size;
        FPicture = QImage();
        if (AutoSize)
            SetSizeToPicture();
        return;
    }
    QImage picture = reader.read();
    if (picture.isNull())
        throw EBaseError(extension == ".BMP" ? "Bitmap image is not valid" : "JPEG image is not valid");
    SetPicture(std::move(picture));
}

void TPictureHolder::SetPicture(QImage picture)
{
    FDecode.reset();
    FPicture = std::move(picture);
    if (AutoSize)
        SetSizeToPicture();
}

void TPictureHolder::SetSizeToPicture()
{
    const QSize size = FDecode ? FDecodeSize : FPicture.size();
    Width = size.width();
    Height = size.height();
}
