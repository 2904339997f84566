#include "DarwinCoreArchive.h"

#include "ArchiveWriter.h"
#include "ExportStore.h"
#include "data/ArchivoComprobado.h"
#include "data/DatabaseCreation.h"
#include "data/Instalacion.h"
#include "data/ModConex.h"
#include "geo/Geodesy.h"
#include "geo/UtmSquares.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUuid>
#include <QXmlStreamWriter>

#include "refdata.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

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

// The Canaries are on REGCAN95, the rest of Spain on ETRS89.
bool Canarias(int huso, int provincia) {
    return provincia == 35 || provincia == 38 || huso == 27 || huso == 28;
}

QString Datum(bool canarias) {
    return canarias ? QStringLiteral("EPSG:4081") : QStringLiteral("EPSG:4258");
}

QString Srs(int huso, bool canarias) {
    if (canarias && (huso == 27 || huso == 28)) return QStringLiteral("EPSG:%1").arg(4055 + huso);
    if (!canarias && huso >= 28 && huso <= 31) return QStringLiteral("EPSG:%1").arg(25800 + huso);
    return QStringLiteral("%1 / UTM zone %2N")
        .arg(canarias ? QLatin1String("REGCAN95") : QLatin1String("ETRS89"))
        .arg(huso);
}

// Each province's name and its autonomous community, by the province's code.
struct Provincia {
    QString nombre;
    QString comunidad;
};
const QHash<int, Provincia> &Provincias() {
    static const QHash<int, Provincia> provincias = [] {
        QHash<int, Provincia> h;
        DatabaseCreation::Csv csv;
        QString error;
        if (!DatabaseCreation::LeerCsvTexto(QString::fromUtf8(kRefComunidades),
                                            QStringLiteral("comunidades.csv"), &csv, &error))
            return h;
        const int id = csv.columnas.indexOf(QLatin1String("id_prov"));
        const int nombre = csv.columnas.indexOf(QLatin1String("provincia"));
        const int comunidad = csv.columnas.indexOf(QLatin1String("comunidad"));
        for (const QStringList &f : csv.filas)
            h.insert(f.value(id).toInt(), {f.value(nombre), f.value(comunidad)});
        return h;
    }();
    return provincias;
}

QString Clase(const QString &clase) {
    if (clase.compare(QLatin1String("Anfibio"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Amphibia");
    if (clase.compare(QLatin1String("Reptil"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Reptilia");
    return QString();
}

// A time the user gave: the forms store "00:00" for one left blank, so midnight is no time.
QTime Hora(const QString &texto) {
    const QTime t = QTime::fromString(texto.trimmed(), QStringLiteral("HH:mm"));
    return t.isValid() && t != QTime(0, 0) ? t : QTime();
}

// A local time of the day with its offset from UTC in Spain (Canary time in the Canaries).
QString HoraLocal(const QDate &dia, const QTime &hora, bool canarias) {
    static const QTimeZone peninsula("Europe/Madrid"), islas("Atlantic/Canary");
    const QTimeZone &zona = canarias ? islas : peninsula;
    QDateTime t(dia, hora, zona);
    // An hour skipped by the change to summer time takes the offset that follows it.
    if (!t.isValid()) t = QDateTime(dia, hora.addSecs(3600), zona);
    const int minutos = t.offsetFromUtc() / 60;
    return hora.toString(QStringLiteral("HH:mm")) + (minutos < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(std::abs(minutos) / 60, 2, 10, QLatin1Char('0'))
               .arg(std::abs(minutos) % 60, 2, 10, QLatin1Char('0'));
}

// eventDate and eventTime: the day alone when no time was given; the start time; or the
// interval when both ends were given and the end follows the start (the forms keep an end
// before the start from being stored: one found is not taken to be after midnight).
void FechaEvento(const QDate &dia, const QString &inicio, const QString &fin, bool canarias,
                 QHash<QString, QString> &v) {
    const QString d = dia.toString(Qt::ISODate);
    v[QStringLiteral("eventDate")] = d;
    const QTime ti = Hora(inicio), tf = Hora(fin);
    if (!ti.isValid()) return;
    QString hora = HoraLocal(dia, ti, canarias);
    QString fecha = d + u'T' + hora;
    if (tf.isValid() && tf > ti) {
        const QString hasta = HoraLocal(dia, tf, canarias);
        hora += u'/' + hasta;
        fecha += u'/' + d + u'T' + hasta;
    }
    v[QStringLiteral("eventDate")] = fecha;
    v[QStringLiteral("eventTime")] = hora;
}

// What the dataset's metadata says of the records exported: where, what and when.
struct Cobertura {
    double oeste = 180, este = -180, sur = 90, norte = -90;
    QDate primera, ultima;
    std::map<QString, std::set<QString>> especies; // by class
};

class Escritor {
public:
    explicit Escritor(QSqlDatabase db) : db_(std::move(db)) {}

    // The row's values by term; a position that cannot be worked out is left empty.
    QHash<QString, QString> Ocurrencia(const QSqlQuery &q, Resumen *resumen);
    const Cobertura &cobertura() const { return cobertura_; }

private:
    std::optional<Posicion> PosicionDe(const QSqlQuery &q);
    void Coordenadas(const Posicion &p, bool canarias, QHash<QString, QString> &v);
    QString CodigoDiez(const Posicion &p);
    void Anotar(const QHash<QString, QString> &v, const QDate &dia);

    QSqlDatabase db_;
    Geodesy geo_;
    Cobertura cobertura_;
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
    return Utm::CalcularCuadrados(db_, p.huso, qint64(p.este), qint64(p.norte)).utm10k;
}

// decimalLatitude/Longitude at the position (a square's centre) and, for a square, its
// uncertainty and outline.
void Escritor::Coordenadas(const Posicion &p, bool canarias, QHash<QString, QString> &v) {
    const double medio = p.lado / 2.0;
    const auto centro = geo_.AGeograficas({p.huso, p.este + medio, p.norte + medio});
    if (!centro) return;
    v[QStringLiteral("decimalLatitude")] = Grados(centro->lat);
    v[QStringLiteral("decimalLongitude")] = Grados(centro->lon);
    v[QStringLiteral("geodeticDatum")] = Datum(canarias);
    v[QStringLiteral("verbatimSRS")] = Srs(p.huso, canarias);
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
            : Utm::CalcularCuadrados(db_, p.huso, qint64(p.este), qint64(p.norte)).utm1k;
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
    v[QStringLiteral("footprintSRS")] = Datum(canarias);
}

void Escritor::Anotar(const QHash<QString, QString> &v, const QDate &dia) {
    if (dia.isValid()) {
        if (!cobertura_.primera.isValid() || dia < cobertura_.primera) cobertura_.primera = dia;
        if (!cobertura_.ultima.isValid() || dia > cobertura_.ultima) cobertura_.ultima = dia;
    }
    const QString especie = v.value(QStringLiteral("scientificName"));
    if (!especie.isEmpty()) cobertura_.especies[v.value(QStringLiteral("class"))].insert(especie);
    bool lat = false, lon = false;
    const double y = v.value(QStringLiteral("decimalLatitude")).toDouble(&lat);
    const double x = v.value(QStringLiteral("decimalLongitude")).toDouble(&lon);
    if (!lat || !lon) return;
    cobertura_.oeste = std::min(cobertura_.oeste, x);
    cobertura_.este = std::max(cobertura_.este, x);
    cobertura_.sur = std::min(cobertura_.sur, y);
    cobertura_.norte = std::max(cobertura_.norte, y);
}

QHash<QString, QString> Escritor::Ocurrencia(const QSqlQuery &q, Resumen *resumen) {
    QHash<QString, QString> v;
    const auto Texto = [&](const char *columna) {
        return q.value(QLatin1String(columna)).toString().trimmed();
    };
    v[QStringLiteral("occurrenceID")] = QStringLiteral("urn:uuid:") + Texto("uuid");
    v[QStringLiteral("catalogNumber")] = Texto("id_observacion");
    v[QStringLiteral("basisOfRecord")] = QStringLiteral("HumanObservation");
    v[QStringLiteral("occurrenceStatus")] = QStringLiteral("present");
    std::optional<Posicion> p = PosicionDe(q);
    const int idProvincia = q.value(QStringLiteral("id_prov")).toInt();
    const bool canarias = Canarias(p ? p->huso : 0, idProvincia);
    const QDate dia = QDate::fromString(Texto("fecha"), Qt::ISODate);
    if (dia.isValid()) {
        FechaEvento(dia, Texto("horaini"), Texto("horafin"), canarias, v);
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
    // Rejected records never reach here.
    const QString verificacion = Texto("verificacion");
    v[QStringLiteral("identificationVerificationStatus")] =
        verificacion == QLatin1String("aceptada") ? QStringLiteral("verified")
        : verificacion == QLatin1String("dudosa") ? QStringLiteral("questionable")
                                                  : QStringLiteral("unverified");
    if (verificacion == QLatin1String("dudosa"))
        v[QStringLiteral("identificationRemarks")] = Texto("comentario_verificacion");

    QStringList notas;
    const QString descripcion = Texto("descripcion");
    // A count of 0 would read as an absence: the record says the species was seen.
    if (!q.isNull(QStringLiteral("numejemp")) && q.value(QStringLiteral("numejemp")).toInt() != 0) {
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
    // The first level below the country is the autonomous community; the province next.
    const auto provincia = Provincias().constFind(idProvincia);
    if (provincia != Provincias().cend()) {
        v[QStringLiteral("stateProvince")] = provincia->comunidad;
        v[QStringLiteral("county")] = provincia->nombre;
    } else {
        v[QStringLiteral("county")] = Texto("provincia");
    }

    const bool sensible = q.value(QStringLiteral("sensible")).toInt() != 0;
    // A common species' exact point would give away the place of the sensitive one beside it.
    const bool sitio = q.value(QStringLiteral("sitio_sensible")).toInt() != 0;
    if (sensible || sitio) {
        // Neither the place, the municipality nor the observer's words go out: only the
        // 10-km square.
        v[QStringLiteral("informationWithheld")] =
            (sensible ? QStringLiteral("Especie sensible")
                      : QStringLiteral("Localidad con observaciones de especies sensibles")) +
            QStringLiteral(": se omiten las coordenadas exactas, el nombre de la "
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
    if (p) Coordenadas(*p, canarias, v);
    // The uncertainty the user gave for exact coordinates; none is made up where none is
    // known. A generalised record has its square's.
    if (p && p->lado == 0 && !q.isNull(QStringLiteral("incertidumbre")) &&
        q.value(QStringLiteral("incertidumbre")).toLongLong() > 0 &&
        v.contains(QStringLiteral("decimalLatitude")))
        v[QStringLiteral("coordinateUncertaintyInMeters")] = Texto("incertidumbre");
    if (!v.contains(QStringLiteral("decimalLatitude"))) ++resumen->sinPosicion;
    Anotar(v, dia);
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

// The dataset's metadata, as GBIF's metadata profile has it. The dataset keeps its identifier
// from one export to the next; each export is a new package of it.
struct Metadatos {
    ExportStore::Persona autor;
    QDate dia;
    Licencia licencia;
    QString conjunto; // the dataset's UUID
    QString paquete;  // this export's identifier
    QDateTime hecho;  // when the export was made, in UTC
    Cobertura cobertura;
};

QByteArray Eml(const Metadatos &m) {
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    const QString eml = QStringLiteral("eml://ecoinformatics.org/eml-2.1.1");
    w.writeNamespace(eml, QStringLiteral("eml"));
    w.writeStartElement(eml, QStringLiteral("eml"));
    w.writeAttribute(QStringLiteral("packageId"), m.paquete);
    w.writeAttribute(QStringLiteral("system"), QStringLiteral("http://gbif.org"));
    w.writeAttribute(QStringLiteral("scope"), QStringLiteral("system"));
    w.writeAttribute(QStringLiteral("http://www.w3.org/XML/1998/namespace"), QStringLiteral("lang"),
                     QStringLiteral("es"));
    w.writeStartElement(QStringLiteral("dataset"));
    w.writeTextElement(QStringLiteral("alternateIdentifier"), m.conjunto);
    const ExportStore::Persona &autor = m.autor;
    const QString nombre = (autor.nombre.trimmed() + u' ' + autor.apellido.trimmed()).trimmed();
    const QString titulo = QStringLiteral("Observaciones de anfibios y reptiles de %1")
                               .arg(nombre.isEmpty() ? autor.codigo.trimmed() : nombre);
    w.writeTextElement(QStringLiteral("title"), titulo);
    // Whoever has no surname is named by the given name, or by the observer's code.
    const QString apellido = !autor.apellido.trimmed().isEmpty() ? autor.apellido.trimmed()
                             : !autor.nombre.trimmed().isEmpty() ? autor.nombre.trimmed()
                                                                 : autor.codigo.trimmed();
    const auto Persona = [&](const QString &papel) {
        w.writeStartElement(papel);
        w.writeStartElement(QStringLiteral("individualName"));
        if (!autor.nombre.trimmed().isEmpty() && !autor.apellido.trimmed().isEmpty())
            w.writeTextElement(QStringLiteral("givenName"), autor.nombre.trimmed());
        w.writeTextElement(QStringLiteral("surName"), apellido);
        w.writeEndElement();
        // The profile wants an address or nothing.
        if (!autor.email.trimmed().isEmpty())
            w.writeTextElement(QStringLiteral("electronicMailAddress"), autor.email.trimmed());
        w.writeEndElement();
    };
    Persona(QStringLiteral("creator"));
    Persona(QStringLiteral("metadataProvider"));
    w.writeTextElement(QStringLiteral("pubDate"), m.dia.toString(Qt::ISODate));
    w.writeTextElement(QStringLiteral("language"), QStringLiteral("spa"));
    w.writeStartElement(QStringLiteral("abstract"));
    w.writeTextElement(
        QStringLiteral("para"),
        QStringLiteral("Observaciones de campo de anfibios y reptiles en España, anotadas con "
                       "Tritodex. Las de especies sensibles, y todas las de las localidades "
                       "donde se ha observado alguna, se publican en el centro de su cuadrado "
                       "UTM de 10 km, sin el nombre del lugar."));
    w.writeEndElement();
    const QList<std::pair<QString, QString>> claves = {
        {QStringLiteral("Occurrence"),
         QStringLiteral("GBIF Dataset Type Vocabulary: "
                        "http://rs.gbif.org/vocabulary/gbif/dataset_type.xml")},
        {QStringLiteral("Observation"),
         QStringLiteral("GBIF Dataset Subtype Vocabulary: "
                        "http://rs.gbif.org/vocabulary/gbif/dataset_subtype.xml")}};
    for (const auto &[clave, tesauro] : claves) {
        w.writeStartElement(QStringLiteral("keywordSet"));
        w.writeTextElement(QStringLiteral("keyword"), clave);
        w.writeTextElement(QStringLiteral("keywordThesaurus"), tesauro);
        w.writeEndElement();
    }
    w.writeStartElement(QStringLiteral("intellectualRights"));
    w.writeStartElement(QStringLiteral("para"));
    w.writeCharacters(QStringLiteral("Estos datos se publican bajo la licencia "));
    w.writeStartElement(QStringLiteral("ulink"));
    w.writeAttribute(QStringLiteral("url"), UrlLicencia(m.licencia));
    w.writeTextElement(QStringLiteral("citetitle"), NombreLicencia(m.licencia));
    w.writeEndElement();
    w.writeCharacters(QStringLiteral("."));
    w.writeEndElement();
    w.writeEndElement();

    const Cobertura &c = m.cobertura;
    w.writeStartElement(QStringLiteral("coverage"));
    if (c.oeste <= c.este) {
        w.writeStartElement(QStringLiteral("geographicCoverage"));
        w.writeTextElement(QStringLiteral("geographicDescription"),
                           QStringLiteral("España. El recuadro abarca las coordenadas publicadas "
                                          "de las observaciones."));
        w.writeStartElement(QStringLiteral("boundingCoordinates"));
        w.writeTextElement(QStringLiteral("westBoundingCoordinate"), Grados(c.oeste));
        w.writeTextElement(QStringLiteral("eastBoundingCoordinate"), Grados(c.este));
        w.writeTextElement(QStringLiteral("northBoundingCoordinate"), Grados(c.norte));
        w.writeTextElement(QStringLiteral("southBoundingCoordinate"), Grados(c.sur));
        w.writeEndElement();
        w.writeEndElement();
    }
    if (!c.especies.empty()) {
        w.writeStartElement(QStringLiteral("taxonomicCoverage"));
        w.writeTextElement(QStringLiteral("generalTaxonomicCoverage"),
                           QStringLiteral("Anfibios y reptiles de España."));
        const auto Taxon = [&](const QString &rango, const QString &valor) {
            w.writeStartElement(QStringLiteral("taxonomicClassification"));
            w.writeTextElement(QStringLiteral("taxonRankName"), rango);
            w.writeTextElement(QStringLiteral("taxonRankValue"), valor);
            w.writeEndElement();
        };
        for (const auto &[clase, especies] : c.especies)
            if (!clase.isEmpty()) Taxon(QStringLiteral("class"), clase);
        for (const auto &[clase, especies] : c.especies)
            for (const QString &especie : especies)
                Taxon(QStringLiteral("species"), especie);
        w.writeEndElement();
    }
    if (c.primera.isValid()) {
        w.writeStartElement(QStringLiteral("temporalCoverage"));
        w.writeStartElement(QStringLiteral("rangeOfDates"));
        w.writeStartElement(QStringLiteral("beginDate"));
        w.writeTextElement(QStringLiteral("calendarDate"), c.primera.toString(Qt::ISODate));
        w.writeEndElement();
        w.writeStartElement(QStringLiteral("endDate"));
        w.writeTextElement(QStringLiteral("calendarDate"), c.ultima.toString(Qt::ISODate));
        w.writeEndElement();
        w.writeEndElement();
        w.writeEndElement();
    }
    w.writeEndElement(); // coverage
    Persona(QStringLiteral("contact"));
    // The software that made the records is part of how they were made.
    w.writeStartElement(QStringLiteral("methods"));
    w.writeStartElement(QStringLiteral("methodStep"));
    w.writeStartElement(QStringLiteral("description"));
    w.writeTextElement(
        QStringLiteral("para"),
        QStringLiteral("Observaciones de campo anotadas y exportadas con Tritodex %1.")
            .arg(Version::Programa()));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement(); // dataset

    w.writeStartElement(QStringLiteral("additionalMetadata"));
    w.writeStartElement(QStringLiteral("metadata"));
    w.writeStartElement(QStringLiteral("gbif"));
    w.writeTextElement(QStringLiteral("dateStamp"), m.hecho.toString(Qt::ISODate));
    w.writeTextElement(QStringLiteral("hierarchyLevel"), QStringLiteral("dataset"));
    w.writeStartElement(QStringLiteral("citation"));
    w.writeAttribute(QStringLiteral("identifier"), QStringLiteral("urn:uuid:") + m.conjunto);
    w.writeCharacters(QStringLiteral("%1 (%2). %3. Conjunto de datos de presencias. "
                                     "Consultado a través de GBIF. urn:uuid:%4")
                          .arg(nombre.isEmpty() ? apellido : nombre)
                          .arg(m.dia.year())
                          .arg(titulo, m.conjunto));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement(); // eml
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
        QStringLiteral("occurrenceStatus"),
        QStringLiteral("eventDate"),
        QStringLiteral("eventTime"),
        QStringLiteral("year"),
        QStringLiteral("month"),
        QStringLiteral("day"),
        QStringLiteral("scientificName"),
        QStringLiteral("vernacularName"),
        QStringLiteral("kingdom"),
        QStringLiteral("class"),
        QStringLiteral("taxonRank"),
        QStringLiteral("identificationVerificationStatus"),
        QStringLiteral("identificationRemarks"),
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
        QStringLiteral("county"),
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
    const auto conjunto = almacen.ConjuntoDatos();
    if (!conjunto) {
        *error = almacen.error();
        return false;
    }
    const auto rechazadas = almacen.ContarRechazadas(false);
    if (!rechazadas) {
        *error = almacen.error();
        return false;
    }
    resumen->rechazadas = *rechazadas;
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
        if (resumen->rechazadas > 0)
            *error +=
                QStringLiteral(" Las rechazadas (%1) no se exportan.").arg(resumen->rechazadas);
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
    const QDateTime hecho = QDateTime::currentDateTimeUtc();
    const QList<std::pair<QString, QByteArray>> ficheros = {
        {QStringLiteral("occurrence.txt"), texto.toUtf8()},
        {QStringLiteral("meta.xml"), Meta()},
        // A new package of the same dataset each time.
        {QStringLiteral("eml.xml"),
         Eml({*autor, dia, licencia, *conjunto,
              *conjunto + u'/' + hecho.toString(QStringLiteral("yyyyMMdd'T'HHmmsszzz'Z'")), hecho,
              escritor.cobertura()})},
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
