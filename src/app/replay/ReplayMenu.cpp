// The "Replay" menu and its keys, the speed display beside TrackBar1, and seeking from the
// time line TBTime.
#include "app/replay/ReplayMenu.h"

#include "app/UTarvelMain.h"
#include "base/ErrorReporting.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>
#include <functional>

namespace {

bool IsArrow(int key) { return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down; }

// The menu's keys win over whatever widget of the window has the focus, except that a track
// bar with the focus keeps its arrow keys.
class TReplayKeys : public QObject {
public:
    TReplayKeys(TTarvelMain& window, QMenu& menu) : QObject(&window), FWindow(window), FMenu(menu) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != &FWindow)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (!IsMenuKey(QKeySequence(key->keyCombination())))
            return false;
        if (IsArrow(key->key()) && qobject_cast<QSlider*>(widget)) {
            key->accept(); // the bar takes the key
            return true;
        }
        // Not offered to the widget, so it cannot claim the key: the shortcut runs.
        return true;
    }

private:
    bool IsMenuKey(const QKeySequence& pressed) const
    {
        for (const QAction* action : FMenu.actions())
            for (const QKeySequence& shortcut : action->shortcuts())
                if (shortcut == pressed)
                    return true;
        return false;
    }

    TTarvelMain& FWindow;
    QMenu& FMenu;
};

// The time line: a click or a drag seeks to the time under the pointer; the wheel is the
// window's zoom and leaves the time alone.
class TTimeLineMouse : public QObject {
public:
    TTimeLineMouse(QSlider& bar, std::function<void(int)> seek) : QObject(&bar), FBar(bar), FSeek(std::move(seek)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (!FBar.isEnabled())
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!(mouse->buttons() & Qt::LeftButton))
                return event->type() != QEvent::MouseMove;
            FSeek(ValueAt(mouse->position().toPoint()));
            return true;
        }
        case QEvent::MouseButtonRelease:
        case QEvent::Wheel:
            return true;
        default:
            return false;
        }
    }

private:
    // The position the pointer stands over, as the bar itself reckons it when dragged.
    int ValueAt(QPoint at) const
    {
        QStyleOptionSlider option;
        option.initFrom(&FBar);
        option.orientation = FBar.orientation();
        option.minimum = FBar.minimum();
        option.maximum = FBar.maximum();
        option.sliderPosition = FBar.sliderPosition();
        option.sliderValue = FBar.value();
        option.singleStep = FBar.singleStep();
        option.pageStep = FBar.pageStep();
        option.tickPosition = FBar.tickPosition();
        option.tickInterval = FBar.tickInterval();
        option.upsideDown = FBar.invertedAppearance();
        option.state |= QStyle::State_Horizontal;
        const QStyle& style = *FBar.style();
        const QRect groove = style.subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, &FBar);
        const QRect handle = style.subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &FBar);
        const int span = groove.width() - handle.width();
        return QStyle::sliderValueFromPosition(FBar.minimum(), FBar.maximum(), at.x() - handle.width() / 2 - groove.x(),
                                               span, option.upsideDown);
    }

    QSlider& FBar;
    std::function<void(int)> FSeek;
};

} // namespace

const std::vector<int>& TReplayMenu::SpeedSteps()
{
    static const std::vector<int> steps{1000, 500, 200, 100, 50, 20, 10, 5, 2, 1};
    return steps;
}

std::string TReplayMenu::SpeedCaption(int interval)
{
    if (interval <= 0)
        return "";
    // 100 ms a tick is real time; tenths below x1, whole numbers from x10.
    const double speed = 100.0 / interval;
    const int decimals = speed >= 10 ? 0 : speed >= 1 ? 1 : 2;
    QString text = QString::number(speed, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return "x" + text.toStdString();
}

TReplayMenu::TReplayMenu(TTarvelMain& window) : QObject(&window), FWindow(window)
{
    struct TItem {
        const char* name;
        const char* caption;
        QList<QKeySequence> keys;
        std::function<void()> act;
    };
    const TItem items[] = {
        {"StopContinue1", "Stop / Continue", {Qt::Key_Space}, [this] { StopContinueClick(); }},
        {nullptr, nullptr, {}, {}},
        {"Back10s1", "Back 10 s", {Qt::Key_Left}, [this] { FWindow.SeekTo(FWindow.ReplayTime() - 10); }},
        {"Forward10s1", "Forward 10 s", {Qt::Key_Right}, [this] { FWindow.SeekTo(FWindow.ReplayTime() + 10); }},
        {"Back60s1", "Back 60 s", {Qt::SHIFT | Qt::Key_Left}, [this] { FWindow.SeekTo(FWindow.ReplayTime() - 60); }},
        {"Forward60s1", "Forward 60 s", {Qt::SHIFT | Qt::Key_Right}, [this] { FWindow.SeekTo(FWindow.ReplayTime() + 60); }},
        {"PreviousKill1", "Previous kill", {Qt::Key_Comma}, [this] { FWindow.PreviousKill(); }},
        {"NextKill1", "Next kill", {Qt::Key_Period}, [this] { FWindow.NextKill(); }},
        {"RestartRound1", "Restart round", {Qt::Key_Home}, [this] { FWindow.SeekTo(FWindow.RoundStartTime()); }},
        {nullptr, nullptr, {}, {}},
        {"Faster1", "Faster", {Qt::Key_Up}, [this] { FasterClick(); }},
        {"Slower1", "Slower", {Qt::Key_Down}, [this] { SlowerClick(); }},
        {nullptr, nullptr, {}, {}},
        {"PreviousRound1", "Previous round", {Qt::Key_PageUp}, [this] { PreviousRoundClick(); }},
        {"NextRound1", "Next round", {Qt::Key_PageDown}, [this] { NextRoundClick(); }},
        {nullptr, nullptr, {}, {}},
        {"FollowPlayer1", "Follow selected player", {Qt::Key_F}, [this] { FollowPlayerClick(); }},
        // One wheel notch each; "=" is "+" without Shift on many keyboards.
        {"ZoomIn1", "Zoom in", {Qt::Key_Plus, Qt::Key_Equal, Qt::KeypadModifier | Qt::Key_Plus},
         [this] { FWindow.FormMouseWheel(120); }},
        {"ZoomOut1", "Zoom out", {Qt::Key_Minus, Qt::KeypadModifier | Qt::Key_Minus}, [this] { FWindow.FormMouseWheel(-120); }},
        {nullptr, nullptr, {}, {}},
        {"KeyboardShortcuts1", "Keyboard shortcuts", {Qt::Key_F1}, [this] { KeyboardShortcutsClick(); }},
    };
    for (const TItem& item : items) {
        if (!item.name) {
            FWindow.Replay1->addSeparator();
            continue;
        }
        QAction* action = FWindow.Replay1->addAction(QString::fromLatin1(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        action->setShortcuts(item.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        FWindow.addAction(action); // the keys work while the menu is closed, wherever the focus is
        connect(action, &QAction::triggered, this, [act = item.act] { RunHandler(act); });
    }
    qApp->installEventFilter(new TReplayKeys(FWindow, *FWindow.Replay1));

    // The speed, below its bar.
    LSpeed = new TLabel(FWindow.TabSheet5);
    LSpeed->setObjectName(QStringLiteral("LSpeed"));
    LSpeed->move(220, 284);
    LSpeed->SetCaption(SpeedCaption(FWindow.ReplayOptions().interval));

    QSlider* timeLine = FWindow.TBTime;
    timeLine->installEventFilter(new TTimeLineMouse(*timeLine, [this](int tenths) { RunHandler([=, this] { SeekTimeLine(tenths); }); }));
    // The bar's own keys move it; the replay follows.
    connect(timeLine, &QSlider::actionTriggered, this, [this, timeLine](int action) {
        if (action != QAbstractSlider::SliderNoAction && action != QAbstractSlider::SliderMove)
            RunHandler([this, timeLine] { SeekTimeLine(timeLine->sliderPosition()); });
    });
    // A new log has no round selected (and the seeks find no round's events).
    connect(FWindow.ListBox1->model(), &QAbstractItemModel::modelReset, timeLine, [timeLine] { timeLine->setEnabled(false); });
}

void TReplayMenu::SeekTimeLine(int tenths)
{
    // The bar shows the clock rounded to tenths: half a tenth early is the first tick at which
    // it shows this place.
    FWindow.SeekTo((tenths - 0.5) / 10.0);
}

void TReplayMenu::ShowSpeed()
{
    if (LSpeed)
        LSpeed->SetCaption(SpeedCaption(FWindow.ReplayOptions().interval));
}

void TReplayMenu::StopContinueClick()
{
    if (FWindow.Timer1->isActive() && !FWindow.StopRequested())
        FWindow.BitBtn1Click();
    else
        FWindow.Button1Click();
}

void TReplayMenu::FasterClick()
{
    for (const int step : SpeedSteps())
        if (step < FWindow.ReplayOptions().interval) {
            FWindow.SetTrackBarPosition(FWindow.TrackBar1, step);
            return;
        }
}

void TReplayMenu::SlowerClick()
{
    const std::vector<int>& steps = SpeedSteps();
    for (auto step = steps.rbegin(); step != steps.rend(); ++step)
        if (*step > FWindow.ReplayOptions().interval) {
            FWindow.SetTrackBarPosition(FWindow.TrackBar1, *step);
            return;
        }
}

void TReplayMenu::PreviousRoundClick()
{
    QListWidget& rounds = *FWindow.ListBox1;
    const int row = rounds.currentRow() < 0 ? rounds.count() - 1 : rounds.currentRow() - 1;
    if (row < 0)
        return;
    rounds.setCurrentRow(row);
    FWindow.ListBox1DblClick();
}

void TReplayMenu::NextRoundClick()
{
    QListWidget& rounds = *FWindow.ListBox1;
    const int row = rounds.currentRow() + 1;
    if (row >= rounds.count())
        return;
    rounds.setCurrentRow(row);
    FWindow.ListBox1DblClick();
}

void TReplayMenu::FollowPlayerClick()
{
    if (!FWindow.ScoreBord->selectedItems().isEmpty())
        FWindow.CBTrackPlayer->setChecked(true);
}

void TReplayMenu::KeyboardShortcutsClick()
{
    QDialog dialog(&FWindow);
    dialog.setObjectName(QStringLiteral("KeyboardShortcuts"));
    dialog.setWindowTitle(QStringLiteral("Keyboard shortcuts"));
    auto* list = new QTreeWidget(&dialog);
    list->setObjectName(QStringLiteral("ShortcutList"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Key"), QStringLiteral("Action")});
    // Read from the menus themselves, so the list never disagrees with them.
    for (const QMenu* menu : {FWindow.Replay1, FWindow.View1})
        for (const QAction* action : menu->actions()) {
            if (action->shortcuts().isEmpty())
                continue;
            new QTreeWidgetItem(list, {action->shortcut().toString(QKeySequence::NativeText), action->text()});
        }
    list->resizeColumnToContents(0);
    auto* note = new TLabel(&dialog);
    note->SetCaption("The arrow keys move a track bar that has the focus.");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addWidget(note);
    layout->addWidget(buttons);
    dialog.resize(360, 420);
    dialog.exec();
}
