#include "VerificationStore.h"

#include "data/ModConex.h"
#include "data/SqlDialect.h"
#include "geo/Geodesy.h"
#include "localities/MunicipalityLocator.h"

#include <QHash>
#include <QSqlError>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

namespace {

using Estado = VerificationStore::Estado;

// A day of the year on a leap year's calendar, from 0, so that 29 February has its place.
int DiaDelAno(const QDate &d) {
    return QDate(2000, d.month(), d.day()).dayOfYear() - 1;
}

// What the other records of a species say, rejected ones left out. A species and its older
// codes are one.
struct Especie {
    QHash<QString, int> cuadrados; // records by 10-km square
    std::array<int, 366> dias{};   // records by day of the year
    int conFecha = 0;
    int conNumero = 0;
    // The two highest counts, a repeated one twice.
    qint64 mayor = std::numeric_limits<qint64>::min();
    qint64 segundo = std::numeric_limits<qint64>::min();

    void Anotar(const QString &cuadrado, const QDate &fecha, const QVariant &numero) {
        if (!cuadrado.isEmpty()) ++cuadrados[cuadrado];
        if (fecha.isValid()) {
            ++dias[size_t(DiaDelAno(fecha))];
            ++conFecha;
        }
        if (!numero.isNull()) {
            const qint64 n = numero.toLongLong();
            ++conNumero;
            if (n > mayor) {
                segundo = mayor;
                mayor = n;
            } else if (n > segundo) {
                segundo = n;
            }
        }
    }
    // Records within kDiasEpoca days of the day of the year, either side, round the year.
    int Cerca(const QDate &fecha) const {
        const int dia = DiaDelAno(fecha);
        int n = 0;
        for (int k = -VerificationStore::kDiasEpoca; k <= VerificationStore::kDiasEpoca; ++k)
            n += dias[size_t((dia + k + 366) % 366)];
        return n;
    }
};

const QString kClave = QStringLiteral("upper(coalesce(nullif(e.sinonimo_de, ''), o.especie))");

} // namespace

QString VerificationStore::Texto(Estado estado) {
    switch (estado) {
    case Estado::Aceptada:
        return QStringLiteral("aceptada");
    case Estado::Dudosa:
        return QStringLiteral("dudosa");
    case Estado::Rechazada:
        return QStringLiteral("rechazada");
    case Estado::Ninguno:
        break;
    }
    return {};
}

VerificationStore::Estado VerificationStore::DeTexto(const QString &texto) {
    for (Estado e : {Estado::Aceptada, Estado::Dudosa, Estado::Rechazada})
        if (texto == Texto(e)) return e;
    return Estado::Ninguno;
}

std::optional<QList<VerificationStore::Registro>> VerificationStore::Listar(const Filtro &filtro,
                                                                            const QDate &hoy) {
    QHash<QString, Especie> especies;
    {
        QSqlQuery q;
        if (!Ejecutar(q, QStringLiteral("SELECT ") + kClave +
                             QStringLiteral(", upper(coalesce(l.utm10k, '')), o.fecha, o.numejemp "
                                            "FROM observacion o LEFT JOIN especie e ON "
                                            "e.cod_especie = o.especie LEFT JOIN localidad l ON "
                                            "l.cod_localidad = o.localidad WHERE "
                                            "coalesce(o.verificacion, '') <> 'rechazada'")))
            return std::nullopt;
        while (q.next())
            especies[q.value(0).toString()].Anotar(
                q.value(1).toString(),
                QDate::fromString(q.value(2).toString().left(10), Qt::ISODate),
                q.isNull(3) ? QVariant() : q.value(3));
    }

    QStringList condiciones;
    QVariantList valores;
    if (filtro.estado) {
        if (*filtro.estado == Estado::Ninguno) {
            condiciones << QStringLiteral("o.verificacion IS NULL");
        } else {
            condiciones << QStringLiteral("o.verificacion = ?");
            valores << Texto(*filtro.estado);
        }
    }
    if (!filtro.especie.trimmed().isEmpty()) {
        condiciones << QStringLiteral("o.especie = ?");
        valores << filtro.especie.trimmed();
    }
    if (!filtro.observador.trimmed().isEmpty()) {
        condiciones << QStringLiteral("(o.observador1 = ? OR o.observador2 = ? OR "
                                      "o.observador3 = ? OR o.observador4 = ?)");
        for (int i = 0; i < 4; ++i)
            valores << filtro.observador.trimmed();
    }
    if (!filtro.provincia.trimmed().isEmpty()) {
        condiciones << QStringLiteral("pr.prov_cast = ?");
        valores << filtro.provincia.trimmed();
    }
    QSqlQuery q;
    if (!Ejecutar(
            q,
            QStringLiteral(
                "SELECT o.id_observacion, o.fecha, coalesce(e.n_especie, o.especie), "
                "coalesce(loc.localidad, o.localidad), mu.muni, pr.prov_cast, loc.utm10k, "
                "o.observador1, o.observador2, o.observador3, o.observador4, o.numejemp, "
                "o.verificacion, o.verificador, o.fecha_verificacion, o.comentario_verificacion, "
                "(SELECT count(*) FROM foto f WHERE f.observacion = o.id_observacion), ") +
                kClave +
                QStringLiteral(
                    ", CASE WHEN coalesce(e.sensible, 0) <> 0 OR coalesce(a.sensible, 0) <> 0 "
                    "THEN 1 ELSE 0 END, loc.muni, loc.utmhuso, loc.utmx, loc.utmy, o.localidad "
                    "FROM observacion o LEFT JOIN especie e ON e.cod_especie = o.especie "
                    "LEFT JOIN especie a ON a.cod_especie = e.sinonimo_de "
                    "LEFT JOIN localidad loc ON loc.cod_localidad = o.localidad "
                    "LEFT JOIN tprovincia pr ON pr.id_prov = loc.prov "
                    "LEFT JOIN tmunicipio mu ON mu.id_muni = loc.muni") +
                (condiciones.isEmpty()
                     ? QString()
                     : QStringLiteral(" WHERE ") + condiciones.join(QStringLiteral(" AND "))) +
                QStringLiteral(" ORDER BY o.fecha, o.id_observacion"),
            valores))
        return std::nullopt;

    std::unique_ptr<Geodesy> geo;
    QHash<QString, std::optional<double>> fuera; // by locality code
    QList<Registro> r;
    while (q.next()) {
        Registro g;
        g.id = q.value(0).toInt();
        g.fecha = QDate::fromString(q.value(1).toString().left(10), Qt::ISODate);
        g.especie = q.value(2).toString();
        g.localidad = q.value(3).toString();
        g.municipio = q.value(4).toString();
        g.provincia = q.value(5).toString();
        g.utm10k = q.value(6).toString().toUpper();
        for (int i = 7; i <= 10; ++i)
            if (!q.value(i).toString().trimmed().isEmpty()) g.observadores << q.value(i).toString();
        g.numejemp = q.isNull(11) ? QVariant() : QVariant(q.value(11).toLongLong());
        g.estado = DeTexto(q.value(12).toString());
        g.verificador = q.value(13).toString();
        g.cuando = q.value(14).toString();
        g.comentario = q.value(15).toString();
        g.fotos = q.value(16).toInt();
        static const Especie ninguna;
        const auto e = especies.constFind(q.value(17).toString());
        const Especie &s = e == especies.cend() ? ninguna : *e;
        // The record itself is among the species' figures unless it was rejected.
        const int propia = g.estado == Estado::Rechazada ? 0 : 1;

        if (!g.utm10k.isEmpty()) {
            const int aqui = s.cuadrados.value(g.utm10k) - propia;
            const int otros = int(s.cuadrados.size()) - (s.cuadrados.contains(g.utm10k) ? 1 : 0);
            if (aqui <= 0 && otros >= kOtrosCuadrados)
                g.avisos << QStringLiteral("Primera cita de la especie en el cuadrado %1, con "
                                           "citas en otros %2 cuadrados")
                                .arg(g.utm10k)
                                .arg(otros);
        }
        if (g.fecha.isValid()) {
            const int otras = s.conFecha - propia;
            if (otras >= kCitasEpoca && s.Cerca(g.fecha) - propia <= 0)
                g.avisos << QStringLiteral("Fuera de la época de la especie: ninguna de sus "
                                           "otras %1 citas está a menos de %2 días de ese día "
                                           "del año")
                                .arg(otras)
                                .arg(kDiasEpoca);
            if (g.fecha > hoy)
                g.avisos << QStringLiteral("Fecha futura");
            else if (g.fecha.year() < kPrimerAno)
                g.avisos << QStringLiteral("Fecha anterior a %1").arg(kPrimerAno);
        }
        if (!g.numejemp.isNull()) {
            const qint64 n = g.numejemp.toLongLong();
            const int otras = s.conNumero - propia;
            const qint64 maximo = propia && n == s.mayor ? s.segundo : s.mayor;
            if (n > kNumeroMaximo)
                g.avisos << QStringLiteral("%1 ejemplares: más de %2").arg(n).arg(kNumeroMaximo);
            else if (otras >= kCitasNumero && n > maximo)
                g.avisos << QStringLiteral("%1 ejemplares: más que en cualquier otra cita de la "
                                           "especie (como mucho %2)")
                                .arg(n)
                                .arg(maximo);
        }
        const QString codigo = q.value(23).toString();
        if (!fuera.contains(codigo)) {
            std::optional<double> metros;
            const int muni = q.value(19).toInt();
            bool okH = false, okX = false, okY = false;
            const int huso = q.value(20).toString().toInt(&okH);
            const double x = q.value(21).toDouble(&okX), y = q.value(22).toDouble(&okY);
            if (muni > 0 && okH && okX && okY && !q.isNull(21) && !q.isNull(22)) {
                if (!geo) geo = std::make_unique<Geodesy>();
                if (const auto p = geo->AGeograficas({huso, x, y}))
                    metros = MunicipalityLocator::Fuera(muni, p->lat, p->lon);
            }
            fuera.insert(codigo, metros);
        }
        if (const auto metros = fuera.value(codigo); metros && *metros > kFueraMunicipio)
            g.avisos << QStringLiteral("La localidad queda a %1 m fuera de su municipio%2")
                            .arg(qRound64(*metros))
                            .arg(g.municipio.isEmpty() ? QString()
                                                       : QStringLiteral(" (%1)").arg(g.municipio));
        if (q.value(18).toInt() != 0 && g.fotos == 0)
            g.avisos << QStringLiteral("Especie sensible sin fotografía");
        if (!filtro.soloAvisos || !g.avisos.isEmpty()) r << g;
    }
    if (q.lastError().isValid()) {
        Anotar(DescribirError(q.lastError()));
        return std::nullopt;
    }
    return r;
}

std::optional<VerificationStore::Verificacion> VerificationStore::De(int id) {
    QSqlQuery q;
    if (!Ejecutar(q,
                  QStringLiteral("SELECT verificacion, verificador, fecha_verificacion, "
                                 "comentario_verificacion FROM observacion WHERE "
                                 "id_observacion = ?"),
                  {id}) ||
        !q.next())
        return std::nullopt;
    return Verificacion{DeTexto(q.value(0).toString()), q.value(1).toString(),
                        q.value(2).toString(), q.value(3).toString()};
}

std::optional<bool> VerificationStore::PuedeVerificar() {
    const auto v = Primero(QStringLiteral("SELECT CASE WHEN ") + SqlDialect::PuedeVerificar(db()) +
                           QStringLiteral(" THEN 1 ELSE 0 END"));
    if (!v) return std::nullopt;
    return v->toInt() == 1;
}

bool VerificationStore::Verificar(const QList<int> &ids, Estado estado, const QString &verificador,
                                  const QString &comentario, const QDateTime &cuando) {
    Limpiar();
    const QString quien = verificador.trimmed();
    if (estado == Estado::Rechazada && comentario.trimmed().isEmpty()) {
        Anotar(QStringLiteral("Para rechazar una observación escriba en el comentario por qué."));
        return false;
    }
    if (!Cabe(QStringLiteral("El comentario"), comentario)) return false;
    if (estado != Estado::Ninguno) {
        if (quien.isEmpty()) {
            Anotar(QStringLiteral("Falta el observador que verifica."));
            return false;
        }
        const auto existe =
            Primero(QStringLiteral("SELECT 1 FROM observador WHERE cod_observador = ?"), {quien});
        if (fallo()) return false;
        if (!existe) {
            Anotar(QStringLiteral("El observador %1 no existe.").arg(quien));
            return false;
        }
    }
    const auto puede = PuedeVerificar();
    if (!puede) return false;
    if (!*puede) {
        Anotar(QStringLiteral("Sólo los miembros del rol %1 del servidor pueden verificar "
                              "observaciones.")
                   .arg(QLatin1String(SqlDialect::kRolVerificador)));
        return false;
    }
    const bool ninguno = estado == Estado::Ninguno;
    // An empty comment is stored empty, as shown: a null text would be bound as null.
    const QString texto = comentario.isNull() ? QStringLiteral("") : comentario;
    return EnTransaccion([&] {
        QSqlQuery q;
        for (int id : ids) {
            if (!Ejecutar(q,
                          QStringLiteral("UPDATE observacion SET verificacion = ?, verificador = "
                                         "?, fecha_verificacion = ?, comentario_verificacion = ? "
                                         "WHERE id_observacion = ?"),
                          {ninguno ? QVariant() : QVariant(Texto(estado)),
                           ninguno ? QVariant() : QVariant(quien),
                           ninguno
                               ? QVariant()
                               : QVariant(cuando.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
                           ninguno ? QVariant() : Enlazable(texto), id}))
                return false;
            if (q.numRowsAffected() != 1) {
                Anotar(QStringLiteral("La observación con id: %1 ya no existe en la base de datos: "
                                      "no se ha cambiado nada.")
                           .arg(id));
                return false;
            }
        }
        return true;
    });
}
