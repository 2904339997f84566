#pragma once

// What every read must satisfy, whatever the input: a file is read whole or refused with a
// reason, never half; a position is valid only within the globe. A broken rule aborts, so
// that libFuzzer keeps the input as a crash.
#include "import/ImportReader.h"

#include <QByteArray>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

inline void Exigir(bool cumple, const char *regla) {
    if (cumple) return;
    std::fprintf(stderr, "broken rule: %s\n", regla);
    std::abort();
}

inline void ComprobarLectura(const Import::Reading &l) {
    if (!l.ok) {
        Exigir(!l.error.isEmpty(), "a refused file says why");
        Exigir(l.registros.isEmpty(), "a refused file gives no records");
        return;
    }
    Exigir(l.error.isEmpty(), "a file read has no error");
    for (const Import::Record &r : l.registros) {
        Exigir(r.linea >= 0, "a record's line is not negative");
        if (r.geograficas)
            Exigir(std::isfinite(r.lat) && std::isfinite(r.lon) && std::abs(r.lat) <= 90 &&
                       std::abs(r.lon) <= 180,
                   "latitude and longitude within the globe");
        Exigir(r.hora.isEmpty() || r.hora.size() == 5, "a time is hh:mm");
        Exigir(r.incertidumbre.isNull() || r.incertidumbre.toInt() > 0,
               "an uncertainty is a positive number of metres");
        Exigir(!r.posicionOculta || !r.geograficas, "a hidden position is not taken");
    }
}

inline QByteArray Copia(const uint8_t *datos, size_t n) {
    // A copy of its own size, as a file read gives it, so that reads past it are caught.
    return QByteArray(reinterpret_cast<const char *>(datos), qsizetype(n));
}
