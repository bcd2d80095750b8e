#include "ctl/CtlApp.h"
#include "ctl/CtlEnvironment.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    tavimor::CtlEnvironment env = tavimor::CtlEnvironment::system(out, err);
    return tavimor::CtlApp(env).run(app.arguments().mid(1));
}
