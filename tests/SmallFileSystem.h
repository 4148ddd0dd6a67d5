#pragma once

// A test that must see a full disk runs itself again in a process of its own, in a mount
// namespace of its own where a folder is a file system of 64 KB (a tmpfs) that it fills
// first. Where namespaces or mounts are not permitted the test is skipped, saying why.
//
//     TEST(Suite, Name)
//     {
//         ORNWICK_ON_SMALL_FILE_SYSTEM(folder);
//         ... the test, with `folder` on the small file system
//     }

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace smallfs {

inline const char FolderVariable[] = "ORNWICK_TEST_SMALL_FS";
inline const char Ready[] = "small file system mounted";

// In the child: the small file system's folder; else "".
inline std::string Folder()
{
    const char* folder = std::getenv(FolderVariable);
    return folder ? folder : "";
}

struct TRun {
    bool ran = false;   // the file system could be mounted
    std::string output; // the child's, or why it could not run
    int status = -1;
};

// The running test once more, in a child of its own mount namespace where the shell commands
// `mount` have made the folder "$0" what the test needs; the child learns the folder from
// `variable`. `absent` says why when such a child cannot be had here.
inline TRun RunThisTestMounted(const char* variable, const QString& mount, const char* ready, const std::string& absent)
{
    const ::testing::TestInfo& test = *::testing::UnitTest::GetInstance()->current_test_info();
    const QString filter = QStringLiteral("--gtest_filter=%1.%2").arg(test.test_suite_name(), test.name());
    QTemporaryDir mountPoint;
    TRun run;
    run.output = "no mount point";
    // As root a mount namespace is enough; elsewhere a user namespace makes one root in it.
    for (const QString& flags : {QStringLiteral("-m"), QStringLiteral("-rm")}) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(variable, mountPoint.path());
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        const QString script =
            QStringLiteral("%1 || exit 1; echo '%2'; exec \"$@\"").arg(mount, QString::fromLatin1(ready));
        child.start(QStringLiteral("unshare"), {flags, QStringLiteral("sh"), QStringLiteral("-c"), script,
                                               mountPoint.path(), QCoreApplication::applicationFilePath(), filter});
        if (!child.waitForFinished(180000)) {
            child.kill();
            child.waitForFinished();
            return {true, "the test did not end in time", -1};
        }
        run.output = child.readAll().toStdString();
        run.status = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
        run.ran = run.output.find(ready) != std::string::npos;
        if (run.ran)
            return run;
    }
    run.output = absent + " (unshare and mount not permitted): " + run.output;
    return run;
}

// The running test once more, in a child with `folder` mounted as a small tmpfs.
inline TRun RunThisTest()
{
    return RunThisTestMounted(FolderVariable, QStringLiteral("mount -t tmpfs -o size=64k ornwick-test \"$0\""), Ready,
                              "no small file system of its own here");
}

// Fills the file system holding `folder` until not one more block fits.
inline void Fill(const std::string& folder)
{
    const std::string name = folder + "/filler";
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, "f", 1) > 0) {
    }
    ::close(fd);
    // Not even a new file's first block fits now.
    const std::string probe = folder + "/probe";
    const int other = ::open(probe.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(other, 0);
    EXPECT_LT(::write(other, "x", 1), 0);
    ::close(other);
    ::unlink(probe.c_str());
}

} // namespace smallfs

// The rest of the test runs in the child, with `folder` on a small file system filled by the
// test when it is ready; the parent reports the child's outcome.
#define ORNWICK_ON_SMALL_FILE_SYSTEM(folder)                                                                   \
    const std::string folder = smallfs::Folder();                                                            \
    if (folder.empty()) {                                                                                     \
        const smallfs::TRun run = smallfs::RunThisTest();                                                     \
        if (!run.ran)                                                                                         \
            GTEST_SKIP() << run.output;                                                                       \
        EXPECT_EQ(run.status, 0) << run.output;                                                               \
        EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;                   \
        return;                                                                                               \
    }
