#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace tavimor {

// The report's style sheet transform over libxslt. The transform may not read or write files or
// reach the network; the style sheet and the document are parsed without network or entities.
class ReportTransform {
public:
    // Parameters are passed as text values, quoted for the style sheet.
    using Parameters = QList<std::pair<QByteArray, QString>>;

    // The transform's text result, or nullopt with error saying what went wrong.
    [[nodiscard]] static std::optional<QByteArray> transform(const QByteArray& documentXml,
                                                             const QString& styleSheetPath,
                                                             const Parameters& parameters, QString* error);
};

} // namespace tavimor
