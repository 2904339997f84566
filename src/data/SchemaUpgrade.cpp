#include "SchemaUpgrade.h"

#include "DatabaseCreation.h"
#include "SqlDialect.h"
#include "refdata.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <functional>

namespace SchemaUpgrade {
namespace {

class Paso {
public:
    explicit Paso(QSqlDatabase &db)
        : db_(db), q_(db), servidor_(SqlDialect::De(db) == SqlDialect::Motor::PostgreSql) {}

    bool Servidor() const { return servidor_; }

    bool Sql(QString sentencia, const QVariantList &valores = {}) {
        if (!error_.isEmpty()) return false;
        if (servidor_ && sentencia.startsWith(QLatin1String("INSERT OR IGNORE INTO "))) {
            sentencia.remove(7, 10);
            sentencia += QLatin1String(" ON CONFLICT DO NOTHING");
        }
        bool ok = valores.isEmpty() ? q_.exec(sentencia) : q_.prepare(sentencia);
        if (ok && !valores.isEmpty()) {
            for (int i = 0; i < valores.size(); ++i)
                q_.bindValue(i, valores[i]);
            ok = q_.exec();
        }
        if (!ok) error_ = QStringLiteral("%1: %2").arg(sentencia, q_.lastError().text());
        q_.finish();
        return ok;
    }

    bool TieneColumna(const QString &tabla, const QString &columna) {
        return db_.record(tabla).contains(columna);
    }

    bool AnadirColumna(const QString &tabla, const QString &definicion) {
        if (TieneColumna(tabla, definicion.section(u' ', 0, 0))) return true;
        return Sql(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(tabla, definicion));
    }

    // Runs the statement once per row of the reference file, with the listed columns.
    bool PorFila(const char *texto, const QString &nombre, const QStringList &columnas,
                 const QString &sentencia) {
        if (!error_.isEmpty()) return false;
        DatabaseCreation::Csv csv;
        if (!DatabaseCreation::LeerCsvTexto(QString::fromUtf8(texto), nombre, &csv, &error_))
            return false;
        QList<qsizetype> indices;
        for (const QString &c : columnas) {
            indices << csv.columnas.indexOf(c);
            if (indices.last() < 0) {
                error_ = QStringLiteral("%1: falta la columna %2").arg(nombre, c);
                return false;
            }
        }
        for (const QStringList &fila : csv.filas) {
            QVariantList valores;
            for (qsizetype i : indices)
                valores << (fila[i].isEmpty() ? QVariant() : QVariant(fila[i]));
            if (!Sql(sentencia, valores)) return false;
        }
        return true;
    }

    // The first column of every row.
    QVariantList Valores(const QString &sentencia) {
        QVariantList valores;
        if (!error_.isEmpty()) return valores;
        if (!q_.exec(sentencia))
            error_ = QStringLiteral("%1: %2").arg(sentencia, q_.lastError().text());
        while (q_.next())
            valores << q_.value(0);
        q_.finish();
        return valores;
    }

    // A table of the current schema, with its indexes, as the engine writes them; none of
    // it when the table is there already.
    bool CrearTabla(const QString &tabla) {
        QStringList sentencias = DatabaseCreation::SentenciasEsquema();
        if (servidor_) sentencias = SqlDialect::EsquemaPostgreSql(sentencias);
        const QString crear = QStringLiteral("CREATE TABLE %1 ").arg(tabla);
        const QString indice = QStringLiteral(" ON %1 ").arg(tabla);
        for (QString s : sentencias) {
            if (s.startsWith(crear) || s.startsWith(crear.trimmed() + u'('))
                Sql(s.replace(0, 12, QLatin1String("CREATE TABLE IF NOT EXISTS")));
            else if (s.startsWith(QLatin1String("CREATE INDEX ")) && s.contains(indice))
                Sql(s.replace(0, 12, QLatin1String("CREATE INDEX IF NOT EXISTS")));
        }
        return error_.isEmpty();
    }

    QString error() const { return error_; }

private:
    QSqlDatabase &db_;
    QSqlQuery q_;
    QString error_;
    bool servidor_;
};

// Species: synonyms and every name; official province names; new lookup rows. Existing
// identifiers keep their meaning: only rows with new identifiers are added.
bool AVersion1(Paso &p) {
    p.AnadirColumna(QStringLiteral("especie"), QStringLiteral("sinonimo_de TEXT COLLATE NOCASE"));
    p.AnadirColumna(QStringLiteral("tprovincia"), QStringLiteral("prov_ine TEXT"));
    p.Sql(QStringLiteral("CREATE TABLE IF NOT EXISTS especie_nombre (cod_especie TEXT NOT NULL "
                         "COLLATE NOCASE, nombre TEXT NOT NULL, tipo TEXT NOT NULL, fuente TEXT)"));
    p.Sql(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS especie_nombre_especie ON especie_nombre (cod_especie)"));
    const QStringList especie = {QStringLiteral("cod_especie"), QStringLiteral("n_especie"),
                                 QStringLiteral("n_cast"), QStringLiteral("clase"),
                                 QStringLiteral("sinonimo_de")};
    p.PorFila(kRefEspecie, QStringLiteral("especie"), especie,
              QStringLiteral("INSERT OR IGNORE INTO especie (cod_especie, n_especie, n_cast, "
                             "clase, sinonimo_de) VALUES (?, ?, ?, ?, ?)"));
    // Corrected names and synonyms reach the codes already there.
    p.PorFila(kRefEspecie, QStringLiteral("especie"), especie.mid(1) << especie.first(),
              QStringLiteral("UPDATE especie SET n_especie = ?, n_cast = ?, clase = ?, "
                             "sinonimo_de = ? WHERE cod_especie = ?"));
    p.Sql(QStringLiteral("DELETE FROM especie_nombre"));
    p.PorFila(kRefEspecieNombre, QStringLiteral("especie_nombre"),
              {QStringLiteral("cod_especie"), QStringLiteral("nombre"), QStringLiteral("tipo"),
               QStringLiteral("fuente")},
              QStringLiteral("INSERT INTO especie_nombre (cod_especie, nombre, tipo, fuente) "
                             "VALUES (?, ?, ?, ?)"));
    p.PorFila(kRefEstadio, QStringLiteral("testadio"),
              {QStringLiteral("id_estadio"), QStringLiteral("estad_cast"), QStringLiteral("clase")},
              QStringLiteral("INSERT OR IGNORE INTO testadio (id_estadio, estad_cast, clase) "
                             "VALUES (?, ?, ?)"));
    p.PorFila(
        kRefConducta, QStringLiteral("tconducta"),
        {QStringLiteral("id_conducta"), QStringLiteral("conduct_cast"), QStringLiteral("clase")},
        QStringLiteral("INSERT OR IGNORE INTO tconducta (id_conducta, conduct_cast, clase) "
                       "VALUES (?, ?, ?)"));
    p.PorFila(kRefHabitat, QStringLiteral("thabitat"),
              {QStringLiteral("id_habitat"), QStringLiteral("habitat")},
              QStringLiteral("INSERT OR IGNORE INTO thabitat (id_habitat, habitat) VALUES (?, ?)"));
    return p.PorFila(kRefProvincia, QStringLiteral("tprovincia"),
                     {QStringLiteral("prov_ine"), QStringLiteral("id_prov")},
                     QStringLiteral("UPDATE tprovincia SET prov_ine = ? WHERE id_prov = ?"));
}

// A stable identifier for every observation, for published datasets, and the species whose
// records are published only at their 10-km square.
bool AVersion2(Paso &p) {
    p.AnadirColumna(QStringLiteral("observacion"), QStringLiteral("uuid TEXT"));
    p.AnadirColumna(QStringLiteral("especie"),
                    QStringLiteral("sensible INTEGER NOT NULL DEFAULT 0"));
    if (!p.error().isEmpty()) return false;
    // The trigger and the index as a new file has them, from the one schema text.
    for (QString s : DatabaseCreation::SentenciasEsquema())
        if (s.contains(QLatin1String(" observacion_uuid ")))
            p.Sql(s.replace(QLatin1String("CREATE TRIGGER "),
                            QLatin1String("CREATE TRIGGER IF NOT EXISTS "))
                      .replace(QLatin1String("CREATE UNIQUE INDEX "),
                               QLatin1String("CREATE UNIQUE INDEX IF NOT EXISTS ")));
    for (const QVariant &id :
         p.Valores(QStringLiteral("SELECT id_observacion FROM observacion WHERE uuid IS NULL")))
        p.Sql(QStringLiteral("UPDATE observacion SET uuid = ? WHERE id_observacion = ?"),
              {QUuid::createUuid().toString(QUuid::WithoutBraces), id});
    return p.PorFila(kRefEspecie, QStringLiteral("especie"),
                     {QStringLiteral("sensible"), QStringLiteral("cod_especie")},
                     QStringLiteral("UPDATE especie SET sensible = ? WHERE cod_especie = ?"));
}

// How far the true position may lie from a locality's point, when known; older names of
// species revised, so that none points to another older name.
bool AVersion3(Paso &p) {
    p.AnadirColumna(QStringLiteral("localidad"), QStringLiteral("incertidumbre INTEGER"));
    if (p.Servidor())
        p.CrearTabla(QStringLiteral("conjunto_datos"));
    else
        p.Sql(QStringLiteral("CREATE TABLE IF NOT EXISTS conjunto_datos (uuid TEXT NOT NULL)"));
    p.PorFila(kRefEspecie, QStringLiteral("especie"),
              {QStringLiteral("cod_especie"), QStringLiteral("n_especie"), QStringLiteral("n_cast"),
               QStringLiteral("clase"), QStringLiteral("sinonimo_de"), QStringLiteral("sensible")},
              QStringLiteral("INSERT OR IGNORE INTO especie (cod_especie, n_especie, n_cast, "
                             "clase, sinonimo_de, sensible) VALUES (?, ?, ?, ?, ?, ?)"));
    p.PorFila(kRefEspecie, QStringLiteral("especie"),
              {QStringLiteral("sinonimo_de"), QStringLiteral("cod_especie")},
              QStringLiteral("UPDATE especie SET sinonimo_de = ? WHERE cod_especie = ?"));
    p.Sql(QStringLiteral("DELETE FROM especie_nombre"));
    return p.PorFila(kRefEspecieNombre, QStringLiteral("especie_nombre"),
                     {QStringLiteral("cod_especie"), QStringLiteral("nombre"),
                      QStringLiteral("tipo"), QStringLiteral("fuente")},
                     QStringLiteral("INSERT INTO especie_nombre (cod_especie, nombre, tipo, "
                                    "fuente) VALUES (?, ?, ?, ?)"));
}

// The photographs of observations, as a new file has them.
bool AVersion4(Paso &p) {
    // On a server the pictures themselves live in a table of their own.
    return p.CrearTabla(QStringLiteral("foto")) &&
           (!p.Servidor() || p.CrearTabla(QStringLiteral("foto_datos")));
}

// The bin of deleted observations and of their photos' rows.
bool AVersion5(Paso &p) {
    return p.CrearTabla(QStringLiteral("papelera")) &&
           p.CrearTabla(QStringLiteral("papelera_foto"));
}

// Each observation's verification, in the bin too; what guards it, as a new file or server
// has it.
bool AVersion6(Paso &p) {
    for (const QString &tabla : {QStringLiteral("observacion"), QStringLiteral("papelera")})
        for (const char *c :
             {"verificacion", "verificador", "fecha_verificacion", "comentario_verificacion"})
            p.AnadirColumna(tabla, QLatin1String(c) + QStringLiteral(" TEXT"));
    for (QString s : DatabaseCreation::SentenciasEsquema()) {
        if (s.startsWith(QLatin1String("CREATE INDEX observacion_verificada ")))
            p.Sql(s.replace(0, 12, QLatin1String("CREATE INDEX IF NOT EXISTS")));
        else if (!p.Servidor() &&
                 s.startsWith(QLatin1String("CREATE TRIGGER observacion_verificacion ")))
            p.Sql(s.replace(0, 14, QLatin1String("CREATE TRIGGER IF NOT EXISTS")));
    }
    if (p.Servidor())
        for (const QString &s : SqlDialect::VerificacionPostgreSql())
            p.Sql(s);
    return p.error().isEmpty();
}

// Step N brings a file of version N - 1 to version N.
const std::function<bool(Paso &)> kPasos[] = {AVersion1, AVersion2, AVersion3,
                                              AVersion4, AVersion5, AVersion6};
static_assert(std::size(kPasos) == kVersionActual);

} // namespace

int Version(QSqlDatabase &db) {
    return SqlDialect::Version(db);
}

bool Actualizar(QSqlDatabase &db, QString *error) {
    const bool servidor = SqlDialect::De(db) == SqlDialect::Motor::PostgreSql;
    for (int version = Version(db); version < kVersionActual; ++version) {
        if (version < 0) {
            *error = db.lastError().text();
            return false;
        }
        if (servidor && version < kPrimeraServidor) {
            *error = QStringLiteral("La base de datos del servidor es de la versión %1, anterior "
                                    "a las que se pueden actualizar.")
                         .arg(version);
            return false;
        }
        if (!db.transaction()) {
            *error = db.lastError().text();
            return false;
        }
        Paso paso(db);
        const bool ok = kPasos[version](paso) &&
                        paso.Sql(SqlDialect::FijarVersion(db, version + 1)) && db.commit();
        if (!ok) {
            *error = paso.error().isEmpty() ? db.lastError().text() : paso.error();
            db.rollback();
            return false;
        }
    }
    return true;
}

} // namespace SchemaUpgrade
