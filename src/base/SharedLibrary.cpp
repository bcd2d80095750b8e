// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharedLibrary.h"

#include <QByteArray>
#include <QHash>
#include <dlfcn.h>

namespace tavimor {

namespace {

QHash<QByteArray, QByteArray>& substitutes() {
    static QHash<QByteArray, QByteArray> names;
    return names;
}

QString loaderError() {
    const char* text = ::dlerror();
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("no reason given");
}

} // namespace

QString SharedLibrary::load(const char* soname, std::initializer_list<Symbol> symbols) {
    const QByteArray name = substitutes().value(QByteArray(soname), QByteArray(soname));
    void* handle = ::dlopen(name.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return QStringLiteral("%1 cannot be loaded: %2").arg(QString::fromLatin1(name), loaderError());
    for (const Symbol& symbol : symbols) {
        ::dlerror();
        void* address = ::dlsym(handle, symbol.name);
        if (!address) {
            const QString why =
                QStringLiteral("%1 cannot be used: it lacks %2 (%3)")
                    .arg(QString::fromLatin1(name), QString::fromLatin1(symbol.name), loaderError());
            ::dlclose(handle);
            return why;
        }
        symbol.assign(symbol.pointer, address);
    }
    return QString();
}

void SharedLibrary::substituteForTests(const char* soname, const char* other) {
    substitutes().insert(QByteArray(soname), QByteArray(other));
}

} // namespace tavimor
