// SPDX-License-Identifier: GPL-3.0-or-later
#include "XsltLibrary.h"

namespace tavimor {

QString XsltLibrary::resolve() {
    return SharedLibrary::load(
        kSoname,
        {TAVIMOR_LIBRARY_SYMBOL(xsltNewSecurityPrefs), TAVIMOR_LIBRARY_SYMBOL(xsltFreeSecurityPrefs),
         TAVIMOR_LIBRARY_SYMBOL(xsltSetSecurityPrefs), TAVIMOR_LIBRARY_SYMBOL(xsltSetDefaultSecurityPrefs),
         TAVIMOR_LIBRARY_SYMBOL(xsltSetCtxtSecurityPrefs), TAVIMOR_LIBRARY_SYMBOL(xsltSecurityForbid),
         TAVIMOR_LIBRARY_SYMBOL(xsltSetGenericErrorFunc), TAVIMOR_LIBRARY_SYMBOL(xsltParseStylesheetDoc),
         TAVIMOR_LIBRARY_SYMBOL(xsltFreeStylesheet), TAVIMOR_LIBRARY_SYMBOL(xsltNewTransformContext),
         TAVIMOR_LIBRARY_SYMBOL(xsltFreeTransformContext), TAVIMOR_LIBRARY_SYMBOL(xsltQuoteOneUserParam),
         TAVIMOR_LIBRARY_SYMBOL(xsltApplyStylesheetUser), TAVIMOR_LIBRARY_SYMBOL(xsltSaveResultToString)});
}

} // namespace tavimor
