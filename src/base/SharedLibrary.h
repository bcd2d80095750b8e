// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <initializer_list>

namespace tavimor {

// A library opened when a feature first needs it, not by the loader at every start: the loader
// binds every symbol of a linked library before main, whether the process uses it or not.
class SharedLibrary {
public:
    // One function: its name in the library and the pointer that receives its address.
    struct Symbol {
        const char* name;
        void* pointer;
        void (*assign)(void* pointer, void* address);
    };
    template <typename Function> static Symbol symbol(const char* name, Function*& pointer) {
        return {name, &pointer, [](void* to, void* address) {
                    *static_cast<Function**>(to) = reinterpret_cast<Function*>(address);
                }};
    }

    // Opens soname and fills every pointer; "" on success, else why, naming the library. A library
    // that loaded stays for the life of the process.
    [[nodiscard]] static QString load(const char* soname, std::initializer_list<Symbol> symbols);

    // The functions of Table, loaded by its resolve() once, on the first call from any thread;
    // nullptr with *error saying why when they cannot be had.
    template <typename Table> static const Table* once(QString* error) {
        static const Loaded<Table> loaded = [] {
            Loaded<Table> result;
            result.error = result.table.resolve();
            return result;
        }();
        if (loaded.error.isEmpty())
            return &loaded.table;
        if (error)
            *error = loaded.error;
        return nullptr;
    }

    // Tests only, before the library is first used: load other instead of soname.
    static void substituteForTests(const char* soname, const char* other);

private:
    template <typename Table> struct Loaded {
        Table table;
        QString error;
    };
};

} // namespace tavimor

// The symbol of the table's member named after the function it holds.
#define TAVIMOR_LIBRARY_SYMBOL(function) ::tavimor::SharedLibrary::symbol(#function, function)
