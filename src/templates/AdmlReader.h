// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AdmxModel.h"

#include <QByteArray>
#include <optional>

namespace tavimor {

// Reads an ADML file: the string table ($(string.ID) of its ADMX file) and the presentation table,
// the controls each policy shows for its elements.
class AdmlReader {
public:
    // nullopt with *error ("line N: reason") when the file cannot be used.
    static std::optional<AdmlFile> read(const QByteArray& bytes, const QString& path, QString* error);
};

} // namespace tavimor
