// SPDX-License-Identifier: GPL-3.0-or-later
#include "CatalogueFiles.h"

#include "base/FileUtil.h"
#include "base/Prompter.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "settings/Cipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tavimor {

namespace {
const QString kEnterRds = QStringLiteral("Enter a .rds file as parameter.");
} // namespace

CatalogueFiles::CatalogueFiles(ProgramContext& context, CatalogueView& view)
    : m_context(context)
    , m_view(view)
    , m_startupRefresh(QLatin1String(kAllEntries)) {
}

QByteArray CatalogueFiles::decipherSettingsFile(QByteArray content, const QString& passPhrase,
                                                QString* error) {
    if (const QString why = cipherUnavailable(); !why.isEmpty()) {
        if (error)
            *error = why;
        return QByteArray();
    }
    return DecipherBytes(std::move(content), passPhrase);
}

QByteArray CatalogueFiles::encipherSettingsFile(const QByteArray& catalogueXml, const QString& passPhrase) {
    QByteArray content = EncipherBytes(catalogueXml, passPhrase);
    content.append("\r\n");
    return content;
}

namespace {

// A status code in place of the cipher text would be written as the file.
bool refuseUnenciphered(const QByteArray& content, QString* error) {
    QString why = cipherUnavailable();
    if (why.isEmpty() && content.startsWith('-'))
        why = QStringLiteral("the catalogue could not be enciphered (code %1)")
                  .arg(QString::fromLatin1(content));
    if (why.isEmpty())
        return false;
    if (error)
        *error = why;
    return true;
}

bool refuseTooLarge(qsizetype size, QString* error) {
    if (size <= kMaxSettingsFileSize)
        return false;
    if (error)
        *error = QStringLiteral("the settings file would be %1 MiB, larger than the %2 a settings "
                                "file may have to be opened again")
                     .arg(double(size) / (1024 * 1024), 0, 'f', 1)
                     .arg(sizeText(kMaxSettingsFileSize));
    return true;
}

// Whether the file holds exactly these bytes, read back a piece at a time.
bool fileHolds(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != bytes.size())
        return false;
    QByteArray piece(64 * 1024, Qt::Uninitialized);
    for (qsizetype at = 0; at < bytes.size();) {
        const qint64 read = file.read(piece.data(), piece.size());
        if (read <= 0 || QByteArrayView(piece.constData(), read) != QByteArrayView(bytes).sliced(at, read))
            return false;
        at += read;
    }
    return file.read(piece.data(), 1) == 0;
}

} // namespace

std::optional<QByteArray> CatalogueFiles::settingsFileContent(const QByteArray& catalogueXml,
                                                              const QString& passPhrase, QString* error) {
    // Known before the work, so a catalogue far too large costs nothing to refuse.
    if (refuseTooLarge(EncipheredSize(catalogueXml.size()) + 2, error))
        return std::nullopt;
    QByteArray content = encipherSettingsFile(catalogueXml, passPhrase);
    if (refuseUnenciphered(content.chopped(2), error))
        return std::nullopt;
    return content;
}

std::optional<QByteArray> CatalogueFiles::settingsFileContent(const XmlDocument& catalogue,
                                                              const QString& passPhrase, QString* error) {
    QByteArray content = EncipherPieces(
        [&catalogue](const std::function<void(QByteArrayView)>& piece) { catalogue.serialize(piece); },
        passPhrase, catalogue.serializedSizeHint(), 2);
    if (refuseUnenciphered(content, error) || refuseTooLarge(content.size() + 2, error))
        return std::nullopt;
    content.append("\r\n");
    return content;
}

FileDialogRequest CatalogueFiles::settingsFileDialog(quint32 flags) {
    FileDialogRequest request;
    request.defaultExt = QStringLiteral(".rds");
    request.filter = QStringLiteral("Tavimor Files (*.rds)|*.rds|All Files (*.*)|*.*");
    request.flags = flags;
    return request;
}

void CatalogueFiles::Startup(const QString& commandLine) {
    m_context.appTitle = QLatin1String(kAppTitle);
    m_context.helpFile = m_context.programFolder + QStringLiteral("/help/Tavimor4.chm");
    m_context.machineCatalogue.clear();
    m_context.workingCatalogue.clear();
    m_view.SetColumns();
    // The default settings file is read from the registry as it loads; a load that failed left
    // nothing to read. A load that succeeded has built the tree as well.
    m_treeBuilt = false;
    if (!ProcessCommandLine(commandLine)) {
        QString path = m_context.defaultSettingsFile();
        LoadSettingsFile(path);
    }
    if (!m_treeBuilt)
        m_view.BuildTree();
    m_context.setSystemName();
}

bool CatalogueFiles::ProcessCommandLine(const QString& commandLine) {
    QString cmd = commandLine;
    if (cmd.isEmpty())
        return false;
    if (!cmd.toLower().contains(QLatin1String(".rds"))) {
        m_context.showCritical(kEnterRds);
        return false;
    }
    LoadSettingsFile(cmd);
    // What is there but is no file (a FIFO, a folder) the load has named with its reason.
    const QFileInfo info(cmd);
    if (!(info.exists() && !info.isFile()) && !isListedByPlainSearch(cmd))
        m_context.showCritical(cmd + QStringLiteral(" does not exist."));
    return true;
}

bool CatalogueFiles::LoadSettingsFile(QString& path, bool* cancelled) {
    if (cancelled)
        *cancelled = false;
    m_defaultLoaded = false;
    if (!path.contains(QLatin1Char('/')) && !path.contains(QDir::separator()))
        path = m_context.programFolder + QLatin1Char('/') + path;
    if (!fileExists(path)) {
        QFile probe(path);
        QString why;
        if (QFileInfo::exists(path) && !openRegularFile(probe, &why))
            m_context.showCritical(QStringLiteral("%1 cannot be read: %2.").arg(path, why));
        else
            m_context.showCritical(QStringLiteral("RDS file does not exist."));
        return false;
    }
    QByteArray text;
    if (!isListedByPlainSearch(path)) {
        text = builtinCatalogueUtf8();
    } else {
        if (ConfirmPendingChanges(m_context) == 1) {
            if (cancelled)
                *cancelled = true;
            return true;
        }
        QString why;
        std::optional<QByteArray> content = readWholeFile(path, kMaxSettingsFileSize, &why);
        // A file that cannot be read is not called invalid: the reason is what the user needs.
        if (!content) {
            m_context.showCritical(QStringLiteral("%1 cannot be read: %2.").arg(path, why));
            m_unreadable = true;
            return false;
        }
        text = decipherSettingsFile(std::exchange(*content, QByteArray()), m_context.passPhrase, &why);
        if (!why.isEmpty()) {
            m_context.showCritical(QStringLiteral("%1 cannot be opened: %2.").arg(path, why));
            m_unreadable = true;
            return false;
        }
    }
    if (!text.contains("<REGISTRYSETTINGS")) {
        m_context.showCritical(QStringLiteral("Not a valid tavimor file"));
        return false;
    }
    const bool firstLoad = m_context.machineCatalogue.isEmpty();
    m_context.workingCatalogue.loadXML(text);
    if (firstLoad)
        m_context.machineCatalogue.copyFrom(m_context.workingCatalogue);
    if (path == m_context.defaultSettingsFile()) {
        if (!m_startupRefresh.isEmpty())
            RefreshCurrentValues(m_context, m_startupRefresh);
        m_defaultLoaded = true;
        m_context.workingCatalogue.copyFrom(m_context.machineCatalogue);
    }
    m_treeBuilt = m_view.BuildTree();
    return m_treeBuilt;
}

bool CatalogueFiles::OpenCommand() {
    if (ConfirmPendingChanges(m_context) == 1)
        return false;
    QString chosen = m_context.prompter.openFileName(settingsFileDialog(4096));
    if (!chosen.contains(QLatin1String(".rds"))) {
        m_context.showCritical(kEnterRds);
        return false;
    }
    const QString asChosen = chosen;
    bool cancelled = false;
    m_unreadable = false;
    if (LoadSettingsFile(chosen, &cancelled)) {
        // A load the user cancelled read nothing, so the current file stays what it was.
        if (!cancelled)
            m_context.currentSettingsFile = chosen;
        return true;
    }
    if (!m_unreadable)
        m_context.showCritical(asChosen + QStringLiteral(" does not contain tavimor information."));
    return false;
}

bool CatalogueFiles::SaveCommand() {
    QString path = m_context.currentSettingsFile;
    if (path.isEmpty())
        path = m_context.prompter.saveFileName(settingsFileDialog(2));
    return saveTo(path);
}

bool CatalogueFiles::SaveAsCommand() {
    const QString path = m_context.prompter.saveFileName(settingsFileDialog(2));
    const bool ok = saveTo(path);
    m_context.currentSettingsFile = path;
    return ok;
}

// The menu commands say why a save failed, so that nobody believes a catalogue saved that is not.
bool CatalogueFiles::saveTo(const QString& path) {
    if (path.isEmpty())
        return false;
    QString why = cipherUnavailable();
    if (!why.isEmpty()) {
        m_context.showCritical(
            QStringLiteral("The settings file %1 was not saved: %2. Nothing was written.").arg(path, why));
        return false;
    }
    const std::optional<QByteArray> content =
        settingsFileContent(m_context.workingCatalogue, m_context.passPhrase, &why);
    if (!content) {
        m_context.showCritical(
            QStringLiteral("The catalogue is too large to save: %1. Nothing was written.").arg(why));
        return false;
    }
    if (writeAndReadBack(path, *content, &why))
        return true;
    m_context.showCritical(QStringLiteral("The settings file %1 was not saved: %2.").arg(path, why));
    return false;
}

bool CatalogueFiles::writeAndReadBack(const QString& path, const QByteArray& content, QString* error) {
    if (!writeFileAtomically(path, content, error))
        return false;
    if (fileHolds(path, content))
        return true;
    if (error)
        *error = QStringLiteral("it reads back differently from what was written");
    return false;
}

bool CatalogueFiles::WriteSettingsFile(const QString& path, QString* error) {
    const std::optional<QByteArray> content =
        settingsFileContent(m_context.workingCatalogue, m_context.passPhrase, error);
    return content && writeAndReadBack(path, *content, error);
}

} // namespace tavimor
