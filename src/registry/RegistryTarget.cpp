// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegistryTarget.h"

#include "MemoryBackend.h"
#include "registry/hive/HiveBackend.h"
#include "registry/hive/HiveFiles.h"
#include "registry/regfile/RegFileBackend.h"
#include "registry/win9x/Win9xBackend.h"
#include "registry/wine/WinePrefixBackend.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

namespace tavimor {

QString defaultRegistryFile() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/tavimor/registry.reg");
}

QString defaultComputerName() {
    QString name = QSysInfo::machineHostName().toUpper();
    for (QChar& c : name) {
        const bool allowed = (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                             (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-');
        if (!allowed)
            c = QLatin1Char('-');
    }
    name.truncate(15);
    return name.isEmpty() ? QStringLiteral("TAVIMOR") : name;
}

QString registryTargetFromEnvironment() {
    return qEnvironmentVariable("TAVIMOR_TARGET");
}

namespace {

std::unique_ptr<RegistryBackend> openHiveTarget(const QString& target, QString* error) {
    HiveBackend::Files files;
    if (target.startsWith(QLatin1String("hive:"))) {
        const QStringList paths = target.mid(5).split(QLatin1Char(','));
        if (paths.size() > 3 || paths.join(QString()).isEmpty()) {
            *error = QStringLiteral(
                "The target \"hive:\" takes one to three hive files: hive:NTUSER.DAT[,SOFTWARE[,SYSTEM]].");
            return nullptr;
        }
        const auto absolute = [&](int i) {
            return paths.value(i).isEmpty() ? QString() : QFileInfo(paths[i]).absoluteFilePath();
        };
        files = {absolute(0), absolute(1), absolute(2)};
    } else {
        QString root = target.mid(8);
        QString user;
        if (const qsizetype query = root.lastIndexOf(QLatin1String("?user=")); query >= 0) {
            user = root.mid(query + 6);
            root.truncate(query);
        }
        if (root.isEmpty()) {
            *error = QStringLiteral("The target \"windows:\" needs the folder a Windows disk is mounted on.");
            return nullptr;
        }
        const std::optional<WindowsHives> found =
            findWindowsHives(QFileInfo(root).absoluteFilePath(), user, error);
        if (!found)
            return nullptr;
        files = {found->user, found->software, found->system};
    }
    return HiveBackend::open(files, target, error);
}

} // namespace

std::unique_ptr<RegistryBackend> openRegistryTarget(const QString& target, QString* error, TargetUse use) {
    const auto fail = [error](const QString& message) -> std::unique_ptr<RegistryBackend> {
        if (error)
            *error = message;
        return nullptr;
    };
    if (target.isEmpty() || target.startsWith(QLatin1String("file:"))) {
        const QString path = target.isEmpty() ? defaultRegistryFile() : target.mid(5);
        if (path.isEmpty())
            return fail(target.isEmpty()
                            ? QStringLiteral("There is no per-user data folder for the registry file.")
                            : QStringLiteral("The target \"file:\" needs a path."));
        const QString absolute = QFileInfo(path).absoluteFilePath();
        // A mistyped path must not look like a clean machine.
        if (!target.isEmpty() && use == TargetUse::MustExist && !QFileInfo::exists(absolute))
            return fail(QStringLiteral("The registry file %1 does not exist.").arg(absolute));
        QString why;
        std::unique_ptr<RegistryBackend> backend =
            RegFileBackend::open(absolute, defaultComputerName(), &why);
        return backend ? std::move(backend) : fail(why);
    }
    if (target == QLatin1String("memory:")) {
        auto backend = std::make_unique<MemoryBackend>();
        for (const SeedValue& seed : windows98Seed(defaultComputerName()))
            backend->putValue(seed.keyPath, seed.name, seed.value);
        return backend;
    }
    if (target.startsWith(QLatin1String("wine:"))) {
        const QString prefix = target.size() > 5 ? target.mid(5) : WinePrefixBackend::defaultPrefix();
        QString why;
        std::unique_ptr<RegistryBackend> backend =
            WinePrefixBackend::open(QFileInfo(prefix).absoluteFilePath(), &why);
        return backend ? std::move(backend) : fail(why);
    }
    if (target.startsWith(QLatin1String("hive:")) || target.startsWith(QLatin1String("windows:"))) {
        QString why;
        std::unique_ptr<RegistryBackend> backend = openHiveTarget(target, &why);
        return backend ? std::move(backend) : fail(why);
    }
    if (target.startsWith(QLatin1String("win9x:"))) {
        if (target.size() == 6)
            return fail(
                QStringLiteral("The target \"win9x:\" needs the WINDOWS folder of a Windows 95/98/Me disk."));
        QString why;
        std::unique_ptr<RegistryBackend> backend =
            Win9xBackend::open(QFileInfo(target.mid(6)).absoluteFilePath(), &why);
        return backend ? std::move(backend) : fail(why);
    }
    return fail(QStringLiteral("Unknown registry target \"%1\". Use file:PATH, wine:PREFIX, "
                               "hive:NTUSER.DAT[,SOFTWARE[,SYSTEM]], "
                               "windows:ROOT[?user=NAME], win9x:FOLDER, pol:DIR, "
                               "gpo:SYSVOL?gpo=NAME|GUID[&url=URL] or memory:.")
                    .arg(target));
}

} // namespace tavimor
