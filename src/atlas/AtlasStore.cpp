#include "AtlasStore.h"

#include "data/SqlDialect.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <map>
#include <vector>

int ClasesMapa::ClaseAnyo(int anyo) const {
    if (anyo >= corte2) return 2;
    if (anyo >= corte1) return 1;
    return 0;
}

int ClasesMapa::ClaseRiqueza(int especies) {
    if (especies >= 16) return 4;
    if (especies >= 8) return 3;
    if (especies >= 4) return 2;
    if (especies >= 2) return 1;
    return 0;
}

QString ClasesMapa::RangoRiqueza(int clase) {
    static const char *const rangos[kClasesRiqueza] = {"1", "2-3", "4-7", "8-15", "16 o más"};
    return QString::fromUtf8(rangos[std::clamp(clase, 0, kClasesRiqueza - 1)]);
}

const MapResult::Celda *MapResult::CeldaDe(int cuadrado) const {
    for (const Celda &c : celdas)
        if (c.cuadrado == cuadrado) return &c;
    return nullptr;
}

namespace {

// The keys a locality's square is grouped and matched by.
const char *const kCodigo = "upper(coalesce(l.utm10k, ''))";
const char *const kHuso = "trim(coalesce(l.utmhuso, ''))";

// A stored zone or code as those keys make it: SQLite's trim() takes only spaces, and its
// upper() only ASCII letters.
QString ComoClave(const QVariant &valor, bool mayusculas) {
    QString t = valor.toString();
    if (mayusculas) {
        for (QChar &c : t)
            if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - 'a' + 'A');
        return t;
    }
    qsizetype a = 0, b = t.size();
    while (a < b && t[a] == u' ')
        ++a;
    while (b > a && t[b - 1] == u' ')
        --b;
    return t.mid(a, b - a);
}

} // namespace

QString AtlasStore::Desde(const MapFilter &f, QVariantList &valores, bool conEspecie) const {
    // Outer joins: an observation whose locality or species is gone still counts, and is
    // listed without a square.
    QString sql = QStringLiteral(" FROM observacion o"
                                 " LEFT JOIN localidad l ON l.cod_localidad = o.localidad");
    if (conEspecie) sql += QStringLiteral(" LEFT JOIN especie e ON e.cod_especie = o.especie");
    QStringList condiciones;
    if (!f.especie.trimmed().isEmpty()) {
        // An older code of the species counts as the species; written so that the index of
        // observations by species is used.
        condiciones << QStringLiteral("o.especie IN (SELECT cod_especie FROM especie WHERE "
                                      "cod_especie = ? OR sinonimo_de = ?)");
        valores << f.especie.trimmed() << f.especie.trimmed();
    }
    if (f.desde.isValid()) {
        condiciones << QStringLiteral("o.fecha >= ?");
        valores << f.desde.toString(Qt::ISODate);
    }
    if (f.hasta.isValid()) {
        condiciones << QStringLiteral("o.fecha <= ?");
        valores << f.hasta.toString(Qt::ISODate);
    }
    if (!f.observador.trimmed().isEmpty()) {
        condiciones << QStringLiteral(
            "EXISTS (SELECT 1 FROM observador ob WHERE ob.cod_observador IN (o.observador1, "
            "o.observador2, o.observador3, o.observador4) AND (coalesce(ob.nombre, '') || ' ' || "
            "coalesce(ob.apellido, '')) LIKE ? ESCAPE '\\')");
        valores << PatronContiene(f.observador.trimmed());
    }
    if (!condiciones.isEmpty()) sql += QStringLiteral(" WHERE ") + condiciones.join(" AND ");
    return sql;
}

std::optional<MapResult> AtlasStore::Calcular(const MapGrid &grid, const MapFilter &f,
                                              const ClasesMapa &clases) {
    MapResult r;
    r.unaEspecie = !f.especie.trimmed().isEmpty();
    // The older codes, each to the species it now is: a few hundred rows read once rather
    // than a join for every observation.
    QHash<QString, QString> aceptadas;
    {
        QSqlQuery q;
        if (!Ejecutar(q, QStringLiteral("SELECT cod_especie, sinonimo_de FROM especie WHERE "
                                        "sinonimo_de IS NOT NULL")))
            return std::nullopt;
        while (q.next())
            aceptadas.insert(q.value(0).toString().toUpper(), q.value(1).toString().toUpper());
    }
    QVariantList valores;
    const QString desde = Desde(f, valores, false);
    // One pass, grouped by the stored square, the species in hex (which no stored code can
    // break, whatever bytes it holds); the keys are made alike here, so that the species of a
    // square and of the whole map are counted once each even when a square is stored both
    // with and without its zone, or a species under an older code. For all species each
    // square's are listed in one row: a row for every square's every species took twice the
    // time. For one species (and its older codes) a row each is faster than the list.
    const bool servidor = SqlDialect::De(db()) == SqlDialect::Motor::PostgreSql;
    const QString hex = servidor ? QStringLiteral("encode(convert_to(o.especie::text, 'UTF8'), "
                                                  "'hex')")
                                 : QStringLiteral("hex(o.especie)");
    const QString especiesHex = r.unaEspecie ? hex
                                : servidor ? QStringLiteral("string_agg(DISTINCT %1, ',')").arg(hex)
                                           : QStringLiteral("group_concat(DISTINCT %1)").arg(hex);
    QSqlQuery q;
    if (!Ejecutar(q,
                  QStringLiteral("SELECT l.utmhuso, l.utm10k, ") + especiesHex +
                      QStringLiteral(", count(*), max(o.fecha), l.cod_localidad IS NULL") + desde +
                      (r.unaEspecie ? QStringLiteral(" GROUP BY 1, 2, 3, 6")
                                    : QStringLiteral(" GROUP BY 1, 2, 6")),
                  valores))
        return std::nullopt;

    // Each species the map counts is numbered once, so that the species of each square are
    // gathered as numbers rather than as texts hashed again for every square.
    std::map<int, MapResult::Celda> celdas;
    std::map<int, std::vector<int>> especiesCelda;
    QHash<QString, int> numeros;        // a species, as the number it is counted by
    QHash<QByteArray, int> comoEspecie; // a stored code in hex, as that number (-1: none)
    std::vector<int> estas;
    QSet<QPair<QString, QString>> fuera; // (zone, code) of the localities not drawn
    bool sinLocalidad = false;
    while (q.next()) {
        // As the statements that list the squares not drawn compare them.
        const QString huso = ComoClave(q.value(0), false), codigo = ComoClave(q.value(1), true);
        estas.clear();
        const QByteArray lista = q.value(2).toByteArray();
        for (qsizetype a = 0; a < lista.size();) {
            qsizetype b = lista.indexOf(',', a);
            if (b < 0) b = lista.size();
            const QByteArray hex = lista.sliced(a, b - a);
            a = b + 1;
            auto it = comoEspecie.constFind(hex);
            if (it == comoEspecie.cend()) {
                QString especie = QString::fromUtf8(QByteArray::fromHex(hex)).toUpper();
                if (const auto s = aceptadas.constFind(especie); s != aceptadas.cend())
                    especie = *s;
                int numero = -1;
                if (!especie.trimmed().isEmpty()) {
                    auto n = numeros.constFind(especie);
                    if (n == numeros.cend()) n = numeros.insert(especie, int(numeros.size()));
                    numero = *n;
                }
                it = comoEspecie.insert(hex, numero);
            }
            if (*it >= 0) estas.push_back(*it);
        }
        const int n = q.value(3).toInt();
        r.registros += n;
        if (q.value(5).toBool()) {
            sinLocalidad = true;
            continue;
        }
        const int i = codigo.trimmed().isEmpty() ? -1 : grid.Indice(codigo, huso.toInt());
        // A zone given must be the square's own; a code of another zone is not drawn.
        if (i < 0 || (!huso.isEmpty() && grid.Cuadrados()[size_t(i)].huso != huso.toInt())) {
            fuera.insert({huso, codigo});
            continue;
        }
        MapResult::Celda &c = celdas[i];
        c.cuadrado = i;
        c.registros += n;
        c.ultima = std::max(c.ultima, q.value(4).toString());
        std::vector<int> &deCelda = especiesCelda[i];
        deCelda.insert(deCelda.end(), estas.begin(), estas.end());
    }
    // Every species numbered was met in a row the map counts.
    r.especies = int(numeros.size());
    for (auto &[i, c] : celdas) {
        std::vector<int> &deCelda = especiesCelda[i];
        std::sort(deCelda.begin(), deCelda.end());
        c.especies = int(std::unique(deCelda.begin(), deCelda.end()) - deCelda.begin());
        c.clase = r.unaEspecie ? clases.ClaseAnyo(c.ultima.left(4).toInt())
                               : ClasesMapa::ClaseRiqueza(c.especies);
        r.celdas.push_back(c);
    }

    // The observations not drawn are listed: those of the localities the map cannot place,
    // found through the localities (the index of observations used), and those whose
    // locality is gone. The squares are looked up as one list of pairs, not as a chain of
    // conditions tried on every locality: that grew with the squares times the localities.
    // The localities are first found by their stored code through its index (the column
    // compares without case, as the keys were made), not by working out the keys of every
    // locality; the keys then keep those whose zone and code were not drawn.
    const QList<QPair<QString, QString>> claves(fuera.begin(), fuera.end());
    constexpr qsizetype kPares = 400;
    for (qsizetype k = 0; k < claves.size(); k += kPares) {
        QStringList pares;
        QVariantList extra, valoresPares;
        QSet<QString> codigos;
        bool sinCodigo = false;
        for (qsizetype j = k; j < std::min(claves.size(), k + kPares); ++j) {
            pares << QStringLiteral("(?, ?)");
            valoresPares << claves[j].first << claves[j].second;
            sinCodigo = sinCodigo || claves[j].second.isEmpty();
            codigos.insert(claves[j].second);
        }
        for (const QString &c : std::as_const(codigos))
            extra << c;
        extra += valoresPares;
        const QString porCodigo =
            QStringLiteral("l.utm10k IN (%1)")
                .arg(QStringList(codigos.size(), QStringLiteral("?")).join(u','));
        if (!Listar(QStringLiteral("o.localidad IN (SELECT l.cod_localidad FROM localidad l "
                                   "WHERE %1 AND (%2, %3) IN (VALUES %4))")
                        .arg(sinCodigo ? QStringLiteral("(l.utm10k IS NULL OR %1)").arg(porCodigo)
                                       : porCodigo,
                             QLatin1String(kHuso), QLatin1String(kCodigo),
                             pares.join(QStringLiteral(", "))),
                    extra, f, &r.sinCuadrado))
            return std::nullopt;
    }
    if (sinLocalidad && !Listar(QStringLiteral("l.cod_localidad IS NULL"), {}, f, &r.sinCuadrado))
        return std::nullopt;
    std::sort(r.sinCuadrado.begin(), r.sinCuadrado.end(), [](const FilaMapa &a, const FilaMapa &b) {
        return std::tie(a.fecha, a.id) < std::tie(b.fecha, b.id);
    });
    for (const FilaMapa &fila : r.sinCuadrado)
        ++(fila.cuadrado.trimmed().isEmpty() ? r.sinCuadricula : r.desconocidos);
    return r;
}

bool AtlasStore::Listar(const QString &condicion, const QVariantList &extra, const MapFilter &f,
                        std::vector<FilaMapa> *filas) {
    QVariantList valores;
    const QString desde = Desde(f, valores);
    valores += extra;
    QSqlQuery q;
    if (!Ejecutar(q,
                  QStringLiteral("SELECT o.id_observacion, o.fecha, coalesce(e.n_especie, "
                                 "o.especie), coalesce(l.localidad, o.localidad), o.observador1, "
                                 "o.observador2, o.observador3, o.observador4, l.utm10k") +
                      desde + (desde.contains(QStringLiteral(" WHERE ")) ? " AND " : " WHERE ") +
                      condicion + QStringLiteral(" ORDER BY o.fecha, o.id_observacion"),
                  valores))
        return false;
    while (q.next()) {
        FilaMapa fila;
        fila.id = q.value(0).toInt();
        fila.fecha = q.value(1).toString();
        fila.especie = q.value(2).toString();
        fila.localidad = q.value(3).toString();
        QStringList obs;
        for (int i = 4; i < 8; ++i)
            if (!q.value(i).toString().trimmed().isEmpty()) obs << q.value(i).toString();
        fila.observadores = obs.join(QStringLiteral(", "));
        fila.cuadrado = q.value(8).toString().trimmed();
        filas->push_back(std::move(fila));
    }
    return true;
}

std::optional<std::vector<FilaMapa>> AtlasStore::ObservacionesDe(const MapGrid &grid, int cuadrado,
                                                                 const MapFilter &f) {
    if (cuadrado < 0 || size_t(cuadrado) >= grid.Cuadrados().size()) return std::vector<FilaMapa>();
    const auto &c = grid.Cuadrados()[size_t(cuadrado)];
    std::vector<FilaMapa> filas;
    // Through the localities of the square, so that the indexes are used.
    if (!Listar(QStringLiteral("o.localidad IN (SELECT l.cod_localidad FROM localidad l WHERE "
                               "l.utm10k = ? AND %1 IN ('', ?))")
                    .arg(QLatin1String(kHuso)),
                {c.codigo, QString::number(c.huso)}, f, &filas))
        return std::nullopt;
    return filas;
}
