#pragma once

// A test of a program installed where its user cannot write (a package's folder) runs itself
// again in a process of its own, in a mount namespace of its own where a folder is a read-only
// file system holding the shipped Tarvel.ini (ShippedIni). Root may write any folder that is
// merely not its own, so only a read-only mount shows it. Where namespaces or mounts are not
// permitted the test is skipped, saying why.
//
//     TEST(Suite, Name)
//     {
//         ORNWICK_IN_READ_ONLY_FOLDER(folder);
//         ... the test, with `folder` read-only
//     }

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace readonlyfs {

inline const char FolderVariable[] = "ORNWICK_TEST_READ_ONLY_FS";
inline const char Ready[] = "read-only folder mounted";
inline const char ShippedIni[] = "admin=true\r\nshipped=yes\r\n";

inline std::string Folder()
{
    const char* folder = std::getenv(FolderVariable);
    return folder ? folder : "";
}

struct TRun {
    bool ran = false;
    std::string output;
    int status = -1;
};

inline TRun RunThisTest()
{
    const ::testing::TestInfo& test = *::testing::UnitTest::GetInstance()->current_test_info();
    const QString filter = QStringLiteral("--gtest_filter=%1.%2").arg(test.test_suite_name(), test.name());
    QTemporaryDir mountPoint;
    TRun run;
    run.output = "no mount point";
    for (const QString& flags : {QStringLiteral("-m"), QStringLiteral("-rm")}) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(FolderVariable, mountPoint.path());
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        const QString script =
            QStringLiteral("mount -t tmpfs -o size=1m ornwick-test \"$0\" && printf '%1' > \"$0/Tarvel.ini\" && "
                           "mount -o remount,ro \"$0\" || exit 1; echo '%2'; exec \"$@\"")
                .arg(QString::fromLatin1(ShippedIni).replace(QStringLiteral("\r\n"), QStringLiteral("\\r\\n")),
                     QString::fromLatin1(Ready));
        child.start(QStringLiteral("unshare"), {flags, QStringLiteral("sh"), QStringLiteral("-c"), script,
                                               mountPoint.path(), QCoreApplication::applicationFilePath(), filter});
        if (!child.waitForFinished(180000)) {
            child.kill();
            child.waitForFinished();
            return {true, "the test did not end in time", -1};
        }
        run.output = child.readAll().toStdString();
        run.status = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
        run.ran = run.output.find(Ready) != std::string::npos;
        if (run.ran)
            return run;
    }
    run.output = "no read-only folder of its own here (unshare and mount not permitted): " + run.output;
    return run;
}

} // namespace readonlyfs

#define ORNWICK_IN_READ_ONLY_FOLDER(folder)                                                                    \
    const std::string folder = readonlyfs::Folder();                                                         \
    if (folder.empty()) {                                                                                     \
        const readonlyfs::TRun run = readonlyfs::RunThisTest();                                               \
        if (!run.ran)                                                                                         \
            GTEST_SKIP() << run.output;                                                                       \
        EXPECT_EQ(run.status, 0) << run.output;                                                               \
        EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;                   \
        return;                                                                                               \
    }
