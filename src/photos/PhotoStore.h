#pragma once

#include "data/Store.h"
#include "photos/ExifReader.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <optional>

// One photograph of an observation. The picture itself is kept once, by the SHA-256 of its
// bytes: in the folder fotos/ beside the database file, or on a server in a table of its own.
struct Foto {
    int id = 0; // id_foto; 0 until stored
    QString sha256;
    QString nombre; // the original file's name
    QString fecha;  // ISO 8601 as the camera wrote it, with its offset when known
    std::optional<double> latitud, longitud, incertidumbre;
    QString autor, licencia;
    // The bytes to store, for a photo not stored yet (empty otherwise).
    QByteArray bytes;

    // When it was taken, as the camera's clock showed it; invalid when unknown.
    QDateTime Tomada() const;
    bool TienePosicion() const { return latitud.has_value() && longitud.has_value(); }
};

class PhotoStore : public Store {
public:
    using Store::Store;

    // How a new photo is taken in.
    struct Opciones {
        // The file as it is, instead of a reduced copy.
        bool originales = false;
        QString autor;
        QString licencia = QStringLiteral("CC BY 4.0");
    };
    // The long side of a reduced copy, in pixels.
    static constexpr int kLadoReducido = 2048;

    // Reads a photograph from a file: its Exif, and the bytes to store (by default a reduced
    // JPEG copy, upright, with its Exif). Nothing, with the reason in Spanish naming the file,
    // when it is not an image this system can open or its metadata are damaged.
    static std::optional<Foto> Preparar(const QString &ruta, const Opciones &opciones,
                                        QString *error);
    // The same from bytes already read (`nombre` names them).
    static std::optional<Foto> Preparar(const QByteArray &bytes, const QString &nombre,
                                        const Opciones &opciones, QString *error);

    // The folder of the pictures beside the open database file (empty on a server).
    QString Carpeta() const;

    // Inside the caller's transaction: the observation's photos become these, in this order;
    // pictures not yet kept are written first. False with error() set; the pictures written
    // by this call are then taken away again by Deshacer().
    bool Asignar(int observacion, const QList<Foto> &fotos);
    // After a failed transaction: removes the picture files the last Asignar created.
    void Deshacer();

    // The observation's photos in their order (without bytes); error() set on failure.
    QList<Foto> DeObservacion(int observacion);
    // The stored picture; nothing with error() set when it is missing or unreadable.
    std::optional<QByteArray> Bytes(const QString &sha256);

    // Of the pictures the database refers to, those whose file is missing from the folder.
    QStringList Faltan();
    // Every picture the database refers to, those of the bin's photos included.
    QStringList Referidas();

private:
    bool Conservar(const Foto &f);
    QStringList creados_;
};
