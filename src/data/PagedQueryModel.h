#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

// A statement's rows for a grid, read as the grid scrolls, as QSqlQueryModel does, but
// without reading the whole result first on a server: there each further page is a statement
// of its own (pages growing, so a long scroll runs few statements), which goes on after the
// last row read by its key, so that rows another user adds or deletes meanwhile neither
// repeat a row nor skip one. On a file one statement stays open and is read on. The rows
// read stay in memory.
class PagedQueryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Runs the statement and reads its first page; on failure the rows shown stay and the
    // error is returned. Its ORDER BY sorts, ascending, on the result's columns `clave`, the
    // last of which is never null and gives every row one place.
    bool Abrir(QSqlDatabase db, const QString &sql, const QVariantList &valores,
               const QList<int> &clave, QString *error);

    int rowCount(const QModelIndex &padre = {}) const override;
    int columnCount(const QModelIndex &padre = {}) const override;
    QVariant data(const QModelIndex &indice, int rol = Qt::DisplayRole) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion,
                        int rol = Qt::DisplayRole) const override;
    bool setHeaderData(int seccion, Qt::Orientation orientacion, const QVariant &valor,
                       int rol = Qt::EditRole) override;
    bool canFetchMore(const QModelIndex &padre = {}) const override;
    void fetchMore(const QModelIndex &padre = {}) override;

    static constexpr int kPrimeraPagina = 256;

signals:
    // A later page could not be read (the connection lost): the rows read stay.
    void fallo(const QString &error);

private:
    bool Leer(int cuantas, QList<QVariantList> *destino, QString *error);
    // The statement of the rows after `ultima` on a server, its values added to `valores`.
    QString Siguientes(const QVariantList &ultima, QVariantList *valores) const;

    // Everything read, swapped whole so that a statement that fails leaves what was shown.
    struct Estado {
        QSqlDatabase db;
        QString sql;
        QVariantList valores;
        QList<int> clave;
        bool servidor = false;
        bool quedan = false;
        int pagina = kPrimeraPagina;
        QSqlQuery abierta;
        QStringList columnas;
        QList<QVariantList> filas;
    };
    Estado e_;
    // The captions, from one statement to the next.
    QHash<int, QVariant> titulos_;
};
