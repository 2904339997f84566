#include "BinStore.h"

#include "data/DatabaseCreation.h"
#include "data/SqlDialect.h"

#include <QHash>
#include <QRegularExpression>

namespace {
const QString kFormatoMomento = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// The columns of an observation or a photo as the schema declares them, read once: the
// database is at the schema's version, and its bin tables hold every one of them (asking the
// server's catalogue on each deletion would cost more than the deletion).
const QStringList &ColumnasEsquema(const QString &tabla) {
    static const QHash<QString, QStringList> columnas = [] {
        static const QRegularExpression nombre(QStringLiteral("^[a-z_0-9]+$"));
        QHash<QString, QStringList> r;
        for (const QString &s : DatabaseCreation::SentenciasEsquema()) {
            for (const char *t : {"observacion", "foto"}) {
                const QString inicio = QStringLiteral("CREATE TABLE %1 (").arg(QLatin1String(t));
                if (!s.startsWith(inicio)) continue;
                QStringList lista;
                for (const QString &linea : s.mid(inicio.size()).split(u'\n')) {
                    const QString columna = linea.trimmed().section(u' ', 0, 0);
                    if (nombre.match(columna).hasMatch()) lista << columna;
                }
                r.insert(QLatin1String(t), lista);
            }
        }
        return r;
    }();
    static const QStringList ninguna;
    const auto it = columnas.constFind(tabla);
    return it == columnas.cend() ? ninguna : *it;
}

Column C(const char *expresion, const char *titulo, const char *cabecera,
         Column::Formato formato = Column::Formato::Texto) {
    return {QString::fromUtf8(expresion), QString::fromUtf8(titulo), QString::fromUtf8(cabecera),
            formato};
}
} // namespace

const ColumnTable &BinStore::Columnas() {
    using F = Column::Formato;
    // A species or locality gone since shows its stored code rather than nothing.
    static const ColumnTable columnas = {
        C("p.fecha AS fecha", "Fecha", "FECHA", F::Fecha),
        C("coalesce(e.n_especie, p.especie) AS especie", "Especie", "ESPECIE"),
        C("coalesce(loc.localidad, p.localidad) AS localidad", "Localidad", "LOCALIDAD"),
        C("p.borrada AS borrada", "Borrada el", "BORRADA"),
        C("p.borrada_por AS borrada_por", "Borrada por", "BORRADA POR"),
        C("(SELECT count(*) FROM papelera_foto f WHERE f.observacion = p.id_observacion) AS fotos",
          "Fotos", "FOTOS", F::Entero),
        C("p.id_observacion AS id_observacion", "Id", "ID", F::Entero),
    };
    return columnas;
}

int BinStore::ColumnaId() {
    return int(Columnas().size()) - 1;
}

QSqlQuery BinStore::Listar() {
    return Consultar(QStringLiteral("SELECT ") + Columnas().ListaSelect() +
                         QStringLiteral(" FROM papelera p"
                                        " LEFT JOIN especie e ON e.cod_especie = p.especie"
                                        " LEFT JOIN localidad loc ON loc.cod_localidad = "
                                        "p.localidad"
                                        " ORDER BY p.borrada DESC, p.id_observacion DESC"),
                     {});
}

std::optional<int> BinStore::Contar() {
    const auto n = Primero(QStringLiteral("SELECT count(*) FROM papelera"));
    if (!n) return std::nullopt;
    return n->toInt();
}

bool BinStore::Pasar(const QString &origen, const QString &destino, const QString &condicion,
                     const QVariantList &valores, const QStringList &extra,
                     const QVariantList &valoresExtra, int *pasadas) {
    const bool aPapelera = destino.startsWith(QLatin1String("papelera"));
    const QStringList &columnas = ColumnasEsquema(aPapelera ? origen : destino);
    if (columnas.isEmpty()) {
        Anotar(
            QStringLiteral("El esquema no declara la tabla %1.").arg(aPapelera ? origen : destino));
        return false;
    }
    QStringList destinoColumnas = columnas, origenColumnas = columnas;
    for (const QString &e : extra) {
        destinoColumnas << e.section(u'=', 0, 0);
        origenColumnas << e.section(u'=', 1);
    }
    QSqlQuery q;
    if (!Ejecutar(q,
                  QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 WHERE %5")
                      .arg(destino, destinoColumnas.join(QStringLiteral(", ")),
                           origenColumnas.join(QStringLiteral(", ")), origen, condicion),
                  valoresExtra + valores))
        return false;
    const int n = q.numRowsAffected();
    if (!Ejecutar(q, QStringLiteral("DELETE FROM %1 WHERE %2").arg(origen, condicion), valores))
        return false;
    // What was copied is exactly what goes: another user's change between the two would
    // otherwise lose or double a row.
    if (q.numRowsAffected() != n) {
        Anotar(QStringLiteral("Otro usuario ha cambiado la observación a la vez: no se ha "
                              "movido nada."));
        return false;
    }
    if (pasadas) *pasadas = n;
    return true;
}

bool BinStore::Mover(int id, const QDateTime &cuando) {
    int n = 0;
    if (!Pasar(QStringLiteral("observacion"), QStringLiteral("papelera"),
               QStringLiteral("id_observacion = ?"), {id},
               {QStringLiteral("borrada=?"),
                QStringLiteral("borrada_por=") + SqlDialect::Usuario(db())},
               {cuando.toString(kFormatoMomento)}, &n))
        return false;
    if (n == 0) {
        Anotar(QStringLiteral("La observación ya no existe en la base de datos."));
        return false;
    }
    return Pasar(QStringLiteral("foto"), QStringLiteral("papelera_foto"),
                 QStringLiteral("observacion = ?"), {id});
}

bool BinStore::Restaurar(const QList<int> &ids) {
    return EnTransaccion([&] {
        for (int id : ids) {
            int n = 0;
            if (!Pasar(QStringLiteral("papelera"), QStringLiteral("observacion"),
                       QStringLiteral("id_observacion = ?"), {id}, {}, {}, &n)) {
                if (claveDuplicada())
                    Anotar(QStringLiteral("Ya hay en la base de datos una observación con el id %1 "
                                          "o con su identificador (UUID): no se ha restaurado "
                                          "nada.")
                               .arg(id));
                return false;
            }
            if (n == 0) {
                Anotar(QStringLiteral("La observación con id: %1 ya no está en la papelera: no se "
                                      "ha restaurado nada.")
                           .arg(id));
                return false;
            }
            if (!Pasar(QStringLiteral("papelera_foto"), QStringLiteral("foto"),
                       QStringLiteral("observacion = ?"), {id}))
                return false;
        }
        return true;
    });
}

bool BinStore::Vaciar(const QList<int> &ids) {
    return EnTransaccion([&] {
        QSqlQuery q;
        for (int id : ids)
            if (!Ejecutar(q, QStringLiteral("DELETE FROM papelera_foto WHERE observacion = ?"),
                          {id}) ||
                !Ejecutar(q, QStringLiteral("DELETE FROM papelera WHERE id_observacion = ?"), {id}))
                return false;
        return true;
    });
}

std::optional<int> BinStore::VaciarAntiguas(const QDateTime &ahora) {
    const QString limite = ahora.addDays(-kDiasGuardada).toString(kFormatoMomento);
    int n = 0;
    const bool ok = EnTransaccion([&] {
        QSqlQuery q;
        if (!Ejecutar(q,
                      QStringLiteral("DELETE FROM papelera_foto WHERE observacion IN (SELECT "
                                     "id_observacion FROM papelera WHERE borrada < ?)"),
                      {limite}) ||
            !Ejecutar(q, QStringLiteral("DELETE FROM papelera WHERE borrada < ?"), {limite}))
            return false;
        n = q.numRowsAffected();
        return true;
    });
    if (!ok) return std::nullopt;
    return n;
}
