// SPDX-License-Identifier: GPL-3.0-or-later
#include "CregLibrary.h"

namespace tavimor {

QString CregLibrary::resolve() {
    return SharedLibrary::load(
        kSoname,
        {TAVIMOR_LIBRARY_SYMBOL(libcreg_error_free), TAVIMOR_LIBRARY_SYMBOL(libcreg_error_sprint),
         TAVIMOR_LIBRARY_SYMBOL(libcreg_file_initialize), TAVIMOR_LIBRARY_SYMBOL(libcreg_file_open),
         TAVIMOR_LIBRARY_SYMBOL(libcreg_file_close), TAVIMOR_LIBRARY_SYMBOL(libcreg_file_free),
         TAVIMOR_LIBRARY_SYMBOL(libcreg_file_get_root_key),
         TAVIMOR_LIBRARY_SYMBOL(libcreg_file_get_key_by_utf8_path), TAVIMOR_LIBRARY_SYMBOL(libcreg_key_free),
         TAVIMOR_LIBRARY_SYMBOL(libcreg_key_get_number_of_values),
         TAVIMOR_LIBRARY_SYMBOL(libcreg_key_get_value_by_index),
         TAVIMOR_LIBRARY_SYMBOL(libcreg_key_get_value_by_utf8_name),
         TAVIMOR_LIBRARY_SYMBOL(libcreg_value_free), TAVIMOR_LIBRARY_SYMBOL(libcreg_value_get_utf8_name_size),
         TAVIMOR_LIBRARY_SYMBOL(libcreg_value_get_utf8_name),
         TAVIMOR_LIBRARY_SYMBOL(libcreg_value_get_value_type),
         TAVIMOR_LIBRARY_SYMBOL(libcreg_value_get_value_data_size),
         TAVIMOR_LIBRARY_SYMBOL(libcreg_value_get_value_data)});
}

} // namespace tavimor
