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
                            QString *error) {
    beginResetModel();
    Estado nuevo;
    nuevo.db = db;
    nuevo.sql = SqlDialect::Sentencia(sql, db);
    nuevo.valores = valores;
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
        const QString texto =
            e_.servidor
                ? e_.sql +
                      QStringLiteral(" LIMIT %1 OFFSET %2").arg(cuantas + 1).arg(e_.filas.size())
                : e_.sql;
        bool ok = q->prepare(texto);
        for (int i = 0; ok && i < e_.valores.size(); ++i)
            q->bindValue(i, Store::Enlazable(e_.valores[i]));
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
