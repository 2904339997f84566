#include "support/SheetReader.h"
#include "support/TestDatabase.h"

#include "data/ColumnTable.h"
#include "data/SpreadsheetWriter.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

// The writer read back from the file's XML: values, kinds, formats, header and widths.
class tst_SpreadsheetWriter : public QObject {
    Q_OBJECT
private slots:
    void hoja();
    void fallos();

private:
    QSqlQuery Consulta(const TestDatabase &bd, const QString &donde) {
        QSqlQuery q(bd.db());
        q.setForwardOnly(true);
        if (!q.exec(u"SELECT fecha, nombre, numero, aprox FROM filas "_s + donde +
                    u" ORDER BY rowid"_s))
            qWarning() << q.lastQuery();
        return q;
    }
    const ColumnTable columnas = {
        {u"fecha"_s, u"fecha"_s, u"FECHA"_s, Column::Formato::Fecha},
        {u"nombre"_s, u"nombre"_s, u"NOMBRE"_s},
        {u"numero"_s, u"numero"_s, u"NÚMERO"_s, Column::Formato::Entero},
        {u"aprox"_s, u"aprox"_s, u"APROX."_s, Column::Formato::SiNo},
    };
};

void tst_SpreadsheetWriter::hoja() {
    TestDatabase bd;
    bd.Ejecutar(u"CREATE TABLE filas (fecha TEXT, nombre TEXT, numero INTEGER, aprox INTEGER)"_s);
    const QString largo = u"Charca de l'Ermita <norte> & sur, junto al camino viejo"_s;
    bd.Ejecutar(u"INSERT INTO filas VALUES ('2007-03-05', 'Bufo spinosus', 12, 1), "
                "(NULL, ?, NULL, 0), ('no es fecha', '', 0, NULL), "
                "('1999-12-31', 'Ávila', 7, 5)"_s,
                {largo});
    const QString ruta = bd.carpeta() + u"/hoja con espacios.xlsx"_s;
    QString error;
    QSqlQuery q = Consulta(bd, QString());
    QVERIFY2(EscribirHojaCalculo(q, columnas, ruta, &error), qPrintable(error));

    SheetReader h(ruta);
    QVERIFY(h.ok);
    for (int fila : {1, 2})
        QCOMPARE(h.Fila(fila, 4), QStringList(4, QString()));
    QCOMPARE(h.Fila(3, 4), (QStringList{u"FECHA"_s, u"NOMBRE"_s, u"NÚMERO"_s, u"APROX."_s}));
    QVERIFY(h.negrita[u"A3"_s] && h.negrita[u"D3"_s] && !h.negrita[u"A4"_s]);
    // Dates as date serials, numbers as numbers, Si/No, text as stored; nulls empty.
    QCOMPARE(h.Fila(4, 4), (QStringList{u"39146"_s, u"Bufo spinosus"_s, u"12"_s, u"Si"_s}));
    QCOMPARE(h.Fila(5, 4), (QStringList{QString(), largo, QString(), u"No"_s}));
    QCOMPARE(h.Fila(6, 4), (QStringList{u"no es fecha"_s, QString(), u"0"_s, u"No"_s}));
    QCOMPARE(h.Fila(7, 4), (QStringList{u"36525"_s, u"Ávila"_s, u"7"_s, u"Si"_s}));
    QCOMPARE(h.Fila(8, 4), QStringList(4, QString()));
    QCOMPARE(h.formato[u"A4"_s], u"dd/mm/yyyy"_s);
    QCOMPARE(h.formato[u"B4"_s], u"@"_s);
    QCOMPARE(h.formato[u"C4"_s], u"0"_s);
    QCOMPARE(h.formato[u"D4"_s], u"@"_s);
    QCOMPARE(h.seleccion, u"A1"_s);
    QCOMPARE(h.anchos.size(), 4);
    QVERIFY(h.anchos[1] > largo.size() && h.anchos[0] >= 10 && h.anchos[3] < h.anchos[1]);

    // No rows: the header alone; the file is replaced whole.
    q = Consulta(bd, u"WHERE 0"_s);
    QVERIFY2(EscribirHojaCalculo(q, columnas, ruta, &error), qPrintable(error));
    SheetReader vacia(ruta);
    QCOMPARE(vacia.Fila(3, 4).first(), u"FECHA"_s);
    QVERIFY(!vacia.valor.contains(u"A4"_s) && !vacia.valor.contains(u"B4"_s));
    QCOMPARE(QDir(bd.carpeta()).entryList({u"*.parcial"_s}, QDir::Files), QStringList());
}

void tst_SpreadsheetWriter::fallos() {
    TestDatabase bd;
    bd.Ejecutar(u"CREATE TABLE filas (fecha TEXT, nombre TEXT, numero INTEGER, aprox INTEGER)"_s);
    QString error;
    // A folder that does not exist, and a statement that failed: a reason, no file.
    QSqlQuery q = Consulta(bd, QString());
    const QString perdida = bd.carpeta() + u"/no/existe.xlsx"_s;
    QVERIFY(!EscribirHojaCalculo(q, columnas, perdida, &error));
    QVERIFY2(error.startsWith(u"No se ha podido escribir la hoja de cálculo"_s), qPrintable(error));
    QVERIFY(!QFile::exists(perdida));
    QSqlQuery mala(bd.db());
    mala.exec(u"SELECT nada FROM ninguna"_s);
    error.clear();
    const QString ruta = bd.carpeta() + u"/mala.xlsx"_s;
    QVERIFY(!EscribirHojaCalculo(mala, columnas, ruta, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(ruta));
    // A text longer than a cell holds is refused, not cut.
    bd.Ejecutar(u"INSERT INTO filas VALUES ('2001-01-01', ?, 1, 0)"_s, {QString(40000, u'x')});
    q = Consulta(bd, QString());
    QVERIFY(!EscribirHojaCalculo(q, columnas, ruta, &error));
    QVERIFY2(error.contains(u"NOMBRE en la fila 4"_s), qPrintable(error));
    QVERIFY(!QFile::exists(ruta));
}

QTEST_GUILESS_MAIN(tst_SpreadsheetWriter)
#include "tst_SpreadsheetWriter.moc"
