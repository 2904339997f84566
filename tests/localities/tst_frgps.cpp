#include "Localidades.h"

#include "../import/ImportFixtures.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "localities/frgps.h"
#include "localities/frinsLoc.h"
#include "observations/frmodif.h"
#include "observations/newobs.h"

#include <QDialog>
#include <QRadioButton>
#include <QUrl>

// Coordinates brought in through "GPS..." on the new-observation and new-locality forms, as
// a user types them into frgps: what frgps showed is what the form receives, and the
// squares are derived as for typed coordinates.
class tst_frgps : public QObject {
    Q_OBJECT
private slots:
    void gps_data();
    void gps();
    void mapaYModificacion();
    void municipioDelPunto();
};

namespace {

// What frgps showed when "Aceptar" was last pressed.
struct Vista {
    QString huso, este, norte, utm10k, utm1k, transformacion;
};

} // namespace

void tst_frgps::gps_data() {
    QTest::addColumn<QString>("formulario");
    QTest::addColumn<QString>("posicion"); // typed into Txpos; "utm" rows use ed50 instead
    QTest::addColumn<QString>("datum");
    QTest::addColumn<QStringList>("ed50");   // zone, easting, northing
    QTest::addColumn<QString>("respuestas"); // to the questions, in turn: S yes, N no
    QTest::addColumn<bool>("rellena");
    QTest::addColumn<QString>("aviso"); // part of the last message, or empty
    QTest::addColumn<QString>("lugar"); // the province and municipality filled in
    // Typed into frgps's uncertainty, which only the locality form keeps and so is offered;
    // that form had 500 m for its old point.
    QTest::addColumn<QString>("incert");

    const QString wgs = u"WGS84 / ETRS89"_s;
    const auto fila = [](const char *nombre, const QString &f, const QString &pos,
                         const QString &datum, const QStringList &ed50, const QString &resp,
                         bool rellena, const QString &aviso, const QString &lugar = u"|"_s,
                         const QString &incert = {}) {
        QTest::newRow(nombre) << f << pos << datum << ed50 << resp << rellena << aviso << lugar
                              << incert;
    };
    const QString madrid = u"Madrid|Madrid"_s;
    fila("newobs grados decimales", u"newobs"_s, u"40.4168, -3.7038"_s, wgs, {}, {}, true, {},
         madrid);
    fila("newobs Jerez", u"newobs"_s, u"36.6866, -6.1361"_s, wgs, {}, {}, true, {},
         u"Cádiz|Jerez de la Frontera"_s);
    fila("newobs ED50 geográficas", u"newobs"_s, u"40.4200 N 3.7025 W"_s, u"ED50"_s, {}, {}, true,
         {}, madrid);
    fila("frinsLoc UTM ED50", u"frinsLoc"_s, {}, wgs, {u"30"_s, u"440316"_s, u"4474268"_s}, {},
         true, {}, madrid);
    fila("frinsLoc Canarias", u"frinsLoc"_s, u"28.3 -16.5"_s, wgs, {}, {}, true, {},
         u"Santa Cruz de Tenerife|Güímar"_s, u" 25 "_s);
    // Refusals: a message, nothing filled.
    fila("vacío", u"frinsLoc"_s, u""_s, wgs, {}, {}, false, u"Formas admitidas"_s);
    fila("fuera de rango", u"frinsLoc"_s, u"95, -3.7"_s, wgs, {}, {}, false, u"-90 a 90"_s);
    fila("hemisferio contradicho", u"newobs"_s, u"-40.4N 3.7W"_s, wgs, {}, {}, false,
         u"contradice"_s);
    fila("ED50 en Canarias", u"newobs"_s, u"28.3 -16.5"_s, u"ED50"_s, {}, {}, false, u"Canarias"_s);
    const QString metros = u"no es un número entero de metros entre 1 y 20.000.000"_s;
    fila("incertidumbre negativa", u"frinsLoc"_s, u"40.4168, -3.7038"_s, wgs, {}, {}, false, metros,
         u"|"_s, u"-5"_s);
    fila("incertidumbre texto", u"frinsLoc"_s, u"40.4168, -3.7038"_s, wgs, {}, {}, false, metros,
         u"|"_s, u"unos diez"_s);
    fila("UTM ED50 sin huso", u"frinsLoc"_s, {}, wgs, {u""_s, u"440316"_s, u"4474268"_s}, {}, false,
         u"Elija el huso"_s);
    fila("huso ajeno", u"frinsLoc"_s, u"40.4, -30.5"_s, wgs, {}, {}, false, u"husos 27 a 31"_s);
    // Questions.
    fila("intercambiadas, sí", u"newobs"_s, u"-3.7038, 40.4168"_s, wgs, {}, u"S"_s, true, {},
         madrid);
    // Kept as typed, the point lies in the Caspian's zone.
    fila("intercambiadas, no", u"newobs"_s, u"-3.7038, 40.4168"_s, wgs, {}, u"N"_s, false,
         u"husos 27 a 31"_s);
    // Out at sea north of Galicia: filled when confirmed, its square in no list of Spain.
    fila("fuera de España, sí", u"frinsLoc"_s, u"44.8, -3.0"_s, wgs, {}, u"S"_s, true,
         u"UTM10 no correcto"_s);
    fila("fuera de España, no", u"frinsLoc"_s, u"44.8, -3.0"_s, wgs, {}, u"N"_s, false,
         u"fuera de España"_s);
}

void tst_frgps::gps() {
    QFETCH(QString, formulario);
    QFETCH(QString, posicion);
    QFETCH(QString, datum);
    QFETCH(QStringList, ed50);
    QFETCH(QString, respuestas);
    QFETCH(bool, rellena);
    QFETCH(QString, aviso);
    QFETCH(QString, lugar);
    QFETCH(QString, incert);

    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(bd.ok());
    std::unique_ptr<QWidget> f(formulario == u"newobs"_s ? static_cast<QWidget *>(new newobs)
                                                         : new frinsLoc);
    f->show();
    const bool observacion = formulario == u"newobs"_s;
    const QString x = observacion ? u"Txlong"_s : u"Txutmx"_s;
    const QString y = observacion ? u"Txlat"_s : u"Txutmy"_s;
    const QString utm1k = observacion ? u"tx1k"_s : u"txutm1k"_s;
    if (observacion) {
        User::Escribir(Control(f.get(), u"Cbloc"_s), u"Charca nueva"_s);
        User::SalirDe(Control(f.get(), u"Cbloc"_s));
    }
    User::Escribir(Control(f.get(), u"Txincert"_s), u"500"_s);

    MessageService::Limpiar();
    for (const QChar r : respuestas)
        MessageService::EncolarRespuesta(r == u'S' ? QMessageBox::Yes : QMessageBox::No);
    Vista vista;
    bool abierto = false, ofrecida = false;
    ChoiceService::Prueba().dialogo = [&](QDialog *d) {
        abierto = true;
        d->show();
        ofrecida = Control(d, u"Txincert"_s)->isVisible();
        if (ofrecida) User::Escribir(Control(d, u"Txincert"_s), incert);
        if (ed50.isEmpty()) {
            User::Escribir(Control(d, u"Txpos"_s), posicion);
            User::Elegir(Control<QComboBox>(d, u"Cbdatum"_s), datum);
        } else {
            QTest::mouseClick(Control<QRadioButton>(d, u"OpUtm"_s), Qt::LeftButton);
            User::Elegir(Control<QComboBox>(d, u"Cbhuso"_s), ed50[0]);
            User::Escribir(Control(d, u"Txutmx"_s), ed50[1]);
            User::Escribir(Control(d, u"Txutmy"_s), ed50[2]);
        }
        // "Aceptar" again after a proposed exchange, which the form shows first.
        for (int i = 0; i < 2 && d->isVisible(); ++i) {
            vista = {Texto(d, u"Lbzona"_s), Texto(d, u"Lbeste"_s), Texto(d, u"Lbnorte"_s),
                     Texto(d, u"Lb10k"_s),  Texto(d, u"Lb1k"_s),   Texto(d, u"Lbtransf"_s)};
            Clic(d, u"CdAceptar"_s);
        }
        if (d->isVisible()) Clic(d, u"CdCancelar"_s);
        return d->result();
    };
    Clic(f.get(), u"CdGps"_s);
    QVERIFY(abierto);
    // Both forms keep the point's uncertainty: frgps offers it and replaces it.
    QVERIFY(ofrecida);
    QCOMPARE(Texto(f.get(), u"Txincert"_s), rellena ? incert.trimmed() : u"500"_s);

    if (!rellena) {
        QVERIFY2(MessageService::Ultimo().texto.contains(aviso),
                 qPrintable(MessageService::Ultimo().texto));
        for (const QString &campo : {u"Cbhuso"_s, x, y, utm1k})
            QVERIFY(Texto(f.get(), campo).trimmed().isEmpty());
        QVERIFY(Texto(f.get(), u"Txgeo"_s).isEmpty());
        return;
    }
    QVERIFY2(MessageService::Mostrados().size() == respuestas.size(),
             qPrintable(MessageService::Ultimo().texto));
    // The one municipality the point lies in, with its province.
    QCOMPARE(Texto(f.get(), u"Cbprov"_s) + u'|' + Texto(f.get(), u"Cbmuni"_s), lugar);
    // The form holds what frgps showed, and its own derivation agrees with frgps's squares.
    QCOMPARE(Texto(f.get(), x), vista.este);
    QCOMPARE(Texto(f.get(), y), vista.norte);
    // A square no list holds empties the zone, as it does for typed coordinates.
    if (aviso.isEmpty()) {
        QCOMPARE(Texto(f.get(), u"Cbhuso"_s), vista.huso);
        QCOMPARE(Texto(f.get(), u"cb10k"_s), vista.utm10k);
        QCOMPARE(Texto(f.get(), utm1k), vista.utm1k);
    }
    QVERIFY2(aviso.isEmpty() ? Texto(f.get(), u"missatge"_s).isEmpty()
                             : Texto(f.get(), u"missatge"_s).contains(aviso),
             qPrintable(Texto(f.get(), u"missatge"_s)));
    // Madrid's points fall in the Puerta del Sol's square; the others in their own.
    if (vista.huso == u"30"_s && aviso.isEmpty()) QCOMPARE(vista.utm10k, u"VK47"_s);
    if (!ed50.isEmpty()) {
        // The ED50 point of the field notes: 440206.9 E, 4474060.6 N on ETRS89 by EPSG:1632.
        QCOMPARE(vista.este + u' ' + vista.norte, u"440206 4474060"_s);
        QVERIFY2(vista.transformacion.contains(u"EPSG:"_s), qPrintable(vista.transformacion));
    }
    if (datum == u"ED50"_s) QVERIFY(vista.transformacion.contains(u"precisión"_s));
    // The line below shows the point back as latitude and longitude.
    if (aviso.isEmpty()) {
        QCOMPARE(Texto(f.get(), u"Txgeo"_s).split(u", "_s).size(), 2);
        QVERIFY(Control<QPushButton>(f.get(), u"CdMapa"_s)->isEnabled());
    }
}

void tst_frgps::mapaYModificacion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(bd.ok());
    frinsLoc d;
    d.show();
    QList<QUrl> abiertas;
    ChoiceService::Prueba().abrir = [&](const QUrl &u) {
        abiertas << u;
        return true;
    };
    auto *mapa = Control<QPushButton>(&d, u"CdMapa"_s);
    QVERIFY(!mapa->isEnabled());
    User::Escribir(Control(&d, u"Cbhuso"_s), u"30"_s);
    User::Escribir(Control(&d, u"Txutmx"_s), u"440291"_s);
    User::Escribir(Control(&d, u"Txutmy"_s), u"4474254"_s);
    User::SalirDe(Control(&d, u"Txutmy"_s));
    QCOMPARE(Texto(&d, u"Txgeo"_s), u"40.416770, -3.703793 (ETRS89)"_s);
    QTest::mouseClick(mapa, Qt::LeftButton);
    QCOMPARE(abiertas.size(), 1);
    QCOMPARE(
        abiertas[0].toString(),
        u"https://www.openstreetmap.org/?mlat=40.41677&mlon=-3.70379#map=16/40.41677/-3.70379"_s);
    // A northing that is no number shows nothing and opens nothing.
    User::Escribir(Control(&d, u"Txutmy"_s), QString());
    QVERIFY(Texto(&d, u"Txgeo"_s).isEmpty());
    QVERIFY(!mapa->isEnabled());

    // The observation change form shows its locality's place but does not enter it.
    frmodif m;
    QVERIFY(!Control<QPushButton>(&m, u"CdGps"_s)->isEnabled());
}

QTEST_MAIN(tst_frgps)
void tst_frgps::municipioDelPunto() {
    // The preview names the municipality the point lies in, from the shipped boundaries.
    TestDatabase bd(TestDatabase::Datos::Reales);
    QVERIFY(bd.ok());
    frgps d([](int, qint64, qint64, const MunicipalityLocator::Lugar &) {});
    d.show();
    const QPointF limite = EnLimite(28079);
    const QList<std::pair<QString, QString>> casos = {
        {u"40.416775, -3.703790"_s, u"Madrid (Madrid)"_s},
        {u"%1, %2"_s.arg(limite.y(), 0, 'f', 6).arg(limite.x(), 0, 'f', 6),
         u"uno de estos (a menos de 250 m de un límite): "_s},
        {u"42.9, -9.9"_s, u"ninguno: el punto está en el mar o fuera de España"_s},
        {u"38.7223, -9.1393"_s, u"ninguno: el punto está en el mar o fuera de España"_s},
    };
    for (const auto &[posicion, municipio] : casos) {
        User::Escribir(Control(&d, u"Txpos"_s), posicion);
        User::SalirDe(Control(&d, u"Txpos"_s));
        const QString visto = Texto(&d, u"Lbmuni"_s);
        QVERIFY2(visto.startsWith(municipio), qPrintable(visto));
    }

    // Accepted near a boundary from newobs: the province chosen, the municipality left to
    // the user among those frgps named, until the point changes.
    newobs f;
    f.show();
    User::Escribir(Control(&f, u"Cbloc"_s), u"Charca del límite"_s);
    User::SalirDe(Control(&f, u"Cbloc"_s));
    QString nombrados;
    const QPointF torrent = EnLimite(46244);
    ChoiceService::Prueba().dialogo = [&](QDialog *g) {
        g->show();
        User::Escribir(Control(g, u"Txpos"_s),
                       u"%1, %2"_s.arg(torrent.y(), 0, 'f', 6).arg(torrent.x(), 0, 'f', 6));
        nombrados = Texto(g, u"Lbmuni"_s).section(u": "_s, 1);
        Clic(g, u"CdAceptar"_s);
        return g->result();
    };
    Clic(&f, u"CdGps"_s);
    auto *municipios = Control<QComboBox>(&f, u"Cbmuni"_s);
    QStringList ofrecidos;
    for (int i = 0; i < municipios->count() - 1; ++i)
        ofrecidos << municipios->itemText(i) + u" (València/Valencia)"_s;
    ofrecidos.sort();
    QStringList esperados = nombrados.split(u", "_s);
    esperados.sort();
    QVERIFY2(esperados.size() > 1, qPrintable(nombrados));
    QCOMPARE(ofrecidos, esperados);
    QCOMPARE(Texto(&f, u"Cbprov"_s) + u'|' + Texto(&f, u"Cbmuni"_s), u"València/Valencia|"_s);
    // A metre east, in the same square: every municipality of the square again.
    auto *este = Control<QLineEdit>(&f, u"Txlong"_s);
    User::Escribir(este, QString::number(este->text().toLongLong() + 1));
    User::SalirDe(este);
    User::Elegir(Control<QComboBox>(&f, u"Cbprov"_s), u"València/Valencia"_s);
    QVERIFY2(municipios->count() > esperados.size() + 1, qPrintable(nombrados));
}

#include "tst_frgps.moc"
