#include "ObserverStore.h"

#include "data/ModConex.h"
#include "data/Store.h"

#include <QSqlError>
#include <QVariant>
#include <functional>

namespace {

bool Ejecutar(QSqlQuery &q, const QString &sql, const QVariantList &valores) {
    q.prepare(sql);
    // An empty field is stored as the empty text, not as a null.
    for (const QVariant &v : valores)
        q.addBindValue(v.typeId() == QMetaType::QString && v.toString().isNull()
                           ? QVariant(QStringLiteral(""))
                           : v);
    return q.exec();
}

ResultadoObservador Fallo(const QSqlError &error) {
    return {false, EsClaveDuplicada(error), DescribirError(error)};
}

// Runs the steps inside one transaction; a step returns false with the query that failed.
ResultadoObservador EnTransaccion(const std::function<bool(QSqlQuery &)> &pasos) {
    QSqlDatabase db = ModConex::DatabaseConnection();
    if (!db.transaction()) return Fallo(db.lastError());
    QSqlQuery q(db);
    if (!pasos(q)) {
        ResultadoObservador r = q.lastError().isValid()
                                    ? Fallo(q.lastError())
                                    : ResultadoObservador{false, false, QString()};
        q.finish();
        db.rollback();
        return r;
    }
    q.finish();
    if (!db.commit()) {
        const QSqlError error = db.lastError();
        db.rollback();
        return Fallo(error);
    }
    return {};
}

const QString kNoEncontrado =
    QStringLiteral("Error al intentar encontrar este observador en la base de datos");

} // namespace

QStringList ObserverStore::ColumnasLista() {
    return {QStringLiteral("cod_observador"), QStringLiteral("email"),
            QStringLiteral("nombre"),         QStringLiteral("apellido"),
            QStringLiteral("generacion"),     QStringLiteral("entidad"),
            QStringLiteral("provincia")};
}

QSqlQuery ObserverStore::Buscar(const QString &codigo, const QString &nombre, QString *error) {
    QString sql = QStringLiteral("SELECT ") + ColumnasLista().join(QStringLiteral(", ")) +
                  QStringLiteral(" FROM observador");
    QStringList condiciones;
    QVariantList valores;
    if (!codigo.isEmpty()) {
        condiciones << QStringLiteral("cod_observador LIKE ? ESCAPE '\\'");
        valores << Store::PatronContiene(codigo);
    }
    if (!nombre.isEmpty()) {
        condiciones << QStringLiteral("(nombre LIKE ? ESCAPE '\\' OR apellido LIKE ? ESCAPE '\\')");
        valores << Store::PatronContiene(nombre) << Store::PatronContiene(nombre);
    }
    if (!condiciones.isEmpty())
        sql += QStringLiteral(" WHERE ") + condiciones.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY cod_observador");
    QSqlQuery q(ModConex::DatabaseConnection());
    if (!Ejecutar(q, sql, valores) && error) *error = DescribirError(q.lastError());
    return q;
}

QStringList ObserverStore::Provincias(QString *error) {
    QSqlQuery q(ModConex::DatabaseConnection());
    QStringList lista;
    if (!q.exec(QStringLiteral("SELECT prov_cast FROM tprovincia ORDER BY id_prov"))) {
        if (error) *error = DescribirError(q.lastError());
        return lista;
    }
    while (q.next())
        lista << q.value(0).toString();
    return lista;
}

std::optional<Observador> ObserverStore::Cargar(const QString &codigo, QString *error) {
    QSqlQuery q(ModConex::DatabaseConnection());
    if (!Ejecutar(q,
                  QStringLiteral("SELECT cod_observador, nombre, apellido, entidad, email, "
                                 "provincia FROM observador WHERE cod_observador = ?"),
                  {codigo})) {
        if (error) *error = DescribirError(q.lastError());
        return std::nullopt;
    }
    if (!q.next()) return std::nullopt;
    // Nulls read as empty texts.
    return Observador{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                      q.value(3).toString(), q.value(4).toString(), q.value(5).toString()};
}

QString ObserverStore::CodigoPredeterminado() {
    QSqlQuery q(ModConex::DatabaseConnection());
    if (!q.exec(QStringLiteral("SELECT cd_obs FROM DefaultObs")) || !q.next()) return QString();
    return q.value(0).toString();
}

bool ObserverStore::EsPredeterminado(const QString &codigo) {
    QSqlQuery q(ModConex::DatabaseConnection());
    return Ejecutar(q, QStringLiteral("SELECT 1 FROM DefaultObs WHERE cd_obs = ?"), {codigo}) &&
           q.next();
}

ResultadoObservador ObserverStore::Insertar(const Observador &o, bool predeterminado) {
    return EnTransaccion([&](QSqlQuery &q) {
        if (!Ejecutar(q,
                      QStringLiteral("INSERT INTO observador (cod_observador, email, nombre, "
                                     "apellido, entidad, provincia) VALUES (?, ?, ?, ?, ?, ?)"),
                      {o.codigo, o.email, o.nombre, o.apellido, o.entidad, o.provincia}))
            return false;
        return !predeterminado ||
               Ejecutar(q, QStringLiteral("UPDATE DefaultObs SET cd_obs = ?"), {o.codigo});
    });
}

ResultadoObservador ObserverStore::Actualizar(const Observador &o, Predeterminado cambio) {
    bool encontrado = true;
    ResultadoObservador r = EnTransaccion([&](QSqlQuery &q) {
        if (!Ejecutar(q,
                      QStringLiteral("UPDATE observador SET nombre = ?, apellido = ?, entidad = ?, "
                                     "email = ?, provincia = ? WHERE cod_observador = ?"),
                      {o.nombre, o.apellido, o.entidad, o.email, o.provincia, o.codigo}))
            return false;
        // Someone else may have removed the row since the form loaded it.
        if (q.numRowsAffected() == 0) return encontrado = false;
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
    if (!encontrado) r.error = kNoEncontrado;
    return r;
}

ResultadoObservador ObserverStore::Suprimir(const QString &codigo) {
    return EnTransaccion([&](QSqlQuery &q) {
        return Ejecutar(q, QStringLiteral("DELETE FROM observador WHERE cod_observador = ?"),
                        {codigo}) &&
               Ejecutar(q, QStringLiteral("UPDATE DefaultObs SET cd_obs = '' WHERE cd_obs = ?"),
                        {codigo});
    });
}
