// Big logs load on a worker thread behind a progress dialog, while the window keeps painting.
#include "app/log/BackgroundLoad.h"

#include "app/Controls.h"
#include "app/OpenDialog.h"
#include "base/Convert.h"
#include "base/Files.h"
#include "log/LogFile.h"
#include "log/LogLoader.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int ProgressSteps = 1000;
// How often the dialog shows the worker's progress, and sees that it has ended (ms).
constexpr int PollInterval = 50;

// Where each phase lies on the dialog's one bar, in steps: parsing takes the most time.
struct TPhaseSpan {
    int from;
    int to;
};

TPhaseSpan SpanOf(TLoadPhase phase, bool compressed)
{
    switch (phase) {
    case TLoadPhase::Reading:
        return compressed ? TPhaseSpan{0, 50} : TPhaseSpan{0, 100};
    case TLoadPhase::Inflating:
        return {50, 250};
    case TLoadPhase::Tokenizing:
        return compressed ? TPhaseSpan{250, 600} : TPhaseSpan{100, 500};
    case TLoadPhase::Building:
        return compressed ? TPhaseSpan{600, 950} : TPhaseSpan{500, 950};
    }
    return {0, 0};
}

const char* PhaseCaption(TLoadPhase phase)
{
    switch (phase) {
    case TLoadPhase::Reading:
        return "Reading the log";
    case TLoadPhase::Inflating:
        return "Inflating the log";
    case TLoadPhase::Tokenizing:
        return "Parsing the log";
    case TLoadPhase::Building:
        return "Building the tree";
    }
    return "";
}

std::string Megabytes(uint64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

void ShowStatus(QProgressDialog& dialog, const TLogLoader::TStatus& status, const std::string& fileName)
{
    const bool compressed = IsCompressedLogName(fileName);
    std::string caption = ExtractFileName(fileName) + "\n";
    int value = 0;
    if (status.Walking) {
        caption += "Listing the rounds";
        value = 950;
    } else if (status.Reported) {
        const TPhaseSpan span = SpanOf(status.Phase, compressed);
        const double part = status.Total ? static_cast<double>(status.Done) / static_cast<double>(status.Total) : 0;
        value = span.from + static_cast<int>(std::clamp(part, 0.0, 1.0) * (span.to - span.from));
        caption += std::string(PhaseCaption(status.Phase)) + ": " + Megabytes(status.Done) + " of " +
                   Megabytes(status.Total) + " MB";
    } else {
        caption += PhaseCaption(TLoadPhase::Reading);
    }
    dialog.setLabelText(Latin1(caption));
    // The bar only moves forward; the value it starts at would restart its show timer.
    if (value > dialog.value() && value > 0)
        dialog.setValue(value);
}

} // namespace

std::unique_ptr<TLogLoader> TBackgroundLoad::Load(const std::string& fileName, const TwexXMLTree& like)
{
    if (!FEnabled || ExpectedLogTextSize(fileName) < BackgroundLoadSize)
        return nullptr;
    // An open asked for while a load runs (a drop, say) would pull the document from under it.
    if (FLoader)
        throw ELoadCancelled();

    auto loader = std::make_unique<TLogLoader>(fileName, like);
    QProgressDialog dialog(&FWindow);
    dialog.setObjectName(QStringLiteral("LoadProgress"));
    dialog.setWindowTitle(QStringLiteral("Opening log"));
    dialog.setCancelButtonText(QStringLiteral("Cancel"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setRange(0, ProgressSteps);
    dialog.setMinimumWidth(360);
    // Loads that end within the delay show no dialog at all.
    dialog.setMinimumDuration(FDialogDelay);
    ShowStatus(dialog, loader->Status(), fileName);
    dialog.setValue(0);
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&loader] { loader->Cancel(); });

    // Until the dialog shows, and again once it is cancelled, the window takes no input: it
    // would act on a log that is about to go. The end is seen by the poll alone, so that
    // whatever reached the window before is handled first.
    QEventLoop loop;
    bool woken = false;
    bool modal = false;
    QTimer poll;
    poll.setInterval(PollInterval);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const bool nowModal = dialog.isVisible() && !loader->Cancelled();
        if (!loader->Finished() && !loader->Cancelled())
            ShowStatus(dialog, loader->Status(), fileName);
        if (loader->Finished() || nowModal != modal) {
            woken = true;
            loop.quit();
        }
    });

    FLoader = loader.get();
    loader->Start();
    poll.start();
    for (;;) {
        modal = dialog.isVisible() && !loader->Cancelled();
        woken = false;
        loop.exec(modal ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        if (loader->Finished())
            break;
        if (!woken) {
            // The application quits: the worker stops at its next report.
            loader->Cancel();
            loader->Wait();
            break;
        }
    }
    poll.stop();
    FLoader = nullptr;
    dialog.hide();

    if (loader->Cancelled()) {
        if (FCloseAfterLoad) {
            FCloseAfterLoad = false;
            QTimer::singleShot(0, &FWindow, [window = &FWindow] { window->close(); });
        }
        throw ELoadCancelled();
    }
    return loader;
}

bool TBackgroundLoad::CloseAfterLoad()
{
    if (!FLoader)
        return false;
    FLoader->Cancel();
    FCloseAfterLoad = true;
    return true;
}
