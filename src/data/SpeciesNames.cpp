#include "SpeciesNames.h"

#include <QRegularExpression>
#include <QSet>

QString SpeciesNames::Normalizar(const QString &texto) {
    const QString descompuesto = texto.normalized(QString::NormalizationForm_D);
    QString r;
    r.reserve(descompuesto.size());
    for (const QChar c : descompuesto)
        if (c.category() != QChar::Mark_NonSpacing) r += c;
    static const QRegularExpression blancos(QStringLiteral("\\s+"));
    return r.toCaseFolded().replace(blancos, QStringLiteral(" ")).trimmed();
}

bool SpeciesNames::Cargar() {
    nombres_.clear();
    aceptado_.clear();
    cientifico_.clear();
    QSqlQuery q;
    if (!Ejecutar(q, QStringLiteral("SELECT cod_especie, n_especie, sinonimo_de FROM especie")))
        return false;
    while (q.next()) {
        const QString codigo = q.value(0).toString().toUpper();
        const QString aceptado = q.value(2).toString().toUpper();
        cientifico_.insert(codigo, q.value(1).toString());
        if (aceptado.isEmpty()) continue;
        aceptado_.insert(codigo, aceptado);
        // An older code still finds its species.
        nombres_.append({aceptado, codigo, Normalizar(codigo), true});
    }
    if (!Ejecutar(q, QStringLiteral("SELECT upper(cod_especie), nombre, tipo FROM "
                                    "especie_nombre ORDER BY cod_especie, rowid")))
        return false;
    while (q.next()) {
        const QString nombre = q.value(1).toString();
        nombres_.append({q.value(0).toString(), nombre, Normalizar(nombre),
                         q.value(2).toString() == QLatin1String("sinonimo")});
    }
    return true;
}

QList<SpeciesNames::Coincidencia> SpeciesNames::Buscar(const QString &texto) const {
    const QString clave = Normalizar(texto);
    if (clave.size() < 2) return {};
    struct Mejor {
        Coincidencia c;
        int rango; // 0 exact, 1 beginning, 2 anywhere
        bool soloSinonimos = true;
    };
    QHash<QString, Mejor> porCodigo;
    for (const Nombre &n : nombres_) {
        const qsizetype donde = n.clave.indexOf(clave);
        if (donde < 0) continue;
        const int rango = n.clave == clave ? 0 : (donde == 0 ? 1 : 2);
        auto it = porCodigo.find(n.codigo);
        if (it == porCodigo.end()) {
            porCodigo.insert(n.codigo, {{n.codigo, n.nombre, n.sinonimo}, rango, n.sinonimo});
            continue;
        }
        // A current name beats an older one; a closer match beats a looser one.
        const bool mejor = (it->soloSinonimos && !n.sinonimo) ||
                           (it->soloSinonimos == n.sinonimo && rango < it->rango);
        if (!n.sinonimo) it->soloSinonimos = false;
        if (mejor) {
            it->c.nombre = n.nombre;
            it->rango = rango;
        }
        it->c.sinonimo = it->soloSinonimos;
    }
    QList<Mejor> lista = porCodigo.values();
    std::sort(lista.begin(), lista.end(), [](const Mejor &a, const Mejor &b) {
        const int ra = std::min(a.rango, 1), rb = std::min(b.rango, 1);
        return ra != rb ? ra < rb : a.c.codigo < b.c.codigo;
    });
    QList<Coincidencia> r;
    for (const Mejor &m : lista)
        r << m.c;
    return r;
}

std::optional<SpeciesNames::Coincidencia> SpeciesNames::Exacto(const QString &texto) const {
    const QString clave = Normalizar(texto);
    if (clave.isEmpty()) return std::nullopt;
    std::optional<Coincidencia> r;
    for (const Nombre &n : nombres_) {
        if (n.clave != clave) continue;
        if (r && r->codigo != n.codigo) return std::nullopt;
        // A current name of the species wins over an older one spelt the same.
        if (!r || (r->sinonimo && !n.sinonimo)) r = Coincidencia{n.codigo, n.nombre, n.sinonimo};
    }
    return r;
}

std::optional<SpeciesNames::Coincidencia> SpeciesNames::EnTexto(const QString &texto) const {
    if (auto r = Exacto(texto)) return r;
    // Words only: punctuation and digits around a name do not hide it.
    QString t = Normalizar(texto);
    for (QChar &c : t)
        if (!c.isLetter()) c = u' ';
    t = u' ' + t.simplified() + u' ';
    std::optional<Coincidencia> r;
    qsizetype largo = 0;
    bool empate = false;
    for (const Nombre &n : nombres_) {
        // Names of a few letters are too easily found by chance.
        if (n.clave.size() < 4 || n.clave.size() < largo) continue;
        if (!t.contains(u' ' + n.clave + u' ')) continue;
        if (n.clave.size() > largo) {
            largo = n.clave.size();
            r = Coincidencia{n.codigo, n.nombre, n.sinonimo};
            empate = false;
        } else if (r->codigo != n.codigo) {
            empate = true;
        }
    }
    if (empate) return std::nullopt;
    return r;
}

QString SpeciesNames::Aceptado(const QString &codigo) const {
    return aceptado_.value(codigo.toUpper(), codigo.toUpper());
}

QString SpeciesNames::NombreCientifico(const QString &codigo) const {
    return cientifico_.value(codigo.toUpper());
}
