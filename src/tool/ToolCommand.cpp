#include "tool/ToolCommand.h"

#include "base/Convert.h"
#include "base/Files.h"
#include "log/OpenedLog.h"
#include "mapview/Calibration.h"
#include "mapview/RoundMap.h"
#include "level/MapImport.h"
#include "round/RoundReplay.h"
#include "round/RoundView.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>

int RoundNumber(const std::string& text)
{
    int32_t round = 0;
    if (!TryStrToInt(text, round) || round < 0 || text.find_first_not_of("0123456789") != std::string::npos)
        throw TUsageError{"N is the round's place in the log's round list (0 for the first), not '" + text + "'"};
    return round;
}

void CheckRoundListed(int round, size_t rounds)
{
    if (static_cast<size_t>(round) < rounds)
        return;
    throw TUsageError{"no round " + std::to_string(round) + ": the log lists " +
                      (rounds == 0   ? std::string("no round worth replaying")
                       : rounds == 1 ? std::string("one round, 0")
                                     : std::to_string(rounds) + " rounds, 0 to " + std::to_string(rounds - 1)) +
                      " (see ornwick rounds LOG)"};
}

int32_t WholeIn(const std::string& text, int32_t low, int32_t high, const std::string& message)
{
    int32_t value = 0;
    if (!TryStrToInt(text, value) || value < low || value > high)
        throw TUsageError{message + ", not '" + text + "'"};
    return value;
}

void CheckOutput(const std::string& option, const std::string& out, const std::vector<std::string>& extensions,
                 const std::string& wrongExtension, const std::vector<std::string>& inputs)
{
    const std::string extension = UpperCaseAscii(ExtractFileExt(out));
    if (std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
        throw TUsageError{option + " " + out + ": " + wrongExtension};
    if (ExistsAsNonRegularFile(out))
        throw TUsageError{option + " " + out + ": it exists and is not a regular file"};
    for (const std::string& input : inputs)
        if (SameFile(out, input))
            throw TUsageError{option + " " + out + ": that is the log being read; name a file of its own"};
    // A file of that name (or one a link leads to) is replaced only when it holds what the
    // command writes: a log, or any other file of the user's, is never written over.
    if (!IsOwnKindOfOutput(out))
        throw TUsageError{option + " " + out + ": it exists and holds no " + extension.substr(1) +
                          " of this program's; it is left as it is"};
}

bool IsOwnKindOfOutput(const std::string& out)
{
    std::error_code ignored;
    if (!std::filesystem::exists(out, ignored))
        return true;
    std::ifstream file(out, std::ios::binary);
    char head[12] = {};
    file.read(head, sizeof head);
    const std::string_view bytes(head, static_cast<size_t>(file.gcount()));
    const std::string extension = UpperCaseAscii(ExtractFileExt(out));
    if (bytes.empty())
        return true; // an empty file holds nothing to lose
    if (extension == ".PNG")
        return bytes.starts_with("\x89PNG\r\n\x1a\n");
    if (extension == ".JPG" || extension == ".JPEG")
        return bytes.starts_with("\xFF\xD8\xFF");
    if (extension == ".MP4")
        return bytes.size() >= 8 && bytes.substr(4, 4) == "ftyp";
    return false;
}

bool SameOutput(const std::string& a, const std::string& b)
{
    const auto absolute = [](const std::string& name) {
        return QDir::cleanPath(QFileInfo(QFile::decodeName(QByteArray::fromStdString(name))).absoluteFilePath());
    };
    return SameFile(a, b) || absolute(a) == absolute(b);
}

void TellLogNote(const std::string& note, std::ostream& err)
{
    if (!note.empty())
        err << note << '\n';
}

void OpenTelling(TOpenedLog& log, const std::string& fileName, std::ostream& err)
{
    log.Open(fileName);
    TellLogNote(log.Reading().Note(), err);
}

std::string HomeTarvel(std::string folder)
{
    if (folder.empty())
        throw TUsageError();
    if (folder.back() != '/')
        folder += '/';
    return folder + "Tarvel";
}

std::string DefaultTarvel() { return ExtractFilePath(ExecutablePath()) + "Tarvel"; }

std::string TarvelPath(const TContext& c)
{
    if (c.args.empty())
        return DefaultTarvel();
    c.ExpectArgs(2);
    if (c.Arg(0) != "--home")
        throw TUsageError();
    return HomeTarvel(c.Arg(1));
}

TToolScope::TToolScope()
{
    FPreviousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            fprintf(stderr, "%s\n", qPrintable(text));
    });
    FPreviousSink = SetErrorSink([this](const std::string& message) { FMessages.push_back(message); });
}

TToolScope::~TToolScope()
{
    qInstallMessageHandler(FPreviousHandler);
    SetErrorSink(std::move(FPreviousSink));
}

int TToolScope::Finish(std::ostream& out, std::ostream& err) const
{
    if (FMessages.empty())
        return 0;
    out.flush();
    for (const std::string& message : FMessages)
        err << message << '\n';
    return 1;
}

void TToolScope::MakeGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ornwick";
    static char* argv[] = {name, nullptr};
    FApp = std::make_unique<QGuiApplication>(argc, argv);
}

TProgramFiles StartWithoutWindow(const std::string& exeName)
{
    if (!QCoreApplication::instance())
        QCoreApplication::setApplicationName(QStringLiteral("ornwick"));
    TProgramFiles files(exeName);
    RunHandler([&] { files.Read(); });
    return files;
}

TRoundCommand::TRoundCommand(const TContext& c, const std::function<bool(const std::string& option, size_t& i)>& own)
{
    if (c.args.size() < 2)
        throw TUsageError();
    log = c.Arg(0);
    round = RoundNumber(c.Arg(1));
    home = DefaultTarvel();
    for (size_t i = 2; i < c.args.size(); ++i) {
        const std::string& option = c.Arg(i);
        if (option == "--home")
            home = HomeTarvel(c.Arg(++i));
        else if (option == "--scale" || option == "--correctiony" || option == "--left" || option == "--top")
            numbers[option] = StrToInt(c.Arg(++i));
        else if (!own(option, i))
            throw TUsageError();
    }
}

void TRoundCommand::SetUp(TRoundMap& map, TProgramFiles& files, TToolScope& scope, std::ostream& err) const
{
    map.SetImporter(GameFolderImporter(
        files, [&err](const std::string& notice) { err << notice << '\n'; }, [&scope] { scope.MakeGuiApplication(); }));
    MoveSliders(map, numbers);
}

std::unique_ptr<TRoundReplay> SelectInView(const TRoundCommand& command, TOpenedLog& log, TProgramFiles& files,
                                           TRoundView& view, TToolScope& scope, std::ostream& err)
{
    OpenTelling(log, command.log, err);
    CheckRoundListed(command.round, log.Rounds().size());
    auto replay = std::make_unique<TRoundReplay>(files, log.Roster());
    command.SetUp(replay->Map(), files, scope, err);
    RunHandler([&] {
        replay->Select(*log.Round(command.round));
        view.ApplyFirstView(*replay);
    });
    return replay;
}

void MoveSliders(TRoundMap& map, const std::map<std::string, int>& numbers)
{
    const std::pair<const char*, int TCalibration::*> bars[] = {{"--scale", &TCalibration::XScale},
                                                               {"--correctiony", &TCalibration::YScale},
                                                               {"--left", &TCalibration::Left},
                                                               {"--top", &TCalibration::Top}};
    for (const auto& [option, bar] : bars)
        if (numbers.count(option))
            map.MoveSlider(bar, numbers.at(option));
}
