// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tavimor {

class ProgramContext;
class XmlDocument;
struct FileDialogRequest;

// What catalogue loading asks of the window that shows the catalogue.
class CatalogueView {
public:
    virtual ~CatalogueView() = default;
    virtual void SetColumns() {}
    // Rebuilds the tree from the working catalogue and fills the list for the root.
    virtual bool BuildTree() { return true; }
};

// Settings files are small; anything larger is not one of ours.
inline constexpr qint64 kMaxSettingsFileSize = 64 * 1024 * 1024;

// Bringing catalogues into the two documents and writing the working catalogue back as
// enciphered settings files.
class CatalogueFiles {
public:
    CatalogueFiles(ProgramContext& context, CatalogueView& view);

    // The catalogue steps of the main window's load; commandLine is the program's argument text.
    void Startup(const QString& commandLine);
    bool ProcessCommandLine(const QString& commandLine);
    // May rewrite path (a bare name is taken from the program folder). cancelled, when given,
    // tells whether the pending-changes question was cancelled, in which case nothing was loaded.
    bool LoadSettingsFile(QString& path, bool* cancelled = nullptr);
    bool OpenCommand();
    bool SaveCommand();
    bool SaveAsCommand();
    // true once the file is written and reads back as written; else error (if given) says why.
    bool WriteSettingsFile(const QString& path, QString* error = nullptr);
    // Whether the last load was of the default settings file, whose values are the registry's.
    bool defaultFileLoaded() const { return m_defaultLoaded; }
    // The entries a load of the default settings file reads from the registry: every entry, unless
    // the caller reads those it needs itself ("" reads none).
    void setStartupRefresh(const QString& address) { m_startupRefresh = address; }

    // The catalogue text (UTF-8) of a settings file's content, or a cipher status code; "" when the
    // cipher cannot work here at all, and then *error (if given) says why.
    static QByteArray decipherSettingsFile(QByteArray content, const QString& passPhrase,
                                           QString* error = nullptr);
    static QByteArray encipherSettingsFile(const QByteArray& catalogueXml, const QString& passPhrase);
    static QByteArray encipherSettingsFile(const QString& catalogueXml, const QString& passPhrase) {
        return encipherSettingsFile(catalogueXml.toUtf8(), passPhrase);
    }
    static FileDialogRequest settingsFileDialog(quint32 flags);
    // The settings file for a catalogue text; nullopt when it would be larger than any reader
    // takes (kMaxSettingsFileSize) or cannot be enciphered, and then *error says why.
    static std::optional<QByteArray> settingsFileContent(const QByteArray& catalogueXml,
                                                         const QString& passPhrase, QString* error);
    // The same for a catalogue, enciphered as it is laid out, so that its text is never whole.
    static std::optional<QByteArray> settingsFileContent(const XmlDocument& catalogue,
                                                         const QString& passPhrase, QString* error);

private:
    bool saveTo(const QString& path);
    static bool writeAndReadBack(const QString& path, const QByteArray& content, QString* error);

    ProgramContext& m_context;
    CatalogueView& m_view;
    bool m_defaultLoaded = false;
    QString m_startupRefresh;
    bool m_treeBuilt = false;
    bool m_unreadable = false; // the last load could not read its file and said why
};

} // namespace tavimor
