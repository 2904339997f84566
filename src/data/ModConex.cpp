#include "ModConex.h"

#include "Backups.h"
#include "SchemaUpgrade.h"
#include "SqliteTexto.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <iterator>

namespace {
QString &Ruta() {
    static QString ruta;
    return ruta;
}
bool soloLecturaForzada = false;
int esperaOcupada = 3000;
QString motivoFallo;
QString aviso;
// Why the connection was opened for reading only, for the message of a refused write.
enum class SoloLectura { No, Archivo, Carpeta, Version } soloLectura = SoloLectura::No;
bool danado = false;
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

void ModConex::setEsperaOcupada(int milisegundos) {
    esperaOcupada = milisegundos;
}

QString ModConex::MotivoFallo() {
    return motivoFallo;
}

QString ModConex::Aviso() {
    return aviso;
}

bool ModConex::Danado() {
    return danado;
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
    motivoFallo.clear();
    const QString nombre = QString::fromLatin1(kConexion);
    if (!QSqlDatabase::contains(nombre)) return;
    QSqlDatabase::database(nombre, false).close();
    QSqlDatabase::removeDatabase(nombre);
}

namespace {
bool Fallo(const QString &motivo) {
    motivoFallo = motivo;
    ModConex::DatabaseConnection().close();
    return false;
}
} // namespace

bool ModConex::Conectar() {
    QSqlDatabase db = DatabaseConnection();
    db.close();
    motivoFallo.clear();
    aviso.clear();
    danado = false;
    soloLectura = SoloLectura::No;
    const QString ruta = RutaBaseDatos();
    const QFileInfo fi(ruta);
    const QString carpeta = QDir::toNativeSeparators(fi.absolutePath());
    if (!fi.exists() || !fi.isFile())
        return Fallo(QStringLiteral("No se encuentra el archivo Tritodex.mdb en la carpeta del "
                                    "programa (%1).")
                         .arg(carpeta));
    // SQLite would take an empty file for an empty database; it holds no records of ours.
    if (fi.size() == 0)
        return Fallo(QStringLiteral("El archivo Tritodex.mdb está vacío: no contiene ningún "
                                    "dato. Recupere una copia de seguridad."));
    db.setDatabaseName(ruta);
    // Never create a missing file; what cannot be written is opened for reading only, so a
    // save is refused with the reason instead of failing half way.
    if (soloLecturaForzada || !fi.isWritable())
        soloLectura = SoloLectura::Archivo;
    else if (!QFileInfo(fi.absolutePath()).isWritable())
        soloLectura = SoloLectura::Carpeta;
    db.setConnectOptions(soloLectura == SoloLectura::No ? QString()
                                                        : QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open()) return Fallo(DescribirError(db.lastError()));
    SqliteTexto::Instalar(db);
    QSqlQuery q(db);
    QSet<QString> tablas;
    bool ok = q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(esperaOcupada)) &&
              q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    while (ok && q.next())
        tablas.insert(q.value(0).toString().toLower());
    if (!ok) {
        const int primario = q.lastError().nativeErrorCode().toInt() & 0xff;
        danado = primario == 11 || primario == 26;
        const QString error = DescribirError(q.lastError());
        q.finish();
        return Fallo(error);
    }
    q.finish();
    QStringList faltan;
    for (const char *tabla : kTablas)
        if (!tablas.contains(QString::fromLatin1(tabla).toLower()))
            faltan << QString::fromLatin1(tabla);
    if (faltan.size() == qsizetype(std::size(kTablas)))
        return Fallo(QStringLiteral("El archivo Tritodex.mdb es una base de datos, pero no la de "
                                    "Tritodex: no tiene ninguna de sus tablas."));
    if (!faltan.isEmpty())
        return Fallo(QStringLiteral("Al archivo Tritodex.mdb le faltan tablas del programa: %1.")
                         .arg(faltan.join(QStringLiteral(", "))));
    // A damaged file is never written to: whatever is still readable in it stays so.
    if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next() ||
        q.value(0).toString() != QLatin1String("ok")) {
        q.finish();
        danado = true;
        return Fallo(QStringLiteral("El archivo Tritodex.mdb está dañado: su contenido tiene "
                                    "errores. No se ha escrito nada en él; restaure una copia de "
                                    "seguridad."));
    }
    q.finish();
    const int version = SchemaUpgrade::Version(db);
    if (version > SchemaUpgrade::kVersionActual && soloLectura == SoloLectura::No) {
        // Made by a newer program: this one may not understand all of it, so it only reads.
        db.close();
        soloLectura = SoloLectura::Version;
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) return Fallo(DescribirError(db.lastError()));
        SqliteTexto::Instalar(db);
        QSqlQuery(db).exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(esperaOcupada));
    }
    if (version >= 0 && version < SchemaUpgrade::kVersionActual) {
        if (soloLectura != SoloLectura::No)
            return Fallo(QStringLiteral("El archivo Tritodex.mdb es de una versión anterior del "
                                        "programa y hay que actualizarlo, pero no se puede "
                                        "escribir en él. Dé permiso de escritura al archivo y a "
                                        "su carpeta (%1) y vuelva a abrir el programa.")
                             .arg(carpeta));
        QString error;
        if (!Backups::Hacer(&error))
            return Fallo(QStringLiteral("El archivo Tritodex.mdb es de una versión anterior del "
                                        "programa, pero no se ha podido hacer la copia de "
                                        "seguridad que se hace antes de actualizarlo; el archivo "
                                        "queda como estaba. Motivo: %1")
                             .arg(error));
        if (!SchemaUpgrade::Actualizar(db, &error))
            return Fallo(QStringLiteral("No se ha podido actualizar el archivo Tritodex.mdb a esta "
                                        "versión del programa; el archivo queda como estaba. "
                                        "Motivo: %1")
                             .arg(error));
    }
    if (soloLectura == SoloLectura::Archivo)
        aviso = QStringLiteral("El archivo Tritodex.mdb es de solo lectura: se pueden consultar "
                               "los datos, pero no guardar cambios.");
    else if (soloLectura == SoloLectura::Version)
        aviso = QStringLiteral("El archivo Tritodex.mdb es de una versión más reciente del "
                               "programa: se pueden consultar los datos, pero no guardar cambios. "
                               "Instale la versión más reciente de Tritodex.");
    else if (soloLectura == SoloLectura::Carpeta)
        aviso = QStringLiteral("No se puede escribir en la carpeta del programa (%1): se pueden "
                               "consultar los datos, pero no guardar cambios.")
                    .arg(carpeta);
    return true;
}

bool EsClaveDuplicada(const QSqlError &error) {
    // SQLITE_CONSTRAINT_UNIQUE (2067) and SQLITE_CONSTRAINT_PRIMARYKEY (1555).
    const QString codigo = error.nativeErrorCode();
    return codigo == QLatin1String("2067") || codigo == QLatin1String("1555") ||
           error.databaseText().contains(QLatin1String("UNIQUE constraint failed"));
}

QString DescribirError(const QSqlError &error) {
    const QString codigo = error.nativeErrorCode();
    const int extendido = codigo.toInt();
    const int primario = extendido & 0xff;
    const QString texto = error.databaseText() + u' ' + error.driverText();
    const QString ruta = ModConex::RutaBaseDatos();
    const QString carpeta = QDir::toNativeSeparators(QFileInfo(ruta).absolutePath());
    const QString carpetaSinEscritura =
        QStringLiteral("No se puede escribir en la carpeta del programa (%1): no se pueden "
                       "guardar cambios en la base de datos.")
            .arg(carpeta);
    // A file deleted or moved away is still open: SQLite refuses to write it (DBMOVED), and
    // anything else that fails is best explained by its absence.
    const bool falta = extendido == 1032 || ((primario == 8 || primario == 10 || primario == 14) &&
                                             !QFileInfo::exists(ruta));
    if (falta)
        return QStringLiteral("El archivo Tritodex.mdb ya no está en la carpeta del programa "
                              "(%1): se ha borrado o movido mientras el programa estaba abierto. "
                              "No se ha guardado nada.")
            .arg(carpeta);
    if (extendido == 1544 || primario == 14 ||
        ((primario == 8 || texto.contains(QLatin1String("readonly"))) &&
         soloLectura == SoloLectura::Carpeta))
        return carpetaSinEscritura;
    if ((primario == 8 || texto.contains(QLatin1String("readonly"))) &&
        soloLectura == SoloLectura::Version)
        return QStringLiteral("No se puede escribir en la base de datos: el archivo es de una "
                              "versión más reciente del programa.");
    if (primario == 8 || texto.contains(QLatin1String("readonly")))
        return QStringLiteral("No se puede escribir en la base de datos: el archivo es de solo "
                              "lectura.");
    if (primario == 5 || primario == 6)
        return QStringLiteral("La base de datos está ocupada por otro programa. Inténtelo de "
                              "nuevo en unos momentos.");
    if (primario == 13)
        return QStringLiteral("No queda espacio en el disco para guardar los cambios.");
    if (primario == 26 || primario == 11)
        return QStringLiteral("El archivo Tritodex.mdb no es una base de datos o está dañado.");
    if (EsClaveDuplicada(error))
        return QStringLiteral("Ya existe un registro con esa clave en la base de datos.");
    const QSqlDatabase db = ModConex::DatabaseConnection();
    if (!db.isOpen())
        return motivoFallo.isEmpty()
                   ? QStringLiteral("No hay conexión con la base de datos: falta el archivo "
                                    "Tritodex.mdb en la carpeta del programa o no es válido.")
                   : QStringLiteral("No hay conexión con la base de datos. ") + motivoFallo;
    return QStringLiteral("Error de la base de datos: %1").arg(error.text().trimmed());
}
