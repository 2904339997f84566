// The observation exports of iNaturalist and Observation.org.
#include "Comprobaciones.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t n) {
    const QByteArray archivo = Copia(datos, n);
    // Archives and XML belong to the other targets: not kept in this corpus.
    if (archivo.startsWith("PK\x03\x04") || archivo.trimmed().startsWith('<')) return -1;
    ComprobarLectura(Import::LeerDatos(archivo));
    return 0;
}
