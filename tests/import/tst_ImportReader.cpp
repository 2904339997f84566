#include "import/ImportReader.h"
#include "support/Files.h"
#include "support/TestDatabase.h"

#include "data/SpreadsheetWriter.h"
#include "observations/ObservationStore.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Import;

// Every file is written here by the test; nothing is fetched.
class tst_ImportReader : public QObject {
    Q_OBJECT
private slots:
    void archivosBuenos();
    void archivosMalos();
    void fechasYNumeros();
    void hojaDelPrograma();
};

namespace {
// A record on one line: date, time, species texts, number, position, place, description;
// then the uncertainty and the platform's marks, where there are any.
QString Linea(const Record &r) {
    return u"%1|%2|%3|%4|%5|%6|%7|%8"_s.arg(r.linea).arg(
               r.fecha.toString(Qt::ISODate), r.hora, r.especies.join(u'/'), r.numero.toString(),
               r.geograficas ? u"%1 %2"_s.arg(r.lat, 0, 'f', 5).arg(r.lon, 0, 'f', 5)
                             : r.huso + u' ' + r.este.toString() + u' ' + r.norte.toString(),
               r.lugar, r.descripcion) +
           (r.incertidumbre.isNull() ? QString() : u"|±"_s + r.incertidumbre.toString()) +
           (r.posicionOculta ? u"|oculta"_s : QString()) +
           (r.cautividad ? u"|cautiva"_s : QString());
}
} // namespace

void tst_ImportReader::archivosBuenos() {
    // Each file, its format, then its records, one a line.
    const std::tuple<QByteArray, Format, QString> casos[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
         " <wpt lat=\"40.4168\" lon=\"-3.7038\"><ele>650</ele>\n"
         "  <time>2024-05-03T10:22:00Z</time><name>Bufo calamita</name><desc>charca</desc></wpt>\n"
         " <wpt lat=\"28.4676\" lon=\"-16.2478\"><time>2024-01-10T23:30:00Z</time>"
         "<name>P2</name><cmt>Lagarto tizón</cmt></wpt>\n"
         " <wpt lat=\"41.0\" lon=\"-4.0\"><name>Sapo corredor</name></wpt>\n"
         " <trk><trkseg><trkpt lat=\"1\" lon=\"1\"/></trkseg></trk>\n"
         "</gpx>\n",
         Format::Gpx,
         u"3|2024-05-03|12:22|Bufo calamita/charca||40.41680 -3.70380|Bufo calamita|charca\n"
         "5|2024-01-10|23:30|P2/Lagarto tizón||28.46760 -16.24780|P2|Lagarto tizón\n"
         "6|||Sapo corredor||41.00000 -4.00000|Sapo corredor|"_s},
        // GPX 1.0, times without a zone: UTC, made Spanish (Canary time in the Canaries).
        {"<?xml version=\"1.0\"?>\n"
         "<gpx version=\"1.0\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/0\">\n"
         "<wpt lat=\"40.4168\" lon=\"-3.7038\"><time>2024-07-03T10:22:00</time>"
         "<name>Rana perezi</name><hdop>3.5</hdop></wpt>\n"
         "<wpt lat=\"28.4676\" lon=\"-16.2478\"><time>2024-07-10T23:30:00</time>"
         "<name>Gallotia galloti</name></wpt>\n"
         "</gpx>\n",
         Format::Gpx,
         u"3|2024-07-03|12:22|Rana perezi||40.41680 -3.70380|Rana perezi|\n"
         "4|2024-07-11|00:30|Gallotia galloti||28.46760 -16.24780|Gallotia galloti|"_s},
        // iNaturalist's precision in metres, rounded up (its private rows: tst_frimportar).
        {"observed_on,scientific_name,latitude,longitude,positional_accuracy,captive_cultivated\n"
         "2024-05-04,Rana perezi,40.41,-3.70,4.2,false\n",
         Format::INaturalist, u"2|2024-05-04||Rana perezi||40.41000 -3.70000|||±5"_s},
        // Latin-1 declared by the file itself.
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><gpx>\n"
         "<wpt lat=\"40.1\" lon=\"-3.1\"><name>Sapo com\xfan</name></wpt></gpx>",
         Format::Gpx, u"2|||Sapo común||40.10000 -3.10000|Sapo común|"_s},
        {"<gpx><wpt lat=\"40.1\" lon=\"-3.1\"><name>Sapo com\xfan \x80</name></wpt></gpx>",
         Format::Gpx, u"1|||Sapo común €||40.10000 -3.10000|Sapo común €|"_s},
        // iNaturalist: byte-order mark, its own column order, a quoted description with a comma
        // and a line break, UTC times made Spanish and an offset kept as written.
        {"\xEF\xBB\xBFid,observed_on,time_observed_at,user_login,url,description,latitude,"
         "longitude,positional_accuracy,place_guess,scientific_name,common_name\n"
         "1,2024-05-03,2024-05-03 12:22:00 UTC,ana,https://x/1,\"En la charca, "
         "\"\"tres\"\"\ncantando\",40.41680,-3.70380,10,Madrid,Epidalea calamita,Natterjack\n"
         "2,2024-05-04,2024-05-04 14:22:00 +0200,ana,https://x/2,,36.7,-4.4,,,Rana perezi,\n"
         "3,,,ana,,,,,,,Salamandra salamandra,\n",
         Format::INaturalist,
         u"2|2024-05-03|14:22|Epidalea calamita/Natterjack||40.41680 -3.70380|Madrid|"
         "En la charca, \"tres\"\ncantando|±10\n"
         "4|2024-05-04|14:22|Rana perezi||36.70000 -4.40000||\n"
         "5|||Salamandra salamandra||  ||"_s},
        // Observation.org: Windows-1252 (ú, í, €), semicolons, decimal commas, European dates.
        {"date;time;species name;scientific name;number;lat;lng;location;notes\n"
         "03/05/2024;9:05;Sapo com\xfan;Bufo spinosus;3;40,41680;-3,70380;R\xedo Manzanares;"
         "puesta \x80\n"
         "2024-05-04;;Lagartija;;1;42,5;-2,1;;\n"
         "2024-05-05;9:05:00;Sapo com\xfan;Bufo spinosus;1;40,4;-3,7;;\n",
         Format::ObservationOrg,
         u"2|2024-05-03|09:05|Bufo spinosus/Sapo común|3|40.41680 -3.70380|Río Manzanares|"
         "puesta €\n"
         "3|2024-05-04||Lagartija|1|42.50000 -2.10000||\n"
         "4|2024-05-05|09:05|Bufo spinosus/Sapo común|1|40.40000 -3.70000||"_s},
    };
    for (const auto &[datos, formato, registros] : casos) {
        const Reading l = LeerDatos(datos);
        QVERIFY2(l.ok, qPrintable(l.error));
        QCOMPARE_EQ(int(l.formato), int(formato));
        QStringList leidos;
        for (const Record &r : l.registros)
            leidos << Linea(r);
        QCOMPARE_EQ(leidos.join(u'\n'), registros);
    }
}

void tst_ImportReader::archivosMalos() {
    // Each file, and the start of why it is refused.
    const std::pair<QByteArray, QString> casos[] = {
        {"<?xml version=\"1.0\"?>\n<gpx>\n<wpt lat=\"40\" lon=\"-3\"><name>a</name></wpt>\n"
         "<wpt lat=\"40.1\" lon=\"-3.1\">\n<name>b</na",
         u"Línea 5: el GPX está incompleto o dañado"_s},
        {"<gpx><wpt lat=\"x\" lon=\"-3\"/></gpx>",
         u"Línea 1: el punto no tiene una latitud y una longitud válidas."_s},
        {"<gpx><wpt lat=\"91\" lon=\"-3\"/></gpx>",
         u"Línea 1: el punto no tiene una latitud y una longitud válidas."_s},
        {"<gpx></gpx>", u"El GPX no tiene ningún punto de paso (waypoint)."_s},
        {"<gpx><wpt lat=\"40\" lon=\"-3\"><name>&rana;</name></wpt></gpx>",
         u"Línea 1: el GPX está incompleto o dañado (usa una entidad que no está declarada)."_s},
        {"<gpx><wpt lat=\"40\" lon=\"-3\"><desc>" + QByteArray(5 << 20, 'x') +
             "</desc></wpt></gpx>",
         u"Línea 1: el GPX tiene un texto demasiado largo para importarlo."_s},
        {"<?xml version=\"1.0\"?><kml></kml>", u"Línea 1: el archivo es XML pero no un GPX."_s},
        {"<gpx version=\"1.1\"", u"Línea 1: el archivo no es un GPX."_s},
        {"observed_on,latitude,longitude,scientific_name\n2024-05-03,40.4,-3.7,Rana perezi\n"
         "2024-05-03,40.4\n",
         u"Línea 3: tiene 2 campos y la cabecera 4: el archivo parece cortado o dañado."_s},
        {"observed_on,longitude,scientific_name\n2024-05-03,-3.7,Rana perezi\n",
         u"Línea 1: faltan las columnas latitude de una exportación de iNaturalist."_s},
        {"date,number,lat,lng\n2024-05-03,1,40,-3\n",
         u"Línea 1: faltan las columnas scientific name de una exportación de Observation.org."_s},
        {"date,scientific name,lat,lng\n2024-05-03,Rana perezi,40,-3\n31/02/2024,Rana "
         "perezi,40,-3\n",
         u"Línea 3: la fecha «31/02/2024» no se entiende."_s},
        {"date,scientific name,lat,lng\n2024-05-03,Rana perezi,40;5,-3\n",
         u"Línea 2: la posición «40;5, -3» no es una latitud y una longitud."_s},
        {"observed_on,latitude,longitude,scientific_name,positional_accuracy\n"
         "2024-05-03,40.4,-3.7,Rana perezi,-5\n",
         u"Línea 2: la precisión «-5» no es un número de metros."_s},
        {"date,scientific name,lat,lng,number\n2024-05-03,Rana perezi,40,-3,muchos\n",
         u"Línea 2: el número de ejemplares «muchos» no es un número entero."_s},
        {"nombre,apellido\nAna,Pérez\n",
         u"Línea 1: el archivo no es una exportación de iNaturalist ni de Observation.org, ni "
         "un GPX, ni una hoja de cálculo del programa."_s},
        {QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
         u"El archivo no es de texto ni una hoja de cálculo"_s},
        {QByteArray("PK\x03\x04\x14\0\0\0\x08\0", 10),
         u"La hoja de cálculo está incompleta o dañada"_s},
        {"", u"El archivo está vacío."_s},
        {"\xEF\xBB\xBFobserved_on,latitude,longitude,scientific_name\r\n",
         u"El archivo no tiene ninguna observación después de la cabecera."_s},
    };
    for (const auto &[datos, error] : casos) {
        const Reading l = LeerDatos(datos);
        QVERIFY2(!l.ok && l.registros.isEmpty(), datos.left(200).constData());
        QVERIFY2(l.error.startsWith(error), qPrintable(l.error));
    }
    QCOMPARE_EQ(LeerArchivo(u"/no/existe.gpx"_s).error,
                u"No se puede leer el archivo: el archivo no existe."_s);
    // Hostile files: tst_frimportar reads each through the form.
}

void tst_ImportReader::fechasYNumeros() {
    // text=date|time, where read; text= where refused.
    const char *const fechas[] = {"2024-05-03=2024-05-03|",
                                  "03/05/2024=2024-05-03|",
                                  "3-5-2024=2024-05-03|",
                                  "03.05.2024 7:05=2024-05-03|07:05",
                                  "2024-05-03 14:22:00 +0200=2024-05-03|14:22",
                                  "2024-05-03T14:22:00Z=2024-05-03|14:22",
                                  "2024/05/03 14:22=2024-05-03|14:22",
                                  "2024-02-30=",
                                  "2024-05-03 25:00=",
                                  "mayo 2024=",
                                  "05/2024="};
    for (const QString f : fechas) {
        QDate d;
        QString h;
        const bool ok = LeerFechaHora(f.section(u'=', 0, 0), &d, &h);
        QCOMPARE_EQ(f.section(u'=', 0, 0) + u'=' +
                        (ok ? d.toString(Qt::ISODate) + u'|' + h : QString()),
                    f);
    }
    // (Decimal commas, a byte-order mark and Windows-1252 text: the good files above.)
    QCOMPARE_EQ(LeerDecimal(u" 40.5 "_s).value_or(0), 40.5);
    QVERIFY(!LeerDecimal(u"1.000,5"_s) && !LeerDecimal(u"nan"_s));
}

void tst_ImportReader::hojaDelPrograma() {
    // The query's spreadsheet as the program writes it (inline strings), read back.
    TestDatabase bd;
    bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, prov, muni, utmx, utmy, "
                "utmhuso, utm1k, utm10k) VALUES ('L1', 'Charca ''grande''', 28, 28079, 440291, "
                "4474254, '30', 'VK4074', 'VK47')"_s);
    bd.Ejecutar(
        u"INSERT INTO observacion (observador1, observador2, fecha, horaini, especie, "
        "numejemp, numaprox, descripcion, localidad) VALUES ('ANA', 'LUIS', '2024-05-03', "
        "'10:15', (SELECT min(cod_especie) FROM especie), 12, 1, 'Con \"puesta\"', 'L1')"_s);
    ObservationStore obs;
    QSqlQuery q = obs.Consultar({}, true);
    const QString ruta = bd.carpeta() + u"/consulta.xlsx"_s;
    QString error;
    QVERIFY2(EscribirHojaCalculo(q, ObservationStore::ColumnasConsulta(), ruta, &error),
             qPrintable(error));
    Reading l = LeerArchivo(ruta);
    QVERIFY2(l.ok, qPrintable(l.error));
    QCOMPARE_EQ(int(l.formato), int(Format::HojaPrograma));
    QCOMPARE_EQ(l.registros.size(), 1);
    const QString especie =
        bd.Valor(u"SELECT n_especie FROM especie ORDER BY cod_especie"_s).toString();
    QCOMPARE_EQ(Linea(l.registros[0]),
                u"4|2024-05-03|10:15|%1|12|30 440291 4474254|Charca 'grande'|Con \"puesta\""_s.arg(
                    especie));
    QVERIFY(l.registros[0].aprox);
    QCOMPARE_EQ(l.registros[0].otros.value(u"OBSERVADOR2"_s), u"LUIS"_s);

    // Another program's sheet, from the spreadsheet reader's fuzzing corpus: shared strings
    // (one in rich-text runs), a text date, a formula's cached text, the headers in the
    // first row.
    l = LeerArchivo(
        QStringLiteral(TRITODEX_FIXTURE_DIR "/../../fuzz/corpus/hoja/otro-programa.xlsx"));
    QVERIFY2(l.ok, qPrintable(l.error));
    QCOMPARE_EQ(Linea(l.registros.value(0)),
                u"2|2024-05-03||Rana perezi|4|30 442712 4474003|Fuente del Berro|Mucha puesta"_s);

    // More rows than a million observations and their headers: too large, found while the
    // rows are read, whatever the archive declares.
    QTemporaryDir dir;
    QByteArray filas = "<worksheet><sheetData>";
    for (int i = 1; i <= kFilasHoja + 4; ++i)
        filas += "<c r=\"A" + QByteArray::number(i) + "\"/>";
    QVERIFY(QDir(dir.path()).mkpath(u"xl/worksheets"_s) &&
            Files::Write(dir.filePath(u"xl/worksheets/sheet1.xml"_s),
                         filas + "</sheetData></worksheet>"));
    QVERIFY(QProcess::execute(
                u"sh"_s, {u"-c"_s, u"cd \"$0\" && zip -qr enorme.xlsx xl"_s, dir.path()}) == 0);
    QCOMPARE_EQ(LeerArchivo(dir.filePath(u"enorme.xlsx"_s)).error,
                u"La hoja es demasiado grande para importarla."_s);

    // Cut short: refused whole.
    const QByteArray entera = Files::Read(ruta);
    l = LeerDatos(entera.left(entera.size() * 2 / 3));
    QVERIFY(!l.ok && l.registros.isEmpty());
    QVERIFY2(l.error.startsWith(u"La hoja de cálculo está incompleta o dañada"_s),
             qPrintable(l.error));
}

QTEST_GUILESS_MAIN(tst_ImportReader)
#include "tst_ImportReader.moc"
