// Creates a new Tritodex database from the schema and the reference CSV files.
// Usage: tritodex_mkdb [--if-missing] <database file> <refdata folder>
// An existing file is never touched: with --if-missing that is success, otherwise an error.
//        tritodex_mkdb --servidor postgresql://user@host:port/dbname <refdata folder>
// creates the tables and the seed data in an empty database of a PostgreSQL server.
//        tritodex_mkdb --copiar <database file> postgresql://user@host:port/dbname
// copies the file's observers, localities, reasons, observations and photographs (their
// pictures from the folder fotos/ beside the file) into such a database.
//        tritodex_mkdb --actualizar postgresql://user@host:port/dbname
// brings such a database made by an earlier version of the program up to this one.
// The password, when the server asks for one, comes from ~/.pgpass or PGPASSWORD.
#include "data/DatabaseCreation.h"
#include "data/ModConex.h"
#include "data/SchemaUpgrade.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <cstdio>
#include <functional>

namespace {
int Uso() {
    std::fprintf(stderr, "usage: tritodex_mkdb [--if-missing] <database> <refdata folder>\n"
                         "       tritodex_mkdb --servidor postgresql://user@host:port/dbname "
                         "<refdata folder>\n"
                         "       tritodex_mkdb --copiar <database> "
                         "postgresql://user@host:port/dbname\n"
                         "       tritodex_mkdb --actualizar postgresql://user@host:port/dbname\n");
    return 2;
}

int EnServidor(const QString &uri, const std::function<bool(QSqlDatabase &, QString *)> &obra) {
    const auto servidor = ModConex::Servidor::DesdeUri(uri);
    if (!servidor) {
        std::fprintf(stderr, "%s: not a postgresql:// address\n", qPrintable(uri));
        return 2;
    }
    QString error;
    bool ok = false;
    {
        if (AbrirServidor(QStringLiteral("mkdb"), *servidor, &error)) {
            QSqlDatabase db = QSqlDatabase::database(QStringLiteral("mkdb"), false);
            ok = obra(db, &error);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("mkdb"));
    if (!ok) std::fprintf(stderr, "%s\n", qPrintable(error));
    return ok ? 0 : 1;
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--servidor")) {
        const QString refdata = args[2];
        return EnServidor(args[1], [&](QSqlDatabase &db, QString *error) {
            return DatabaseCreation::CrearEnServidor(db, refdata, error);
        });
    }
    if (args.size() == 3 && args[0] == QLatin1String("--copiar")) {
        const QString archivo = args[1];
        return EnServidor(args[2], [&](QSqlDatabase &db, QString *error) {
            DatabaseCreation::Copiados n;
            if (!DatabaseCreation::CopiarAlServidor(archivo, db, &n, error)) return false;
            std::printf("%d observadores, %d localidades, %d motivos, %d observaciones, %d fotos; "
                        "en la papelera, %d observaciones y %d fotos\n",
                        n.observadores, n.localidades, n.motivos, n.observaciones, n.fotos,
                        n.papelera, n.fotosPapelera);
            return true;
        });
    }
    if (args.size() == 2 && args[0] == QLatin1String("--actualizar")) {
        return EnServidor(args[1], [&](QSqlDatabase &db, QString *error) {
            const int antes = SchemaUpgrade::Version(db);
            if (!SchemaUpgrade::Actualizar(db, error)) return false;
            std::printf("versión %d -> %d\n", antes, SchemaUpgrade::Version(db));
            return true;
        });
    }
    const bool siFalta = args.removeAll(QStringLiteral("--if-missing")) > 0;
    if (args.size() != 2 || args[0].startsWith(QLatin1String("--"))) return Uso();
    if (QFileInfo::exists(args[0])) {
        if (siFalta) return 0;
        std::fprintf(stderr, "%s exists; not overwritten\n", qPrintable(args[0]));
        return 1;
    }
    QString error;
    if (!DatabaseCreation::CrearBaseDatos(args[0], args[1], &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
