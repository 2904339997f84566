#include "Backups.h"

#include "ArchivoComprobado.h"
#include "ModConex.h"
#include "SchemaUpgrade.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <sqlite3.h>
#include <unistd.h>

namespace Backups {
namespace {
const QString kPrefijo = QStringLiteral("Tritodex_");
const QString kFormato = QStringLiteral("yyyy-MM-dd_HHmmss");

QString Nombre(const QDateTime &fecha) {
    return kPrefijo + fecha.toString(kFormato) + QStringLiteral(".mdb");
}

std::optional<QDateTime> FechaDe(const QString &archivo) {
    if (!archivo.startsWith(kPrefijo) || !archivo.endsWith(QLatin1String(".mdb")))
        return std::nullopt;
    const QString texto = archivo.mid(kPrefijo.size(), kFormato.size());
    const QDateTime fecha = QDateTime::fromString(texto, kFormato);
    if (!fecha.isValid()) return std::nullopt;
    return fecha;
}

bool Preparar(QString *error) {
    if (QDir().mkpath(Carpeta())) return true;
    *error = QStringLiteral("No se puede crear la carpeta de copias %1.")
                 .arg(QDir::toNativeSeparators(Carpeta()));
    return false;
}

// A free name for a copy made now: a second copy in the same second waits for the next.
QString Destino(QDateTime fecha) {
    while (QFileInfo::exists(QDir(Carpeta()).filePath(Nombre(fecha))))
        fecha = fecha.addSecs(1);
    return QDir(Carpeta()).filePath(Nombre(fecha));
}

const QString kEnServidor = QStringLiteral("La base de datos está en un servidor: sus copias de "
                                           "seguridad las hace el propio servidor.");

// A connection of SQLite's own: copies and restores go through its backup, which works
// page by page under SQLite's locks.
class Conexion {
public:
    Conexion(const QString &ruta, int modo) {
        rc = sqlite3_open_v2(QFile::encodeName(ruta).constData(), &db, modo, nullptr);
        if (db) {
            sqlite3_extended_result_codes(db, 1);
            sqlite3_busy_timeout(db, ModConex::EsperaOcupada());
        }
    }
    ~Conexion() { sqlite3_close_v2(db); }
    Conexion(const Conexion &) = delete;
    Conexion &operator=(const Conexion &) = delete;
    sqlite3 *db = nullptr;
    int rc = SQLITE_OK;
};

// Pages copied between two reports of progress.
constexpr int kPaginas = 16;

// Why SQLite's copy into `escrito` failed, in Spanish.
QString Motivo(int rc, int sistema, const QString &escrito) {
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("La base de datos está ocupada por otro programa. Inténtelo de "
                              "nuevo en unos momentos.");
    case SQLITE_FULL:
        return Causas::AlEscribir(escrito, ENOSPC);
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return Causas::AlEscribir(escrito, sistema);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("La base de datos está dañada: no se puede copiar entera.");
    default:
        return QStringLiteral("No se ha podido copiar la base de datos (error %1 de SQLite).")
            .arg(rc);
    }
}

qint64 Entero(sqlite3 *db, const char *sql) {
    sqlite3_stmt *q = nullptr;
    qint64 valor = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &q, nullptr) == SQLITE_OK && sqlite3_step(q) == SQLITE_ROW)
        valor = sqlite3_column_int64(q, 0);
    sqlite3_finalize(q);
    return valor;
}

// Copies what is committed in the program's database into the empty file `temporal` (to be
// named `nombre`); *tamano gets the size the copy must have on the disk.
bool CopiarBase(const QString &temporal, const QString &nombre, const Avance &avance,
                qint64 *tamano, QString *error) {
    Conexion origen(ModConex::RutaBaseDatos(), SQLITE_OPEN_READONLY);
    Conexion destino(temporal, SQLITE_OPEN_READWRITE);
    if (origen.rc != SQLITE_OK || destino.rc != SQLITE_OK) {
        const bool leyendo = origen.rc != SQLITE_OK;
        *error = Motivo(leyendo ? origen.rc : destino.rc,
                        sqlite3_system_errno(leyendo ? origen.db : destino.db),
                        leyendo ? ModConex::RutaBaseDatos() : nombre);
        return false;
    }
    // Every page is on the disk when the copy's one transaction commits.
    sqlite3_exec(destino.db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    sqlite3_backup *copia = sqlite3_backup_init(destino.db, "main", origen.db, "main");
    if (!copia) {
        *error = Motivo(sqlite3_extended_errcode(destino.db), 0, nombre);
        return false;
    }
    int rc = SQLITE_OK;
    bool seguir = true;
    while (rc == SQLITE_OK && seguir) {
        rc = sqlite3_backup_step(copia, kPaginas);
        const int total = sqlite3_backup_pagecount(copia);
        if (rc == SQLITE_OK)
            seguir = Avances::Seguir(avance, total - sqlite3_backup_remaining(copia), total);
    }
    sqlite3_backup_finish(copia);
    if (!seguir) {
        *error = Avances::kCancelado;
        return false;
    }
    if (rc != SQLITE_DONE) {
        *error = Motivo(rc, sqlite3_system_errno(destino.db), nombre);
        return false;
    }
    *tamano = Entero(destino.db, "PRAGMA page_count") * Entero(destino.db, "PRAGMA page_size");
    sqlite3_close_v2(destino.db);
    destino.db = nullptr;
    // What the disk holds, not what SQLite was asked to write.
    if (*tamano <= 0 || QFileInfo(temporal).size() != *tamano) {
        *error = Causas::AlEscribir(nombre, 0);
        return false;
    }
    return true;
}

bool Examinar(const QString &ruta, QString *motivo, int *observaciones, int *version) {
    const QFileInfo fi(ruta);
    if (!fi.isFile() || fi.size() == 0) {
        *motivo = QStringLiteral("El archivo %1 no existe o está vacío.")
                      .arg(QDir::toNativeSeparators(ruta));
        return false;
    }
    const QString nombre = QStringLiteral("comprobar-") + QUuid::createUuid().toString();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
        db.setDatabaseName(ruta);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("PRAGMA quick_check")) && q.next() &&
                 q.value(0).toString() == QLatin1String("ok");
            q.finish();
            ok = ok && q.exec(QStringLiteral("SELECT count(*) FROM observacion")) && q.next();
            if (ok && observaciones) *observaciones = q.value(0).toInt();
            q.finish();
            ok = ok && q.exec(QStringLiteral("PRAGMA user_version")) && q.next();
            if (ok && version) *version = q.value(0).toInt();
            q.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(nombre);
    if (!ok)
        *motivo = QStringLiteral("El archivo %1 está dañado o no es una base de datos de "
                                 "Tritodex.")
                      .arg(QDir::toNativeSeparators(ruta));
    return ok;
}

// A file copied byte for byte, its bytes checked on the disk.
bool CopiarArchivo(const QString &de, const QString &a, QString *error) {
    QFile origen(de);
    if (!origen.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("No se puede leer el archivo %1.").arg(QDir::toNativeSeparators(de));
        return false;
    }
    ArchivoComprobado destino(a);
    if (!destino.Abrir(error)) return false;
    while (!origen.atEnd()) {
        const QByteArray trozo = origen.read(1 << 20);
        if (trozo.isEmpty() && origen.error() != QFileDevice::NoError) {
            *error =
                QStringLiteral("No se puede leer el archivo %1.").arg(QDir::toNativeSeparators(de));
            return false;
        }
        if (!destino.Escribir(trozo)) break;
    }
    return destino.Confirmar(error);
}

enum class Resultado { Hecho, Fallo, NoEsBase };

// The copy's pages written over the database in place, so that every program with the file
// open sees the restored data, and none writes into a file that is no longer the database.
Resultado EnSuSitio(const QString &copia, const QString &actual, const Avance &avance,
                    QString *error) {
    const QString nada = QStringLiteral(" No se ha restaurado nada.");
    Conexion origen(copia, SQLITE_OPEN_READONLY);
    Conexion destino(actual, SQLITE_OPEN_READWRITE);
    if (origen.rc != SQLITE_OK || destino.rc != SQLITE_OK) {
        const bool leyendo = origen.rc != SQLITE_OK;
        *error = Motivo(leyendo ? origen.rc : destino.rc,
                        sqlite3_system_errno(leyendo ? origen.db : destino.db),
                        leyendo ? copia : actual) +
                 nada;
        return Resultado::Fallo;
    }
    sqlite3_backup *restauracion = sqlite3_backup_init(destino.db, "main", origen.db, "main");
    if (!restauracion) {
        *error = Motivo(sqlite3_extended_errcode(destino.db), 0, actual) + nada;
        return Resultado::Fallo;
    }
    // The first step copies nothing but locks the database: another program's transaction
    // is waited for as long as any statement waits, then the restore gives up.
    int rc = sqlite3_backup_step(restauracion, 0);
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        sqlite3_backup_finish(restauracion);
        if ((rc & 0xff) == SQLITE_NOTADB) return Resultado::NoEsBase;
        *error = Motivo(rc, sqlite3_system_errno(destino.db), actual) + nada;
        return Resultado::Fallo;
    }
    // Until the restore ends nobody else reads or writes the file: the current data are kept
    // first, read through SQLite's own handle (closing a second handle on the file would
    // drop SQLite's locks), byte for byte so that a damaged file is kept whole too.
    sqlite3_file *archivo = nullptr;
    sqlite3_int64 tamano = 0;
    if (sqlite3_file_control(destino.db, "main", SQLITE_FCNTL_FILE_POINTER, &archivo) !=
            SQLITE_OK ||
        !archivo || !archivo->pMethods ||
        archivo->pMethods->xFileSize(archivo, &tamano) != SQLITE_OK) {
        sqlite3_backup_finish(restauracion);
        *error = QStringLiteral("No se puede leer el archivo %1.")
                     .arg(QDir::toNativeSeparators(actual)) +
                 nada;
        return Resultado::Fallo;
    }
    const qint64 total = tamano + QFileInfo(copia).size();
    const QString guardada = Destino(QDateTime::currentDateTime());
    bool seguir = true;
    {
        QString fallo;
        ArchivoComprobado copiaActual(guardada);
        const bool abierto = copiaActual.Abrir(&fallo);
        bool leido = true;
        QByteArray trozo;
        for (qint64 hecho = 0; abierto && leido && seguir && hecho < tamano;
             hecho += trozo.size()) {
            trozo.resize(qsizetype(std::min<qint64>(tamano - hecho, 1 << 20)));
            leido = archivo->pMethods->xRead(archivo, trozo.data(), int(trozo.size()), hecho) ==
                    SQLITE_OK;
            if (leido && !copiaActual.Escribir(trozo)) break;
            seguir = Avances::Seguir(avance, hecho + trozo.size(), total);
        }
        bool ok = false;
        if (!leido)
            fallo = QStringLiteral("No se puede leer el archivo %1.")
                        .arg(QDir::toNativeSeparators(actual));
        else if (abierto && seguir)
            ok = copiaActual.Confirmar(&fallo); // also tells why a write failed
        if (!ok) {
            copiaActual.Descartar();
            sqlite3_backup_finish(restauracion);
            if (!seguir)
                *error = Avances::kCancelado;
            else
                *error = QStringLiteral("No se pueden guardar los datos actuales en la carpeta "
                                        "de copias: %1")
                             .arg(fallo) +
                         nada;
            return Resultado::Fallo;
        }
    }
    const qint64 tamanoCopia = QFileInfo(copia).size();
    while (rc == SQLITE_OK && seguir) {
        rc = sqlite3_backup_step(restauracion, kPaginas);
        const qint64 paginas = std::max(1, sqlite3_backup_pagecount(restauracion));
        const qint64 hechas = paginas - sqlite3_backup_remaining(restauracion);
        if (rc == SQLITE_OK)
            seguir = Avances::Seguir(avance, tamano + tamanoCopia * hechas / paginas, total);
    }
    // Finished before the last step, the restore's transaction is rolled back whole.
    sqlite3_backup_finish(restauracion);
    if (rc == SQLITE_DONE) return Resultado::Hecho;
    QFile::remove(guardada);
    *error = seguir ? Motivo(rc, sqlite3_system_errno(destino.db), actual) +
                          QStringLiteral(" Los datos actuales no han cambiado.")
                    : Avances::kCancelado;
    return Resultado::Fallo;
}

// A file SQLite cannot read as a database, or none: no other program can be in a
// transaction on it, so it is replaced whole after a copy of it is kept.
bool Reemplazar(const QString &copia, const QString &actual, QString *error) {
    if (QFileInfo::exists(actual)) {
        QString fallo;
        if (!CopiarArchivo(actual, Destino(QDateTime::currentDateTime()), &fallo)) {
            *error = QStringLiteral("No se pueden guardar los datos actuales en la carpeta de "
                                    "copias: %1 No se ha restaurado nada.")
                         .arg(fallo);
            return false;
        }
    }
    QString fallo;
    if (!CopiarArchivo(copia, actual, &fallo)) {
        *error = fallo + QStringLiteral(" Los datos actuales no han cambiado.");
        return false;
    }
    return true;
}
// The pictures a database file refers to, its bin's photos included; none when it has no
// photographs' table (a file made before them, or before the bin, has only its own).
QStringList Referidas(const QString &ruta) {
    QStringList hashes;
    Conexion db(ruta, SQLITE_OPEN_READONLY);
    sqlite3_stmt *q = nullptr;
    const auto preparar = [&](const char *sql) {
        return sqlite3_prepare_v2(db.db, sql, -1, &q, nullptr) == SQLITE_OK;
    };
    if (db.rc == SQLITE_OK &&
        (preparar("SELECT sha256 FROM foto UNION SELECT sha256 FROM papelera_foto ORDER BY 1") ||
         preparar("SELECT DISTINCT sha256 FROM foto ORDER BY sha256")))
        while (sqlite3_step(q) == SQLITE_ROW)
            hashes << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(q, 0)));
    sqlite3_finalize(q);
    return hashes;
}

// Puts into `a` each picture of `hashes` that `a` lacks, from `de`: a hard link where the
// disk allows it (the same bytes, no room taken), a checked copy otherwise. A failure takes
// away what this call added.
bool Traer(const QStringList &hashes, const QString &de, const QString &a, Fotos *fotos,
           QString *error) {
    Fotos hecho;
    QStringList anadidas;
    for (const QString &h : hashes) {
        const QString destino = a + u'/' + h, origen = de + u'/' + h;
        if (QFileInfo(destino).isFile()) continue;
        if (!QFileInfo(origen).isFile()) {
            hecho.faltan << h;
            continue;
        }
        if (anadidas.isEmpty() && !QDir().mkpath(a)) {
            *error =
                QStringLiteral("No se puede crear la carpeta %1.").arg(QDir::toNativeSeparators(a));
            return false;
        }
        if (::link(QFile::encodeName(origen).constData(), QFile::encodeName(destino).constData()) !=
                0 &&
            !CopiarArchivo(origen, destino, error)) {
            for (const QString &r : std::as_const(anadidas))
                QFile::remove(r);
            return false;
        }
        anadidas << destino;
        ++hecho.nuevas;
    }
    if (fotos) *fotos = hecho;
    return true;
}
} // namespace

QString Carpeta() {
    return QFileInfo(ModConex::RutaBaseDatos()).absolutePath() + QStringLiteral("/copias");
}

QString CarpetaFotos() {
    return Carpeta() + QStringLiteral("/fotos");
}

QString CarpetaFotosActual() {
    return QFileInfo(ModConex::RutaBaseDatos()).absolutePath() + QStringLiteral("/fotos");
}

QStringList FotosQueFaltan(const QString &ruta, const QString &carpeta) {
    QStringList faltan;
    for (const QString &h : Referidas(ruta))
        if (!QFileInfo(carpeta + u'/' + h).isFile()) faltan << h;
    return faltan;
}

QList<Copia> Listar() {
    QList<Copia> copias;
    const QFileInfoList archivos = QDir(Carpeta()).entryInfoList(
        {kPrefijo + QStringLiteral("*.mdb")}, QDir::Files, QDir::Name | QDir::Reversed);
    for (const QFileInfo &fi : archivos)
        if (const auto fecha = FechaDe(fi.fileName()))
            copias << Copia{fi.absoluteFilePath(), *fecha, fi.size()};
    std::stable_sort(copias.begin(), copias.end(),
                     [](const Copia &a, const Copia &b) { return a.fecha > b.fecha; });
    return copias;
}

std::optional<QString> Hacer(QString *error, const QDateTime &ahora, const Avance &avance,
                             Fotos *fotos) {
    if (ModConex::EsServidor()) {
        *error = kEnServidor;
        return std::nullopt;
    }
    if (!ModConex::DatabaseConnection().isOpen()) {
        *error = QStringLiteral("No hay conexión con la base de datos.");
        return std::nullopt;
    }
    if (!Preparar(error)) return std::nullopt;
    const QString ruta = Destino(ahora);
    // Written under another name and renamed when whole, so that a copy cut short is never
    // taken for a good one.
    const QString temporal = ruta + QStringLiteral(".parcial");
    QFile::remove(temporal);
    // Created here so that a folder that cannot be written is told with its own cause.
    {
        QFile nuevo(temporal);
        errno = 0;
        if (!nuevo.open(QIODevice::WriteOnly)) {
            const int codigo = errno;
            *error = codigo == ENOSPC || codigo == EDQUOT
                         ? Causas::AlEscribir(ruta, codigo)
                         : QStringLiteral("No se puede crear la copia en la carpeta %1: %2.")
                               .arg(QDir::toNativeSeparators(Carpeta()),
                                    codigo ? Causas::DeErrno(codigo)
                                           : QStringLiteral("no se puede escribir en ella"));
            return std::nullopt;
        }
    }
    qint64 tamano = 0;
    if (!CopiarBase(temporal, ruta, avance, &tamano, error)) {
        QFile::remove(temporal);
        return std::nullopt;
    }
    // The pictures first: a copy is listed only once all it refers to is kept.
    if (!Traer(Referidas(temporal), CarpetaFotosActual(), CarpetaFotos(), fotos, error)) {
        QFile::remove(temporal);
        return std::nullopt;
    }
    if (!QFile::rename(temporal, ruta) || QFileInfo(ruta).size() != tamano) {
        *error = Causas::AlEscribir(ruta, 0);
        QFile::remove(temporal);
        QFile::remove(ruta);
        return std::nullopt;
    }
    return ruta;
}

QList<QDateTime> Sobrantes(QList<QDateTime> fechas, const QDateTime &ahora) {
    std::sort(fechas.begin(), fechas.end(), std::greater<>());
    QSet<int> mesesGuardados;
    const QDate primerMes = QDate(ahora.date().year(), ahora.date().month(), 1).addMonths(-11);
    QList<QDateTime> sobrantes;
    for (qsizetype i = 0; i < fechas.size(); ++i) {
        const QDate d = fechas[i].date();
        const int mes = d.year() * 12 + d.month();
        const bool deUltimosMeses = d >= primerMes;
        bool guardar = i < 10;
        if (deUltimosMeses && !mesesGuardados.contains(mes)) {
            mesesGuardados.insert(mes);
            guardar = true;
        }
        if (!guardar) sobrantes << fechas[i];
    }
    return sobrantes;
}

bool Automatica(QString *error, const QDateTime &ahora, const Avance &avance) {
    const QList<Copia> copias = Listar();
    if (!copias.isEmpty() && copias.first().fecha > ahora.addDays(-1)) return true;
    if (!Hacer(error, ahora, avance)) return false;
    QList<QDateTime> fechas;
    for (const Copia &c : Listar())
        fechas << c.fecha;
    const QList<QDateTime> sobrantes = Sobrantes(fechas, ahora);
    for (const Copia &c : Listar())
        if (sobrantes.contains(c.fecha)) QFile::remove(c.ruta);
    if (!sobrantes.isEmpty()) PodarFotos();
    return true;
}

int PodarFotos() {
    QSet<QString> referidas;
    for (const Copia &c : Listar()) {
        // A copy whose references cannot be read keeps every picture.
        QString motivo;
        if (!Comprobar(c.ruta, &motivo)) return 0;
        for (const QString &h : Referidas(c.ruta))
            referidas.insert(h);
    }
    int quitadas = 0;
    const QDir almacen(CarpetaFotos());
    for (const QString &h : almacen.entryList(QDir::Files))
        if (!referidas.contains(h) && QFile::remove(almacen.filePath(h))) ++quitadas;
    return quitadas;
}

bool Comprobar(const QString &ruta, QString *motivo, int *observaciones) {
    return Examinar(ruta, motivo, observaciones, nullptr);
}

bool Restaurable(const QString &ruta, QString *motivo) {
    int version = 0;
    if (!Examinar(ruta, motivo, nullptr, &version)) return false;
    if (version <= SchemaUpgrade::kVersionActual) return true;
    *motivo = QStringLiteral("La copia %1 es de una versión más reciente del programa: esta "
                             "versión no puede restaurarla. Instale la versión más reciente de "
                             "Tritodex.")
                  .arg(QDir::toNativeSeparators(ruta));
    return false;
}

bool Restaurar(const QString &copia, QString *error, const Avance &avance, Fotos *fotos) {
    if (ModConex::EsServidor()) {
        *error = kEnServidor;
        return false;
    }
    if (!Restaurable(copia, error)) return false;
    if (!Preparar(error)) return false;
    const QString actual = ModConex::RutaBaseDatos();
    // The program's own open reads would hold the file against the restore's lock.
    ModConex::Desconectar();
    bool ok = false;
    switch (QFileInfo::exists(actual) ? EnSuSitio(copia, actual, avance, error)
                                      : Resultado::NoEsBase) {
    case Resultado::Hecho:
        ok = true;
        break;
    case Resultado::Fallo:
        break;
    case Resultado::NoEsBase:
        ok = Reemplazar(copia, actual, error);
        break;
    }
    QString fallo;
    if (ok && !Traer(Referidas(actual), CarpetaFotos(), CarpetaFotosActual(), fotos, &fallo)) {
        *error = QStringLiteral("Los datos de la copia se han restaurado, pero no sus fotos: %1")
                     .arg(fallo);
        ok = false;
    }
    const ModConex::Resultado conectado = ModConex::Conectar();
    if (ok && !conectado) {
        *error = conectado.motivo;
        return false;
    }
    return ok;
}

} // namespace Backups
