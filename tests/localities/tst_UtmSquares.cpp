#include "localities/UtmSquares.h"
#include "support/TestDatabase.h"

#include "data/CreacionBaseDatos.h"

#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using Utm::Resultado;

Q_DECLARE_METATYPE(Utm::Resultado)

namespace {
const QString kConexion = QStringLiteral("tst_UtmSquares");
}

class tst_UtmSquares : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void calculo_data();
    void calculo();
    void fallosDeLaBase();
    void tablasReales();
};

// Bands of our own: a zone starting at 0 (so that very short eastings reach the digits), one
// starting at 100000, and a band code of two letters.
void tst_UtmSquares::initTestCase() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConexion);
    db.setDatabaseName(QStringLiteral(":memory:"));
    QVERIFY(db.open());
    QSqlQuery q(db);
    const QStringList sentencias = {
        "CREATE TABLE tutm100keste (huso TEXT, utmxmin INTEGER, utm100e TEXT)",
        "CREATE TABLE tutm100knorte (huso TEXT, utmymin INTEGER, utm100n TEXT)",
        "INSERT INTO tutm100keste VALUES ('30', 0, 'A'), ('30', 100000, 'B'), ('30', 500000, 'CC'),"
        " ('29', 100000, 'K')",
        "INSERT INTO tutm100knorte VALUES ('30', 1000000, 'N'), ('30', 4000000, 'P'),"
        " ('29', 4000000, 'T')",
    };
    for (const QString &s : sentencias)
        QVERIFY2(q.exec(s), qPrintable(s));
}

void tst_UtmSquares::cleanupTestCase() {
    QSqlDatabase::removeDatabase(kConexion);
}

void tst_UtmSquares::calculo_data() {
    QTest::addColumn<QString>("huso");
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<Resultado>("resultado");
    QTest::addColumn<QString>("utm10k");
    QTest::addColumn<QString>("utm1k");
    QTest::addColumn<QString>("mensaje");

    const QString faltaHuso = QStringLiteral("Falta Huso para calcular cuadrados UTM");
    const QString faltan =
        QStringLiteral("Faltan coordenadas Este y/o Norte para calcular cuadrados UTM");
    const QString enteras = QStringLiteral("Las coordenadas deben ser números enteros");
    const QString este = QStringLiteral("Esta coordenada Este no existe en el Huso ");
    const QString norte = QStringLiteral("Esta coordenada Norte no existe en el Huso ");

    auto fila = [](const char *caso, const QString &huso, const QString &x, const QString &y,
                   Resultado r, const QString &utm10k = {}, const QString &utm1k = {},
                   const QString &mensaje = {}) {
        QTest::newRow(caso) << huso << x << y << r << utm10k << utm1k << mensaje;
    };
    const Resultado calculado = Resultado::Calculado;

    // Letters of the band with the greatest minimum not above the value; digits: 2nd of the
    // easting and 3rd of the northing, then 2nd-3rd and 3rd-4th for the 1-km square.
    fila("ordinary", "30", "440123", "4474567", calculado, "BP47", "BP4074");
    fila("at a band minimum", "30", "500000", "4000000", calculado, "CCP00", "CCP0000");
    fila("just below", "30", "499999", "3999999", calculado, "BN99", "BN9999");
    fila("above every band", "30", "987654321", "4474567", calculado, "CCP87", "CCP8774");
    fila("beyond 64 bits", "30", "123456789012345678901234", "4474567", calculado, "CCP27",
         "CCP2374");
    // Too short a text gives nothing at that place; nothing is padded.
    fila("one-character easting", "30", "7", "4474567", calculado, "AP7", "AP74");
    fila("two-character easting", "30", "12", "4474567", calculado, "AP27", "AP274");
    // Blanks and leading zeros are not digits of the number: letters and digits agree.
    fila("leading blank", "30", " 440123", "4474567", calculado, "BP47", "BP4074");
    fila("easting with a leading zero", "30", "0440316", "4474268", calculado, "BP47", "BP4074");
    fila("northing with a leading zero", "30", "440316", "04474268", calculado, "BP47", "BP4074");
    fila("zeros on both", "30", "000440316", "004474268", calculado, "BP47", "BP4074");
    // 0099999 is 99999: the band below 100000, not the one the text's length suggests.
    fila("zero-led short easting", "30", "0099999", "4474268", calculado, "AP97", "AP9974");
    fila("only zeros", "30", "000", "4474268", calculado, "AP7", "AP74");

    fila("zone empty, both given", "", "440123", "4474567", Resultado::FaltaHuso, {}, {},
         faltaHuso);
    fila("zone blank, both given", " ", "440123", "4474567", Resultado::FaltaHuso, {}, {},
         faltaHuso);
    fila("zone empty, easting only", "", "440123", "", Resultado::Nada);
    fila("zone empty, northing blank", "", "440123", "  ", Resultado::Nada);
    fila("zone empty, nothing", "", "", "", Resultado::Nada);
    fila("northing missing", "30", "440123", "", Resultado::FaltanCoordenadas, {}, {}, faltan);
    fila("easting blank", "30", "   ", "4474567", Resultado::FaltanCoordenadas, {}, {}, faltan);

    // Pasted text that is no whole number.
    const Resultado noEnteras = Resultado::NoEnteras;
    fila("letter O for zero", "30", "44O123", "4474567", noEnteras, {}, {}, enteras);
    fila("decimals", "30", "440123", "4474567.5", noEnteras, {}, {}, enteras);
    fila("negative", "30", "-5", "4474567", noEnteras, {}, {}, enteras);
    fila("inner blank", "30", "440 123", "4474567", noEnteras, {}, {}, enteras);
    fila("statement text", "30", "1 OR 1=1", "4474567", noEnteras, {}, {}, enteras);

    const Resultado sinEste = Resultado::EsteNoExiste;
    fila("unknown zone", "32", "440123", "4474567", sinEste, {}, {}, este + "32");
    // The zone is compared as typed, and never becomes part of a statement.
    fila("zone with trailing blank", "30 ", "440123", "4474567", sinEste, {}, {}, este + "30 ");
    fila("zone with a quote", "30' OR '1'='1", "440123", "4474567", sinEste, {}, {},
         este + "30' OR '1'='1");
    fila("easting below every band", "29", "99999", "4474567", sinEste, {}, {}, este + "29");
    fila("northing below every band", "29", "440123", "3999999", Resultado::NorteNoExiste, {}, {},
         norte + "29");
    // The easting is reported first when both are out.
    fila("both below", "29", "99999", "3999999", sinEste, {}, {}, este + "29");
}

void tst_UtmSquares::calculo() {
    QFETCH(QString, huso);
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(Resultado, resultado);
    QFETCH(QString, utm10k);
    QFETCH(QString, utm1k);
    QFETCH(QString, mensaje);

    const Utm::Cuadrados c = Utm::CalcularCuadrados(QSqlDatabase::database(kConexion), huso, x, y);
    QCOMPARE(c.resultado, resultado);
    QCOMPARE(c.utm10k, utm10k);
    QCOMPARE(c.utm1k, utm1k);
    QCOMPARE(c.mensaje, mensaje);
    // The numbers the form then shows, and stores.
    if (resultado == Resultado::Calculado) {
        QCOMPARE(c.este.toLongLong(), x.toLongLong());
        QCOMPARE(c.norte.toLongLong(), y.toLongLong());
        QVERIFY(!c.este.startsWith(u'0') || c.este == QStringLiteral("0"));
    }
}

void tst_UtmSquares::fallosDeLaBase() {
    // No band tables, then a closed connection: reported, never taken for "not found".
    const QString nombre = QStringLiteral("tst_UtmSquares_vacia");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
        db.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(db.open());
        Utm::Cuadrados c = Utm::CalcularCuadrados(
            db, QStringLiteral("30"), QStringLiteral("440123"), QStringLiteral("4474567"));
        QCOMPARE(c.resultado, Resultado::ErrorBaseDatos);
        QVERIFY2(c.mensaje.startsWith(QStringLiteral("No se pueden calcular los cuadrados UTM.")),
                 qPrintable(c.mensaje));
        QVERIFY(c.utm10k.isEmpty() && c.utm1k.isEmpty());

        // Only the northing table missing.
        QSqlQuery(db).exec(
            QStringLiteral("CREATE TABLE tutm100keste (huso TEXT, utmxmin INTEGER, utm100e TEXT)"));
        c = Utm::CalcularCuadrados(db, QStringLiteral("30"), QStringLiteral("440123"),
                                   QStringLiteral("4474567"));
        QCOMPARE(c.resultado, Resultado::ErrorBaseDatos);

        db.close();
        c = Utm::CalcularCuadrados(db, QStringLiteral("30"), QStringLiteral("440123"),
                                   QStringLiteral("4474567"));
        QCOMPARE(c.resultado, Resultado::ErrorBaseDatos);
        QVERIFY(!c.mensaje.isEmpty());
    }
    QSqlDatabase::removeDatabase(nombre);
}

void tst_UtmSquares::tablasReales() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(bd.ok());

    // Band edges with the real letters: zone 30, V from 400000, K from 4400000.
    Utm::Cuadrados c = Utm::CalcularCuadrados(bd.db(), QStringLiteral("30"),
                                              QStringLiteral("400000"), QStringLiteral("4400000"));
    QCOMPARE(c.utm10k, QStringLiteral("VK00"));
    QCOMPARE(c.utm1k, QStringLiteral("VK0000"));
    c = Utm::CalcularCuadrados(bd.db(), QStringLiteral("30"), QStringLiteral("399999"),
                               QStringLiteral("4399999"));
    QCOMPARE(c.utm10k, QStringLiteral("UJ99"));
    QCOMPARE(c.utm1k, QStringLiteral("UJ9999"));
    c = Utm::CalcularCuadrados(bd.db(), QStringLiteral("30"), QStringLiteral("99999"),
                               QStringLiteral("4400000"));
    QCOMPARE(c.resultado, Resultado::EsteNoExiste);
    c = Utm::CalcularCuadrados(bd.db(), QStringLiteral("28"), QStringLiteral("400000"),
                               QStringLiteral("2999999"));
    QCOMPARE(c.resultado, Resultado::NorteNoExiste);

    // Points whose squares GeographicLib's MGRS gives: the tables must compose the same codes,
    // and the municipality each point lies well inside must offer its square.
    CreacionBaseDatos::Csv vectores;
    QString error;
    QVERIFY2(CreacionBaseDatos::LeerCsv(QStringLiteral(TRITODEX_REFDATA_DIR "/utm_vectors.csv"),
                                        &vectores, &error),
             qPrintable(error));
    const QStringList columnas = {"name",     "lon",   "lat",   "huso",   "easting",
                                  "northing", "utm10", "utm1k", "id_muni"};
    QCOMPARE(vectores.columnas, columnas);
    QSet<QString> husos;
    QSet<int> provincias;
    for (const QStringList &v : vectores.filas) {
        const QString &nombre = v[0], &huso = v[3], &utm10 = v[6], &utm1 = v[7];
        c = Utm::CalcularCuadrados(bd.db(), huso, v[4], v[5]);
        QVERIFY2(c.resultado == Resultado::Calculado, qPrintable(nombre + u' ' + c.mensaje));
        QVERIFY2(c.utm10k == utm10, qPrintable(nombre + u' ' + c.utm10k + u' ' + utm10));
        QVERIFY2(c.utm1k == utm1, qPrintable(nombre + u' ' + c.utm1k + u' ' + utm1));
        QVERIFY2(bd.Valor(QStringLiteral("SELECT count(*) FROM tutm10kmunis WHERE utm10 = ? "
                                         "AND id_muni = ?"),
                          {utm10, v[8].toInt()})
                         .toInt() == 1,
                 qPrintable(nombre));
        // And its province offers it too, as the province refill relies on.
        QVERIFY2(bd.Valor(QStringLiteral("SELECT count(*) FROM tutm10kprovincia WHERE utm10 = ? "
                                         "AND id_prov = ?"),
                          {utm10, v[8].toInt() / 1000})
                         .toInt() == 1,
                 qPrintable(nombre));
        husos.insert(huso);
        provincias.insert(v[8].toInt() / 1000);
    }
    QCOMPARE(husos, (QSet<QString>{"27", "28", "29", "30", "31"}));
    QCOMPARE(provincias.size(), 52);
}

QTEST_MAIN(tst_UtmSquares)
#include "tst_UtmSquares.moc"
