#pragma once

#include "atlas/MapGrid.h"
#include "data/Store.h"

#include <QDate>

// What the distribution map shows; an empty value (a null date) is no filter.
struct MapFilter {
    QString especie; // species code; empty: all species, each counted once
    QDate desde, hasta;
    QString observador; // found in the name of any of the four observers
};

// Recency classes by the year of a square's latest record, and the graded richness classes.
struct ClasesMapa {
    int corte1 = 2000; // older records: before this year
    int corte2 = 2015; // recent records: from this year on
    static constexpr int kClasesRiqueza = 5;
    // 0: before corte1 (or undated), 1: corte1 up to corte2 - 1, 2: corte2 on.
    int ClaseAnyo(int anyo) const;
    // 0: 1 species, 1: 2-3, 2: 4-7, 3: 8-15, 4: 16 or more.
    static int ClaseRiqueza(int especies);
    static QString RangoRiqueza(int clase); // "4-7"
};

// One observation as the map's lists show it.
struct FilaMapa {
    int id = 0;
    QString fecha; // ISO
    QString especie, localidad, observadores;
    QString cuadrado; // the stored square code (for the unknown ones)
};

struct MapResult {
    struct Celda {
        int cuadrado = -1; // index in MapGrid::Cuadrados()
        int registros = 0;
        int especies = 0;
        QString ultima; // ISO date of the latest record, empty when none is dated
        int clase = 0;
    };
    std::vector<Celda> celdas; // squares with records
    int registros = 0;         // every observation passing the filters
    int especies = 0;
    int sinCuadricula = 0;             // observations whose locality has no 10-km square
    int desconocidos = 0;              // ... or a code the grid does not know (or of another zone)
    std::vector<FilaMapa> sinCuadrado; // both kinds, listed
    bool unaEspecie = false;
    // The cell of a square, or null.
    const Celda *CeldaDe(int cuadrado) const;
};

// The statements of the distribution map.
class AtlasStore : public Store {
public:
    using Store::Store;

    // Squares and counts for the filters; nothing, with error() set, when a statement failed.
    std::optional<MapResult> Calcular(const MapGrid &grid, const MapFilter &f,
                                      const ClasesMapa &clases);
    // The observations that passing the filters fall in one square, by date.
    std::optional<std::vector<FilaMapa>> ObservacionesDe(const MapGrid &grid, int cuadrado,
                                                         const MapFilter &f);

private:
    class Recuento;
    // The filters' conditions (" WHERE ..."), on the observations alone.
    QString Filtros(const MapFilter &f, QVariantList &valores) const;
    QString Desde(const MapFilter &f, QVariantList &valores, bool conEspecie = true) const;
    // The counts from the rows themselves (SQLite); *leido false when its rows could not be
    // read directly, and nothing was counted.
    bool ContarLeyendo(Recuento &cuenta, const MapFilter &f, int *registros, bool *sinLocalidad,
                       bool *leido);
    // The counts from a statement that groups them.
    bool ContarAgrupando(Recuento &cuenta, const MapFilter &f, bool unaEspecie, int *registros,
                         bool *sinLocalidad);
    bool Listar(const QString &condicion, const QVariantList &extra, const MapFilter &f,
                std::vector<FilaMapa> *filas);
};
