#include "ReasonStore.h"

#include "data/SqlDialect.h"

#include <QSqlQuery>

namespace {
QVariant Texto(const QString &t) {
    return t.trimmed().isEmpty() ? QVariant(QString()) : QVariant(t.trimmed());
}
} // namespace

QList<Motivo> ReasonStore::Lista() {
    QList<Motivo> r;
    QSqlQuery q;
    if (!Ejecutar(q, QStringLiteral("SELECT id_motivo, motivo_cast, descripcion FROM motivo "
                                    "ORDER BY id_motivo")))
        return r;
    while (q.next())
        r.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString()});
    return r;
}

bool ReasonStore::Validar(const Motivo &m, std::optional<qint64> actual,
                          std::optional<qint64> *id) {
    const QString textoId = m.id.trimmed();
    id->reset();
    if (!textoId.isEmpty()) {
        bool ok = false;
        const qint64 n = textoId.toLongLong(&ok);
        if (!ok || n <= 0) {
            Anotar(QStringLiteral("El identificador «%1» no es válido: escriba un número entero "
                                  "mayor que cero, o déjelo vacío para que se asigne solo.")
                       .arg(textoId));
            return false;
        }
        *id = n;
    } else if (actual) {
        Anotar(QStringLiteral("El identificador del motivo no puede quedar vacío."));
        return false;
    }
    if (m.motivo.trimmed().isEmpty()) {
        Anotar(QStringLiteral("El motivo no puede quedar vacío: escriba su texto."));
        return false;
    }
    if (!Cabe(QStringLiteral("El motivo"), m.motivo) ||
        !Cabe(QStringLiteral("La descripción del motivo"), m.descripcion))
        return false;
    if (*id && *id != actual) {
        const auto hay =
            Primero(QStringLiteral("SELECT count(*) FROM motivo WHERE id_motivo = ?"), {**id});
        if (!hay) return false;
        if (hay->toInt() > 0) {
            Anotar(QStringLiteral("Ya existe un motivo con el identificador %1.").arg(**id));
            return false;
        }
    }
    // The observation forms offer the reasons by their text, so two alike would be one.
    const auto igual = Primero(QStringLiteral("SELECT count(*) FROM motivo WHERE motivo_cast = ? "
                                              "AND id_motivo <> ?"),
                               {m.motivo.trimmed(), actual ? *actual : qint64(-1)});
    if (!igual) return false;
    if (igual->toInt() > 0) {
        Anotar(QStringLiteral("Ya existe el motivo «%1».").arg(m.motivo.trimmed()));
        return false;
    }
    return true;
}

bool ReasonStore::AjustarNumeracion() {
    // A number the user gave must never be handed out again by the database.
    const QString sql = SqlDialect::TrasIdentificadorPropio(db(), QStringLiteral("motivo"),
                                                            QStringLiteral("id_motivo"));
    QSqlQuery q;
    return sql.isEmpty() || Ejecutar(q, sql);
}

std::optional<qint64> ReasonStore::Insertar(const Motivo &m) {
    std::optional<qint64> id;
    std::optional<qint64> nuevo;
    const bool ok = EnTransaccion([&] {
        if (!Validar(m, std::nullopt, &id)) return false;
        QSqlQuery q;
        const bool ok =
            id ? Ejecutar(q,
                          QStringLiteral("INSERT INTO motivo (id_motivo, motivo_cast, descripcion) "
                                         "VALUES (?, ?, ?)"),
                          {*id, m.motivo.trimmed(), Texto(m.descripcion)})
               : Ejecutar(q,
                          QStringLiteral("INSERT INTO motivo (motivo_cast, descripcion) "
                                         "VALUES (?, ?) RETURNING id_motivo"),
                          {m.motivo.trimmed(), Texto(m.descripcion)}) &&
                     q.next();
        if (!ok) return false;
        nuevo = id ? *id : q.value(0).toLongLong();
        return !id || AjustarNumeracion();
    });
    return ok ? nuevo : std::nullopt;
}

bool ReasonStore::Actualizar(qint64 actual, const Motivo &m) {
    return EnTransaccion([&] {
        std::optional<qint64> id;
        if (!Validar(m, actual, &id)) return false;
        QSqlQuery q;
        if (!Ejecutar(q,
                      QStringLiteral("UPDATE motivo SET id_motivo = ?, motivo_cast = ?, "
                                     "descripcion = ? WHERE id_motivo = ?"),
                      {*id, m.motivo.trimmed(), Texto(m.descripcion), actual}))
            return false;
        if (q.numRowsAffected() == 0) {
            Anotar(QStringLiteral("Este motivo ya no está en la base de datos: otra ventana lo "
                                  "ha eliminado."));
            return false;
        }
        return AjustarNumeracion();
    });
}

bool ReasonStore::Suprimir(qint64 id) {
    return EnTransaccion([&] {
        const auto texto =
            Primero(QStringLiteral("SELECT motivo_cast FROM motivo WHERE id_motivo = ?"), {id});
        if (!texto) {
            if (!fallo()) Anotar(QStringLiteral("Este motivo ya no está en la base de datos."));
            return false;
        }
        const auto usos =
            Primero(QStringLiteral("SELECT count(*) FROM observacion WHERE motivo = ?"), {*texto});
        if (!usos) return false;
        if (usos->toInt() > 0) {
            const int n = usos->toInt();
            Anotar(QStringLiteral("El motivo «%1» figura en %2: no se puede eliminar mientras "
                                  "alguna observación lo tenga.")
                       .arg(texto->toString(), n == 1 ? QStringLiteral("una observación")
                                                      : QStringLiteral("%1 observaciones").arg(n)));
            return false;
        }
        QSqlQuery q;
        return Ejecutar(q, QStringLiteral("DELETE FROM motivo WHERE id_motivo = ?"), {id});
    });
}
