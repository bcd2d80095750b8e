// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AdmxModel.h"

#include <QByteArray>
#include <optional>

namespace tavimor {

// Reads an ADMX file: its namespaces, categories, supportedOn definitions and policies with every
// element kind. A file the program could not write correctly from (a number that is none, an
// element kind it does not know, a policy without a key) is refused as a whole, with the line and
// the reason; parts that only describe (annotations, keywords, products) are passed over.
class AdmxReader {
public:
    // nullopt with *error ("line N: reason") when the file cannot be used.
    static std::optional<AdmxFile> read(const QByteArray& bytes, const QString& path, QString* error);
};

} // namespace tavimor
