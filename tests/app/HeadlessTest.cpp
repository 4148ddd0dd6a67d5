#include "TestUtil.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TToolRun Ornwick(std::vector<std::string> args) { return RunOrnwickTool(std::move(args)); }

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
