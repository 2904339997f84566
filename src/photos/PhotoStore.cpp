#include "PhotoStore.h"

#include "data/ArchivoComprobado.h"
#include "data/SqlDialect.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSqlQuery>
#include <QTransform>

namespace {

// The picture turned and mirrored as its Exif orientation asks, so that it stands upright.
QImage Enderezada(const QImage &imagen, int orientacion) {
    const auto girada = [&](const QImage &i, int grados) {
        return i.transformed(QTransform().rotate(grados));
    };
    switch (orientacion) {
    case 2:
        return imagen.mirrored(true, false);
    case 3:
        return girada(imagen, 180);
    case 4:
        return imagen.mirrored(false, true);
    case 5:
        return girada(imagen, 90).mirrored(true, false);
    case 6:
        return girada(imagen, 90);
    case 7:
        return girada(imagen, 90).mirrored(false, true);
    case 8:
        return girada(imagen, 270);
    default:
        return imagen;
    }
}

QVariant Opcional(const std::optional<double> &v) {
    return v ? QVariant(*v) : QVariant(QMetaType(QMetaType::Double));
}

std::optional<double> Numero(const QVariant &v) {
    if (v.isNull()) return std::nullopt;
    return v.toDouble();
}

bool EsHash(const QString &s) {
    if (s.size() != 64) return false;
    for (QChar c : s)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) return false;
    return true;
}

} // namespace

QDateTime Foto::Tomada() const {
    return QDateTime::fromString(fecha.left(19), Qt::ISODate);
}

std::optional<Foto> PhotoStore::Preparar(const QString &ruta, const Opciones &opciones,
                                         QString *error) {
    QByteArray bytes;
    if (!ExifReader::LeerArchivo(ruta, &bytes, error)) return std::nullopt;
    return Preparar(bytes, QFileInfo(ruta).fileName(), opciones, error);
}

std::optional<Foto> PhotoStore::Preparar(const QByteArray &bytes, const QString &nombre,
                                         const Opciones &opciones, QString *error) {
    const auto datos = ExifReader::Leer(bytes, nombre, error);
    if ((datos && datos->formato == ExifReader::Formato::Heic) ||
        (!datos && bytes.mid(4, 8) == "ftypheic")) {
        // Debian's Qt has no decoder for HEIC pictures.
        *error = QStringLiteral("La foto %1 es HEIC, un formato que este sistema no sabe abrir: "
                                "guárdela como JPEG y añádala de nuevo.")
                     .arg(nombre);
        return std::nullopt;
    }
    if (!datos) return std::nullopt;
    QBuffer entrada;
    entrada.setData(bytes);
    QImageReader lector(&entrada);
    lector.setAutoTransform(false);
    QImage imagen = lector.read();
    if (imagen.isNull()) {
        *error = QStringLiteral("El archivo %1 no es una imagen que se pueda abrir: %2")
                     .arg(nombre, lector.errorString());
        return std::nullopt;
    }
    Foto foto;
    foto.nombre = nombre;
    foto.fecha = datos->FechaIso();
    foto.latitud = datos->latitud;
    foto.longitud = datos->longitud;
    foto.incertidumbre = datos->precision;
    foto.autor = opciones.autor;
    foto.licencia = opciones.licencia;
    if (opciones.originales) {
        foto.bytes = bytes;
    } else {
        imagen = Enderezada(imagen, datos->orientacion);
        if (std::max(imagen.width(), imagen.height()) > kLadoReducido)
            imagen = imagen.scaled(kLadoReducido, kLadoReducido, Qt::KeepAspectRatio,
                                   Qt::SmoothTransformation);
        if (imagen.hasAlphaChannel()) {
            // JPEG has no transparency: what was see-through shows white.
            QImage opaca(imagen.size(), QImage::Format_RGB32);
            opaca.fill(Qt::white);
            QPainter(&opaca).drawImage(0, 0, imagen);
            imagen = opaca;
        }
        QBuffer salida(&foto.bytes);
        salida.open(QIODevice::WriteOnly);
        QImageWriter escritor(&salida, "jpeg");
        escritor.setQuality(90);
        if (!escritor.write(imagen)) {
            *error = QStringLiteral("No se ha podido reducir la foto %1: %2")
                         .arg(nombre, escritor.errorString());
            return std::nullopt;
        }
        salida.close();
        if (!ExifReader::CopiarExif(bytes, &foto.bytes, imagen.width(), imagen.height(), error))
            return std::nullopt;
    }
    foto.sha256 = QString::fromLatin1(
        QCryptographicHash::hash(foto.bytes, QCryptographicHash::Sha256).toHex());
    return foto;
}

QString PhotoStore::Carpeta() const {
    if (SqlDialect::De(db()) == SqlDialect::Motor::PostgreSql) return {};
    return QFileInfo(db().databaseName()).absolutePath() + QStringLiteral("/fotos");
}

bool PhotoStore::Conservar(const Foto &f) {
    if (f.bytes.isEmpty()) return true; // kept already
    if (SqlDialect::De(db()) == SqlDialect::Motor::PostgreSql) {
        QSqlQuery q;
        return Ejecutar(q,
                        QStringLiteral("INSERT INTO foto_datos (sha256, datos) SELECT ?, ? WHERE "
                                       "NOT EXISTS (SELECT 1 FROM foto_datos WHERE sha256 = ?)"),
                        {f.sha256, f.bytes, f.sha256});
    }
    const QString carpeta = Carpeta();
    const QString ruta = carpeta + u'/' + f.sha256;
    // A kept picture is never changed: the same bytes are there already.
    if (QFileInfo(ruta).size() == f.bytes.size()) return true;
    if (!QDir().mkpath(carpeta)) {
        Anotar(QStringLiteral("No se puede crear la carpeta de las fotos %1.")
                   .arg(QDir::toNativeSeparators(carpeta)));
        return false;
    }
    ArchivoComprobado archivo(ruta);
    QString error;
    if (!archivo.Abrir(&error) || (archivo.Escribir(f.bytes), !archivo.Confirmar(&error))) {
        Anotar(error);
        return false;
    }
    creados_ << ruta;
    return true;
}

bool PhotoStore::Asignar(int observacion, const QList<Foto> &fotos) {
    creados_.clear();
    for (const Foto &f : fotos) {
        if (!EsHash(f.sha256)) {
            Anotar(QStringLiteral("La foto %1 no tiene una huella válida.").arg(f.nombre));
            return false;
        }
        if (!Cabe(QStringLiteral("El autor de la foto"), f.autor) ||
            !Cabe(QStringLiteral("La licencia de la foto"), f.licencia) || !Conservar(f))
            return false;
    }
    QSqlQuery q;
    if (!Ejecutar(q, QStringLiteral("DELETE FROM foto WHERE observacion = ?"), {observacion}))
        return false;
    int orden = 0;
    for (const Foto &f : fotos) {
        if (!Ejecutar(q,
                      QStringLiteral("INSERT INTO foto (observacion, sha256, nombre, fecha, "
                                     "latitud, longitud, incertidumbre, autor, licencia, orden) "
                                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                      {observacion, f.sha256, f.nombre, f.fecha, Opcional(f.latitud),
                       Opcional(f.longitud), Opcional(f.incertidumbre), f.autor, f.licencia,
                       ++orden}))
            return false;
    }
    return true;
}

void PhotoStore::Deshacer() {
    for (const QString &ruta : std::as_const(creados_))
        QFile::remove(ruta);
    creados_.clear();
}

QList<Foto> PhotoStore::DeObservacion(int observacion) {
    QList<Foto> r;
    QSqlQuery q;
    if (!Ejecutar(q,
                  QStringLiteral("SELECT id_foto, sha256, nombre, fecha, latitud, longitud, "
                                 "incertidumbre, autor, licencia FROM foto WHERE observacion = ? "
                                 "ORDER BY orden, id_foto"),
                  {observacion}))
        return r;
    while (q.next()) {
        Foto f;
        f.id = q.value(0).toInt();
        f.sha256 = q.value(1).toString();
        f.nombre = q.value(2).toString();
        f.fecha = q.value(3).toString();
        f.latitud = Numero(q.value(4));
        f.longitud = Numero(q.value(5));
        f.incertidumbre = Numero(q.value(6));
        f.autor = q.value(7).toString();
        f.licencia = q.value(8).toString();
        r << f;
    }
    return r;
}

std::optional<QByteArray> PhotoStore::Bytes(const QString &sha256) {
    if (SqlDialect::De(db()) == SqlDialect::Motor::PostgreSql) {
        const auto datos =
            Primero(QStringLiteral("SELECT datos FROM foto_datos WHERE sha256 = ?"), {sha256});
        if (!datos) {
            if (!fallo())
                Anotar(QStringLiteral("Falta en el servidor la foto %1.").arg(sha256.left(12)));
            return std::nullopt;
        }
        return datos->toByteArray();
    }
    const QString ruta = Carpeta() + u'/' + sha256;
    QFile f(ruta);
    if (!EsHash(sha256) || !f.open(QIODevice::ReadOnly)) {
        Anotar(QStringLiteral("No se puede leer la foto %1 de la carpeta %2: %3")
                   .arg(sha256.left(12), QDir::toNativeSeparators(Carpeta()), f.errorString()));
        return std::nullopt;
    }
    return f.readAll();
}

QStringList PhotoStore::Referidas() {
    // The bin's photos too: a restore brings them back.
    return Columna(QStringLiteral("SELECT sha256 FROM foto UNION SELECT sha256 FROM "
                                  "papelera_foto ORDER BY 1"));
}

QStringList PhotoStore::Faltan() {
    QStringList r;
    const QStringList todas = Referidas();
    if (fallo() || SqlDialect::De(db()) == SqlDialect::Motor::PostgreSql) return r;
    for (const QString &h : todas)
        if (!QFileInfo(Carpeta() + u'/' + h).isFile()) r << h;
    return r;
}
