#include "ImportStore.h"

#include "data/ModBaseDatos.h"
#include "data/ReferenceData.h"
#include "geo/Geodesy.h"
#include "geo/UtmSquares.h"
#include "localities/LocalityStore.h"
#include "observations/ObservationStore.h"

#include <QLocale>
#include <QSet>
#include <algorithm>

#include <cmath>

using Import::Record;

namespace {
// Reports are spaced so that telling the progress costs nothing next to the work.
constexpr int kCadaFilas = 256;

// A text the database would hold beyond the one limit of descriptions and names, counted in
// characters as the forms count them.
bool Largo(const QString &t) {
    if (t.size() <= ModBaseDatos::kMaximoTexto) return false;
    qsizetype caracteres = 0;
    for (const QChar c : t)
        caracteres += !c.isLowSurrogate();
    return caracteres > ModBaseDatos::kMaximoTexto;
}

// Whether a record known to `registro` metres around a point `distancia` metres away lies
// within a stored locality's circle. A locality of unknown uncertainty claims nothing, so
// takes any record; its uncertainty stays unknown.
bool DentroDe(const QVariant &registro, double distancia, const QVariant &localidad) {
    if (localidad.isNull()) return true;
    return !registro.isNull() && distancia + registro.toDouble() <= localidad.toDouble();
}

bool TextoLargo(const Record &r) {
    return Largo(r.descripcion) || Largo(r.lugar) || Largo(r.otros.value(QStringLiteral("MOTIVO")));
}

// The sheet's lookup values by their texts, where this database has them.
void ValoresDeListas(const Record &r, Observacion *o, ReferenceData &ref) {
    if (r.otros.isEmpty()) return;
    const QString clase = ref.BuscarEspecie(o->especie).value_or(ReferenceData::Especie{}).clase;
    auto id = [&](const char *columna, auto buscar) {
        const QString t = r.otros.value(QString::fromLatin1(columna));
        return t.isEmpty() ? 0 : buscar(t).value_or(0);
    };
    o->estadio = id("ESTADIO", [&](const QString &t) { return ref.IdEstadio(t, clase); });
    o->conducta = id("CONDUCTA", [&](const QString &t) { return ref.IdConducta(t, clase); });
    o->habitat = id("HABITAT", [&](const QString &t) { return ref.IdHabitat(t); });
    o->periodo = id("PERIODO", [&](const QString &t) { return ref.IdPeriodo(t); });
    o->meteo = id("METEO", [&](const QString &t) { return ref.IdMeteo(t); });
    o->viento = id("VIENTO", [&](const QString &t) { return ref.IdViento(t); });
}
} // namespace

ImportStore::ImportStore(QSqlDatabase db)
    : Store(db), localizador_(db), geo_(std::make_unique<Geodesy>()) {}

ImportStore::~ImportStore() = default;

QString ImportStore::TextoEstado(Estado e) {
    switch (e) {
    case Estado::Nueva:
        return QStringLiteral("nueva");
    case Estado::Duplicada:
        return QStringLiteral("duplicada");
    case Estado::SinEspecie:
        return QStringLiteral("especie no reconocida");
    case Estado::SinFecha:
        return QStringLiteral("sin fecha");
    case Estado::SinPosicion:
        return QStringLiteral("sin posición");
    case Estado::FueraDeEspana:
        return QStringLiteral("fuera de España");
    case Estado::TierraComun:
        return QStringLiteral("en tierras comunes, sin municipio");
    case Estado::ElegirMunicipio:
        return QStringLiteral("elija el municipio");
    case Estado::PosicionOculta:
        return QStringLiteral("posición oculta en iNaturalist");
    case Estado::Cautividad:
        return QStringLiteral("en cautividad");
    case Estado::TextoLargo:
        return QStringLiteral("descripción o nombre de más de %1 caracteres")
            .arg(QLocale(QLocale::Spanish).toString(ModBaseDatos::kMaximoTexto));
    }
    return QString();
}

bool ImportStore::Observadores(QStringList *codigos, QStringList *nombres) {
    QSqlQuery q;
    // The default observer first, then by code.
    if (!Ejecutar(q, QStringLiteral("SELECT o.cod_observador, coalesce(o.nombre, '') || ' ' || "
                                    "coalesce(o.apellido, ''), CASE WHEN d.cd_obs IS NULL THEN 1 "
                                    "ELSE 0 END AS orden FROM observador o LEFT JOIN DefaultObs d "
                                    "ON d.cd_obs = o.cod_observador ORDER BY orden, "
                                    "o.cod_observador")))
        return false;
    while (q.next()) {
        *codigos << q.value(0).toString();
        *nombres << q.value(1).toString().trimmed();
    }
    return true;
}

QStringList ImportStore::Especies() {
    ReferenceData ref(db());
    const QStringList r = ref.Especies();
    if (ref.fallo()) Anotar(ref);
    return r;
}

bool ImportStore::CargarMunicipios() {
    if (!municipios_.isEmpty()) return true;
    QSqlQuery q;
    if (!Ejecutar(q, QStringLiteral("SELECT id_muni, muni, prov FROM tmunicipio"))) return false;
    while (q.next())
        municipios_.insert(q.value(0).toInt(), {q.value(1).toString(), q.value(2).toInt()});
    return true;
}

QString ImportStore::NombreMunicipio(int id) {
    CargarMunicipios();
    return municipios_.value(id).first;
}

bool ImportStore::LocalidadesDe(int muni, const QList<Cercana> **lista) {
    auto it = localidades_.find(muni);
    if (it == localidades_.end()) {
        QSqlQuery q;
        if (!Ejecutar(q,
                      QStringLiteral(
                          "SELECT cod_localidad, localidad, utmhuso, utmx, utmy, "
                          "incertidumbre FROM localidad WHERE muni = ? AND utmx IS NOT NULL AND "
                          "utmy IS NOT NULL ORDER BY id_localidad"),
                      {muni}))
            return false;
        QList<Cercana> l;
        while (q.next())
            l.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString().trimmed(),
                      q.value(3).toLongLong(), q.value(4).toLongLong(),
                      q.value(5).isNull() ? QVariant() : QVariant(q.value(5).toInt())});
        it = localidades_.insert(muni, l);
    }
    *lista = &*it;
    return true;
}

bool ImportStore::Empezar() {
    cuadrados_.clear();
    if (!especiesCargadas_) {
        if (!especies_.Cargar()) {
            Anotar(especies_);
            return false;
        }
        QSqlQuery q;
        if (!Ejecutar(q, QStringLiteral("SELECT upper(cod_especie) FROM especie"))) return false;
        while (q.next())
            codigos_.insert(q.value(0).toString());
        especiesCargadas_ = true;
    }
    return CargarMunicipios();
}

bool ImportStore::Anadir(Record &&registro, QList<Fila> *filas) {
    Fila f;
    f.registro = std::move(registro);
    const Record &r = f.registro;
    for (const QString &texto : r.especies) {
        // A species code, as GPS users often name their waypoints ("BUFSPI").
        const QString codigo = texto.trimmed().toUpper();
        if (codigos_.contains(codigo)) {
            f.especie = especies_.Aceptado(codigo);
            break;
        }
        auto it = porTexto_.find(texto);
        if (it == porTexto_.end()) it = porTexto_.insert(texto, especies_.EnTexto(texto));
        if (*it) {
            f.especie = especies_.Aceptado((*it)->codigo);
            break;
        }
    }
    MunicipalityLocator::Lugar lugar;
    bool situado = false;
    if (r.geograficas) {
        lugar = localizador_.Localizar(r.lat, r.lon);
        f.huso = lugar.huso;
        f.este = lugar.este;
        f.norte = lugar.norte;
        // Few different 10-km squares among many points: one copy of each name.
        f.utm10k = *cuadrados_.insert(lugar.utm10k);
        f.utm1k = lugar.utm1k;
        situado = true;
    } else if (!r.huso.isEmpty() && !r.este.isNull() && !r.norte.isNull()) {
        // The sheet's own position is kept as written; the point only finds the
        // municipality.
        const auto g =
            geo_->AGeograficas({r.huso.toInt(), r.este.toDouble() + 0.5, r.norte.toDouble() + 0.5});
        const Utm::Squares c = Utm::CuadradosDe(
            db(), Utm::LeerPosicion(r.huso, r.este.toString(), r.norte.toString()));
        if (c.resultado == Utm::Outcome::ErrorBaseDatos) {
            Anotar(c.mensaje);
            return false;
        }
        if (g && c.resultado == Utm::Outcome::Calculado) {
            lugar = localizador_.Localizar(g->lat, g->lon);
            f.huso = r.huso.toInt();
            f.este = r.este.toLongLong();
            f.norte = r.norte.toLongLong();
            f.utm10k = c.utm10k;
            f.utm1k = c.utm1k;
            situado = true;
        }
    }
    if (lugar.resultado == MunicipalityLocator::Resultado::Error) {
        Anotar(localizador_);
        return false;
    }
    if (situado) {
        f.candidatos = lugar.municipios;
        f.tierraComun = !lugar.tierraComun.isEmpty();
        if (lugar.resultado == MunicipalityLocator::Resultado::Uno) f.muni = f.candidatos[0];
    } else {
        f.huso = 0;
    }
    filas->append(std::move(f));
    return true;
}

bool ImportStore::Terminar(QList<Fila> *filas, const QString &observador, const Avance &avance) {
    cuadrados_.clear();
    const bool ok = Evaluar(filas, observador, avance);
    if (!ok) filas->clear();
    return ok;
}

bool ImportStore::Preparar(QList<Record> registros, const QString &observador, QList<Fila> *filas,
                           const Avance &avance) {
    filas->clear();
    if (!Empezar()) return false;
    // Locating the points is half the work, evaluating them the other half.
    const qint64 total = 2 * registros.size();
    filas->reserve(registros.size());
    for (qsizetype i = 0; i < registros.size(); ++i) {
        if (i % kCadaFilas == 0 && !Avances::Seguir(avance, i, total)) {
            filas->clear();
            Anotar(Avances::kCancelado);
            return false;
        }
        if (!Anadir(std::move(registros[i]), filas)) {
            filas->clear();
            return false;
        }
    }
    registros.clear();
    const qint64 hechas = filas->size();
    return Terminar(filas, observador, [&](qint64 hecho, qint64) {
        return Avances::Seguir(avance, hechas + hecho, total);
    });
}

bool ImportStore::Evaluar(QList<Fila> *filas, const QString &observador, const Avance &avance) {
    struct Nueva {
        int muni;
        int huso;
        qint64 x, y;
        QString nombre;
    };
    QList<Nueva> nuevas;
    QHash<int, QList<int>> nuevasPorMunicipio;
    QSet<QString> vistas;
    QSet<QString> conFoto; // of those, the records of photos
    ObservationStore observaciones(db());
    ReferenceData ref(db());
    observaciones.ReutilizarSentencias();
    ref.ReutilizarSentencias();
    qint64 hecho = 0;
    for (Fila &f : *filas) {
        if (hecho++ % kCadaFilas == 0 && !Avances::Seguir(avance, hecho - 1, filas->size())) {
            Anotar(Avances::kCancelado);
            return false;
        }
        const Estado antes = f.estado;
        f.codigoLocalidad.clear();
        f.nombreLocalidad.clear();
        f.nueva = -1;
        if (f.registro.cautividad)
            f.estado = Estado::Cautividad;
        else if (f.registro.posicionOculta)
            f.estado = Estado::PosicionOculta;
        else if (TextoLargo(f.registro))
            f.estado = Estado::TextoLargo;
        else if (!f.registro.fecha.isValid())
            f.estado = Estado::SinFecha;
        else if (f.huso == 0)
            f.estado = Estado::SinPosicion;
        else if (f.candidatos.isEmpty())
            f.estado = f.tierraComun ? Estado::TierraComun : Estado::FueraDeEspana;
        else if (f.muni == 0 || !f.candidatos.contains(f.muni))
            f.estado = Estado::ElegirMunicipio;
        else if (f.especie.isEmpty())
            f.estado = Estado::SinEspecie;
        else
            f.estado = Estado::Nueva;
        if (f.estado != Estado::Nueva) {
            f.marcada = false;
            continue;
        }

        // The nearest stored locality of the municipality within the radius, in the same zone.
        const QList<Cercana> *guardadas = nullptr;
        if (!LocalidadesDe(f.muni, &guardadas)) return false;
        double mejor = kRadioLocalidad;
        for (const Cercana &c : *guardadas) {
            if (c.huso != QString::number(f.huso)) continue;
            const double d = std::hypot(double(c.x - f.este), double(c.y - f.norte));
            if (d <= mejor && DentroDe(f.registro.incertidumbre, d, c.incertidumbre)) {
                mejor = d;
                f.codigoLocalidad = c.codigo;
                f.nombreLocalidad = c.nombre;
            }
        }
        // Else one this file already brings, else a new one named after the record.
        if (f.codigoLocalidad.isEmpty()) {
            QList<int> &delMunicipio = nuevasPorMunicipio[f.muni];
            for (int i : std::as_const(delMunicipio)) {
                const Nueva &n = nuevas[i];
                if (n.huso == f.huso &&
                    std::hypot(double(n.x - f.este), double(n.y - f.norte)) <= kRadioLocalidad) {
                    f.nueva = i;
                    break;
                }
            }
            if (f.nueva < 0) {
                f.nueva = int(nuevas.size());
                delMunicipio << f.nueva;
                const QString lugar = f.registro.lugar.trimmed();
                nuevas.append({f.muni, f.huso, f.este, f.norte,
                               lugar.isEmpty() ? NombreMunicipio(f.muni) : lugar});
            }
            f.nombreLocalidad = nuevas[f.nueva].nombre;
        }

        // A record of another stage or behaviour of the same species is no duplicate.
        Observacion o;
        o.especie = f.especie;
        o.fecha = f.registro.fecha;
        o.localidad = f.codigoLocalidad;
        o.observador[0] = observador;
        ValoresDeListas(f.registro, &o, ref);
        if (ref.fallo()) {
            Anotar(ref);
            return false;
        }
        const QString clave = f.especie + u'|' + f.registro.fecha.toString(Qt::ISODate) + u'|' +
                              (f.codigoLocalidad.isEmpty() ? u'#' + QString::number(f.nueva)
                                                           : f.codigoLocalidad.toCaseFolded()) +
                              u'|' + QString::number(o.estadio) + u'|' +
                              QString::number(o.conducta);
        // Another photo of a record above joins its observation.
        const bool seUne = !f.registro.foto.isEmpty() && conFoto.contains(clave);
        bool duplicada = !seUne && vistas.contains(clave);
        if (!duplicada && !seUne && !f.codigoLocalidad.isEmpty()) {
            const auto existe = observaciones.ExisteIgual(o);
            if (!existe) {
                Anotar(observaciones);
                return false;
            }
            duplicada = *existe;
        }
        if (duplicada) {
            f.estado = Estado::Duplicada;
            f.marcada = false;
            continue;
        }
        if (antes != Estado::Nueva) f.marcada = true;
        if (f.marcada) vistas.insert(clave);
        if (f.marcada && !f.registro.foto.isEmpty()) conFoto.insert(clave);
    }
    return true;
}

std::optional<ImportStore::Resumen>
ImportStore::Guardar(QList<Fila> *filas, const QString &observador, const Avance &avance,
                     const PhotoStore::Opciones &opcionesFotos) {
    if (observador.trimmed().isEmpty()) {
        Anotar(QStringLiteral("Elija el observador de las observaciones."));
        return std::nullopt;
    }
    // What is stored is judged against the database as it is now.
    localidades_.clear();
    // Judging the rows again is a third of the work, storing them the rest.
    const qint64 total = 3 * filas->size();
    if (!Evaluar(filas, observador,
                 [&](qint64 hecho, qint64) { return Avances::Seguir(avance, hecho, total); }))
        return std::nullopt;
    Resumen resumen;
    ReferenceData ref(db());
    QHash<int, QString> creadas; // new locality of the file -> its code
    PhotoStore imagenes(db());
    const bool ok = EnTransaccion([&] {
        // The observation of each species, date and locality of the photos, and its photos.
        QHash<QString, int> unidas;
        QMap<int, QList<Foto>> fotos;
        ObservationStore observaciones(db());
        LocalityStore localidades(db());
        observaciones.ReutilizarSentencias();
        localidades.ReutilizarSentencias();
        ref.ReutilizarSentencias();
        int numero = observaciones.SiguienteNumero();
        if (observaciones.fallo()) {
            Anotar(observaciones);
            return false;
        }
        // The codes already taken that begin as the proposed ones, read once.
        QSet<QString> tomados;
        QSqlQuery q;
        if (!Ejecutar(q,
                      QStringLiteral("SELECT cod_localidad FROM localidad WHERE cod_localidad "
                                     "LIKE ? ESCAPE '\\'"),
                      {PatronEmpieza(observador)}))
            return false;
        while (q.next())
            tomados.insert(q.value(0).toString().toCaseFolded());
        creadas.clear();
        // Each new locality lies at its first ticked row; its circle holds every ticked
        // row's own, or is unknown when one of them is.
        struct Circulo {
            qint64 x, y;
            std::optional<double> radio;
        };
        QHash<int, Circulo> circulos;
        for (const Fila &f : std::as_const(*filas)) {
            if (f.estado != Estado::Nueva || !f.marcada || !f.codigoLocalidad.isEmpty()) continue;
            const QVariant &a = f.registro.incertidumbre;
            auto it = circulos.find(f.nueva);
            if (it == circulos.end()) it = circulos.insert(f.nueva, {f.este, f.norte, 0.0});
            if (!it->radio) continue;
            if (a.isNull())
                it->radio.reset();
            else
                it->radio = std::max(*it->radio,
                                     std::hypot(double(f.este - it->x), double(f.norte - it->y)) +
                                         a.toDouble());
        }
        qint64 vistas = 0;
        for (const Fila &f : std::as_const(*filas)) {
            if (++vistas % kCadaFilas == 0 &&
                !Avances::Seguir(avance, filas->size() + 2 * vistas, total)) {
                Anotar(Avances::kCancelado);
                return false;
            }
            if (f.estado != Estado::Nueva || !f.marcada) continue;
            QString codigo = f.codigoLocalidad;
            if (codigo.isEmpty()) {
                codigo = creadas.value(f.nueva);
                if (codigo.isEmpty()) {
                    // As the code prompt proposes: the observer's code and the next number.
                    do {
                        codigo = observador + QString::number(numero++);
                    } while (tomados.contains(codigo.toCaseFolded()));
                    tomados.insert(codigo.toCaseFolded());
                    Localidad l;
                    l.codigo = codigo;
                    l.nombre = f.nombreLocalidad;
                    l.muni = f.muni;
                    l.prov = municipios_.value(f.muni).second;
                    l.utmhuso = QString::number(f.huso);
                    l.utmx = f.este;
                    l.utmy = f.norte;
                    l.utm1k = f.utm1k;
                    l.utm10k = f.utm10k;
                    if (const auto radio = circulos.value(f.nueva).radio)
                        l.incertidumbre = int(std::ceil(*radio));
                    // Another user may take the number meanwhile: the next free one is.
                    const auto guardado =
                        localidades.InsertarConCodigoLibre(l, observador, numero - 1);
                    if (!guardado) {
                        Anotar(localidades);
                        return false;
                    }
                    codigo = *guardado;
                    numero = std::max(numero, codigo.mid(observador.size()).toInt() + 1);
                    creadas.insert(f.nueva, codigo);
                    ++resumen.localidades;
                }
            }
            const Record &r = f.registro;
            Observacion o;
            o.observador[0] = observador;
            for (int i = 1; i < 4; ++i)
                o.observador[i] = r.otros.value(QStringLiteral("OBSERVADOR%1").arg(i + 1));
            o.fecha = r.fecha;
            o.horaini = r.hora;
            o.horafin = r.otros.value(QStringLiteral("H.FINAL"));
            o.especie = f.especie;
            o.numejemp = r.numero;
            o.numaprox = r.aprox;
            o.descripcion = r.descripcion;
            o.motivo = r.otros.value(QStringLiteral("MOTIVO"));
            o.localidad = codigo;
            ValoresDeListas(r, &o, ref);
            std::optional<Foto> foto;
            if (!r.foto.isEmpty()) {
                // Each photo takes a while to reduce: the user may stop at any.
                if (!Avances::Seguir(avance, filas->size() + 2 * vistas, total)) {
                    Anotar(Avances::kCancelado);
                    return false;
                }
                QString error;
                foto = PhotoStore::Preparar(r.foto, opcionesFotos, &error);
                if (!foto) {
                    Anotar(error);
                    return false;
                }
            }
            if (!foto) {
                // Nothing to attach to it: the insert need not hand its identifier back.
                if (!observaciones.InsertarSinId(o)) {
                    Anotar(observaciones);
                    return false;
                }
                ++resumen.observaciones;
                continue;
            }
            const QString clave = f.especie + u'|' + r.fecha.toString(Qt::ISODate) + u'|' +
                                  codigo.toCaseFolded() + u'|' + QString::number(o.estadio) + u'|' +
                                  QString::number(o.conducta);
            int id = unidas.value(clave);
            if (id == 0) {
                const auto nueva = observaciones.Insertar(o);
                if (!nueva) {
                    Anotar(observaciones);
                    return false;
                }
                id = *nueva;
                ++resumen.observaciones;
                unidas.insert(clave, id);
            }
            fotos[id] << *foto;
        }
        for (auto it = fotos.cbegin(); it != fotos.cend(); ++it) {
            if (!imagenes.Asignar(it.key(), it.value())) {
                Anotar(imagenes);
                return false;
            }
            resumen.fotos += int(it.value().size());
        }
        return true;
    });
    localidades_.clear();
    if (!ok) {
        imagenes.Deshacer();
        return std::nullopt;
    }
    for (const Fila &f : std::as_const(*filas))
        if (f.estado != Estado::Nueva)
            ++resumen.omitidas[TextoEstado(f.estado)];
        else if (!f.marcada)
            ++resumen.omitidas[QStringLiteral("sin marcar")];
    // The grid now shows what the database holds: the stored rows as duplicates, and the
    // new localities stored under their codes.
    for (Fila &f : *filas) {
        if (f.estado != Estado::Nueva) continue;
        if (f.marcada) {
            f.estado = Estado::Duplicada;
            f.marcada = false;
        }
        if (f.codigoLocalidad.isEmpty() && creadas.contains(f.nueva)) {
            f.codigoLocalidad = creadas.value(f.nueva);
            f.nueva = -1;
        }
    }
    return resumen;
}
