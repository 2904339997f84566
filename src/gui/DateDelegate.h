#pragma once

#include <QDate>
#include <QStyledItemDelegate>

// A grid's dates, stored ISO, shown dd/mm/yyyy. With `conHora`, the time stored after a date
// (a deletion's) keeps its hours and minutes.
class DateDelegate : public QStyledItemDelegate {
public:
    explicit DateDelegate(QObject *parent, bool conHora = false)
        : QStyledItemDelegate(parent), conHora_(conHora) {}
    QString displayText(const QVariant &v, const QLocale &l) const override {
        const QString texto = v.toString();
        const QDate d = QDate::fromString(texto.left(10), Qt::ISODate);
        if (!d.isValid()) return QStyledItemDelegate::displayText(v, l);
        return d.toString(QStringLiteral("dd/MM/yyyy")) + (conHora_ ? texto.mid(10, 6) : QString());
    }

private:
    bool conHora_;
};
