// SPDX-License-Identifier: GPL-3.0-or-later
#include "ctl/CtlApp.h"
#include "ctl/CtlEnvironment.h"
#include "ctl/CtlOptions.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv) {
    if (!tavimor::CtlEnvironment::claimStandardDescriptors()) {
        std::fputs("tavimorctl: the output could not be written: standard output is closed\n", stderr);
        return tavimor::kExitFailure;
    }
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    tavimor::CtlEnvironment env = tavimor::CtlEnvironment::system(out, err);
    return tavimor::CtlApp(env).run(app.arguments().mid(1));
}
