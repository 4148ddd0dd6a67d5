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

#include "SmallFileSystem.h"

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

inline smallfs::TRun RunThisTest()
{
    const QString mount =
        QStringLiteral("mount -t tmpfs -o size=1m ornwick-test \"$0\" && printf '%1' > \"$0/Tarvel.ini\" && "
                       "mount -o remount,ro \"$0\"")
            .arg(QString::fromLatin1(ShippedIni).replace(QStringLiteral("\r\n"), QStringLiteral("\\r\\n")));
    return smallfs::RunThisTestMounted(FolderVariable, mount, Ready, "no read-only folder of its own here");
}

} // namespace readonlyfs

#define ORNWICK_IN_READ_ONLY_FOLDER(folder)                                                                    \
    const std::string folder = readonlyfs::Folder();                                                         \
    if (folder.empty()) {                                                                                     \
        const smallfs::TRun run = readonlyfs::RunThisTest();                                               \
        if (!run.ran)                                                                                         \
            GTEST_SKIP() << run.output;                                                                       \
        EXPECT_EQ(run.status, 0) << run.output;                                                               \
        EXPECT_NE(run.output.find("[  PASSED  ] 1 test"), std::string::npos) << run.output;                   \
        return;                                                                                               \
    }
