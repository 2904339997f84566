#include "support/Controles.h"
#include "support/Files.h"
#include "support/KeptOnFullDisk.h"
#include "support/TestDatabase.h"
#include "support/User.h"

#include "app/principal.h"
#include "atlas/frfenologia.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"

#include <QAction>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QGraphicsTextItem>
#include <QGuiApplication>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QTableView>
#include <QTest>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

// The phenology chart as a user meets it: opened from the menu, filtered, read by hovering
// and clicking its bars, switched to individuals and exported.
class tst_frfenologia : public QObject {
    Q_OBJECT
private slots:
    void sesion();

private:
    template <typename T = QWidget> T *c(const char *nombre) { return Control<T>(f, nombre); }
    QString Cifras() { return Textos(f, {"Lbregistros", "Lbanos", "Lbaviso"}); }
    // Counts, title and bars on one line: "records|years|notice#title#bars".
    QString Vista() {
        return Cifras() + u'#' + c<QChartView>("Grafico")->chart()->title() + u'#' +
               Barras().join(u';');
    }
    QStackedBarSeries *Serie() {
        return qobject_cast<QStackedBarSeries *>(c<QChartView>("Grafico")->chart()->series().at(0));
    }
    // The stages in the legend, each with its bars' values where not zero ("period=value").
    QStringList Barras() {
        QStringList r;
        for (QBarSet *b : Serie()->barSets()) {
            QStringList v;
            for (int i = 0; i < b->count(); ++i)
                if (b->at(i) != 0) v << u"%1=%2"_s.arg(i + 1).arg(b->at(i));
            r << b->label() + u' ' + v.join(u',');
        }
        return r;
    }
    // Where the top of a period's bar is drawn, in the view's coordinates.
    QPoint Barra(int periodo) {
        auto *vista = c<QChartView>("Grafico");
        qreal alto = 0;
        for (QBarSet *b : Serie()->barSets())
            alto += b->at(periodo - 1);
        const QPointF enGrafico =
            vista->chart()->mapToPosition(QPointF(periodo - 1, alto / 2), Serie());
        return vista->mapFromScene(vista->chart()->mapToScene(enGrafico));
    }
    // On the box itself: the check box's clickable part is its box and caption.
    void Marcar() {
        auto *caja = c<QCheckBox>("Ckejemplares");
        QTest::mouseClick(caja, Qt::LeftButton, {}, QPoint(6, caja->height() / 2));
    }
    void Mostrar() { QTest::mouseClick(c<QPushButton>("CdMostrar"), Qt::LeftButton); }
    // "species|from|to|province|observer".
    void Filtros(const QString &filtros) {
        const QStringList v = filtros.split(u'|');
        User::Elegir(c<QComboBox>("Cbespecie"), v[0]);
        User::Escribir(c<QLineEdit>("Txanoini"), v[1]);
        User::Escribir(c<QLineEdit>("Txanofin"), v[2]);
        User::Elegir(c<QComboBox>("Cbprov"), v[3]);
        User::Escribir(c<QComboBox>("Cbobs"), v[4]);
    }

    QWidget *f = nullptr;
};

void tst_frfenologia::sesion() {
    TestDatabase bd;
    QVERIFY(bd.Ejecutar(u"INSERT INTO observador (cod_observador, nombre, apellido) VALUES "
                        "('ANA', 'Ana', 'Pérez'), ('JUL', 'Juliana', 'Ruiz')"_s));
    QVERIFY(bd.Ejecutar(u"INSERT INTO localidad (cod_localidad, localidad, prov) VALUES "
                        "('L1', 'Charca del Sol', 28), ('L2', 'Fuente', 5)"_s));
    // Fixture stages: 1 Puesta, 2 Larva, 3 Adulto (amphibians), 6 Adulto (reptiles); one
    // without a date, not counted.
    QVERIFY(bd.Ejecutar(u"INSERT INTO observacion (fecha, especie, estadio, numejemp, localidad, "
                        "observador1, observador2) VALUES ('2004-03-05', 'BUFSPI', 1, 2, 'L1', "
                        "'ANA', NULL), ('2004-03-10', 'BUFSPI', 2, 30, 'L1', 'ANA', 'JUL'), "
                        "('2006-03-11', 'BUFSPI', 3, 1, 'L2', 'JUL', NULL), ('2008-02-29', "
                        "'BUFSPI', 0, NULL, 'L2', 'JUL', NULL), ('2006-06-21', 'VIPLAT', 6, 1, "
                        "'L2', 'ANA', NULL), (NULL, 'VIPLAT', 6, 5, 'L1', 'ANA', NULL)"_s));
    principal p;
    p.resize(1366, 740);
    p.show();
    p.findChild<QAction *>(u"fenologia"_s)->trigger();
    f = Screen::BuscarFormulario(u"frfenologia"_s);
    QVERIFY(f);
    // As it opens in a main window of 1366 by 768, every month's name is whole under the
    // chart, none elided ("m…").
    const auto mesesEnteros = [&] {
        QStringList vistos;
        for (QGraphicsItem *i : c<QChartView>("Grafico")->scene()->items())
            if (auto *t = dynamic_cast<QGraphicsTextItem *>(i); t && t->isVisible())
                vistos << t->toPlainText();
        QStringList faltan;
        for (const QString &mes : PhenologyStore::Meses())
            if (!vistos.contains(mes)) faltan << mes;
        return faltan.join(u' ');
    };
    QTRY_COMPARE(mesesEnteros(), QString());
    // A child window of the main one, which the user may maximize.
    auto *sub = qobject_cast<QMdiSubWindow *>(f->parentWidget());
    QVERIFY(sub && sub->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    sub->showMaximized();
    QTRY_COMPARE(sub->size(), Screen::AreaPrincipal()->viewport()->size());

    // Opened on every species and year: the dated observations, the stages in the table's
    // order, the unchosen stage last, one Adulto for both classes.
    QCOMPARE(Textos(f, {"Cbespecie"}) + u'#' + Vista(),
             u"todas las especies#5|3|#Fenología de todas las especies, todos los años#Puesta "
             "7=1;Larva 7=1;Adulto 8=1,18=1;sin estadio 6=1"_s);
    auto *grafico = c<QChartView>("Grafico")->chart();
    const QStringList meses =
        qobject_cast<QCategoryAxis *>(grafico->axes(Qt::Horizontal).at(0))->categoriesLabels();
    QCOMPARE(QString::number(meses.size()) + meses.first() + meses.last(), u"12enedic"_s);

    // The filters, each alone and together: species|from|to|province|observer.
    const QList<std::array<QString, 4>> casos = {
        {u"BUFSPI||| |"_s, u"4|3|"_s, u"Fenología de BUFSPI (Sapo común), todos los años"_s,
         u"Puesta 7=1;Larva 7=1;Adulto 8=1;sin estadio 6=1"_s},
        {u"todas las especies|2005|2006| |"_s, u"2|1|"_s,
         u"Fenología de todas las especies, 2005-2006"_s, u"Adulto 8=1,18=1"_s},
        {u"todas las especies|2006|| |"_s, u"3|2|"_s,
         u"Fenología de todas las especies, desde 2006"_s, u"Adulto 8=1,18=1;sin estadio 6=1"_s},
        {u"todas las especies||2004|Madrid|"_s, u"2|1|"_s,
         u"Fenología de todas las especies, hasta 2004, provincia: Madrid"_s,
         u"Puesta 7=1;Larva 7=1"_s},
        {u"todas las especies||| |ruiz"_s, u"3|3|"_s,
         u"Fenología de todas las especies, todos los años, observador: ruiz"_s,
         u"Larva 7=1;Adulto 8=1;sin estadio 6=1"_s},
        {u"VIPLAT|2004|2004| |"_s, u"0|0|Sin registros"_s,
         u"Fenología de VIPLAT (Víbora hocicuda), 2004 · Sin registros"_s, QString()},
    };
    for (const auto &[filtros, cifras, titulo, barras] : casos) {
        Filtros(filtros);
        Mostrar();
        QCOMPARE(Vista(), cifras + u'#' + titulo + u'#' + barras);
    }
    // The empty year keeps its axes and draws no legend entry.
    QVERIFY(grafico->axes().size() == 2 && grafico->legend()->markers().isEmpty() &&
            MessageService::Mostrados().isEmpty());

    // Bad years: told in plain words, the chart and the typed text kept, the focus back.
    Filtros(u"BUFSPI||| |"_s);
    Mostrar();
    const QList<std::tuple<QString, QString, const char *, QString>> anos = {
        {u"205"_s, {}, "Txanoini", u"El año inicial «205» no es válido"_s},
        {u"1799"_s, {}, "Txanoini", u"El año inicial «1799» no es válido"_s},
        {u"2004"_s, u"30000"_s, "Txanofin", u"El año final «30000» no es válido"_s},
        {u"2004"_s, u"3000"_s, "Txanofin", u"El año final «3000» no es válido"_s},
        {u"2x0y0z6"_s, u"2004"_s, "Txanoini", // letters refused as typed
         u"El año inicial (2006) es posterior al año final (2004)"_s},
    };
    for (const auto &[desde, hasta, campo, aviso] : anos) {
        MessageService::Limpiar();
        User::Escribir(c<QLineEdit>("Txanoini"), desde);
        User::Escribir(c<QLineEdit>("Txanofin"), hasta);
        Mostrar();
        // One message, its text begun by the case's, the chart kept, the focus on the field.
        const auto &m = MessageService::Ultimo();
        QCOMPARE(QString::number(MessageService::Mostrados().size()) + u'|' + m.titulo + u'|' +
                     m.texto.left(aviso.size()) + u'|' + Cifras() +
                     (c<QLineEdit>(campo)->hasFocus() ? u"foco"_s : QString()),
                 u"1|Año incorrecto|"_s + aviso + u"|4|3|foco"_s);
    }
    QCOMPARE(c<QLineEdit>("Txanoini")->text(), u"2006"_s);
    // A pasted text is no year either, and is quoted as it was pasted.
    QGuiApplication::clipboard()->setText(u"%1 año"_s);
    User::Escribir(c<QLineEdit>("Txanoini"), {});
    QTest::keyClick(c<QLineEdit>("Txanoini"), Qt::Key_V, Qt::ControlModifier);
    Mostrar();
    QCOMPARE(
        MessageService::Ultimo().texto,
        u"El año inicial «%1 año» no es válido: escriba un año de cuatro cifras entre 1800 y "_s +
            QString::number(QDate::currentDate().year()) + u'.');

    // A species typed that is none: told, and the list back on every species.
    MessageService::Limpiar();
    User::Escribir(c<QLineEdit>("Txanoini"), {});
    User::Escribir(c<QLineEdit>("Txanofin"), {});
    User::Poner(c<QComboBox>("Cbespecie"), u"zz"_s);
    QCOMPARE(MessageService::Ultimo().texto + u'|' + Textos(f, {"Cbespecie"}),
             u"«zz» no es ninguna especie observada: elija una de la lista.|todas las especies"_s);
    User::Escribir(c<QComboBox>("Cbespecie"), u"bufs"_s); // completed as typed
    User::SalirDe(c<QComboBox>("Cbespecie"));
    QCOMPARE(c<QComboBox>("Cbespecie")->currentText() + c<QLabel>("Lbespecie")->text(),
             u"BUFSPISapo común"_s);
    Mostrar();
    QCOMPARE(Cifras(), u"4|3|"_s);

    // Individuals instead of observations: the same bars measured in individuals, where given.
    Marcar();
    QCOMPARE(
        Vista() + u'#' + grafico->axes(Qt::Vertical).at(0)->titleText(),
        u"4|3|#Fenología de BUFSPI (Sapo común), todos los años#Puesta 7=2;Larva 7=30;Adulto 8=1;sin estadio #Ejemplares"_s);

    // Hovering a bar tells its period and counts; a click lists its observations.
    QTest::mouseMove(c<QChartView>("Grafico")->viewport(), Barra(7));
    QTRY_COMPARE(c<QChartView>("Grafico")->toolTip(),
                 u"1-10 de marzo: 2 observaciones, 32 ejemplares\n"
                 "Puesta: 1 observación, 2 ejemplares\nLarva: 1 observación, 30 ejemplares"_s);
    QTest::mouseClick(c<QChartView>("Grafico")->viewport(), Qt::LeftButton, {}, Barra(7));
    QCOMPARE(c<QLabel>("Lbperiodo")->text(), u"Observaciones del 1-10 de marzo: 2"_s);
    auto *lista = c<QTableView>("DBObs")->model();
    QCOMPARE(Celdas(lista),
             (QStringList{
                 u"05/03/2004|Bufo spinosus|Puesta|2|Charca del Sol|Ana Pérez"_s,
                 u"10/03/2004|Bufo spinosus|Larva|30|Charca del Sol|Ana Pérez, Juliana Ruiz"_s}));
    // Back to observations, where the stage never chosen has its bar.
    Marcar();
    QTest::mouseClick(c<QChartView>("Grafico")->viewport(), Qt::LeftButton, {}, Barra(6));
    QCOMPARE(c<QLabel>("Lbperiodo")->text(), u"Observaciones del 21-28/29 de febrero: 1"_s);
    QCOMPARE(lista->index(0, 2).data().toString() + lista->index(0, 3).data().toString(),
             u"sin estadio"_s);
    QVERIFY(MessageService::Mostrados().size() == 1);

    // Exported as an image, a drawing and a document.
    User::Escribir(c<QLineEdit>("Txanoini"), u"2004"_s);
    Mostrar();

    QString destino, propuesto;
    ChoiceService::Prueba().archivoGuardar = [&](const QString &, const QString &sugerido) {
        propuesto = sugerido;
        return destino;
    };
    const auto exportar = [&](const QString &nombre) {
        MessageService::Limpiar();
        destino = nombre.isEmpty() ? QString() : bd.carpeta() + u'/' + nombre;
        QTest::mouseClick(c<QPushButton>("CdExportar"), Qt::LeftButton);
        return MessageService::Mostrados().isEmpty() ? QString() : MessageService::Ultimo().texto;
    };
    const QString guardado = exportar(u"fenologia.png"_s);
    QCOMPARE(guardado, u"Se ha guardado el gráfico en "_s + destino + u'.');
    QVERIFY(propuesto.endsWith(u"/Fenologia_BUFSPI.png"_s) && QImage(destino).width() == 1600);

    QVERIFY(exportar(u"fenologia.SVG"_s).startsWith(u"Se ha guardado"_s));
    QXmlStreamReader xml(Files::Read(destino));
    QStringList textos; // the root element's name, then the texts
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && textos.isEmpty()) textos << xml.name().toString();
        if (xml.isCharacters() && !xml.isWhitespace()) textos << xml.text().trimmed().toString();
    }
    QVERIFY2(!xml.hasError() && textos.value(0) == u"svg"_s,
             qPrintable(xml.errorString() + textos.value(0)));
    // The title and the legend travel with the chart.
    for (const QString &t : {u"Fenología de BUFSPI (Sapo común), desde 2004"_s, u"Puesta"_s,
                             u"Larva"_s, u"Adulto"_s, u"sin estadio"_s, u"mar"_s})
        QVERIFY2(textos.contains(t), qPrintable(t + u" not in "_s + textos.join(u'|')));

    QVERIFY(exportar(u"fenologia.pdf"_s).startsWith(u"Se ha guardado"_s));
    QVERIFY(Files::Read(destino).startsWith("%PDF-"));

    // Cancelled: nothing said, nothing written. A name of another kind, or a folder that
    // is not there: told, and no file claimed.
    QCOMPARE(exportar(QString()), QString());
    QCOMPARE(exportar(u"fenologia.txt"_s),
             u"El nombre del archivo debe acabar en .png, .svg o .pdf: el gráfico no se ha "
             "exportado."_s);
    QVERIFY(!QFile::exists(destino));
    QVERIFY(
        exportar(u"no/hay/carpeta.png"_s).startsWith(u"No se ha podido guardar el gráfico en "_s));
    QVERIFY(!QFile::exists(destino));

    // On a full disk and cancelled while drawing or before the file is written, in each
    // format: the file of that name stays as it was.
    FullDisk disco(bd.carpeta() + u"/disco"_s);
    QVERIFY2(disco.ok(), qPrintable(disco.error()));
    for (const QString &tipo : {u"png"_s, u"svg"_s, u"pdf"_s}) {
        const QString nombre = u"disco/grafico."_s + tipo, ruta = bd.carpeta() + u'/' + nombre;
        KeptOnFullDisk(disco, ruta,
                       u"No se ha podido guardar el gráfico en %1.\n\nEl disco está lleno: no "
                       "se ha podido escribir el archivo %1."_s.arg(ruta),
                       [&] { exportar(nombre); });
    }

    QTest::mouseClick(c<QPushButton>("CdVolver"), Qt::LeftButton);
    QTRY_VERIFY(!Screen::BuscarFormulario(u"frfenologia"_s));
}

QTEST_MAIN(tst_frfenologia)
#include "tst_frfenologia.moc"
