// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateFolders.h"

#include "AdmlReader.h"
#include "AdmxReader.h"
#include "TemplateXml.h"
#include "base/FileUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>

namespace tavimor {

namespace {

constexpr qsizetype kMaxFilesPerFolder = 10000;
const QString kFallbackLanguage = QStringLiteral("en-US");

// A folder's entries, listed once per load: every ADMX file looks for its ADML in the same folders.
class Listings {
public:
    // The entry of folder named name in any case, as a Windows share or a copied disk spells it.
    QString entryNamed(const QString& folder, const QString& name, QDir::Filters filters) {
        const QString id = folder + QChar(0) + QString::number(int(filters));
        auto at = m_entries.find(id);
        if (at == m_entries.end())
            at = m_entries.insert(id, QDir(folder).entryList(filters | QDir::NoDotAndDotDot | QDir::Hidden));
        const QDir dir(folder);
        for (const QString& entry : std::as_const(*at))
            if (entry == name)
                return dir.filePath(entry);
        for (const QString& entry : std::as_const(*at))
            if (entry.compare(name, Qt::CaseInsensitive) == 0)
                return dir.filePath(entry);
        return QString();
    }

private:
    QHash<QString, QStringList> m_entries;
};

std::optional<AdmlFile> readAdml(Listings& listings, const QString& folder, const QString& baseName,
                                 const QString& language, TemplateSet& set, const QString& admxPath) {
    for (const QString& tried : {language, kFallbackLanguage}) {
        const QString languageFolder = listings.entryNamed(folder, tried, QDir::Dirs);
        if (languageFolder.isEmpty())
            continue;
        const QString path =
            listings.entryNamed(languageFolder, baseName + QStringLiteral(".adml"), QDir::Files);
        if (path.isEmpty())
            continue;
        QString why;
        const std::optional<QByteArray> bytes = readWholeFile(path, kMaxTemplateFileSize, &why);
        std::optional<AdmlFile> adml = bytes ? AdmlReader::read(*bytes, path, &why) : std::nullopt;
        if (adml)
            return adml;
        set.addProblem({path, why, false});
    }
    set.addProblem({admxPath,
                    QStringLiteral("no ADML file for it in %1 or %2; its texts show as their names")
                        .arg(language, kFallbackLanguage),
                    true});
    return std::nullopt;
}

} // namespace

QStringList TemplateFolders::split(const QString& list) {
    return list.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QString TemplateFolders::join(const QStringList& folders) {
    return folders.join(QLatin1Char(':'));
}

QStringList TemplateFolders::centralStores(const QString& sysvol) {
    QStringList stores;
    const QDir root(sysvol);
    Listings listings;
    for (const QString& realm : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString policies =
            listings.entryNamed(root.filePath(realm), QStringLiteral("Policies"), QDir::Dirs);
        const QString store =
            policies.isEmpty()
                ? QString()
                : listings.entryNamed(policies, QStringLiteral("PolicyDefinitions"), QDir::Dirs);
        if (!store.isEmpty())
            stores.append(store);
    }
    return stores;
}

QString TemplateFolders::systemLanguage() {
    const QString name = QLocale::system().name(); // "de_DE"; "C" when the locale names none
    if (!name.contains(QLatin1Char('_')))
        return kFallbackLanguage;
    return QString(name).replace(QLatin1Char('_'), QLatin1Char('-'));
}

TemplateSet TemplateFolders::load(const QStringList& folders, const QString& language) {
    TemplateSet set;
    Listings listings;
    QSet<QString> seen;
    for (const QString& given : folders) {
        const QFileInfo info(given);
        const QString canonical = info.canonicalFilePath();
        if (!info.isDir()) {
            set.addProblem({given, QStringLiteral("no such folder"), false});
            continue;
        }
        if (seen.contains(canonical))
            continue;
        seen.insert(canonical);
        const QDir folder(given);
        QStringList names = folder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
        names.removeIf(
            [](const QString& name) { return !name.endsWith(QLatin1String(".admx"), Qt::CaseInsensitive); });
        if (names.size() > kMaxFilesPerFolder) {
            set.addProblem({given,
                            QStringLiteral("more than %1 ADMX files; none was read").arg(kMaxFilesPerFolder),
                            false});
            continue;
        }
        for (const QString& name : std::as_const(names)) {
            const QString path = folder.filePath(name);
            QString why;
            const std::optional<QByteArray> bytes = readWholeFile(path, kMaxTemplateFileSize, &why);
            std::optional<AdmxFile> admx = bytes ? AdmxReader::read(*bytes, path, &why) : std::nullopt;
            if (!admx) {
                set.addProblem({path, why, false});
                continue;
            }
            TemplateFile file{std::move(*admx), {}};
            if (!set.pathOf(file.admx.targetNamespace).isEmpty()) {
                set.add(std::move(file)); // refused with the reason
                continue;
            }
            if (std::optional<AdmlFile> adml =
                    readAdml(listings, given, name.chopped(5), language, set, path))
                file.adml = std::move(*adml);
            set.add(std::move(file));
        }
    }
    set.finish();
    return set;
}

} // namespace tavimor
