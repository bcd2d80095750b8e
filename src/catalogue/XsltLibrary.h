// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/SharedLibrary.h"

#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/variables.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

namespace tavimor {

// The libxslt functions the report transform uses, opened when the first report is made.
struct XsltLibrary {
    static constexpr const char* kSoname = "libxslt.so.1";

    // nullptr with *error naming the library and why it cannot be used.
    static const XsltLibrary* get(QString* error = nullptr) {
        return SharedLibrary::once<XsltLibrary>(error);
    }
    QString resolve();

    decltype(&::xsltNewSecurityPrefs) xsltNewSecurityPrefs = nullptr;
    decltype(&::xsltFreeSecurityPrefs) xsltFreeSecurityPrefs = nullptr;
    decltype(&::xsltSetSecurityPrefs) xsltSetSecurityPrefs = nullptr;
    decltype(&::xsltSetDefaultSecurityPrefs) xsltSetDefaultSecurityPrefs = nullptr;
    decltype(&::xsltSetCtxtSecurityPrefs) xsltSetCtxtSecurityPrefs = nullptr;
    decltype(&::xsltSecurityForbid) xsltSecurityForbid = nullptr;
    decltype(&::xsltSetGenericErrorFunc) xsltSetGenericErrorFunc = nullptr;
    decltype(&::xsltParseStylesheetDoc) xsltParseStylesheetDoc = nullptr;
    decltype(&::xsltFreeStylesheet) xsltFreeStylesheet = nullptr;
    decltype(&::xsltNewTransformContext) xsltNewTransformContext = nullptr;
    decltype(&::xsltFreeTransformContext) xsltFreeTransformContext = nullptr;
    decltype(&::xsltQuoteOneUserParam) xsltQuoteOneUserParam = nullptr;
    decltype(&::xsltApplyStylesheetUser) xsltApplyStylesheetUser = nullptr;
    decltype(&::xsltSaveResultToString) xsltSaveResultToString = nullptr;
};

} // namespace tavimor
