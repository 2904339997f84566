#include "PagedQueryModel.h"

#include "ModConex.h"
#include "SqlDialect.h"
#include "Store.h"

#include <QSqlError>
#include <QSqlRecord>

namespace {
constexpr int kPaginaMayor = 16384;
}

bool PagedQueryModel::Abrir(QSqlDatabase db, const QString &sql, const QVariantList &valores,
                            const QList<int> &clave, QString *error) {
    beginResetModel();
    Estado nuevo;
    nuevo.db = db;
    nuevo.sql = SqlDialect::Sentencia(sql, db);
    nuevo.valores = valores;
    nuevo.clave = clave;
    nuevo.servidor = !SqlDialect::LecturaSoloAdelante(db);
    nuevo.quedan = true;
    Estado antes = std::exchange(e_, std::move(nuevo));
    const bool ok = Leer(kPrimeraPagina, &e_.filas, error);
    if (!ok) e_ = std::move(antes);
    endResetModel();
    return ok;
}

bool PagedQueryModel::Leer(int cuantas, QList<QVariantList> *destino, QString *error) {
    QSqlQuery pagina(e_.db);
    QSqlQuery *q = e_.servidor ? &pagina : &e_.abierta;
    if (e_.servidor || !e_.abierta.isActive()) {
        // A query left open on a server is read whole by the driver, or loses its rows at
        // the next statement on the connection: there each page is a statement of its own.
        if (!e_.servidor) {
            e_.abierta = QSqlQuery(e_.db);
            e_.abierta.setForwardOnly(true);
        }
        QVariantList valores = e_.valores;
        QString texto = e_.sql;
        if (e_.servidor && !e_.filas.isEmpty()) texto = Siguientes(e_.filas.constLast(), &valores);
        if (e_.servidor) texto += QStringLiteral(" LIMIT %1").arg(cuantas + 1);
        bool ok = q->prepare(texto);
        for (int i = 0; ok && i < valores.size(); ++i)
            q->bindValue(i, Store::Enlazable(valores[i]));
        if (!ok || !q->exec()) {
            *error = DescribirError(q->lastError());
            e_.abierta = QSqlQuery();
            e_.quedan = false;
            return false;
        }
        if (e_.columnas.isEmpty()) {
            const QSqlRecord r = q->record();
            for (int i = 0; i < r.count(); ++i)
                e_.columnas << r.fieldName(i);
        }
    }
    const int n = int(e_.columnas.size());
    int leidas = 0;
    bool fin = false;
    while (leidas < cuantas) {
        if (!q->next()) {
            fin = true;
            break;
        }
        QVariantList fila;
        fila.reserve(n);
        for (int i = 0; i < n; ++i)
            fila << q->value(i);
        destino->append(std::move(fila));
        ++leidas;
    }
    // The server is asked for one row more than the page, to know whether any remain.
    if (e_.servidor && !fin) fin = !q->next();
    e_.quedan = !fin;
    const QSqlError fallo = fin ? q->lastError() : QSqlError();
    if (fin) e_.abierta = QSqlQuery();
    if (fallo.isValid()) {
        *error = DescribirError(fallo);
        return false;
    }
    return true;
}

QString PagedQueryModel::Siguientes(const QVariantList &ultima, QVariantList *valores) const {
    // The rows after the last one read, in the server's order (nulls last): for each key,
    // greater, or equal and the next key decides.
    QString condicion;
    QStringList orden;
    QVariantList enlazados; // in the order their placeholders stand
    for (qsizetype k = e_.clave.size() - 1; k >= 0; --k) {
        const int c = e_.clave[k];
        const QString col = QStringLiteral("pagina.\"%1\"").arg(e_.columnas.value(c));
        orden.prepend(col);
        const QVariant v = ultima.value(c);
        const bool ultimaClave = k == e_.clave.size() - 1;
        QString esta;
        if (v.isNull()) {
            esta = ultimaClave ? QStringLiteral("1 = 0")
                               : QStringLiteral("(%1 IS NULL AND %2)").arg(col, condicion);
        } else {
            esta = QStringLiteral("(%1 > ? OR %1 IS NULL").arg(col);
            QVariantList estos = {v};
            if (!ultimaClave) {
                esta += QStringLiteral(" OR (%1 = ? AND %2)").arg(col, condicion);
                estos << v;
            }
            esta += u')';
            enlazados = estos + enlazados; // this key's stand before the next ones'
        }
        condicion = esta;
    }
    *valores += enlazados;
    return QStringLiteral("SELECT * FROM (") + e_.sql + QStringLiteral(") AS pagina WHERE ") +
           condicion + QStringLiteral(" ORDER BY ") + orden.join(QStringLiteral(", "));
}

int PagedQueryModel::rowCount(const QModelIndex &padre) const {
    return padre.isValid() ? 0 : int(e_.filas.size());
}

int PagedQueryModel::columnCount(const QModelIndex &padre) const {
    return padre.isValid() ? 0 : int(e_.columnas.size());
}

QVariant PagedQueryModel::data(const QModelIndex &indice, int rol) const {
    if (!indice.isValid() || (rol != Qt::DisplayRole && rol != Qt::EditRole) ||
        indice.row() >= e_.filas.size() || indice.column() >= e_.columnas.size())
        return {};
    return e_.filas[indice.row()][indice.column()];
}

QVariant PagedQueryModel::headerData(int seccion, Qt::Orientation orientacion, int rol) const {
    if (orientacion == Qt::Horizontal && (rol == Qt::DisplayRole || rol == Qt::EditRole)) {
        if (const auto it = titulos_.find(seccion); it != titulos_.end()) return *it;
        if (seccion >= 0 && seccion < e_.columnas.size()) return e_.columnas[seccion];
    }
    return QAbstractTableModel::headerData(seccion, orientacion, rol);
}

bool PagedQueryModel::setHeaderData(int seccion, Qt::Orientation orientacion, const QVariant &valor,
                                    int rol) {
    if (orientacion != Qt::Horizontal || (rol != Qt::DisplayRole && rol != Qt::EditRole) ||
        seccion < 0)
        return false;
    // A caption may be set before the first statement: it shows once the columns are known.
    titulos_[seccion] = valor;
    if (seccion < e_.columnas.size()) emit headerDataChanged(orientacion, seccion, seccion);
    return true;
}

bool PagedQueryModel::canFetchMore(const QModelIndex &padre) const {
    return !padre.isValid() && e_.quedan;
}

void PagedQueryModel::fetchMore(const QModelIndex &padre) {
    if (padre.isValid() || !e_.quedan) return;
    if (e_.servidor) e_.pagina = std::min(e_.pagina * 2, kPaginaMayor);
    QList<QVariantList> nuevas;
    QString error;
    const bool ok = Leer(e_.pagina, &nuevas, &error);
    if (!nuevas.isEmpty()) {
        beginInsertRows({}, int(e_.filas.size()), int(e_.filas.size() + nuevas.size()) - 1);
        e_.filas += std::move(nuevas);
        endInsertRows();
    }
    if (!ok) emit fallo(error);
}
