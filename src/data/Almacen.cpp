#include "Almacen.h"

#include "ModConex.h"

#include <QSqlError>

Almacen::Almacen(QSqlDatabase db) : db_(std::move(db)) {}

QSqlDatabase Almacen::db() const {
    return db_.isValid() ? db_ : ModConex::DatabaseConnection();
}

QString Almacen::PatronContiene(const QString &texto) {
    QString t = texto;
    t.replace(u'\\', QLatin1String("\\\\"));
    t.replace(u'%', QLatin1String("\\%"));
    t.replace(u'_', QLatin1String("\\_"));
    return u'%' + t + u'%';
}

bool Almacen::Ejecutar(QSqlQuery &q, const QString &sql, const QVariantList &valores) {
    q = QSqlQuery(db());
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    if (ok) {
        for (const QVariant &v : valores) q.addBindValue(v);
        ok = q.exec();
    }
    if (!ok) {
        error_ = DescribirError(q.lastError());
        return false;
    }
    return true;
}

QStringList Almacen::Columna(const QString &sql, const QVariantList &valores) {
    QStringList r;
    QSqlQuery q;
    if (!Ejecutar(q, sql, valores)) return r;
    while (q.next()) r << q.value(0).toString();
    return r;
}

std::optional<QVariant> Almacen::Primero(const QString &sql, const QVariantList &valores) {
    QSqlQuery q;
    if (!Ejecutar(q, sql, valores) || !q.next()) return std::nullopt;
    return q.value(0);
}
