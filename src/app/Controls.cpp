#include "app/Controls.h"

#include "mapview/PictureHolder.h"

#include <QApplication>
#include <QChildEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>

#include <algorithm>

QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromLatin1(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

namespace {

// The application's style with the hint pause replaced.
class THintStyle : public QProxyStyle {
public:
    explicit THintStyle(const QString& baseKey) : QProxyStyle(baseKey) {}
    int Pause = -1; // -1: the base style's

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay && Pause >= 0)
            return Pause;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void SetHintPause(int milliseconds)
{
    auto* style = dynamic_cast<THintStyle*>(QApplication::style());
    if (!style) {
        style = new THintStyle(QApplication::style()->name());
        QApplication::setStyle(style); // the application owns it
    }
    style->Pause = std::max(milliseconds, 0);
}

int HintPause() { return QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay); }

// ---- TLabel --------------------------------------------------------------------------------

TLabel::TLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TLabel::SetCaption(const std::string& caption)
{
    setText(Latin1(caption));
    if (FAutoSize)
        AdjustToCaption();
}

std::string TLabel::Caption() const { return FromLatin1(text()); }

void TLabel::SetAutoSize(bool on)
{
    FAutoSize = on;
    if (on)
        AdjustToCaption();
}

void TLabel::AdjustToCaption()
{
    const QFontMetrics metrics(font());
    const QSize size = metrics.size(Qt::TextShowMnemonic, text());
    resize(std::max(size.width(), 1), std::max(size.height(), metrics.height()));
}

void TLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int wrap = wordWrap() ? int(Qt::TextWordWrap) : 0;
    style()->drawItemText(&painter, contentsRect(), int(alignment()) | Qt::TextShowMnemonic | wrap, palette(),
                          isEnabled(), text(), foregroundRole());
}

void TLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange && FAutoSize)
        AdjustToCaption();
}

// ---- TImage --------------------------------------------------------------------------------

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::SetPicture(const QImage& picture)
{
    FPicture = picture;
    if (FAutoSize && !picture.isNull())
        resize(picture.size());
    update();
}

bool TImage::SetBitmapSize(int width, int height)
{
    if (FPicture.size() == QSize(width, height) && FPicture.format() == QImage::Format_RGB888)
        return false;
    // The old picture goes first: a zoomed map is large, and two of them need not exist at once.
    FPicture = QImage();
    if (width > 0 && height > 0) {
        FPicture = QImage(width, height, QImage::Format_RGB888);
        FPicture.fill(Qt::white);
    }
    update();
    return true;
}

void TImage::LoadFromFile(const std::string& fileName)
{
    TPictureHolder holder;
    holder.LoadFromFile(fileName);
    SetPicture(holder.Picture());
}

void TImage::SetStretch(bool on)
{
    FStretch = on;
    update();
}

void TImage::SetAutoSize(bool on)
{
    FAutoSize = on;
    if (on && !FPicture.isNull())
        resize(FPicture.size());
}

void TImage::paintEvent(QPaintEvent*)
{
    if (FPicture.isNull())
        return;
    QPainter painter(this);
    if (FStretch)
        painter.drawImage(rect(), FPicture);
    else
        painter.drawImage(0, 0, FPicture);
}

// ---- TScrollBox ----------------------------------------------------------------------------

TScrollBox::TScrollBox(QWidget* parent) : QScrollArea(parent), FCanvas(new QWidget)
{
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FCanvas->resize(0, 0);
    FCanvas->installEventFilter(this);
    setWidget(FCanvas);
}

bool TScrollBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FCanvas) {
        if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved) {
            auto* child = static_cast<QChildEvent*>(event)->child();
            if (event->type() == QEvent::ChildAdded && child->isWidgetType())
                child->installEventFilter(this);
            UpdateRange();
        }
    } else if (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
               event->type() == QEvent::Show || event->type() == QEvent::Hide) {
        UpdateRange();
    }
    return QScrollArea::eventFilter(watched, event);
}

void TScrollBox::UpdateRange()
{
    int right = 0;
    int bottom = 0;
    for (QObject* object : FCanvas->children())
        if (auto* child = qobject_cast<QWidget*>(object); child && !child->isHidden()) {
            right = std::max(right, child->geometry().right() + 1);
            bottom = std::max(bottom, child->geometry().bottom() + 1);
        }
    FCanvas->resize(right, bottom);
}

// ---- Track bars and list rows --------------------------------------------------------------

QSlider* CreateTrackBar(QWidget* parent, const char* name, TTrackBarOrientation orientation, int min, int max,
                        int position, int tickInterval)
{
    auto* bar = new QSlider(orientation == TTrackBarOrientation::Vertical ? Qt::Vertical : Qt::Horizontal, parent);
    bar->setObjectName(name);
    bar->setRange(min, max);
    bar->setValue(position);
    bar->setSingleStep(1);
    bar->setPageStep(2);
    bar->setTickInterval(tickInterval);
    bar->setTickPosition(QSlider::TicksBelow); // below a horizontal bar, right of a vertical one
    if (orientation == TTrackBarOrientation::Vertical) {
        bar->setInvertedAppearance(true);
        bar->setInvertedControls(true);
    }
    return bar;
}

QSize TFixedRowHeightDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), FHeight);
}
