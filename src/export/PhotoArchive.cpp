#include "PhotoArchive.h"

#include "ArchiveWriter.h"
#include "ExportStore.h"
#include "data/ArchivoComprobado.h"
#include "photos/ExifReader.h"
#include "photos/PhotoStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>

namespace PhotoArchive {

QString Nombre(const QString &periodo) {
    return QStringLiteral("TDX_fotos_") + periodo + QStringLiteral(".zip");
}

bool Escribir(const QString &carpeta, const QString &periodo, bool sinRechazadas, int *fotos,
              QString *error, const Avance &avance) {
    *fotos = 0;
    ExportStore almacen;
    almacen.ExcluirRechazadas(sinRechazadas);
    const QList<ExportStore::FotoExportada> lista = almacen.Fotos();
    if (almacen.fallo()) {
        *error = almacen.error();
        return false;
    }
    if (lista.isEmpty()) return true;
    const QDir dir(carpeta);
    const QString archivo = dir.filePath(Nombre(periodo));
    errno = 0;
    QTemporaryDir temporal(dir.filePath(QStringLiteral(".tritodex-XXXXXX")));
    if (!temporal.isValid()) {
        *error = Causas::AlEscribir(archivo, errno);
        return false;
    }
    // Reading and writing the pictures is the first half of the work, packing the second.
    const qint64 total = 2 * lista.size();
    PhotoStore imagenes;
    QList<ArchiveWriter::Entrada> entradas;
    for (const ExportStore::FotoExportada &f : lista) {
        if (!Avances::Seguir(avance, entradas.size(), total)) {
            *error = Avances::kCancelado;
            return false;
        }
        auto bytes = imagenes.Bytes(f.sha256);
        if (!bytes) {
            *error = QStringLiteral("Falta la foto %1 de la observación %2: %3")
                         .arg(f.numero)
                         .arg(f.observacion)
                         .arg(imagenes.error());
            return false;
        }
        const bool png = bytes->startsWith("\x89PNG");
        if (f.sinPosicion && !ExifReader::QuitarPosicion(&*bytes, error)) return false;
        const QString nombre = QStringLiteral("obs%1_%2%3")
                                   .arg(f.observacion)
                                   .arg(f.numero)
                                   .arg(png ? QStringLiteral(".png") : QStringLiteral(".jpg"));
        ArchivoComprobado escrito(temporal.filePath(nombre));
        if (!escrito.Abrir(error)) return false;
        escrito.Escribir(*bytes);
        if (!escrito.Confirmar(error)) {
            error->replace(QDir::toNativeSeparators(temporal.filePath(nombre)),
                           QDir::toNativeSeparators(archivo));
            return false;
        }
        entradas.append({nombre, temporal.filePath(nombre)});
    }
    if (!ArchiveWriter::Empaquetar(
            archivo, entradas, error, ArchiveWriter::Modo::Sustituir,
            [&](qint64 hecho, qint64 todo) {
                return Avances::Seguir(
                    avance, lista.size() + (todo > 0 ? hecho * lista.size() / todo : 0), total);
            }))
        return false;
    *fotos = int(lista.size());
    return true;
}

} // namespace PhotoArchive
