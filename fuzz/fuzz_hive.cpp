// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzSupport.h"
#include "registry/hive/HiveBackend.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

using namespace tavimor;

// Bytes as a hive file (user and machine hive at once): open, then read every catalogue value,
// the computer name and the version, as a refresh does.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = ::memfd_create("hive", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != ssize_t(size))
        abort();
    const QString path = QStringLiteral("/proc/self/fd/%1").arg(fd);
    QString error;
    std::unique_ptr<HiveBackend> backend =
        HiveBackend::open({path, path, path}, QStringLiteral("hive:fuzz"), &error);
    if (backend)
        fuzz::readCatalogueValues(*backend);
    else if (error.isEmpty())
        abort();
    ::close(fd);
    return 0;
}
