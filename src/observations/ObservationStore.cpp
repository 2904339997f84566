#include "ObservationStore.h"

int ObservationStore::SiguienteNumero() {
    const auto v = Primero(QStringLiteral(
        "SELECT id_observacion FROM observacion ORDER BY id_observacion DESC LIMIT 1"));
    return v ? v->toInt() + 1 : 0;
}

std::optional<int> ObservationStore::Guardar(const Observacion &o,
                                             const std::optional<Localidad> &nueva) {
    QVariant id;
    const bool ok = EnTransaccion([&] {
        if (nueva) {
            LocalityStore localidades(db());
            if (!localidades.Insertar(*nueva)) {
                Anotar(localidades);
                return false;
            }
        }
        QSqlQuery q;
        if (!Ejecutar(
                q,
                QStringLiteral("INSERT INTO observacion (observador1, observador2, observador3, "
                               "observador4, fecha, horaini, horafin, periodo, meteo, viento, "
                               "especie, numejemp, numaprox, estadio, conducta, descripcion, "
                               "motivo, habitat, localidad) "
                               "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                {o.observador[0], o.observador[1], o.observador[2], o.observador[3],
                 o.fecha.toString(Qt::ISODate), o.horaini, o.horafin, o.periodo, o.meteo, o.viento,
                 o.especie, o.numejemp, o.numaprox ? 1 : 0, o.estadio, o.conducta, o.descripcion,
                 o.motivo, o.habitat, o.localidad}))
            return false;
        id = q.lastInsertId();
        return true;
    });
    if (!ok) return std::nullopt;
    return id.toInt();
}
