// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzSupport.h"
#include "catalogue/CatalogueCheck.h"

#include <cstdint>

// A hand-written catalogue as import-xml takes it: parsed, checked, and when complete used.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    tavimor::XmlDocument doc;
    doc.loadXML(text);
    const QStringList problems = tavimor::checkCatalogue(doc);
    // Even an incomplete catalogue must not bring the program down when loaded.
    tavimor::fuzz::exerciseCatalogue(text);
    if (problems.isEmpty()) {
        tavimor::XmlDocument again;
        if (!again.loadXML(doc.serialize()) || again.serialize() != doc.serialize())
            __builtin_trap();
    }
    return 0;
}
