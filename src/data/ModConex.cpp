#include "ModConex.h"

#include "Backups.h"
#include "Instalacion.h"
#include "SchemaUpgrade.h"
#include "SqlDialect.h"
#include "SqliteText.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>

#include <iterator>

namespace {
QString &Ruta() {
    static QString ruta;
    return ruta;
}
bool soloLecturaForzada = false;
int esperaOcupada = 3000;
// Why the last Conectar failed, for the message of a statement run without a connection.
QString motivoFallo;
// Why the connection was opened for reading only, for the message of a refused write.
enum class SoloLectura { No, Archivo, Carpeta, Version } soloLectura = SoloLectura::No;
std::optional<ModConex::Servidor> servidor;
// The server was lost during a statement: the next use of the connection opens it again.
bool perdida = false;
const char *const kConexion = "DatabaseConnection";
// A page cache that holds a group's whole file (a million records take some 250-300 MiB), so
// that the map, the phenology chart and the queries read it again from memory; SQLite takes
// the pages only as they are read. With a smaller cache each redraw of a large file went
// back to the disk for most of it.
const QString kCachePaginas = QStringLiteral("PRAGMA cache_size = -524288");
// What one pass over the rows keeps: the tables it joins stay cached, the rows pass through.
const QString kCacheUnaPasada = QStringLiteral("PRAGMA cache_size = -65536");

// Tables whose absence makes the file useless to the program.
const char *const kTablas[] = {"observacion",  "localidad",    "observador",       "DefaultObs",
                               "especie",      "testadio",     "tconducta",        "thabitat",
                               "tmeteo",       "tperiodo",     "tbeaufort",        "motivo",
                               "tprovincia",   "tmunicipio",   "tutm10kprovincia", "tutm10kmunis",
                               "tutm100keste", "tutm100knorte"};
} // namespace

QString ModConex::CarpetaDatos() {
    if (Ruta().isEmpty()) Ruta() = Instalacion::Actuales().datos;
    return Ruta();
}

QString ModConex::NombreCarpeta() {
    const bool delUsuario = Instalacion::Actuales().modo == Instalacion::Modo::Usuario &&
                            CarpetaDatos() == Instalacion::Actuales().datos;
    return delUsuario ? QStringLiteral("la carpeta de datos")
                      : QStringLiteral("la carpeta del programa");
}

void ModConex::setSoloLectura(bool soloLectura) {
    soloLecturaForzada = soloLectura;
}

void ModConex::setEsperaOcupada(int milisegundos) {
    esperaOcupada = milisegundos;
}

int ModConex::EsperaOcupada() {
    return esperaOcupada;
}

void ModConex::setCarpetaDatos(const QString &ruta) {
    Ruta() = ruta;
}

QString ModConex::RutaBaseDatos() {
    return CarpetaDatos() + QStringLiteral("/Tritodex.mdb");
}

QSqlDatabase ModConex::DatabaseConnection() {
    const QString nombre = QString::fromLatin1(kConexion);
    const QString driver =
        SqlDialect::Driver(servidor ? SqlDialect::Motor::PostgreSql : SqlDialect::Motor::Sqlite);
    if (QSqlDatabase::contains(nombre) &&
        QSqlDatabase::database(nombre, false).driverName() != driver) {
        QSqlDatabase::database(nombre, false).close();
        QSqlDatabase::removeDatabase(nombre);
    }
    if (!QSqlDatabase::contains(nombre)) return QSqlDatabase::addDatabase(driver, nombre);
    QSqlDatabase db = QSqlDatabase::database(nombre, false);
    if (perdida && servidor) {
        // Whatever the lost session held is gone with it; a new one starts here.
        perdida = false;
        db.close();
        if (!db.open()) perdida = true;
    }
    return db;
}

bool ModConex::EsServidor() {
    return servidor.has_value();
}

void ModConex::setServidor(const std::optional<Servidor> &nuevo) {
    servidor = nuevo;
}

std::optional<ModConex::Servidor> ModConex::ServidorActual() {
    return servidor;
}

std::optional<ModConex::Servidor> ModConex::Servidor::DesdeUri(const QString &uri) {
    const QUrl url(uri.trimmed(), QUrl::StrictMode);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("postgresql") && url.scheme() != QLatin1String("postgres")))
        return std::nullopt;
    Servidor s;
    if (!url.host().isEmpty()) s.host = url.host();
    s.puerto = url.port(5432);
    s.usuario = url.userName();
    s.contrasena = url.password();
    s.base = url.path().mid(1);
    if (s.base.isEmpty() || s.base.contains(u'/')) return std::nullopt;
    return s;
}

QString ModConex::Servidor::Descripcion() const {
    return QStringLiteral("%1:%2/%3").arg(host).arg(puerto).arg(base);
}

bool AbrirServidor(const QString &nombre, const ModConex::Servidor &s, QString *error,
                   bool *faltaContrasena) {
    if (faltaContrasena) *faltaContrasena = false;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        *error = QStringLiteral("Falta el controlador de PostgreSQL de Qt (paquete "
                                "libqt6sql6-psql): no se puede usar un servidor.");
        return false;
    }
    QSqlDatabase db = QSqlDatabase::contains(nombre)
                          ? QSqlDatabase::database(nombre, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), nombre);
    db.close();
    db.setHostName(s.host);
    db.setPort(s.puerto);
    db.setDatabaseName(s.base);
    db.setUserName(s.usuario);
    db.setPassword(s.contrasena);
    db.setConnectOptions(QStringLiteral("connect_timeout=5;application_name=Tritodex"));
    if (db.open()) return true;
    if (faltaContrasena) *faltaContrasena = SqlDialect::FaltaContrasena(db.lastError());
    *error = QStringLiteral("No se puede conectar con el servidor PostgreSQL %1: %2")
                 .arg(s.Descripcion(), db.lastError().databaseText().trimmed().isEmpty()
                                           ? db.lastError().text().trimmed()
                                           : db.lastError().databaseText().trimmed());
    return false;
}

void ModConex::Desconectar() {
    perdida = false;
    motivoFallo.clear();
    const QString nombre = QString::fromLatin1(kConexion);
    if (!QSqlDatabase::contains(nombre)) return;
    QSqlDatabase::database(nombre, false).close();
    QSqlDatabase::removeDatabase(nombre);
}

namespace {
using ModConex::Resultado;

Resultado Fallo(const QString &motivo, Resultado r = {}) {
    motivoFallo = motivo;
    ModConex::DatabaseConnection().close();
    r.conectado = false;
    r.motivo = motivo;
    return r;
}

Resultado Conectado(const QString &aviso) {
    Resultado r;
    r.conectado = true;
    r.aviso = aviso;
    r.soloLectura = soloLectura != SoloLectura::No;
    return r;
}

Resultado ConectarServidor() {
    QSqlDatabase db = ModConex::DatabaseConnection();
    QString error;
    Resultado sinContrasena;
    if (!AbrirServidor(db.connectionName(), *servidor, &error, &sinContrasena.faltaContrasena))
        return Fallo(error, sinContrasena);
    const QString donde = servidor->Descripcion();
    QStringList tablas;
    if (!SqlDialect::Tablas(db, &tablas, &error)) return Fallo(DescribirError(db.lastError()));
    QStringList faltan;
    for (const char *tabla : kTablas)
        if (!tablas.contains(QString::fromLatin1(tabla).toLower()))
            faltan << QString::fromLatin1(tabla);
    if (faltan.size() == qsizetype(std::size(kTablas)))
        return Fallo(QStringLiteral("La base de datos %1 del servidor no es la de Tritodex: no "
                                    "tiene ninguna de sus tablas. Créelas con tritodex_mkdb "
                                    "--servidor.")
                         .arg(donde));
    if (!faltan.isEmpty())
        return Fallo(QStringLiteral("A la base de datos %1 del servidor le faltan tablas del "
                                    "programa: %2.")
                         .arg(donde, faltan.join(QStringLiteral(", "))));
    const int version = SqlDialect::Version(db);
    if (version < 0)
        return Fallo(QStringLiteral("No se puede leer la base de datos %1 del servidor: el "
                                    "usuario %2 no tiene permiso para leer sus tablas.")
                         .arg(donde, servidor->usuario));
    if (version < SchemaUpgrade::kVersionActual)
        return Fallo(QStringLiteral("La base de datos %1 del servidor es de una versión anterior "
                                    "del programa y no se puede usar con esta hasta que quien la "
                                    "administra la actualice con tritodex_mkdb --actualizar.")
                         .arg(donde));
    if (version > SchemaUpgrade::kVersionActual) {
        // Made by a newer program: this one may not understand all of it, so it only reads.
        soloLectura = SoloLectura::Version;
        QSqlQuery(db).exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
        return Conectado(
            QStringLiteral("La base de datos del servidor es de una versión más reciente "
                           "del programa: se pueden consultar los datos, pero no guardar "
                           "cambios. Instale la versión más reciente de Tritodex."));
    }
    return Conectado(QString());
}
} // namespace

ModConex::Resultado ModConex::Conectar() {
    QSqlDatabase db = DatabaseConnection();
    db.close();
    motivoFallo.clear();
    perdida = false;
    soloLectura = SoloLectura::No;
    Resultado danado;
    danado.danado = true;
    if (servidor) return ConectarServidor();
    const QString ruta = RutaBaseDatos();
    const QFileInfo fi(ruta);
    const QString carpeta = QDir::toNativeSeparators(fi.absolutePath());
    if (!fi.exists() || !fi.isFile())
        return Fallo(QStringLiteral("No se encuentra el archivo Tritodex.mdb en %1 (%2).")
                         .arg(NombreCarpeta(), carpeta));
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
    SqliteText::Instalar(db);
    QSqlQuery q(db);
    QSet<QString> tablas;
    bool ok = q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(esperaOcupada)) &&
              q.exec(kCachePaginas) &&
              q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    while (ok && q.next())
        tablas.insert(q.value(0).toString().toLower());
    if (!ok) {
        const int primario = q.lastError().nativeErrorCode().toInt() & 0xff;
        const QString error = DescribirError(q.lastError());
        q.finish();
        return Fallo(error, primario == 11 || primario == 26 ? danado : Resultado());
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
        return Fallo(QStringLiteral("El archivo Tritodex.mdb está dañado: su contenido tiene "
                                    "errores. No se ha escrito nada en él; restaure una copia de "
                                    "seguridad."),
                     danado);
    }
    q.finish();
    const int version = SchemaUpgrade::Version(db);
    if (version > SchemaUpgrade::kVersionActual && soloLectura == SoloLectura::No) {
        // Made by a newer program: this one may not understand all of it, so it only reads.
        db.close();
        soloLectura = SoloLectura::Version;
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) return Fallo(DescribirError(db.lastError()));
        SqliteText::Instalar(db);
        QSqlQuery(db).exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(esperaOcupada));
        QSqlQuery(db).exec(kCachePaginas);
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
    switch (soloLectura) {
    case SoloLectura::Archivo:
        return Conectado(QStringLiteral("El archivo Tritodex.mdb es de solo lectura: se pueden "
                                        "consultar los datos, pero no guardar cambios."));
    case SoloLectura::Version:
        return Conectado(QStringLiteral("El archivo Tritodex.mdb es de una versión más reciente "
                                        "del programa: se pueden consultar los datos, pero no "
                                        "guardar cambios. Instale la versión más reciente de "
                                        "Tritodex."));
    case SoloLectura::Carpeta:
        return Conectado(QStringLiteral("No se puede escribir en %1 (%2): se pueden consultar "
                                        "los datos, pero no guardar cambios.")
                             .arg(NombreCarpeta(), carpeta));
    case SoloLectura::No:
        break;
    }
    return Conectado(QString());
}

bool EsClaveDuplicada(const QSqlError &error) {
    return SqlDialect::EsClaveDuplicada(error);
}

namespace {
QString DescribirErrorServidor(const QSqlError &error, const QSqlDatabase &db) {
    const QString donde = servidor->Descripcion();
    if (SqlDialect::EsConexionPerdida(error, db)) {
        perdida = true;
        return QStringLiteral("Se ha perdido la conexión con el servidor de la base de datos "
                              "(%1). No se ha guardado nada; se volverá a conectar en la "
                              "próxima acción.")
            .arg(donde);
    }
    const QString codigo = error.nativeErrorCode();
    if (EsClaveDuplicada(error))
        return QStringLiteral("Ya existe un registro con esa clave en la base de datos.");
    if (codigo == QLatin1String("25006"))
        return QStringLiteral("No se puede escribir en la base de datos: es de una versión más "
                              "reciente del programa.");
    if (codigo == QLatin1String("42501"))
        return QStringLiteral("El usuario no tiene permiso para esta operación en la base de "
                              "datos del servidor (%1).")
            .arg(donde);
    if (codigo == QLatin1String("40001") || codigo == QLatin1String("40P01") ||
        codigo == QLatin1String("55P03"))
        return QStringLiteral("La base de datos está ocupada por otro usuario. Inténtelo de "
                              "nuevo en unos momentos.");
    if (codigo == QLatin1String("53100"))
        return QStringLiteral("No queda espacio en el disco del servidor para guardar los "
                              "cambios.");
    return QStringLiteral("Error de la base de datos: %1").arg(error.text().trimmed());
}
} // namespace

ModConex::UnaPasada::UnaPasada() {
    if (servidor) return;
    QSqlDatabase db = DatabaseConnection();
    if (!db.isOpen()) return;
    // Lowering the size frees the pages past it at once.
    acotada_ = QSqlQuery(db).exec(kCacheUnaPasada);
}

ModConex::UnaPasada::~UnaPasada() {
    if (!acotada_) return;
    QSqlDatabase db = DatabaseConnection();
    if (!servidor && db.isOpen()) QSqlQuery(db).exec(kCachePaginas);
}

QString DescribirError(const QSqlError &error) {
    if (servidor) {
        const QString nombre = QString::fromLatin1(kConexion);
        const QSqlDatabase db =
            QSqlDatabase::contains(nombre) ? QSqlDatabase::database(nombre, false) : QSqlDatabase();
        return DescribirErrorServidor(error, db);
    }
    const QString codigo = error.nativeErrorCode();
    const int extendido = codigo.toInt();
    const int primario = extendido & 0xff;
    const QString texto = error.databaseText() + u' ' + error.driverText();
    const QString ruta = ModConex::RutaBaseDatos();
    const QString carpeta = QDir::toNativeSeparators(QFileInfo(ruta).absolutePath());
    const QString carpetaSinEscritura =
        QStringLiteral("No se puede escribir en %1 (%2): no se pueden guardar cambios en la "
                       "base de datos.")
            .arg(ModConex::NombreCarpeta(), carpeta);
    // A file deleted or moved away is still open: SQLite refuses to write it (DBMOVED), and
    // anything else that fails is best explained by its absence.
    const bool falta = extendido == 1032 || ((primario == 8 || primario == 10 || primario == 14) &&
                                             !QFileInfo::exists(ruta));
    if (falta)
        return QStringLiteral("El archivo Tritodex.mdb ya no está en %1 (%2): se ha borrado o "
                              "movido mientras el programa estaba abierto. No se ha guardado "
                              "nada.")
            .arg(ModConex::NombreCarpeta(), carpeta);
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
                                    "Tritodex.mdb en %1 o no es válido.")
                         .arg(ModConex::NombreCarpeta())
                   : QStringLiteral("No hay conexión con la base de datos. ") + motivoFallo;
    return QStringLiteral("Error de la base de datos: %1").arg(error.text().trimmed());
}
