#pragma once

// What form tests share to read a form: its controls found by name and read as shown, and
// a grid's rows.

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

// A control by name; a missing one stops the program, since every check after it is void.
template <typename T = QWidget> T *Control(const QObject *f, QAnyStringView nombre) {
    T *w = f ? f->findChild<T *>(nombre.toString()) : nullptr;
    if (!w) qFatal("no control %s", qPrintable(nombre.toString()));
    return w;
}

// What the controls show, joined by '|': a list's current text, a field's or label's text.
inline QString Textos(const QObject *f, std::initializer_list<QAnyStringView> nombres) {
    QStringList r;
    for (const QAnyStringView nombre : nombres) {
        if (auto *lista = qobject_cast<QComboBox *>(Control(f, nombre)))
            r << lista->currentText();
        else if (auto *campo = qobject_cast<QLineEdit *>(Control(f, nombre)))
            r << campo->text();
        else
            r << Control<QLabel>(f, nombre)->text();
    }
    return r.join(QLatin1Char('|'));
}

inline QStringList Items(const QComboBox *lista) {
    QStringList r;
    for (int i = 0; i < lista->count(); ++i)
        r << lista->itemText(i);
    return r;
}

// A grid's column as shown.
inline QStringList Valores(const QAbstractItemModel *m, int columna) {
    QStringList r;
    for (int f = 0; f < m->rowCount(); ++f)
        r << m->index(f, columna).data().toString();
    return r;
}

// A grid's rows as shown, the columns of each joined by '|'.
inline QStringList Celdas(const QAbstractItemModel *m) {
    QStringList r;
    for (int f = 0; f < m->rowCount(); ++f) {
        QStringList v;
        for (int c = 0; c < m->columnCount(); ++c)
            v << m->index(f, c).data().toString();
        r << v.join(QLatin1Char('|'));
    }
    return r;
}
