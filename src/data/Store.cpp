#include "Store.h"

#include "ModBaseDatos.h"
#include "ModConex.h"
#include "SqlDialect.h"

#include <QSqlError>

Store::Store(QSqlDatabase db) : db_(std::move(db)) {}

QSqlDatabase Store::db() const {
    return db_.isValid() ? db_ : ModConex::DatabaseConnection();
}

namespace {
QString Literal(const QString &texto) {
    QString t = texto;
    t.replace(u'\\', QLatin1String("\\\\"));
    t.replace(u'%', QLatin1String("\\%"));
    t.replace(u'_', QLatin1String("\\_"));
    return t;
}
} // namespace

QString Store::PatronContiene(const QString &texto) {
    return u'%' + Literal(texto) + u'%';
}

bool Store::Cabe(const QString &que, const QString &texto) {
    // Characters as the forms count them: a surrogate pair is one.
    if (texto.size() <= ModBaseDatos::kMaximoTexto) return true;
    const qsizetype caracteres = QStringView(texto).toUcs4().size();
    if (caracteres <= ModBaseDatos::kMaximoTexto) return true;
    Anotar(QStringLiteral("%1 tiene %2 caracteres y admite como máximo %3: no se ha guardado "
                          "nada.")
               .arg(que)
               .arg(caracteres)
               .arg(ModBaseDatos::kMaximoTexto));
    return false;
}

QString Store::PatronEmpieza(const QString &texto) {
    return Literal(texto) + u'%';
}

QVariant Store::Enlazable(const QVariant &valor) {
    if (valor.typeId() != QMetaType::QString) return valor;
    const QString texto = valor.toString();
    if (!texto.startsWith(QChar(0xFEFF))) return valor;
    return QVariant(QChar(0xFEFF) + texto);
}

bool Store::Ejecutar(QSqlQuery &q, const QString &sql, const QVariantList &valores) {
    const auto guardada = reutilizar_ ? preparadas_.constFind(sql) : preparadas_.cend();
    bool ok = true;
    if (guardada != preparadas_.cend()) {
        q = *guardada;
    } else {
        q = QSqlQuery(db());
        q.setForwardOnly(SqlDialect::LecturaSoloAdelante(db()));
        ok = q.prepare(SqlDialect::Sentencia(sql, db()));
        if (ok && reutilizar_) preparadas_.insert(sql, q);
    }
    if (ok) {
        for (int i = 0; i < valores.size(); ++i)
            q.bindValue(i, Enlazable(valores[i]));
        ok = q.exec();
    }
    if (!ok) {
        error_ = DescribirError(q.lastError());
        claveDuplicada_ = EsClaveDuplicada(q.lastError());
        return false;
    }
    return true;
}

bool Store::EnTransaccion(const std::function<bool()> &pasos) {
    QSqlDatabase base = db();
    if (!base.transaction()) {
        Anotar(DescribirError(base.lastError()));
        return false;
    }
    if (pasos()) {
        if (base.commit()) return true;
        Anotar(DescribirError(base.lastError()));
    } else if (!fallo()) {
        // A step that refuses without a reason must not pass for a success.
        Anotar(QStringLiteral("No se ha guardado ningún cambio."));
    }
    base.rollback();
    return false;
}

QSqlQuery Store::Consultar(const QString &sql, const QVariantList &valores) {
    QSqlQuery q(db());
    bool ok = q.prepare(SqlDialect::Sentencia(sql, db()));
    for (const QVariant &v : valores)
        q.addBindValue(Enlazable(v));
    ok = ok && q.exec();
    if (!ok) Anotar(DescribirError(q.lastError()));
    return q;
}

QStringList Store::Columna(const QString &sql, const QVariantList &valores) {
    QStringList r;
    QSqlQuery q;
    if (!Ejecutar(q, sql, valores)) return r;
    while (q.next())
        r << q.value(0).toString();
    return r;
}

std::optional<QVariant> Store::Primero(const QString &sql, const QVariantList &valores) {
    QSqlQuery q;
    if (!Ejecutar(q, sql, valores) || !q.next()) return std::nullopt;
    const QVariant v = q.value(0);
    // A kept statement left mid-way would hold the file's read lock.
    if (reutilizar_) q.finish();
    return v;
}
