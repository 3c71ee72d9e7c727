// A file being saved is, whenever the saving process dies, the old file or the new one, whole.

#include "AtomicFile.h"

#include "TempDir.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

std::string Content(char letter) { // as pk_save_loop writes them
    return std::string(1, letter) + "\n" + std::string(300000, letter) + "\nend\n";
}

TEST(AtomicFile, AKilledSaverLeavesTheOldOrTheNewFileWhole) {
    TempDir dir;
    const std::string path = dir.Write("song.pks", "the first version");
    ::chmod(path.c_str(), 0640);
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayUs(2000, 150000);
    const std::string program = SAVE_LOOP_PROGRAM;
    char* arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()),
                         nullptr};
    int seenNew = 0;
    for (int round = 0; round < 30; ++round) {
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, arguments, environ), 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const std::string now = TempDir::Read(path);
        const bool whole = now == "the first version" || now == Content('a') || now == Content('b');
        ASSERT_TRUE(whole) << "round " << round << ": " << now.size() << " bytes";
        seenNew += now != "the first version";
    }
    EXPECT_GT(seenNew, 0) << "the saver got to replace the file at all";
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "a replaced file keeps its permissions";
    EXPECT_FALSE(ReplaceFileDurably(dir.File("no/such/folder"), "x"));
}

} // namespace
