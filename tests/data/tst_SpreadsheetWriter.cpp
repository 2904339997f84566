#include "support/Files.h"
#include "support/FullDisk.h"
#include "support/SheetReader.h"
#include "support/TestDatabase.h"

#include "data/ColumnTable.h"
#include "data/SpreadsheetWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

// The writer read back from the file's XML: values, kinds, formats, header and widths.
class tst_SpreadsheetWriter : public QObject {
    Q_OBJECT
private slots:
    void hoja();
};

void tst_SpreadsheetWriter::hoja() {
    TestDatabase bd;
    bd.Ejecutar(u"CREATE TABLE filas (fecha TEXT, nombre TEXT, numero INTEGER, aprox INTEGER)"_s);
    const QString largo = u"Charca de l'Ermita <norte> & sur, junto al camino viejo"_s;
    bd.Ejecutar(u"INSERT INTO filas VALUES ('2007-03-05', 'Bufo spinosus', 12, 1), "
                "(NULL, ?, NULL, 0), ('no es fecha', '', 0, NULL), "
                "('1999-12-31', 'Ávila', 7, 5)"_s,
                {largo});
    const ColumnTable columnas = {
        {u"fecha"_s, u"fecha"_s, u"FECHA"_s, Column::Formato::Fecha},
        {u"nombre"_s, u"nombre"_s, u"NOMBRE"_s},
        {u"numero"_s, u"numero"_s, u"NÚMERO"_s, Column::Formato::Entero},
        {u"aprox"_s, u"aprox"_s, u"APROX."_s, Column::Formato::SiNo},
    };
    auto consulta = [&](const QString &donde) {
        QSqlQuery q(bd.db());
        q.setForwardOnly(true);
        q.exec(u"SELECT fecha, nombre, numero, aprox FROM filas "_s + donde + u" ORDER BY rowid"_s);
        return q;
    };
    const QString ruta = bd.carpeta() + u"/hoja con espacios.xlsx"_s;
    QString error;
    QSqlQuery q = consulta(QString());
    QVERIFY2(EscribirHojaCalculo(q, columnas, ruta, &error), qPrintable(error));

    // Two empty rows, the bold header, then dates as date serials, numbers as numbers,
    // Si/No, text as stored; nulls and what is not a date of their kind as they are.
    SheetReader h(ruta);
    QVERIFY(h.ok);
    QStringList filas;
    for (int fila = 1; fila <= 8; ++fila)
        filas << h.Fila(fila, 4).join(u'|');
    QCOMPARE(filas, QStringList({u"|||"_s, u"|||"_s, u"FECHA|NOMBRE|NÚMERO|APROX."_s,
                                 u"39146|Bufo spinosus|12|Si"_s, u"|"_s + largo + u"||No"_s,
                                 u"no es fecha||0|No"_s, u"36525|Ávila|7|Si"_s, u"|||"_s}));
    QVERIFY(h.negrita[u"A3"_s] && h.negrita[u"D3"_s] && !h.negrita[u"A4"_s]);
    QCOMPARE(h.formato[u"A4"_s] + u'|' + h.formato[u"B4"_s] + u'|' + h.formato[u"C4"_s] + u'|' +
                 h.formato[u"D4"_s],
             u"dd/mm/yyyy|@|0|@"_s);
    // Widths follow the longest text.
    QCOMPARE(h.anchos.size(), 4);
    QVERIFY(h.anchos[1] > largo.size() && h.anchos[0] >= 10 && h.anchos[3] < h.anchos[1]);

    // No rows: the header alone; the file is replaced whole.
    q = consulta(u"WHERE 0"_s);
    QVERIFY2(EscribirHojaCalculo(q, columnas, ruta, &error), qPrintable(error));
    SheetReader vacia(ruta);
    QCOMPARE(vacia.Fila(3, 4).first(), u"FECHA"_s);
    QVERIFY(!vacia.valor.contains(u"A4"_s) && !vacia.valor.contains(u"B4"_s));
    QCOMPARE(QDir(bd.carpeta()).entryList({u"*.parcial"_s}, QDir::Files), QStringList());

    // Texts come back as stored, whatever they hold: the XML stays well formed and the
    // archive sound; a number that is not finite, or bytes that are not UTF-8, stay text.
    {
        const QString raro = u" tab\tlínea\nretorno\r<b>&amp; _x0041_ \u0001\u001f 🐸 "_s;
        QSqlQuery q(bd.db());
        q.setForwardOnly(true);
        QVERIFY(q.exec(u"SELECT NULL, '%1', 'inf', 1 UNION ALL "
                       "SELECT NULL, CAST(X'41FF42' AS TEXT), '-1e400', 0"_s.arg(raro)));
        const QString archivo = bd.carpeta() + u"/raros.xlsx"_s;
        QVERIFY2(EscribirHojaCalculo(q, columnas, archivo, &error), qPrintable(error));
        QProcess unzip;
        unzip.start(u"unzip"_s, {u"-tq"_s, archivo});
        QVERIFY(unzip.waitForFinished(60000) && unzip.exitCode() == 0);
        // Read as an XML reader reads it (a bare carriage return would come back a line feed),
        // with the escapes a spreadsheet reads back as the characters they stand for.
        unzip.start(u"unzip"_s, {u"-p"_s, archivo, u"xl/worksheets/sheet1.xml"_s});
        QVERIFY(unzip.waitForFinished(60000));
        QXmlStreamReader xml(unzip.readAllStandardOutput());
        QString leido;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement &&
                xml.attributes().value(u"r"_s) == u"B4"_s)
                leido = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        static const QRegularExpression escape(u"_x([0-9A-F]{4})_"_s);
        for (auto m = escape.match(leido); m.hasMatch();
             m = escape.match(leido, m.capturedStart() + 1))
            leido.replace(m.capturedStart(), m.capturedLength(),
                          QChar(m.captured(1).toUShort(nullptr, 16)));
        SheetReader r(archivo);
        QCOMPARE(leido, raro);
        QCOMPARE(r.Fila(4, 4).mid(2), QStringList({u"inf"_s, u"Si"_s}));
        QCOMPARE(r.Fila(5, 4).mid(1), QStringList({u"A\uFFFDB"_s, u"-1e400"_s, u"No"_s}));
    }

    // A folder that does not exist, a statement that failed, a text longer than a cell holds
    // (refused, not cut), a full disk (a real one) for the file or for the temporary folder, a
    // cancel at the first row and at the packing: a reason in Spanish, and no file, or the old
    // one as it was.
    QSqlQuery sinFilas = consulta(u"WHERE 0"_s), mala = consulta(u"WHERE nada"_s);
    bd.Ejecutar(u"INSERT INTO filas VALUES ('2001-01-01', ?, 1, 0)"_s, {QString(40000, u'x')});
    QSqlQuery larga = consulta(u"WHERE length(nombre) > 100"_s);
    const QString otra = bd.carpeta() + u"/mala.xlsx"_s;
    FullDisk disco(bd.carpeta() + u"/disco"_s);
    QVERIFY2(disco.ok(), qPrintable(disco.error()));
    const QString enDisco = disco.carpeta() + u"/hoja.xlsx"_s;
    const QString noCabe = u"No se ha podido escribir la hoja de cálculo"_s;
    struct Caso {
        QSqlQuery *consulta; // none: the rows that fit
        QString destino, empieza, contiene;
        int cancelarEn = 0;
        bool lleno = false, temporalLleno = false;
    };
    const QList<Caso> fallos = {
        {&sinFilas, bd.carpeta() + u"/no/existe.xlsx"_s, noCabe},
        {&mala, otra, noCabe},
        {&larga, otra, noCabe, u"NOMBRE en la fila 4"_s},
        {.destino = enDisco,
         .empieza = u"El disco está lleno: no se ha podido escribir el archivo "_s + enDisco,
         .lleno = true},
        // The rows are prepared in the temporary folder: its disk full is said as such.
        {.destino = ruta,
         .empieza = u"El disco está lleno: no se ha podido escribir la hoja de cálculo %1, que se "
                    "prepara en la carpeta temporal %2."_s.arg(ruta, disco.carpeta()),
         .temporalLleno = true},
        {.destino = ruta, .empieza = Avances::kCancelado, .cancelarEn = 1},
        {.destino = ruta, .empieza = Avances::kCancelado, .cancelarEn = 2},
    };
    for (const Caso &c : fallos) {
        // What a failure must leave: the file of the same name as it was, or none.
        if (c.lleno) QVERIFY(Files::Write(c.destino, "hoja vieja"));
        if (c.lleno || c.temporalLleno) QVERIFY(disco.Llenar());
        if (c.temporalLleno) qputenv("TMPDIR", QFile::encodeName(disco.carpeta()));
        const QByteArray antes = QFile::exists(c.destino) ? Files::Read(c.destino) : QByteArray();
        QSqlQuery q = c.consulta ? std::move(*c.consulta) : consulta(u"WHERE rowid < 5"_s);
        int informes = 0;
        const Avance avance = [&](qint64, qint64) { return ++informes != c.cancelarEn; };
        error.clear();
        const bool escrito = EscribirHojaCalculo(q, columnas, c.destino, &error, avance);
        qunsetenv("TMPDIR");
        QVERIFY(!escrito);
        QVERIFY2(error.startsWith(c.empieza) && error.contains(c.contiene), qPrintable(error));
        QCOMPARE(QFile::exists(c.destino), !antes.isEmpty());
        QCOMPARE(Files::Read(c.destino), antes);
        QCOMPARE(QFileInfo(c.destino).dir().entryList({u"*.parcial"_s}), QStringList());
        disco.Vaciar();
    }
    // With room again, the sheet is written on that disk too.
    QSqlQuery todas = consulta(u"WHERE rowid < 5"_s);
    QVERIFY2(EscribirHojaCalculo(todas, columnas, enDisco, &error), qPrintable(error));
    QVERIFY(SheetReader(enDisco).ok);

    // More rows than a sheet holds: the rest go on in a second sheet, under the same header.
    QSqlQuery muchas(bd.db());
    muchas.setForwardOnly(true);
    QVERIFY(muchas.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                        "WHERE i < 1048575) SELECT i FROM n"_s));
    int hojas = 0;
    QVERIFY2(EscribirHojaCalculo(muchas, {{u"i"_s, u"i"_s, u"N"_s, Column::Formato::Entero}}, ruta,
                                 &error, {}, &hojas),
             qPrintable(error));
    QCOMPARE(hojas, 2);
    QProcess unzip;
    unzip.start(u"unzip"_s, {u"-p"_s, ruta, u"xl/worksheets/sheet1.xml"_s});
    QVERIFY(unzip.waitForFinished(120000));
    const QByteArray primera = unzip.readAllStandardOutput();
    QVERIFY(primera.contains("<c r=\"A3\"") && primera.contains("<v>1048573</v>") &&
            !primera.contains("<v>1048574</v>"));
    SheetReader segunda(ruta, 2);
    QStringList filas2;
    for (int fila = 3; fila <= 6; ++fila)
        filas2 << segunda.Fila(fila, 1);
    QCOMPARE(filas2, QStringList({u"N"_s, u"1048574"_s, u"1048575"_s, QString()}));
}

QTEST_GUILESS_MAIN(tst_SpreadsheetWriter)
#include "tst_SpreadsheetWriter.moc"
