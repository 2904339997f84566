#include "frmapa.h"

#include "atlas/MapDrawing.h"
#include "data/ArchivoComprobado.h"
#include "data/ModConex.h"
#include "data/ReferenceData.h"
#include "gui/ChoiceService.h"
#include "gui/DateFilter.h"
#include "gui/FrDate.h"
#include "gui/MessageService.h"
#include "gui/ModBaseDatosGui.h"
#include "gui/Progreso.h"
#include "gui/Screen.h"
#include "gui/SpeciesFinder.h"
#include "observations/frmodif.h"
#include "observers/ObserverStore.h"
#include "ui_frmapa.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

namespace {

const QString kTodas = QStringLiteral("todas las especies");

QString Mostrable(const QString &iso) {
    const QDate d = QDate::fromString(iso.left(10), Qt::ISODate);
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : iso;
}

} // namespace

frmapa::frmapa(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::frmapa>()) {
    ui->setupUi(this);
    const QIcon calendario = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
    ui->Cdfini->setIcon(calendario);
    ui->Cdffin->setIcon(calendario);
    for (QLineEdit *campo : {ui->Txdini, ui->Txdfin})
        ModBaseDatos::LimitarLongitud(campo, 10);
    ui->Cbobs->setCompleter(nullptr);
    ui->Cbobs->setInsertPolicy(QComboBox::NoInsert);
    ModBaseDatos::HacerCompletable(ui->Cbespecie);
    buscador_ = new SpeciesFinder(ui->Cbespecie, ui->Lbsinonimo);
    for (QTableWidget *t : {ui->Grcuadrado, ui->Grsincuadricula}) {
        t->verticalHeader()->hide();
        // Measured on the rows in sight: a thousand rows laid out one by one took longer
        // than the map's counts.
        Screen::RepartirColumnas(t, {2, 3});
    }
    ui->Lbleyenda->setTextFormat(Qt::RichText);
    ui->Division->setStretchFactor(0, 3);
    ui->Division->setStretchFactor(1, 1);

    connect(ui->CdMostrar, &QPushButton::clicked, this, &frmapa::CdMostrar_Click);
    connect(ui->CdExportar, &QPushButton::clicked, this, &frmapa::CdExportar_Click);
    connect(ui->Cdfini, &QToolButton::clicked, this, &frmapa::Cdfini_Click);
    connect(ui->Cdffin, &QToolButton::clicked, this, &frmapa::Cdffin_Click);
    ModBaseDatos::AlPerderFoco(ui->Cbespecie, [this] { Cbespecie_LostFocus(); });
    ModBaseDatos::AlPerderFoco(ui->Txdini, [this] { Txdini_LostFocus(); });
    ModBaseDatos::AlPerderFoco(ui->Txdfin, [this] { Txdfin_LostFocus(); });
    connect(ui->Mapa, &MapView::cuadradoElegido, this, &frmapa::Mapa_Click);
    connect(ui->Grcuadrado, &QTableWidget::itemDoubleClicked, this, &frmapa::Grcuadrado_DblClick);
    connect(ui->Grsincuadricula, &QTableWidget::itemDoubleClicked, this,
            &frmapa::Grsincuadricula_DblClick);
    Form_Load();
}

frmapa::~frmapa() = default;

void frmapa::Form_Load() {
    const MessageService::UserAction accion;
    Screen::RelojArena reloj;
    Screen::AplicarColores(this);
    Screen::Teclado(this);
    ReferenceData ref;
    QStringList especies = ref.Especies();
    especies.prepend(kTodas);
    ModBaseDatos::Rellenar(ui->Cbespecie, especies);
    ModBaseDatos::InformarError(this, ref);
    QString error;
    if (!buscador_->Cargar(&error)) MessageService::MostrarFallo(this, error);
    ui->Cbespecie->setCurrentIndex(0);
    ObserverStore observadores;
    QStringList nombres = observadores.NombresCompletos();
    nombres.removeDuplicates();
    nombres.prepend(QStringLiteral(" "));
    ModBaseDatos::Rellenar(ui->Cbobs, nombres);
    ModBaseDatos::InformarError(this, observadores);
    if (!grid_.Cargar(ModConex::DatabaseConnection())) {
        MessageService::MostrarFallo(this, grid_.error());
        return;
    }
    ui->Mapa->Poner(&grid_, &resultado_);
    Dibujar(MapFilter(), clases_);
}

bool frmapa::ComprobarFecha(QLineEdit *campo) {
    const QString texto = campo->text();
    if (texto.trimmed().isEmpty()) return true;
    const QDate fecha = DateFilter::Leer(texto);
    if (!fecha.isValid())
        return DateFilter::Rechazar(this, campo,
                                    QStringLiteral("La fecha «%1» no es válida. Escríbala como "
                                                   "dd/mm/aaaa, por ejemplo 05/03/2007.")
                                        .arg(texto),
                                    QStringLiteral("Fecha incorrecta"));
    // A date typed short is shown as it will be read, the century included.
    if (!DateFilter::Completa(texto)) campo->setText(DateFilter::Mostrar(fecha));
    return true;
}

void frmapa::Txdini_LostFocus() {
    ComprobarFecha(ui->Txdini);
}

void frmapa::Txdfin_LostFocus() {
    ComprobarFecha(ui->Txdfin);
}

void frmapa::Cbespecie_LostFocus() {
    buscador_->ElegirExacto();
}

void frmapa::Cdfini_Click() {
    FrDate::ElegirEn(ui->Txdini, this);
}

void frmapa::Cdffin_Click() {
    FrDate::ElegirEn(ui->Txdfin, this);
}

void frmapa::CdMostrar_Click() {
    const MessageService::UserAction accion;
    if (!ComprobarFecha(ui->Txdini) || !ComprobarFecha(ui->Txdfin)) return;
    MapFilter f;
    f.desde = DateFilter::Leer(ui->Txdini->text());
    f.hasta = DateFilter::Leer(ui->Txdfin->text());
    if (f.desde.isValid() && f.hasta.isValid() && f.desde > f.hasta) {
        MessageService::Mostrar(this, QStringLiteral("La fecha «Desde» es posterior a «Hasta»."),
                                QStringLiteral("Fechas incorrectas"), QMessageBox::Warning);
        return;
    }
    const QString especie = ui->Cbespecie->currentText().trimmed();
    if (!especie.isEmpty() && especie != kTodas) {
        if (ui->Cbespecie->findText(especie, Qt::MatchFixedString) < 0 &&
            !buscador_->ElegirExacto()) {
            MessageService::Mostrar(
                this, QStringLiteral("«%1» no es una especie de la lista.").arg(especie),
                QStringLiteral("Especie desconocida"), QMessageBox::Warning);
            return;
        }
        f.especie = ui->Cbespecie->currentText().section(u'-', 0, 0).trimmed();
    }
    f.observador = ui->Cbobs->currentText().trimmed();
    ClasesMapa clases;
    clases.corte1 = ui->Txcorte1->value();
    clases.corte2 = ui->Txcorte2->value();
    if (clases.corte1 >= clases.corte2) {
        MessageService::Mostrar(
            this, QStringLiteral("El primer año de corte debe ser anterior al segundo."),
            QStringLiteral("Años de corte"), QMessageBox::Warning);
        return;
    }
    Dibujar(f, clases);
}

void frmapa::Dibujar(const MapFilter &f, const ClasesMapa &clases) {
    Screen::RelojArena reloj;
    AtlasStore store;
    const auto r = store.Calcular(grid_, f, clases);
    if (!r) {
        MessageService::MostrarFallo(this, store.error());
        return;
    }
    resultado_ = *r;
    ultimo_ = f;
    clases_ = clases;
    ui->Lbcuadrados->setText(QString::number(resultado_.celdas.size()));
    ui->Lbregistros->setText(QString::number(resultado_.registros));
    ui->Lbespecies->setText(QString::number(resultado_.especies));
    ui->Lbsincuadricula->setText(QString::number(resultado_.sinCuadricula));
    ui->Lbdesconocidos->setText(QString::number(resultado_.desconocidos));
    ui->Lbmensaje->setText(resultado_.registros == 0 ? QStringLiteral("Sin registros") : QString());
    QString leyenda = QStringLiteral("<table>");
    for (const auto &[color, texto] : MapDrawing::Leyenda(resultado_.unaEspecie, clases_))
        leyenda += QStringLiteral("<tr><td style=\"color:%1\">&#9632;</td><td>%2</td></tr>")
                       .arg(color.name(), texto.toHtmlEscaped());
    ui->Lbleyenda->setText(leyenda + QStringLiteral("</table>"));
    CargarLista(ui->Grsincuadricula, resultado_.sinCuadrado, true);
    ui->Mapa->update();
    Mapa_Click(elegido_);
}

void frmapa::CargarLista(QTableWidget *tabla, const std::vector<FilaMapa> &filas,
                         bool conCuadrado) {
    QStringList titulos = {QStringLiteral("Fecha"), QStringLiteral("Especie"),
                           QStringLiteral("Localidad"), QStringLiteral("Observadores")};
    if (conCuadrado) titulos << QStringLiteral("Cuadrado");
    tabla->clear();
    tabla->setColumnCount(int(titulos.size()));
    tabla->setHorizontalHeaderLabels(titulos);
    tabla->setRowCount(int(filas.size()));
    for (int i = 0; i < int(filas.size()); ++i) {
        const FilaMapa &f = filas[size_t(i)];
        QStringList valores = {Mostrable(f.fecha), f.especie, f.localidad, f.observadores};
        if (conCuadrado)
            valores << (f.cuadrado.isEmpty() ? QStringLiteral("(ninguno)")
                                             : f.cuadrado + QStringLiteral(" (desconocido)"));
        for (int c = 0; c < valores.size(); ++c) {
            auto *item = new QTableWidgetItem(valores[c]);
            item->setData(Qt::UserRole, f.id);
            tabla->setItem(i, c, item);
        }
    }
}

void frmapa::Mapa_Click(int cuadrado) {
    elegido_ = cuadrado;
    if (cuadrado < 0) {
        CargarLista(ui->Grcuadrado, {}, false);
        return;
    }
    const MessageService::UserAction accion;
    AtlasStore store;
    const auto filas = store.ObservacionesDe(grid_, cuadrado, ultimo_);
    if (!filas) {
        MessageService::MostrarFallo(this, store.error());
        return;
    }
    ui->Lbcuadrado->setText(QStringLiteral("Observaciones del cuadrado %1: %2")
                                .arg(grid_.Cuadrados()[size_t(cuadrado)].codigo)
                                .arg(filas->size()));
    CargarLista(ui->Grcuadrado, *filas, false);
}

void frmapa::AbrirObservacion(QTableWidget *tabla) {
    const QTableWidgetItem *item = tabla->currentItem();
    if (!item) return;
    QPointer<frmapa> yo(this);
    modif_ = frmodif::Abrir(modif_, item->data(Qt::UserRole).toInt(), [yo] {
        if (yo) yo->Dibujar(yo->ultimo_, yo->clases_);
    });
}

void frmapa::Grcuadrado_DblClick() {
    AbrirObservacion(ui->Grcuadrado);
}

void frmapa::Grsincuadricula_DblClick() {
    AbrirObservacion(ui->Grsincuadricula);
}

QString frmapa::Titulo() const {
    QString t = QStringLiteral("Mapa de distribución: ");
    if (ultimo_.especie.isEmpty()) {
        t += QStringLiteral("todas las especies");
    } else {
        const int i =
            ui->Cbespecie->findText(ultimo_.especie + QStringLiteral(" - "), Qt::MatchStartsWith);
        t += i >= 0 ? ui->Cbespecie->itemText(i) : ultimo_.especie;
    }
    if (ultimo_.desde.isValid() || ultimo_.hasta.isValid())
        t += QStringLiteral(", %1 - %2")
                 .arg(ultimo_.desde.isValid() ? ultimo_.desde.toString(QStringLiteral("dd/MM/yyyy"))
                                              : QStringLiteral("..."),
                      ultimo_.hasta.isValid() ? ultimo_.hasta.toString(QStringLiteral("dd/MM/yyyy"))
                                              : QStringLiteral("..."));
    if (!ultimo_.observador.isEmpty()) t += QStringLiteral(", observador: ") + ultimo_.observador;
    return t;
}

bool frmapa::Exportar(const QString &ruta, QString *error, const Avance &avance) const {
    const QString tipo = QFileInfo(ruta).suffix().toLower();
    if (tipo != u"png" && tipo != u"svg" && tipo != u"pdf") {
        *error = QStringLiteral("El archivo debe terminar en .png, .svg o .pdf.");
        return false;
    }
    // Drawn into a file that replaces the old one only once its bytes are on the disk.
    ArchivoComprobado archivo(ruta);
    if (!archivo.Abrir(error)) return false;
    // Two steps: drawing, then writing the file; a cancel leaves the old file as it was.
    const auto cancelado = [&] {
        *error = Avances::kCancelado;
        return false;
    };
    if (!Avances::Seguir(avance, 0, 2)) return cancelado();
    // A landscape page whose map keeps Spain's proportions beside the legend.
    const QSize pagina(1400, 1000);
    bool ok = false;
    if (tipo == u"png") {
        const int ancho = ui->Txancho->value();
        QImage imagen(ancho, ancho * pagina.height() / pagina.width(), QImage::Format_RGB32);
        imagen.fill(Qt::white);
        {
            QPainter p(&imagen);
            MapDrawing::Pagina(p, QRectF(imagen.rect()), grid_, resultado_, clases_, Titulo());
        }
        if (!Avances::Seguir(avance, 1, 2)) return cancelado();
        // Encoded in memory, then written: Qt's PNG writer leaks a row when the disk fails
        // under it.
        QBuffer png;
        ok = png.open(QIODevice::WriteOnly) && imagen.save(&png, "PNG");
        if (ok) archivo.Escribir(png.data());
    } else if (tipo == u"svg") {
        QSvgGenerator svg;
        svg.setOutputDevice(archivo.Dispositivo());
        svg.setSize(pagina);
        svg.setViewBox(QRect(QPoint(0, 0), pagina));
        svg.setTitle(Titulo());
        svg.setDescription(QStringLiteral("Tritodex"));
        QPainter p;
        ok = p.begin(&svg);
        if (ok) {
            MapDrawing::Pagina(p, QRectF(QPoint(0, 0), pagina), grid_, resultado_, clases_,
                               Titulo());
            ok = p.end();
        }
    } else {
        QPdfWriter pdf(archivo.Dispositivo());
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setResolution(300);
        pdf.setTitle(Titulo());
        pdf.setCreator(QStringLiteral("Tritodex"));
        QPainter p;
        ok = p.begin(&pdf);
        if (ok) {
            const QRect area(QPoint(0, 0),
                             pdf.pageLayout().paintRectPixels(pdf.resolution()).size());
            MapDrawing::Pagina(p, QRectF(area), grid_, resultado_, clases_, Titulo());
            ok = p.end();
        }
    }
    if (!ok) {
        archivo.Descartar();
        *error = Causas::AlEscribir(ruta, 0);
        return false;
    }
    if (tipo != u"png" && !Avances::Seguir(avance, 1, 2)) return cancelado();
    // A failed write is told, with its cause, by Confirmar.
    return archivo.Confirmar(error);
}

void frmapa::CdExportar_Click() {
    const MessageService::UserAction accion;
    const QString ruta = ChoiceService::ArchivoParaGuardar(
        this, QStringLiteral("Exportar el mapa"), QStringLiteral("mapa.png"),
        QStringLiteral("Imagen PNG (*.png);;Dibujo SVG (*.svg);;Documento PDF (*.pdf)"));
    if (ruta.isEmpty()) return;
    QString error;
    bool ok = false;
    {
        Screen::RelojArena reloj;
        Progreso progreso(this, QStringLiteral("Exportando el mapa..."));
        ok = Exportar(ruta, &error, progreso.avance());
    }
    // Stopped by the user: nothing was written, and that needs no message.
    if (!ok && error == Avances::kCancelado) return;
    if (!ok) {
        MessageService::Mostrar(this, error, QStringLiteral("Exportar"), QMessageBox::Warning);
        return;
    }
    MessageService::Mostrar(this, QStringLiteral("Mapa exportado en %1").arg(ruta),
                            QStringLiteral("Exportar"), QMessageBox::Information);
}
