// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/SharedLibrary.h"

// Debian's libcreg announces its libbfio entry points without shipping libbfio's header; they
// are not used here.
#include <libcreg/features.h>
#undef LIBCREG_HAVE_BFIO
#include <libcreg.h>

namespace tavimor {

// The libcreg functions the Windows 9x reader uses, opened when the first such file is.
struct CregLibrary {
    static constexpr const char* kSoname = "libcreg.so.1";

    // nullptr with *error naming the library and why it cannot be used.
    static const CregLibrary* get(QString* error = nullptr) {
        return SharedLibrary::once<CregLibrary>(error);
    }
    QString resolve();

    decltype(&::libcreg_error_free) libcreg_error_free = nullptr;
    decltype(&::libcreg_error_sprint) libcreg_error_sprint = nullptr;
    decltype(&::libcreg_file_initialize) libcreg_file_initialize = nullptr;
    decltype(&::libcreg_file_open) libcreg_file_open = nullptr;
    decltype(&::libcreg_file_close) libcreg_file_close = nullptr;
    decltype(&::libcreg_file_free) libcreg_file_free = nullptr;
    decltype(&::libcreg_file_get_root_key) libcreg_file_get_root_key = nullptr;
    decltype(&::libcreg_file_get_key_by_utf8_path) libcreg_file_get_key_by_utf8_path = nullptr;
    decltype(&::libcreg_key_free) libcreg_key_free = nullptr;
    decltype(&::libcreg_key_get_number_of_values) libcreg_key_get_number_of_values = nullptr;
    decltype(&::libcreg_key_get_value_by_index) libcreg_key_get_value_by_index = nullptr;
    decltype(&::libcreg_key_get_value_by_utf8_name) libcreg_key_get_value_by_utf8_name = nullptr;
    decltype(&::libcreg_value_free) libcreg_value_free = nullptr;
    decltype(&::libcreg_value_get_utf8_name_size) libcreg_value_get_utf8_name_size = nullptr;
    decltype(&::libcreg_value_get_utf8_name) libcreg_value_get_utf8_name = nullptr;
    decltype(&::libcreg_value_get_value_type) libcreg_value_get_value_type = nullptr;
    decltype(&::libcreg_value_get_value_data_size) libcreg_value_get_value_data_size = nullptr;
    decltype(&::libcreg_value_get_value_data) libcreg_value_get_value_data = nullptr;
};

} // namespace tavimor
