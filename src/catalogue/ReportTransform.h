// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace tavimor {

// A style sheet is the user's to edit; these stop one that would run for ever or fill the
// memory. A report of 10,000 entries stays far below each.
struct ReportLimits {
    qint64 memory = 512LL * 1024 * 1024; // bytes the transform may hold at once
    qint64 output = 64LL * 1024 * 1024;  // bytes of the finished report
    unsigned long steps = 50'000'000;    // XSLT instructions and XPath steps, each
    int depth = 1000;                    // nested template calls
    int variables = 10000;               // variables and parameters alive at once
};

// The report's style sheet transform over libxslt. The transform may not read or write files or
// reach the network; the style sheet and the document are parsed without network or entities.
class ReportTransform {
public:
    // Parameters are passed as text values, quoted for the style sheet.
    using Parameters = QList<std::pair<QByteArray, QString>>;

    // The transform's text result, or nullopt with error saying what went wrong.
    [[nodiscard]] static std::optional<QByteArray> transform(const QByteArray& documentXml,
                                                             const QString& styleSheetPath,
                                                             const Parameters& parameters, QString* error,
                                                             const ReportLimits& limits = ReportLimits());
};

} // namespace tavimor
