// Builds the help document from the tutorial's text and screenshots of the real forms,
// rendered offscreen from a demonstration database so that they never go stale; then the
// table of contents and page numbers. Also writes the program's icon for the desktop.
// Usage: tritodex_helpdoc <tutorial.html> <refdata folder> <output.pdf> <screenshot folder>
//                         <icon.png>
#include "app/Startup.h"
#include "app/frbasedatos.h"
#include "app/frsplash.h"
#include "app/principal.h"
#include "atlas/frfenologia.h"
#include "atlas/frmapa.h"
#include "backups/frcopias.h"
#include "data/Backups.h"
#include "data/Clock.h"
#include "data/DatabaseCreation.h"
#include "data/ModConex.h"
#include "data/ReferenceData.h"
#include "export/frfitxer.h"
#include "export/frsensibles.h"
#include "geo/Geodesy.h"
#include "geo/UtmSquares.h"
#include "gui/ChoiceService.h"
#include "gui/FrDate.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Screen.h"
#include "gui/TitleImage.h"
#include "import/frimportar.h"
#include "localities/LocalityStore.h"
#include "localities/frcodloc.h"
#include "localities/frgps.h"
#include "localities/frinsLoc.h"
#include "localities/frloc.h"
#include "localities/frmodifloc.h"
#include "observations/ObservationStore.h"
#include "observations/frcons.h"
#include "observations/frlista.h"
#include "observations/frmodif.h"
#include "observations/frmotivos.h"
#include "observations/frpapelera.h"
#include "observations/frverificar.h"
#include "observations/newobs.h"
#include "observers/ObserverStore.h"
#include "observers/frinsObs.h"
#include "observers/frmodifobs.h"
#include "observers/frobs.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QStyleFactory>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

// The demonstration folder, removed also when the run fails.
QString raizDemostracion;

[[noreturn]] void Fallar(const QString &que) {
    std::fprintf(stderr, "helpdoc: %s\n", qPrintable(que));
    if (!raizDemostracion.isEmpty()) QDir(raizDemostracion).removeRecursively();
    std::exit(1);
}

void Esperar() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// Typed into a field and left, as a user would, so that its checks run.
void Escribir(QWidget *campo, const QString &texto) {
    QWidget *ventana = campo->window();
    ventana->activateWindow();
    QApplication::setActiveWindow(ventana);
    campo->setFocus(Qt::MouseFocusReason);
    if (auto *lista = qobject_cast<QComboBox *>(campo))
        lista->setEditText(texto);
    else if (auto *linea = qobject_cast<QLineEdit *>(campo))
        linea->setText(texto);
    Esperar();
}
// Leaves a field the way a click on the next control does.
void Salir(QWidget *campo) {
    QWidget *otro = campo->nextInFocusChain();
    while (otro && otro != campo &&
           (!otro->isVisible() || !otro->isEnabled() || otro->focusPolicy() == Qt::NoFocus ||
            campo->isAncestorOf(otro)))
        otro = otro->nextInFocusChain();
    if (otro && otro != campo) otro->setFocus(Qt::MouseFocusReason);
    Esperar();
}
void Elegir(QWidget *f, const char *lista, const QString &texto) {
    auto *c = f->findChild<QComboBox *>(QString::fromLatin1(lista));
    const int i = c ? c->findText(texto, Qt::MatchStartsWith) : -1;
    if (i < 0) Fallar(QStringLiteral("no item %1 in %2").arg(texto, QString::fromLatin1(lista)));
    ModBaseDatos::ElegirComoUsuario(c, i);
    Esperar();
}
template <typename T = QWidget> T *Control(QWidget *f, const char *nombre) {
    auto *w = f->findChild<T *>(QString::fromLatin1(nombre));
    if (!w) Fallar(QStringLiteral("no control %1").arg(QString::fromLatin1(nombre)));
    return w;
}

// The demonstration data: three observers, the first the default one, a few localities and
// a season's observations.
void Demostracion() {
    ObserverStore observadores;
    for (const auto &[o, defecto] :
         {std::pair{Observador{QStringLiteral("MGL"), QStringLiteral("María"),
                               QStringLiteral("García López"), QStringLiteral("AHE"),
                               QStringLiteral("maria@ejemplo.es"), QStringLiteral("Madrid")},
                    true},
          {Observador{QStringLiteral("JRS"),
                      QStringLiteral("Javier"),
                      QStringLiteral("Ruiz Sanz"),
                      {},
                      QStringLiteral("javier@ejemplo.es"),
                      QStringLiteral("Segovia")},
           false},
          {Observador{QStringLiteral("ABM"),
                      QStringLiteral("Ana Belén"),
                      QStringLiteral("Martín"),
                      {},
                      QStringLiteral("ana@ejemplo.es"),
                      {}},
           false}})
        if (!observadores.Insertar(o, defecto)) Fallar(observadores.error());

    Geodesy geodesia;
    ReferenceData ref;
    LocalityStore localidades;
    struct Lugar {
        const char *codigo, *nombre, *provincia, *municipio;
        double lat, lon;
    };
    const Lugar lugares[] = {
        {"MGL1", "Charca del Retiro", "Madrid", "Madrid", 40.4153, -3.6845},
        {"MGL2", "Laguna Grande de Peñalara", "Madrid", "Rascafría", 40.8386, -3.9555},
        {"JRS1", "Arroyo de la Chorranca", "Segovia", "Real Sitio de San Ildefonso", 40.8745,
         -4.0210},
        {"ABM1", "Laguna de Santa Olalla", "Huelva", "Almonte", 36.9807, -6.4797}};
    for (const Lugar &l : lugares) {
        const auto utm = geodesia.AUtm({l.lat, l.lon});
        if (!utm) Fallar(QStringLiteral("no UTM for %1").arg(QString::fromUtf8(l.nombre)));
        const qint64 x = qint64(utm->este), y = qint64(utm->norte);
        const auto c = Utm::CalcularCuadrados(ModConex::DatabaseConnection(), utm->huso, x, y);
        const auto prov = ref.IdProvincia(QString::fromUtf8(l.provincia));
        const auto muni =
            ref.IdMunicipio(QString::fromUtf8(l.municipio), QString::fromUtf8(l.provincia));
        if (c.resultado != Utm::Outcome::Calculado || !prov || !muni)
            Fallar(QStringLiteral("place %1").arg(QString::fromUtf8(l.nombre)));
        Localidad loc;
        loc.codigo = QString::fromLatin1(l.codigo);
        loc.nombre = QString::fromUtf8(l.nombre);
        loc.prov = *prov;
        loc.muni = *muni;
        loc.utmx = int(x);
        loc.utmy = int(y);
        loc.utmhuso = QString::number(utm->huso);
        loc.utm1k = c.utm1k;
        loc.utm10k = c.utm10k;
        if (!localidades.Insertar(loc)) Fallar(localidades.error());
    }

    ObservationStore observaciones;
    struct Registro {
        const char *obs1, *obs2, *especie, *localidad;
        QDate fecha;
        int numero, estadio;
        const char *descripcion;
    };
    const Registro registros[] = {
        {"MGL", "JRS", "EPICAL", "MGL1", {2026, 3, 14}, 12, 8, "Cantando al anochecer"},
        {"MGL", "", "PELPER", "MGL1", {2026, 4, 2}, 5, 7, ""},
        {"MGL", "", "TIMLEP", "MGL1", {2026, 5, 20}, 1, 15, "Bajo una piedra"},
        {"JRS", "MGL", "ICHALP", "MGL2", {2026, 6, 8}, 30, 7, "En la orilla norte"},
        {"JRS", "", "RANTEM", "MGL2", {2026, 6, 8}, 200, 2, "Renacuajos"},
        {"JRS", "", "SALSAL", "JRS1", {2026, 10, 30}, 3, 7, "Tras la lluvia"},
        {"ABM", "", "PELCUL", "ABM1", {2026, 11, 15}, 2, 7, ""},
        {"ABM", "MGL", "MAULEP", "ABM1", {2026, 9, 3}, 7, 15, "Tomando el sol"}};
    for (const Registro &r : registros) {
        Observacion o;
        o.observador[0] = QString::fromLatin1(r.obs1);
        o.observador[1] = QString::fromLatin1(r.obs2);
        o.fecha = r.fecha;
        o.especie = QString::fromLatin1(r.especie);
        o.numejemp = r.numero;
        o.estadio = r.estadio;
        o.descripcion = QString::fromUtf8(r.descripcion);
        o.localidad = QString::fromLatin1(r.localidad);
        if (!observaciones.Guardar(o, std::nullopt)) Fallar(observaciones.error());
    }
}

// What a window looks like on the screen, frame and title included when it has them.
QImage Captura(QWidget *w) {
    Esperar();
    QWidget *marco = qobject_cast<QMdiSubWindow *>(w->parentWidget()) ? w->parentWidget() : w;
    return marco->grab().toImage();
}

// The window shown inside the main window, as the menu would show it.
QImage EnVentanaPrincipal(QWidget *w, const QSize &tamano = {}) {
    Screen::MostrarHijo(w);
    if (tamano.isValid()) w->parentWidget()->resize(tamano);
    Esperar();
    QImage imagen = Captura(w);
    Screen::CerrarHijo(w);
    Esperar();
    return imagen;
}

QImage Suelta(QWidget *w) {
    w->show();
    QImage imagen = Captura(w);
    w->close();
    delete w;
    return imagen;
}

// A folder of the system's temporary one with a plain name, made for this run alone (the
// next free of Tritodex, Tritodex-2, ...) and removed with everything in it at the end.
struct CarpetaDemostracion {
    QString raiz, casa;
    CarpetaDemostracion() {
        for (int n = 1; n < 100 && raiz.isEmpty(); ++n) {
            const QString nombre =
                n == 1 ? QStringLiteral("Tritodex") : QStringLiteral("Tritodex-%1").arg(n);
            const QString ruta = QDir::temp().filePath(nombre);
            if (QDir().mkdir(ruta)) raiz = ruta;
        }
        if (raiz.isEmpty())
            Fallar(QStringLiteral("no demonstration folder in ") + QDir::tempPath());
        raizDemostracion = raiz;
        casa = QDir(raiz).filePath(QStringLiteral("maria"));
    }
    ~CarpetaDemostracion() {
        QDir(raiz).removeRecursively();
        raizDemostracion.clear();
    }
    CarpetaDemostracion(const CarpetaDemostracion &) = delete;
    CarpetaDemostracion &operator=(const CarpetaDemostracion &) = delete;
};

using Capturas = QMap<QString, QImage>;

Capturas HacerCapturas() {
    Capturas c;
    principal p;
    p.resize(1000, 640);
    p.show();
    Esperar();
    c[QStringLiteral("presentacion")] = TitleImage().toImage();

    auto *consulta = new frcons;
    Screen::MostrarHijo(consulta);
    consulta->parentWidget()->resize(960, 520);
    Esperar();
    c[QStringLiteral("principal")] = p.grab().toImage();
    c[QStringLiteral("frcons")] = Captura(consulta);
    Screen::CerrarHijo(consulta);

    c[QStringLiteral("frobs")] = EnVentanaPrincipal(new frobs);
    c[QStringLiteral("frinsObs")] = Suelta(new frinsObs);
    c[QStringLiteral("frmodifobs")] = Suelta(new frmodifobs(QStringLiteral("MGL")));

    // An observation at a locality already known.
    {
        auto *f = new newobs;
        Screen::MostrarHijo(f);
        // Tall enough for every row of the form, the photographs' frame included.
        f->parentWidget()->resize(950, 780);
        Escribir(Control(f, "Txobs2"), QStringLiteral("JRS"));
        Salir(Control(f, "Txobs2"));
        Control<QDateEdit>(f, "Txdata")->setDate(QDate(2026, 3, 14));
        Elegir(f, "Cbespecie", QStringLiteral("EPICAL"));
        Escribir(Control(f, "Txexemplars"), QStringLiteral("12"));
        Elegir(f, "Cbestadio", QStringLiteral("Macho adulto"));
        Elegir(f, "Cbconducta", QStringLiteral("Cantando"));
        Elegir(f, "Cbloc", QStringLiteral("Charca del Retiro"));
        Escribir(Control(f, "Txdesc"), QStringLiteral("Cantando al anochecer"));
        c[QStringLiteral("newobs")] = Captura(f);

        // Part of a common name typed: the species on offer under the list.
        auto *lista = Control<QComboBox>(f, "Cbespecie");
        lista->setFocus(Qt::MouseFocusReason);
        lista->lineEdit()->selectAll();
        for (const QChar ch : QStringLiteral("sapo corr")) {
            lista->lineEdit()->insert(QString(ch));
            emit lista->lineEdit()->textEdited(lista->lineEdit()->text());
        }
        Esperar();
        QImage imagen = Captura(f);
        QCompleter *emergente = nullptr;
        for (QCompleter *e : lista->findChildren<QCompleter *>())
            if (e->widget() == lista->lineEdit()) emergente = e;
        if (!emergente || !emergente->popup()->isVisible())
            Fallar(QStringLiteral("the species popup did not open"));
        QPainter pintor(&imagen);
        QWidget *marco = f->parentWidget();
        pintor.drawImage(marco->mapFromGlobal(emergente->popup()->mapToGlobal(QPoint(0, 0))),
                         emergente->popup()->grab().toImage());
        pintor.end();
        c[QStringLiteral("especie")] = imagen;
        emergente->popup()->hide();
        Screen::CerrarHijo(f);
        Esperar();
    }
    // A visit's species as rows of one list, typed by the keyboard.
    {
        auto *f = new frlista;
        Screen::MostrarHijo(f);
        f->parentWidget()->resize(1000, 800);
        Escribir(Control(f, "Txobs2"), QStringLiteral("JRS"));
        Salir(Control(f, "Txobs2"));
        Control<QDateEdit>(f, "Txdata")->setDate(QDate(2026, 3, 14));
        Elegir(f, "Cbloc", QStringLiteral("Charca del Retiro"));
        struct Fila {
            const char *especie, *numero, *estadio, *desc;
        };
        const Fila filas[] = {{"EPICAL", "12", "Macho adulto", "Cantando al anochecer"},
                              {"PELPER", "3", "Adulto", ""},
                              {"TRIMAR", "1", "Larva", "En la orilla norte"}};
        int n = 0;
        for (const Fila &fila : filas) {
            const QByteArray sufijo = QByteArray::number(++n);
            const auto de = [&](const char *control) { return QByteArray(control + sufijo); };
            Elegir(f, de("Cbespecie").constData(), QString::fromLatin1(fila.especie));
            Escribir(Control(f, de("Txexemplars").constData()), QString::fromLatin1(fila.numero));
            Elegir(f, de("Cbestadio").constData(), QString::fromUtf8(fila.estadio));
            Escribir(Control(f, de("Txdesc").constData()), QString::fromUtf8(fila.desc));
            // Tab at the end of a row opens the next.
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QApplication::sendEvent(Control(f, de("Txdesc").constData()), &tab);
        }
        Esperar();
        c[QStringLiteral("frlista")] = Captura(f);
        Screen::CerrarHijo(f);
        Esperar();
    }
    // A new locality: the worked example of the squares.
    {
        auto *f = new newobs;
        Screen::MostrarHijo(f);
        // Tall enough for every row of the form, the photographs' frame included.
        f->parentWidget()->resize(950, 780);
        Elegir(f, "Cbespecie", QStringLiteral("PELPER"));
        Escribir(Control(f, "Cbloc"), QStringLiteral("Fuente de la Puerta del Sol"));
        Salir(Control(f, "Cbloc"));
        Elegir(f, "Cbhuso", QStringLiteral("30"));
        Escribir(Control(f, "Txlong"), QStringLiteral("440291"));
        Salir(Control(f, "Txlong"));
        Escribir(Control(f, "Txlat"), QStringLiteral("4474254"));
        Salir(Control(f, "Txlat"));
        Elegir(f, "Cbprov", QStringLiteral("Madrid"));
        Elegir(f, "Cbmuni", QStringLiteral("Madrid"));
        c[QStringLiteral("newobs_nueva")] = Captura(f);
        Screen::CerrarHijo(f);
        Esperar();
    }
    {
        auto *f = new frcodloc;
        f->CodigoPropuesto = QStringLiteral("MGL9");
        c[QStringLiteral("frcodloc")] = Suelta(f);
    }
    {
        auto *f = new frgps([](int, qint64, qint64, const MunicipalityLocator::Lugar &) {});
        f->show();
        Escribir(Control(f, "Txpos"), QStringLiteral("40.4168, -3.7038"));
        Salir(Control(f, "Txpos"));
        c[QStringLiteral("frgps")] = Suelta(f);
    }
    c[QStringLiteral("FrDate")] = Suelta(new FrDate([](const QString &) {}));
    {
        frmodif *f = frmodif::Abrir(nullptr, 1, {});
        if (!f) Fallar(QStringLiteral("observation 1"));
        c[QStringLiteral("frmodif")] = Captura(f);
        Screen::CerrarHijo(f);
        Esperar();
    }
    c[QStringLiteral("frloc")] = EnVentanaPrincipal(new frloc, QSize(900, 420));
    c[QStringLiteral("frinsLoc")] = Suelta(new frinsLoc);
    c[QStringLiteral("frmodifloc")] = Suelta(new frmodifloc(QStringLiteral("1")));
    c[QStringLiteral("frmotivos")] = EnVentanaPrincipal(new frmotivos);
    c[QStringLiteral("frfitxer")] = EnVentanaPrincipal(new frfitxer);
    c[QStringLiteral("frsensibles")] = Suelta(new frsensibles);
    c[QStringLiteral("frfenologia")] = EnVentanaPrincipal(new frfenologia, QSize(980, 560));
    c[QStringLiteral("frmapa")] = EnVentanaPrincipal(new frmapa, QSize(980, 640));
    {
        // A phone's waypoints of a spring morning: old and common names, a point at sea.
        const QString gpx = QFileInfo(ModConex::RutaBaseDatos()).dir().filePath("salida.gpx");
        QFile f(gpx);
        if (!f.open(QIODevice::WriteOnly) ||
            f.write("<gpx><wpt lat=\"40.4170\" lon=\"-3.7040\"><time>2026-04-18T07:40:00Z</time>"
                    "<name>Bufo calamita</name><desc>coro en la charca</desc></wpt>"
                    "<wpt lat=\"40.4182\" lon=\"-3.7000\"><time>2026-04-18T08:05:00Z</time>"
                    "<name>Fuente del Oso</name><desc>Rana común, 4</desc></wpt>"
                    "<wpt lat=\"40.4183\" lon=\"-3.6995\"><time>2026-04-18T08:10:00Z</time>"
                    "<name>Lagartija ibérica</name></wpt>"
                    "<wpt lat=\"40.5400\" lon=\"-3.6400\"><time>2026-04-18T09:30:00Z</time>"
                    "<name>P004</name></wpt>"
                    "<wpt lat=\"36.6000\" lon=\"-6.8000\"><time>2026-04-19T11:00:00Z</time>"
                    "<name>Tortuga boba</name></wpt></gpx>") < 0)
            Fallar(QStringLiteral("cannot write ") + gpx);
        f.close();
        ChoiceService::Prueba().archivoAbrir = [gpx](const QString &) { return gpx; };
        auto *importar = new frimportar;
        Control<QPushButton>(importar, "CdAbrir")->click();
        c[QStringLiteral("frimportar")] = EnVentanaPrincipal(importar, QSize(1100, 360));
    }
    QString error;
    if (!Backups::Hacer(&error, QDateTime(QDate(2026, 11, 30), QTime(9, 12))) ||
        !Backups::Hacer(&error, QDateTime(QDate(2026, 12, 1), QTime(8, 47))))
        Fallar(error);
    c[QStringLiteral("frcopias")] = EnVentanaPrincipal(new frcopias);
    {
        // Two observations deleted on a December evening, waiting in the bin.
        Clock::setPrueba([] { return QDateTime(QDate(2026, 12, 2), QTime(19, 40)); });
        for (int id : {8, 3})
            if (ObservationStore observaciones; !observaciones.Suprimir(id))
                Fallar(observaciones.error());
        Clock::setPrueba(nullptr);
        auto *papelera = new frpapelera;
        Screen::MostrarHijo(papelera);
        Control<QTableView>(papelera, "DBpapelera")->selectRow(0);
        papelera->parentWidget()->resize(760, 300);
        Esperar();
        c[QStringLiteral("frpapelera")] = Captura(papelera);
        Screen::CerrarHijo(papelera);
        Esperar();
    }
    {
        // The coordinator's list: a row chosen, its reason typed.
        auto *verificar = new frverificar;
        Screen::MostrarHijo(verificar);
        Control<QTableView>(verificar, "DBverificar")->selectRow(0);
        Control<QLineEdit>(verificar, "Txcomentario")->setText(QStringLiteral("Falta la foto"));
        verificar->parentWidget()->resize(1000, 420);
        Esperar();
        c[QStringLiteral("frverificar")] = Captura(verificar);
        Screen::CerrarHijo(verificar);
        Esperar();
    }
    c[QStringLiteral("frbasedatos")] = EnVentanaPrincipal(new frbasedatos);
    c[QStringLiteral("frsplash")] = Suelta(new frsplash);
    return c;
}

// The text with its pictures, each at most the page's width.
void CargarTexto(QTextDocument &doc, QString html, const Capturas &capturas, qreal ancho) {
    static const QRegularExpression img(QStringLiteral("<img src=\"([^\"]+)\\.png\">"));
    QStringList faltan;
    for (auto it = img.globalMatch(html); it.hasNext();) {
        const QString nombre = it.next().captured(1);
        if (!capturas.contains(nombre)) faltan << nombre;
    }
    if (!faltan.isEmpty())
        Fallar(QStringLiteral("no screenshot for: %1").arg(faltan.join(QStringLiteral(", "))));
    for (auto it = capturas.cbegin(); it != capturas.cend(); ++it) {
        const QString archivo = it.key() + QStringLiteral(".png");
        doc.addResource(QTextDocument::ImageResource, QUrl(archivo), it.value());
        const qreal escala = std::min<qreal>(1.0, ancho / it.value().width());
        html.replace(QStringLiteral("<img src=\"%1\">").arg(archivo),
                     QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%3\">")
                         .arg(archivo)
                         .arg(int(it.value().width() * escala))
                         .arg(int(it.value().height() * escala)));
    }
    doc.setHtml(html);
}

struct Capitulo {
    QString titulo;
    int nivel;
    int pagina;
};

QList<Capitulo> Capitulos(QTextDocument &doc, qreal altoPagina) {
    QList<Capitulo> r;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const int nivel = b.blockFormat().headingLevel();
        if (nivel < 1 || nivel > 2) continue;
        const qreal y = doc.documentLayout()->blockBoundingRect(b).top();
        r << Capitulo{b.text(), nivel, int(y / altoPagina) + 1};
    }
    return r;
}

// A heading never stands alone at the foot of a page: the headings (in the order of the
// text, each with the headings just above it) whose next line of text falls on the next page.
QSet<int> TitulosSolos(QTextDocument &doc, qreal altoPagina) {
    QAbstractTextDocumentLayout *maqueta = doc.documentLayout();
    const auto pagina = [altoPagina](qreal y) { return int(y / altoPagina); };
    QSet<int> solos;
    int titulo = -1;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() == 0) continue;
        ++titulo;
        const QTextBlock siguiente = b.next();
        if (!siguiente.isValid() || siguiente.blockFormat().headingLevel() != 0) continue;
        const QRectF resto = maqueta->blockBoundingRect(siguiente);
        const QTextLayout *lineas = siguiente.layout();
        const qreal primera =
            lineas && lineas->lineCount() > 0
                ? siguiente.blockFormat().topMargin() + lineas->lineAt(0).rect().bottom()
                : resto.height();
        const qreal abajo = resto.top() + std::min(primera, resto.height());
        QTextBlock primero = b;
        int indice = titulo;
        while (primero.previous().isValid() &&
               primero.previous().blockFormat().headingLevel() > 0) {
            primero = primero.previous();
            --indice;
        }
        if (pagina(maqueta->blockBoundingRect(primero).top()) != pagina(abajo - 1))
            solos.insert(indice);
    }
    return solos;
}

// The text with a page break before the headings given (by their order in the text).
QString ConSaltos(const QString &html, const QSet<int> &saltos) {
    static const QRegularExpression titulo(QStringLiteral("<h([1-3])>"));
    QString r;
    qsizetype desde = 0;
    int n = 0;
    for (auto it = titulo.globalMatch(html); it.hasNext(); ++n) {
        const QRegularExpressionMatch m = it.next();
        r += html.mid(desde, m.capturedStart() - desde);
        r += saltos.contains(n)
                 ? QStringLiteral("<h%1 style=\"page-break-before: always\">").arg(m.captured(1))
                 : m.captured();
        desde = m.capturedEnd();
    }
    return r + html.mid(desde);
}

QString Indice(const QList<Capitulo> &capitulos) {
    QString html = QStringLiteral("<h1>Índice</h1><table width=\"100%\" cellpadding=\"1\">");
    for (const Capitulo &c : capitulos)
        html += QStringLiteral("<tr><td>%1%2</td><td align=\"right\">%3</td></tr>")
                    .arg(c.nivel == 2 ? QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;") : QString(),
                         c.titulo.toHtmlEscaped(),
                         c.pagina > 0 ? QString::number(c.pagina) : QStringLiteral("00"));
    return html + QStringLiteral("</table>");
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    // Qt's own texts in Spanish, as the program shows them.
    Startup::PrepararAplicacion();
    if (argc != 6) {
        std::fprintf(stderr, "usage: tritodex_helpdoc <tutorial.html> <refdata folder> "
                             "<output.pdf> <screenshot folder> <icon theme folder>\n");
        return 2;
    }
    const QString fuente = QString::fromLocal8Bit(argv[1]);
    const QString refdata = QString::fromLocal8Bit(argv[2]);
    const QString salida = QString::fromLocal8Bit(argv[3]);
    const QString carpeta = QString::fromLocal8Bit(argv[4]);
    // The icon in the layout of the desktop's icon theme: scalable and the usual sizes.
    const QDir iconos(QString::fromLocal8Bit(argv[5]));
    for (const int lado : {48, 128, 256}) {
        const QString ruta = iconos.filePath(QStringLiteral("%1x%1/apps/tritodex.png").arg(lado));
        if (!QDir().mkpath(QFileInfo(ruta).path()) || !ProgramIconImage(lado).save(ruta))
            Fallar(QStringLiteral("cannot write ") + ruta);
    }
    const QString svg = iconos.filePath(QStringLiteral("scalable/apps/tritodex.svg"));
    QFile icono(svg);
    if (!QDir().mkpath(QFileInfo(svg).path()) || !icono.open(QIODevice::WriteOnly) ||
        icono.write(ProgramIconSvg()) <= 0 || !icono.flush())
        Fallar(QStringLiteral("cannot write ") + svg);
    icono.close();

    QFile texto(fuente);
    if (!texto.open(QIODevice::ReadOnly)) Fallar(QStringLiteral("cannot read ") + fuente);
    const QString html = QString::fromUtf8(texto.readAll());

    // The demonstration user's home, with the program's folder in it, under a plain name
    // that a reader may take for a home of their own: neither the build's temporary folder
    // nor the home of whoever builds shows in the windows that name folders.
    const CarpetaDemostracion demo;
    qputenv("HOME", QFile::encodeName(demo.casa));
    for (const char *carpeta : {"Documentos", "Descargas", "Escritorio", "Imágenes"})
        QDir(demo.casa).mkpath(QString::fromUtf8(carpeta));
    const QString programa = QDir(demo.casa).filePath(QStringLiteral("Tritodex"));
    QDir().mkpath(programa);
    ModConex::setCarpetaDatos(programa);
    QString error;
    if (!DatabaseCreation::CrearBaseDatos(ModConex::RutaBaseDatos(), refdata, &error))
        Fallar(error);
    if (const auto conectado = ModConex::Conectar(); !conectado) Fallar(conectado.motivo);
    MessageService::setModoPrueba(true);
    ChoiceService::Prueba().abrir = [](const QUrl &) { return true; };
    Demostracion();
    QDir().mkpath(carpeta);
    for (const QFileInfo &viejo : QDir(carpeta).entryInfoList({QStringLiteral("*.png")}))
        QFile::remove(viejo.absoluteFilePath());
    const Capturas capturas = HacerCapturas();
    ModConex::Desconectar();
    for (auto it = capturas.cbegin(); it != capturas.cend(); ++it)
        if (!it.value().save(QDir(carpeta).filePath(it.key() + QStringLiteral(".png"))))
            Fallar(QStringLiteral("cannot write the screenshot ") + it.key());

    QPdfWriter pdf(salida);
    pdf.setTitle(QStringLiteral("Tritodex: tutorial"));
    pdf.setCreator(QStringLiteral("Tritodex"));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(96);
    pdf.setPageMargins(QMarginsF(18, 16, 18, 20), QPageLayout::Millimeter);
    const QRectF pagina = pdf.pageLayout().paintRectPixels(pdf.resolution());
    const qreal pie = 28;
    const QSizeF cuerpo(pagina.width(), pagina.height() - pie);

    // The headings first, then their pages with the contents in place (its lines take the
    // same room with the numbers as with the placeholders), then the text as printed.
    QTextDocument doc;
    const auto cargar = [&](const QList<Capitulo> *indice) {
        QString conIndice = html;
        conIndice.replace(QStringLiteral("<!-- contents -->"),
                          indice ? Indice(*indice) : QString());
        // Qt's layout knows no "page-break-after: avoid": a heading left alone at the foot
        // of a page gets a break before it, until none is.
        QSet<int> saltos;
        for (int vuelta = 0; vuelta < 20; ++vuelta) {
            CargarTexto(doc, ConSaltos(conIndice, saltos), capturas, cuerpo.width() - 8);
            doc.setPageSize(cuerpo);
            const QSet<int> solos = TitulosSolos(doc, cuerpo.height());
            if (saltos.contains(solos)) break;
            saltos.unite(solos);
        }
        QList<Capitulo> leidos = Capitulos(doc, cuerpo.height());
        leidos.removeIf([](const Capitulo &c) { return c.titulo == QStringLiteral("Índice"); });
        return leidos;
    };
    QList<Capitulo> capitulos = cargar(nullptr);
    for (Capitulo &c : capitulos)
        c.pagina = 0;
    capitulos = cargar(&capitulos);
    cargar(&capitulos);
    const int paginas = doc.pageCount();
    QPainter p(&pdf);
    for (int i = 0; i < paginas; ++i) {
        if (i > 0) pdf.newPage();
        p.save();
        p.translate(0, -i * cuerpo.height());
        doc.drawContents(&p, QRectF(0, i * cuerpo.height(), cuerpo.width(), cuerpo.height()));
        p.restore();
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
        p.setPen(Qt::darkGray);
        p.drawText(QRectF(0, cuerpo.height() + 8, cuerpo.width(), pie - 8), Qt::AlignCenter,
                   QStringLiteral("Tritodex: tutorial · página %1 de %2").arg(i + 1).arg(paginas));
    }
    p.end();
    return 0;
}
