// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzSupport.h"
#include "registry/win9x/Win9xBackend.h"

#include <cstdint>

using namespace tavimor;

// libcreg 20200725 leaks a data block entry (24 bytes) on some damaged data blocks, once per file opened;
// a leak of the library's own, bounded, that no check of ours before it can reach.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libcreg_data_block_entry_initialize\n";
}

// Bytes as a Windows 95/98/Me registry file (USER.DAT and SYSTEM.DAT at once): open, then read
// every catalogue value, the computer name and the version, as a refresh does.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    std::unique_ptr<CregFile> user = CregFile::fromBytes(bytes, QStringLiteral("USER.DAT"), &error);
    std::unique_ptr<CregFile> system =
        user ? CregFile::fromBytes(bytes, QStringLiteral("SYSTEM.DAT"), &error) : nullptr;
    if (!system) {
        if (error.isEmpty())
            abort();
        return 0;
    }
    fuzz::readCatalogueValues(
        *Win9xBackend::fromFiles(std::move(user), std::move(system), QStringLiteral("fuzz")));
    return 0;
}
