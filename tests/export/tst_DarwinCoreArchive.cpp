// The GBIF export as a user runs it from frfitxer, and the archive read back as a publisher
// reads it: meta.xml first, then occurrence.txt column by column, then eml.xml.

#include "data/Clock.h"
#include "support/Anotar.h"
#include "support/Files.h"
#include "support/FullDisk.h"
#include "support/KeptOnFullDisk.h"
#include "support/TestDatabase.h"
#include "support/User.h"

#include "export/frfitxer.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"

#include <GeographicLib/MGRS.hpp>
#include <GeographicLib/UTMUPS.hpp>

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QUuid>
#include <QXmlStreamReader>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlschemas.h>

#include <algorithm>

using namespace Qt::StringLiterals;

class tst_DarwinCoreArchive : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void archivoComoLoLeeUnPublicador();
    void especiesSensibles();
    void fallos();

private:
    std::unique_ptr<TestDatabase> bd_;
    std::unique_ptr<frfitxer> f_;
    QString carpeta_;
};

namespace {

const QString kDwc = u"http://rs.tdwg.org/dwc/terms/"_s;

// Darwin Core's term names (the standard's quick reference: record-level, occurrence, event,
// location, identification and taxon classes).
const QStringList kTerminosDwc =
    QString::fromUtf8(Files::Read(TRITODEX_ESQUEMAS_DIR "/terminos_dwc.txt"))
        .split(u'\n', Qt::SkipEmptyParts);

QByteArray Unzip(const QStringList &argumentos) {
    QProcess p;
    p.start(u"unzip"_s, argumentos);
    p.waitForFinished();
    return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray();
}

QStringList Ordenados(QStringList l) {
    l.sort();
    return l;
}

QStringList Nombres(const QString &zip) {
    return Ordenados(QString::fromUtf8(Unzip({u"-Z1"_s, zip})).split(u'\n', Qt::SkipEmptyParts));
}

// The records of an archive as a publisher reads them: columns found through meta.xml.
// A failed check ends the reading early, leaving fewer rows than the caller expects.
struct Archivo {
    QStringList cabecera;
    QList<QHash<QString, QString>> filas;
    QByteArray todo; // every entry, for searching
    QByteArray meta, eml;

    explicit Archivo(const QString &zip);
    QStringList Columna(const QString &termino) const {
        QStringList r;
        for (const auto &f : filas)
            r << f.value(termino);
        return r;
    }
};

Archivo::Archivo(const QString &zip)
    : todo(Unzip({u"-p"_s, zip, u"*"_s})), meta(Unzip({u"-p"_s, zip, u"meta.xml"_s})),
      eml(Unzip({u"-p"_s, zip, u"eml.xml"_s})) {
    QXmlStreamReader xml(meta);
    QMap<int, QString> terminos;
    QStringList core;
    QString fichero;
    int id = -1;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const auto at = xml.attributes();
        if (xml.name() == u"core") {
            for (const char *n : {"rowType", "fieldsTerminatedBy", "ignoreHeaderLines", "encoding"})
                core << at.value(QLatin1String(n)).toString();
        } else if (xml.name() == u"location") {
            fichero = xml.readElementText();
        } else if (xml.name() == u"id") {
            id = at.value(u"index"_s).toInt();
        } else if (xml.name() == u"field") {
            terminos[at.value(u"index"_s).toInt()] = at.value(u"term"_s).toString();
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(core.join(u'|') + u'|' + fichero, kDwc + u"Occurrence|\\t|1|UTF-8|occurrence.txt"_s);
    const QStringList lineas =
        QString::fromUtf8(Unzip({u"-p"_s, zip, fichero})).split(u'\n', Qt::SkipEmptyParts);
    cabecera = lineas.value(0).split(u'\t');
    // Every column described, in order, by its Darwin Core term; the id is occurrenceID.
    QCOMPARE(terminos.size(), cabecera.size());
    for (auto i = terminos.cbegin(); i != terminos.cend(); ++i) {
        const QString nombre = cabecera.value(i.key());
        QVERIFY2(i.value() == kDwc + nombre && kTerminosDwc.contains(nombre),
                 qPrintable(i.value() + u" / "_s + nombre));
    }
    QCOMPARE(cabecera.value(id), u"occurrenceID"_s);
    for (const QString &l : lineas.mid(1)) {
        const QStringList valores = l.split(u'\t');
        QCOMPARE(valores.size(), cabecera.size());
        QHash<QString, QString> r;
        for (int i = 0; i < valores.size(); ++i)
            r[cabecera[i]] = valores[i];
        filas << r;
    }
}

QString Grados(double v) {
    return QString::number(v, 'f', 7);
}

// libxml2 reads the schemas' imports from the copies beside them, never from the network.
xmlParserInputPtr Copia(const char *url, const char *, xmlParserCtxtPtr contexto) {
    const QString ruta = QStringLiteral(TRITODEX_ESQUEMAS_DIR "/") +
                         QFileInfo(QString::fromUtf8(url ? url : "")).fileName();
    // One not copied is not found, as if offline: libxml2 then skips an import it needs not.
    return xmlNewInputFromFile(contexto, QFile::encodeName(ruta).constData());
}

void Anotar(void *errores, xmlErrorPtr e) {
    // A schema that imports one it never uses is read without it: only errors count.
    if (e && e->level >= XML_ERR_ERROR)
        static_cast<QStringList *>(errores)->append(
            u"%1:%2: %3"_s.arg(QString::fromUtf8(e->file ? e->file : ""))
                .arg(e->line)
                .arg(QString::fromUtf8(e->message).trimmed()));
}

// What makes the document invalid against the schema, or nothing.
void Callar(void *, const char *, ...) {}

QString Invalido(const QByteArray &xml, const char *esquema) {
    xmlSetExternalEntityLoader(Copia);
    xmlSetGenericErrorFunc(nullptr, Callar);
    QStringList errores;
    const QByteArray ruta =
        QFile::encodeName(QStringLiteral(TRITODEX_ESQUEMAS_DIR "/") + QString::fromLatin1(esquema));
    xmlSchemaParserCtxtPtr pc = xmlSchemaNewParserCtxt(ruta.constData());
    xmlSchemaSetParserStructuredErrors(pc, Anotar, &errores);
    xmlSchemaPtr s = xmlSchemaParse(pc);
    xmlSchemaFreeParserCtxt(pc);
    if (!s)
        return u"el esquema %1 no se lee: "_s.arg(QString::fromLatin1(esquema)) +
               errores.join(u'\n');
    xmlDocPtr doc =
        xmlReadMemory(xml.constData(), int(xml.size()), esquema, nullptr, XML_PARSE_NONET);
    if (doc) {
        xmlSchemaValidCtxtPtr vc = xmlSchemaNewValidCtxt(s);
        xmlSchemaSetValidStructuredErrors(vc, Anotar, &errores);
        if (xmlSchemaValidateDoc(vc, doc) != 0 && errores.isEmpty()) errores << u"no válido"_s;
        xmlSchemaFreeValidCtxt(vc);
        xmlFreeDoc(doc);
    } else {
        errores << u"no es XML"_s;
    }
    xmlSchemaFree(s);
    return errores.join(u'\n');
}

// meta.xml against the Darwin Core text guide's schema, eml.xml against GBIF's metadata
// profile 1.2 (EML 2.1.1).
QString Invalido(const Archivo &a) {
    return (Invalido(a.meta, "tdwg_dwc_text.xsd") + u'\n' + Invalido(a.eml, "eml.xsd")).trimmed();
}

// An XML file's element texts by element name, and its attributes' values by "@" + name.
QMultiHash<QString, QString> Elementos(const QByteArray &xml) {
    QMultiHash<QString, QString> r;
    QXmlStreamReader x(xml);
    QString texto;
    while (!x.atEnd()) {
        const auto t = x.readNext();
        if (t == QXmlStreamReader::StartElement) {
            texto.clear();
            for (const auto &at : x.attributes())
                r.insert(u'@' + at.name().toString(), at.value().toString());
        } else if (t == QXmlStreamReader::Characters) {
            texto += x.text();
        } else if (t == QXmlStreamReader::EndElement) {
            if (!texto.trimmed().isEmpty()) r.insert(x.name().toString(), texto.trimmed());
            texto.clear();
        }
    }
    if (x.hasError()) r.insert(u"error"_s, x.errorString());
    return r;
}

// GeographicLib's latitude and longitude of a UTM point, or of an MGRS square's centre.
std::pair<double, double> Utm(int huso, double x, double y, bool norte = true) {
    double lat, lon;
    GeographicLib::UTMUPS::Reverse(huso, norte, x, y, lat, lon);
    return {lat, lon};
}
std::pair<double, double> Centro(const std::string &mgrs) {
    int huso, prec;
    bool norte;
    double x, y;
    GeographicLib::MGRS::Reverse(mgrs, huso, norte, x, y, prec, true);
    return Utm(huso, x, y, norte);
}

const QString kDatos[] = {
    u"INSERT INTO observador (cod_observador, nombre, apellido, email) VALUES "
    "('JPG', 'Juan', 'Pérez', 'j@x.es'), ('ONE', 'Seán', 'O''Neill', 's@x.ie'), "
    "('ANA', 'Ana', 'López', 'a@x.es'), ('LUI', 'Luis', 'Gil', 'l@x.es')"_s,
    u"UPDATE DefaultObs SET cd_obs = 'JPG'"_s,
    u"INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmhuso, utmx, utmy, utm1k, "
    "utm10k) VALUES ('MAD1', 'Charca de Peñalara', 28, 28079, '30', 440316, 4474268, 'VK4074', "
    "'VK47'), ('SQ1', 'Prado del Rey', 28, 28079, '30', NULL, NULL, 'VK4074', 'VK47'), "
    "('SQ10', 'Dehesa', 28, 28079, '30', NULL, NULL, NULL, 'VK47'), "
    "('MUL', 'Torrent des Ferreret', 7, 7001, '31', 483215, 4406789, 'DE8306', 'DE80'), "
    "('HIE', 'Punta de Orchilla', 38, 38013, '27', 781418, 3068273, NULL, NULL)"_s,
    u"INSERT INTO observacion (observador1, observador2, observador3, observador4, fecha, "
    "horaini, horafin, especie, numejemp, numaprox, estadio, conducta, habitat, descripcion, "
    "localidad) VALUES "
    "('JPG', 'ONE', 'ANA', 'LUI', '2008-02-15', '10:30', '11:45', 'BUFSPI', 3, 0, 1, 2, 4, "
    "'Bajo piedra\tcerca del\narroyo', 'MAD1'), "
    "('ANA', NULL, NULL, NULL, '2008-03-01', '23:30', '00:15', 'SALSAL', 20, 1, NULL, NULL, "
    "NULL, NULL, 'SQ1'), "
    "('LUI', NULL, NULL, NULL, '2009-06-07', NULL, NULL, 'EPICAL', NULL, NULL, NULL, NULL, "
    "NULL, 'en la poza grande', 'SQ10'), "
    "('JPG', NULL, NULL, NULL, '2010-04-20', '09:00', NULL, 'ALYMUL', 5, 0, NULL, NULL, NULL, "
    "'junto a la fuente', 'MUL'), "
    "('JPG', NULL, NULL, NULL, '2012-02-01', '00:00', '00:00', 'GALCAE', 1, 0, NULL, NULL, "
    "NULL, NULL, 'HIE')"_s};

// Records as the observation form writes them: times left blank, a count of 0, a known
// uncertainty (set on the locality), an end left blank, real times on the Canaries' clock,
// and a common species beside the sensitive one.
const Anotar::Lugar kSarela{u"Río Sarela"_s, u"29"_s,       u"537191"_s,
                            u"4747656"_s,    u"A Coruña"_s, u"Santiago de Compostela"_s};
const Anotar::Lugar kLaguna{
    u"Barranco de La Laguna"_s,     u"28"_s, u"370784"_s, u"3151673"_s, u"Santa Cruz de Tenerife"_s,
    u"San Cristóbal de La Laguna"_s};
const Anotar::Lugar kFerreret{u"Torrent des Ferreret"_s};
const QList<Anotar::Registro> kAnotados = {
    {u"JPG"_s, QDate(2024, 5, 3), u"ranibe"_s, kSarela, {}, {}, u"0"_s},
    {u"JPG"_s, QDate(2024, 5, 3), u"salsal"_s, {u"Río Sarela"_s}, QTime(10, 0), {}, u"2"_s},
    {u"JPG"_s, QDate(2024, 1, 20), u"galgal"_s, kLaguna, QTime(9, 15), QTime(11, 40), u"3"_s},
    {u"JPG"_s, QDate(2010, 4, 20), u"hylmer"_s, kFerreret, QTime(9, 0), {}, u"1"_s}};

// Runs the export with a click; the last message, title first.
QString Pulsar(frfitxer &f) {
    MessageService::Limpiar();
    QTest::mouseClick(f.findChild<QPushButton *>("CdDwc"), Qt::LeftButton);
    if (MessageService::Mostrados().size() != 1)
        return u"%1 mensajes"_s.arg(MessageService::Mostrados().size());
    return MessageService::Ultimo().titulo + u'|' + MessageService::Ultimo().texto;
}

} // namespace

void tst_DarwinCoreArchive::init() {
    bd_ = std::make_unique<TestDatabase>(TestDatabase::Datos::Reales);
    for (const QString &s : kDatos)
        QVERIFY(bd_->Ejecutar(s));
    carpeta_ = bd_->carpeta() + u"/para GBIF"_s;
    QVERIFY(QDir().mkpath(carpeta_));
    Clock::setHoy(QDate(2011, 5, 9));
    f_ = std::make_unique<frfitxer>();
    f_->show();
    QVERIFY(f_->AbrirCarpeta(carpeta_));
}

void tst_DarwinCoreArchive::cleanup() {
    f_.reset();
    Clock::setHoy(QDate());
    bd_.reset();
}

void tst_DarwinCoreArchive::archivoComoLoLeeUnPublicador() {
    // Every stored record as text, on either engine.
    const QString registros = u"SELECT uuid, especie FROM observacion ORDER BY id_observacion"_s;
    for (const Anotar::Registro &r : kAnotados)
        QCOMPARE(Anotar::Observacion(r), u"Se ha registrado la observación en la base de datos"_s);
    // The uncertainty as the locality change form stores it (typed there: tst_frmodifloc).
    QVERIFY(
        bd_->Ejecutar(u"UPDATE localidad SET incertidumbre = 25 WHERE localidad = 'Río Sarela'"_s));
    const QString antes = bd_->Lineas(registros);
    QCOMPARE(antes.count(u'\n'), 8);
    User::Elegir(f_->findChild<QComboBox *>("Cblicencia"), u"CC BY-NC 4.0"_s);
    const QString zip = carpeta_ + u"/TDX_DwC_20110509.zip"_s;
    QCOMPARE(Pulsar(*f_),
             u"Darwin Core (GBIF)|Se ha generado el archivo %1 con 9 observaciones (licencia CC "
             "BY-NC 4.0).\n\nDe especies sensibles o de sus localidades: 2 observaciones, en el "
             "centro de su cuadrado UTM de 10 km y sin el nombre de la localidad."_s.arg(
                 QDir::toNativeSeparators(zip)));
    QCOMPARE(Nombres(zip), QStringList({u"eml.xml"_s, u"meta.xml"_s, u"occurrence.txt"_s}));
    QCOMPARE(QDir(carpeta_).entryList(QDir::Files), QStringList{u"TDX_DwC_20110509.zip"_s});
    // The export changes no record.
    QCOMPARE(bd_->Lineas(registros), antes);

    const Archivo a(zip);
    QCOMPARE(a.filas.size(), 9);
    const auto exacto = Utm(30, 440316, 4474268), laguna = Utm(28, 370784, 3151673);
    const auto cuadro1 = Centro("30TVK4074"), cuadro10 = Centro("30TVK47"),
               sensible = Centro("31SDE80");
    // By observation, "term=value;..." for each mapped value; "term=" is an empty column.
    const QStringList esperado = {
        u"catalogNumber=1;basisOfRecord=HumanObservation;occurrenceStatus=present;"
        "eventDate=2008-02-15T10:30+01:00/2008-02-15T11:45+01:00;"
        "eventTime=10:30+01:00/11:45+01:00;year=2008;month=2;day=15;scientificName=Bufo spinosus;"
        "vernacularName=Sapo común;kingdom=Animalia;class=Amphibia;taxonRank=species;"
        "individualCount=3;organismQuantity=3;organismQuantityType=individuals;lifeStage=Puesta;"
        "behavior=Desplazándose;habitat=Bosque de ribera;recordedBy=Juan Pérez | Seán O'Neill | "
        "Ana López | Luis Gil;occurrenceRemarks=Bajo piedra cerca del arroyo;country=España;"
        "countryCode=ES;stateProvince=Comunidad de Madrid;county=Madrid;municipality=Madrid;"
        "locality=Charca de Peñalara;verbatimCoordinates=30T 440316 4474268;"
        "verbatimCoordinateSystem=UTM;verbatimSRS=EPSG:25830;decimalLatitude=%1;"
        "decimalLongitude=%2;geodeticDatum=EPSG:4258;coordinateUncertaintyInMeters=;"
        "footprintWKT=;informationWithheld="_s.arg(Grados(exacto.first), Grados(exacto.second)),
        // Only the 1-km square; an approximate number; no stage; an end before the start (which the
        // form refuses, stored by an older version) gives the start alone.
        u"eventDate=2008-03-01T23:30+01:00;eventTime=23:30+01:00;scientificName=Salamandra "
        "salamandra;class=Amphibia;individualCount=;organismQuantity=20;"
        "organismQuantityType=individuals;occurrenceRemarks=número de ejemplares aprox.;"
        "lifeStage=;recordedBy=Ana López;locality=Prado del Rey;verbatimCoordinates=30TVK4074;"
        "verbatimCoordinateSystem=MGRS;verbatimSRS=EPSG:25830;decimalLatitude=%1;"
        "decimalLongitude=%2;coordinateUncertaintyInMeters=708"_s.arg(Grados(cuadro1.first),
                                                                      Grados(cuadro1.second)),
        // Only the 10-km square; no number, no times.
        u"eventDate=2009-06-07;eventTime=;scientificName=Epidalea calamita;individualCount=;"
        "organismQuantity=;organismQuantityType=;occurrenceRemarks=en la poza grande;"
        "verbatimCoordinates=30TVK47;decimalLatitude=%1;decimalLongitude=%2;"
        "coordinateUncertaintyInMeters=7072"_s.arg(Grados(cuadro10.first), Grados(cuadro10.second)),
        // A sensitive species: its 10-km square's centre, nothing of the place.
        u"eventDate=2010-04-20T09:00+02:00;scientificName=Alytes muletensis;stateProvince=Illes "
        "Balears;county=Illes Balears;municipality=;locality=;occurrenceRemarks=;"
        "individualCount=5;verbatimCoordinates=31SDE80;verbatimSRS=EPSG:25831;decimalLatitude=%1;"
        "decimalLongitude=%2;coordinateUncertaintyInMeters=7072;dataGeneralizations=Coordenadas "
        "generalizadas al centro del cuadrado UTM de 10 km DE80."_s.arg(Grados(sensible.first),
                                                                        Grados(sensible.second)),
        // El Hierro's west, in zone 27, on REGCAN95; times left blank are no time.
        u"eventDate=2012-02-01;eventTime=;stateProvince=Canarias;county=Santa Cruz de Tenerife;"
        "verbatimCoordinates=27R 781418 3068273;verbatimSRS=EPSG:4082;geodeticDatum=EPSG:4081"_s,
        // Written by the form: no times, a count of 0, the locality's uncertainty.
        u"eventDate=2024-05-03;eventTime=;occurrenceStatus=present;scientificName=Rana iberica;"
        "individualCount=;organismQuantity=;stateProvince=Galicia;county=A Coruña;"
        "municipality=Santiago de Compostela;verbatimCoordinates=29T 537191 4747656;"
        "verbatimSRS=EPSG:25829;geodeticDatum=EPSG:4258;coordinateUncertaintyInMeters=25"_s,
        // A start without an end, in summer time.
        u"eventDate=2024-05-03T10:00+02:00;eventTime=10:00+02:00;individualCount=2;"
        "coordinateUncertaintyInMeters=25"_s,
        // Tenerife: Canary time, REGCAN95, UTM 28N on REGCAN95; no uncertainty known.
        u"eventDate=2024-01-20T09:15+00:00/2024-01-20T11:40+00:00;"
        "eventTime=09:15+00:00/11:40+00:00;scientificName=Gallotia galloti;"
        "stateProvince=Canarias;county=Santa Cruz de Tenerife;verbatimCoordinates=28R 370784 "
        "3151673;verbatimSRS=EPSG:4083;geodeticDatum=EPSG:4081;decimalLatitude=%1;"
        "decimalLongitude=%2;coordinateUncertaintyInMeters="_s.arg(Grados(laguna.first),
                                                                   Grados(laguna.second)),
        // A common species where the sensitive one was seen: the same square, nothing of the place.
        u"scientificName=Hyla meridionalis;locality=;municipality=;verbatimCoordinates=31SDE80;"
        "decimalLatitude=%1;informationWithheld=Localidad con observaciones de especies "
        "sensibles: se omiten las coordenadas exactas, el nombre de la localidad, el municipio y "
        "la descripción de la observación.;dataGeneralizations=Coordenadas generalizadas al "
        "centro del cuadrado UTM de 10 km DE80."_s.arg(Grados(sensible.first)),
    };
    for (int i = 0; i < esperado.size(); ++i) {
        const QHash<QString, QString> &r = a.filas[i];
        for (const QString &e : esperado[i].split(u';')) {
            const QString termino = e.section(u'=', 0, 0), valor = e.section(u'=', 1);
            const QString visto = r.value(termino);
            // Coordinates to 1e-6 degrees of GeographicLib's.
            const bool cerca = termino.startsWith(u"decimal"_s) && !visto.isEmpty() &&
                               std::abs(visto.toDouble() - valor.toDouble()) < 1e-6;
            QVERIFY2(cerca || visto == valor,
                     qPrintable(u"%1 %2: «%3» / «%4»"_s.arg(i).arg(termino, visto, valor)));
        }
        QVERIFY(r.value(u"occurrenceID"_s).startsWith(u"urn:uuid:"_s));
    }
    const QStringList ids = a.Columna(u"occurrenceID"_s);
    QCOMPARE(QSet<QString>(ids.cbegin(), ids.cend()).size(), 9);
    // Squares are published with their outline, each corner in the square's zone.
    QVERIFY(a.filas[1].value(u"footprintWKT"_s).startsWith(u"POLYGON (("_s));
    QCOMPARE(a.filas[1].value(u"footprintWKT"_s).count(u','), 4);
    QVERIFY(a.filas[3].value(u"informationWithheld"_s).contains(u"Especie sensible"_s));
    // The midwife toad's exact place is nowhere in the archive.
    const auto ferreret = Utm(31, 483215, 4406789);
    for (const QByteArray &rastro : QByteArrayList{
             "Torrent des", "483215", "4406789", "DE8306", "fuente",
             bd_->Valor(u"SELECT muni FROM tmunicipio WHERE id_muni = 7001"_s).toString().toUtf8(),
             Grados(ferreret.first).left(7).toUtf8(), Grados(ferreret.second).left(6).toUtf8()})
        QVERIFY2(!a.todo.contains(rastro), rastro.constData());

    // The dataset's creator is the default observer; the licence the one chosen.
    const QMultiHash<QString, QString> meta = Elementos(a.eml);
    for (const QString &e :
         u"title=Observaciones de anfibios y reptiles de Juan Pérez|givenName=Juan|"
         "surName=Pérez|electronicMailAddress=j@x.es|pubDate=2011-05-09|"
         "citetitle=CC BY-NC 4.0|@url=http://creativecommons.org/licenses/by-nc/"
         "4.0/legalcode"_s.split(u'|'))
        QCOMPARE(meta.value(e.section(u'=', 0, 0)), e.section(u'=', 1));
    // What, where and when: the classes and species, the box of the published points, the
    // first and last day; the dataset's identifier, which this export's package carries.
    QCOMPARE(Ordenados(meta.values(u"keyword"_s)).join(u','), u"Observation,Occurrence"_s);
    QStringList taxones = a.Columna(u"scientificName"_s) << u"Amphibia"_s << u"Reptilia"_s;
    taxones.removeDuplicates();
    QCOMPARE(Ordenados(meta.values(u"taxonRankValue"_s)), Ordenados(taxones));
    for (const auto &[termino, menor, mayor] : {std::tuple{u"Longitude"_s, u"west"_s, u"east"_s},
                                                {u"Latitude"_s, u"south"_s, u"north"_s}}) {
        QList<double> v;
        for (const QString &x : a.Columna(u"decimal"_s + termino))
            v << x.toDouble();
        const auto [min, max] = std::minmax_element(v.cbegin(), v.cend());
        QCOMPARE(meta.value(menor + u"BoundingCoordinate"_s).toDouble(), *min);
        QCOMPARE(meta.value(mayor + u"BoundingCoordinate"_s).toDouble(), *max);
    }
    QCOMPARE(Ordenados(meta.values(u"calendarDate"_s)).join(u','), u"2008-02-15,2024-05-03"_s);
    const QString conjunto = meta.value(u"alternateIdentifier"_s);
    QVERIFY2(!QUuid::fromString(conjunto).isNull(), qPrintable(conjunto));
    QVERIFY(meta.value(u"@packageId"_s).startsWith(conjunto + u'/'));
    QCOMPARE(meta.value(u"@identifier"_s), u"urn:uuid:"_s + conjunto);
    QVERIFY(meta.value(u"citation"_s)
                .contains(u"Observaciones de anfibios y reptiles de Juan Pérez"_s));
    // The program's version, as the build names it, among the methods.
    QVERIFY(meta.values(u"para"_s).contains(
        u"Observaciones de campo anotadas y exportadas con Tritodex " TRITODEX_VERSION "."_s));
    QCOMPARE(Invalido(a), QString());

    // Another day, another licence, a new observation, an observer without an address: the
    // same identifiers for the same records and for the dataset, the new record its own, a
    // new package, and eml.xml still valid.
    bd_->Ejecutar(u"INSERT INTO observacion (fecha, especie, localidad) VALUES ('2011-05-01', "
                  "'SALSAL', 'MAD1')"_s);
    bd_->Ejecutar(u"UPDATE observador SET email = NULL WHERE cod_observador = 'JPG'"_s);
    Clock::setHoy(QDate(2011, 5, 10));
    User::Elegir(f_->findChild<QComboBox *>("Cblicencia"), u"CC0 1.0"_s);
    QVERIFY(Pulsar(*f_).contains(u"con 10 observaciones (licencia CC0 1.0)"_s));
    const Archivo b(carpeta_ + u"/TDX_DwC_20110510.zip"_s);
    QCOMPARE(b.filas.size(), 10);
    QCOMPARE(b.Columna(u"occurrenceID"_s).mid(0, 9), ids);
    QVERIFY(!ids.contains(b.Columna(u"occurrenceID"_s).value(9)));
    const QMultiHash<QString, QString> otro = Elementos(b.eml);
    QCOMPARE(otro.value(u"alternateIdentifier"_s), conjunto);
    QVERIFY(otro.value(u"@packageId"_s).startsWith(conjunto + u'/'));
    QVERIFY(otro.value(u"@packageId"_s) != meta.value(u"@packageId"_s));
    QVERIFY(!otro.contains(u"electronicMailAddress"_s));
    QCOMPARE(Invalido(b), QString());
    QVERIFY(b.todo.contains("publicdomain/zero/1.0"));
}

void tst_DarwinCoreArchive::especiesSensibles() {
    // The user unmarks the midwife toad and marks the salamander; "Cancelar" keeps nothing.
    const auto Marcar = [&](bool aceptar) {
        ChoiceService::Prueba().dialogo = [&](QDialog *d) {
            auto *lista = d->findChild<QListWidget *>("Lstespecies");
            for (auto *item : lista->findItems(u"Alytes muletensis"_s, Qt::MatchStartsWith))
                item->setCheckState(Qt::Unchecked);
            for (auto *item : lista->findItems(u"Salamandra salamandra"_s, Qt::MatchStartsWith))
                item->setCheckState(Qt::Checked);
            QTest::mouseClick(d->findChild<QPushButton *>(aceptar ? "CdAceptar" : "CdCancelar"),
                              Qt::LeftButton);
            return d->result();
        };
        QTest::mouseClick(f_->findChild<QPushButton *>("CdSensibles"), Qt::LeftButton);
    };
    const QString sensibles = u"SELECT count(*) || ':' || min(cod_especie) FROM especie WHERE "
                              "sensible = 1 AND cod_especie IN ('ALYMUL', 'SALSAL')"_s;
    Marcar(false);
    QCOMPARE(bd_->Valor(sensibles).toString(), u"1:ALYMUL"_s);
    Marcar(true);
    QCOMPARE(bd_->Valor(sensibles).toString(), u"1:SALSAL"_s);

    QVERIFY(Pulsar(*f_).contains(u"De especies sensibles o de sus localidades: 1 observación,"_s));
    const Archivo a(carpeta_ + u"/TDX_DwC_20110509.zip"_s);
    QCOMPARE(a.filas.value(3).value(u"locality"_s), u"Torrent des Ferreret"_s);
    // The salamander's place is nowhere in the archive: no name, no coordinate, no 1-km
    // square, no exact position or the 1-km square's centre.
    const auto centro1 = Centro("30TVK4074");
    for (const QByteArray &rastro : QByteArrayList{"Prado del Rey", "VK4074", "4474500",
                                                   Grados(centro1.first).left(7).toUtf8(),
                                                   Grados(centro1.second).left(7).toUtf8()})
        QVERIFY2(!a.todo.contains(rastro), rastro.constData());
    QCOMPARE(a.filas.value(1).value(u"verbatimCoordinates"_s), u"30TVK47"_s);
    QCOMPARE(a.filas.value(1).value(u"coordinateUncertaintyInMeters"_s), u"7072"_s);
    // The approximate number stays noted; the place's words do not.
    QCOMPARE(a.filas.value(1).value(u"occurrenceRemarks"_s), u"número de ejemplares aprox."_s);

    // Verified records say so, a doubtful one with its comment; the rejected one stays out.
    for (const QString &sql :
         {u"UPDATE observacion SET verificacion = 'aceptada', comentario_verificacion = 'Bien' "
          "WHERE id_observacion = 1"_s,
          u"UPDATE observacion SET verificacion = 'dudosa', comentario_verificacion = '¿Bufo "
          "calamita?' WHERE id_observacion = 2"_s,
          u"UPDATE observacion SET verificacion = 'rechazada', comentario_verificacion = 'No' "
          "WHERE id_observacion = 3"_s})
        QVERIFY(bd_->Ejecutar(sql));
    QVERIFY(Pulsar(*f_).contains(u"\n\nRechazadas: 1 observación, que no se exportan."_s));
    const Archivo b(carpeta_ + u"/TDX_DwC_20110509.zip"_s);
    QStringList vistos;
    for (const auto &r : b.filas.mid(0, 3))
        vistos << r.value(u"catalogNumber"_s) + u'/' +
                      r.value(u"identificationVerificationStatus"_s) + u'/' +
                      r.value(u"identificationRemarks"_s);
    QCOMPARE(vistos, QStringList({u"1/verified/"_s, u"2/questionable/¿Bufo calamita?"_s,
                                  u"4/unverified/"_s}));
    QCOMPARE(b.filas.size(), a.filas.size() - 1);
    QCOMPARE(Invalido(b), QString());
}

void tst_DarwinCoreArchive::fallos() {
    // No default observer: nobody to name as the data's author.
    bd_->Ejecutar(u"UPDATE DefaultObs SET cd_obs = ''"_s);
    QCOMPARE(Pulsar(*f_), u"Darwin Core (GBIF)|Falta el observador por defecto: su nombre y su "
                          "correo figuran como autor de los datos. Elíjalo en Observadores.\n\n"
                          "No se ha generado el archivo."_s);
    QVERIFY(QDir(carpeta_).isEmpty());
    bd_->Ejecutar(u"UPDATE DefaultObs SET cd_obs = 'JPG'"_s);

    // An earlier archive of the day is replaced whole; a record without a place is named;
    // the folder gone makes no archive.
    QVERIFY(Files::Write(carpeta_ + u"/TDX_DwC_20110509.zip"_s, "no es un zip"));
    bd_->Ejecutar(u"INSERT INTO observacion (fecha, especie) VALUES ('2011-05-01', 'SALSAL')"_s);
    QVERIFY(Pulsar(*f_).endsWith(u"\n\nSin coordenadas: 1 observación, porque su localidad no "
                                 "tiene huso con coordenadas o un cuadrado válido."_s));
    QCOMPARE(Nombres(carpeta_ + u"/TDX_DwC_20110509.zip"_s).size(), 3);

    // On a full disk (a real one), and when the user cancels before packing or while
    // libzip packs, the earlier archive stays as it was and nothing else is left.
    FullDisk disco(bd_->carpeta() + u"/disco"_s);
    QVERIFY2(disco.ok(), qPrintable(disco.error()));
    const QString enDisco = disco.carpeta() + u"/TDX_DwC_20110509.zip"_s;
    QVERIFY(f_->AbrirCarpeta(disco.carpeta()));
    KeptOnFullDisk(disco, enDisco,
                   u"El disco está lleno: no se ha podido escribir el archivo %1.\n\nNo se ha "
                   "generado el archivo."_s.arg(enDisco),
                   [&] { Pulsar(*f_); });
    // libzip's own text for a disk it cannot write to ("Failure to create temporary file")
    // reaches the user as the cause in Spanish.
    QVERIFY(Files::Write(enDisco, "el de antes") && disco.SoloLectura(true));
    QCOMPARE(Pulsar(*f_), u"Darwin Core (GBIF)|No se ha podido escribir el archivo comprimido %1 "
                          "(el disco es de solo lectura).\n\nNo se ha generado el "
                          "archivo."_s.arg(enDisco));
    QCOMPARE(MessageService::Ultimo().icono, QMessageBox::Warning);
    QVERIFY(disco.SoloLectura(false));
    QCOMPARE(Files::Read(enDisco), "el de antes");
    QVERIFY(f_->AbrirCarpeta(carpeta_) && QDir(carpeta_).removeRecursively());
    QCOMPARE(Pulsar(*f_), u"Darwin Core (GBIF)|La carpeta %1 no existe.\n\nNo se ha generado el "
                          "archivo."_s.arg(QDir::toNativeSeparators(carpeta_)));
    QVERIFY(!QFileInfo::exists(carpeta_));
}

QTEST_MAIN(tst_DarwinCoreArchive)
#include "tst_DarwinCoreArchive.moc"
