#pragma once

// The dialogs of "Export frame…" and "Export video…": what to save and where. Their controls
// carry object names, so that tests can fill them in.

#include "app/Controls.h"
#include "app/mapview/VideoExport.h"

#include <QDialog>

#include <string>
#include <utility>
#include <vector>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTimeEdit;

// A file name and a "Browse…" button beside it.
class TFileNameRow : public QWidget {
public:
    TFileNameRow(QWidget* parent, const std::string& fileName, const QString& filter, const char* extension);
    // The name as given, with the extension added when it has none.
    std::string FileName() const;
    QLineEdit* Edit;

private:
    QString FFilter;
    std::string FExtension;
};

class TExportFrameDialog : public QDialog {
public:
    TExportFrameDialog(QWidget* parent, const std::string& fileName, bool wholeMap);
    std::string FileName() const { return FFile->FileName(); }
    bool WholeMap() const;

private:
    QRadioButton* FVisible;
    QRadioButton* FWhole;
    TFileNameRow* FFile;
};

// What the video dialog offers.
struct TVideoDialogSetup {
    double roundStart = 0; // seconds of the log's clock
    double roundEnd = 0;
    const TEventInfoList* events = nullptr; // the round's, which the frames' clock follows
    QSize view;        // the visible part of the map view
    int mapSide = 600; // the zoomed map's side
    std::vector<std::pair<std::string, std::string>> players; // key and caption, scoreboard order
    std::string track; // the player chosen at first, or empty
    int speed = 10;
    int fps = 30;
    std::string size = "720"; // "view", "map", "720" or "1080"
    std::string fileName;
};

class TExportVideoDialog : public QDialog {
public:
    TExportVideoDialog(QWidget* parent, const TVideoDialogSetup& setup);
    // The span, speed, rate, area and player chosen; the rest of the options as they were.
    TVideoOptions Options(TVideoOptions options) const;
    std::string SizeKey() const; // as TVideoDialogSetup::size
    std::string FileName() const { return FFile->FileName(); }

private:
    double From() const;
    double To() const;
    QSize FrameSize() const; // of the size chosen
    void Update();

    TVideoDialogSetup FSetup;
    QTimeEdit* FFrom;
    QTimeEdit* FTo;
    QSpinBox* FSpeed;
    QSpinBox* FFps;
    QComboBox* FSize;
    QComboBox* FFollow;
    TFileNameRow* FFile;
    QLabel* FSummary;
    QDialogButtonBox* FButtons;
};
