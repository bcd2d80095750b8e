// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <sys/types.h>
#include <tuple>

// Skips the test, with the reason, where the place could not be mounted.
#define SKIP_WITHOUT_MOUNT(place)                                                                            \
    do {                                                                                                     \
        if (!(place).skipReason().isEmpty()) {                                                               \
            GTEST_SKIP() << (place).skipReason().toStdString();                                              \
        }                                                                                                    \
    } while (false)

namespace tavimor::test {

// A folder of its own for fault tests: a small tmpfs that can be filled or made read-only, so the
// faults hit root too. Where mounting is not allowed (not root, or a container refuses it),
// skipReason() says why and the test skips.
class FaultPlace {
public:
    explicit FaultPlace(int sizeKiB = 64);
    ~FaultPlace();
    FaultPlace(const FaultPlace&) = delete;
    FaultPlace& operator=(const FaultPlace&) = delete;

    QString skipReason() const { return m_skipReason; }
    QString path() const { return m_mount; }
    QString filePath(const QString& name) const { return m_mount + QLatin1Char('/') + name; }

    // Takes every free byte, so the next write fails with "No space left on device".
    bool fill();
    // Remounts the place read-only: writes fail with "Read-only file system", for root as well.
    bool makeReadOnly();

private:
    QTemporaryDir m_dir;
    QString m_mount;
    QString m_skipReason;
    bool m_mounted = false;
};

// The file's bytes, or "<missing>" when it cannot be read.
QByteArray fileBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);
// What lstat says of the file: mode bits and owner; -1 when it is not there.
struct FileFacts {
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    bool link = false;
    bool operator==(const FileFacts&) const = default;
};
FileFacts factsOf(const QString& path);
// Which file stands at the path and when it was last written: equal exactly when it was not
// written again, nor replaced by a rename.
std::tuple<quint64, qint64, qint64, qint64> fileIdentity(const QString& path);
// The names in a folder, so a test can show that no temporary file was left behind.
QStringList folderEntries(const QString& folder);

// A peer tool's exit code (-1 when it could not be run or crashed) and what it printed on either channel.
struct ToolRun {
    int exitCode = -1;
    QString output;
};
ToolRun runTool(const QString& program, const QStringList& arguments, const QByteArray& input = {});

// A process that holds QLockFile's lock at lockPath until this object ends.
class LockHolder {
public:
    explicit LockHolder(const QString& lockPath);
    ~LockHolder();
    bool held() const { return m_held; }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    bool m_held = false;
};

} // namespace tavimor::test
