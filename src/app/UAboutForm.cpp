#include "app/UAboutForm.h"

#include "base/ErrorReporting.h"
#include "base/Files.h"

#include <QFrame>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <QTabBar>
#include <QTabWidget>

#include <initializer_list>

namespace {

const char* const CreditsText[] = {
    "Ornwick",
    "made by a player, for the players",
    "",
    "Thanks to everybody who sent in logs, pictures and bug reports,",
    "and to the clan for the many late test wars.",
    "",
    "Ornwick replays the wars that a dedicated server writes to its",
    "event log. Open the log, double click a round and watch the whole",
    "war again from above: who went where, who killed who, which flags",
    "changed hands and how the score went.",
    "",
    "Send in your log files and tell me what goes wrong,",
    "every log makes the replay better.",
    "",
    "To enable the logging you need to set \"game.serverEventLogging 1\" in the ",
    "serversettings.con.",
};

const char* const HelpText[] = {
    "Tips for recording",
    "If you want to see your war there's a view tips to follow.",
    "When you play a war with the analyser it will show the war from the last restart to the end ",
    "of the war.",
    "So please do not restart the map just let the game end normally.",
    "",
    "Known bugs",
    "Some vehicles are there but there's non spawn for real.",
    "Not all maps are supported and some of the supported maps have to be tweaked.",
    "",
    "-Q&A-",
    "Why do the players walk right through buildings?",
    "I onley now where someone is if they produce a event so the rest i gess and i draw ",
    "someone going there the shortest route.",
    "Can I use this to cheat?",
    "NO way.",
    "",
    "Admin tab",
    "You get the admin tabs by adding this line to the Tarvel.ini",
    "admin=true",
    "Try hovering over the controls to see what I got to tell u about this.",
    "",
    "Extras, for the real freak.",
    "The Tarvel.map file has a mapping to what class will load what picture but u can have ",
    "any picture just place the pictures in the images dir.",
    "",
    "If u want to support your map there some things u have to do:",
    "1 get the log file for the map",
    "2 get a image of the map.",
    "3 Extract the map.rfa ",
    "4 open the game type (conquest) copy the ObjectSpawns.con and rename it ",
    "[mapname]OBS.con",
    "5 copy the content of the ControlPoints.con on to the bottom of the renamed ",
    "ObjectSpawns.con",
    "6 replace all names from the controlpoints to controlpoint and add Team info ",
    "Example (",
    "Object.create controlpoint",
    "Object.absolutePosition 1392.13/66.7804/853.743",
    "Object.setTeam  0 )",
    "7 Run map en try to get the correct offsets and scaling.(use save to save it before ",
    "running again)",
    "8 see what missing pictures u have (missing picture tab).",
    "9 Add mapping to the Tarvel.map or make .bmp file for it and place it in images directory",
    "10 zip your dir without the Tarvel.exe.",
    "11 mail me the zip  :-)",
};

// The maps whose pictures and object files come with the program.
const char* const MapsText[] = {
    "-Bramble Bay",
    "-Kessel Ridge",
    "",
};

const char* const ChangeLogText[] = {
    "25-08-2003",
    "- Player names show < and > again (the log writes them as &lt; and &gt;).",
    "- Start it with a log file and a round number to see that round at once:",
    "  Tarvel mylog.zxml 0   (the first round is 0, up to 5).",
    "",
    "10-08-2003",
    "- Compressed logs (.zxml) open directly, and File, Convert zxml Log to xml",
    "  writes the plain .xml beside them.",
    "- The last log you opened is in the File menu.",
    "",
    "02-08-2003",
    "- Admin page: move and scale the events on the map and save it per map.",
    "- Missing picture page lists every picture that could not be found.",
    "",
    "24-07-2003",
    "- First version: rounds list, replay with speed, stop and continue,",
    "  scoreboard and kill lines.",
};

const char* const RecruitingText[] = {
    "Clan leden gevraagd!",
    "",
    "Onze clan zoekt nog een paar spelers voor de wekelijkse wars.",
    "Speel je graag in teamverband, kun je luisteren naar je",
    "squadleader en heb je op woensdag- en zondagavond tijd?",
    "Dan zoeken wij jou!",
    "",
    "Wat wij bieden:",
    "- een eigen server, met logging aan, dus elke war is terug te zien",
    "- vaste trainingsavonden",
    "- een gezellige groep, jong en oud",
    "",
    "Interesse? Spreek een van onze leden aan op de server,",
    "laat een bericht achter op het clanforum: forum.example.org",
    "of mail naar: werving@example.org",
};

template <size_t N>
QString Lines(const char* const (&lines)[N])
{
    QStringList text;
    for (const char* line : lines)
        text << QString::fromLatin1(line);
    return text.join(u'\n');
}

QPlainTextEdit* CreatePage(QTabWidget* pages, const char* pageName, const char* caption, QWidget*& page,
                           const char* memoName, QRect geometry, const QString& text, bool centred,
                           bool verticalScrollBar)
{
    page = new QWidget;
    page->setObjectName(QString::fromLatin1(pageName));
    pages->addTab(page, QString::fromLatin1(caption));
    auto* memo = new QPlainTextEdit(page);
    memo->setObjectName(QString::fromLatin1(memoName));
    memo->setGeometry(geometry);
    memo->setReadOnly(true);
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    memo->setPalette(palette);
    if (centred)
        memo->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setWordWrapMode(QTextOption::WordWrap);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setVerticalScrollBarPolicy(verticalScrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    memo->setPlainText(text);
    return memo;
}

} // namespace

TAboutForm::TAboutForm(QWidget* owner, const std::string& exeName) : QDialog(owner), FExeName(exeName)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    // A tool window: small caption, no resizing.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(ProgramFont());
    setFixedSize(483, 538);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::NoFrame);
    Panel1->setGeometry(0, 0, width(), 105);
    LogoImage = new TImage(Panel1);
    LogoImage->setObjectName(QStringLiteral("LogoImage"));
    LogoImage->setGeometry(112, 0, 240, 80);
    LogoImage->SetAutoSize(true);
    Label1 = new TLabel(Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(163, 88);
    Label1->SetCaption("N o w  y o u  k n o w  w h y ! ");

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 112, 481, 425);
    PageControl1->setDocumentMode(true); // the flattest tabs Qt draws
    // Less room around the captions, so that all five tabs fit in one row.
    PageControl1->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 5px; }"));
    Memo1 = CreatePage(PageControl1, "TabSheet1", "Credits", TabSheet1, "Memo1", QRect(16, 4, 441, 389),
                       Lines(CreditsText), true, false);
    Memo2 = CreatePage(PageControl1, "TabSheet2", "Help with logging", TabSheet2, "Memo2", QRect(24, 4, 441, 389),
                       Lines(HelpText), true, true);
    Memo3 = CreatePage(PageControl1, "TabSheet3", "Maps supported", TabSheet3, "Memo3", QRect(16, 4, 441, 389),
                       Lines(MapsText), false, false);
    Memo4 = CreatePage(PageControl1, "TabSheet4", "Change log", TabSheet4, "Memo4", QRect(8, 4, 457, 389),
                       Lines(ChangeLogText), false, true);
    Memo5 = CreatePage(PageControl1, "TabSheet5", "Clan leden gevraagd", TabSheet5, "Memo5", QRect(8, 4, 457, 389),
                       Lines(RecruitingText), false, true);
    PageControl1->setCurrentWidget(TabSheet5);
}

void TAboutForm::FormShow()
{
    const std::string logo = ExtractFilePath(FExeName) + "images/logo";
    if (FileExists(logo + ".bmp"))
        LogoImage->LoadFromFile(logo + ".bmp");
    else if (FileExists(logo + ".jpg"))
        LogoImage->LoadFromFile(logo + ".jpg");
}

void TAboutForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (QScreen* screen = this->screen())
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
    RunHandler([this] { FormShow(); });
}
