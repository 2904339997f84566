#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One column of a grid: what the store selects, the grid's caption, and the spreadsheet's
// header and number format. A grid, its statement and its spreadsheet read the same table,
// so that they cannot drift apart by position.
struct Column {
    enum class Formato { Texto, Entero, Decimal, Fecha, SiNo };
    QString expresion; // as selected by the store, alias included ("o.fecha AS fecha")
    QString titulo;    // the grid's caption
    QString cabecera;  // the spreadsheet's header
    Formato formato = Formato::Texto;
};

class ColumnTable {
public:
    ColumnTable(std::initializer_list<Column> columnas) : columnas_(columnas) {}

    const QList<Column> &columnas() const { return columnas_; }
    qsizetype size() const { return columnas_.size(); }
    const Column &operator[](qsizetype i) const { return columnas_[i]; }

    // "a, b, c": the select list of the store's statement.
    QString ListaSelect() const {
        QStringList r;
        for (const Column &c : columnas_)
            r << c.expresion;
        return r.join(QStringLiteral(", "));
    }
    QStringList Titulos() const {
        QStringList r;
        for (const Column &c : columnas_)
            r << c.titulo;
        return r;
    }
    QStringList Cabeceras() const {
        QStringList r;
        for (const Column &c : columnas_)
            r << c.cabecera;
        return r;
    }

private:
    QList<Column> columnas_;
};
