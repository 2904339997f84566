#include "ObserverStore.h"

#include "data/ModConex.h"

#include <QSqlError>

namespace {

// An empty field is stored as the empty text, not as a null.
QVariantList Textos(std::initializer_list<QString> textos) {
    QVariantList r;
    for (const QString &t : textos)
        r << (t.isNull() ? QStringLiteral("") : t);
    return r;
}

const QString kNoEncontrado =
    QStringLiteral("Error al intentar encontrar este observador en la base de datos");

} // namespace

const ColumnTable &ObserverStore::ColumnasLista() {
    static const ColumnTable columnas = {
        {QStringLiteral("cod_observador"), QStringLiteral("Código"), QStringLiteral("Código")},
        {QStringLiteral("email"), QStringLiteral("Email"), QStringLiteral("Email")},
        {QStringLiteral("nombre"), QStringLiteral("Nombre"), QStringLiteral("Nombre")},
        {QStringLiteral("apellido"), QStringLiteral("Apellidos"), QStringLiteral("Apellidos")},
        {QStringLiteral("generacion"), QStringLiteral("generacion"), QStringLiteral("generacion")},
        {QStringLiteral("entidad"), QStringLiteral("Entidad"), QStringLiteral("Entidad")},
        {QStringLiteral("provincia"), QStringLiteral("provincia"), QStringLiteral("provincia")},
    };
    return columnas;
}

QStringList ObserverStore::NombresCompletos() {
    // Named in a subquery: PostgreSQL sorts by an output name only when it stands alone.
    return Columna(QStringLiteral("SELECT n FROM (SELECT coalesce(nombre, '') || ' ' || "
                                  "coalesce(apellido, '') AS n FROM observador) AS t "
                                  "ORDER BY n COLLATE NOCASE"));
}

QSqlQuery ObserverStore::Buscar(const QString &codigo, const QString &nombre) {
    QString sql = QStringLiteral("SELECT ") + ColumnasLista().ListaSelect() +
                  QStringLiteral(" FROM observador");
    QStringList condiciones;
    QVariantList valores;
    if (!codigo.isEmpty()) {
        condiciones << QStringLiteral("cod_observador LIKE ? ESCAPE '\\'");
        valores << PatronContiene(codigo);
    }
    if (!nombre.isEmpty()) {
        condiciones << QStringLiteral("(nombre LIKE ? ESCAPE '\\' OR apellido LIKE ? ESCAPE '\\')");
        valores << PatronContiene(nombre) << PatronContiene(nombre);
    }
    if (!condiciones.isEmpty())
        sql += QStringLiteral(" WHERE ") + condiciones.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY cod_observador");
    return Consultar(sql, valores);
}

std::optional<Observador> ObserverStore::Cargar(const QString &codigo) {
    QSqlQuery q;
    if (!Ejecutar(q,
                  QStringLiteral("SELECT cod_observador, nombre, apellido, entidad, email, "
                                 "provincia FROM observador WHERE cod_observador = ?"),
                  {codigo}) ||
        !q.next())
        return std::nullopt;
    // Nulls read as empty texts.
    return Observador{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                      q.value(3).toString(), q.value(4).toString(), q.value(5).toString()};
}

QString ObserverStore::CodigoPredeterminado() {
    const auto v = Primero(QStringLiteral("SELECT cd_obs FROM DefaultObs"));
    return v ? v->toString() : QString();
}

bool ObserverStore::EsPredeterminado(const QString &codigo) {
    return Primero(QStringLiteral("SELECT 1 FROM DefaultObs WHERE cd_obs = ?"), {codigo})
        .has_value();
}

bool ObserverStore::CabenTextos(const Observador &o) {
    return Cabe(QStringLiteral("El nombre"), o.nombre) &&
           Cabe(QStringLiteral("Los apellidos"), o.apellido) &&
           Cabe(QStringLiteral("La entidad"), o.entidad) &&
           Cabe(QStringLiteral("El correo electrónico"), o.email);
}

bool ObserverStore::Insertar(const Observador &o, bool predeterminado) {
    if (!CabenTextos(o)) return false;
    return EnTransaccion([&] {
        QSqlQuery q;
        return Ejecutar(
                   q,
                   QStringLiteral("INSERT INTO observador (cod_observador, email, nombre, "
                                  "apellido, entidad, provincia) VALUES (?, ?, ?, ?, ?, ?)"),
                   Textos({o.codigo, o.email, o.nombre, o.apellido, o.entidad, o.provincia})) &&
               (!predeterminado ||
                Ejecutar(q, QStringLiteral("UPDATE DefaultObs SET cd_obs = ?"), {o.codigo}));
    });
}

bool ObserverStore::Actualizar(const Observador &o, Predeterminado cambio) {
    if (!CabenTextos(o)) return false;
    return EnTransaccion([&] {
        QSqlQuery q;
        if (!Ejecutar(q,
                      QStringLiteral("UPDATE observador SET nombre = ?, apellido = ?, entidad = ?, "
                                     "email = ?, provincia = ? WHERE cod_observador = ?"),
                      Textos({o.nombre, o.apellido, o.entidad, o.email, o.provincia, o.codigo})))
            return false;
        // Someone else may have removed the row since the form loaded it.
        if (q.numRowsAffected() == 0) {
            Anotar(kNoEncontrado);
            return false;
        }
        switch (cambio) {
        case Predeterminado::Poner:
            return Ejecutar(q, QStringLiteral("UPDATE DefaultObs SET cd_obs = ?"), {o.codigo});
        case Predeterminado::Quitar:
            return Ejecutar(q, QStringLiteral("UPDATE DefaultObs SET cd_obs = '' WHERE cd_obs = ?"),
                            {o.codigo});
        case Predeterminado::SinCambio:
            break;
        }
        return true;
    });
}

bool ObserverStore::Suprimir(const QString &codigo) {
    return EnTransaccion([&] {
        QSqlQuery q;
        if (!Ejecutar(q, QStringLiteral("DELETE FROM observador WHERE cod_observador = ?"),
                      {codigo}))
            return false;
        // Already gone (deleted elsewhere): not a success.
        if (q.numRowsAffected() == 0) {
            Anotar(kNoEncontrado);
            return false;
        }
        return Ejecutar(q, QStringLiteral("UPDATE DefaultObs SET cd_obs = '' WHERE cd_obs = ?"),
                        {codigo});
    });
}
