#include "ModConex.h"

#include "SqliteTexto.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QString &Ruta() {
    static QString ruta;
    return ruta;
}
bool soloLecturaForzada = false;
const char *const kConexion = "DatabaseConnection";

// Tables whose absence makes the file useless to the program.
const char *const kTablas[] = {"observacion",  "localidad",    "observador",       "DefaultObs",
                               "especie",      "testadio",     "tconducta",        "thabitat",
                               "tmeteo",       "tperiodo",     "tbeaufort",        "motivo",
                               "tprovincia",   "tmunicipio",   "tutm10kprovincia", "tutm10kmunis",
                               "tutm100keste", "tutm100knorte"};
} // namespace

QString ModConex::RutaAplicacion() {
    if (Ruta().isEmpty()) Ruta() = QCoreApplication::applicationDirPath();
    return Ruta();
}

void ModConex::setSoloLectura(bool soloLectura) {
    soloLecturaForzada = soloLectura;
}

void ModConex::setRutaAplicacion(const QString &ruta) {
    Ruta() = ruta;
}

QString ModConex::RutaBaseDatos() {
    return RutaAplicacion() + QStringLiteral("/Tritodex.mdb");
}

QSqlDatabase ModConex::DatabaseConnection() {
    const QString nombre = QString::fromLatin1(kConexion);
    if (!QSqlDatabase::contains(nombre))
        return QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
    return QSqlDatabase::database(nombre, false);
}

void ModConex::Desconectar() {
    const QString nombre = QString::fromLatin1(kConexion);
    if (!QSqlDatabase::contains(nombre)) return;
    QSqlDatabase::database(nombre, false).close();
    QSqlDatabase::removeDatabase(nombre);
}

bool ModConex::Conectar() {
    QSqlDatabase db = DatabaseConnection();
    db.close();
    const QString ruta = RutaBaseDatos();
    const QFileInfo fi(ruta);
    if (!fi.exists() || !fi.isFile()) return false;
    db.setDatabaseName(ruta);
    // Never create a missing file; a file we may not write is opened for reading.
    db.setConnectOptions(fi.isWritable() && !soloLecturaForzada
                             ? QString()
                             : QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open()) return false;
    SqliteTexto::Instalar(db);
    QSqlQuery q(db);
    bool ok = q.exec(QStringLiteral("PRAGMA busy_timeout = 3000"));
    for (const char *tabla : kTablas) {
        if (!ok) break;
        q.prepare(QStringLiteral(
            "SELECT 1 FROM sqlite_master WHERE type='table' AND name = ? COLLATE NOCASE"));
        q.addBindValue(QString::fromLatin1(tabla));
        ok = q.exec() && q.next();
    }
    q.finish();
    if (!ok) db.close();
    return ok;
}

bool EsClaveDuplicada(const QSqlError &error) {
    // SQLITE_CONSTRAINT_UNIQUE (2067) and SQLITE_CONSTRAINT_PRIMARYKEY (1555).
    const QString codigo = error.nativeErrorCode();
    return codigo == QLatin1String("2067") || codigo == QLatin1String("1555") ||
           error.databaseText().contains(QLatin1String("UNIQUE constraint failed"));
}

QString DescribirError(const QSqlError &error) {
    const QString codigo = error.nativeErrorCode();
    const int primario = codigo.toInt() & 0xff;
    const QString texto = error.databaseText() + u' ' + error.driverText();
    if (primario == 8 || primario == 14 || texto.contains(QLatin1String("readonly")))
        return QStringLiteral("No se puede escribir en la base de datos: el archivo es de solo "
                              "lectura.");
    if (primario == 5 || primario == 6)
        return QStringLiteral("La base de datos está ocupada por otro programa. Inténtelo de "
                              "nuevo en unos momentos.");
    if (primario == 13)
        return QStringLiteral("No queda espacio en el disco para guardar los cambios.");
    if (primario == 26)
        return QStringLiteral("El archivo Tritodex.mdb no es una base de datos válida.");
    if (EsClaveDuplicada(error))
        return QStringLiteral("Ya existe un registro con esa clave en la base de datos.");
    const QSqlDatabase db = ModConex::DatabaseConnection();
    if (!db.isOpen())
        return QStringLiteral("No hay conexión con la base de datos: falta el archivo "
                              "Tritodex.mdb en la carpeta del programa o no es válido.");
    return QStringLiteral("Error de la base de datos: %1").arg(error.text().trimmed());
}
