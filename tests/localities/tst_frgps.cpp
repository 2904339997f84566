#include "Localidades.h"

#include "../import/ImportFixtures.h"
#include "gui/ChoiceService.h"
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
    void gps();
    void mapaYModificacion();
    void municipioDelPunto();
};

void tst_frgps::gps() {
    // The form, what is typed into frgps (a position and its datum, or an ED50 zone, easting
    // and northing), the answers to its questions in turn (S yes, N no), whether the form is
    // filled, part of the last message, the province and municipality filled in, and the
    // uncertainty typed into frgps (the form had 500 m for its old point).
    const QString wgs = u"WGS84 / ETRS89"_s, madrid = u"Madrid|Madrid"_s;
    const struct {
        const char *nombre;
        bool observacion; // newobs, else frinsLoc
        QString posicion, datum, ed50, respuestas;
        bool rellena;
        QString aviso, lugar = u"|"_s, incert;
    } casos[] = {
        {"Jerez", true, "36.6866, -6.1361", wgs, "", "", true, "", "Cádiz|Jerez de la Frontera"},
        {"ED50 geográficas", true, "40.4200 N 3.7025 W", "ED50", "", "", true, "", madrid},
        {"UTM ED50", false, "", wgs, "30 440316 4474268", "", true, "", madrid},
        {"Canarias", false, "28.3 -16.5", wgs, "", "", true, "", "Santa Cruz de Tenerife|Güímar",
         " 25 "},
        // Refusals: a message, nothing filled.
        {"vacío", false, "", wgs, "", "", false, "Formas admitidas"},
        {"fuera de rango", false, "95, -3.7", wgs, "", "", false, "-90 a 90"},
        {"hemisferio contradicho", true, "-40.4N 3.7W", wgs, "", "", false, "contradice"},
        {"ED50 en Canarias", true, "28.3 -16.5", "ED50", "", "", false, "Canarias"},
        // (The uncertainty's other refusals: tst_Place.)
        {"incertidumbre negativa", false, "40.4168, -3.7038", wgs, "", "", false,
         "no es un número entero de metros entre 1 y 20.000.000", "|", "-5"},
        {"UTM ED50 sin huso", false, "", wgs, " 440316 4474268", "", false, "Elija el huso"},
        {"huso ajeno", false, "40.4, -30.5", wgs, "", "", false, "husos 27 a 31"},
        // Questions (the plain decimal degrees of Madrid: the exchange accepted). Kept as
        // typed, the exchanged point lies in the Caspian's zone.
        {"intercambiadas, sí", true, "-3.7038, 40.4168", wgs, "", "S", true, "", madrid},
        {"intercambiadas, no", true, "-3.7038, 40.4168", wgs, "", "N", false, "husos 27 a 31"},
        // Out at sea north of Galicia: filled when confirmed, its square in no list of Spain.
        {"fuera de España, sí", false, "44.8, -3.0", wgs, "", "S", true, "UTM10 no correcto"},
        {"fuera de España, no", false, "44.8, -3.0", wgs, "", "N", false, "fuera de España"},
    };
    for (const auto &c : casos) {
        const QStringList ed50 = c.ed50.isEmpty() ? QStringList() : c.ed50.split(u' ');
        TestDatabase bd(TestDatabase::Datos::Reales);
        std::unique_ptr<QWidget> f(c.observacion ? static_cast<QWidget *>(new newobs)
                                                 : new frinsLoc);
        f->show();
        const QString x = c.observacion ? u"Txlong"_s : u"Txutmx"_s;
        const QString y = c.observacion ? u"Txlat"_s : u"Txutmy"_s;
        const QString utm1k = c.observacion ? u"tx1k"_s : u"txutm1k"_s;
        if (c.observacion) User::Poner(Control(f.get(), u"Cbloc"_s), u"Charca nueva"_s);
        User::Escribir(Control(f.get(), u"Txincert"_s), u"500"_s);

        MessageService::Limpiar();
        for (const QChar r : c.respuestas)
            MessageService::EncolarRespuesta(r == u'S' ? QMessageBox::Yes : QMessageBox::No);
        // What frgps showed when "Aceptar" was last pressed: zone, easting, northing, squares
        // and transformation.
        QStringList vista;
        bool abierto = false, ofrecida = false;
        ChoiceService::Prueba().dialogo = [&](QDialog *d) {
            abierto = true;
            d->show();
            ofrecida = Control(d, u"Txincert"_s)->isVisible();
            if (ofrecida) User::Escribir(Control(d, u"Txincert"_s), c.incert);
            if (ed50.isEmpty()) {
                User::Escribir(Control(d, u"Txpos"_s), c.posicion);
                User::Elegir(Control<QComboBox>(d, u"Cbdatum"_s), c.datum);
            } else {
                QTest::mouseClick(Control<QRadioButton>(d, u"OpUtm"_s), Qt::LeftButton);
                User::Elegir(Control<QComboBox>(d, u"Cbhuso"_s), ed50[0]);
                User::Escribir(Control(d, u"Txutmx"_s), ed50[1]);
                User::Escribir(Control(d, u"Txutmy"_s), ed50[2]);
            }
            // "Aceptar" again after a proposed exchange, which the form shows first.
            for (int i = 0; i < 2 && d->isVisible(); ++i) {
                vista = Textos(d, {"Lbzona", "Lbeste", "Lbnorte", "Lb10k", "Lb1k", "Lbtransf"})
                            .split(u'|');
                Clic(d, u"CdAceptar"_s);
            }
            if (d->isVisible()) Clic(d, u"CdCancelar"_s);
            return d->result();
        };
        Clic(f.get(), u"CdGps"_s);
        // Both forms keep the point's uncertainty: frgps offers it and replaces it.
        QVERIFY2(abierto && ofrecida, c.nombre);
        QCOMPARE(Texto(f.get(), u"Txincert"_s), c.rellena ? c.incert.trimmed() : u"500"_s);

        const QString mensaje = Texto(f.get(), u"missatge"_s);
        if (!c.rellena) {
            QVERIFY2(MessageService::Ultimo().texto.contains(c.aviso),
                     qPrintable(MessageService::Ultimo().texto));
            // The zone, the coordinates, the square and the position line empty.
            QVERIFY2(Textos(f.get(), {u"Cbhuso"_s, x, y, utm1k, u"Txgeo"_s}) == u"||||"_s,
                     c.nombre);
            continue;
        }
        QVERIFY2(MessageService::Mostrados().size() == c.respuestas.size(),
                 qPrintable(MessageService::Ultimo().texto));
        // The one municipality the point lies in, with its province. The form holds what frgps
        // showed, and its own derivation agrees with frgps's squares; a square no list holds
        // empties the zone, as it does for typed coordinates.
        QCOMPARE(Textos(f.get(), {u"Cbprov"_s, u"Cbmuni"_s, x, y}),
                 c.lugar + u'|' + vista[1] + u'|' + vista[2]);
        QVERIFY2(c.aviso.isEmpty() ? mensaje.isEmpty() : mensaje.contains(c.aviso),
                 qPrintable(mensaje));
        if (!c.aviso.isEmpty()) continue;
        QCOMPARE(Textos(f.get(), {u"Cbhuso"_s, u"cb10k"_s, utm1k}),
                 vista[0] + u'|' + vista[3] + u'|' + vista[4]);
        // Madrid's points fall in the Puerta del Sol's square; the others in their own.
        if (vista[0] == u"30"_s) QCOMPARE(vista[3], u"VK47"_s);
        // The ED50 point of the field notes: 440206.9 E, 4474060.6 N on ETRS89 by EPSG:1632,
        // the transformation named by its code.
        if (!ed50.isEmpty())
            QCOMPARE(vista[1] + u' ' + vista[2] +
                         (vista[5].contains(u"EPSG:"_s) ? u" EPSG"_s : u" sin EPSG: "_s + vista[5]),
                     u"440206 4474060 EPSG"_s);
        if (c.datum == u"ED50"_s) QVERIFY(vista[5].contains(u"precisión"_s));
        // The line below shows the point back as latitude and longitude.
        QCOMPARE(Texto(f.get(), u"Txgeo"_s).split(u", "_s).size(), 2);
        QVERIFY(Control<QPushButton>(f.get(), u"CdMapa"_s)->isEnabled());
    }
}

void tst_frgps::mapaYModificacion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
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
    User::Poner(Control(&d, u"Txutmy"_s), u"4474254"_s);
    QCOMPARE(Texto(&d, u"Txgeo"_s), u"40.416770, -3.703793 (ETRS89)"_s);
    QTest::mouseClick(mapa, Qt::LeftButton);
    QCOMPARE(QUrl::toStringList(abiertas),
             QStringList{u"https://www.openstreetmap.org/?mlat=40.41677&mlon=-3.70379#map=16/"
                         "40.41677/-3.70379"_s});
    // A northing that is no number shows nothing and opens nothing.
    User::Escribir(Control(&d, u"Txutmy"_s), QString());
    QVERIFY(Texto(&d, u"Txgeo"_s).isEmpty() && !mapa->isEnabled());

    // The observation change form shows its locality's place but does not enter it.
    frmodif m;
    QVERIFY(!Control<QPushButton>(&m, u"CdGps"_s)->isEnabled());
}

void tst_frgps::municipioDelPunto() {
    // The preview names the municipality the point lies in, from the shipped boundaries
    // (which points lie in none, abroad included: tst_MunicipalityLocator).
    TestDatabase bd(TestDatabase::Datos::Reales);
    frgps d([](int, qint64, qint64, const MunicipalityLocator::Lugar &) {});
    d.show();
    const QPointF limite = EnLimite(28079);
    const QList<std::pair<QString, QString>> casos = {
        {u"40.416775, -3.703790"_s, u"Madrid (Madrid)"_s},
        {u"%1, %2"_s.arg(limite.y(), 0, 'f', 6).arg(limite.x(), 0, 'f', 6),
         u"uno de estos (a menos de 250 m de un límite): "_s},
        {u"42.9, -9.9"_s, u"ninguno: el punto está en el mar o fuera de España"_s},
    };
    for (const auto &[posicion, municipio] : casos) {
        User::Poner(Control(&d, u"Txpos"_s), posicion);
        const QString visto = Texto(&d, u"Lbmuni"_s);
        QVERIFY2(visto.startsWith(municipio), qPrintable(visto));
    }

    // Accepted near a boundary from newobs: the province chosen, the municipality left to
    // the user among those frgps named, until the point changes.
    newobs f;
    f.show();
    User::Poner(Control(&f, u"Cbloc"_s), u"Charca del límite"_s);
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
    QCOMPARE(Textos(&f, {"Cbprov", "Cbmuni"}), u"València/Valencia|"_s);
    // A metre east, in the same square: every municipality of the square again.
    auto *este = Control<QLineEdit>(&f, u"Txlong"_s);
    User::Poner(este, QString::number(este->text().toLongLong() + 1));
    User::Elegir(Control<QComboBox>(&f, u"Cbprov"_s), u"València/Valencia"_s);
    QVERIFY2(municipios->count() > esperados.size() + 1, qPrintable(nombrados));
}

QTEST_MAIN(tst_frgps)
#include "tst_frgps.moc"
