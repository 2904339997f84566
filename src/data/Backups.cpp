#include "Backups.h"

#include "ModConex.h"
#include "SqliteTexto.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <algorithm>

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
} // namespace

QString Carpeta() {
    return QFileInfo(ModConex::RutaBaseDatos()).absolutePath() + QStringLiteral("/copias");
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

std::optional<QString> Hacer(QString *error, const QDateTime &ahora) {
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
    // A connection of its own: reads the program left open on the shared one do not stop
    // SQLite's copy, which takes what is committed at this moment.
    const QString nombre = QStringLiteral("copia-") + QUuid::createUuid().toString();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
        db.setDatabaseName(ModConex::RutaBaseDatos());
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            *error = DescribirError(db.lastError());
        } else {
            // The copy's indexes are built in the program's own text order.
            SqliteTexto::Instalar(db);
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("PRAGMA busy_timeout = 5000")) &&
                 q.prepare(QStringLiteral("VACUUM INTO ?"));
            if (ok) {
                q.addBindValue(temporal);
                ok = q.exec();
            }
            if (!ok) *error = DescribirError(q.lastError());
            q.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(nombre);
    if (!ok) {
        QFile::remove(temporal);
        return std::nullopt;
    }
    if (!QFile::rename(temporal, ruta)) {
        *error =
            QStringLiteral("No se puede escribir la copia %1.").arg(QDir::toNativeSeparators(ruta));
        QFile::remove(temporal);
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

bool Automatica(QString *error, const QDateTime &ahora) {
    const QList<Copia> copias = Listar();
    if (!copias.isEmpty() && copias.first().fecha > ahora.addDays(-1)) return true;
    if (!Hacer(error, ahora)) return false;
    QList<QDateTime> fechas;
    for (const Copia &c : Listar())
        fechas << c.fecha;
    const QList<QDateTime> sobrantes = Sobrantes(fechas, ahora);
    for (const Copia &c : Listar())
        if (sobrantes.contains(c.fecha)) QFile::remove(c.ruta);
    return true;
}

bool Comprobar(const QString &ruta, QString *motivo, int *observaciones) {
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

bool Restaurar(const QString &copia, QString *error) {
    if (!Comprobar(copia, error)) return false;
    QFile origen(copia);
    if (!origen.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("No se puede leer la copia %1.").arg(QDir::toNativeSeparators(copia));
        return false;
    }
    const QByteArray contenido = origen.readAll();
    if (!Preparar(error)) return false;
    // The file being replaced is closed first, so a plain copy of it is whole even when it
    // is damaged, which SQLite's own copy would refuse.
    ModConex::Desconectar();
    const QString actual = ModConex::RutaBaseDatos();
    if (QFileInfo::exists(actual)) {
        const QString guardada = Destino(QDateTime::currentDateTime());
        if (!QFile::copy(actual, guardada)) {
            *error = QStringLiteral("No se pueden guardar los datos actuales en %1: no se ha "
                                    "restaurado nada.")
                         .arg(QDir::toNativeSeparators(guardada));
            ModConex::Conectar();
            return false;
        }
    }
    QSaveFile destino(actual);
    if (!destino.open(QIODevice::WriteOnly) || destino.write(contenido) != contenido.size() ||
        !destino.commit()) {
        *error = QStringLiteral("No se puede escribir %1: %2. Los datos actuales no han "
                                "cambiado.")
                     .arg(QDir::toNativeSeparators(actual), destino.errorString());
        ModConex::Conectar();
        return false;
    }
    if (!ModConex::Conectar()) {
        *error = ModConex::MotivoFallo();
        return false;
    }
    return true;
}

} // namespace Backups
