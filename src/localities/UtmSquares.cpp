#include "UtmSquares.h"

#include "data/ModConex.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace Utm {

namespace {

// A whole non-negative number, as its digits without leading zeros; blanks around it are
// allowed. The squares' digits, the band lookup and the stored value all come from it.
bool Entero(const QString &texto, QString *digitos, QVariant *valor) {
    QString t = texto.trimmed();
    if (t.isEmpty()) return false;
    for (const QChar c : t)
        if (c < u'0' || c > u'9') return false;
    int ceros = 0;
    while (ceros < t.size() - 1 && t[ceros] == u'0')
        ++ceros;
    t.remove(0, ceros);
    bool ok = false;
    const qlonglong n = t.toLongLong(&ok);
    // Past 64 bits only the size matters: such a value lies above every band.
    *valor = ok ? QVariant(n) : QVariant(t.toDouble());
    *digitos = t;
    return true;
}

struct Banda {
    bool ok = false;
    bool encontrada = false;
    QString letras;
    QSqlError error;
};

// The band with the greatest minimum not above the value.
Banda BuscarBanda(const QSqlDatabase &db, const QString &sql, const QString &huso,
                  const QVariant &valor) {
    Banda b;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (q.prepare(sql)) {
        q.addBindValue(huso);
        q.addBindValue(valor);
        b.ok = q.exec();
    }
    if (!b.ok) {
        b.error = q.lastError();
        return b;
    }
    if (q.next()) {
        b.encontrada = true;
        b.letras = q.value(0).toString();
    }
    return b;
}

Cuadrados Fin(Resultado r, const QString &mensaje) {
    Cuadrados c;
    c.resultado = r;
    c.mensaje = mensaje;
    return c;
}

} // namespace

Cuadrados CalcularCuadrados(const QSqlDatabase &db, const QString &huso, const QString &x,
                            const QString &y) {
    const bool hayX = !x.trimmed().isEmpty(), hayY = !y.trimmed().isEmpty();
    if (huso.trimmed().isEmpty()) {
        if (hayX && hayY)
            return Fin(Resultado::FaltaHuso,
                       QStringLiteral("Falta Huso para calcular cuadrados UTM"));
        return Fin(Resultado::Nada, QString());
    }
    if (!hayX || !hayY)
        return Fin(Resultado::FaltanCoordenadas,
                   QStringLiteral("Faltan coordenadas Este y/o Norte para calcular cuadrados UTM"));

    QString textoEste, textoNorte;
    QVariant este, norte;
    if (!Entero(x, &textoEste, &este) || !Entero(y, &textoNorte, &norte))
        return Fin(Resultado::NoEnteras,
                   QStringLiteral("Las coordenadas deben ser números enteros"));

    // From here on the form shows the numbers as they were understood.
    const auto Normalizado = [&](Resultado r, const QString &mensaje) {
        Cuadrados c = Fin(r, mensaje);
        c.este = textoEste;
        c.norte = textoNorte;
        return c;
    };
    const Banda e = BuscarBanda(db,
                                QStringLiteral("SELECT utm100e FROM tutm100keste WHERE huso = ? "
                                               "AND utmxmin <= ? ORDER BY utmxmin DESC LIMIT 1"),
                                huso, este);
    const Banda n = BuscarBanda(db,
                                QStringLiteral("SELECT utm100n FROM tutm100knorte WHERE huso = ? "
                                               "AND utmymin <= ? ORDER BY utmymin DESC LIMIT 1"),
                                huso, norte);
    if (!e.ok || !n.ok)
        return Normalizado(Resultado::ErrorBaseDatos,
                           QStringLiteral("No se pueden calcular los cuadrados UTM. ") +
                               DescribirError(e.ok ? n.error : e.error));
    if (!e.encontrada)
        return Normalizado(Resultado::EsteNoExiste,
                           QStringLiteral("Esta coordenada Este no existe en el Huso ") + huso);
    if (!n.encontrada)
        return Normalizado(Resultado::NorteNoExiste,
                           QStringLiteral("Esta coordenada Norte no existe en el Huso ") + huso);

    // Six-digit eastings and seven-digit northings: these positions are the 10-km and 1-km
    // digits. A number too short gives nothing at that place.
    Cuadrados c = Normalizado(Resultado::Calculado, QString());
    c.utm10k = e.letras + n.letras + textoEste.mid(1, 1) + textoNorte.mid(2, 1);
    c.utm1k = e.letras + n.letras + textoEste.mid(1, 2) + textoNorte.mid(2, 2);
    return c;
}

std::optional<Cuadro> CuadroDe(const QSqlDatabase &db, const QString &huso, const QString &codigo,
                               QString *error) {
    static const QRegularExpression forma(
        QStringLiteral("^(?:(\\d{1,2})[C-HJ-NP-X])?([A-HJ-NP-Z])([A-HJ-NP-V])(\\d\\d|\\d{4})$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = forma.match(codigo.trimmed());
    bool husoOk = false;
    const int h = huso.trimmed().toInt(&husoOk);
    if (!m.hasMatch() || !husoOk || (m.hasCaptured(1) && m.captured(1).toInt() != h)) {
        *error =
            QStringLiteral("El cuadrado UTM «%1» del huso «%2» no es válido.").arg(codigo, huso);
        return std::nullopt;
    }
    const auto Minimo = [&](const QString &sql, const QString &letra, qint64 *valor) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(sql)) return false;
        q.addBindValue(QString::number(h));
        q.addBindValue(letra.toUpper());
        if (!q.exec() || !q.next()) return false;
        *valor = q.value(0).toLongLong();
        return true;
    };
    Cuadro c;
    c.huso = h;
    if (!Minimo(QStringLiteral("SELECT utmxmin FROM tutm100keste WHERE huso = ? AND utm100e = ?"),
                m.captured(2), &c.este) ||
        !Minimo(QStringLiteral("SELECT utmymin FROM tutm100knorte WHERE huso = ? AND utm100n = ?"),
                m.captured(3), &c.norte)) {
        *error = QStringLiteral("El cuadrado UTM «%1» no existe en el huso %2.").arg(codigo).arg(h);
        return std::nullopt;
    }
    const QString cifras = m.captured(4);
    const int mitad = int(cifras.size() / 2);
    c.lado = mitad == 1 ? 10000 : 1000;
    c.este += cifras.left(mitad).toLongLong() * c.lado;
    c.norte += cifras.mid(mitad).toLongLong() * c.lado;
    return c;
}

} // namespace Utm
