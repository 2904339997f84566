#pragma once

#include "data/ColumnTable.h"
#include "data/Store.h"
#include "localities/LocalityStore.h"
#include "photos/PhotoStore.h"

#include <QDate>

struct Observacion {
    QString observador[4];
    QDate fecha;
    QString horaini, horafin; // hh:mm
    int periodo = 0, meteo = 0, viento = 0;
    QString especie;
    QVariant numejemp; // null when not given
    bool numaprox = false;
    int estadio = 0, conducta = 0;
    QString descripcion;
    QString motivo;
    int habitat = 0;
    QString localidad; // cod_localidad
};

// The query's filters; an empty value (a null date) is no filter.
struct ObservationFilter {
    QDate desde, hasta;
    QString observador; // found anywhere in the first observer's name and surname
    QString especie;    // species code
    QString provincia, utm10k, localidad;
};

class PagedQueryModel;

class ObservationStore : public Store {
public:
    using Store::Store;

    // The highest observation number plus one, 0 on an empty table; proposes locality codes.
    int SiguienteNumero();

    // The locality code the program proposed: a prefix and a number.
    struct CodigoPropuesto {
        QString prefijo;
        int numero = 0;
    };
    // Stores the observation, and first the new locality when there is one: both or
    // neither. Returns the new observation's identifier, or nothing with error() set.
    // When the new locality's code is the program's proposal and another user took it
    // meanwhile, the next free number is taken (codigoLocalidad() then says which).
    // Given photos are stored with it, in the same transaction.
    std::optional<int> Guardar(const Observacion &o, const std::optional<Localidad> &nueva,
                               const std::optional<CodigoPropuesto> &propuesto = std::nullopt,
                               const QList<Foto> *fotos = nullptr);
    // Stores the observations of one visit, and first the new locality when there is one
    // (its code then in each), in one transaction: all or none. Each observation is checked
    // as Guardar checks one; when one is refused, filaRechazada() says which (from 0) and
    // error() why. Returns the new identifiers in order.
    std::optional<QList<int>>
    GuardarVarias(const QList<Observacion> &observaciones, const std::optional<Localidad> &nueva,
                  const std::optional<CodigoPropuesto> &propuesto = std::nullopt);
    // The observation the last GuardarVarias refused, -1 when none was (the locality, or
    // the transaction itself, failed).
    int filaRechazada() const { return filaRechazada_; }
    // The code the new locality of the last Guardar was stored with.
    const QString &codigoLocalidad() const { return codigoLocalidad_; }
    // Inserts the observation inside the caller's transaction: its identifier, or nothing
    // with error() set.
    std::optional<int> Insertar(const Observacion &o);
    // The same when the identifier is not wanted, false with error() set: without a
    // RETURNING clause SQLite builds no table of the rows to hand back for each insert.
    bool InsertarSinId(const Observacion &o);

    // Columns of the observation query: its grid and its spreadsheet, in that order; the
    // identifier, then the number of photos, last.
    static const ColumnTable &ColumnasConsulta();
    // Column of the identifier in ColumnasConsulta().
    static int ColumnaId();

    // The observations that pass the filters, sorted by date then identifier, with every
    // observation listed even when a value it refers to is missing (then empty). Executed;
    // inactive with error() set on failure. A scrollable query feeds a grid.
    QSqlQuery Consultar(const ObservationFilter &f, bool desplazable);
    // The same rows into a grid's model, read as the grid scrolls; false with error() set.
    bool Consultar(PagedQueryModel *modelo, const ObservationFilter &f);
    // How many observations Consultar lists.
    std::optional<int> Contar(const ObservationFilter &f);
    // The species codes that occur in observations, sorted.
    QStringList EspeciesObservadas();

    // The stored observation; nothing when it is gone (error() empty) or the read failed.
    // *huella takes the row as stored, for Actualizar to see whether someone changed it.
    std::optional<Observacion> Cargar(int id, QString *huella = nullptr);
    // Rewrites every value of the observation; fails (error() says why) when it is gone or,
    // given the huella of its loading, when another user changed it since
    // (modificadaPorOtro()). Given photos replace the stored ones in the same transaction.
    bool Actualizar(int id, const Observacion &o, const QString &huella = QString(),
                    const QList<Foto> *fotos = nullptr);
    bool modificadaPorOtro() const { return modificadaPorOtro_; }
    // Whether another stored observation has the same species, stage, behaviour, date,
    // locality and first observer (0: none to leave out); nothing when the statement failed.
    std::optional<bool> ExisteIgual(const Observacion &o, int excepto = 0);
    // The same for each observation of a visit: one statement for those that share date,
    // locality and first observer; nothing when a statement failed.
    std::optional<QList<bool>> ExistenIguales(const QList<Observacion> &observaciones);
    // Moves the observation, with its photos' rows, into the bin (BinStore).
    bool Suprimir(int id);

private:
    // The free texts within the one limit; false (error() set) otherwise.
    bool CabenTextos(const Observacion &o);
    // Inside a transaction: the new locality, its code (renumbered if taken) in *codigo.
    bool InsertarLocalidad(const Localidad &nueva, const std::optional<CodigoPropuesto> &propuesto,
                           QString *codigo);
    int filaRechazada_ = -1;
    bool modificadaPorOtro_ = false;
    QString codigoLocalidad_;
    // The FROM and WHERE of the query: every join, or only those its filters read.
    QString Desde(const ObservationFilter &f, QVariantList &valores, bool soloFiltros) const;
    // The query's statement, every row in the grid's order.
    QString Sentencia(const ObservationFilter &f, QVariantList &valores) const;
};
