#include "CreacionBaseDatos.h"

#include "SchemaUpgrade.h"
#include "SqliteTexto.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace CreacionBaseDatos {

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
            SqliteTexto::Instalar(db);
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

} // namespace CreacionBaseDatos
