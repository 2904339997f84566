#pragma once

#include "data/Store.h"
#include "localities/LocalityStore.h"

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

class ObservationStore : public Store {
public:
    using Store::Store;

    // The highest observation number plus one, 0 on an empty table; proposes locality codes.
    int SiguienteNumero();

    // Stores the observation, and first the new locality when there is one: both or
    // neither. Returns the new observation's identifier, or nothing with error() set.
    std::optional<int> Guardar(const Observacion &o, const std::optional<Localidad> &nueva);
};
