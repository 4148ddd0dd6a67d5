// The main window's control tree: every control at the place, in the size and with the
// captions, hints, ranges and defaults the window was designed with.
#include "app/OpenDialog.h"
#include "app/mapview/ExportMenu.h"
#include "app/UTarvelMain.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

template <typename T>
T* Named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

TLabel* CreateLabel(QWidget* parent, const char* name, int left, int top, const char* caption)
{
    auto* label = Named(new TLabel(parent), name);
    label->move(left, top);
    label->SetCaption(caption);
    return label;
}

QPushButton* CreateButton(QWidget* parent, const char* name, int left, int top, int width, int height,
                          const char* caption)
{
    auto* button = Named(new QPushButton(QString::fromLatin1(caption), parent), name);
    button->setGeometry(left, top, width, height);
    button->setAutoDefault(false);
    return button;
}

QCheckBox* CreateCheckBox(QWidget* parent, const char* name, int left, int top, int width, int height,
                          const char* caption, bool checked, const char* hint = nullptr)
{
    auto* box = Named(new QCheckBox(QString::fromLatin1(caption), parent), name);
    box->setGeometry(left, top, width, height);
    box->setChecked(checked);
    if (hint)
        box->setToolTip(QString::fromLatin1(hint));
    return box;
}

QSlider* CreateBar(QWidget* parent, const char* name, TTrackBarOrientation orientation, int left, int top,
                   int width, int height, int min, int max, int position, int tick, const char* hint = nullptr)
{
    QSlider* bar = CreateTrackBar(parent, name, orientation, min, max, position, tick);
    bar->setGeometry(left, top, width, height);
    if (hint)
        bar->setToolTip(QString::fromLatin1(hint));
    return bar;
}

QWidget* AddPage(QTabWidget* pages, const char* name, const char* caption)
{
    auto* page = Named(new QWidget, name);
    pages->addTab(page, QString::fromLatin1(caption));
    return page;
}

// Picture holders start with a small blank bitmap so the first drawing has a canvas.
QImage Placeholder()
{
    QImage picture(20, 20, QImage::Format_RGB32);
    picture.fill(Qt::white);
    return picture;
}

// The glyph of the "Stop" button: a dark red square.
QIcon StopGlyph()
{
    QPixmap glyph(12, 12);
    glyph.fill(Qt::transparent);
    QPainter painter(&glyph);
    painter.fillRect(1, 1, 10, 10, QColor(128, 0, 0));
    return QIcon(glyph);
}

QPlainTextEdit* CreateMemo(QWidget* parent, const char* name)
{
    auto* memo = Named(new QPlainTextEdit(parent), name);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return memo;
}

} // namespace

void TTarvelMain::CreateControls()
{
    setObjectName(QStringLiteral("TarvelMain"));
    setWindowTitle(QStringLiteral("Ornwick"));
    setFont(ProgramFont());
    resize(884, 716);

    // ---- Main menu ----
    MainMenu1 = Named(new QMenuBar(this), "MainMenu1");
    setMenuBar(MainMenu1);
    File1 = Named(MainMenu1->addMenu(QStringLiteral("File")), "File1");
    ParceXML1 = Named(File1->addAction(QStringLiteral("Open log")), "ParceXML1");
    ConvertzxmlLogtoxml1 = Named(File1->addAction(QStringLiteral("Convert zxml Log to xml")), "ConvertzxmlLogtoxml1");
    FExportMenu = std::make_unique<TExportMenu>(*this, FSettings);
    // The menus of the later tools, in their order on the bar; each fills its own.
    Replay1 = Named(MainMenu1->addMenu(QStringLiteral("Replay")), "Replay1");
    View1 = Named(MainMenu1->addMenu(QStringLiteral("View")), "View1");
    Map1 = Named(MainMenu1->addMenu(QStringLiteral("Map")), "Map1");
    About1 = Named(MainMenu1->addMenu(QStringLiteral("Help")), "About1");
    About2 = Named(About1->addAction(QStringLiteral("About")), "About2");

    // ---- The page control that fills the window ----
    PageControl1 = Named(new QTabWidget(this), "PageControl1");
    PageControl1->setTabPosition(QTabWidget::West);
    setCentralWidget(PageControl1);
    TabSheet2 = AddPage(PageControl1, "TabSheet2", "Plotline");

    Label7 = CreateLabel(TabSheet2, "Label7", 384, 16, "Timeline");
    LTime = CreateLabel(TabSheet2, "LTime", 432, 16, "0");
    Label12 = CreateLabel(TabSheet2, "Label12", 456, 16, "0");
    TBTime = CreateBar(TabSheet2, "TBTime", TTrackBarOrientation::Horizontal, 376, 40, 617, 29, 0, 0, 0, 20);
    TBTime->setTickPosition(QSlider::TicksAbove);
    TBTime->setEnabled(false);

    ScoreBord = Named(new QTreeWidget(TabSheet2), "ScoreBord");
    ScoreBord->setGeometry(8, 0, 355, 305);
    ScoreBord->setFrameShape(QFrame::NoFrame);
    ScoreBord->setRootIsDecorated(false);
    ScoreBord->setItemsExpandable(false);
    ScoreBord->setSelectionBehavior(QAbstractItemView::SelectRows);
    ScoreBord->setSelectionMode(QAbstractItemView::SingleSelection);
    ScoreBord->setAllColumnsShowFocus(true);
    ScoreBord->setEditTriggers(QAbstractItemView::NoEditTriggers);
    {
        QPalette palette = ScoreBord->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        ScoreBord->setPalette(palette);
    }
    ScoreBord->setToolTip(QStringLiteral("Click on player to track"));
    ScoreBord->setHeaderLabels({QStringLiteral("Team"), QStringLiteral("Player"), QStringLiteral("D"),
                                QStringLiteral("C"), QStringLiteral("K"), QStringLiteral("D"), QStringLiteral("F"),
                                QStringLiteral("TK")});
    const int columnWidths[] = {50, 150, 25, 25, 25, 25, 25, 30};
    for (int column = 0; column < 8; ++column)
        ScoreBord->setColumnWidth(column, columnWidths[column]);
    // Rows stay sorted by their caption (the first column) only; the headers do not sort.
    ScoreBord->setSortingEnabled(true);
    ScoreBord->sortByColumn(0, Qt::AscendingOrder);
    ScoreBord->header()->setSectionsClickable(false);
    ScoreBord->header()->setSortIndicatorShown(false);
    ScoreBord->header()->setStretchLastSection(false);

    ScrollBox1 = Named(new TScrollBox(TabSheet2), "ScrollBox1");
    ScrollBox1->setGeometry(384, 69, 464, 587);
    MapZoomImage = Named(new TImage(ScrollBox1->Canvas()), "MapZoomImage");
    MapZoomImage->setGeometry(-8, 0, 105, 105);
    MapZoomImage->SetStretch(true);
    MapZoomImage->SetPicture(Placeholder());

    PCMainInfo = Named(new QTabWidget(TabSheet2), "PCMainInfo");
    PCMainInfo->setGeometry(8, 328, 369, 353);

    // ---- Page "Player" ----
    TabSheet5 = AddPage(PCMainInfo, "TabSheet5", "Player");
    Button2 = CreateButton(TabSheet5, "Button2", 8, 8, 57, 25, "Open log");
    BitBtn1 = CreateButton(TabSheet5, "BitBtn1", 74, 8, 63, 25, "Stop");
    BitBtn1->setIcon(StopGlyph());
    Button1 = CreateButton(TabSheet5, "Button1", 144, 8, 65, 25, "Continue");
    CBAnimate = CreateCheckBox(TabSheet5, "CBAnimate", 232, 8, 57, 17, "Animate", true,
                               "We calculate animation but its calculated so its not real");
    ShowHitLines = CreateCheckBox(TabSheet5, "ShowHitLines", 232, 24, 89, 17, "Show hit lines", true,
                                  "Show who is going to kill who the round dot means that guy is going down");
    ShowFlags = CreateCheckBox(TabSheet5, "ShowFlags", 232, 40, 97, 17, "Show flags", true, "Show flags on map");
    CBKillINfo = CreateCheckBox(TabSheet5, "CBKillINfo", 232, 56, 97, 15, "Show kill info", false,
                                "Show killinfo on map");
    CBShowobjects = CreateCheckBox(TabSheet5, "CBShowobjects", 232, 71, 97, 15, "Show objects", true,
                                   "Show killinfo on map");
    Label6 = CreateLabel(TabSheet5, "Label6", 12, 56, "double click on the round u want to see");
    ListBox1 = Named(new QListWidget(TabSheet5), "ListBox1");
    ListBox1->setGeometry(11, 72, 206, 121);
    ListBox1->setItemDelegate(new TFixedRowHeightDelegate(13, ListBox1));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setToolTip(QStringLiteral("Load a file first (use file open log)"));
    Label1 = CreateLabel(TabSheet5, "Label1", 218, 88, "Speed");
    TrackBar1 = CreateBar(TabSheet5, "TrackBar1", TTrackBarOrientation::Vertical, 220, 112, 29, 168, 1, 1000, 1, 20,
                          "Speed that the war is played back");
    Label10 = CreateLabel(TabSheet5, "Label10", 264, 88, "Time to see line");
    TBTimeToSeeLine = CreateBar(TabSheet5, "TBTimeToSeeLine", TTrackBarOrientation::Vertical, 264, 112, 45, 169, 1,
                                50, 10, 5, "Shows the kill lines sooner or later in time");

    // ---- Page "Admin" ----
    TabSheet3 = AddPage(PCMainInfo, "TabSheet3", "Admin");
    TabSheet3->setToolTip(QStringLiteral("Here u can adjust map propertys dont forget to save"));
    Label9 = CreateLabel(TabSheet3, "Label9", 8, 16, "&Left");
    TBLeft = CreateBar(TabSheet3, "TBLeft", TTrackBarOrientation::Horizontal, 32, 16, 254, 33, -4000, 4000, 0, 1,
                       "Set events left margin on map");
    Label9->setBuddy(TBLeft);
    Label8 = CreateLabel(TabSheet3, "Label8", 296, 8, "&Top");
    TBTop = CreateBar(TabSheet3, "TBTop", TTrackBarOrientation::Vertical, 304, 32, 33, 278, -4000, 4000, 0, 1,
                      "Set events top margin on map");
    Label8->setBuddy(TBTop);
    TBXas = CreateBar(TabSheet3, "TBXas", TTrackBarOrientation::Horizontal, 32, 48, 249, 25, 10, 5000, 2000, 1,
                      "Used to scale the events on map.");
    TBXas->setPageStep(1);
    Label13 = CreateLabel(TabSheet3, "Label13", 120, 80, "&X");
    Label4 = CreateLabel(TabSheet3, "Label4", 136, 80, "2000");
    TBYas = CreateBar(TabSheet3, "TBYas", TTrackBarOrientation::Vertical, 272, 48, 25, 265, 10, 5000, 2000, 1,
                      "Used to scale the events on map.");
    TBYas->setPageStep(1);
    Label5 = CreateLabel(TabSheet3, "Label5", 256, 160, "&Y");
    Label11 = CreateLabel(TabSheet3, "Label11", 240, 184, "2000");
    BSaveSettingsPerMap = CreateButton(TabSheet3, "BSaveSettingsPerMap", 8, 160, 67, 25, "Save");
    // Name and caption differ, and both are used as they stand.
    ReplayFromstart20Events = CreateCheckBox(TabSheet3, "ReplayFromstart20Events", 8, 192, 145, 17,
                                             "ReplayFromstart50Events", false);

    // ---- Page "Missing picture" ----
    TabSheet4 = AddPage(PCMainInfo, "TabSheet4", "Missing picture");
    TabSheet4->setToolTip(QStringLiteral("The pictures missing can be added or be redirected by the .map file"));
    Memo2 = CreateMemo(TabSheet4, "Memo2");
    Memo2->setGeometry(8, 16, 329, 361);

    // ---- Page "Score logg" ----
    TabSheet6 = AddPage(PCMainInfo, "TabSheet6", "Score logg");
    Memo1 = CreateMemo(TabSheet6, "Memo1");
    auto* fill = new QVBoxLayout(TabSheet6);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(Memo1);

    // ---- Page "Minimap" ----
    TSMinimap = AddPage(PCMainInfo, "TSMinimap", "Minimap");
    Label3 = CreateLabel(TSMinimap, "Label3", 0, 0, "Hold mouse down and move over image to go to zoom array");
    BigPicture = Named(new TImage(TSMinimap), "BigPicture");
    BigPicture->setGeometry(0, 16, 300, 300);
    BigPicture->SetStretch(true);
    BigPicture->SetPicture(Placeholder());
    CBTrackPlayer = CreateCheckBox(TSMinimap, "CBTrackPlayer", 304, 8, 54, 17, "Track", false);
    Label2 = CreateLabel(TSMinimap, "Label2", 320, 48, "Zoom");
    TBMApZoom = CreateBar(TSMinimap, "TBMApZoom", TTrackBarOrientation::Vertical, 316, 64, 37, 257, 500, 10000, FZoom,
                          200, "Use mouseweel to zoom");

    PCMainInfo->setCurrentWidget(TabSheet5);

    // ---- Not shown ----
    OpenDialog1 = Named(new TOpenDialog(this), "OpenDialog1");
    OpenDialog1->Filter = "XML|*.xml|Compressed XML|*.zxml|All|*.zxml;*.xml";
    OpenDialog1->FilterIndex = 3;
    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(1);
    // A coarse timer would tick every few milliseconds whatever the interval asks for.
    Timer1->setTimerType(Qt::PreciseTimer);
}
