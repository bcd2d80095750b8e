// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/PolicyFiles.h"
#include "grouppolicy/PolFile.h"
#include "xml/XmlDocument.h"

#include <cstdint>
#include <cstdlib>

using namespace tavimor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<PolFile> file = PolFile::parse(bytes);
    if (!file)
        return 0;
    if (file->serialize() != bytes)
        abort();

    // Rewriting with the built-in catalogue's values keeps every record it does not know, and
    // the result reads back as it was laid out.
    static XmlDocument catalogue = [] {
        XmlDocument document;
        document.loadXML(builtinCatalogueText());
        return document;
    }();
    const QList<PolicyValue> values = catalogueValues(catalogue, configuredValue);
    const PolMerge merge = mergePolicy(*file, PolScope::User, values, size % 2 == 0);
    const std::optional<PolFile> again = PolFile::parse(merge.file.serialize());
    if (!again || again->records != merge.file.records)
        abort();
    for (const PolRecord& kept : merge.kept)
        if (!again->records.contains(kept))
            abort();

    XmlDocument working;
    working.copyFrom(catalogue);
    PolImport result;
    importPolicy(working, PolScope::User, *file, result);
    if (result.unknown.size() + result.deletions.size() > file->records.size())
        abort();
    return 0;
}
