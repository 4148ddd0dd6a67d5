// `ornwick widgets` and `ornwick about`: the windows as JSON lines.
#include "WindowTestUtil.h"
#include "ToolRun.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

namespace {

struct TOutput {
    int status;
    std::vector<QJsonObject> widgets;
    std::vector<QJsonObject> menuItems;
    std::string err;
};

TOutput RunTool(std::vector<std::string> args)
{
    const TToolRun run = RunOrnwickTool(std::move(args));
    TOutput result{run.status, {}, {}, run.err};
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        QJsonParseError error;
        const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
        (json.object().contains("menu") ? result.menuItems : result.widgets).push_back(json.object());
    }
    return result;
}

std::map<QString, QJsonObject> ByName(const std::vector<QJsonObject>& widgets)
{
    std::map<QString, QJsonObject> named;
    for (const QJsonObject& widget : widgets)
        named[widget["name"].toString()] = widget;
    return named;
}

} // namespace

TEST(WidgetsCommand, PrintsEveryControlParentsFirstThenTheMenuItems)
{
    THome home;
    const std::string ini = "admin=true\r\nLastOpen1=/logs/war 1.zxml\r\n";
    home.Dir.Write("Tarvel.ini", ini);
    const TOutput run = RunTool({"widgets", "--home", home.Dir.Path("")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    ASSERT_FALSE(run.widgets.empty());
    EXPECT_EQ(run.widgets.front()["name"], "TarvelMain");
    std::set<QString> seen{""};
    for (const QJsonObject& widget : run.widgets) {
        EXPECT_TRUE(seen.count(widget["parent"].toString())) << widget["name"].toString().toStdString();
        EXPECT_TRUE(seen.insert(widget["name"].toString()).second) << widget["name"].toString().toStdString();
    }

    // The fields under their names, the settings of the home folder taken into account.
    const auto named = ByName(run.widgets);
    const QJsonObject xas = named.at("TBXas");
    EXPECT_EQ(QJsonObject({{"min", xas["min"]}, {"max", xas["max"]}, {"value", xas["value"]}, {"tick", xas["tick"]}}),
              QJsonObject({{"min", 10}, {"max", 5000}, {"value", 2000}, {"tick", 1}}));
    EXPECT_EQ(xas["tooltip"], "Used to scale the events on map.");
    EXPECT_EQ(named.at("CBKillINfo")["checked"], false);
    EXPECT_EQ(named.at("TBTime")["enabled"], false);
    EXPECT_EQ(named.at("ReplayFromstart20Events")["text"], "ReplayFromstart50Events");
    EXPECT_EQ(named.at("TabSheet3")["text"], "Admin");
    EXPECT_EQ(named.at("TabSheet3")["tabVisible"], true);
    // Shown at its designed size before any log, the minimap keeps its room and placeholder.
    const QJsonObject minimap = named.at("BigPicture");
    EXPECT_EQ(std::vector<int>({minimap["w"].toInt(), minimap["h"].toInt(), minimap["pictureW"].toInt(), minimap["pictureH"].toInt()}),
              std::vector<int>({300, 300, 20, 20}));
    QStringList menu;
    int replayItems = 0; // listed with their keys in ReplayMenuTest
    for (const QJsonObject& item : run.menuItems)
        if (item["menu"] == "Replay")
            replayItems += item["text"].toString().isEmpty() ? 0 : 1;
        else if (item["menu"] == "View")
            continue; // listed in ViewMenuTest
        else if (item["menu"] == "Library")
            continue; // listed in LibraryWindowTest
        else
            menu << item["menu"].toString() + ": " + item["text"].toString();
    EXPECT_EQ(menu, QStringList({"File: Open log", "File: Convert zxml Log to xml", "File: /logs/war 1.zxml", "File: ",
                                 QString::fromUtf8("File: Export frame\u2026"),
                                 QString::fromUtf8("File: Export video\u2026"), QString::fromUtf8("Map: Calibrate\u2026"),
                                 "Map: Fit to round", "Map: ", QString::fromUtf8("Map: Import map\u2026"),
                                 QString::fromUtf8("Map: Game folder\u2026"), "Help: About"}));
    EXPECT_GE(replayItems, 16);
    EXPECT_EQ(ReadFileBytes(home.Ini()), ini); // the tool never writes the settings file

    EXPECT_EQ(RunTool({"widgets", "--home"}).status, 2);
    EXPECT_EQ(RunTool({"widgets", "--homes", home.Dir.Path("")}).status, 2);
}

TEST(WidgetsCommand, AboutShowsTheLogoItLoadedOrTheError)
{
    THome home;
    QDir().mkpath(QString::fromStdString(home.Dir.Path("images")));
    QImage logo(64, 32, QImage::Format_RGB32);
    logo.fill(Qt::red);
    ASSERT_TRUE(logo.save(QString::fromStdString(home.Dir.Path("images/logo.jpg")), "JPG"));
    const TOutput run = RunTool({"about", "--home", home.Dir.Path("")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.widgets.front()["name"], "AboutForm");
    EXPECT_EQ(ByName(run.widgets).at("LogoImage")["pictureW"], 64);

    // A logo that is no picture: the output stands, then the message, exit 1.
    home.Dir.Write("images/logo.bmp", "junk");
    const TOutput broken = RunTool({"about", "--home", home.Dir.Path("")});
    EXPECT_EQ(broken.status, 1);
    EXPECT_FALSE(broken.widgets.empty());
    EXPECT_EQ(broken.err, "Bitmap image is not valid\n");
}
