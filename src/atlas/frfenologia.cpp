#include "frfenologia.h"

#include "data/ArchivoComprobado.h"
#include "data/ReferenceData.h"
#include "gui/ChoiceService.h"
#include "gui/DateFilter.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Progreso.h"
#include "gui/Screen.h"
#include "gui/SpeciesFinder.h"
#include "observations/ObservationStore.h"
#include "observers/ObserverStore.h"
#include "ui_frfenologia.h"

#include <QBarSet>
#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QCollator>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QStackedBarSeries>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QSvgGenerator>
#include <QToolTip>
#include <QValueAxis>
#include <cmath>

namespace {

const QString kTodas = QStringLiteral("todas las especies");
const QString kTituloExportar = QStringLiteral("Exportar gráfico");
const QSizeF kTamanoExportado(1200, 700);

// A filter's entries: the blank (no filter) first, then each text once, in Spanish order.
QStringList ConBlanco(QStringList items) {
    QCollator orden(QLocale(QLocale::Spanish, QLocale::Spain));
    orden.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(items.begin(), items.end(), orden);
    items.removeDuplicates();
    items.prepend(QStringLiteral(" "));
    return items;
}

// A colour per stage identifier, so that a stage keeps its colour whatever the filters.
QColor ColorEstadio(int id) {
    static const char *const colores[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                          "#8c564b", "#e377c2", "#bcbd22", "#17becf", "#393b79",
                                          "#637939", "#8c6d31", "#843c39", "#7b4173", "#3182bd",
                                          "#e6550d", "#31a354", "#756bb1", "#636363"};
    if (id <= 0) return QColor(0xb0, 0xb0, 0xb0);
    return QColor(QString::fromLatin1(colores[(id - 1) % std::size(colores)]));
}

QString Cuantos(qint64 n, const char *uno, const char *varios) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? uno : varios));
}

// The top of a count axis from 0 rounded as Qt Charts' nice numbers round it (five ticks):
// a range of 1, 2 or 5 times a power of ten, then a step of 1, 2 or 5 times one.
double TopeRedondo(double maximo) {
    const auto redondo = [](double x, bool porArriba) {
        const double z = std::pow(10.0, std::floor(std::log10(x)));
        const double q = x / z;
        if (porArriba) return (q <= 1 ? 1 : q <= 2 ? 2 : q <= 5 ? 5 : 10) * z;
        return (q < 1.5 ? 1 : q < 3 ? 2 : q < 7 ? 5 : 10) * z;
    };
    const double paso = redondo(redondo(maximo, true) / 4, false);
    return std::ceil(maximo / paso) * paso;
}

} // namespace

frfenologia::frfenologia(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::frfenologia>()) {
    ui->setupUi(this);
    // The chart takes the larger share, so that every month's name fits under it.
    ui->Division->setStretchFactor(0, 3);
    ui->Division->setStretchFactor(1, 2);
    // The view's own chart: one set in its place would leave this one to nobody.
    grafico_ = ui->Grafico->chart();
    grafico_->legend()->setAlignment(Qt::AlignBottom);
    // Neither a shadow nor smoothing on the screen: the bars are upright rectangles and a
    // redraw costs about half as much without them. Exports are drawn smooth.
    grafico_->setDropShadowEnabled(false);
    PrepararGrafico();
    DtObs = new QStandardItemModel(this);
    DtObs->setObjectName(QStringLiteral("DtObs"));
    ui->DBObs->setModel(DtObs);
    Screen::RepartirColumnas(ui->DBObs);
    ui->DBObs->verticalHeader()->hide();
    ModBaseDatos::HacerCompletable(ui->Cbespecie);
    buscador_ = new SpeciesFinder(ui->Cbespecie, nullptr);
    // The observer filter is free text, found anywhere in the names.
    ui->Cbobs->setCompleter(nullptr);
    ui->Cbobs->setInsertPolicy(QComboBox::NoInsert);
    for (QLineEdit *campo : {ui->Txanoini, ui->Txanofin})
        ModBaseDatos::FiltrarDigitos(campo);

    connect(ui->CdMostrar, &QPushButton::clicked, this, &frfenologia::CdMostrar_Click);
    connect(ui->CdExportar, &QPushButton::clicked, this, &frfenologia::CdExportar_Click);
    connect(ui->CdVolver, &QPushButton::clicked, this, &frfenologia::CdVolver_Click);
    connect(ui->Ckejemplares, &QCheckBox::toggled, this, &frfenologia::Ckejemplares_Click);
    ModBaseDatos::AlElegir(ui->Cbespecie, [this] { Cbespecie_Click(); });
    ModBaseDatos::AlPerderFoco(ui->Cbespecie, [this] { Cbespecie_LostFocus(); });
    Form_Load();
}

frfenologia::~frfenologia() = default;

void frfenologia::Form_Load() {
    const MessageService::UserAction accion;
    Screen::RelojArena reloj;
    Screen::AplicarColores(this);
    Screen::Teclado(this, ui->CdVolver);
    ObservationStore observaciones;
    ModBaseDatos::Rellenar(ui->Cbespecie, QStringList{kTodas} + observaciones.EspeciesObservadas());
    ModBaseDatos::InformarError(this, observaciones);
    QString error;
    if (!buscador_->Cargar(&error)) MessageService::MostrarFallo(this, error);
    ReferenceData ref;
    ModBaseDatos::Rellenar(ui->Cbprov, ConBlanco(ref.Provincias()));
    ModBaseDatos::InformarError(this, ref);
    ObserverStore observadores;
    ModBaseDatos::Rellenar(ui->Cbobs, ConBlanco(observadores.NombresCompletos()));
    ModBaseDatos::InformarError(this, observadores);
    ui->Cbespecie->setCurrentIndex(0);
    ui->Cbprov->setCurrentIndex(0);
    ModBaseDatos::Vaciar(ui->Cbobs);
    // Every observation at once: the year of all species as the first view.
    CdMostrar_Click();
}

// Filters ---------------------------------------------------------------------------------

void frfenologia::Cbespecie_Click() {
    const QString codigo = ui->Cbespecie->currentText().trimmed();
    if (codigo.isEmpty() || codigo == kTodas) {
        ui->Lbespecie->clear();
        return;
    }
    ReferenceData ref;
    const auto especie = ref.BuscarEspecie(codigo);
    ModBaseDatos::InformarError(this, ref);
    // A code observed whose species row is gone is still counted; it has no name to show.
    ui->Lbespecie->setText(especie ? especie->nombreCastellano : QString());
}

void frfenologia::Cbespecie_LostFocus() {
    const QString texto = ui->Cbespecie->currentText();
    if (ModBaseDatos::EsItem(ui->Cbespecie, texto) || buscador_->ElegirExacto()) return;
    if (!texto.trimmed().isEmpty())
        MessageService::Mostrar(
            this,
            QStringLiteral("«%1» no es ninguna especie observada: elija una de la lista.")
                .arg(texto),
            QStringLiteral("Especie incorrecta"), QMessageBox::Warning);
    // The list says what will be counted: every species.
    ui->Cbespecie->setCurrentIndex(0);
}

bool frfenologia::LeerAno(QLineEdit *campo, const QString &cual, int &ano) {
    ano = 0;
    const QString texto = campo->text().trimmed();
    if (texto.isEmpty()) return true;
    if (const auto leido = DateFilter::LeerAno(texto)) {
        ano = *leido;
        return true;
    }
    return DateFilter::Rechazar(
        this, campo,
        QStringLiteral("El año %1 «%2» no es válido: escriba un año de cuatro cifras entre 1800 "
                       "y %3.")
            .arg(cual, campo->text(), QString::number(QDate::currentDate().year())),
        QStringLiteral("Año incorrecto"), false);
}

std::optional<FiltroFenologia> frfenologia::LeerFiltros() {
    FiltroFenologia f;
    const QString especie = ui->Cbespecie->currentText();
    if (!especie.trimmed().isEmpty() && especie != kTodas) {
        // A text typed and never left (Enter, a shortcut) is checked here.
        if (!ModBaseDatos::EsItem(ui->Cbespecie, especie)) {
            MessageService::Mostrar(
                this,
                QStringLiteral("«%1» no es ninguna especie observada: elija una de la lista.")
                    .arg(especie),
                QStringLiteral("Especie incorrecta"), QMessageBox::Warning);
            ui->Cbespecie->setFocus(Qt::OtherFocusReason);
            return std::nullopt;
        }
        f.especie = especie.trimmed();
    }
    if (!LeerAno(ui->Txanoini, QStringLiteral("inicial"), f.anoDesde) ||
        !LeerAno(ui->Txanofin, QStringLiteral("final"), f.anoHasta))
        return std::nullopt;
    if (f.anoDesde > 0 && f.anoHasta > 0 && f.anoDesde > f.anoHasta) {
        MessageService::Mostrar(this,
                                QStringLiteral("El año inicial (%1) es posterior al año final "
                                               "(%2): escriba primero el año más antiguo.")
                                    .arg(f.anoDesde)
                                    .arg(f.anoHasta),
                                QStringLiteral("Año incorrecto"), QMessageBox::Warning);
        ui->Txanoini->setFocus(Qt::OtherFocusReason);
        return std::nullopt;
    }
    f.provincia = ui->Cbprov->currentText().trimmed();
    f.observador = ui->Cbobs->currentText().trimmed();
    return f;
}

// The chart --------------------------------------------------------------------------------

void frfenologia::CdMostrar_Click() {
    const MessageService::UserAction accion;
    const auto filtro = LeerFiltros();
    if (!filtro) return;
    Screen::RelojArena reloj;
    PhenologyStore almacen;
    const auto fenologia = almacen.Contar(*filtro);
    // A failed count leaves the chart that was shown, with its own title and numbers.
    if (ModBaseDatos::InformarError(this, almacen) || !fenologia) return;
    filtro_ = *filtro;
    fenologia_ = *fenologia;

    QString especie = kTodas;
    if (!filtro_.especie.isEmpty()) {
        ReferenceData ref;
        const auto e = ref.BuscarEspecie(filtro_.especie);
        ref.Limpiar();
        especie = e && !e->nombreCastellano.isEmpty()
                      ? QStringLiteral("%1 (%2)").arg(filtro_.especie, e->nombreCastellano)
                      : filtro_.especie;
    }
    QString anos = QStringLiteral("todos los años");
    if (filtro_.anoDesde && filtro_.anoHasta)
        anos = filtro_.anoDesde == filtro_.anoHasta
                   ? QString::number(filtro_.anoDesde)
                   : QStringLiteral("%1-%2").arg(filtro_.anoDesde).arg(filtro_.anoHasta);
    else if (filtro_.anoDesde)
        anos = QStringLiteral("desde %1").arg(filtro_.anoDesde);
    else if (filtro_.anoHasta)
        anos = QStringLiteral("hasta %1").arg(filtro_.anoHasta);
    titulo_ = QStringLiteral("Fenología de %1, %2").arg(especie, anos);
    if (!filtro_.provincia.isEmpty())
        titulo_ += QStringLiteral(", provincia: ") + filtro_.provincia;
    if (!filtro_.observador.isEmpty())
        titulo_ += QStringLiteral(", observador: ") + filtro_.observador;

    DtObs->clear();
    ui->Lbperiodo->setText(QStringLiteral("Pulse una barra para ver sus observaciones."));
    Dibujar();
}

void frfenologia::Ckejemplares_Click() {
    Dibujar();
}

void frfenologia::PrepararGrafico() {
    // One series and two axes for the form's life: a redraw changes the bars and the scale,
    // so the month labels are laid out once.
    serie_ = new QStackedBarSeries;
    serie_->setBarWidth(0.85);
    grafico_->addSeries(serie_);
    // The month names centred under their three periods, a line between months.
    auto *meses = new QCategoryAxis;
    meses->setStartValue(-0.5);
    const QStringList nombres = PhenologyStore::Meses();
    for (int m = 0; m < nombres.size(); ++m)
        meses->append(nombres[m], m * 3 + 2.5);
    meses->setRange(-0.5, Fenologia::kPeriodos - 0.5);
    meses->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    cuenta_ = new QValueAxis;
    cuenta_->setLabelFormat(QStringLiteral("%.0f"));
    cuenta_->setTickType(QValueAxis::TicksDynamic);
    cuenta_->setTickAnchor(0);
    grafico_->addAxis(meses, Qt::AlignBottom);
    grafico_->addAxis(cuenta_, Qt::AlignLeft);
    serie_->attachAxis(meses);
    serie_->attachAxis(cuenta_);
    letraMeses_ = meses->labelsFont();
    connect(grafico_, &QChart::plotAreaChanged, this,
            [this](const QRectF &zona) { AjustarMeses(zona.width()); });
    connect(serie_, &QAbstractBarSeries::hovered, this,
            [this](bool encima, int indice, QBarSet *) { Grafico_Hover(encima, indice); });
    connect(serie_, &QAbstractBarSeries::clicked, this,
            [this](int indice, QBarSet *) { Grafico_Click(indice); });
}

void frfenologia::AjustarMeses(qreal anchoGrafico) {
    auto *meses = qobject_cast<QCategoryAxis *>(grafico_->axes(Qt::Horizontal).value(0));
    if (!meses) return;
    // Qt Charts gives each label the axis' width shared among the bounds of the months
    // (one more than the months), less a padding of 4 on either side, and elides what
    // does not fit ("m…"): a smaller size keeps every name whole.
    const qreal sitio = anchoGrafico / (meses->count() + 1) - 2 * 4 - 2;
    QFont letra = letraMeses_;
    for (qreal puntos = letraMeses_.pointSizeF(); puntos >= 6; puntos -= 0.5) {
        letra.setPointSizeF(puntos);
        const QFontMetricsF medida(letra);
        qreal ancho = 0;
        for (const QString &mes : meses->categoriesLabels())
            ancho = std::max(ancho, medida.horizontalAdvance(mes));
        if (ancho <= sitio) break;
    }
    if (letra != meses->labelsFont()) meses->setLabelsFont(letra);
}

void frfenologia::Dibujar() {
    const bool ejemplares = ui->Ckejemplares->isChecked();
    // The bar sets drawn before are kept and given the new values: making them anew costs
    // Qt Charts their legend markers and bar items each time.
    const qsizetype estadios = fenologia_.estadios.size();
    while (serie_->count() > estadios)
        serie_->remove(serie_->barSets().constLast());
    while (serie_->count() < estadios)
        serie_->append(new QBarSet(QString()));
    const QList<QBarSet *> conjuntos = serie_->barSets();
    qint64 maximo = 0, totalEjemplares = 0;
    for (qsizetype i = 0; i < estadios; ++i) {
        const Fenologia::Estadio &e = fenologia_.estadios[i];
        QBarSet *barras = conjuntos[i];
        barras->setLabel(e.nombre);
        barras->setColor(ColorEstadio(e.id));
        barras->setBorderColor(ColorEstadio(e.id).darker(130));
        QList<qreal> valores;
        for (int p = 0; p < Fenologia::kPeriodos; ++p) {
            valores << double(ejemplares ? e.ejemplares[p] : e.observaciones[p]);
            totalEjemplares += e.ejemplares[p];
        }
        barras->remove(0, barras->count());
        barras->append(valores);
    }
    for (int p = 1; p <= Fenologia::kPeriodos; ++p)
        maximo = std::max(maximo, fenologia_.Total(p, ejemplares));
    // Each change of the axis lays the whole chart out again: the rounded top is worked
    // out here and set once.
    const double tope = TopeRedondo(double(std::max<qint64>(maximo, 1)));
    cuenta_->setTickInterval(std::max(1.0, std::ceil(tope / 8)));
    cuenta_->setRange(0, tope);
    cuenta_->setTitleText(ejemplares ? QStringLiteral("Ejemplares")
                                     : QStringLiteral("Observaciones"));

    QString aviso;
    if (fenologia_.registros == 0)
        aviso = QStringLiteral("Sin registros");
    else if (ejemplares && totalEjemplares == 0)
        aviso = QStringLiteral("Ninguna observación indica el número de ejemplares");
    grafico_->setTitle(aviso.isEmpty() ? titulo_ : titulo_ + QStringLiteral(" · ") + aviso);
    grafico_->legend()->setVisible(true);
    ui->Lbaviso->setText(aviso);
    ui->Lbregistros->setText(QString::number(fenologia_.registros));
    ui->Lbanos->setText(QString::number(fenologia_.anos));
    ui->Grafico->setToolTip(QString());
}

QString frfenologia::TextoPeriodo(int periodo) const {
    QStringList lineas;
    lineas << QStringLiteral("%1: %2, %3")
                  .arg(PhenologyStore::NombrePeriodo(periodo),
                       Cuantos(fenologia_.Total(periodo, false), "observación", "observaciones"),
                       Cuantos(fenologia_.Total(periodo, true), "ejemplar", "ejemplares"));
    for (const Fenologia::Estadio &e : fenologia_.estadios)
        if (const qint64 n = e.observaciones[periodo - 1])
            lineas << QStringLiteral("%1: %2, %3")
                          .arg(e.nombre, Cuantos(n, "observación", "observaciones"),
                               Cuantos(e.ejemplares[periodo - 1], "ejemplar", "ejemplares"));
    return lineas.join(u'\n');
}

void frfenologia::Grafico_Hover(bool encima, int indice) {
    if (!encima || indice < 0 || indice >= Fenologia::kPeriodos) {
        ui->Grafico->setToolTip(QString());
        QToolTip::hideText();
        return;
    }
    const QString texto = TextoPeriodo(indice + 1);
    ui->Grafico->setToolTip(texto);
    QToolTip::showText(QCursor::pos(), texto, ui->Grafico);
}

void frfenologia::Grafico_Click(int indice) {
    if (indice >= 0 && indice < Fenologia::kPeriodos) ListarPeriodo(indice + 1);
}

void frfenologia::ListarPeriodo(int periodo) {
    const MessageService::UserAction accion;
    Screen::RelojArena reloj;
    PhenologyStore almacen;
    const auto lista = almacen.Observaciones(filtro_, periodo);
    if (ModBaseDatos::InformarError(this, almacen) || !lista) return;
    DtObs->clear();
    DtObs->setHorizontalHeaderLabels({QStringLiteral("Fecha"), QStringLiteral("Especie"),
                                      QStringLiteral("Estadio"), QStringLiteral("Ejemplares"),
                                      QStringLiteral("Localidad"), QStringLiteral("Observadores")});
    for (const ObservacionPeriodo &o : *lista) {
        QList<QStandardItem *> fila;
        for (const QString &texto :
             {o.fecha.toString(QStringLiteral("dd/MM/yyyy")), o.especie, o.estadio,
              o.numejemp.isNull() ? QString() : o.numejemp.toString(), o.localidad, o.observadores})
            fila << new QStandardItem(texto);
        DtObs->appendRow(fila);
    }
    ui->Lbperiodo->setText(QStringLiteral("Observaciones del %1: %2")
                               .arg(PhenologyStore::NombrePeriodo(periodo))
                               .arg(lista->size()));
}

// Export -----------------------------------------------------------------------------------

void frfenologia::PintarEn(QPainter &pintor, const QRectF &destino) {
    // The chart, title and legend included, laid out at the export's own size so that no
    // month or stage name is cut short in a small window, then put back as it was. The
    // chart lays itself out in posted events, which are run before each drawing.
    const QSizeF enPantalla = grafico_->size();
    grafico_->resize(kTamanoExportado);
    QCoreApplication::sendPostedEvents();
    grafico_->scene()->render(&pintor, destino, grafico_->sceneBoundingRect(), Qt::KeepAspectRatio);
    grafico_->resize(enPantalla);
    QCoreApplication::sendPostedEvents();
}

bool frfenologia::Pintar(const QString &ruta, const QString &formato, QString &error,
                         const Avance &avance) {
    // Drawn into a file that replaces the old one only once its bytes are on the disk.
    ArchivoComprobado archivo(ruta);
    if (!archivo.Abrir(&error)) return false;
    // Two steps: drawing, then writing the file; a cancel leaves the old file as it was.
    const auto cancelado = [&] {
        error = Avances::kCancelado;
        return false;
    };
    if (!Avances::Seguir(avance, 0, 2)) return cancelado();
    // Pictures 1600 points wide.
    const QRectF area(0, 0, 1600, 1600 * kTamanoExportado.height() / kTamanoExportado.width());
    QPainter pintor;
    bool ok = true;
    if (formato == u"png") {
        QImage imagen(area.size().toSize(), QImage::Format_ARGB32);
        imagen.fill(Qt::white);
        pintor.begin(&imagen);
        pintor.setRenderHint(QPainter::Antialiasing);
        PintarEn(pintor, area);
        pintor.end();
        if (!Avances::Seguir(avance, 1, 2)) return cancelado();
        // Encoded in memory, then written: Qt's PNG writer leaks a row when the disk fails
        // under it.
        QBuffer png;
        ok = png.open(QIODevice::WriteOnly) && imagen.save(&png, "PNG");
        if (ok) archivo.Escribir(png.data());
    } else if (formato == u"svg") {
        QSvgGenerator svg;
        svg.setOutputDevice(archivo.Dispositivo());
        svg.setSize(area.size().toSize());
        svg.setViewBox(area);
        svg.setTitle(titulo_);
        svg.setDescription(QStringLiteral("Tritodex"));
        ok = pintor.begin(&svg);
        if (ok) {
            PintarEn(pintor, area);
            pintor.end();
        }
    } else {
        QPdfWriter pdf(archivo.Dispositivo());
        pdf.setTitle(titulo_);
        pdf.setCreator(QStringLiteral("Tritodex"));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        ok = pintor.begin(&pdf);
        if (ok) {
            PintarEn(pintor, QRectF(0, 0, pdf.width(), pdf.height()));
            pintor.end();
        }
    }
    if (!ok) {
        archivo.Descartar();
        error = Causas::AlEscribir(ruta, 0);
        return false;
    }
    if (formato != u"png" && !Avances::Seguir(avance, 1, 2)) return cancelado();
    // A failed write is told, with its cause, by Confirmar.
    return archivo.Confirmar(&error);
}

void frfenologia::CdExportar_Click() {
    const MessageService::UserAction accion;
    QString nombre = filtro_.especie.isEmpty() ? QStringLiteral("todas") : filtro_.especie;
    nombre.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
    const QString propuesto =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(QStringLiteral("Fenologia_%1.png").arg(nombre));
    const QString ruta = ChoiceService::ArchivoParaGuardar(
        this, kTituloExportar, propuesto,
        QStringLiteral("Imagen PNG (*.png);;Imagen SVG (*.svg);;Documento PDF (*.pdf)"));
    if (ruta.isEmpty()) return;
    const QString formato = QFileInfo(ruta).suffix().toLower();
    if (!QStringList{QStringLiteral("png"), QStringLiteral("svg"), QStringLiteral("pdf")}.contains(
            formato)) {
        MessageService::Mostrar(this,
                                QStringLiteral("El nombre del archivo debe acabar en .png, .svg o "
                                               ".pdf: el gráfico no se ha exportado."),
                                kTituloExportar, QMessageBox::Warning);
        return;
    }
    QString error;
    bool ok = false;
    {
        Screen::RelojArena reloj;
        Progreso progreso(this, QStringLiteral("Exportando el gráfico..."));
        ok = Pintar(ruta, formato, error, progreso.avance());
    }
    // Stopped by the user: nothing was written, and that needs no message.
    if (!ok && error == Avances::kCancelado) return;
    if (!ok) {
        MessageService::Mostrar(this,
                                QStringLiteral("No se ha podido guardar el gráfico en %1.\n\n%2")
                                    .arg(QDir::toNativeSeparators(ruta), error),
                                kTituloExportar, QMessageBox::Warning);
        return;
    }
    MessageService::Mostrar(
        this,
        QStringLiteral("Se ha guardado el gráfico en %1.").arg(QDir::toNativeSeparators(ruta)),
        kTituloExportar, QMessageBox::Information);
}

void frfenologia::CdVolver_Click() {
    Screen::CerrarHijo(this);
}
