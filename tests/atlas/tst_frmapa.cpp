// The distribution map driven as a user would: filters, the counts, the bad dates, the map
// zoomed, panned, hovered and clicked, an observation opened, and the exported files.

#include "DatosMapa.h"
#include "support/Controles.h"
#include "support/Files.h"
#include "support/KeptOnFullDisk.h"
#include "support/User.h"

#include "atlas/MapDrawing.h"
#include "atlas/MapView.h"
#include "atlas/frmapa.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"
#include "observations/frmodif.h"

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolTip>
#include <QWheelEvent>
#include <QXmlStreamReader>
#include <cmath>

class tst_frmapa : public QObject {
    Q_OBJECT
private slots:
    void sesion();

private:
    template <typename T = QWidget> T *c(const char *nombre) { return Control<T>(f, nombre); }
    // The counts, then the message over the map.
    QString Cuentas() {
        QStringList r;
        for (const char *n : {"Lbcuadrados", "Lbregistros", "Lbespecies", "Lbsincuadricula",
                              "Lbdesconocidos", "Lbmensaje"})
            r << c<QLabel>(n)->text();
        return r.join(u'/');
    }
    // "species|from|to|observer".
    void Mostrar(const QString &filtros) {
        const QStringList v = filtros.split(u'|');
        User::Elegir(c<QComboBox>("Cbespecie"), v[0]);
        User::Escribir(c("Txdini"), v[1]);
        User::Escribir(c("Txdfin"), v[2]);
        auto *obs = c<QComboBox>("Cbobs");
        if (v[3].isEmpty())
            obs->setCurrentIndex(0);
        else
            User::Elegir(obs, v[3]);
        QTest::mouseClick(c<QPushButton>("CdMostrar"), Qt::LeftButton);
    }
    int Indice(const QString &codigo) { return f->grid().Indice(codigo); }

    frmapa *f = nullptr;

    // How many shapes of each fill colour an SVG holds (a group's fill passes to its shapes).
    static QHash<QString, int> Rellenos(const QString &ruta) {
        QXmlStreamReader x(Files::Read(ruta));
        QStringList pila;
        QHash<QString, int> r;
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement()) {
                const QString propio = x.attributes().value(u"fill"_s).toString();
                const QString fill =
                    propio.isEmpty() ? (pila.isEmpty() ? QString() : pila.last()) : propio;
                pila << fill;
                if (x.name() == u"path"_s || x.name() == u"polygon"_s || x.name() == u"rect"_s)
                    ++r[fill.toLower()];
            } else if (x.isEndElement()) {
                pila.removeLast();
            }
        }
        return x.hasError() ? QHash<QString, int>{{u"error"_s, 1}} : r;
    }
};

void tst_frmapa::sesion() {
    TestDatabase bd(TestDatabase::Datos::Reales);
    {
        // No observations yet: the base map and "Sin registros".
        frmapa vacio;
        f = &vacio;
        vacio.show();
        QCOMPARE(Cuentas(), u"0/0/0/0/0/Sin registros"_s);
    }
    SembrarMapa(bd);
    frmapa mapa;
    f = &mapa;
    mapa.resize(1200, 800);
    mapa.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mapa));

    // Opened on every species; what the map cannot place is listed with its stored code.
    QCOMPARE(Cuentas(), u"5/13/3/2/2/"_s);
    QCOMPARE(Valores(c<QTableWidget>("Grsincuadricula")->model(), 4),
             (QStringList{u"zz99 (desconocido)"_s, u"VK47 (desconocido)"_s, u"(ninguno)"_s,
                          u"(ninguno)"_s}));

    const std::pair<QString, QString> casos[] = {
        {u"BUFSPI - Bufo spinosus|||"_s, u"4/8/1/2/1/"_s},
        {u"BUFSPI - Bufo spinosus|01/01/2000||"_s, u"3/6/1/2/1/"_s},
        {u"todas las especies||31/12/2015|Juliana Ruiz"_s, u"2/2/1/0/0/"_s},
        {u"SALSAL - Salamandra salamandra|||"_s, u"0/0/0/0/0/Sin registros"_s},
    };
    for (const auto &[filtros, cuentas] : casos) {
        Mostrar(filtros);
        QCOMPARE(filtros + u'#' + Cuentas(), filtros + u'#' + cuentas);
    }

    // Bad dates: a clear message, the field emptied, the map left as it was. A date typed
    // short is taken, and shown as it is read, the century included. Each case: the messages'
    // count and last title, then the field.
    for (const auto &[campo, texto, visto] :
         {std::tuple{"Txdini", u"31/02/2020"_s, u"1Fecha incorrecta|"_s},
          {"Txdfin", u"ayer"_s, u"1Fecha incorrecta|"_s},
          {"Txdini", u"5/3/07"_s, u"0|05/03/2007"_s}}) {
        MessageService::Limpiar();
        User::Poner(c(campo), texto);
        QCOMPARE(texto + u'|' + QString::number(MessageService::Mostrados().size()) +
                     MessageService::Ultimo().titulo + u'|' + c<QLineEdit>(campo)->text(),
                 texto + u'|' + visto);
    }
    MessageService::Limpiar();
    User::Escribir(c("Txdini"), u"01/01/2010"_s);
    User::Escribir(c("Txdfin"), u"01/01/2000"_s);
    QTest::mouseClick(c<QPushButton>("CdMostrar"), Qt::LeftButton);
    QCOMPARE(MessageService::Ultimo().titulo + u'|' + Cuentas(),
             u"Fechas incorrectas|0/0/0/0/0/Sin registros"_s);

    // One species from 2000: a click on VK47 lists its observations.
    Mostrar(u"BUFSPI - Bufo spinosus|01/01/2000||"_s);
    auto *vista = c<MapView>("Mapa");
    const int vk47 = Indice(u"VK47"_s);
    // Hovering tells the square's code and counts.
    const auto pasar = [&](const QString &codigo) {
        const QPoint punto = vista->PuntoDe(Indice(codigo)).toPoint();
        QHelpEvent ayuda(QEvent::ToolTip, punto, vista->mapToGlobal(punto));
        QApplication::sendEvent(vista, &ayuda);
        return QToolTip::text();
    };
    QCOMPARE(pasar(u"VK47"_s),
             u"VK47 (huso 30)\nRegistros: 1\nEspecies: 1\nÚltimo registro: 02/05/2010"_s);
    QCOMPARE(pasar(u"VK48"_s), u"VK48 (huso 30)\nSin registros"_s);

    // Zoomed about the pointer: the square under it stays there.
    const QPointF sobre = vista->PuntoDe(vk47);
    QWheelEvent rueda(sobre, vista->mapToGlobal(sobre), {}, {0, 480}, Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(vista, &rueda);
    QVERIFY(vista->zoom() > 1.5 && (vista->PuntoDe(vk47) - sobre).manhattanLength() < 1);
    // Dragged: the map follows the pointer.
    QTest::mousePress(vista, Qt::LeftButton, {}, sobre.toPoint());
    QMouseEvent mover(QEvent::MouseMove, sobre + QPointF(60, 40),
                      vista->mapToGlobal(sobre + QPointF(60, 40)), Qt::NoButton, Qt::LeftButton,
                      {});
    QApplication::sendEvent(vista, &mover);
    QTest::mouseRelease(vista, Qt::LeftButton, {}, (sobre + QPointF(60, 40)).toPoint());
    QVERIFY((vista->PuntoDe(vk47) - sobre - QPointF(60, 40)).manhattanLength() < 1);
    QCOMPARE(c<QTableWidget>("Grcuadrado")->rowCount(), 0); // a drag chooses nothing

    QTest::mouseClick(vista, Qt::LeftButton, {}, vista->PuntoDe(vk47).toPoint());
    auto *lista = c<QTableWidget>("Grcuadrado");
    QCOMPARE(Valores(lista->model(), 0) + Valores(lista->model(), 2),
             (QStringList{u"02/05/2010"_s, u"Sol"_s}));
    QVERIFY(c<QLabel>("Lbcuadrado")->text().contains(u"VK47"_s));

    // A double click opens the observation for change.
    const int id = lista->item(0, 0)->data(Qt::UserRole).toInt();
    const QPoint fila = lista->visualItemRect(lista->item(0, 0)).center();
    QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, fila);
    QTest::mouseDClick(lista->viewport(), Qt::LeftButton, {}, fila);
    auto *modif = qobject_cast<frmodif *>(Screen::BuscarFormulario(u"frmodif"_s));
    QVERIFY(modif && modif->idObservacion() == id);
    Screen::CerrarHijo(modif);

    // The map of one species exported.
    Mostrar(u"BUFSPI - Bufo spinosus|||"_s);
    QString ruta;
    ChoiceService::Prueba().archivoGuardar = [&](const QString &, const QString &) { return ruta; };

    // PNG: a filled square's centre has its class colour, an empty square's has none.
    ruta = bd.carpeta() + u"/mapa de prueba.png"_s;
    c<QSpinBox>("Txancho")->setValue(3000);
    QTest::mouseClick(c<QPushButton>("CdExportar"), Qt::LeftButton);
    QImage png(ruta);
    QCOMPARE(png.width(), 3000);
    const QTransform t = MapDrawing::Ajustar(f->grid(), MapDrawing::ZonaMapa(QRectF(png.rect())));
    const auto pixel = [&](const QString &codigo) {
        const MapPoint p = f->grid().Cuadrados()[size_t(Indice(codigo))].centro;
        return png.pixelColor(t.map(QPointF(p.x, p.y)).toPoint());
    };
    for (const auto &[codigo, clase] :
         {std::pair{u"UK59"_s, 2}, {u"VK47"_s, 1}, {u"NH34"_s, 0}, {u"CS42"_s, 1}})
        QCOMPARE(pixel(codigo), MapDrawing::ColorClase(true, clase));
    for (const QString &vacio : {u"VK48"_s, u"DF38"_s})
        for (int clase = 0; clase < 3; ++clase)
            QVERIFY(pixel(vacio) != MapDrawing::ColorClase(true, clase));
    // Every class, the lowest included, stands out from the land and from the class next to
    // it, also printed in grey: a contrast of luminance as the web's guidelines measure it.
    const auto contraste = [](const QColor &a, const QColor &b) {
        const auto luz = [](const QColor &c) {
            const auto lineal = [](double v) {
                return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * lineal(c.redF()) + 0.7152 * lineal(c.greenF()) +
                   0.0722 * lineal(c.blueF());
        };
        const double x = luz(a) + 0.05, y = luz(b) + 0.05;
        return std::max(x, y) / std::min(x, y);
    };
    for (const auto &[unaEspecie, clases] : {std::pair{true, 3}, {false, 5}})
        for (int clase = 0; clase < clases; ++clase) {
            const QColor debajo =
                clase == 0 ? pixel(u"VK48"_s) : MapDrawing::ColorClase(unaEspecie, clase - 1);
            QVERIFY2(contraste(MapDrawing::ColorClase(unaEspecie, clase), debajo) >= 1.4,
                     qPrintable(u"%1 %2"_s.arg(unaEspecie).arg(clase)));
        }

    // SVG: it parses, and holds one shape per filled square of each colour (plus the
    // legend's swatch).
    ruta = bd.carpeta() + u"/mapa.svg"_s;
    QTest::mouseClick(c<QPushButton>("CdExportar"), Qt::LeftButton);
    const auto rellenos = Rellenos(ruta);
    QVERIFY(!rellenos.contains(u"error"_s));
    for (const auto &[clase, cuadrados] : {std::pair{0, 1}, {1, 2}, {2, 1}})
        QCOMPARE(rellenos.value(MapDrawing::ColorClase(true, clase).name()), cuadrados + 1);

    // All species: one shape per square with records.
    Mostrar(u"todas las especies|||"_s);
    QTest::mouseClick(c<QPushButton>("CdExportar"), Qt::LeftButton);
    const auto riqueza = Rellenos(ruta);
    for (const auto &[clase, cuadrados] : {std::pair{0, 4}, {1, 1}})
        QCOMPARE(riqueza.value(MapDrawing::ColorClase(false, clase).name()), cuadrados + 1);

    // PDF.
    ruta = bd.carpeta() + u"/mapa.pdf"_s;
    QTest::mouseClick(c<QPushButton>("CdExportar"), Qt::LeftButton);
    QVERIFY(Files::Read(ruta).startsWith("%PDF-"));

    // A folder that does not exist, and a kind of file the map is not written as.
    for (const QString &malo :
         {bd.carpeta() + u"/no/existe.png"_s, bd.carpeta() + u"/mapa.txt"_s}) {
        MessageService::Limpiar();
        ruta = malo;
        QTest::mouseClick(c<QPushButton>("CdExportar"), Qt::LeftButton);
        QVERIFY(MessageService::Ultimo().icono == QMessageBox::Warning && !QFile::exists(malo));
    }

    // On a full disk and cancelled while drawing or before the file is written, in each
    // format: the file of that name stays as it was.
    FullDisk disco(bd.carpeta() + u"/disco"_s);
    QVERIFY2(disco.ok(), qPrintable(disco.error()));
    for (const QString &tipo : {u"png"_s, u"svg"_s, u"pdf"_s}) {
        ruta = disco.carpeta() + u"/mapa."_s + tipo;
        KeptOnFullDisk(disco, ruta,
                       u"El disco está lleno: no se ha podido escribir el archivo %1."_s.arg(ruta),
                       [&] { QTest::mouseClick(c<QPushButton>("CdExportar"), Qt::LeftButton); });
    }
}

QTEST_MAIN(tst_frmapa)
#include "tst_frmapa.moc"
