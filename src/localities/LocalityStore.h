#pragma once

#include "data/ColumnTable.h"
#include "data/Store.h"

// A place as the forms show it: its row joined to its province and municipality names.
struct Localidad {
    int idLocalidad = 0;
    QString codigo;
    QString nombre;
    int prov = 0;
    int muni = 0;
    QVariant utmx, utmy; // null when not given
    QString utmhuso;
    QString utm1k;
    QString utm10k;
    QString provincia;      // prov_cast
    QString municipio;      // muni
    QVariant incertidumbre; // whole metres around the point; null when unknown
};

class LocalityStore : public Store {
public:
    using Store::Store;

    // The greatest uncertainty a locality takes: half the Earth's circumference.
    static constexpr int kIncertidumbreMaxima = 20000000;
    // An uncertainty as typed: null when empty, whole metres from 1 to the greatest;
    // nothing, with the reason in `motivo`, for anything else.
    static std::optional<QVariant> LeerIncertidumbre(const QString &texto, QString *motivo);

    // Columns of the locality list, in the grid's order, with the spreadsheet's headers.
    static const ColumnTable &ColumnasLista();

    // Localities whose code begins with `codigo` and whose name contains `nombre` (an empty
    // text is no filter), sorted by code; case is ignored, % and _ taken literally. Only
    // localities whose province and municipality exist are listed. The query is executed;
    // on failure it is inactive, error() set.
    QSqlQuery Buscar(const QString &codigo, const QString &nombre);

    // Every locality name, sorted.
    QStringList Nombres();
    // Every locality's name and identifier, sorted by name: for lists where names may
    // repeat. Read from the name index alone, so as fast as the names; the identifiers as
    // numbers, as a text each would cost more than the names on a large file.
    bool NombresEIdentificadores(QStringList &nombres, QVariantList &ids);
    // The locality of exactly that stored name, when its province and municipality exist.
    std::optional<Localidad> PorNombre(const QString &nombre);
    std::optional<Localidad> PorIdentificador(int id);
    // The locality of that code (codes compare ignoring case).
    std::optional<Localidad> PorCodigo(const QString &codigo);
    // Whether a locality has the code (codes compare ignoring case, as the database does).
    bool CodigoExiste(const QString &codigo);
    // The locality of that identifier, when its province and municipality exist.
    std::optional<Localidad> PorId(int idLocalidad);
    // Inserts inside the caller's transaction; false and error() on failure.
    bool Insertar(const Localidad &l);
    // Inserts with the code prefijo + numero, or the next free number when another user
    // holds that code; returns the code stored (nothing, error() set, on failure).
    std::optional<QString> InsertarConCodigoLibre(Localidad l, const QString &prefijo, int numero);
    // Stores every field but the code; fails, saying so, when the locality is gone.
    bool Actualizar(const Localidad &l);

private:
    std::optional<Localidad> Leer(const QString &condicion, const QVariant &valor);
};
