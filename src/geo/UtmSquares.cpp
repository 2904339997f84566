#include "UtmSquares.h"

#include "data/ModConex.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace Utm {

namespace {

struct Banda {
    bool ok = false;
    bool encontrada = false;
    QString letras;
    QSqlError error;
};

// The band with the greatest minimum not above the value.
Banda BuscarBanda(const QSqlDatabase &db, const QString &sql, int huso, qint64 valor) {
    Banda b;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (q.prepare(sql)) {
        q.addBindValue(QString::number(huso));
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

Squares Fin(Outcome r, const QString &mensaje) {
    Squares c;
    c.resultado = r;
    c.mensaje = mensaje;
    return c;
}

QString NoExiste(const QString &eje, const QString &huso) {
    return QStringLiteral("Esta coordenada %1 no existe en el Huso ").arg(eje) + huso;
}

} // namespace

Coordinate LeerCoordenada(const QString &texto) {
    Coordinate c;
    const QString t = texto.trimmed();
    if (t.isEmpty()) return c;
    c.estado = Coordinate::State::NoEntera;
    for (const QChar ch : t)
        if (ch < u'0' || ch > u'9') return c;
    bool cabe = false;
    c.valor = t.toLongLong(&cabe);
    c.estado = cabe ? Coordinate::State::Entera : Coordinate::State::NoCabe;
    if (!cabe) c.valor = 0;
    return c;
}

std::optional<int> LeerHuso(const QString &texto) {
    if (texto.isEmpty() || texto.size() > 2) return std::nullopt;
    for (const QChar ch : texto)
        if (ch < u'0' || ch > u'9') return std::nullopt;
    return texto.toInt();
}

Position LeerPosicion(const QString &huso, const QString &x, const QString &y) {
    Position p;
    const auto Fallo = [&p](Outcome r, const QString &mensaje) {
        p.resultado = r;
        p.mensaje = mensaje;
        return p;
    };
    const Coordinate este = LeerCoordenada(x), norte = LeerCoordenada(y);
    const bool hayX = este.estado != Coordinate::State::Vacia,
               hayY = norte.estado != Coordinate::State::Vacia;
    if (huso.trimmed().isEmpty()) {
        if (hayX && hayY)
            return Fallo(Outcome::FaltaHuso,
                         QStringLiteral("Falta Huso para calcular cuadrados UTM"));
        return p;
    }
    if (!hayX || !hayY)
        return Fallo(Outcome::FaltanCoordenadas,
                     QStringLiteral("Faltan coordenadas Este y/o Norte para calcular cuadrados "
                                    "UTM"));
    if (este.estado == Coordinate::State::NoEntera || norte.estado == Coordinate::State::NoEntera)
        return Fallo(Outcome::NoEnteras,
                     QStringLiteral("Las coordenadas deben ser números enteros"));
    // A zone the tables cannot name, or a number past every band, is no position in the zone.
    const auto h = LeerHuso(huso);
    if (!h || este.estado == Coordinate::State::NoCabe)
        return Fallo(Outcome::EsteNoExiste, NoExiste(QStringLiteral("Este"), huso));
    if (norte.estado == Coordinate::State::NoCabe)
        return Fallo(Outcome::NorteNoExiste, NoExiste(QStringLiteral("Norte"), huso));
    p.resultado = Outcome::Calculado;
    p.huso = *h;
    p.este = este.valor;
    p.norte = norte.valor;
    return p;
}

Squares CuadradosDe(const QSqlDatabase &db, const Position &p) {
    if (p.resultado != Outcome::Calculado) return Fin(p.resultado, p.mensaje);
    return CalcularCuadrados(db, p.huso, p.este, p.norte);
}

Squares CalcularCuadrados(const QSqlDatabase &db, int huso, qint64 este, qint64 norte) {
    const QString zona = QString::number(huso);
    const Banda e = BuscarBanda(db,
                                QStringLiteral("SELECT utm100e FROM tutm100keste WHERE huso = ? "
                                               "AND utmxmin <= ? ORDER BY utmxmin DESC LIMIT 1"),
                                huso, este);
    const Banda n = BuscarBanda(db,
                                QStringLiteral("SELECT utm100n FROM tutm100knorte WHERE huso = ? "
                                               "AND utmymin <= ? ORDER BY utmymin DESC LIMIT 1"),
                                huso, norte);
    if (!e.ok || !n.ok)
        return Fin(Outcome::ErrorBaseDatos, QStringLiteral("No se pueden calcular los cuadrados "
                                                           "UTM. ") +
                                                DescribirError(e.ok ? n.error : e.error));
    if (!e.encontrada) return Fin(Outcome::EsteNoExiste, NoExiste(QStringLiteral("Este"), zona));
    if (!n.encontrada) return Fin(Outcome::NorteNoExiste, NoExiste(QStringLiteral("Norte"), zona));

    // Six-digit eastings and seven-digit northings: these positions are the 10-km and 1-km
    // digits. A number too short gives nothing at that place.
    const QString x = QString::number(este), y = QString::number(norte);
    Squares c = Fin(Outcome::Calculado, QString());
    c.utm10k = e.letras + n.letras + x.mid(1, 1) + y.mid(2, 1);
    c.utm1k = e.letras + n.letras + x.mid(1, 2) + y.mid(2, 2);
    return c;
}

std::optional<Square> CuadroDe(const QSqlDatabase &db, const QString &huso, const QString &codigo,
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
    Square c;
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
