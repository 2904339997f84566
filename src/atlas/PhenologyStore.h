#pragma once

#include "data/Store.h"

#include <QDate>
#include <QList>
#include <array>

// What the phenology chart counts; an empty value (a year 0) is no filter.
struct FiltroFenologia {
    QString especie; // species code
    int anoDesde = 0, anoHasta = 0;
    QString provincia;  // as the province list shows it
    QString observador; // found anywhere in the name of any of the four observers
};

// The year in 36 ten-day periods (1-10, 11-20, 21 to the month's end), each period's
// observations and individuals by life stage.
struct Fenologia {
    static constexpr int kPeriodos = 36;
    struct Estadio {
        QString nombre; // the stage's name; kSinEstadio when none was chosen
        int id = 0;     // its least identifier (both classes); 0 for kSinEstadio
        std::array<qint64, kPeriodos> observaciones{};
        std::array<qint64, kPeriodos> ejemplares{};
    };
    // Stages with observations, in the stage table's order, the unchosen stage last. Stages
    // of the same name in both classes (Adulto of amphibians and of reptiles) are one.
    QList<Estadio> estadios;
    qint64 registros = 0; // observations counted
    int anos = 0;         // distinct years among them

    qint64 Total(int periodo, bool ejemplares) const; // periodo 1..36
};

// One observation of a period, as the list beside the chart shows it.
struct ObservacionPeriodo {
    QDate fecha;
    QString especie, estadio, localidad, observadores;
    QVariant numejemp;
};

// Counts for the phenology chart: no window, every value a bound parameter.
class PhenologyStore : public Store {
public:
    using Store::Store;

    static inline const QString kSinEstadio = QStringLiteral("sin estadio");

    // The period (1..36) of a date; 0 for an invalid one.
    static int Periodo(const QDate &fecha);
    // "1-10 de enero", "21-31 de enero", "21-28/29 de febrero".
    static QString NombrePeriodo(int periodo);
    // Short month names, January first.
    static QStringList Meses();

    // The counts; nothing, error() set, when the statement fails. Observations without a
    // readable date, or outside the years, are not counted.
    std::optional<Fenologia> Contar(const FiltroFenologia &f);
    // The grouped statement behind Contar and its bound values.
    static QString Sentencia(const FiltroFenologia &f, QVariantList &valores);

    // The observations of one period (1..36) that pass the filters, by date.
    std::optional<QList<ObservacionPeriodo>> Observaciones(const FiltroFenologia &f, int periodo);

private:
    static QString Condiciones(const FiltroFenologia &f, QVariantList &valores);
};
