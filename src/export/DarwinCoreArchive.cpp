#include "DarwinCoreArchive.h"

#include "ArchiveWriter.h"
#include "ExportStore.h"
#include "data/ArchivoComprobado.h"
#include "data/ModConex.h"
#include "geo/Geodesy.h"
#include "localities/UtmSquares.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUuid>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>

namespace DarwinCoreArchive {

namespace {

const QString kDwc = QStringLiteral("http://rs.tdwg.org/dwc/terms/");

// A UTM position and how wide it is: 0 for exact coordinates, else the square's side.
struct Posicion {
    int huso = 0;
    double este = 0;
    double norte = 0;
    int lado = 0;
};

// The latitude band letter of MGRS, for the verbatim coordinates ("30T").
QChar Banda(double lat) {
    static const char letras[] = "CDEFGHJKLMNPQRSTUVWX";
    const int i = std::clamp(int(std::floor((lat + 80.0) / 8.0)), 0, 19);
    return QLatin1Char(letras[i]);
}

QString Grados(double v) {
    return QString::number(v, 'f', 7);
}

QString Srs(int huso) {
    return huso >= 28 && huso <= 31 ? QStringLiteral("EPSG:%1").arg(25800 + huso)
                                    : QStringLiteral("ETRS89 / UTM huso %1N").arg(huso);
}

QString Clase(const QString &clase) {
    if (clase.compare(QLatin1String("Anfibio"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Amphibia");
    if (clase.compare(QLatin1String("Reptil"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Reptilia");
    return QString();
}

// eventDate: the day, or the day with the start time, or the interval from start to end
// (an end before the start is taken to be after midnight).
QString FechaEvento(const QDate &dia, const QString &inicio, const QString &fin) {
    const QString d = dia.toString(Qt::ISODate);
    const QTime ti = QTime::fromString(inicio.trimmed(), QStringLiteral("HH:mm"));
    const QTime tf = QTime::fromString(fin.trimmed(), QStringLiteral("HH:mm"));
    if (!ti.isValid()) return d;
    const QString desde = d + u'T' + ti.toString(QStringLiteral("HH:mm"));
    if (!tf.isValid()) return desde;
    const QDate diaFin = tf < ti ? dia.addDays(1) : dia;
    return desde + u'/' + diaFin.toString(Qt::ISODate) + u'T' +
           tf.toString(QStringLiteral("HH:mm"));
}

class Escritor {
public:
    explicit Escritor(QSqlDatabase db) : db_(std::move(db)) {}

    // The row's values by term; a position that cannot be worked out is left empty.
    QHash<QString, QString> Ocurrencia(const QSqlQuery &q, Resumen *resumen);

private:
    std::optional<Posicion> PosicionDe(const QSqlQuery &q);
    void Coordenadas(const Posicion &p, QHash<QString, QString> &v);
    QString CodigoDiez(const Posicion &p);

    QSqlDatabase db_;
    Geodesy geo_;
};

std::optional<Posicion> Escritor::PosicionDe(const QSqlQuery &q) {
    const QString huso = q.value(QStringLiteral("utmhuso")).toString().trimmed();
    if (huso.isEmpty()) return std::nullopt;
    if (!q.isNull(QStringLiteral("utmx")) && !q.isNull(QStringLiteral("utmy")))
        return Posicion{huso.toInt(), q.value(QStringLiteral("utmx")).toDouble(),
                        q.value(QStringLiteral("utmy")).toDouble(), 0};
    // Only a square is known: the finer one.
    for (const char *columna : {"utm1k", "utm10k"}) {
        const QString codigo = q.value(QLatin1String(columna)).toString().trimmed();
        if (codigo.isEmpty()) continue;
        QString motivo;
        const auto c = Utm::CuadroDe(db_, huso, codigo, &motivo);
        if (c) return Posicion{c->huso, double(c->este), double(c->norte), c->lado};
    }
    return std::nullopt;
}

QString Escritor::CodigoDiez(const Posicion &p) {
    return Utm::CalcularCuadrados(db_, QString::number(p.huso), QString::number(qint64(p.este)),
                                  QString::number(qint64(p.norte)))
        .utm10k;
}

// decimalLatitude/Longitude at the position (a square's centre) and, for a square, its
// uncertainty and outline.
void Escritor::Coordenadas(const Posicion &p, QHash<QString, QString> &v) {
    const double medio = p.lado / 2.0;
    const auto centro = geo_.AGeograficas({p.huso, p.este + medio, p.norte + medio});
    if (!centro) return;
    v[QStringLiteral("decimalLatitude")] = Grados(centro->lat);
    v[QStringLiteral("decimalLongitude")] = Grados(centro->lon);
    v[QStringLiteral("geodeticDatum")] = QStringLiteral("EPSG:4258");
    v[QStringLiteral("verbatimSRS")] = Srs(p.huso);
    const QString zona = QString::number(p.huso) + Banda(centro->lat);
    if (p.lado == 0) {
        v[QStringLiteral("verbatimCoordinates")] =
            QStringLiteral("%1 %2 %3").arg(zona).arg(qint64(p.este)).arg(qint64(p.norte));
        v[QStringLiteral("verbatimCoordinateSystem")] = QStringLiteral("UTM");
        return;
    }
    const QString codigo =
        p.lado == 10000
            ? CodigoDiez(p)
            : Utm::CalcularCuadrados(db_, QString::number(p.huso), QString::number(qint64(p.este)),
                                     QString::number(qint64(p.norte)))
                  .utm1k;
    v[QStringLiteral("verbatimCoordinates")] = zona + codigo;
    v[QStringLiteral("verbatimCoordinateSystem")] = QStringLiteral("MGRS");
    // Half the square's diagonal, rounded up.
    v[QStringLiteral("coordinateUncertaintyInMeters")] =
        QString::number(qint64(std::ceil(p.lado * std::sqrt(2.0) / 2.0)));
    QStringList esquinas;
    const double lados[][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}};
    for (const auto &l : lados) {
        const auto g = geo_.AGeograficas({p.huso, p.este + l[0] * p.lado, p.norte + l[1] * p.lado});
        if (!g) return;
        esquinas << Grados(g->lon) + u' ' + Grados(g->lat);
    }
    v[QStringLiteral("footprintWKT")] =
        QStringLiteral("POLYGON ((") + esquinas.join(QStringLiteral(", ")) + QStringLiteral("))");
    v[QStringLiteral("footprintSRS")] = QStringLiteral("EPSG:4258");
}

QHash<QString, QString> Escritor::Ocurrencia(const QSqlQuery &q, Resumen *resumen) {
    QHash<QString, QString> v;
    const auto Texto = [&](const char *columna) {
        return q.value(QLatin1String(columna)).toString().trimmed();
    };
    v[QStringLiteral("occurrenceID")] = QStringLiteral("urn:uuid:") + Texto("uuid");
    v[QStringLiteral("catalogNumber")] = Texto("id_observacion");
    v[QStringLiteral("basisOfRecord")] = QStringLiteral("HumanObservation");
    const QDate dia = QDate::fromString(Texto("fecha"), Qt::ISODate);
    if (dia.isValid()) {
        v[QStringLiteral("eventDate")] = FechaEvento(dia, Texto("horaini"), Texto("horafin"));
        v[QStringLiteral("year")] = QString::number(dia.year());
        v[QStringLiteral("month")] = QString::number(dia.month());
        v[QStringLiteral("day")] = QString::number(dia.day());
    }
    v[QStringLiteral("scientificName")] = Texto("n_especie");
    v[QStringLiteral("vernacularName")] = Texto("n_cast");
    v[QStringLiteral("kingdom")] = QStringLiteral("Animalia");
    v[QStringLiteral("class")] = Clase(Texto("clase"));
    if (!v[QStringLiteral("scientificName")].isEmpty())
        v[QStringLiteral("taxonRank")] = QStringLiteral("species");

    QStringList notas;
    const QString descripcion = Texto("descripcion");
    if (!q.isNull(QStringLiteral("numejemp"))) {
        const QString numero = Texto("numejemp");
        v[QStringLiteral("organismQuantity")] = numero;
        v[QStringLiteral("organismQuantityType")] = QStringLiteral("individuals");
        // An estimate is no count: it stays out of individualCount.
        if (q.value(QStringLiteral("numaprox")).toInt() != 0)
            notas << QStringLiteral("número de ejemplares aprox.");
        else
            v[QStringLiteral("individualCount")] = numero;
    }
    v[QStringLiteral("lifeStage")] = Texto("estad_cast");
    v[QStringLiteral("behavior")] = Texto("conduct_cast");
    v[QStringLiteral("habitat")] = Texto("habitat");
    QStringList nombres;
    for (int i = 1; i <= 4; ++i) {
        const QString codigo = q.value(QStringLiteral("cod%1").arg(i)).toString().trimmed();
        if (codigo.isEmpty()) continue;
        const QString nombre = q.value(QStringLiteral("nombre%1").arg(i)).toString().trimmed();
        nombres << (nombre.isEmpty() ? codigo : nombre);
    }
    v[QStringLiteral("recordedBy")] = nombres.join(QStringLiteral(" | "));
    v[QStringLiteral("country")] = QStringLiteral("España");
    v[QStringLiteral("countryCode")] = QStringLiteral("ES");
    v[QStringLiteral("stateProvince")] = Texto("provincia");

    const bool sensible = q.value(QStringLiteral("sensible")).toInt() != 0;
    std::optional<Posicion> p = PosicionDe(q);
    if (sensible) {
        // Neither the place, the municipality nor the observer's words go out: only the
        // 10-km square.
        v[QStringLiteral("informationWithheld")] =
            QStringLiteral("Especie sensible: se omiten las coordenadas exactas, el nombre de la "
                           "localidad, el municipio y la descripción de la observación.");
        if (p) {
            p->este = std::floor(p->este / 10000) * 10000;
            p->norte = std::floor(p->norte / 10000) * 10000;
            p->lado = 10000;
            v[QStringLiteral("dataGeneralizations")] =
                QStringLiteral("Coordenadas generalizadas al centro del cuadrado UTM de 10 km %1.")
                    .arg(CodigoDiez(*p));
        }
        ++resumen->generalizados;
    } else {
        v[QStringLiteral("municipality")] = Texto("muni");
        v[QStringLiteral("locality")] = Texto("lugar");
        if (!descripcion.isEmpty()) notas.prepend(descripcion);
    }
    v[QStringLiteral("occurrenceRemarks")] = notas.join(QStringLiteral("; "));
    if (p) Coordenadas(*p, v);
    if (!v.contains(QStringLiteral("decimalLatitude"))) ++resumen->sinPosicion;
    return v;
}

// Tabs and line breaks inside a value would split its row or column: each becomes a space.
QString Celda(QString valor) {
    for (QChar &c : valor)
        if (c == u'\t' || c == u'\n' || c == u'\r') c = u' ';
    return valor;
}

bool Escribir(const QString &ruta, const QByteArray &datos, QString *error) {
    ArchivoComprobado f(ruta);
    if (!f.Abrir(error)) return false;
    f.Escribir(datos); // a failed write is told, with its cause, by Confirmar
    return f.Confirmar(error);
}

QByteArray Meta() {
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeDefaultNamespace(QStringLiteral("http://rs.tdwg.org/dwc/text/"));
    w.writeStartElement(QStringLiteral("archive"));
    w.writeAttribute(QStringLiteral("metadata"), QStringLiteral("eml.xml"));
    w.writeStartElement(QStringLiteral("core"));
    w.writeAttribute(QStringLiteral("encoding"), QStringLiteral("UTF-8"));
    w.writeAttribute(QStringLiteral("fieldsTerminatedBy"), QStringLiteral("\\t"));
    w.writeAttribute(QStringLiteral("linesTerminatedBy"), QStringLiteral("\\n"));
    w.writeAttribute(QStringLiteral("fieldsEnclosedBy"), QString());
    w.writeAttribute(QStringLiteral("ignoreHeaderLines"), QStringLiteral("1"));
    w.writeAttribute(QStringLiteral("rowType"), kDwc + QStringLiteral("Occurrence"));
    w.writeStartElement(QStringLiteral("files"));
    w.writeTextElement(QStringLiteral("location"), QStringLiteral("occurrence.txt"));
    w.writeEndElement();
    w.writeEmptyElement(QStringLiteral("id"));
    w.writeAttribute(QStringLiteral("index"), QStringLiteral("0"));
    for (int i = 0; i < Terminos().size(); ++i) {
        w.writeEmptyElement(QStringLiteral("field"));
        w.writeAttribute(QStringLiteral("index"), QString::number(i));
        w.writeAttribute(QStringLiteral("term"), Uri(Terminos()[i]));
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

QByteArray Eml(const ExportStore::Persona &autor, const QDate &dia, Licencia licencia) {
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    const QString eml = QStringLiteral("eml://ecoinformatics.org/eml-2.1.1");
    w.writeNamespace(eml, QStringLiteral("eml"));
    w.writeStartElement(eml, QStringLiteral("eml"));
    // The same dataset identifier in every export of the same creator.
    const QUuid paquete =
        QUuid::createUuidV5(QUuid(QStringLiteral("{6ba7b811-9dad-11d1-80b4-00c04fd430c8}")),
                            QStringLiteral("tritodex:") + autor.email.toLower());
    w.writeAttribute(QStringLiteral("packageId"), paquete.toString(QUuid::WithoutBraces));
    w.writeAttribute(QStringLiteral("system"), QStringLiteral("http://gbif.org"));
    w.writeAttribute(QStringLiteral("scope"), QStringLiteral("system"));
    w.writeAttribute(QStringLiteral("http://www.w3.org/XML/1998/namespace"), QStringLiteral("lang"),
                     QStringLiteral("es"));
    w.writeStartElement(QStringLiteral("dataset"));
    const QString nombre = (autor.nombre + u' ' + autor.apellido).trimmed();
    w.writeTextElement(QStringLiteral("title"),
                       QStringLiteral("Observaciones de anfibios y reptiles de %1").arg(nombre));
    const auto Persona = [&](const QString &papel) {
        w.writeStartElement(papel);
        w.writeStartElement(QStringLiteral("individualName"));
        if (!autor.nombre.trimmed().isEmpty())
            w.writeTextElement(QStringLiteral("givenName"), autor.nombre.trimmed());
        w.writeTextElement(QStringLiteral("surName"), autor.apellido.trimmed().isEmpty()
                                                          ? autor.nombre.trimmed()
                                                          : autor.apellido.trimmed());
        w.writeEndElement();
        w.writeTextElement(QStringLiteral("electronicMailAddress"), autor.email.trimmed());
        w.writeEndElement();
    };
    Persona(QStringLiteral("creator"));
    Persona(QStringLiteral("metadataProvider"));
    w.writeTextElement(QStringLiteral("pubDate"), dia.toString(Qt::ISODate));
    w.writeTextElement(QStringLiteral("language"), QStringLiteral("spa"));
    w.writeStartElement(QStringLiteral("abstract"));
    w.writeTextElement(
        QStringLiteral("para"),
        QStringLiteral("Observaciones de campo de anfibios y reptiles en España, anotadas con "
                       "Tritodex. Las de especies sensibles se publican en el centro de su "
                       "cuadrado UTM de 10 km, sin el nombre del lugar."));
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("intellectualRights"));
    w.writeStartElement(QStringLiteral("para"));
    w.writeCharacters(QStringLiteral("Estos datos se publican bajo la licencia "));
    w.writeStartElement(QStringLiteral("ulink"));
    w.writeAttribute(QStringLiteral("url"), UrlLicencia(licencia));
    w.writeTextElement(QStringLiteral("citetitle"), NombreLicencia(licencia));
    w.writeEndElement();
    w.writeCharacters(QStringLiteral("."));
    w.writeEndElement();
    w.writeEndElement();
    Persona(QStringLiteral("contact"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

} // namespace

QString NombreLicencia(Licencia l) {
    switch (l) {
    case Licencia::Cc0:
        return QStringLiteral("CC0 1.0");
    case Licencia::CcBy:
        return QStringLiteral("CC BY 4.0");
    case Licencia::CcByNc:
        break;
    }
    return QStringLiteral("CC BY-NC 4.0");
}

QString UrlLicencia(Licencia l) {
    switch (l) {
    case Licencia::Cc0:
        return QStringLiteral("http://creativecommons.org/publicdomain/zero/1.0/legalcode");
    case Licencia::CcBy:
        return QStringLiteral("http://creativecommons.org/licenses/by/4.0/legalcode");
    case Licencia::CcByNc:
        break;
    }
    return QStringLiteral("http://creativecommons.org/licenses/by-nc/4.0/legalcode");
}

QString NombreArchivo(const QDate &dia) {
    return QStringLiteral("TDX_DwC_") + dia.toString(QStringLiteral("yyyyMMdd")) +
           QStringLiteral(".zip");
}

const QStringList &Terminos() {
    static const QStringList terminos = {
        QStringLiteral("occurrenceID"),
        QStringLiteral("catalogNumber"),
        QStringLiteral("basisOfRecord"),
        QStringLiteral("eventDate"),
        QStringLiteral("year"),
        QStringLiteral("month"),
        QStringLiteral("day"),
        QStringLiteral("scientificName"),
        QStringLiteral("vernacularName"),
        QStringLiteral("kingdom"),
        QStringLiteral("class"),
        QStringLiteral("taxonRank"),
        QStringLiteral("individualCount"),
        QStringLiteral("organismQuantity"),
        QStringLiteral("organismQuantityType"),
        QStringLiteral("lifeStage"),
        QStringLiteral("behavior"),
        QStringLiteral("habitat"),
        QStringLiteral("recordedBy"),
        QStringLiteral("occurrenceRemarks"),
        QStringLiteral("country"),
        QStringLiteral("countryCode"),
        QStringLiteral("stateProvince"),
        QStringLiteral("municipality"),
        QStringLiteral("locality"),
        QStringLiteral("verbatimCoordinates"),
        QStringLiteral("verbatimCoordinateSystem"),
        QStringLiteral("verbatimSRS"),
        QStringLiteral("decimalLatitude"),
        QStringLiteral("decimalLongitude"),
        QStringLiteral("geodeticDatum"),
        QStringLiteral("coordinateUncertaintyInMeters"),
        QStringLiteral("footprintWKT"),
        QStringLiteral("footprintSRS"),
        QStringLiteral("informationWithheld"),
        QStringLiteral("dataGeneralizations"),
    };
    return terminos;
}

QString Uri(const QString &termino) {
    return kDwc + termino;
}

bool Exportar(const QString &carpeta, const QDate &dia, Licencia licencia, Resumen *resumen,
              QString *error, const Avance &avance) {
    *resumen = {};
    if (carpeta.isEmpty() || !QDir(carpeta).exists()) {
        *error = QStringLiteral("La carpeta %1 no existe.").arg(QDir::toNativeSeparators(carpeta));
        return false;
    }
    ExportStore almacen;
    const auto autor = almacen.ObservadorPorDefecto();
    if (!autor) {
        *error = almacen.fallo() ? almacen.error()
                                 : QStringLiteral("Falta el observador por defecto: su nombre y su "
                                                  "correo figuran como autor de los datos. "
                                                  "Elíjalo en Observadores.");
        return false;
    }
    QSqlQuery q = almacen.ConsultarOcurrencias();
    if (!q.isActive()) {
        *error = almacen.error();
        return false;
    }
    QString texto = Terminos().join(u'\t') + u'\n';
    Escritor escritor(ModConex::DatabaseConnection());
    while (q.next()) {
        const QHash<QString, QString> v = escritor.Ocurrencia(q, resumen);
        QStringList fila;
        for (const QString &t : Terminos())
            fila << Celda(v.value(t));
        texto += fila.join(u'\t') + u'\n';
        ++resumen->registros;
        if (resumen->registros % 256 == 0 && !Avances::Seguir(avance, resumen->registros, 0)) {
            *error = Avances::kCancelado;
            return false;
        }
    }
    if (resumen->registros == 0) {
        *error = QStringLiteral("No hay ninguna observación que exportar.");
        return false;
    }

    if (!Avances::Seguir(avance, resumen->registros, 0)) {
        *error = Avances::kCancelado;
        return false;
    }
    // The three files are made in a private folder and only the finished archive reaches
    // the user's folder.
    QTemporaryDir temporal;
    if (!temporal.isValid()) {
        *error = QStringLiteral("No se ha podido crear una carpeta temporal (%1).")
                     .arg(temporal.errorString());
        return false;
    }
    const QList<std::pair<QString, QByteArray>> ficheros = {
        {QStringLiteral("occurrence.txt"), texto.toUtf8()},
        {QStringLiteral("meta.xml"), Meta()},
        {QStringLiteral("eml.xml"), Eml(*autor, dia, licencia)},
    };
    QList<ArchiveWriter::Entrada> entradas;
    for (const auto &[nombre, datos] : ficheros) {
        const QString ruta = temporal.filePath(nombre);
        if (!Escribir(ruta, datos, error)) return false;
        entradas.append({nombre, ruta});
    }
    return ArchiveWriter::Empaquetar(QDir(carpeta).filePath(NombreArchivo(dia)), entradas, error,
                                     ArchiveWriter::Modo::Sustituir, avance);
}

} // namespace DarwinCoreArchive
