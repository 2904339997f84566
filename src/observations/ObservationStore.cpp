#include "ObservationStore.h"

#include "data/PagedQueryModel.h"

#include "data/Clock.h"
#include "data/ModConex.h"
#include "observations/BinStore.h"

#include <QSqlError>

namespace {
// The stored columns in the order of the insert and of the update.
QVariantList Valores(const Observacion &o) {
    return {o.observador[0],
            o.observador[1],
            o.observador[2],
            o.observador[3],
            o.fecha.toString(Qt::ISODate),
            o.horaini,
            o.horafin,
            o.periodo,
            o.meteo,
            o.viento,
            o.especie,
            o.numejemp,
            o.numaprox ? 1 : 0,
            o.estadio,
            o.conducta,
            o.descripcion,
            o.motivo,
            o.habitat,
            o.localidad};
}
} // namespace

int ObservationStore::SiguienteNumero() {
    const auto v = Primero(QStringLiteral(
        "SELECT id_observacion FROM observacion ORDER BY id_observacion DESC LIMIT 1"));
    return v ? v->toInt() + 1 : 0;
}

std::optional<int> ObservationStore::Guardar(const Observacion &observacion,
                                             const std::optional<Localidad> &nueva,
                                             const std::optional<CodigoPropuesto> &propuesto,
                                             const QList<Foto> *fotos) {
    std::optional<int> id;
    Observacion o = observacion;
    codigoLocalidad_.clear();
    // One insert is a transaction of its own: on a server that spares two round trips of
    // every record saved.
    if (!nueva && (!fotos || fotos->isEmpty())) return Insertar(o);
    PhotoStore imagenes(db());
    const bool ok = EnTransaccion([&] {
        if (nueva) {
            if (!InsertarLocalidad(*nueva, propuesto, &codigoLocalidad_)) return false;
            o.localidad = codigoLocalidad_;
        }
        id = Insertar(o);
        if (id && fotos && !imagenes.Asignar(*id, *fotos)) {
            Anotar(imagenes);
            return false;
        }
        return id.has_value();
    });
    if (!ok) {
        imagenes.Deshacer();
        return std::nullopt;
    }
    return id;
}

bool ObservationStore::InsertarLocalidad(const Localidad &nueva,
                                         const std::optional<CodigoPropuesto> &propuesto,
                                         QString *codigo) {
    LocalityStore localidades(db());
    const bool renumerable =
        propuesto && nueva.codigo == propuesto->prefijo + QString::number(propuesto->numero);
    const auto guardado =
        renumerable
            ? localidades.InsertarConCodigoLibre(nueva, propuesto->prefijo, propuesto->numero)
        : localidades.Insertar(nueva) ? std::optional(nueva.codigo)
                                      : std::nullopt;
    if (!guardado) {
        Anotar(localidades);
        return false;
    }
    *codigo = *guardado;
    return true;
}

std::optional<QList<int>>
ObservationStore::GuardarVarias(const QList<Observacion> &observaciones,
                                const std::optional<Localidad> &nueva,
                                const std::optional<CodigoPropuesto> &propuesto) {
    QList<int> ids;
    codigoLocalidad_.clear();
    filaRechazada_ = -1;
    // The insert is prepared once for all the rows.
    ObservationStore lote(db());
    lote.ReutilizarSentencias();
    const bool ok = EnTransaccion([&] {
        ids.clear();
        if (nueva && !InsertarLocalidad(*nueva, propuesto, &codigoLocalidad_)) return false;
        for (qsizetype i = 0; i < observaciones.size(); ++i) {
            Observacion o = observaciones[i];
            if (nueva) o.localidad = codigoLocalidad_;
            const auto id = lote.Insertar(o);
            if (!id) {
                Anotar(lote);
                filaRechazada_ = int(i);
                return false;
            }
            ids << *id;
        }
        return true;
    });
    if (!ok) return std::nullopt;
    return ids;
}

bool ObservationStore::CabenTextos(const Observacion &o) {
    return Cabe(QStringLiteral("La descripción"), o.descripcion) &&
           Cabe(QStringLiteral("El motivo"), o.motivo);
}

namespace {
const QString kInsertar =
    QStringLiteral("INSERT INTO observacion (observador1, observador2, observador3, observador4, "
                   "fecha, horaini, horafin, periodo, meteo, viento, especie, numejemp, "
                   "numaprox, estadio, conducta, descripcion, motivo, habitat, localidad) "
                   "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
} // namespace

std::optional<int> ObservationStore::Insertar(const Observacion &o) {
    static const QString sql = kInsertar + QStringLiteral(" RETURNING id_observacion");
    if (!CabenTextos(o)) return std::nullopt;
    QSqlQuery q;
    if (!Ejecutar(q, sql, Valores(o))) return std::nullopt;
    if (!q.next()) {
        Anotar(DescribirError(q.lastError()));
        return std::nullopt;
    }
    const int id = q.value(0).toInt();
    // Done with the statement: a kept one still running would stop the commit.
    q.finish();
    return id;
}

bool ObservationStore::InsertarSinId(const Observacion &o) {
    if (!CabenTextos(o)) return false;
    QSqlQuery q;
    return Ejecutar(q, kInsertar, Valores(o));
}

namespace {
const QString kNoExiste = QStringLiteral("La observación ya no existe en la base de datos.");

// Every stored value of the row as one text (null distinct from empty, letter case kept),
// the same on both engines: what a user saw when the form loaded it.
QString Huella() {
    static const QString huella = [] {
        QStringList partes;
        for (const char *c :
             {"observador1", "observador2", "observador3", "observador4", "fecha", "horaini",
              "horafin", "periodo", "meteo", "viento", "especie", "numejemp", "numaprox", "estadio",
              "conducta", "descripcion", "motivo", "habitat", "localidad"})
            partes
                << QStringLiteral("coalesce('=' || CAST(%1 AS TEXT), '-')").arg(QLatin1String(c));
        return partes.join(QStringLiteral(" || '|' || "));
    }();
    return huella;
}

Column C(const char *expresion, const char *titulo, const char *cabecera,
         Column::Formato formato = Column::Formato::Texto) {
    return {QString::fromUtf8(expresion), QString::fromUtf8(titulo), QString::fromUtf8(cabecera),
            formato};
}
} // namespace

const ColumnTable &ObservationStore::ColumnasConsulta() {
    using F = Column::Formato;
    static const ColumnTable columnas = {
        C("o.fecha AS fecha", "fecha", "FECHA", F::Fecha),
        C("e.n_especie AS especie", "especie", "ESPECIE"),
        C("et.estad_cast AS estadio", "estadio", "ESTADIO"),
        C("c.conduct_cast AS conducta", "conducta", "CONDUCTA"),
        C("loc.localidad AS localidad", "localidad", "LOCALIDAD"),
        C("loc.utmx AS utmx", "utmx", "LONGITUD", F::Entero),
        C("loc.utmy AS utmy", "utmy", "LATITUD", F::Entero),
        C("loc.utmhuso AS huso", "huso", "HUSO", F::Entero),
        C("loc.utm10k AS utm10k", "utm10k", "UTM10K"),
        C("loc.utm1k AS utm1k", "utm1k", "UTM1K"),
        C("pr.prov_cast AS prov", "prov", "PROVINCIA"),
        C("mu.muni AS muni", "muni", "MUNICIPIO"),
        C("o.motivo AS motivo", "motivo", "MOTIVO"),
        C("o.numejemp AS numejemp", "numejemp", "EJEMPLARES", F::Entero),
        C("o.numaprox AS numaprox", "numaprox", "APROX.", F::SiNo),
        C("o.descripcion AS descripcion", "descripcion", "DESCRIPCION"),
        C("h.habitat AS habitat", "habitat", "HABITAT"),
        C("o.observador1 AS observador1", "observador1", "OBSERVADOR1"),
        C("o.observador2 AS observador2", "observador2", "OBSERVADOR2"),
        C("o.observador3 AS observador3", "observador3", "OBSERVADOR3"),
        C("o.observador4 AS observador4", "observador4", "OBSERVADOR4"),
        C("o.horaini AS horaini", "horaini", "H.INICIAL"),
        C("o.horafin AS horafin", "horafin", "H.FINAL"),
        C("p.period_cast AS periodo", "periodo", "PERIODO"),
        C("me.meteo_cast AS meteo", "meteo", "METEO"),
        C("v.viento AS viento", "viento", "VIENTO"),
        C("o.verificacion AS verificacion", "verificacion", "VERIFICACION"),
        C("o.id_observacion AS id_observacion", "id_observacion", "ID", F::Entero),
        C("(SELECT count(*) FROM foto f WHERE f.observacion = o.id_observacion) AS fotos", "fotos",
          "FOTOS", F::Entero),
    };
    return columnas;
}

int ObservationStore::ColumnaId() {
    return int(ColumnasConsulta().size()) - 2;
}

QString ObservationStore::Desde(const ObservationFilter &f, QVariantList &valores,
                                bool soloFiltros) const {
    const bool provincia = !f.provincia.trimmed().isEmpty();
    const bool observador = !f.observador.trimmed().isEmpty();
    const bool lugar =
        provincia || !f.utm10k.trimmed().isEmpty() || !f.localidad.trimmed().isEmpty();
    // Outer joins: an observation stays listed when a value it refers to is missing. Each
    // joins on a unique key, so a count needs only the ones its filters read.
    QString sql = QStringLiteral(" FROM observacion o");
    const auto unir = [&](bool necesaria, const char *union_) {
        if (necesaria || !soloFiltros) sql += QLatin1String(union_);
    };
    unir(lugar, " LEFT JOIN localidad loc ON loc.cod_localidad = o.localidad");
    unir(observador, " LEFT JOIN observador obs ON obs.cod_observador = o.observador1");
    unir(false, " LEFT JOIN tperiodo p ON p.id_periodo = o.periodo"
                " LEFT JOIN especie e ON e.cod_especie = o.especie"
                " LEFT JOIN tbeaufort v ON v.id_beaufort = o.viento"
                " LEFT JOIN tmeteo me ON me.id_meteo = o.meteo"
                " LEFT JOIN testadio et ON et.id_estadio = o.estadio"
                " LEFT JOIN tconducta c ON c.id_conducta = o.conducta"
                " LEFT JOIN thabitat h ON h.id_habitat = o.habitat");
    unir(provincia, " LEFT JOIN tprovincia pr ON pr.id_prov = loc.prov");
    unir(false, " LEFT JOIN tmunicipio mu ON mu.id_muni = loc.muni");
    QStringList condiciones;
    auto filtro = [&](bool presente, const char *condicion, const QVariant &valor) {
        if (!presente) return;
        condiciones << QString::fromLatin1(condicion);
        valores << valor;
    };
    filtro(f.desde.isValid(), "o.fecha >= ?", f.desde.toString(Qt::ISODate));
    filtro(f.hasta.isValid(), "o.fecha <= ?", f.hasta.toString(Qt::ISODate));
    filtro(!f.observador.trimmed().isEmpty(),
           "(coalesce(obs.nombre, '') || ' ' || coalesce(obs.apellido, '')) LIKE ? ESCAPE '\\'",
           PatronContiene(f.observador));
    filtro(!f.especie.trimmed().isEmpty(), "o.especie = ?", f.especie);
    filtro(!f.provincia.trimmed().isEmpty(), "pr.prov_cast = ?", f.provincia);
    filtro(!f.utm10k.trimmed().isEmpty(), "loc.utm10k = ?", f.utm10k);
    filtro(!f.localidad.trimmed().isEmpty(), "loc.localidad = ?", f.localidad);
    if (!condiciones.isEmpty()) sql += QStringLiteral(" WHERE ") + condiciones.join(" AND ");
    return sql;
}

QString ObservationStore::Sentencia(const ObservationFilter &f, QVariantList &valores) const {
    // The paged grid's key (Consultar) is this order's columns.
    return QStringLiteral("SELECT ") + ColumnasConsulta().ListaSelect() + Desde(f, valores, false) +
           QStringLiteral(" ORDER BY o.fecha, o.id_observacion");
}

QSqlQuery ObservationStore::Consultar(const ObservationFilter &f, bool desplazable) {
    QVariantList valores;
    const QString sql = Sentencia(f, valores);
    QSqlQuery q;
    if (desplazable) {
        // Not through Ejecutar: a grid's model needs a query it can scroll back.
        q = Store::Consultar(sql, valores);
    } else {
        Ejecutar(q, sql, valores);
    }
    return q;
}

bool ObservationStore::Consultar(PagedQueryModel *modelo, const ObservationFilter &f) {
    QVariantList valores;
    const QString sql = Sentencia(f, valores);
    QString error;
    // Ordered by date and identifier: the result's first column and the identifier's.
    if (modelo->Abrir(db(), sql, valores, {0, ColumnaId()}, &error)) return true;
    Anotar(error);
    return false;
}

std::optional<int> ObservationStore::Contar(const ObservationFilter &f) {
    QVariantList valores;
    const QString desde = Desde(f, valores, true);
    const auto n = Primero(QStringLiteral("SELECT count(*)") + desde, valores);
    if (!n) return std::nullopt;
    return n->toInt();
}

QStringList ObservationStore::EspeciesObservadas() {
    return Columna(QStringLiteral("SELECT DISTINCT especie FROM observacion WHERE "
                                  "trim(coalesce(especie, '')) <> '' ORDER BY especie"));
}

std::optional<Observacion> ObservationStore::Cargar(int id, QString *huella) {
    QSqlQuery q;
    if (!Ejecutar(q,
                  QStringLiteral("SELECT observador1, observador2, observador3, observador4, "
                                 "fecha, horaini, horafin, periodo, meteo, viento, especie, "
                                 "numejemp, numaprox, estadio, conducta, descripcion, motivo, "
                                 "habitat, localidad, ") +
                      Huella() + QStringLiteral(" FROM observacion WHERE id_observacion = ?"),
                  {id}) ||
        !q.next())
        return std::nullopt;
    Observacion o;
    for (int i = 0; i < 4; ++i)
        o.observador[i] = q.value(i).toString();
    o.fecha = QDate::fromString(q.value(4).toString().left(10), Qt::ISODate);
    o.horaini = q.value(5).toString();
    o.horafin = q.value(6).toString();
    o.periodo = q.value(7).toInt();
    o.meteo = q.value(8).toInt();
    o.viento = q.value(9).toInt();
    o.especie = q.value(10).toString();
    o.numejemp = q.value(11).isNull() ? QVariant() : QVariant(q.value(11).toLongLong());
    o.numaprox = q.value(12).toInt() != 0;
    o.estadio = q.value(13).toInt();
    o.conducta = q.value(14).toInt();
    o.descripcion = q.value(15).toString();
    o.motivo = q.value(16).toString();
    o.habitat = q.value(17).toInt();
    o.localidad = q.value(18).toString();
    if (huella) *huella = q.value(19).toString();
    return o;
}

bool ObservationStore::Actualizar(int id, const Observacion &o, const QString &huella,
                                  const QList<Foto> *fotos) {
    modificadaPorOtro_ = false;
    if (!CabenTextos(o)) return false;
    QVariantList valores = Valores(o) << id;
    QString comprobar;
    if (!huella.isEmpty()) {
        comprobar = QStringLiteral(" AND ") + Huella() + QStringLiteral(" = ?");
        valores << huella;
    }
    PhotoStore imagenes(db());
    const bool ok = EnTransaccion([&] {
        QSqlQuery q;
        if (!Ejecutar(
                q,
                QStringLiteral("UPDATE observacion SET observador1 = ?, observador2 = ?, "
                               "observador3 = ?, observador4 = ?, fecha = ?, horaini = ?, "
                               "horafin = ?, periodo = ?, meteo = ?, viento = ?, especie = ?, "
                               "numejemp = ?, numaprox = ?, estadio = ?, conducta = ?, "
                               "descripcion = ?, motivo = ?, habitat = ?, localidad = ? "
                               "WHERE id_observacion = ?") +
                    comprobar,
                valores))
            return false;
        // Deleted from the query meanwhile, or changed by someone else: not a success.
        if (q.numRowsAffected() == 0) {
            const auto existe =
                Primero(QStringLiteral("SELECT 1 FROM observacion WHERE id_observacion = ?"), {id});
            if (fallo()) return false;
            modificadaPorOtro_ = existe.has_value();
            Anotar(existe ? QStringLiteral("La observación ha sido modificada por otro usuario "
                                           "desde que se abrió.")
                          : kNoExiste);
            return false;
        }
        if (fotos && !imagenes.Asignar(id, *fotos)) {
            Anotar(imagenes);
            return false;
        }
        return true;
    });
    if (!ok) imagenes.Deshacer();
    return ok;
}

bool ObservationStore::Suprimir(int id) {
    // Into the bin, with its photos' rows; the pictures stay, as another may show them too.
    return EnTransaccion([&] {
        BinStore papelera(db());
        if (papelera.Mover(id, Clock::Ahora())) return true;
        Anotar(papelera);
        return false;
    });
}

std::optional<bool> ObservationStore::ExisteIgual(const Observacion &o, int excepto) {
    const auto n =
        Primero(QStringLiteral("SELECT count(*) FROM observacion WHERE especie = ? AND "
                               "fecha = ? AND localidad = ? AND observador1 = ? AND "
                               "coalesce(estadio, 0) = ? AND coalesce(conducta, 0) = ? AND "
                               "id_observacion <> ?"),
                {o.especie, o.fecha.toString(Qt::ISODate), o.localidad, o.observador[0], o.estadio,
                 o.conducta, excepto});
    if (!n) return std::nullopt;
    return n->toInt() > 0;
}

std::optional<QList<bool>>
ObservationStore::ExistenIguales(const QList<Observacion> &observaciones) {
    // The stored species, stages and behaviours of each visit, read once.
    QHash<QString, QSet<QString>> visitas;
    const auto clave = [](const Observacion &o, int estadio, int conducta) {
        // Species codes compare as the column does, whatever their case.
        return QStringLiteral("%1|%2|%3").arg(o.especie.toUpper()).arg(estadio).arg(conducta);
    };
    QList<bool> r;
    for (const Observacion &o : observaciones) {
        const QString visita =
            QStringList{o.fecha.toString(Qt::ISODate), o.localidad, o.observador[0]}.join(u'\x1f');
        if (!visitas.contains(visita)) {
            QSqlQuery q;
            if (!Ejecutar(q,
                          QStringLiteral("SELECT especie, coalesce(estadio, 0), "
                                         "coalesce(conducta, 0) FROM observacion WHERE "
                                         "fecha = ? AND localidad = ? AND observador1 = ?"),
                          {o.fecha.toString(Qt::ISODate), o.localidad, o.observador[0]}))
                return std::nullopt;
            QSet<QString> &guardadas = visitas[visita];
            while (q.next()) {
                Observacion e;
                e.especie = q.value(0).toString();
                guardadas.insert(clave(e, q.value(1).toInt(), q.value(2).toInt()));
            }
        }
        r << visitas[visita].contains(clave(o, o.estadio, o.conducta));
    }
    return r;
}
