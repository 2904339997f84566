#include "AtlasStore.h"

#include "data/SqlDialect.h"
#include "data/SqliteText.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <string_view>
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

} // namespace

QString AtlasStore::Desde(const MapFilter &f, QVariantList &valores, bool conEspecie) const {
    // Outer joins: an observation whose locality or species is gone still counts, and is
    // listed without a square.
    QString sql = QStringLiteral(" FROM observacion o"
                                 " LEFT JOIN localidad l ON l.cod_localidad = o.localidad");
    if (conEspecie) sql += QStringLiteral(" LEFT JOIN especie e ON e.cod_especie = o.especie");
    return sql + Filtros(f, valores);
}

QString AtlasStore::Filtros(const MapFilter &f, QVariantList &valores) const {
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
    return condiciones.isEmpty()
               ? QString()
               : QStringLiteral(" WHERE ") + condiciones.join(QStringLiteral(" AND "));
}

namespace {

// Texts to numbers in one flat table, for a look-up on every observation
// of a large file: a key of up to 16 bytes lies in its own slot, so that a look-up reads one
// place in memory; a node-based map's chain of pointers missed the processor's cache three
// or four times, and took a microsecond each on a million rows.
class TablaClaves {
public:
    // Keeps the first number given for a key.
    void Anadir(std::string_view clave, int numero) { Anadir(clave, numero, Hash(clave)); }
    // The same with the hash from Anticipar.
    void Anadir(std::string_view clave, int numero, quint64 hash) {
        if ((usados_ + 1) * 2 > huecos_.size()) Crecer(std::max<size_t>(64, huecos_.size() * 2));
        Hueco &h = huecos_[Lugar(clave, hash)];
        if (h.bytes != kVacio) return;
        h.hash = hash;
        h.numero = numero;
        h.bytes = quint32(clave.size());
        if (clave.size() <= sizeof h.dentro) {
            std::memcpy(h.dentro, clave.data(), clave.size());
        } else {
            const quint64 desde = largas_.size();
            std::memcpy(h.dentro, &desde, sizeof desde);
            largas_.append(clave);
        }
        ++usados_;
    }
    // Room for this many keys without growing.
    void Reservar(qint64 claves) {
        size_t n = 64;
        while (qint64(n) < claves * 2)
            n *= 2;
        if (n > huecos_.size()) Crecer(n);
    }
    // The number of a key, or null.
    const int *Buscar(std::string_view clave) const { return Buscar(clave, Hash(clave)); }
    // The same in two steps: the key's hash, its slot asked of memory ahead; then the look-up,
    // by when the slot may have arrived.
    quint64 Anticipar(std::string_view clave) const {
        const quint64 hash = Hash(clave);
        if (!huecos_.empty()) __builtin_prefetch(&huecos_[hash & (huecos_.size() - 1)]);
        return hash;
    }
    const int *Buscar(std::string_view clave, quint64 hash) const {
        if (huecos_.empty()) return nullptr;
        const Hueco &h = huecos_[Lugar(clave, hash)];
        return h.bytes == kVacio ? nullptr : &h.numero;
    }

private:
    static constexpr quint32 kVacio = 0xffffffffu;
    // Half a cache line each, never across two.
    struct alignas(32) Hueco {
        quint64 hash = 0;
        int numero = 0;
        quint32 bytes = kVacio;
        char dentro[16]; // the key, or where it starts in largas_
    };
    static quint64 Hash(std::string_view clave) {
        quint64 h = 14695981039346656037ull; // FNV-1a
        for (const char c : clave)
            h = (h ^ quint8(c)) * 1099511628211ull;
        return h ^ (h >> 29);
    }
    std::string_view Clave(const Hueco &h) const {
        if (h.bytes <= sizeof h.dentro) return {h.dentro, h.bytes};
        quint64 desde;
        std::memcpy(&desde, h.dentro, sizeof desde);
        return std::string_view(largas_).substr(desde, h.bytes);
    }
    // The slot holding the key, or the empty one where it would go.
    size_t Lugar(std::string_view clave, quint64 hash) const {
        const size_t mascara = huecos_.size() - 1;
        for (size_t i = hash & mascara;; i = (i + 1) & mascara) {
            const Hueco &h = huecos_[i];
            if (h.bytes == kVacio || (h.hash == hash && Clave(h) == clave)) return i;
        }
    }
    void Crecer(size_t huecos) {
        std::vector<Hueco> antes(huecos);
        antes.swap(huecos_);
        for (const Hueco &h : antes)
            if (h.bytes != kVacio) huecos_[Lugar(Clave(h), h.hash)] = h;
    }
    std::vector<Hueco> huecos_;
    std::string largas_;
    size_t usados_ = 0;
};

} // namespace

// The map's counts as they are gathered: each (zone, code) pair of the localities resolved
// once, to the cell it is drawn in or to the pairs not drawn; each species to a number, so
// that the species of a cell are a set of bits rather than texts hashed again.
class AtlasStore::Recuento {
public:
    Recuento(const MapGrid &grid, QHash<QString, QString> aceptadas)
        : grid_(grid), aceptadas_(std::move(aceptadas)), celdaDe_(grid.Cuadrados().size(), -1) {}

    // Where a stored zone and code (UTF-8, a null as empty) go: a cell (>= 0), or a pair not
    // drawn (-1 - its number).
    int Ranura(std::string_view huso, std::string_view codigo) {
        // Keyed as the statements that list the squares not drawn compare them: the zone
        // without the spaces around it (SQLite's trim() takes only spaces), the code with its
        // ASCII letters in capitals (as SQLite's upper() makes them).
        while (!huso.empty() && huso.front() == ' ')
            huso.remove_prefix(1);
        while (!huso.empty() && huso.back() == ' ')
            huso.remove_suffix(1);
        const quint32 largo = quint32(huso.size());
        par_.assign(reinterpret_cast<const char *>(&largo), sizeof largo);
        par_.append(huso);
        const size_t desde = par_.size();
        par_.append(codigo);
        for (size_t k = desde; k < par_.size(); ++k)
            if (par_[k] >= 'a' && par_[k] <= 'z') par_[k] = char(par_[k] - 'a' + 'A');
        if (const int *hecha = pares_.Buscar(par_)) return *hecha;

        const QString h = QString::fromUtf8(huso.data(), qsizetype(huso.size()));
        const QString c = QString::fromUtf8(par_.data() + desde, qsizetype(par_.size() - desde));
        const int i = c.trimmed().isEmpty() ? -1 : grid_.Indice(c, h.toInt());
        int ranura;
        // A zone given must be the square's own; a code of another zone is not drawn.
        if (i < 0 || (!h.isEmpty() && grid_.Cuadrados()[size_t(i)].huso != h.toInt())) {
            ranura = -1 - int(fuera_.size());
            fuera_.push_back({{h, c}, false});
        } else {
            if (celdaDe_[size_t(i)] < 0) {
                celdaDe_[size_t(i)] = int(registros_.size());
                registros_.push_back(0);
                ultimas_.emplace_back();
                bits_.resize(bits_.size() + palabras_);
            }
            ranura = celdaDe_[size_t(i)];
        }
        pares_.Anadir(par_, ranura);
        return ranura;
    }

    // A stored species code as the number it is counted by (its older codes as itself), or
    // -1 for none.
    int Numero(const QString &guardada) {
        QString especie = guardada.toUpper();
        if (const auto s = aceptadas_.constFind(especie); s != aceptadas_.cend()) especie = *s;
        if (especie.trimmed().isEmpty()) return -1;
        auto n = numeros_.constFind(especie);
        if (n == numeros_.cend()) n = numeros_.insert(especie, int(numeros_.size()));
        return *n;
    }

    // Records of one slot; `ultima` is the latest date among them, in UTF-8.
    void Sumar(int ranura, int registros, std::string_view ultima) {
        if (ranura < 0) {
            fuera_[size_t(-1 - ranura)].second = true;
            return;
        }
        registros_[size_t(ranura)] += registros;
        std::string &u = ultimas_[size_t(ranura)];
        if (std::string_view(u) < ultima) u = ultima;
    }
    void Especie(int ranura, int numero) {
        if (ranura < 0 || numero < 0) return;
        const size_t palabra = size_t(numero) / 64;
        if (palabra >= palabras_) {
            // A species numbered past the words each cell has: every cell gets more.
            const size_t mas = palabra + 1;
            std::vector<quint64> bits(registros_.size() * mas);
            for (size_t k = 0; k < registros_.size(); ++k)
                std::copy_n(bits_.begin() + qsizetype(k * palabras_), palabras_,
                            bits.begin() + qsizetype(k * mas));
            bits_.swap(bits);
            palabras_ = mas;
        }
        bits_[size_t(ranura) * palabras_ + palabra] |= quint64(1) << (numero % 64);
    }

    // Fills the cells, in the grid's order, and the species; returns the (zone, code) pairs
    // that have records but are not drawn.
    QList<QPair<QString, QString>> Llenar(MapResult &r, const ClasesMapa &clases) const {
        r.especies = int(numeros_.size());
        for (size_t i = 0; i < celdaDe_.size(); ++i) {
            if (celdaDe_[i] < 0) continue;
            const size_t k = size_t(celdaDe_[i]);
            if (registros_[k] == 0) continue;
            MapResult::Celda c;
            c.cuadrado = int(i);
            c.registros = registros_[k];
            c.ultima = QString::fromStdString(ultimas_[k]);
            for (size_t w = 0; w < palabras_; ++w)
                c.especies += std::popcount(bits_[k * palabras_ + w]);
            c.clase = r.unaEspecie ? clases.ClaseAnyo(c.ultima.left(4).toInt())
                                   : ClasesMapa::ClaseRiqueza(c.especies);
            r.celdas.push_back(c);
        }
        QList<QPair<QString, QString>> claves;
        for (const auto &[clave, usada] : fuera_)
            if (usada) claves << clave;
        return claves;
    }

private:
    const MapGrid &grid_;
    const QHash<QString, QString> aceptadas_;
    QHash<QString, int> numeros_;
    TablaClaves pares_; // a (zone, code) key, as Ranura makes it, to its slot
    std::string par_;
    std::vector<int> celdaDe_; // a square's cell, by the square's index
    // Each cell's records, latest date and species (a bit for each species' number,
    // palabras_ words a cell), side by side: a row's update then touches little memory.
    std::vector<int> registros_;
    std::vector<std::string> ultimas_;
    std::vector<quint64> bits_;
    size_t palabras_ = 2;
    std::vector<std::pair<QPair<QString, QString>, bool>> fuera_; // and whether it has records
};

bool AtlasStore::ContarLeyendo(Recuento &cuenta, const MapFilter &f, int *registros,
                               bool *sinLocalidad, bool *leido) {
    // Each locality, by its code folded as the database's NOCASE folds it, to its slot.
    const auto localidades = Primero(QStringLiteral("SELECT count(*) FROM localidad"));
    if (!localidades) return false;
    TablaClaves porLocalidad;
    porLocalidad.Reservar(localidades->toLongLong());
    // Each key goes into its slot a few localities after it is read, its slot asked of memory
    // meanwhile, as the observations below are looked up.
    struct Pendiente {
        std::string clave;
        quint64 hash = 0;
        int ranura = 0;
    };
    constexpr size_t kAdelanto = 8;
    std::array<Pendiente, kAdelanto> pendientes;
    size_t leidas = 0;
    std::string huso;
    QString fallo;
    QSqlQuery q;
    if (!Ejecutar(q, QStringLiteral("SELECT cod_localidad, utmhuso, utm10k FROM localidad")))
        return false;
    *leido = SqliteText::LeerFilas(
        q,
        [&](int i, const SqliteText::Celda &c) {
            const char *t = c.texto ? c.texto : "";
            Pendiente &esta = pendientes[leidas % kAdelanto];
            if (i == 0) {
                // Two codes alike but for case can only come from a file the program did
                // not keep; the first one is kept, as a search would find one.
                if (leidas >= kAdelanto) porLocalidad.Anadir(esta.clave, esta.ranura, esta.hash);
                SqliteText::ClaveSinMayusculas(t, c.bytes, &esta.clave);
                esta.hash = porLocalidad.Anticipar(esta.clave);
            } else if (i == 1) {
                huso.assign(t, size_t(c.bytes));
            } else {
                esta.ranura = cuenta.Ranura(huso, std::string_view(t, size_t(c.bytes)));
            }
        },
        [&] {
            ++leidas;
            return true;
        },
        &fallo);
    for (size_t k = leidas > kAdelanto ? leidas - kAdelanto : 0; k < leidas; ++k)
        porLocalidad.Anadir(pendientes[k % kAdelanto].clave, pendientes[k % kAdelanto].ranura,
                            pendientes[k % kAdelanto].hash);
    if (!*leido) return true;
    if (!fallo.isEmpty()) {
        Anotar(fallo);
        return false;
    }

    // The observations, read as they lie: no join and no sort, which on a large file cost
    // more than the reading itself. Each stored species code is numbered once.
    QVariantList valores;
    const QString donde = Filtros(f, valores);
    if (!Ejecutar(
            q, QStringLiteral("SELECT o.localidad, o.especie, o.fecha FROM observacion o") + donde,
            valores))
        return false;
    // Each row's locality is looked up a few rows later: its slot, asked of memory when the
    // row is read, has arrived by then, where waiting for it took most of the counting's time
    // on a large file.
    struct Fila {
        bool conCodigo = false;
        std::string clave;
        quint64 hash = 0;
        int numero = -1;
        std::string fecha;
    };
    std::array<Fila, kAdelanto> filas;
    leidas = 0;
    const auto contar = [&](const Fila &fila) {
        const int *ranura = fila.conCodigo ? porLocalidad.Buscar(fila.clave, fila.hash) : nullptr;
        // A code that no locality has, or none, is an observation without one.
        if (ranura) {
            cuenta.Sumar(*ranura, 1, fila.fecha);
            cuenta.Especie(*ranura, fila.numero);
        } else {
            *sinLocalidad = true;
        }
        ++*registros;
    };
    TablaClaves numeros;
    *leido = SqliteText::LeerFilas(
        q,
        [&](int i, const SqliteText::Celda &c) {
            Fila &esta = filas[leidas % kAdelanto];
            if (i == 0 && leidas >= kAdelanto) contar(esta); // the row read kAdelanto ago
            const char *t = c.texto ? c.texto : "";
            if (i == 0) {
                esta.conCodigo = c.tipo != SQLITE_NULL && c.tipo != SQLITE_BLOB;
                if (!esta.conCodigo) return;
                SqliteText::ClaveSinMayusculas(t, c.bytes, &esta.clave);
                esta.hash = porLocalidad.Anticipar(esta.clave);
            } else if (i == 1) {
                const std::string_view especie(t, size_t(c.bytes));
                if (const int *n = numeros.Buscar(especie)) {
                    esta.numero = *n;
                } else {
                    esta.numero = cuenta.Numero(QString::fromUtf8(t, c.bytes));
                    numeros.Anadir(especie, esta.numero);
                }
            } else {
                esta.fecha.assign(t, size_t(c.bytes));
            }
        },
        [&] {
            ++leidas;
            return true;
        },
        &fallo);
    for (size_t k = leidas > kAdelanto ? leidas - kAdelanto : 0; k < leidas; ++k)
        contar(filas[k % kAdelanto]);
    if (*leido && !fallo.isEmpty()) {
        Anotar(fallo);
        return false;
    }
    return true;
}

bool AtlasStore::ContarAgrupando(Recuento &cuenta, const MapFilter &f, bool unaEspecie,
                                 int *registros, bool *sinLocalidad) {
    QVariantList valores;
    const QString desde = Desde(f, valores, false);
    // Grouped by the stored square, the species in hex (which no stored code can break,
    // whatever bytes it holds). For all species each square's are listed in one row: a row
    // for every square's every species took twice the time. For one species (and its older
    // codes) a row each is faster than the list.
    const bool servidor = SqlDialect::De(db()) == SqlDialect::Motor::PostgreSql;
    const QString hex = servidor ? QStringLiteral("encode(convert_to(o.especie::text, 'UTF8'), "
                                                  "'hex')")
                                 : QStringLiteral("hex(o.especie)");
    const QString especiesHex = unaEspecie ? hex
                                : servidor ? QStringLiteral("string_agg(DISTINCT %1, ',')").arg(hex)
                                           : QStringLiteral("group_concat(DISTINCT %1)").arg(hex);
    QSqlQuery q;
    if (!Ejecutar(q,
                  QStringLiteral("SELECT l.utmhuso, l.utm10k, ") + especiesHex +
                      QStringLiteral(", count(*), max(o.fecha), l.cod_localidad IS NULL") + desde +
                      (unaEspecie ? QStringLiteral(" GROUP BY 1, 2, 3, 6")
                                  : QStringLiteral(" GROUP BY 1, 2, 6")),
                  valores))
        return false;
    QHash<QByteArray, int> comoEspecie; // a stored code in hex, as its number
    while (q.next()) {
        const int n = q.value(3).toInt();
        *registros += n;
        // Every species is numbered, an observation without a locality's too.
        const bool conLocalidad = !q.value(5).toBool();
        const int ranura = conLocalidad ? cuenta.Ranura(q.value(0).toString().toStdString(),
                                                        q.value(1).toString().toStdString())
                                        : -1;
        if (conLocalidad)
            cuenta.Sumar(ranura, n, q.value(4).toString().toStdString());
        else
            *sinLocalidad = true;
        const QByteArray lista = q.value(2).toByteArray();
        for (qsizetype a = 0; a < lista.size();) {
            qsizetype b = lista.indexOf(',', a);
            if (b < 0) b = lista.size();
            const QByteArray codigo = lista.sliced(a, b - a);
            a = b + 1;
            auto it = comoEspecie.constFind(codigo);
            if (it == comoEspecie.cend())
                it = comoEspecie.insert(
                    codigo, cuenta.Numero(QString::fromUtf8(QByteArray::fromHex(codigo))));
            if (conLocalidad) cuenta.Especie(ranura, *it);
        }
    }
    return true;
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
    // The keys are made alike in the count, so that the species of a square and of the
    // whole map are counted once each even when a square is stored both with and without
    // its zone, or a species under an older code. On a file the rows are read and counted
    // here; the server groups them itself, by hashing, and compares the codes by its own
    // locale's rules.
    Recuento cuenta(grid, std::move(aceptadas));
    bool sinLocalidad = false, leido = false;
    if (SqlDialect::De(db()) == SqlDialect::Motor::Sqlite &&
        !ContarLeyendo(cuenta, f, &r.registros, &sinLocalidad, &leido))
        return std::nullopt;
    if (!leido && !ContarAgrupando(cuenta, f, r.unaEspecie, &r.registros, &sinLocalidad))
        return std::nullopt;
    const QList<QPair<QString, QString>> claves = cuenta.Llenar(r, clases);

    // The observations not drawn are listed: those of the localities the map cannot place,
    // found through the localities (the index of observations used), and those whose
    // locality is gone. The squares are looked up as one list of pairs, not as a chain of
    // conditions tried on every locality: that grew with the squares times the localities.
    // The localities are first found by their stored code through its index (the column
    // compares without case, as the keys were made), not by working out the keys of every
    // locality; the keys then keep those whose zone and code were not drawn.
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
