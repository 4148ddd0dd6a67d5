#include "LogGen.h"
#include "TestUtil.h"
#include "ToolRun.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <sstream>

namespace {

TToolRun Ornwick(std::vector<std::string> args) { return RunOrnwickTool(std::move(args)); }

// Whether an application object was made in this process since the routine was added.
bool ApplicationMade = false;

const char Log[] = "<?xml version=\"1.0\"?>\n<bf:log>\n<bf:round><p name=\"x\">n\xE9</p></bf:round>\n";

} // namespace

TEST(Headless, TokensTreeAndSelect)
{
    TTempDir dir;
    const std::string log = dir.Write("log.xml", Log);
    TToolRun run = Ornwick({"tokens", log});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "OT:?xml version=\"1.0\"?\nOT:bf:log\nOT:bf:round\nOT:p name=\"x\"\nTX:n\xE9\nCT:p\nCT:bf:round\n");

    run = Ornwick({"tree", log});
    EXPECT_EQ(run.out, "{\"depth\":0,\"name\":\"root\",\"value\":\"\",\"cdata\":false,\"attrs\":[]}\n"
                       "{\"depth\":1,\"name\":\"?xml\",\"value\":\"\",\"cdata\":false,\"attrs\":[[\"version\",\"1.0\"]]}\n"
                       "{\"depth\":2,\"name\":\"bf:log\",\"value\":\"\",\"cdata\":false,\"attrs\":[]}\n"
                       "{\"depth\":3,\"name\":\"bf:round\",\"value\":\"\",\"cdata\":false,\"attrs\":[]}\n"
                       "{\"depth\":4,\"name\":\"p\",\"value\":\"n\xC3\xA9\",\"cdata\":false,\"attrs\":[[\"name\",\"x\"]]}\n");

    run = Ornwick({"select", log, "?xml/bf:log/bf:round/p[@name $eq$ x]"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "{\"depth\":0,\"name\":\"p\",\"value\":\"n\xC3\xA9\",\"cdata\":false,\"attrs\":[[\"name\",\"x\"]]}\n");
    run = Ornwick({"select", log, "no-such-name"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "");
}

TEST(Headless, ErrorsAndUsage)
{
    TTempDir dir;
    const std::string missing = dir.Path("missing.zxml");
    TToolRun run = Ornwick({"tree", missing});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Cannot open file " + missing + "\n");
    run = Ornwick({"convert", dir.Write("bad.zxml", Log)});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "error\n");
    EXPECT_FALSE(PathExists(dir.Path("bad.xml")));
    run = Ornwick({"convert", dir.Write("plain.xml", Log)});
    EXPECT_EQ(run.status, 0);

    EXPECT_EQ(Ornwick({}).status, 2);
    EXPECT_EQ(Ornwick({"bogus"}).status, 2);
    EXPECT_EQ(Ornwick({"select", "only-one-arg"}).status, 2);
}

// The log questions and the replay answer from the model: in a process without an application object they
// make none, and no window. The test program has one, so the test runs itself again without.
TEST(Headless, LogQuestionsAnswerWithoutAnApplication)
{
    if (QCoreApplication::instance()) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ORNWICK_TEST_NO_APPLICATION"), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=Headless.LogQuestionsAnswerWithoutAnApplication")});
        ASSERT_TRUE(child.waitForFinished(120000));
        const std::string output = child.readAll().toStdString();
        EXPECT_EQ(child.exitCode(), 0) << output;
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
        return;
    }
    qAddPreRoutine([] { ApplicationMade = true; }); // runs when one is made
    loggen::Options options;
    options.seed = 3;
    options.players = 8;
    options.rounds = 2; // the last still runs and is not listed
    options.roundTime = 100;
    options.map = "kessel_ridge";
    TTempDir dir;
    const std::string log = dir.Write("log.xml", loggen::generateToString(options));
    const std::string home = std::string(ORNWICK_BIN_DIR);
    const std::vector<std::vector<std::string>> commands = {{"rounds", log},
                                                            {"roster", log},
                                                            {"events", log, "0"},
                                                            {"stats", log, "0", "--home", home},
                                                            {"fit", log, "0", "--home", home},
                                                            {"replay", log, "0", "--home", home, "--seek", "60"}};
    for (const std::vector<std::string>& command : commands) {
        const TToolRun run = Ornwick(command);
        EXPECT_EQ(run.status, 0) << command[0] << ": " << run.err;
        EXPECT_FALSE(run.out.empty()) << command[0];
        EXPECT_FALSE(ApplicationMade) << command[0];
        EXPECT_EQ(QCoreApplication::instance(), nullptr) << command[0];
    }
    // The fit took the map picture's height: its values differ from those of the default height.
    const TToolRun fit = Ornwick({"fit", log, "0", "--home", home});
    const TToolRun pictureless = Ornwick({"fit", log, "0", "--home", dir.Path("")});
    EXPECT_NE(fit.out, pictureless.out);
}
