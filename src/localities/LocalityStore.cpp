#include "LocalityStore.h"

#include <QLocale>
#include <QRegularExpression>

#include "data/SqlDialect.h"

namespace {
const QString kNombre = QStringLiteral("El nombre de la localidad");
} // namespace

const ColumnTable &LocalityStore::ColumnasLista() {
    using F = Column::Formato;
    static const ColumnTable columnas = {
        {QStringLiteral("l.id_localidad"), QStringLiteral("id_localidad"), QStringLiteral("ID"),
         F::Entero},
        {QStringLiteral("l.cod_localidad"), QStringLiteral("Código"), QStringLiteral("CÓDIGO")},
        {QStringLiteral("l.localidad"), QStringLiteral("Localidad"), QStringLiteral("LOCALIDAD")},
        {QStringLiteral("m.muni"), QStringLiteral("Municipio"), QStringLiteral("MUNICIPIO")},
        {QStringLiteral("p.prov_cast AS prov"), QStringLiteral("Provincia"),
         QStringLiteral("PROVINCIA")},
        {QStringLiteral("l.utmx"), QStringLiteral("utmx"), QStringLiteral("LONGITUD")},
        {QStringLiteral("l.utmy"), QStringLiteral("utmy"), QStringLiteral("LATITUD")},
        {QStringLiteral("l.utmhuso"), QStringLiteral("utmhuso"), QStringLiteral("UTMHUSO"),
         F::Entero},
        {QStringLiteral("l.utm1k"), QStringLiteral("utm1k"), QStringLiteral("UTM1K")},
        {QStringLiteral("l.utm10k"), QStringLiteral("utm10k"), QStringLiteral("UTM10K")},
    };
    return columnas;
}

QSqlQuery LocalityStore::Buscar(const QString &codigo, const QString &nombre) {
    QString sql = QStringLiteral("SELECT ") + ColumnasLista().ListaSelect() +
                  QStringLiteral(" FROM localidad l, tmunicipio m, tprovincia p "
                                 "WHERE p.id_prov = l.prov AND m.id_muni = l.muni");
    QVariantList valores;
    if (!codigo.isEmpty()) {
        sql += QStringLiteral(" AND l.cod_localidad LIKE ? ESCAPE '\\'");
        valores << PatronEmpieza(codigo);
    }
    if (!nombre.isEmpty()) {
        sql += QStringLiteral(" AND l.localidad LIKE ? ESCAPE '\\'");
        valores << PatronContiene(nombre);
    }
    sql += QStringLiteral(" ORDER BY l.cod_localidad");
    return Consultar(sql, valores);
}

QStringList LocalityStore::Nombres() {
    return Columna(QStringLiteral("SELECT localidad FROM localidad ORDER BY localidad"));
}

bool LocalityStore::NombresEIdentificadores(QStringList &nombres, QVariantList &ids) {
    QSqlQuery q;
    if (!Ejecutar(q, QStringLiteral("SELECT localidad, id_localidad FROM localidad "
                                    "ORDER BY localidad, id_localidad")))
        return false;
    while (q.next()) {
        nombres << q.value(0).toString();
        ids << QVariant(q.value(1).toLongLong());
    }
    return true;
}

std::optional<Localidad> LocalityStore::PorIdentificador(int id) {
    return Leer(QStringLiteral("l.id_localidad = ?"), QString::number(id));
}

std::optional<Localidad> LocalityStore::PorNombre(const QString &nombre) {
    // The name is compared as stored (the list shows stored names), letter case included.
    return Leer(SqlDialect::Exacto(QStringLiteral("l.localidad"), db()) + QStringLiteral(" = ?"),
                nombre);
}

std::optional<Localidad> LocalityStore::PorCodigo(const QString &codigo) {
    return Leer(QStringLiteral("l.cod_localidad = ?"), codigo);
}

std::optional<Localidad> LocalityStore::PorId(int idLocalidad) {
    return Leer(QStringLiteral("l.id_localidad = ?"), idLocalidad);
}

std::optional<QVariant> LocalityStore::LeerIncertidumbre(const QString &texto, QString *motivo) {
    static const QRegularExpression entero(QStringLiteral("^[0-9]{1,9}$"));
    const QString t = texto.trimmed();
    if (t.isEmpty()) return QVariant();
    if (entero.match(t).hasMatch()) {
        const int metros = t.toInt();
        if (metros >= 1 && metros <= kIncertidumbreMaxima) return QVariant(metros);
    }
    *motivo = QStringLiteral("La incertidumbre «%1» no es un número entero de metros entre 1 y "
                             "%2. Déjela vacía si no se conoce.")
                  .arg(t, QLocale(QLocale::Spanish).toString(kIncertidumbreMaxima));
    return std::nullopt;
}

std::optional<Localidad> LocalityStore::Leer(const QString &condicion, const QVariant &valor) {
    QSqlQuery q;
    if (!Ejecutar(
            q,
            QStringLiteral(
                "SELECT l.id_localidad, l.cod_localidad, l.localidad, l.prov, "
                "l.muni, l.utmx, l.utmy, l.utmhuso, l.utm1k, l.utm10k, "
                "p.prov_cast, m.muni, l.incertidumbre FROM localidad l, tprovincia p, tmunicipio m "
                "WHERE ") +
                condicion +
                QStringLiteral(" AND l.prov = p.id_prov AND l.muni = m.id_muni "
                               "ORDER BY l.id_localidad"),
            {valor}) ||
        !q.next())
        return std::nullopt;
    Localidad l;
    l.idLocalidad = q.value(0).toInt();
    l.codigo = q.value(1).toString();
    l.nombre = q.value(2).toString();
    l.prov = q.value(3).toInt();
    l.muni = q.value(4).toInt();
    // A server hands a null number as a typed null that would read as 0.
    l.utmx = q.value(5).isNull() ? QVariant() : q.value(5);
    l.utmy = q.value(6).isNull() ? QVariant() : q.value(6);
    l.utmhuso = q.value(7).toString();
    l.utm1k = q.value(8).toString();
    l.utm10k = q.value(9).toString();
    l.provincia = q.value(10).toString();
    l.municipio = q.value(11).toString();
    l.incertidumbre = q.value(12).isNull() ? QVariant() : QVariant(q.value(12).toInt());
    return l;
}

bool LocalityStore::CodigoExiste(const QString &codigo) {
    return Primero(QStringLiteral("SELECT 1 FROM localidad WHERE cod_localidad = ?"), {codigo})
        .has_value();
}

bool LocalityStore::Insertar(const Localidad &l) {
    if (!Cabe(kNombre, l.nombre)) return false;
    QSqlQuery q;
    return Ejecutar(q,
                    QStringLiteral("INSERT INTO localidad (cod_localidad, localidad, muni, prov, "
                                   "utmhuso, utmx, utmy, utm1k, utm10k, incertidumbre) "
                                   "VALUES (?,?,?,?,?,?,?,?,?,?)"),
                    {l.codigo, l.nombre, l.muni, l.prov, l.utmhuso, l.utmx, l.utmy, l.utm1k,
                     l.utm10k, l.incertidumbre});
}

std::optional<QString> LocalityStore::InsertarConCodigoLibre(Localidad l, const QString &prefijo,
                                                             int numero) {
    if (!Cabe(kNombre, l.nombre)) return std::nullopt;
    // The database holds codes unique: a code taken between the proposal and this insert
    // (by another user at the same moment) inserts nothing, and the next number is tried.
    // The count of rows inserted tells which: a RETURNING clause would cost SQLite a
    // statement journal and a table of results for every insert.
    for (int intento = 0; intento < 100000; ++intento, ++numero) {
        l.codigo = prefijo + QString::number(numero);
        QSqlQuery q;
        if (!Ejecutar(q,
                      QStringLiteral("INSERT INTO localidad (cod_localidad, localidad, muni, prov, "
                                     "utmhuso, utmx, utmy, utm1k, utm10k, incertidumbre) "
                                     "VALUES (?,?,?,?,?,?,?,?,?,?) "
                                     "ON CONFLICT DO NOTHING"),
                      {l.codigo, l.nombre, l.muni, l.prov, l.utmhuso, l.utmx, l.utmy, l.utm1k,
                       l.utm10k, l.incertidumbre}))
            return std::nullopt;
        const bool insertada = q.numRowsAffected() == 1;
        q.finish();
        if (insertada) return l.codigo;
    }
    Anotar(QStringLiteral("No queda ningún código libre para la localidad nueva."));
    return std::nullopt;
}

bool LocalityStore::Actualizar(const Localidad &l) {
    if (!Cabe(kNombre, l.nombre)) return false;
    return EnTransaccion([&] {
        QSqlQuery q;
        if (!Ejecutar(q,
                      QStringLiteral("UPDATE localidad SET localidad = ?, prov = ?, muni = ?, "
                                     "utmhuso = ?, utmx = ?, utmy = ?, utm10k = ?, utm1k = ?, "
                                     "incertidumbre = ? WHERE id_localidad = ?"),
                      {l.nombre, l.prov, l.muni, l.utmhuso, l.utmx, l.utmy, l.utm10k, l.utm1k,
                       l.incertidumbre, l.idLocalidad}))
            return false;
        // Someone else may have removed the row since the form loaded it.
        if (q.numRowsAffected() == 0) {
            Anotar(
                QStringLiteral("Error al intentar encontrar esta localidad en la base de datos"));
            return false;
        }
        return true;
    });
}
