#include "ImportReader.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <cmath>
#include <zip.h>

namespace Importacion {

namespace {

Lectura Rechazo(const QString &error) {
    Lectura l;
    l.error = error;
    return l;
}

QString EnLinea(int linea, const QString &motivo) {
    return QStringLiteral("Línea %1: %2").arg(linea).arg(motivo);
}

// The clock time in Spain of an instant: the Canaries keep an hour less.
QDateTime HoraLocal(const QDateTime &instante, double lon) {
    static const QTimeZone peninsula("Europe/Madrid"), canarias("Atlantic/Canary");
    const QTimeZone &zona = lon < -12.0 ? canarias : peninsula;
    return zona.isValid() ? instante.toTimeZone(zona) : instante.toLocalTime();
}

// ---- CSV ----------------------------------------------------------------------------

struct FilaCsv {
    int linea;
    QStringList campos;
};

// RFC 4180 fields with the separator of the header line (comma, semicolon or tab).
bool PartirCsv(const QString &texto, QList<FilaCsv> *filas, QString *error) {
    const qsizetype finCabecera = texto.indexOf(u'\n');
    const QString cabecera = texto.left(finCabecera < 0 ? texto.size() : finCabecera);
    QChar sep = u',';
    qsizetype mas = cabecera.count(u',');
    for (const QChar c : {QChar(u';'), QChar(u'\t')})
        if (cabecera.count(c) > mas) mas = cabecera.count(c), sep = c;

    int linea = 1, inicio = 1;
    QStringList campos;
    QString campo;
    bool comillas = false, citado = false;
    auto cerrarFila = [&] {
        campos << campo;
        campo.clear();
        citado = false;
        const bool vacia = campos.size() == 1 && campos.first().trimmed().isEmpty();
        if (!vacia) filas->append({inicio, campos});
        campos.clear();
    };
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto.at(i);
        if (comillas) {
            if (c == u'"') {
                if (i + 1 < texto.size() && texto.at(i + 1) == u'"') {
                    campo += u'"';
                    ++i;
                } else {
                    comillas = false;
                }
            } else {
                if (c == u'\n') ++linea;
                campo += c;
            }
        } else if (c == u'"' && campo.trimmed().isEmpty() && !citado) {
            comillas = citado = true;
            campo.clear();
        } else if (c == sep) {
            campos << campo;
            campo.clear();
            citado = false;
        } else if (c == u'\n') {
            cerrarFila();
            inicio = ++linea;
        } else if (c != u'\r') {
            campo += c;
        }
    }
    if (comillas) {
        *error = EnLinea(inicio, QStringLiteral("unas comillas se abren y no se cierran: el "
                                                "archivo parece cortado."));
        return false;
    }
    if (!campo.isEmpty() || !campos.isEmpty()) cerrarFila();
    return true;
}

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

// The CSV exports: the platform is told by its columns.
Lectura LeerCsv(const QString &texto) {
    QList<FilaCsv> filas;
    QString error;
    if (!PartirCsv(texto, &filas, &error)) return Rechazo(error);
    if (filas.isEmpty()) return Rechazo(QStringLiteral("El archivo está vacío."));
    Columnas col;
    const QStringList cabecera = filas.first().campos;
    for (int i = 0; i < cabecera.size(); ++i)
        col.indice.insert(Clave(cabecera[i]), i);

    Lectura l;
    int cFecha, cHora, cNumero = -1, cLat, cLon, cNotas, cLugar;
    QList<int> cEspecies;
    QStringList faltan;
    auto exigir = [&](int c, const char *nombre) {
        if (c < 0) faltan << QString::fromUtf8(nombre);
        return c;
    };
    if (col.De({"observed on"}) >= 0) {
        l.formato = Formato::INaturalist;
        cFecha = col.De({"observed on"});
        cHora = col.De({"time observed at"});
        cEspecies << exigir(col.De({"scientific name"}), "scientific_name")
                  << col.De({"common name"}) << col.De({"species guess"});
        cLat = exigir(col.De({"latitude"}), "latitude");
        cLon = exigir(col.De({"longitude"}), "longitude");
        cNotas = col.De({"description"});
        cLugar = col.De({"place guess"});
    } else {
        l.formato = Formato::ObservationOrg;
        cFecha = col.De({"date", "fecha", "datum"});
        cHora = col.De({"time", "hora", "tijd"});
        cEspecies << col.De({"scientific name", "species name scientific",
                             "species scientific name", "nombre cientifico", "nombre científico"})
                  << col.De({"species name", "species", "especie"});
        cNumero = col.De({"number", "count", "numero", "número", "aantal"});
        cLat = col.De({"lat", "latitude", "latitud"});
        cLon = col.De({"lng", "lon", "long", "longitude", "longitud"});
        cNotas = col.De({"notes", "note", "remarks", "notas", "description", "opmerkingen"});
        cLugar = col.De({"location", "location name", "locality", "localidad", "gebied"});
        // Fewer than two of its columns: some other table altogether.
        if ((cFecha >= 0) + (cEspecies[0] >= 0 || cEspecies[1] >= 0) + (cLat >= 0) + (cLon >= 0) <
            2)
            return Rechazo(
                QStringLiteral("Línea 1: el archivo no es una exportación de iNaturalist ni de "
                               "Observation.org, ni un GPX, ni una hoja de cálculo del programa."));
        exigir(cFecha, "date");
        if (cEspecies[0] < 0 && cEspecies[1] < 0) faltan << QStringLiteral("scientific name");
        exigir(cLat, "lat");
        exigir(cLon, "lng");
    }
    if (!faltan.isEmpty())
        return Rechazo(
            EnLinea(1, QStringLiteral("faltan las columnas %1 de una exportación de %2.")
                           .arg(faltan.join(QStringLiteral(", ")), NombreFormato(l.formato))));

    for (qsizetype f = 1; f < filas.size(); ++f) {
        const FilaCsv &fila = filas[f];
        if (fila.campos.size() != cabecera.size())
            return Rechazo(EnLinea(fila.linea, QStringLiteral("tiene %1 campos y la cabecera %2: "
                                                              "el archivo parece cortado o dañado.")
                                                   .arg(fila.campos.size())
                                                   .arg(cabecera.size())));
        auto valor = [&](int c) { return c < 0 ? QString() : fila.campos.at(c).trimmed(); };
        Registro r;
        r.linea = fila.linea;
        const QString fecha = valor(cFecha), hora = valor(cHora);
        if (!fecha.isEmpty() && !LeerFechaHora(fecha, &r.fecha, &r.hora))
            return Rechazo(
                EnLinea(fila.linea, QStringLiteral("la fecha «%1» no se entiende.").arg(fecha)));
        const QString lat = valor(cLat), lon = valor(cLon);
        if (!lat.isEmpty() || !lon.isEmpty()) {
            const auto la = LeerDecimal(lat), lo = LeerDecimal(lon);
            if (!la || !lo || std::abs(*la) > 90 || std::abs(*lo) > 180)
                return Rechazo(EnLinea(fila.linea, QStringLiteral("la posición «%1, %2» no es una "
                                                                  "latitud y una longitud.")
                                                       .arg(lat, lon)));
            r.geograficas = true;
            r.lat = *la;
            r.lon = *lo;
        }
        if (!hora.isEmpty()) {
            if (l.formato == Formato::INaturalist) {
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
                    return Rechazo(EnLinea(
                        fila.linea, QStringLiteral("la hora «%1» no se entiende.").arg(hora)));
                if (m.captured(3) == u"UTC" || m.captured(3) == u"Z") t = HoraLocal(t, r.lon);
                if (!r.fecha.isValid()) r.fecha = t.date();
                if (t.date() == r.fecha) r.hora = t.time().toString(QStringLiteral("HH:mm"));
            } else {
                const QTime t = QTime::fromString(hora.left(5), QStringLiteral("H:mm"));
                const QTime t2 = QTime::fromString(hora.left(5), QStringLiteral("HH:mm"));
                if (!t.isValid() && !t2.isValid())
                    return Rechazo(EnLinea(
                        fila.linea, QStringLiteral("la hora «%1» no se entiende.").arg(hora)));
                r.hora = (t.isValid() ? t : t2).toString(QStringLiteral("HH:mm"));
            }
        }
        for (int c : cEspecies)
            if (!valor(c).isEmpty()) r.especies << valor(c);
        const QString numero = valor(cNumero);
        if (!numero.isEmpty()) {
            bool ok = false;
            const int n = numero.toInt(&ok);
            if (!ok || n < 0)
                return Rechazo(EnLinea(fila.linea, QStringLiteral("el número de ejemplares «%1» "
                                                                  "no es un número entero.")
                                                       .arg(numero)));
            r.numero = n;
        }
        r.descripcion = valor(cNotas);
        r.lugar = valor(cLugar);
        l.registros << r;
    }
    if (l.registros.isEmpty())
        return Rechazo(QStringLiteral("El archivo no tiene ninguna observación después de la "
                                      "cabecera."));
    l.ok = true;
    return l;
}

// ---- GPX ----------------------------------------------------------------------------

Lectura LeerGpx(const QByteArray &datos) {
    Lectura l;
    l.formato = Formato::Gpx;
    QXmlStreamReader x(datos);
    if (!x.readNextStartElement() || x.name() != u"gpx")
        return Rechazo(EnLinea(int(x.lineNumber()), QStringLiteral("el archivo no es un GPX.")));
    while (!x.atEnd()) {
        x.readNext();
        if (!x.isStartElement() || x.name() != u"wpt") continue;
        Registro r;
        r.linea = int(x.lineNumber());
        const auto la = LeerDecimal(x.attributes().value(QLatin1String("lat")).toString());
        const auto lo = LeerDecimal(x.attributes().value(QLatin1String("lon")).toString());
        if (!la || !lo || std::abs(*la) > 90 || std::abs(*lo) > 180)
            return Rechazo(EnLinea(r.linea, QStringLiteral("el punto no tiene una latitud y una "
                                                           "longitud válidas.")));
        r.geograficas = true;
        r.lat = *la;
        r.lon = *lo;
        QString nombre, desc, cmt, hora;
        while (x.readNextStartElement()) {
            const QString e = x.name().toString();
            const QString t = x.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            if (e == u"name")
                nombre = t;
            else if (e == u"desc")
                desc = t;
            else if (e == u"cmt")
                cmt = t;
            else if (e == u"time")
                hora = t;
        }
        if (x.hasError()) break;
        if (!hora.isEmpty()) {
            const QDateTime t = QDateTime::fromString(hora, Qt::ISODateWithMs);
            if (!t.isValid())
                return Rechazo(
                    EnLinea(r.linea, QStringLiteral("la hora «%1» no se entiende.").arg(hora)));
            const QDateTime local = t.timeSpec() == Qt::LocalTime ? t : HoraLocal(t, r.lon);
            r.fecha = local.date();
            r.hora = local.time().toString(QStringLiteral("HH:mm"));
        }
        for (const QString &s : {nombre, desc, cmt})
            if (!s.isEmpty()) r.especies << s;
        r.lugar = nombre;
        r.descripcion = desc.isEmpty() ? cmt : desc;
        l.registros << r;
    }
    if (x.hasError())
        return Rechazo(
            EnLinea(int(x.lineNumber()),
                    QStringLiteral("el GPX está incompleto o dañado (%1).").arg(x.errorString())));
    if (l.registros.isEmpty())
        return Rechazo(QStringLiteral("El GPX no tiene ningún punto de paso (waypoint)."));
    l.ok = true;
    return l;
}

// ---- The program's own spreadsheet ---------------------------------------------------

QByteArray Parte(zip_t *zip, const char *nombre, bool *existe) {
    QByteArray r;
    zip_stat_t st;
    *existe = zip_stat(zip, nombre, 0, &st) == 0;
    if (!*existe) return r;
    zip_file_t *f = zip_fopen(zip, nombre, 0);
    if (!f) {
        *existe = false;
        return r;
    }
    r.resize(qsizetype(st.size));
    const zip_int64_t n = zip_fread(f, r.data(), st.size);
    zip_fclose(f);
    if (n != zip_int64_t(st.size)) *existe = false;
    return r;
}

// "BC12" -> column 54 (zero-based), row 12.
bool Referencia(QStringView ref, int *col, int *fila) {
    int c = 0;
    qsizetype i = 0;
    while (i < ref.size() && ref[i].isLetter())
        c = c * 26 + (ref[i++].toUpper().unicode() - 'A' + 1);
    bool ok = false;
    *fila = ref.mid(i).toInt(&ok);
    *col = c - 1;
    return ok && c > 0;
}

Lectura LeerHoja(const QByteArray &datos) {
    const QString danada = QStringLiteral("La hoja de cálculo está incompleta o dañada: %1");
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t *fuente =
        zip_source_buffer_create(datos.constData(), zip_uint64_t(datos.size()), 0, &ze);
    zip_t *zip = fuente ? zip_open_from_source(fuente, ZIP_RDONLY, &ze) : nullptr;
    if (!zip) {
        const QString motivo = QString::fromLocal8Bit(zip_error_strerror(&ze));
        if (fuente) zip_source_free(fuente);
        zip_error_fini(&ze);
        return Rechazo(danada.arg(motivo));
    }
    zip_error_fini(&ze);
    bool hayCompartidas = false, hayHoja = false;
    const QByteArray compartidas = Parte(zip, "xl/sharedStrings.xml", &hayCompartidas);
    const QByteArray hoja = Parte(zip, "xl/worksheets/sheet1.xml", &hayHoja);
    zip_close(zip);
    if (!hayHoja) return Rechazo(danada.arg(QStringLiteral("no tiene hoja.")));

    QStringList textos;
    if (hayCompartidas) {
        QXmlStreamReader x(compartidas);
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == u"si")
                textos << QString();
            else if (x.isStartElement() && x.name() == u"t" && !textos.isEmpty())
                textos.last() += x.readElementText();
        }
        if (x.hasError()) return Rechazo(danada.arg(x.errorString()));
    }

    // Every cell's text by row and column.
    QMap<int, QHash<int, QString>> celdas;
    QXmlStreamReader x(hoja);
    int fila = 0, col = 0;
    QString tipo, valor;
    bool enCelda = false;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement()) {
            if (x.name() == u"c") {
                if (!Referencia(x.attributes().value(QLatin1String("r")), &col, &fila))
                    return Rechazo(danada.arg(QStringLiteral("una celda sin referencia.")));
                tipo = x.attributes().value(QLatin1String("t")).toString();
                valor.clear();
                enCelda = true;
            } else if (enCelda && (x.name() == u"v" || x.name() == u"t")) {
                valor += x.readElementText();
            }
        } else if (x.isEndElement() && x.name() == u"c") {
            enCelda = false;
            if (tipo == u"s") {
                bool ok = false;
                const int i = valor.toInt(&ok);
                if (!ok || i < 0 || i >= textos.size())
                    return Rechazo(danada.arg(QStringLiteral("la fila %1 cita un texto que no "
                                                             "está en el archivo.")
                                                  .arg(fila)));
                valor = textos.at(i);
            }
            if (!valor.isEmpty()) celdas[fila][col] = valor;
        }
    }
    if (x.hasError())
        return Rechazo(danada.arg(QStringLiteral("fila %1 (%2).").arg(fila).arg(x.errorString())));

    // The headers' row: the one holding FECHA and ESPECIE (the program writes it third).
    int filaCabecera = -1;
    Columnas c;
    for (auto it = celdas.cbegin(); it != celdas.cend() && filaCabecera < 0; ++it) {
        Columnas prueba;
        for (auto jt = it->cbegin(); jt != it->cend(); ++jt)
            prueba.indice.insert(jt->trimmed().toUpper(), jt.key());
        if (prueba.indice.contains(QStringLiteral("FECHA")) &&
            prueba.indice.contains(QStringLiteral("ESPECIE")))
            filaCabecera = it.key(), c = prueba;
    }
    if (filaCabecera < 0)
        return Rechazo(QStringLiteral("La hoja de cálculo no es una consulta de observaciones del "
                                      "programa: no tiene las columnas FECHA y ESPECIE."));
    QStringList faltan;
    for (const char *n : {"LOCALIDAD", "LONGITUD", "LATITUD", "HUSO"})
        if (!c.indice.contains(QString::fromLatin1(n))) faltan << QString::fromLatin1(n);
    if (!faltan.isEmpty())
        return Rechazo(QStringLiteral("Fila %1: faltan las columnas %2 de la hoja de "
                                      "observaciones del programa.")
                           .arg(filaCabecera)
                           .arg(faltan.join(QStringLiteral(", "))));

    Lectura l;
    l.formato = Formato::HojaPrograma;
    for (auto it = celdas.upperBound(filaCabecera); it != celdas.cend(); ++it) {
        const int f = it.key();
        auto valorDe = [&](const char *nombre) {
            const int i = c.De({nombre});
            return i < 0 ? QString() : it->value(i).trimmed();
        };
        auto enFila = [&](const QString &motivo) {
            return Rechazo(QStringLiteral("Fila %1: %2").arg(f).arg(motivo));
        };
        Registro r;
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
        l.registros << r;
    }
    l.ok = true;
    return l;
}

const uint16_t kWindows1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString NombreFormato(Formato f) {
    switch (f) {
    case Formato::Gpx:
        return QStringLiteral("GPX");
    case Formato::INaturalist:
        return QStringLiteral("iNaturalist");
    case Formato::ObservationOrg:
        return QStringLiteral("Observation.org");
    case Formato::HojaPrograma:
        return QStringLiteral("hoja de cálculo de Tritodex");
    }
    return QString();
}

QString Decodificar(const QByteArray &datos) {
    QByteArrayView v(datos);
    if (v.startsWith("\xEF\xBB\xBF")) v = v.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString texto = utf8.decode(v);
    if (!utf8.hasError()) return texto;
    QString r;
    r.reserve(v.size());
    for (const char ch : v) {
        const uchar b = uchar(ch);
        r += QChar(b >= 0x80 && b < 0xA0 ? kWindows1252[b - 0x80] : b);
    }
    return r;
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

Lectura LeerDatos(const QByteArray &datos) {
    if (datos.startsWith("PK\x03\x04")) return LeerHoja(datos);
    const QString texto = Decodificar(datos);
    const QString inicio = texto.left(2048).trimmed();
    if (inicio.startsWith(u'<')) {
        // The XML reader follows the file's own encoding declaration.
        if (inicio.contains(QStringLiteral("<gpx"))) {
            // Without a declared encoding XML must be UTF-8; a GPS writing Windows-1252
            // without saying so is read as such rather than refused.
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const bool utf8Valido = !QString(utf8.decode(datos)).isNull() && !utf8.hasError();
            if (!utf8Valido && !inicio.contains(QStringLiteral("encoding=")))
                return LeerGpx(texto.toUtf8());
            return LeerGpx(datos);
        }
        return Rechazo(QStringLiteral("Línea 1: el archivo es XML pero no un GPX."));
    }
    if (datos.contains('\0'))
        return Rechazo(QStringLiteral("El archivo no es de texto ni una hoja de cálculo: no es "
                                      "de ningún tipo que el programa importe."));
    return LeerCsv(texto);
}

Lectura LeerArchivo(const QString &ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return Rechazo(QStringLiteral("No se puede leer el archivo: %1").arg(f.errorString()));
    return LeerDatos(f.readAll());
}

} // namespace Importacion
