#pragma once

// The few control kinds the windows need that Qt does not offer as they are: a label that
// sizes itself to its caption and draws its mnemonic, an image control, a scroll box whose
// range follows its children, and the helpers that give the program its font and its hints
// without delay.

#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <QSlider>
#include <QStyledItemDelegate>

#include <string>

class QPaintEvent;

// ProgramFont: "MS Sans Serif" where installed, else the system sans-serif, at 11 pixels (8
// points at 96 pixels per inch): the height the layouts were made for. The frames use it too.
#include "mapview/ViewOptions.h"

// How long the pointer must rest on a control before its hint shows, application-wide, in
// milliseconds. The program sets 0.
void SetHintPause(int milliseconds);
int HintPause();

// A caption at a fixed place. With auto-size on (the default) it takes the size of its
// caption; "&" marks the mnemonic letter as on every label of the program, also without a
// buddy (the mnemonic then underlines only).
class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(QWidget* parent);

    // Sets the caption (8-bit text) and sizes the label to it.
    void SetCaption(const std::string& caption);
    std::string Caption() const;
    void SetAutoSize(bool on);
    void AdjustToCaption();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool FAutoSize = true;
};

// An image control: shows a picture at its top left corner, or stretched over the whole
// control; with auto-size on it takes the picture's size.
class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent);

    const QImage& Picture() const { return FPicture; }
    void SetPicture(const QImage& picture);
    // The picture to draw on in place; call update() after drawing.
    QImage& Bitmap() { return FPicture; }
    // Gives the picture this size and 24 bits per pixel, white; a picture of that size and
    // depth is kept as it is. Returns whether it changed.
    bool SetBitmapSize(int width, int height);
    // As a picture holder loads it: by extension, an invalid picture raising an error.
    void LoadFromFile(const std::string& fileName);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool on);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage FPicture;
    bool FStretch = false;
    bool FAutoSize = false;
};

// A scroll box: children are placed on Canvas() at pixel positions, and the scrollable range
// reaches to the right and bottom edges of the farthest child that is not hidden.
class TScrollBox : public QScrollArea {
    Q_OBJECT
public:
    explicit TScrollBox(QWidget* parent);

    QWidget* Canvas() const { return FCanvas; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateRange();
    QWidget* FCanvas;
};

// Track bars as the designer drew them: vertical ones have their minimum at the top and move
// down with the Down key; the page size is 2 unless set.
enum class TTrackBarOrientation { Horizontal, Vertical };
QSlider* CreateTrackBar(QWidget* parent, const char* name, TTrackBarOrientation orientation, int min,
                        int max, int position, int tickInterval);

// Every row of a list box the same height.
class TFixedRowHeightDelegate : public QStyledItemDelegate {
public:
    TFixedRowHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), FHeight(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int FHeight;
};

// Text crossing the widget boundary: 8-bit program text is Latin-1.
QString Latin1(const std::string& text);
std::string FromLatin1(const QString& text);
