#include "gui/DateFilter.h"

#include "gui/MessageService.h"

#include <QLineEdit>
#include <QRegularExpression>

QDate DateFilter::Leer(const QString &texto) {
    static const QRegularExpression forma(
        QStringLiteral(R"x(^\s*(\d{1,2})[/-](\d{1,2})[/-](\d{2}|\d{4})\s*$)x"));
    const auto m = forma.match(texto);
    if (!m.hasMatch()) return QDate();
    int anyo = m.captured(3).toInt();
    if (m.captured(3).size() == 2) anyo += anyo < 30 ? 2000 : 1900;
    return QDate(anyo, m.captured(2).toInt(), m.captured(1).toInt());
}

bool DateFilter::Completa(const QString &texto) {
    return texto.size() == 10 && Leer(texto).isValid();
}

QString DateFilter::Mostrar(const QDate &fecha) {
    return fecha.toString(QStringLiteral("dd/MM/yyyy"));
}

std::optional<int> DateFilter::LeerAno(const QString &texto) {
    static const QRegularExpression cuatroCifras(QStringLiteral("^[0-9]{4}$"));
    if (!cuatroCifras.match(texto).hasMatch()) return std::nullopt;
    const int ano = texto.toInt();
    if (ano < 1800 || ano > QDate::currentDate().year()) return std::nullopt;
    return ano;
}

bool DateFilter::Rechazar(QWidget *formulario, QLineEdit *campo, const QString &texto,
                          const QString &titulo, bool vaciar) {
    MessageService::Mostrar(formulario, texto, titulo, QMessageBox::Warning);
    if (vaciar) campo->clear();
    campo->setFocus(Qt::OtherFocusReason);
    if (!vaciar) campo->selectAll();
    return false;
}
