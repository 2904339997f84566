#pragma once

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
    QString provincia; // prov_cast
    QString municipio; // muni
};

class LocalityStore : public Store {
public:
    using Store::Store;

    // Every locality name, sorted.
    QStringList Nombres();
    // Every locality's name and identifier, sorted by name: for lists where names may
    // repeat. Read from the name index alone, so as fast as the names.
    bool NombresEIdentificadores(QStringList &nombres, QStringList &ids);
    // The locality of exactly that stored name, when its province and municipality exist.
    std::optional<Localidad> PorNombre(const QString &nombre);
    std::optional<Localidad> PorIdentificador(int id);
    // The locality of that code (codes compare ignoring case).
    std::optional<Localidad> PorCodigo(const QString &codigo);
    // Whether a locality has the code (codes compare ignoring case, as the database does).
    bool CodigoExiste(const QString &codigo);
    // Inserts inside the caller's transaction; false and error() on failure.
    bool Insertar(const Localidad &l);

private:
    std::optional<Localidad> Leer(const QString &condicion, const QString &valor);
};
