#pragma once

#include <QDate>
#include <QString>
#include <optional>

class QLineEdit;
class QWidget;

// The period fields of the query, the map and the phenology: how a typed date or year is
// read, and how a field that holds none is refused.
namespace DateFilter {

// A typed date: day/month/year separated by '/' or '-', one or two digits for day and
// month, two or four for the year (two digits: 1930 to 2029); invalid otherwise.
QDate Leer(const QString &texto);
// Whether the text is written in full (dd/mm/yyyy), as the query form asks.
bool Completa(const QString &texto);
// The date as the forms show it: dd/mm/yyyy.
QString Mostrar(const QDate &fecha);
// A year of four digits from 1800 to the current one; nothing otherwise.
std::optional<int> LeerAno(const QString &texto);
// A field refused: the warning shown, the field emptied (or, with `vaciar` false, its text
// selected for typing over) and given the focus. Always false, for the caller to return.
bool Rechazar(QWidget *formulario, QLineEdit *campo, const QString &texto, const QString &titulo,
              bool vaciar = true);

} // namespace DateFilter
