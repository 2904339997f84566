#include "DatabaseCreation.h"

#include "SchemaUpgrade.h"
#include "SqlDialect.h"
#include "SqliteText.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <tuple>

namespace DatabaseCreation {

bool LeerCsv(const QString &ruta, Csv *csv, QString *error) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("No se puede leer %1: %2").arg(ruta, f.errorString());
        return false;
    }
    return LeerCsvTexto(QString::fromUtf8(f.readAll()), ruta, csv, error);
}

bool LeerCsvTexto(const QString &texto, const QString &ruta, Csv *csv, QString *error) {
    QList<QStringList> registros;
    QStringList registro;
    QString campo;
    bool entreComillas = false, campoEmpezado = false;
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto[i];
        if (entreComillas) {
            if (c == u'"') {
                if (i + 1 < texto.size() && texto[i + 1] == u'"') {
                    campo += u'"';
                    ++i;
                } else {
                    entreComillas = false;
                }
            } else {
                campo += c;
            }
        } else if (c == u'"') {
            entreComillas = true;
            campoEmpezado = true;
        } else if (c == u',') {
            registro << campo;
            campo.clear();
            campoEmpezado = true;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < texto.size() && texto[i + 1] == u'\n') ++i;
            if (campoEmpezado || !campo.isEmpty() || !registro.isEmpty()) {
                registro << campo;
                registros << registro;
            }
            registro.clear();
            campo.clear();
            campoEmpezado = false;
        } else {
            campo += c;
            campoEmpezado = true;
        }
    }
    if (entreComillas) {
        *error = QStringLiteral("%1: comillas sin cerrar").arg(ruta);
        return false;
    }
    if (campoEmpezado || !campo.isEmpty() || !registro.isEmpty()) {
        registro << campo;
        registros << registro;
    }
    if (registros.isEmpty()) {
        *error = QStringLiteral("%1: falta la línea de cabecera").arg(ruta);
        return false;
    }
    csv->columnas = registros.takeFirst();
    for (qsizetype n = 0; n < registros.size(); ++n) {
        if (registros[n].size() != csv->columnas.size()) {
            *error = QStringLiteral("%1, fila %2: %3 campos en lugar de %4")
                         .arg(ruta)
                         .arg(n + 2)
                         .arg(registros[n].size())
                         .arg(csv->columnas.size());
            return false;
        }
    }
    csv->filas = registros;
    return true;
}

bool CargarCsv(QSqlDatabase &db, const QString &tabla, const QString &ruta, QString *error) {
    Csv csv;
    if (!LeerCsv(ruta, &csv, error)) return false;
    QStringList marcas, columnas;
    for (const QString &c : csv.columnas) {
        columnas << QLatin1Char('"') + QString(c).replace(u'"', QLatin1String("\"\"")) +
                        QLatin1Char('"');
        marcas << QStringLiteral("?");
    }
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                       .arg(tabla, columnas.join(u','), marcas.join(u',')))) {
        *error = QStringLiteral("%1: %2").arg(tabla, q.lastError().text());
        return false;
    }
    for (const QStringList &fila : csv.filas) {
        for (qsizetype i = 0; i < fila.size(); ++i)
            // An empty field is a null, as an empty cell in the source.
            q.bindValue(int(i), fila[i].isEmpty() ? QVariant() : QVariant(fila[i]));
        if (!q.exec()) {
            *error =
                QStringLiteral("%1 (%2): %3").arg(tabla, fila.join(u','), q.lastError().text());
            return false;
        }
    }
    return true;
}

QStringList SentenciasEsquema() {
    QStringList sentencias;
    QString actual;
    const QStringList lineas = QString::fromUtf8(kEsquemaSql).split(u'\n');
    for (const QString &linea : lineas) {
        const QString t = linea.trimmed();
        if (t.startsWith(QLatin1String("--")) || t.isEmpty()) continue;
        actual += linea + u'\n';
        if (t.endsWith(u';')) {
            sentencias << actual.trimmed();
            actual.clear();
        }
    }
    return sentencias;
}

bool CrearBaseDatos(const QString &rutaArchivo, const QString &carpetaRefdata, QString *error) {
    if (QFileInfo::exists(rutaArchivo)) {
        *error = QStringLiteral("%1 ya existe: no se sobrescribe").arg(rutaArchivo);
        return false;
    }
    // Built under a temporary name and renamed at the end, so that a failure never leaves
    // a half-filled database where the program would take it for a good one.
    const QString temporal = rutaArchivo + QStringLiteral(".nuevo");
    QFile::remove(temporal);
    const QString nombre = QStringLiteral("crear-") + QUuid::createUuid().toString();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
        db.setDatabaseName(temporal);
        if (!db.open()) {
            *error = db.lastError().text();
        } else {
            SqliteText::Instalar(db);
            ok = db.transaction();
            QSqlQuery q(db);
            for (const QString &s : SentenciasEsquema()) {
                if (!ok) break;
                if (!q.exec(s)) {
                    *error = QStringLiteral("%1\n%2").arg(s, q.lastError().text());
                    ok = false;
                }
            }
            const QFileInfoList csvs =
                QDir(carpetaRefdata)
                    .entryInfoList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name);
            for (const QFileInfo &fi : csvs) {
                if (!ok) break;
                // Only files named after a table are data; others (test vectors) are not.
                QSqlQuery existe(db);
                existe.prepare(QStringLiteral(
                    "SELECT 1 FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE"));
                existe.addBindValue(fi.completeBaseName());
                if (!existe.exec() || !existe.next()) continue;
                ok = CargarCsv(db, fi.completeBaseName(), fi.absoluteFilePath(), error);
            }
            if (ok && !q.exec(QStringLiteral("PRAGMA user_version = %1")
                                  .arg(SchemaUpgrade::kVersionActual))) {
                *error = q.lastError().text();
                ok = false;
            }
            if (ok)
                ok = db.commit();
            else
                db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(nombre);
    if (ok && !QFile::rename(temporal, rutaArchivo)) {
        *error = QStringLiteral("No se puede crear %1").arg(rutaArchivo);
        ok = false;
    }
    if (!ok) QFile::remove(temporal);
    return ok;
}

bool CrearEnServidor(QSqlDatabase &db, const QString &carpetaRefdata, QString *error) {
    QStringList tablas;
    if (!SqlDialect::Tablas(db, &tablas, error)) return false;
    for (const QString &s : SentenciasEsquema()) {
        if (!s.startsWith(QLatin1String("CREATE TABLE "))) continue;
        const QString tabla = s.mid(13).section(u' ', 0, 0).toLower();
        if (tablas.contains(tabla)) {
            *error = QStringLiteral("La base de datos %1 ya tiene tablas del programa (%2): no "
                                    "se toca.")
                         .arg(db.databaseName(), tabla);
            return false;
        }
    }
    if (!db.transaction()) {
        *error = db.lastError().text();
        return false;
    }
    bool ok = true;
    QSqlQuery q(db);
    for (const QString &s : SqlDialect::EsquemaPostgreSql(SentenciasEsquema())) {
        if (!q.exec(s)) {
            *error = QStringLiteral("%1\n%2").arg(s, q.lastError().text());
            ok = false;
            break;
        }
    }
    tablas.clear();
    ok = ok && SqlDialect::Tablas(db, &tablas, error);
    const QFileInfoList csvs =
        QDir(carpetaRefdata).entryInfoList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name);
    for (const QFileInfo &fi : csvs) {
        if (!ok) break;
        if (!tablas.contains(fi.completeBaseName().toLower())) continue;
        ok = CargarCsv(db, fi.completeBaseName().toLower(), fi.absoluteFilePath(), error);
    }
    // Rows that bring their own identifiers leave the counters where new ones must start.
    for (const auto &[tabla, columna] : {std::pair{"motivo", "id_motivo"}}) {
        if (ok &&
            !q.exec(SqlDialect::AjustarIdentidad(QLatin1String(tabla), QLatin1String(columna)))) {
            *error = q.lastError().text();
            ok = false;
        }
    }
    if (ok && !q.exec(SqlDialect::FijarVersion(db, SchemaUpgrade::kVersionActual))) {
        *error = q.lastError().text();
        ok = false;
    }
    q.finish();
    if (ok && !db.commit()) {
        *error = db.lastError().text();
        ok = false;
    }
    if (!ok) db.rollback();
    return ok;
}

namespace {
// Copies every row of the table, the columns the server's table has too; *n counts them.
bool CopiarTabla(QSqlDatabase &origen, QSqlDatabase &destino, const QString &tabla,
                 const QString &orden, int *n, QString *error) {
    QSqlQuery leer(origen);
    leer.setForwardOnly(true);
    if (!leer.exec(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(tabla, orden))) {
        *error = QStringLiteral("%1: %2").arg(tabla, leer.lastError().text());
        return false;
    }
    const QSqlRecord destinoCampos = destino.record(tabla);
    const QSqlRecord campos = leer.record();
    QList<int> indices;
    QStringList columnas, marcas;
    for (int i = 0; i < campos.count(); ++i) {
        if (destinoCampos.indexOf(campos.fieldName(i).toLower()) < 0) continue;
        indices << i;
        columnas << campos.fieldName(i).toLower();
        marcas << QStringLiteral("?");
    }
    QSqlQuery escribir(destino);
    if (!escribir.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                              .arg(tabla, columnas.join(u','), marcas.join(u',')))) {
        *error = QStringLiteral("%1: %2").arg(tabla, escribir.lastError().text());
        return false;
    }
    while (leer.next()) {
        for (int k = 0; k < indices.size(); ++k)
            escribir.bindValue(k, leer.value(indices[k]));
        if (!escribir.exec()) {
            QStringList fila;
            for (int i : indices)
                fila << leer.value(i).toString();
            *error = QStringLiteral("%1 (%2): %3")
                         .arg(tabla, fila.join(u','), escribir.lastError().text());
            return false;
        }
        ++*n;
    }
    if (leer.lastError().isValid()) {
        *error = QStringLiteral("%1: %2").arg(tabla, leer.lastError().text());
        return false;
    }
    return true;
}
// The pictures the file's photographs show, from its folder into the server's table.
bool CopiarImagenes(QSqlDatabase &origen, QSqlDatabase &destino, const QString &carpeta,
                    QString *error) {
    QSqlQuery leer(origen);
    if (!leer.exec(QStringLiteral("SELECT sha256 FROM foto UNION SELECT sha256 FROM papelera_foto "
                                  "ORDER BY 1"))) {
        *error = QStringLiteral("foto: %1").arg(leer.lastError().text());
        return false;
    }
    QSqlQuery escribir(destino);
    escribir.prepare(QStringLiteral("INSERT INTO foto_datos (sha256, datos) VALUES (?, ?)"));
    while (leer.next()) {
        const QString hash = leer.value(0).toString();
        QFile f(carpeta + u'/' + hash);
        if (hash.contains(u'/') || !f.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("No se encuentra la imagen %1 de una foto en la carpeta %2: "
                                    "no se copia nada.")
                         .arg(hash, QDir::toNativeSeparators(carpeta));
            return false;
        }
        escribir.bindValue(0, hash);
        escribir.bindValue(1, f.readAll());
        if (!escribir.exec()) {
            *error = QStringLiteral("foto_datos (%1): %2").arg(hash, escribir.lastError().text());
            return false;
        }
    }
    return true;
}
} // namespace

bool CopiarAlServidor(const QString &rutaArchivo, QSqlDatabase &servidor, Copiados *copiados,
                      QString *error) {
    if (!QFileInfo(rutaArchivo).isFile()) {
        *error = QStringLiteral("No se encuentra el archivo %1").arg(rutaArchivo);
        return false;
    }
    *copiados = {};
    const QString nombre = QStringLiteral("copiar-") + QUuid::createUuid().toString();
    bool ok = false;
    {
        QSqlDatabase origen = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
        origen.setDatabaseName(rutaArchivo);
        origen.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!origen.open()) {
            *error = origen.lastError().text();
        } else if (const int v = SqlDialect::Version(origen); v != SchemaUpgrade::kVersionActual) {
            *error = QStringLiteral("El archivo %1 es de otra versión del programa (%2): ábralo "
                                    "antes con esta versión para actualizarlo.")
                         .arg(rutaArchivo)
                         .arg(v);
        } else {
            QSqlQuery q(servidor);
            ok = q.exec(QStringLiteral("SELECT (SELECT count(*) FROM observador) + (SELECT "
                                       "count(*) FROM localidad) + (SELECT count(*) FROM "
                                       "observacion)")) &&
                 q.next();
            if (!ok) {
                *error = q.lastError().text();
            } else if (q.value(0).toLongLong() > 0) {
                *error = QStringLiteral("La base de datos del servidor ya tiene observadores, "
                                        "localidades u observaciones: no se copia nada en ella.");
                ok = false;
            }
            q.finish();
            if (ok && !servidor.transaction()) {
                *error = servidor.lastError().text();
                ok = false;
            } else if (ok) {
                ok = q.exec(QStringLiteral("DELETE FROM motivo"));
                if (!ok) *error = q.lastError().text();
                ok =
                    ok &&
                    CopiarTabla(origen, servidor, QStringLiteral("observador"),
                                QStringLiteral("cod_observador"), &copiados->observadores, error) &&
                    CopiarTabla(origen, servidor, QStringLiteral("motivo"),
                                QStringLiteral("id_motivo"), &copiados->motivos, error) &&
                    CopiarTabla(origen, servidor, QStringLiteral("localidad"),
                                QStringLiteral("id_localidad"), &copiados->localidades, error) &&
                    CopiarTabla(origen, servidor, QStringLiteral("observacion"),
                                QStringLiteral("id_observacion"), &copiados->observaciones,
                                error) &&
                    CopiarTabla(origen, servidor, QStringLiteral("foto"), QStringLiteral("id_foto"),
                                &copiados->fotos, error) &&
                    CopiarTabla(origen, servidor, QStringLiteral("papelera"),
                                QStringLiteral("id_observacion"), &copiados->papelera, error) &&
                    CopiarTabla(origen, servidor, QStringLiteral("papelera_foto"),
                                QStringLiteral("id_foto"), &copiados->fotosPapelera, error) &&
                    CopiarImagenes(origen, servidor,
                                   QFileInfo(rutaArchivo).absolutePath() + QStringLiteral("/fotos"),
                                   error);
                // The bin's numbers stay its own: a restore brings them back.
                for (const auto &[tabla, columna, papelera] :
                     {std::tuple{"motivo", "id_motivo", ""},
                      std::tuple{"localidad", "id_localidad", ""},
                      std::tuple{"observacion", "id_observacion", "papelera"},
                      std::tuple{"foto", "id_foto", "papelera_foto"}}) {
                    const QString ajuste = SqlDialect::AjustarIdentidad(
                        QLatin1String(tabla), QLatin1String(columna), QLatin1String(papelera));
                    if (ok && !q.exec(ajuste)) {
                        *error = q.lastError().text();
                        ok = false;
                    }
                }
                q.finish();
                if (ok && !servidor.commit()) {
                    *error = servidor.lastError().text();
                    ok = false;
                }
                if (!ok) servidor.rollback();
            }
        }
        origen.close();
    }
    QSqlDatabase::removeDatabase(nombre);
    if (!ok) *copiados = {};
    return ok;
}

} // namespace DatabaseCreation
