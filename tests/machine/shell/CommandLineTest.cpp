#include "shell/CommandLine.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

struct RunResult {
    int status;
    std::string out, err;
};

RunResult Plinkora(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunCommandLine(args, out, err);
    return {status, out.str(), err.str()};
}

const std::string OldLayout = "Plinkora Song\r\n120 ms\r\n1 Pattern\r\n3 0 5 \r\n"
                              "2 Songlines\r\n1 1 \r\n";

} // namespace

TEST(CommandLine, ConvertWritesTheFullLayout) {
    TempDir dir;
    const auto in = dir.Write("old.pks", OldLayout);
    const RunResult run = Plinkora({"--convert", in, dir.File("new.pks")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(TempDir::Read(dir.File("new.pks")),
              "Plinkora Song\r\n120 ms\r\n1 Pattern\r\n3 0 5 \r\n2 Songlines\r\n1 1 \r\n"
              "Transponition\r\n0 \r\n0 Patch\r\n-1 Device\r\n1 Channel\r\n37 Range\r\n"
              "4\r\n-\r\n4\r\n0 0 0 \r\n1 1 1 \r\n(1)\r\n0\r\n");
}

TEST(CommandLine, ConvertErrorsLeaveTheOutputUntouched) {
    TempDir dir;
    const auto out = dir.Write("out.pks", "precious");
    for (const auto& [contents, message] : std::vector<std::pair<std::string, std::string>>{
             {"MThd", "is not a Plinkora song file"},
             {"Plinkora Song\r\n1x0 ms\r\n", "'1x0' is not a valid integer value"},
             {OldLayout.substr(0, 30), "the file ends before"}}) {
        const RunResult run = Plinkora({"--convert", dir.Write("in.pks", contents), out});
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(TempDir::Read(out), "precious");
    }
    const RunResult missing = Plinkora({"--convert", dir.File("none.pks"), out});
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("Cannot open file"), std::string::npos);
    EXPECT_EQ(TempDir::Read(out), "precious");
}

TEST(CommandLine, OptionsAndUsage) {
    EXPECT_EQ(Plinkora({"--version"}).out, "Plinkora v1.200\n");
    const RunResult help = Plinkora({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--convert"), std::string::npos);
    EXPECT_EQ(Plinkora({"--bogus"}).status, 2);
    EXPECT_EQ(Plinkora({"--convert", "only-one"}).status, 2);
}

TEST(CommandLine, PlainArgumentsNameOneSongJoinedWithSpaces) {
    TempDir dir;
    dir.Write("My Song.pks", OldLayout);
    const RunResult run = Plinkora({dir.File("My"), "Song.pks"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("My Song: 1 patterns of 3 steps, 2 song lines, 120 ms per step "
                           "(125.000 BPM)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(Plinkora({dir.File("Other.pks")}).status, 0);
}
