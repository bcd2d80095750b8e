// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzSupport.h"
#include "catalogue/CatalogueFiles.h"
#include "settings/Cipher.h"

#include <cstdint>

// The settings-file path: an arbitrary file's content deciphered and, when it passes the
// catalogue check, loaded as the program loads it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray text =
        tavimor::CatalogueFiles::decipherSettingsFile(content, tavimor::cataloguePassPhrase());
    if (text.contains("<REGISTRYSETTINGS"))
        tavimor::fuzz::exerciseCatalogue(text);
    return 0;
}
