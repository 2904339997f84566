// A position as users type or paste it into the position field.
#include "geo/PositionParser.h"

#include "Comprobaciones.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t n) {
    const QString texto = QString::fromUtf8(reinterpret_cast<const char *>(datos), qsizetype(n));
    using E = PositionParser::Estado;
    const PositionParser::Lectura l = PositionParser::Leer(texto);
    if (l.estado == E::Valida) {
        Exigir(std::isfinite(l.lat) && std::isfinite(l.lon) && std::abs(l.lat) <= 90 &&
                   std::abs(l.lon) <= 180,
               "a valid position lies within the globe");
        Exigir(!l.textoLat.isEmpty() && texto.contains(l.textoLat) && !l.textoLon.isEmpty() &&
                   texto.contains(l.textoLon),
               "each coordinate's text is part of what was typed");
        PositionParser::PareceIntercambiada(l);
    } else if (l.estado != E::Vacia) {
        Exigir(!l.mensaje.isEmpty(), "a position not read says why");
    }
    return 0;
}
