// GPX waypoints as GPS receivers and phone apps write them.
#include "Comprobaciones.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t n) {
    const QByteArray archivo = Copia(datos, n);
    // Inputs that are no GPX belong to the other targets: not kept in this corpus.
    if (!archivo.contains("<gpx")) return -1;
    ComprobarLectura(Import::LeerDatos(archivo));
    return 0;
}
