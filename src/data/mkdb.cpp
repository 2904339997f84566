// Creates a new Tritodex database from the schema and the reference CSV files.
// Usage: tritodex_mkdb [--if-missing] <database file> <refdata folder>
// An existing file is never touched: with --if-missing that is success, otherwise an error.
#include "data/CreacionBaseDatos.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool siFalta = args.removeAll(QStringLiteral("--if-missing")) > 0;
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: tritodex_mkdb [--if-missing] <database> <refdata folder>\n");
        return 2;
    }
    if (QFileInfo::exists(args[0])) {
        if (siFalta) return 0;
        std::fprintf(stderr, "%s exists; not overwritten\n", qPrintable(args[0]));
        return 1;
    }
    QString error;
    if (!CreacionBaseDatos::CrearBaseDatos(args[0], args[1], &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
