#include "PhenologyStore.h"

#include "data/SqlDialect.h"
#include "data/SqliteText.h"

#include <QHash>
#include <QLocale>
#include <QMap>
#include <QSet>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <sqlite3.h>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace {
// First and last day of each third of a month, as the stored text writes them.
const char *const kDias[3][2] = {{"01", "10"}, {"11", "20"}, {"21", "31"}};

const char *const kMeses[12] = {"enero",      "febrero", "marzo",     "abril",
                                "mayo",       "junio",   "julio",     "agosto",
                                "septiembre", "octubre", "noviembre", "diciembre"};

// One row of the grouped statement: the year's and the month's text as substr() cuts them,
// the third of the month (0: no day of it), the stage as stored, observations, individuals.
struct Grupo {
    QString ano, mes;
    int tercio = 0;
    qint64 estadio = 0, registros = 0, ejemplares = 0;
};

// Text compared as SQLite's BINARY collation compares it: bytes, then length.
int Comparar(std::string_view a, std::string_view b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) return quint8(a[i]) < quint8(b[i]) ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}
bool Entre(std::string_view v, std::string_view desde, std::string_view hasta) {
    return Comparar(v, desde) >= 0 && Comparar(v, hasta) <= 0;
}

// CAST(text AS INTEGER) for the few characters of a year: spaces, a sign, the digits.
int ComoEntero(std::string_view t) {
    size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || (t[i] >= '\t' && t[i] <= '\r')))
        ++i;
    const bool negativo = i < t.size() && t[i] == '-';
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
    int n = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i)
        n = n * 10 + (t[i] - '0');
    return negativo ? -n : n;
}

std::string_view Subcadena(std::string_view t, size_t desde, size_t largo) {
    return t.substr(std::min(desde, t.size()), largo);
}

// The third of the month as the grouped statement's CASE finds it, on a date whose first ten
// characters are ASCII (so that they are its first ten bytes).
int Tercio(std::string_view fecha) {
    const std::string_view dia = Subcadena(fecha, 8, 2), mes = Subcadena(fecha, 5, 2);
    // Two digits compare as text as their numbers do.
    const auto digito = [](char c) { return c >= '0' && c <= '9'; };
    if (dia.size() == 2 && digito(dia[0]) && digito(dia[1])) {
        const int d = (dia[0] - '0') * 10 + (dia[1] - '0');
        if (d >= 1 && d <= 28) return (d + 9) / 10;
    }
    if (Entre(dia, "01", "10")) return 1;
    if (Entre(dia, "11", "20")) return 2;
    if (Entre(dia, "21", "28")) return 3;
    if (dia == "29") {
        const int ano = ComoEntero(Subcadena(fecha, 0, 4));
        return mes != "02" || (ano % 4 == 0 && (ano % 100 != 0 || ano % 400 == 0)) ? 3 : 0;
    }
    if (dia == "30") return mes != "02" ? 3 : 0;
    if (dia == "31")
        for (const char *largo : {"01", "03", "05", "07", "08", "10", "12"})
            if (mes == largo) return 3;
    return 0;
}

bool Entero(const SqliteText::Celda &c, qint64 *n) {
    return std::from_chars(c.texto, c.texto + c.bytes, *n).ec == std::errc();
}

// The grouped statement's work done on the rows as they lie, on a file: a file's rows are
// grouped by sorting them, which on a large file costs several times the reading. Returns
// false, with *leido true, when a step fails; *leido false (nothing counted) for a query that
// is not SQLite's or for a row that only the statement reads right: a date that is not text,
// or whose first characters are not ASCII (substr() counts characters), a stage or a count
// that is not a whole number, a total past 64 bits (the statement's error).
bool LeerGrupos(QSqlQuery &q, std::vector<Grupo> *grupos, bool *leido, QString *fallo) {
    struct Suma {
        qint64 registros = 0, ejemplares = 0;
    };
    // The year (four bytes at most), the month (two), their lengths and the third in one word.
    using Clave = std::pair<quint64, qint64>;
    struct Hash {
        size_t operator()(const Clave &k) const {
            return std::hash<quint64>()(k.first * 0x9E3779B97F4A7C15ULL ^ quint64(k.second));
        }
    };
    std::unordered_map<Clave, Suma, Hash> sumas;
    bool raro = false, conFecha = false;
    Clave clave, ultimaClave;
    Suma *ultima = nullptr; // the nodes of an unordered_map stay where they are
    qint64 ejemplares = 0;
    *leido = SqliteText::LeerFilas(
        q,
        [&](int i, const SqliteText::Celda &c) {
            if (raro) return;
            if (i == 0) {
                conFecha = c.tipo != SQLITE_NULL;
                if (!conFecha) return;
                const std::string_view fecha(c.texto, size_t(c.bytes));
                raro = c.tipo != SQLITE_TEXT;
                for (size_t k = 0; !raro && k < std::min<size_t>(fecha.size(), 10); ++k)
                    raro = static_cast<unsigned char>(fecha[k]) >= 0x80;
                if (raro) return;
                const std::string_view ano = Subcadena(fecha, 0, 4), mes = Subcadena(fecha, 5, 2);
                quint64 k = 0, m = 0;
                if (!ano.empty()) std::memcpy(&k, ano.data(), ano.size());
                if (!mes.empty()) std::memcpy(&m, mes.data(), mes.size());
                clave.first = k | m << 32 | quint64(ano.size()) << 48 | quint64(mes.size()) << 52 |
                              quint64(Tercio(fecha)) << 56;
            } else if (i == 1) {
                clave.second = 0;
                raro = c.tipo != SQLITE_NULL &&
                       (c.tipo != SQLITE_INTEGER || !Entero(c, &clave.second));
            } else {
                ejemplares = 0;
                raro =
                    c.tipo != SQLITE_NULL && (c.tipo != SQLITE_INTEGER || !Entero(c, &ejemplares));
                if (ejemplares < 0) ejemplares = 0;
            }
        },
        [&] {
            if (raro) return false;
            // A row without a date has no year: the statement's group is left out.
            if (!conFecha) return true;
            // A visit's rows, entered together, mostly share their date and stage.
            if (!ultima || clave != ultimaClave) {
                ultima = &sumas[clave];
                ultimaClave = clave;
            }
            Suma &s = *ultima;
            ++s.registros;
            raro = __builtin_add_overflow(s.ejemplares, ejemplares, &s.ejemplares);
            return !raro;
        },
        fallo);
    if (!*leido || !fallo->isEmpty()) return fallo->isEmpty();
    if (raro) {
        *leido = false;
        return true;
    }
    grupos->reserve(sumas.size());
    for (const auto &[k, s] : sumas) {
        char ano[4], mes[2];
        std::memcpy(ano, &k.first, 4);
        const quint64 m = k.first >> 32;
        std::memcpy(mes, &m, 2);
        grupos->push_back({QString::fromLatin1(ano, qsizetype(k.first >> 48 & 0xF)),
                           QString::fromLatin1(mes, qsizetype(k.first >> 52 & 0xF)),
                           int(k.first >> 56), k.second, s.registros, s.ejemplares});
    }
    return true;
}
} // namespace

qint64 Fenologia::Total(int periodo, bool ejemplares) const {
    qint64 n = 0;
    if (periodo < 1 || periodo > kPeriodos) return n;
    for (const Estadio &e : estadios)
        n += (ejemplares ? e.ejemplares : e.observaciones)[periodo - 1];
    return n;
}

int PhenologyStore::Periodo(const QDate &fecha) {
    if (!fecha.isValid()) return 0;
    return (fecha.month() - 1) * 3 + (fecha.day() <= 10 ? 1 : fecha.day() <= 20 ? 2 : 3);
}

QString PhenologyStore::NombrePeriodo(int periodo) {
    if (periodo < 1 || periodo > Fenologia::kPeriodos) return QString();
    const int mes = (periodo - 1) / 3, tercio = (periodo - 1) % 3;
    QString dias = QStringLiteral("%1-%2").arg((tercio * 10) + 1).arg(tercio * 10 + 10);
    if (tercio == 2)
        dias = mes == 1 ? QStringLiteral("21-28/29")
                        : QStringLiteral("21-%1").arg(QDate(2001, mes + 1, 1).daysInMonth());
    return QStringLiteral("%1 de %2").arg(dias, QString::fromLatin1(kMeses[mes]));
}

QStringList PhenologyStore::Meses() {
    QStringList r;
    for (const char *m : kMeses)
        r << QString::fromLatin1(m).left(3);
    return r;
}

QString PhenologyStore::Condiciones(const FiltroFenologia &f, QVariantList &valores) {
    QString sql;
    // Only a province filter needs the locality and its province.
    if (!f.provincia.trimmed().isEmpty())
        sql += QStringLiteral(" LEFT JOIN localidad loc ON loc.cod_localidad = o.localidad"
                              " LEFT JOIN tprovincia pr ON pr.id_prov = loc.prov");
    QStringList condiciones;
    auto filtro = [&](bool presente, const char *condicion, const QVariant &valor) {
        if (!presente) return;
        condiciones << QString::fromLatin1(condicion);
        valores << valor;
    };
    // Compared as text so that the date index serves: "2010-" sorts before every day of
    // 2010 and "2010-13" after them.
    filtro(f.anoDesde > 0, "o.fecha >= ?",
           QStringLiteral("%1-").arg(f.anoDesde, 4, 10, QLatin1Char('0')));
    filtro(f.anoHasta > 0, "o.fecha < ?",
           QStringLiteral("%1-13").arg(f.anoHasta, 4, 10, QLatin1Char('0')));
    filtro(!f.especie.trimmed().isEmpty(), "o.especie = ?", f.especie.trimmed());
    filtro(!f.provincia.trimmed().isEmpty(), "pr.prov_cast = ?", f.provincia.trimmed());
    filtro(!f.observador.trimmed().isEmpty(),
           "EXISTS (SELECT 1 FROM observador ob WHERE ob.cod_observador IN (o.observador1, "
           "o.observador2, o.observador3, o.observador4) AND (coalesce(ob.nombre, '') || ' ' "
           "|| coalesce(ob.apellido, '')) LIKE ? ESCAPE '\\')",
           PatronContiene(f.observador.trimmed()));
    if (!condiciones.isEmpty()) sql += QStringLiteral(" WHERE ") + condiciones.join(" AND ");
    return sql;
}

QString PhenologyStore::Sentencia(const FiltroFenologia &f, QVariantList &valores) {
    // Grouped by year, month, third of the month and stage: a few thousand rows at most,
    // whatever the number of observations. The stage's names are read apart: grouping on
    // them would compare every row's name under the case-folding collation. A day that is no day of
    // its month (30 February, 29 February of a common year) falls in third 0 and is left out.
    return QStringLiteral(
               "SELECT substr(o.fecha, 1, 4), substr(o.fecha, 6, 2),"
               " CASE WHEN substr(o.fecha, 9, 2) BETWEEN '01' AND '10' THEN 1"
               " WHEN substr(o.fecha, 9, 2) BETWEEN '11' AND '20' THEN 2"
               " WHEN substr(o.fecha, 9, 2) BETWEEN '21' AND '28' THEN 3"
               " WHEN substr(o.fecha, 9, 2) = '29' AND (substr(o.fecha, 6, 2) <> '02' OR"
               " (CAST(substr(o.fecha, 1, 4) AS INTEGER) % 4 = 0 AND"
               " (CAST(substr(o.fecha, 1, 4) AS INTEGER) % 100 <> 0 OR"
               " CAST(substr(o.fecha, 1, 4) AS INTEGER) % 400 = 0))) THEN 3"
               " WHEN substr(o.fecha, 9, 2) = '30' AND substr(o.fecha, 6, 2) <> '02' THEN 3"
               " WHEN substr(o.fecha, 9, 2) = '31' AND substr(o.fecha, 6, 2) IN"
               " ('01', '03', '05', '07', '08', '10', '12') THEN 3 ELSE 0 END,"
               " o.estadio, count(*), sum(CASE WHEN o.numejemp > 0 THEN o.numejemp ELSE 0 END)"
               " FROM observacion o") +
           Condiciones(f, valores) + QStringLiteral(" GROUP BY 1, 2, 3, 4");
}

std::optional<Fenologia> PhenologyStore::Contar(const FiltroFenologia &f) {
    QHash<qint64, QString> nombres;
    QSqlQuery q;
    if (!Ejecutar(q, QStringLiteral("SELECT id_estadio, estad_cast FROM testadio")))
        return std::nullopt;
    while (q.next())
        nombres.insert(q.value(0).toLongLong(), q.value(1).toString().trimmed());
    // On a file the rows are read as they lie and grouped here; the server groups them by
    // hashing itself, and would send every row to be read.
    std::vector<Grupo> grupos;
    QVariantList valores;
    bool leido = false;
    if (SqlDialect::De(db()) == SqlDialect::Motor::Sqlite) {
        const QString donde = Condiciones(f, valores);
        if (!Ejecutar(q,
                      QStringLiteral("SELECT o.fecha, o.estadio, o.numejemp FROM observacion o") +
                          donde,
                      valores))
            return std::nullopt;
        QString fallo;
        if (!LeerGrupos(q, &grupos, &leido, &fallo)) {
            Anotar(fallo);
            return std::nullopt;
        }
    }
    if (!leido) {
        grupos.clear();
        valores.clear();
        if (!Ejecutar(q, Sentencia(f, valores), valores)) return std::nullopt;
        while (q.next())
            grupos.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toInt(),
                              q.value(3).toLongLong(), q.value(4).toLongLong(),
                              q.value(5).toLongLong()});
    }
    // By date and stage, however they were grouped: of two stages named alike but for case,
    // the earlier one names the bar, on a file as on the server.
    std::sort(grupos.begin(), grupos.end(), [](const Grupo &a, const Grupo &b) {
        return std::tie(a.ano, a.mes, a.tercio, a.estadio) <
               std::tie(b.ano, b.mes, b.tercio, b.estadio);
    });
    struct Cuenta {
        QString nombre;
        qint64 orden;
        Fenologia::Estadio estadio;
    };
    QMap<QString, Cuenta> porNombre; // by the name folded to lower case
    QSet<int> anos;
    Fenologia r;
    for (const Grupo &g : grupos) {
        bool okAno = false, okMes = false;
        const int ano = g.ano.toInt(&okAno), mes = g.mes.toInt(&okMes);
        // Only whole dates count: a missing or unreadable one is left out.
        if (g.ano.size() != 4 || !okAno || !okMes || mes < 1 || mes > 12 || g.tercio < 1 ||
            g.tercio > 3)
            continue;
        // An unchosen stage (0 or null) and one whose row is gone have no name.
        qint64 orden = g.estadio;
        QString nombre = nombres.value(orden);
        if (nombre.isEmpty()) {
            nombre = kSinEstadio;
            orden = std::numeric_limits<qint64>::max();
        }
        Cuenta &c = porNombre[nombre.toLower()];
        if (c.nombre.isEmpty()) {
            c.nombre = nombre;
            c.orden = orden;
            c.estadio.nombre = nombre;
        }
        c.orden = std::min(c.orden, orden);
        const int i = (mes - 1) * 3 + g.tercio - 1;
        c.estadio.observaciones[i] += g.registros;
        c.estadio.ejemplares[i] += g.ejemplares;
        r.registros += g.registros;
        anos.insert(ano);
    }
    QList<Cuenta> cuentas = porNombre.values();
    std::stable_sort(cuentas.begin(), cuentas.end(),
                     [](const Cuenta &a, const Cuenta &b) { return a.orden < b.orden; });
    for (const Cuenta &c : cuentas) {
        r.estadios << c.estadio;
        r.estadios.last().id = c.orden == std::numeric_limits<qint64>::max() ? 0 : int(c.orden);
    }
    r.anos = int(anos.size());
    return r;
}

std::optional<QList<ObservacionPeriodo>> PhenologyStore::Observaciones(const FiltroFenologia &f,
                                                                       int periodo) {
    if (periodo < 1 || periodo > Fenologia::kPeriodos) return QList<ObservacionPeriodo>();
    QVariantList valores;
    QString sql =
        QStringLiteral("SELECT o.fecha, coalesce(e.n_especie, o.especie), et.estad_cast,"
                       " lc.localidad, o.numejemp, o.observador1, o.observador2, o.observador3,"
                       " o.observador4, o1.nombre, o1.apellido, o2.nombre, o2.apellido,"
                       " o3.nombre, o3.apellido, o4.nombre, o4.apellido"
                       " FROM observacion o LEFT JOIN testadio et ON et.id_estadio = o.estadio"
                       " LEFT JOIN especie e ON e.cod_especie = o.especie"
                       " LEFT JOIN localidad lc ON lc.cod_localidad = o.localidad"
                       " LEFT JOIN observador o1 ON o1.cod_observador = o.observador1"
                       " LEFT JOIN observador o2 ON o2.cod_observador = o.observador2"
                       " LEFT JOIN observador o3 ON o3.cod_observador = o.observador3"
                       " LEFT JOIN observador o4 ON o4.cod_observador = o.observador4") +
        Condiciones(f, valores);
    sql += valores.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    sql += QStringLiteral("substr(o.fecha, 6, 2) = ? AND substr(o.fecha, 9, 2) BETWEEN ? AND ?"
                          " ORDER BY o.fecha, o.id_observacion");
    const int mes = (periodo - 1) / 3 + 1, tercio = (periodo - 1) % 3;
    valores << QStringLiteral("%1").arg(mes, 2, 10, QLatin1Char('0'))
            << QString::fromLatin1(kDias[tercio][0]) << QString::fromLatin1(kDias[tercio][1]);
    QSqlQuery q;
    if (!Ejecutar(q, sql, valores)) return std::nullopt;
    QList<ObservacionPeriodo> r;
    while (q.next()) {
        const QDate fecha = QDate::fromString(q.value(0).toString().left(10), Qt::ISODate);
        // The same dates as the counts: a day that is no date is not listed.
        if (Periodo(fecha) != periodo) continue;
        ObservacionPeriodo o{fecha,
                             q.value(1).toString(),
                             q.value(2).toString().trimmed().isEmpty() ? kSinEstadio
                                                                       : q.value(2).toString(),
                             q.value(3).toString(),
                             QString(),
                             q.value(4)};
        QStringList nombres;
        for (int i = 0; i < 4; ++i) {
            const QString codigo = q.value(5 + i).toString().trimmed();
            if (codigo.isEmpty()) continue;
            const QString nombre =
                (q.value(9 + 2 * i).toString() + u' ' + q.value(10 + 2 * i).toString()).trimmed();
            // An observer who is gone keeps the code the observation holds.
            nombres << (nombre.isEmpty() ? codigo : nombre);
        }
        o.observadores = nombres.join(QStringLiteral(", "));
        r << o;
    }
    return r;
}
