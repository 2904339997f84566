#include "geo/UtmSquares.h"
#include "support/TestDatabase.h"

#include "data/DatabaseCreation.h"

#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;
using R = Utm::Outcome;

class tst_UtmSquares : public QObject {
    Q_OBJECT
private slots:
    void calculo();
    void fallosDeLaBase();
    void tablasReales();
};

namespace {
// Outcome, squares and message on one line, compared whole.
QString Linea(R r, const QString &utm10k = {}, const QString &utm1k = {}, const QString &m = {}) {
    return QString::number(int(r)) + u'|' + utm10k + u'|' + utm1k + u'|' + m;
}
// The message follows from the outcome; the two "does not exist" ones name the zone.
QString Mensaje(R r, const QString &huso) {
    const QHash<R, QString> mensajes = {
        {R::FaltaHuso, u"Falta Huso para calcular cuadrados UTM"_s},
        {R::FaltanCoordenadas, u"Faltan coordenadas Este y/o Norte para calcular cuadrados UTM"_s},
        {R::NoEnteras, u"Las coordenadas deben ser números enteros"_s},
        {R::EsteNoExiste, u"Esta coordenada Este no existe en el Huso "_s + huso},
        {R::NorteNoExiste, u"Esta coordenada Norte no existe en el Huso "_s + huso},
    };
    return mensajes.value(r);
}
QString Calcular(const QSqlDatabase &db, const QString &huso, const QString &x, const QString &y) {
    const Utm::Squares c = Utm::CuadradosDe(db, Utm::LeerPosicion(huso, x, y));
    return Linea(c.resultado, c.utm10k, c.utm1k, c.mensaje);
}
} // namespace

void tst_UtmSquares::calculo() {
    // Bands of our own: a zone starting at 0 (so that very short eastings reach the digits),
    // one starting at 100000, and a band code of two letters.
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"bandas"_s);
    db.setDatabaseName(u":memory:"_s);
    QVERIFY(db.open());
    for (const char *s : {"CREATE TABLE tutm100keste (huso TEXT, utmxmin INTEGER, utm100e TEXT)",
                          "CREATE TABLE tutm100knorte (huso TEXT, utmymin INTEGER, utm100n TEXT)",
                          "INSERT INTO tutm100keste VALUES ('30', 0, 'A'), ('30', 100000, 'B'),"
                          " ('30', 500000, 'CC'), ('29', 100000, 'K')",
                          "INSERT INTO tutm100knorte VALUES ('30', 1000000, 'N'),"
                          " ('30', 4000000, 'P'), ('29', 4000000, 'T')"})
        QVERIFY2(QSqlQuery(db).exec(QLatin1String(s)), s);

    // Zone, easting, northing, outcome, squares.
    const QList<std::tuple<QString, QString, QString, R, QString, QString>> casos = {
        // Letters of the band with the greatest minimum not above the value; digits: 2nd of
        // the easting and 3rd of the northing, then 2nd-3rd and 3rd-4th for the 1-km square.
        {"30", "440123", "4474567", R::Calculado, "BP47", "BP4074"},
        {"30", "500000", "4000000", R::Calculado, "CCP00", "CCP0000"}, // at a band minimum
        {"30", "499999", "3999999", R::Calculado, "BN99", "BN9999"},
        {"30", "987654321", "4474567", R::Calculado, "CCP87", "CCP8774"}, // above every band
        // Past any number kept, a coordinate lies outside the zone; it is never cut.
        {"30", "123456789012345678901234", "4474567", R::EsteNoExiste, {}, {}},
        {"30", "440123", "99999999999999999999", R::NorteNoExiste, {}, {}},
        // Too short a text gives nothing at that place; nothing is padded.
        {"30", "7", "4474567", R::Calculado, "AP7", "AP74"},
        {"30", "12", "4474567", R::Calculado, "AP27", "AP274"},
        // Blanks and leading zeros are not digits of the number: letters and digits agree;
        // 0099999 is 99999, the band below 100000, not the one the text's length suggests.
        {"30", " 440123", "4474567", R::Calculado, "BP47", "BP4074"},
        {"30", "000440316", "004474268", R::Calculado, "BP47", "BP4074"},
        {"30", "0099999", "4474268", R::Calculado, "AP97", "AP9974"},
        {"30", "000", "4474268", R::Calculado, "AP7", "AP74"},
        // A missing zone matters only once both coordinates are given.
        {"", "440123", "4474567", R::FaltaHuso, {}, {}},
        {" ", "440123", "4474567", R::FaltaHuso, {}, {}},
        {"", "440123", "  ", R::Nada, {}, {}},
        {"", "", "", R::Nada, {}, {}},
        {"30", "440123", "", R::FaltanCoordenadas, {}, {}},
        {"30", "   ", "4474567", R::FaltanCoordenadas, {}, {}},
        // Pasted text that is no whole number.
        {"30", "44O123", "4474567", R::NoEnteras, {}, {}},
        {"30", "440123", "4474567.5", R::NoEnteras, {}, {}},
        {"30", "-5", "4474567", R::NoEnteras, {}, {}},
        {"30", "440 123", "4474567", R::NoEnteras, {}, {}},
        // The zone is compared as typed, and never becomes part of a statement.
        {"32", "440123", "4474567", R::EsteNoExiste, {}, {}},
        {"30 ", "440123", "4474567", R::EsteNoExiste, {}, {}},
        {"30' OR '1'='1", "440123", "4474567", R::EsteNoExiste, {}, {}},
        {"29", "99999", "4474567", R::EsteNoExiste, {}, {}},
        {"29", "440123", "3999999", R::NorteNoExiste, {}, {}},
        {"29", "99999", "3999999", R::EsteNoExiste, {}, {}}, // the easting is reported first
    };
    // The numbers the form then shows, and stores: without blanks or leading zeros.
    const auto numero = [](QString s) {
        for (s = s.trimmed(); s.size() > 1 && s.startsWith(u'0');)
            s.remove(0, 1);
        return s;
    };
    for (const auto &[huso, x, y, r, utm10k, utm1k] : casos) {
        const Utm::Position p = Utm::LeerPosicion(huso, x, y);
        const Utm::Squares n = Utm::CuadradosDe(db, p);
        QCOMPARE(Linea(n.resultado, n.utm10k, n.utm1k, n.mensaje),
                 Linea(r, utm10k, utm1k, Mensaje(r, huso)));
        if (r == R::Calculado)
            QCOMPARE(QString::number(p.este) + u' ' + QString::number(p.norte),
                     numero(x) + u' ' + numero(y));
    }
}

void tst_UtmSquares::fallosDeLaBase() {
    // No band tables, only the easting one, then a closed connection: reported, never taken
    // for "not found".
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"vacia"_s);
    db.setDatabaseName(u":memory:"_s);
    QVERIFY(db.open());
    const QString fallo = Linea(R::ErrorBaseDatos, {}, {}, u"No se pueden calcular"_s);
    for (int paso = 0; paso < 3; ++paso) {
        if (paso == 1)
            QSqlQuery(db).exec(u"CREATE TABLE tutm100keste (huso TEXT, utmxmin INTEGER, "
                               "utm100e TEXT)"_s);
        if (paso == 2) db.close();
        QCOMPARE(Calcular(db, u"30"_s, u"440123"_s, u"4474567"_s).left(fallo.size()), fallo);
    }
}

void tst_UtmSquares::tablasReales() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    // Band edges with the real letters: zone 30, V from 400000, K from 4400000 (where the
    // bands begin: tst_refdata; below the first, the derivation's own table).
    QCOMPARE(Calcular(bd.db(), u"30"_s, u"400000"_s, u"4400000"_s),
             Linea(R::Calculado, u"VK00"_s, u"VK0000"_s));
    QCOMPARE(Calcular(bd.db(), u"30"_s, u"399999"_s, u"4399999"_s),
             Linea(R::Calculado, u"UJ99"_s, u"UJ9999"_s));

    // Points whose squares GeographicLib's MGRS gives: the tables must compose the same codes,
    // and the municipality each point lies well inside, and its province, must offer its
    // square, as the lists' narrowing relies on.
    DatabaseCreation::Csv v;
    QString error;
    QVERIFY2(DatabaseCreation::LeerCsv(TRITODEX_REFDATA_DIR "/utm_vectors.csv"_L1, &v, &error),
             qPrintable(error));
    QCOMPARE(v.columnas, (QStringList{"name", "lon", "lat", "huso", "easting", "northing", "utm10",
                                      "utm1k", "id_muni"}));
    QSet<QString> husos;
    QSet<int> provincias;
    const QString enLista = u"SELECT (SELECT count(*) FROM tutm10kmunis WHERE utm10 = ? AND "
                            "id_muni = ?) || (SELECT count(*) FROM tutm10kprovincia WHERE "
                            "utm10 = ? AND id_prov = ? / 1000)"_s;
    for (const QStringList &p : v.filas) {
        QCOMPARE(p[0] + u'|' + Calcular(bd.db(), p[3], p[4], p[5]) + u'#' +
                     bd.Valor(enLista, {p[6], p[8].toInt(), p[6], p[8].toInt()}).toString(),
                 p[0] + u'|' + Linea(R::Calculado, p[6], p[7]) + u"#11"_s);
        husos.insert(p[3]);
        provincias.insert(p[8].toInt() / 1000);
    }
    QCOMPARE(husos, (QSet<QString>{"27", "28", "29", "30", "31"}));
    QCOMPARE(provincias.size(), 52);
}

QTEST_MAIN(tst_UtmSquares)
#include "tst_UtmSquares.moc"
