#include "ImportReader.h"

#include "data/ArchivoComprobado.h"
#include "data/ModBaseDatos.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <cerrno>
#include <cmath>
#include <limits>
#include <memory>
#include <zip.h>

namespace Import {

namespace {

Reading Rechazo(const QString &error) {
    Reading l;
    l.error = error;
    return l;
}

QString EnLinea(int linea, const QString &motivo) {
    return QStringLiteral("Línea %1: %2").arg(linea).arg(motivo);
}

// Pieces a file is read in.
constexpr qint64 kTrozo = 64 * 1024;

// A text longer than this is refused anyway, even were each of its characters two units:
// reading more of it would only spend memory. What is kept still reads as too long.
constexpr qsizetype kTopeTexto = 2 * qsizetype(ModBaseDatos::kMaximoTexto) + 2;

// No GPS nests elements this deep; a file that does is refused before its depth costs.
constexpr int kProfundidadXml = 64;

void Anadir(QString *destino, QStringView texto) {
    if (destino->size() < kTopeTexto) destino->append(texto.left(kTopeTexto - destino->size()));
}

// One copy of each text that many records repeat (species, times of day), shared by them
// all: a large export holds few different ones.
template <typename T> class Compartidos {
public:
    T operator()(const T &valor) {
        const auto it = vistos_.constFind(valor);
        return it != vistos_.cend() ? *it : *vistos_.insert(valor);
    }

private:
    QSet<T> vistos_;
};

Reading Cancelada() {
    return Rechazo(Avances::kCancelado);
}

// Why an XML reader stopped, in Spanish: the library's own texts are English.
QString CausaXml(const QXmlStreamReader &x) {
    if (x.error() == QXmlStreamReader::CustomError) return x.errorString();
    if (x.error() == QXmlStreamReader::PrematureEndOfDocumentError)
        return QStringLiteral("el archivo termina antes de tiempo");
    static const std::pair<const char *, const char *> causas[] = {
        {"Entity expands to more characters",
         "una entidad se expande a más texto del que el programa admite"},
        {"Self-referencing entity", "una entidad se contiene a sí misma"},
        {"Recursive entity", "una entidad se contiene a sí misma"},
        {"Entity '", "usa una entidad que no está declarada"},
        {"Invalid entity value", "declara una entidad de forma incorrecta"},
        {"Opening and ending tag mismatch", "una etiqueta se cierra con otro nombre"},
        {"Invalid XML character", "tiene un carácter que no puede ir en un XML"},
        {"Encountered incorrectly encoded content", "tiene texto mal codificado"},
        {"Encoding ", "declara una codificación que el programa no conoce"},
        {"Extra content at end of document", "sigue después del final del documento"},
        {"Unsupported XML version", "declara una versión de XML que el programa no conoce"},
        {"Attribute '", "repite un atributo en un mismo elemento"},
        {"Namespace prefix", "usa un espacio de nombres que no declara"},
    };
    const QString texto = x.errorString();
    for (const auto &[ingles, espanol] : causas)
        if (texto.startsWith(QLatin1String(ingles))) return QString::fromUtf8(espanol);
    return QStringLiteral("el XML no está bien formado");
}

// An XML reader that keeps count of how deep it is and refuses a depth no file of ours
// needs; the elements' texts are read without recursion.
struct Xml {
    QXmlStreamReader r;
    int nivel = 0;
    bool Siguiente() {
        // Out of data is no end: an entry read in pieces goes on once more is added.
        if (r.atEnd() && r.error() != QXmlStreamReader::PrematureEndOfDocumentError) return false;
        r.readNext();
        if (r.isStartElement() && ++nivel > kProfundidadXml)
            r.raiseError(QStringLiteral("tiene elementos anidados a más de %1 niveles")
                             .arg(kProfundidadXml));
        // Entities of its own can grow a small file into millions of characters, which the
        // library expands into one text before handing any of it over; no GPS or
        // spreadsheet declares any.
        else if (r.isDTD() && !r.entityDeclarations().isEmpty())
            r.raiseError(QStringLiteral("declara entidades propias, que el programa no admite"));
        else if (r.isEndElement())
            --nivel;
        return !r.hasError() && !r.atEnd();
    }
};

// The clock time in Spain of an instant: the Canaries keep an hour less.
QDateTime HoraLocal(const QDateTime &instante, double lon) {
    static const QTimeZone peninsula("Europe/Madrid"), canarias("Atlantic/Canary");
    const QTimeZone &zona = lon < -12.0 ? canarias : peninsula;
    return zona.isValid() ? instante.toTimeZone(zona) : instante.toLocalTime();
}

// ---- CSV ----------------------------------------------------------------------------

// A yes of the platforms' exports: "true" in iNaturalist's.
bool Verdadero(const QString &t) {
    return t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || t == u"1" ||
           t.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

struct FilaCsv {
    int linea;
    QStringList campos;
};

// RFC 4180 fields with the separator of the header line (comma, semicolon or tab), fed in
// pieces; every row is handed on as soon as it ends, so that only one is held at a time.
class PartirCsv {
public:
    // False from the callback stops the reading (its reason is the callback's own).
    explicit PartirCsv(std::function<bool(FilaCsv &&)> alTerminarFila)
        : fila_(std::move(alTerminarFila)) {}

    bool Alimentar(QStringView texto) {
        if (sep_.isNull()) {
            // The separator is the one the header line holds most of.
            cabecera_ += texto;
            const qsizetype fin = cabecera_.indexOf(u'\n');
            if (fin < 0) return true;
            ElegirSeparador(QStringView(cabecera_).left(fin));
            const QString pendiente = std::exchange(cabecera_, QString());
            return Partir(pendiente);
        }
        return Partir(texto);
    }
    bool Terminar(QString *error) {
        if (sep_.isNull()) {
            ElegirSeparador(cabecera_);
            const QString pendiente = std::exchange(cabecera_, QString());
            if (!Partir(pendiente)) return false;
        }
        if (comillaPendiente_) comillas_ = comillaPendiente_ = false;
        if (comillas_) {
            *error = EnLinea(inicio_, QStringLiteral("unas comillas se abren y no se cierran: "
                                                     "el archivo parece cortado."));
            return false;
        }
        if (!campo_.isEmpty() || !campos_.isEmpty()) return CerrarFila();
        return true;
    }

private:
    void ElegirSeparador(QStringView cabecera) {
        sep_ = u',';
        qsizetype mas = cabecera.count(u',');
        for (const QChar c : {QChar(u';'), QChar(u'\t')})
            if (cabecera.count(c) > mas) mas = cabecera.count(c), sep_ = c;
    }
    bool CerrarFila() {
        campos_ << campo_;
        campo_.clear();
        citado_ = false;
        const bool vacia = campos_.size() == 1 && campos_.first().trimmed().isEmpty();
        QStringList campos = std::exchange(campos_, QStringList());
        return vacia || fila_({inicio_, std::move(campos)});
    }
    bool Partir(QStringView texto) {
        for (qsizetype i = 0; i < texto.size(); ++i) {
            const QChar c = texto.at(i);
            if (comillaPendiente_) {
                // A quote inside quotes: doubled, it is a quote; alone, it closes them.
                comillaPendiente_ = false;
                if (c == u'"') {
                    campo_ += u'"';
                    continue;
                }
                comillas_ = false;
            }
            if (comillas_) {
                if (c == u'"') {
                    comillaPendiente_ = true;
                } else {
                    if (c == u'\n') ++linea_;
                    campo_ += c;
                }
            } else if (c == u'"' && campo_.trimmed().isEmpty() && !citado_) {
                comillas_ = citado_ = true;
                campo_.clear();
            } else if (c == sep_) {
                campos_ << campo_;
                campo_.clear();
                citado_ = false;
            } else if (c == u'\n') {
                if (!CerrarFila()) return false;
                inicio_ = ++linea_;
            } else if (c != u'\r') {
                campo_ += c;
            }
        }
        return true;
    }

    std::function<bool(FilaCsv &&)> fila_;
    QString cabecera_;
    QChar sep_;
    int linea_ = 1, inicio_ = 1;
    QStringList campos_;
    QString campo_;
    bool comillas_ = false, citado_ = false, comillaPendiente_ = false;
};

// A header as a key: lower case, blanks for the separators the platforms use.
QString Clave(QString t) {
    t = t.trimmed().toLower();
    for (const QChar c : {QChar(u'_'), QChar(u'.'), QChar(u'-')})
        t.replace(c, u' ');
    return t.simplified();
}

struct Columnas {
    QHash<QString, int> indice;
    int De(std::initializer_list<const char *> nombres) const {
        for (const char *n : nombres)
            if (const auto i = indice.constFind(QString::fromUtf8(n)); i != indice.cend())
                return *i;
        return -1;
    }
};

// The CSV exports: the platform is told by its columns. Each row becomes a record as soon as
// it is read.
class LectorCsv {
public:
    explicit LectorCsv(const Sink &entregar) : entregar_(entregar) {}
    bool Fila(FilaCsv &&fila) {
        if (cabecera_.isEmpty()) return Cabecera(std::move(fila.campos));
        return Registrar(fila);
    }
    Reading Fin() {
        if (!error_.isEmpty()) return Rechazo(error_);
        if (cabecera_.isEmpty()) return Rechazo(QStringLiteral("El archivo está vacío."));
        if (detenido_) return Rechazo(QString());
        if (registros_ == 0)
            return Rechazo(QStringLiteral("El archivo no tiene ninguna observación después de la "
                                          "cabecera."));
        l_.ok = true;
        return std::move(l_);
    }
    QString error_;

private:
    bool Cabecera(QStringList cabecera) {
        cabecera_ = std::move(cabecera);
        Columnas col;
        for (int i = 0; i < cabecera_.size(); ++i)
            col.indice.insert(Clave(cabecera_[i]), i);
        QStringList faltan;
        auto exigir = [&](int c, const char *nombre) {
            if (c < 0) faltan << QString::fromUtf8(nombre);
            return c;
        };
        if (col.De({"observed on"}) >= 0) {
            l_.formato = Format::INaturalist;
            cFecha = col.De({"observed on"});
            cHora = col.De({"time observed at"});
            cEspecies << exigir(col.De({"scientific name"}), "scientific_name")
                      << col.De({"common name"}) << col.De({"species guess"});
            cLat = exigir(col.De({"latitude"}), "latitude");
            cLon = exigir(col.De({"longitude"}), "longitude");
            cNotas = col.De({"description"});
            cLugar = col.De({"place guess"});
            // The public point of an obscured observation lies anywhere in a cell of about
            // 0.2 degrees; the owner's own export carries the true one.
            cLatPrivada = col.De({"private latitude"});
            cLonPrivada = col.De({"private longitude"});
            cOculta = col.De({"coordinates obscured"});
            cPrivacidad << col.De({"geoprivacy"}) << col.De({"taxon geoprivacy"});
            cCautividad = col.De({"captive cultivated"});
            cPrecision = col.De({"positional accuracy"});
        } else {
            l_.formato = Format::ObservationOrg;
            cFecha = col.De({"date", "fecha", "datum"});
            cHora = col.De({"time", "hora", "tijd"});
            cEspecies << col.De({"scientific name", "species name scientific",
                                 "species scientific name", "nombre cientifico",
                                 "nombre científico"})
                      << col.De({"species name", "species", "especie"});
            cNumero = col.De({"number", "count", "numero", "número", "aantal"});
            cLat = col.De({"lat", "latitude", "latitud"});
            cLon = col.De({"lng", "lon", "long", "longitude", "longitud"});
            cNotas = col.De({"notes", "note", "remarks", "notas", "description", "opmerkingen"});
            cLugar = col.De({"location", "location name", "locality", "localidad", "gebied"});
            // Fewer than two of its columns: some other table altogether.
            if ((cFecha >= 0) + (cEspecies[0] >= 0 || cEspecies[1] >= 0) + (cLat >= 0) +
                    (cLon >= 0) <
                2) {
                error_ = QStringLiteral(
                    "Línea 1: el archivo no es una exportación de iNaturalist ni de "
                    "Observation.org, ni un GPX, ni una hoja de cálculo del programa.");
                return false;
            }
            exigir(cFecha, "date");
            if (cEspecies[0] < 0 && cEspecies[1] < 0) faltan << QStringLiteral("scientific name");
            exigir(cLat, "lat");
            exigir(cLon, "lng");
        }
        if (!faltan.isEmpty()) {
            error_ =
                EnLinea(1, QStringLiteral("faltan las columnas %1 de una exportación de %2.")
                               .arg(faltan.join(QStringLiteral(", ")), NombreFormato(l_.formato)));
            return false;
        }
        return true;
    }

    bool Registrar(const FilaCsv &fila) {
        auto rechazar = [&](const QString &motivo) {
            error_ = EnLinea(fila.linea, motivo);
            return false;
        };
        if (fila.campos.size() != cabecera_.size())
            return rechazar(QStringLiteral("tiene %1 campos y la cabecera %2: el archivo parece "
                                           "cortado o dañado.")
                                .arg(fila.campos.size())
                                .arg(cabecera_.size()));
        auto valor = [&](int c) { return c < 0 ? QString() : fila.campos.at(c).trimmed(); };
        Record r;
        r.linea = fila.linea;
        const QString fecha = valor(cFecha), hora = valor(cHora);
        if (!fecha.isEmpty() && !LeerFechaHora(fecha, &r.fecha, &r.hora))
            return rechazar(QStringLiteral("la fecha «%1» no se entiende.").arg(fecha));
        QString lat = valor(cLatPrivada), lon = valor(cLonPrivada);
        if (lat.isEmpty() && lon.isEmpty()) {
            bool oculta = Verdadero(valor(cOculta));
            for (int c : std::as_const(cPrivacidad))
                oculta = oculta ||
                         valor(c).compare(QLatin1String("obscured"), Qt::CaseInsensitive) == 0 ||
                         valor(c).compare(QLatin1String("private"), Qt::CaseInsensitive) == 0;
            if (oculta) {
                r.posicionOculta = true;
            } else {
                lat = valor(cLat);
                lon = valor(cLon);
            }
        }
        r.cautividad = Verdadero(valor(cCautividad));
        if (const QString precision = valor(cPrecision); !precision.isEmpty()) {
            const auto metros = LeerDecimal(precision);
            if (!metros || *metros < 0 || *metros > 2e9)
                return rechazar(
                    QStringLiteral("la precisión «%1» no es un número de metros.").arg(precision));
            // Rounded up: a circle is never made smaller than the platform drew it. A
            // precision of 0 tells nothing.
            if (*metros > 0) r.incertidumbre = int(std::ceil(*metros));
        }
        if (!lat.isEmpty() || !lon.isEmpty()) {
            const auto la = LeerDecimal(lat), lo = LeerDecimal(lon);
            if (!la || !lo || std::abs(*la) > 90 || std::abs(*lo) > 180)
                return rechazar(
                    QStringLiteral("la posición «%1, %2» no es una latitud y una longitud.")
                        .arg(lat, lon));
            r.geograficas = true;
            r.lat = *la;
            r.lon = *lo;
        }
        if (!hora.isEmpty()) {
            if (l_.formato == Format::INaturalist) {
                // An instant: the clock time as written when it carries its offset, the
                // time in Spain when it is in UTC.
                static const QRegularExpression instante(
                    QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d)[ T](\\d\\d:\\d\\d)(?::\\d\\d)?"
                                   "\\s*(UTC|Z|[+-]\\d\\d:?\\d\\d)?$"));
                const auto m = instante.match(hora);
                QDateTime t(QDate::fromString(m.captured(1), Qt::ISODate),
                            QTime::fromString(m.captured(2), QStringLiteral("HH:mm")),
                            QTimeZone::utc());
                if (!m.hasMatch() || !t.isValid())
                    return rechazar(QStringLiteral("la hora «%1» no se entiende.").arg(hora));
                if (m.captured(3) == u"UTC" || m.captured(3) == u"Z") t = HoraLocal(t, r.lon);
                if (!r.fecha.isValid()) r.fecha = t.date();
                if (t.date() == r.fecha) r.hora = t.time().toString(QStringLiteral("HH:mm"));
            } else {
                // 9:05, 09:05 or 9:05:00: the clock time, its seconds left aside.
                static const QRegularExpression reloj(
                    QStringLiteral("^(\\d{1,2}):(\\d\\d)(?::\\d\\d)?$"));
                const auto m = reloj.match(hora);
                const QTime t =
                    m.hasMatch() ? QTime(m.captured(1).toInt(), m.captured(2).toInt()) : QTime();
                if (!t.isValid())
                    return rechazar(QStringLiteral("la hora «%1» no se entiende.").arg(hora));
                r.hora = t.toString(QStringLiteral("HH:mm"));
            }
        }
        for (int c : std::as_const(cEspecies))
            if (!valor(c).isEmpty()) r.especies << textos_(valor(c));
        r.especies = listas_(r.especies);
        r.hora = textos_(r.hora);
        const QString numero = valor(cNumero);
        if (!numero.isEmpty()) {
            bool ok = false;
            const int n = numero.toInt(&ok);
            if (!ok || n < 0)
                return rechazar(
                    QStringLiteral("el número de ejemplares «%1» no es un número entero.")
                        .arg(numero));
            r.numero = n;
        }
        r.descripcion = valor(cNotas);
        r.lugar = valor(cLugar);
        ++registros_;
        detenido_ = !entregar_(std::move(r));
        return !detenido_;
    }

    const Sink &entregar_;
    qsizetype registros_ = 0;
    bool detenido_ = false;
    Reading l_;
    Compartidos<QString> textos_;
    Compartidos<QStringList> listas_;
    QStringList cabecera_;
    int cFecha = -1, cHora = -1, cNumero = -1, cLat = -1, cLon = -1, cNotas = -1, cLugar = -1;
    int cLatPrivada = -1, cLonPrivada = -1, cOculta = -1, cCautividad = -1, cPrecision = -1;
    QList<int> cEspecies, cPrivacidad;
};

// True when the rest of the device is UTF-8 throughout (read in pieces, then rewound).
bool EsUtf8(QIODevice *d) {
    const qint64 inicio = d->pos();
    QStringDecoder utf8(QStringDecoder::Utf8);
    while (!d->atEnd()) {
        const QByteArray trozo = d->read(kTrozo);
        if (trozo.isEmpty()) break;
        (void)QString(utf8.decode(trozo));
        if (utf8.hasError()) break;
    }
    const bool valido = !utf8.hasError() && utf8.isValid();
    d->seek(inicio);
    return valido;
}

// Windows-1252 bytes as text.
QString DeWindows1252(QByteArrayView v);

Reading LeerCsv(QIODevice *d, const Avance &avance, const Sink &entregar) {
    const qint64 total = d->size();
    if (d->peek(3) == "\xEF\xBB\xBF") d->read(3);
    const bool utf8 = EsUtf8(d);
    QStringDecoder decodificador(QStringDecoder::Utf8);
    LectorCsv lector(entregar);
    PartirCsv partir([&lector](FilaCsv &&fila) { return lector.Fila(std::move(fila)); });
    while (!d->atEnd()) {
        const QByteArray trozo = d->read(kTrozo);
        if (trozo.isEmpty()) break;
        const QString texto = utf8 ? QString(decodificador.decode(trozo)) : DeWindows1252(trozo);
        if (!partir.Alimentar(texto)) return lector.Fin();
        if (!Avances::Seguir(avance, d->pos(), total)) return Cancelada();
    }
    QString error;
    if (!partir.Terminar(&error)) return Rechazo(lector.error_.isEmpty() ? error : lector.error_);
    return lector.Fin();
}

// How reading an XML document ended.
struct Parada {
    enum Tipo { Ninguna, Danada, Grande, Cancelada } tipo = Ninguna;
    QString causa;
    bool delLector = false; // the XML library's cause, not a whole sentence of ours
};

// Where a document comes from, piece by piece: the bytes put in `datos`, 0 at its end, -1
// on a failure (its cause in `causa`).
using Fuente = std::function<qint64(char *datos, qint64 maximo, QString *causa)>;

// A text run this long without a single mark is no file of ours: the XML reader would hold
// it whole before handing any of it over.
constexpr qint64 kSinMarcas = 4 * 1024 * 1024;

// Reads the document in pieces, each token handed to `alToken` as read, so that neither
// the document nor a long text is held whole: at most `tope` bytes are read. `alToken` stops
// the reading by raising an error on the reader (Danada) or by returning false (Grande).
Parada RecorrerXml(Xml &x, const Fuente &fuente, qint64 tope, qint64 total, const Avance &avance,
                   const std::function<bool(Xml &)> &alToken, qint64 *leidos) {
    Parada fin;
    QByteArray trozo(kTrozo, Qt::Uninitialized);
    qint64 sinToken = 0;
    bool agotado = false;
    *leidos = 0;
    while (fin.tipo == Parada::Ninguna) {
        if (x.Siguiente()) {
            sinToken = 0;
            if (!alToken(x)) fin.tipo = Parada::Grande;
            continue;
        }
        if (!x.r.hasError()) break; // the whole document read
        if (x.r.error() != QXmlStreamReader::PrematureEndOfDocumentError || agotado) {
            fin = {Parada::Danada, CausaXml(x.r), x.r.error() != QXmlStreamReader::CustomError};
            break;
        }
        QString causa;
        const qint64 n = fuente(trozo.data(), trozo.size(), &causa);
        if (n < 0) {
            fin = {Parada::Danada, causa};
        } else if (n == 0) {
            agotado = true;
        } else if ((*leidos += n) > tope || (sinToken += n) > kSinMarcas) {
            fin.tipo = Parada::Grande;
        } else if (!Avances::Seguir(avance, *leidos, total)) {
            fin.tipo = Parada::Cancelada;
        } else {
            x.r.addData(QByteArray(trozo.constData(), n));
        }
    }
    return fin;
}

// ---- GPX ----------------------------------------------------------------------------

Reading LeerGpx(QIODevice *d, const Avance &avance, const Sink &entregar) {
    Reading l;
    l.formato = Format::Gpx;
    // Waypoints as they are read: the text of each element of a point, its inner elements'
    // text included.
    bool raiz = false, enPunto = false, detenido = false;
    int punto = 0;
    qsizetype registros = 0;
    Record r;
    QString nombre, desc, cmt, hora, error;
    QString *destino = nullptr;
    auto rechazar = [&](Xml &x, int linea, const QString &motivo) {
        error = EnLinea(linea, motivo);
        x.r.raiseError(error);
        return true;
    };
    auto cerrarPunto = [&](Xml &x) {
        for (QString *t : {&nombre, &desc, &cmt, &hora})
            *t = t->trimmed();
        if (!hora.isEmpty()) {
            const QDateTime t = QDateTime::fromString(hora, Qt::ISODateWithMs);
            if (!t.isValid())
                return rechazar(x, r.linea,
                                QStringLiteral("la hora «%1» no se entiende.").arg(hora));
            // A time without its zone is UTC, as the GPX schema has it.
            const QDateTime local = HoraLocal(
                t.timeSpec() == Qt::LocalTime ? QDateTime(t.date(), t.time(), QTimeZone::utc()) : t,
                r.lon);
            r.fecha = local.date();
            r.hora = local.time().toString(QStringLiteral("HH:mm"));
        }
        for (const QString &s : {nombre, desc, cmt})
            if (!s.isEmpty()) r.especies << s;
        r.lugar = nombre;
        r.descripcion = desc.isEmpty() ? cmt : desc;
        ++registros;
        if (!entregar(std::exchange(r, Record()))) {
            detenido = true;
            x.r.raiseError(QString());
        }
        return true;
    };
    const Fuente fuente = [d](char *datos, qint64 maximo, QString *causa) {
        const qint64 n = d->read(datos, maximo);
        if (n < 0) *causa = QStringLiteral("no se ha podido leer el archivo");
        return n;
    };
    Xml x;
    qint64 leidos = 0;
    const Parada p = RecorrerXml(
        x, fuente, std::numeric_limits<qint64>::max(), d->size(), avance,
        [&](Xml &x) {
            if (!raiz) {
                if (!x.r.isStartElement()) return true;
                raiz = true;
                if (x.r.name() != u"gpx")
                    return rechazar(x, int(x.r.lineNumber()),
                                    QStringLiteral("el archivo no es un GPX."));
                return true;
            }
            if (!enPunto) {
                if (!x.r.isStartElement() || x.r.name() != u"wpt") return true;
                r.linea = int(x.r.lineNumber());
                const auto la =
                    LeerDecimal(x.r.attributes().value(QLatin1String("lat")).toString());
                const auto lo =
                    LeerDecimal(x.r.attributes().value(QLatin1String("lon")).toString());
                if (!la || !lo || std::abs(*la) > 90 || std::abs(*lo) > 180)
                    return rechazar(x, r.linea,
                                    QStringLiteral("el punto no tiene una latitud y una "
                                                   "longitud válidas."));
                r.geograficas = true;
                r.lat = *la;
                r.lon = *lo;
                for (QString *t : {&nombre, &desc, &cmt, &hora})
                    t->clear();
                enPunto = true;
                punto = x.nivel;
            } else if (x.r.isStartElement() && x.nivel == punto + 1) {
                const QStringView e = x.r.name();
                destino = e == u"name"   ? &nombre
                          : e == u"desc" ? &desc
                          : e == u"cmt"  ? &cmt
                          : e == u"time" ? &hora
                                         : nullptr;
                if (destino) destino->clear();
            } else if (x.r.isCharacters() && destino) {
                Anadir(destino, x.r.text());
            } else if (x.r.isEndElement() && x.nivel == punto) {
                destino = nullptr;
            } else if (x.r.isEndElement() && x.nivel < punto) {
                enPunto = false;
                return cerrarPunto(x);
            }
            return true;
        },
        &leidos);
    if (p.tipo == Parada::Cancelada) return Cancelada();
    if (detenido) return Rechazo(QString());
    if (!error.isEmpty()) return Rechazo(error);
    if (!raiz && (p.tipo != Parada::Danada || p.delLector))
        return Rechazo(EnLinea(int(x.r.lineNumber()), QStringLiteral("el archivo no es un GPX.")));
    if (p.tipo == Parada::Grande)
        return Rechazo(EnLinea(int(x.r.lineNumber()),
                               QStringLiteral("el GPX tiene un texto demasiado largo para "
                                              "importarlo.")));
    if (p.tipo == Parada::Danada)
        return Rechazo(
            EnLinea(int(x.r.lineNumber()),
                    QStringLiteral("el GPX está incompleto o dañado (%1).").arg(p.causa)));
    if (registros == 0)
        return Rechazo(QStringLiteral("El GPX no tiene ningún punto de paso (waypoint)."));
    l.ok = true;
    return l;
}

// ---- The program's own spreadsheet ---------------------------------------------------

// Why libzip refused an archive or an entry, in Spanish: its own texts are English.
QString CausaZip(int codigo) {
    switch (codigo) {
    case ZIP_ER_NOZIP:
        return QStringLiteral("no es un archivo comprimido (zip).");
    case ZIP_ER_INCONS:
        return QStringLiteral("el archivo comprimido (zip) no es coherente.");
    case ZIP_ER_CRC:
        return QStringLiteral("los datos no coinciden con su suma de control (CRC).");
    case ZIP_ER_EOF:
    case ZIP_ER_READ:
        return QStringLiteral("el archivo termina antes de tiempo: parece cortado.");
    case ZIP_ER_ZLIB:
    case ZIP_ER_COMPRESSED_DATA:
        return QStringLiteral("los datos comprimidos están dañados.");
    case ZIP_ER_COMPNOTSUPP:
        return QStringLiteral("usa una compresión que el programa no conoce.");
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
        return QStringLiteral("está protegida con contraseña.");
    case ZIP_ER_MULTIDISK:
        return QStringLiteral("está partida en varios archivos.");
    case ZIP_ER_MEMORY:
        return QStringLiteral("no hay memoria suficiente para leerla.");
    default:
        return QStringLiteral("el archivo comprimido (zip) está dañado (error %1).").arg(codigo);
    }
}

// "BC12" -> column 54 (zero-based), row 12. Beyond the columns and rows a sheet may have,
// no reference.
bool Referencia(QStringView ref, int *col, int *fila) {
    // Only the letters A to Z name columns: any other letter would misplace the cell.
    int c = 0;
    qsizetype i = 0;
    for (; i < ref.size() && c <= 16384; ++i) {
        const char16_t u = ref[i].unicode();
        if (u >= 'A' && u <= 'Z')
            c = c * 26 + (u - 'A' + 1);
        else if (u >= 'a' && u <= 'z')
            c = c * 26 + (u - 'a' + 1);
        else
            break;
    }
    bool ok = i < ref.size() && ref[i].isDigit();
    *fila = ok ? ref.mid(i).toInt(&ok) : 0;
    *col = c - 1;
    return ok && c > 0 && c <= 16384 && *fila > 0;
}

// An XML entry of the archive inflated in pieces, each token handed to `alToken` as read.
// The size the archive declares for it is never used to read it: at most `tope` bytes are
// inflated, so that memory and time stay bounded whatever it claims.
Parada RecorrerEntrada(zip_t *zip, zip_int64_t indice, qint64 tope, const Avance &avance,
                       const std::function<bool(Xml &)> &alToken) {
    zip_file_t *f = zip_fopen_index(zip, zip_uint64_t(indice), 0);
    if (!f) return {Parada::Danada, CausaZip(zip_error_code_zip(zip_get_error(zip)))};
    const std::unique_ptr<zip_file_t, decltype(&zip_fclose)> cierre(f, &zip_fclose);
    const Fuente fuente = [f](char *datos, qint64 maximo, QString *causa) {
        const zip_int64_t n = zip_fread(f, datos, zip_uint64_t(maximo));
        if (n < 0) *causa = CausaZip(zip_error_code_zip(zip_file_get_error(f)));
        return qint64(n);
    };
    Xml x;
    qint64 inflados = 0;
    Parada fin = RecorrerXml(x, fuente, tope, 0, avance, alToken, &inflados);
    // What follows the document is read too: the entry's check sum is verified at its end,
    // and a size it declares that is not that of its data marks it as damaged.
    QByteArray trozo(kTrozo, Qt::Uninitialized);
    for (qint64 n = 1; fin.tipo == Parada::Ninguna && n > 0;) {
        n = fuente(trozo.data(), trozo.size(), &fin.causa);
        if (n < 0)
            fin.tipo = Parada::Danada;
        else if ((inflados += n) > tope)
            fin.tipo = Parada::Grande;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (fin.tipo == Parada::Ninguna && zip_stat_index(zip, zip_uint64_t(indice), 0, &st) == 0 &&
        (st.valid & ZIP_STAT_SIZE) && st.size != zip_uint64_t(inflados))
        fin = {Parada::Danada,
               QStringLiteral("declara un tamaño (%1 bytes) que no es el de sus datos (%2 bytes).")
                   .arg(st.size)
                   .arg(inflados)};
    return fin;
}

Reading LeerHoja(const QByteArray &datos, const Avance &avance, const Sink &entregar) {
    const QString danada = QStringLiteral("La hoja de cálculo está incompleta o dañada: %1");
    const QString grande = QStringLiteral("La hoja es demasiado grande para importarla.");
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t *fuente =
        zip_source_buffer_create(datos.constData(), zip_uint64_t(datos.size()), 0, &ze);
    zip_t *zip = fuente ? zip_open_from_source(fuente, ZIP_RDONLY, &ze) : nullptr;
    if (!zip) {
        const QString motivo = CausaZip(zip_error_code_zip(&ze));
        if (fuente) zip_source_free(fuente);
        zip_error_fini(&ze);
        return Rechazo(danada.arg(motivo));
    }
    zip_error_fini(&ze);
    const std::unique_ptr<zip_t, decltype(&zip_discard)> cierre(zip, &zip_discard);
    // No sheet deflates to more than a hundred times its size; the margin covers a tiny file.
    const qint64 tope = 100 * qint64(datos.size()) + 16 * 1024 * 1024;

    QStringList textos;
    const zip_int64_t compartidas = zip_name_locate(zip, "xl/sharedStrings.xml", 0);
    if (compartidas >= 0) {
        bool enTexto = false;
        const Parada p = RecorrerEntrada(zip, compartidas, tope, avance, [&](Xml &x) {
            if (x.r.isStartElement() && x.r.name() == u"si") {
                textos << QString();
            } else if (x.r.isStartElement() && x.r.name() == u"t") {
                enTexto = !textos.isEmpty();
            } else if (x.r.isEndElement() && x.r.name() == u"t") {
                enTexto = false;
            } else if (enTexto && x.r.isCharacters()) {
                Anadir(&textos.last(), x.r.text());
            }
            return true;
        });
        if (p.tipo == Parada::Cancelada) return Cancelada();
        if (p.tipo == Parada::Grande) return Rechazo(grande);
        if (p.tipo == Parada::Danada)
            return Rechazo(danada.arg(p.delLector ? p.causa + u'.' : p.causa));
    }

    const zip_int64_t hoja = zip_name_locate(zip, "xl/worksheets/sheet1.xml", 0);
    if (hoja < 0) return Rechazo(danada.arg(QStringLiteral("no tiene hoja.")));

    // Row by row as the sheet is read: the headers' row is the first holding FECHA and
    // ESPECIE (the program writes it third); each later row becomes a record at once, so
    // that only one row's cells are held.
    Reading l;
    l.formato = Format::HojaPrograma;
    QString error;
    bool detenido = false;
    int filaCabecera = -1;
    Columnas c;
    auto registrar = [&](int f, const QHash<int, QString> &celdas) {
        if (filaCabecera < 0) {
            Columnas prueba;
            for (auto jt = celdas.cbegin(); jt != celdas.cend(); ++jt)
                prueba.indice.insert(jt->trimmed().toUpper(), jt.key());
            if (!prueba.indice.contains(QStringLiteral("FECHA")) ||
                !prueba.indice.contains(QStringLiteral("ESPECIE")))
                return true;
            filaCabecera = f, c = prueba;
            QStringList faltan;
            for (const char *n : {"LOCALIDAD", "LONGITUD", "LATITUD", "HUSO"})
                if (!c.indice.contains(QString::fromLatin1(n))) faltan << QString::fromLatin1(n);
            if (faltan.isEmpty()) return true;
            error = QStringLiteral("Fila %1: faltan las columnas %2 de la hoja de observaciones "
                                   "del programa.")
                        .arg(f)
                        .arg(faltan.join(QStringLiteral(", ")));
            return false;
        }
        auto valorDe = [&](const char *nombre) {
            const int i = c.De({nombre});
            return i < 0 ? QString() : celdas.value(i).trimmed();
        };
        auto enFila = [&](const QString &motivo) {
            error = QStringLiteral("Fila %1: %2").arg(f).arg(motivo);
            return false;
        };
        Record r;
        r.linea = f;
        const QString fecha = valorDe("FECHA");
        if (!fecha.isEmpty()) {
            bool numero = false;
            const double serie = fecha.toDouble(&numero);
            if (numero && serie > 0 && serie < 2958466) {
                r.fecha = QDate(1899, 12, 30).addDays(qint64(std::floor(serie)));
            } else if (!LeerFechaHora(fecha, &r.fecha, &r.hora)) {
                return enFila(QStringLiteral("la fecha «%1» no se entiende.").arg(fecha));
            }
            r.hora.clear();
        }
        if (const QString e = valorDe("ESPECIE"); !e.isEmpty()) r.especies << e;
        const QString n = valorDe("EJEMPLARES");
        if (!n.isEmpty()) {
            bool ok = false;
            const double v = n.toDouble(&ok);
            if (!ok || v < 0 || v != std::floor(v) || v > 2147483647.0)
                return enFila(QStringLiteral("el número de ejemplares «%1» no es un número "
                                             "entero.")
                                  .arg(n));
            r.numero = int(v);
        }
        r.aprox = valorDe("APROX.").compare(QStringLiteral("Si"), Qt::CaseInsensitive) == 0;
        r.huso = valorDe("HUSO");
        for (auto [nombre, destino] :
             {std::pair{"LONGITUD", &r.este}, std::pair{"LATITUD", &r.norte}}) {
            const QString t = valorDe(nombre);
            if (t.isEmpty()) continue;
            bool ok = false;
            const double v = t.toDouble(&ok);
            if (!ok || v < 0 || v != std::floor(v) || v > 1e8)
                return enFila(QStringLiteral("la coordenada %1 «%2» no es un número entero.")
                                  .arg(QString::fromLatin1(nombre), t));
            *destino = qint64(v);
        }
        r.lugar = valorDe("LOCALIDAD");
        r.descripcion = valorDe("DESCRIPCION");
        const QString hini = valorDe("H.INICIAL");
        if (QTime::fromString(hini, QStringLiteral("HH:mm")).isValid()) r.hora = hini;
        for (const char *otro : {"H.FINAL", "ESTADIO", "CONDUCTA", "HABITAT", "PERIODO", "METEO",
                                 "VIENTO", "MOTIVO", "OBSERVADOR2", "OBSERVADOR3", "OBSERVADOR4"})
            if (const QString v = valorDe(otro); !v.isEmpty())
                r.otros.insert(QString::fromLatin1(otro), v);
        if (entregar(std::move(r))) return true;
        detenido = true;
        return false;
    };

    QHash<int, QString> celdas; // of the row being read, by column
    int fila = 0, filaActual = 0, filas = 0, col = 0;
    QString tipo, valor;
    bool enCelda = false, enValor = false;
    // A row ends when a cell of another row begins, or at the end of the sheet.
    auto cerrarFila = [&]() {
        if (filaActual == 0) return true;
        const bool ok = registrar(filaActual, celdas);
        celdas.clear();
        filaActual = 0;
        return ok;
    };
    const Parada p = RecorrerEntrada(zip, hoja, tope, avance, [&](Xml &x) {
        if (x.r.isStartElement()) {
            if (x.r.name() == u"c") {
                if (!Referencia(x.r.attributes().value(QLatin1String("r")), &col, &fila)) {
                    x.r.raiseError(QStringLiteral("una celda sin referencia."));
                    return true;
                }
                if (fila != filaActual) {
                    if (!cerrarFila()) {
                        x.r.raiseError(error);
                        return true;
                    }
                    // Rows beyond a million observations and their headers: no sheet of ours.
                    if (++filas > kFilasHoja + 3) return false;
                    filaActual = fila;
                }
                tipo = x.r.attributes().value(QLatin1String("t")).toString();
                valor.clear();
                enCelda = true;
            } else if (enCelda && (x.r.name() == u"v" || x.r.name() == u"t")) {
                enValor = true;
            }
        } else if (x.r.isCharacters() && enValor) {
            Anadir(&valor, x.r.text());
        } else if (x.r.isEndElement() && (x.r.name() == u"v" || x.r.name() == u"t")) {
            enValor = false;
        } else if (x.r.isEndElement() && x.r.name() == u"c") {
            enCelda = enValor = false;
            if (tipo == u"s") {
                bool ok = false;
                const int i = valor.toInt(&ok);
                if (!ok || i < 0 || i >= textos.size()) {
                    x.r.raiseError(QStringLiteral("la fila %1 cita un texto que no está en el "
                                                  "archivo.")
                                       .arg(fila));
                    return true;
                }
                valor = textos.at(i);
            }
            // Before the headers only their names matter; after them, only their columns.
            const bool util = filaCabecera < 0 ? valor.size() <= 64
                                               : std::find(c.indice.cbegin(), c.indice.cend(),
                                                           col) != c.indice.cend();
            if (!valor.isEmpty() && util) celdas[col] = valor;
        }
        return true;
    });
    if (p.tipo == Parada::Cancelada) return Cancelada();
    if (detenido) return Rechazo(QString());
    if (p.tipo == Parada::Grande) return Rechazo(grande);
    if (p.tipo == Parada::Danada) {
        if (!error.isEmpty()) return Rechazo(error);
        if (!p.delLector) return Rechazo(danada.arg(p.causa));
        return Rechazo(danada.arg(fila > 0 ? QStringLiteral("fila %1 (%2).").arg(fila).arg(p.causa)
                                           : p.causa + u'.'));
    }
    if (!cerrarFila()) return Rechazo(detenido ? QString() : error);

    if (filaCabecera < 0)
        return Rechazo(QStringLiteral("La hoja de cálculo no es una consulta de observaciones del "
                                      "programa: no tiene las columnas FECHA y ESPECIE."));
    l.ok = true;
    return l;
}

const uint16_t kWindows1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString NombreFormato(Format f) {
    switch (f) {
    case Format::Gpx:
        return QStringLiteral("GPX");
    case Format::INaturalist:
        return QStringLiteral("iNaturalist");
    case Format::ObservationOrg:
        return QStringLiteral("Observation.org");
    case Format::HojaPrograma:
        return QStringLiteral("hoja de cálculo de Tritodex");
    case Format::Fotos:
        return QStringLiteral("fotos");
    }
    return QString();
}

QString Decodificar(const QByteArray &datos) {
    QByteArrayView v(datos);
    if (v.startsWith("\xEF\xBB\xBF")) v = v.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString texto = utf8.decode(v);
    if (!utf8.hasError()) return texto;
    return DeWindows1252(v);
}

bool LeerFechaHora(const QString &texto, QDate *fecha, QString *hora) {
    static const QRegularExpression iso(QStringLiteral(
        "^(\\d{4})[-/](\\d{1,2})[-/](\\d{1,2})(?:[ T](\\d{1,2}):(\\d\\d)(?::\\d\\d(?:\\.\\d+)?)?)?"
        "\\s*(?:Z|UTC|[+-]\\d\\d:?\\d\\d)?$"));
    static const QRegularExpression europea(QStringLiteral(
        "^(\\d{1,2})[-/.](\\d{1,2})[-/.](\\d{4})(?:[ T](\\d{1,2}):(\\d\\d)(?::\\d\\d)?)?$"));
    const QString t = texto.trimmed();
    QRegularExpressionMatch m = iso.match(t);
    int a, me, d;
    if (m.hasMatch()) {
        a = m.captured(1).toInt(), me = m.captured(2).toInt(), d = m.captured(3).toInt();
    } else if ((m = europea.match(t)).hasMatch()) {
        d = m.captured(1).toInt(), me = m.captured(2).toInt(), a = m.captured(3).toInt();
    } else {
        return false;
    }
    const QDate f(a, me, d);
    if (!f.isValid()) return false;
    QString h;
    if (m.hasCaptured(4)) {
        const QTime tt(m.captured(4).toInt(), m.captured(5).toInt());
        if (!tt.isValid()) return false;
        h = tt.toString(QStringLiteral("HH:mm"));
    }
    *fecha = f;
    *hora = h;
    return true;
}

std::optional<double> LeerDecimal(const QString &texto) {
    QString t = texto.trimmed();
    if (t.contains(u',') && !t.contains(u'.')) t.replace(u',', u'.');
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

namespace {

// Windows-1252 bytes as text.
QString DeWindows1252(QByteArrayView v) {
    QString r;
    r.reserve(v.size());
    for (const char ch : v) {
        const uchar b = uchar(ch);
        r += QChar(b >= 0x80 && b < 0xA0 ? kWindows1252[b - 0x80] : b);
    }
    return r;
}

Reading Leer(QIODevice *d, const Avance &avance, const Sink &entregar) {
    // Enough to pass a declaration of entities before the root element.
    const QByteArray inicio = d->peek(kTrozo);
    if (inicio.startsWith("PK\x03\x04")) {
        // An archive is read whole: its entries are inflated in pieces.
        const QByteArray datos = d->readAll();
        return LeerHoja(datos, avance, entregar);
    }
    const QString principio = Decodificar(inicio).trimmed();
    if (principio.startsWith(u'<')) {
        // The XML reader follows the file's own encoding declaration.
        if (principio.contains(QStringLiteral("<gpx"))) {
            // Without a declared encoding XML must be UTF-8; a GPS writing Windows-1252
            // without saying so is read as such rather than refused.
            if (!principio.contains(QStringLiteral("encoding=")) && !EsUtf8(d)) {
                QByteArray texto;
                while (!d->atEnd()) {
                    const QByteArray trozo = d->read(kTrozo);
                    if (trozo.isEmpty()) break;
                    texto += DeWindows1252(trozo).toUtf8();
                }
                QBuffer b(&texto);
                b.open(QIODevice::ReadOnly);
                return LeerGpx(&b, avance, entregar);
            }
            return LeerGpx(d, avance, entregar);
        }
        return Rechazo(QStringLiteral("Línea 1: el archivo es XML pero no un GPX."));
    }
    // A NUL byte anywhere: no text file.
    const qint64 desde = d->pos();
    while (!d->atEnd()) {
        const QByteArray trozo = d->read(kTrozo);
        if (trozo.isEmpty()) break;
        if (trozo.contains('\0'))
            return Rechazo(QStringLiteral("El archivo no es de texto ni una hoja de cálculo: no "
                                          "es de ningún tipo que el programa importe."));
    }
    d->seek(desde);
    return LeerCsv(d, avance, entregar);
}

// The records gathered in the result.
Reading Reunir(const std::function<Reading(const Sink &)> &leer) {
    QList<Record> registros;
    Reading l = leer([&registros](Record &&r) {
        registros << std::move(r);
        return true;
    });
    if (l.ok) l.registros = std::move(registros);
    return l;
}

} // namespace

Reading LeerDatos(const QByteArray &datos, const Avance &avance) {
    QByteArray copia = datos;
    QBuffer b(&copia);
    b.open(QIODevice::ReadOnly);
    return Reunir([&](const Sink &entregar) { return Leer(&b, avance, entregar); });
}

Reading LeerArchivo(const QString &ruta, const Avance &avance) {
    return Reunir([&](const Sink &entregar) { return LeerArchivo(ruta, entregar, avance); });
}

Reading LeerArchivo(const QString &ruta, const Sink &entregar, const Avance &avance) {
    QFile f(ruta);
    errno = 0;
    if (!f.open(QIODevice::ReadOnly)) {
        const int codigo = errno;
        return Rechazo(QStringLiteral("No se puede leer el archivo: %1.")
                           .arg(codigo == ENOENT ? QStringLiteral("el archivo no existe")
                                : codigo         ? Causas::DeErrno(codigo)
                                                 : QStringLiteral("no se ha podido abrir")));
    }
    return Leer(&f, avance, entregar);
}

} // namespace Import
