// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlEnvironment.h"

#include <QByteArray>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace tavimor {

namespace {

#ifdef Q_OS_UNIX
// Reads one line from fd, at most a little more than any password can be.
std::optional<QByteArray> readLine(int fd) {
    QByteArray line;
    char c = 0;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return line.isEmpty() ? std::nullopt : std::optional<QByteArray>(line);
        if (c == '\n')
            break;
        if (line.size() < 4096)
            line.append(c);
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

std::optional<QString> readPasswordWithoutEcho(const QString& prompt) {
    // The terminal itself, so that a password is never taken from a pipe by mistake.
    int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    const bool ownFd = fd >= 0;
    if (!ownFd)
        fd = STDIN_FILENO;
    const QByteArray text = prompt.toLocal8Bit();
    const int outFd = ownFd ? fd : STDERR_FILENO;
    [[maybe_unused]] const ssize_t written = ::write(outFd, text.constData(), size_t(text.size()));

    termios saved{};
    const bool isTty = ::tcgetattr(fd, &saved) == 0;
    if (isTty) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    const std::optional<QByteArray> line = readLine(fd);
    if (isTty)
        ::tcsetattr(fd, TCSAFLUSH, &saved);
    if (ownFd)
        ::close(fd);
    if (!line)
        return std::nullopt;
    return QString::fromLocal8Bit(*line);
}

bool stdinIsATerminal() {
    return ::isatty(STDIN_FILENO) != 0;
}

bool fillClosedStandardDescriptors() {
    bool outputOpen = true;
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        outputOpen = outputOpen && fd != STDOUT_FILENO;
        // open() takes the lowest free descriptor, which is this one.
        ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    }
    return outputOpen;
}
#else
std::optional<QString> readPasswordWithoutEcho(const QString& prompt) {
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    char buffer[4096];
    if (!std::fgets(buffer, sizeof buffer, stdin))
        return std::nullopt;
    QByteArray line(buffer);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromLocal8Bit(line);
}

bool stdinIsATerminal() {
    return false;
}

bool fillClosedStandardDescriptors() {
    return true;
}
#endif

} // namespace

bool CtlEnvironment::claimStandardDescriptors() {
    return fillClosedStandardDescriptors();
}

CtlEnvironment CtlEnvironment::system(QTextStream& out, QTextStream& err) {
    CtlEnvironment env(out, err);
    env.environment = [](const QString& name) {
        return qEnvironmentVariable(name.toLocal8Bit().constData());
    };
    env.readPassword = [&err](const QString& prompt) {
        err.flush();
        return readPasswordWithoutEcho(prompt);
    };
    env.stdinIsTerminal = stdinIsATerminal();
    env.readStandardInput = [](qint64 maxSize) -> std::optional<QByteArray> {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            return std::nullopt;
        QByteArray content;
        for (QByteArray chunk = in.read(64 * 1024); !chunk.isEmpty(); chunk = in.read(64 * 1024)) {
            content += chunk;
            if (content.size() > maxSize)
                return std::nullopt;
        }
        if (in.error() != QFileDevice::NoError)
            return std::nullopt;
        return content;
    };
    env.writeStandardOutput = [](const QByteArray& bytes, QString* why) {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t written =
                ::write(STDOUT_FILENO, bytes.constData() + done, size_t(bytes.size() - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                *why = QString::fromLocal8Bit(std::strerror(written < 0 ? errno : EIO));
                return false;
            }
            done += written;
        }
        return true;
    };
    return env;
}

} // namespace tavimor
