#include "gui/Screen.h"

#include "gui/ModBaseDatosGui.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace {
QPointer<QMdiArea> area;
int pitidos = 0;
const char *const kCerrandose = "tritodex_cerrandose";

class TecladoFormulario : public QObject {
public:
    TecladoFormulario(QWidget *formulario, QAbstractButton *salida)
        : QObject(formulario), formulario_(formulario), salida_(salida) {}
    // Only keys that no control of the form took arrive here.
    bool eventFilter(QObject *o, QEvent *e) override {
        if (o != formulario_ || e->type() != QEvent::KeyPress) return false;
        const auto *k = static_cast<QKeyEvent *>(e);
        if (k->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier)) return false;
        switch (k->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // Outside a dialog a button takes only the space bar; check boxes keep to it.
            auto *boton = qobject_cast<QAbstractButton *>(QApplication::focusWidget());
            if (!qobject_cast<QPushButton *>(boton) && !qobject_cast<QToolButton *>(boton))
                return false;
            if (!formulario_->isAncestorOf(boton) || !boton->isEnabled()) return false;
            boton->click();
            return true;
        }
        case Qt::Key_Escape:
            if (salida_) {
                if (salida_->isVisible() && salida_->isEnabled()) salida_->click();
            } else if (auto *d = qobject_cast<QDialog *>(formulario_)) {
                d->reject();
            } else {
                Screen::CerrarHijo(formulario_);
            }
            return true;
        default:
            return false;
        }
    }

private:
    QWidget *formulario_;
    QPointer<QAbstractButton> salida_;
};

// What a cell adds to its text's width: the style's margins, and the grid's line.
int MargenCelda(QTableView *rejilla) {
    QStyleOptionViewItem opcion;
    opcion.initFrom(rejilla);
    return 2 * (rejilla->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &opcion, rejilla) + 1);
}

// The width a column's values need on screen: the rows shown (a screenful from the top
// when the grid is hidden). Plain texts are measured with the font, as the style lays them
// out; a cell with an icon, a check box or its own font asks its delegate, far slower.
int AnchoValores(QTableView *rejilla, int columna) {
    const QAbstractItemModel *m = rejilla->model();
    const int filas = m->rowCount(rejilla->rootIndex());
    if (filas == 0) return 0;
    const int alto = std::max(1, rejilla->verticalHeader()->defaultSectionSize());
    const int pantalla = rejilla->viewport()->height() / alto + 1;
    int arriba = rejilla->isVisible() ? rejilla->rowAt(0) : 0;
    if (arriba < 0) arriba = 0;
    int abajo = rejilla->isVisible() ? rejilla->rowAt(rejilla->viewport()->height() - 1) : -1;
    if (abajo < 0) abajo = std::min(filas - 1, arriba + std::max(pantalla, 50));
    QStyleOptionViewItem opcion;
    opcion.initFrom(rejilla);
    opcion.font = rejilla->font();
    // Fractional advances, rounded up: a text rounded down is elided by a hair.
    const QFontMetricsF medidas(rejilla->font());
    const int margen = MargenCelda(rejilla);
    const QLocale idioma = rejilla->locale();
    int ancho = 0;
    for (int r = arriba; r <= abajo; ++r) {
        if (rejilla->isRowHidden(r)) continue;
        const QModelIndex i = m->index(r, columna, rejilla->rootIndex());
        QAbstractItemDelegate *delegado = rejilla->itemDelegateForIndex(i);
        auto *estilo = qobject_cast<QStyledItemDelegate *>(delegado);
        if (!estilo || i.data(Qt::DecorationRole).isValid() ||
            i.data(Qt::CheckStateRole).isValid() || i.data(Qt::FontRole).isValid()) {
            ancho = std::max(ancho, delegado->sizeHint(opcion, i).width());
            continue;
        }
        const QVariant valor = i.data(Qt::DisplayRole);
        if (!valor.isValid()) continue;
        for (const QString &linea : estilo->displayText(valor, idioma).split(u'\n'))
            ancho = std::max(ancho, int(std::ceil(medidas.horizontalAdvance(linea))) + margen);
    }
    return rejilla->showGrid() ? ancho + 1 : ancho;
}

// Keeps a grid's columns within its width (Screen::RepartirColumnas).
class RepartoColumnas : public QObject {
public:
    RepartoColumnas(QTableView *rejilla, const QList<int> &estrechables)
        : QObject(rejilla), rejilla_(rejilla), estrechables_(estrechables) {
        rejilla->horizontalHeader()->setStretchLastSection(true);
        rejilla->viewport()->installEventFilter(this);
        medida_.setSingleShot(true);
        connect(&medida_, &QTimer::timeout, this, &RepartoColumnas::Medir);
        Vigilar();
        Medir();
    }

protected:
    bool eventFilter(QObject *objeto, QEvent *evento) override {
        if (evento->type() == QEvent::Resize) Repartir();
        return QObject::eventFilter(objeto, evento);
    }

private:
    void Vigilar() {
        QAbstractItemModel *m = rejilla_->model();
        if (!m || m == modelo_) return;
        modelo_ = m;
        // Measured once the model's changes of this turn are over.
        const auto luego = [this] { medida_.start(0); };
        connect(m, &QAbstractItemModel::modelReset, this, luego);
        connect(m, &QAbstractItemModel::layoutChanged, this, luego);
        connect(m, &QAbstractItemModel::rowsInserted, this, luego);
        connect(m, &QAbstractItemModel::columnsInserted, this, luego);
        connect(m, &QAbstractItemModel::dataChanged, this, luego);
    }

    void Medir() {
        Vigilar();
        QHeaderView *cabecera = rejilla_->horizontalHeader();
        naturales_.clear();
        minimos_.clear();
        // A short value (a date, a number, a code) is never cut: only longer texts give up
        // room, each down to a dozen characters; past that the grid scrolls sideways.
        const QFontMetrics medidas(rejilla_->font());
        const int corto = std::max(medidas.horizontalAdvance(QStringLiteral("00/00/0000")),
                                   12 * medidas.averageCharWidth()) +
                          MargenCelda(rejilla_) + 1;
        for (int c = 0; c < cabecera->count(); ++c) {
            const int titulo = cabecera->sectionSizeHint(c);
            const int natural = std::max(titulo, AnchoValores(rejilla_, c));
            naturales_ << natural;
            minimos_ << std::max(titulo, std::min(natural, corto));
        }
        Repartir();
    }

    void Repartir() {
        QHeaderView *cabecera = rejilla_->horizontalHeader();
        const int n = int(naturales_.size());
        if (n == 0 || n != cabecera->count()) return;
        const int sitio = rejilla_->viewport()->width();
        QList<int> anchos = naturales_;
        int total = 0;
        for (int c = 0; c < n; ++c)
            if (!rejilla_->isColumnHidden(c)) total += anchos[c];
        if (total > sitio) {
            // The widest columns (of those that may be narrowed) give up room alike, down to a
            // common width that lets them all fit, each keeping at least its caption and a short
            // value whole.
            const auto ancho = [&](int c, int tope) {
                if (!estrechables_.isEmpty() && !estrechables_.contains(c)) return naturales_[c];
                return std::max(minimos_[c], std::min(naturales_[c], tope));
            };
            int bajo = 0, alto = *std::max_element(anchos.cbegin(), anchos.cend());
            while (bajo < alto) {
                const int tope = (bajo + alto + 1) / 2;
                int suma = 0;
                for (int c = 0; c < n; ++c)
                    if (!rejilla_->isColumnHidden(c)) suma += ancho(c, tope);
                if (suma <= sitio)
                    bajo = tope;
                else
                    alto = tope - 1;
            }
            for (int c = 0; c < n; ++c)
                anchos[c] = ancho(c, bajo);
        }
        // The header stretches the last one over whatever is left, never below the width
        // given here.
        for (int c = 0; c < n; ++c)
            if (!rejilla_->isColumnHidden(c)) cabecera->resizeSection(c, anchos[c]);
    }

    QTableView *rejilla_;
    const QList<int> estrechables_;
    QAbstractItemModel *modelo_ = nullptr;
    QTimer medida_;
    QList<int> naturales_, minimos_;
};

void Pintar(QWidget *w, const QColor &c) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    p.setColor(w->backgroundRole(), c); // Button for check boxes

    w->setPalette(p);
    w->setAutoFillBackground(true);
}
} // namespace

QColor Screen::Color(const QString &texto) {
    const quint32 v = texto.trimmed().toUInt();
    return QColor(int(v & 0xff), int((v >> 8) & 0xff), int((v >> 16) & 0xff));
}

void Screen::AplicarColores(QWidget *formulario, const QString &color) {
    const QColor c = Color(color);
    Pintar(formulario, c);
    for (QWidget *w : formulario->findChildren<QWidget *>()) {
        const bool marco =
            qobject_cast<QGroupBox *>(w) || qstrcmp(w->metaObject()->className(), "QFrame") == 0;
        if (marco || qobject_cast<QLabel *>(w) || qobject_cast<QCheckBox *>(w)) Pintar(w, c);
    }
}

void Screen::Centrar(QWidget *ventana) {
    QScreen *pantalla = ventana->screen() ? ventana->screen() : QGuiApplication::primaryScreen();
    if (!pantalla) return;
    const QRect r = pantalla->availableGeometry();
    const QSize s = ventana->frameGeometry().size().isEmpty() ? ventana->sizeHint()
                                                              : ventana->frameGeometry().size();
    ventana->move(r.x() + (r.width() - s.width()) / 2, r.y() + (r.height() - s.height()) / 2);
}

void Screen::setAreaPrincipal(QMdiArea *a) {
    area = a;
    if (!a) return;
    // A window larger than a small screen's area is reached by scrolling, not squeezed;
    // the area follows the focus, so that the keyboard never works on a hidden control.
    a->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    a->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QObject::connect(qApp, &QApplication::focusChanged, a, [a](QWidget *, QWidget *ahora) {
        QWidget *vista = a->viewport();
        if (!ahora || !vista->isAncestorOf(ahora)) return;
        const QRect r(ahora->mapTo(vista, QPoint(0, 0)), ahora->size());
        const auto seguir = [](QScrollBar *barra, int desde, int hasta, int largo) {
            if (desde < 0)
                barra->setValue(barra->value() + desde);
            else if (hasta > largo)
                barra->setValue(barra->value() + std::min(hasta - largo, desde));
        };
        seguir(a->horizontalScrollBar(), r.left(), r.right() + 1, vista->width());
        seguir(a->verticalScrollBar(), r.top(), r.bottom() + 1, vista->height());
    });
}
QMdiArea *Screen::AreaPrincipal() {
    return area;
}

void Screen::MostrarHijo(QWidget *formulario) {
    formulario->setAttribute(Qt::WA_DeleteOnClose);
    if (area) {
        // The size the form was designed at, not only the least its layout needs.
        const QSize disenado = formulario->size();
        QMdiSubWindow *sub = area->addSubWindow(formulario);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowTitle(formulario->windowTitle());
        sub->setWindowIcon(QApplication::windowIcon());
        sub->show();
        const QSize falta = (disenado - formulario->size()).expandedTo(QSize(0, 0));
        const QSize sitio = area->viewport()->size();
        // Never below what the form's layout needs: squeezed, its fields overlap and
        // cannot be read; the area scrolls to what does not fit.
        sub->resize((sub->size() + falta).boundedTo(sitio).expandedTo(sub->minimumSizeHint()));
        // Wholly inside the area: the place beside a window already open may lie partly
        // outside it, and a window larger than the area starts at its corner.
        sub->move(std::clamp(sub->x(), 0, std::max(0, sitio.width() - sub->width())),
                  std::clamp(sub->y(), 0, std::max(0, sitio.height() - sub->height())));
        area->setActiveSubWindow(sub);
    } else {
        formulario->show();
    }
    formulario->activateWindow();
}

void Screen::TraerAlFrente(QWidget *formulario) {
    if (auto *sub = qobject_cast<QMdiSubWindow *>(formulario->parentWidget()))
        if (QMdiArea *area = sub->mdiArea()) area->setActiveSubWindow(sub);
    formulario->activateWindow();
}

void Screen::CerrarHijo(QWidget *formulario) {
    if (auto *sub = qobject_cast<QMdiSubWindow *>(formulario->parentWidget()))
        sub->close();
    else
        formulario->close();
}

void Screen::RepartirColumnas(QTableView *rejilla, const QList<int> &estrechables) {
    new RepartoColumnas(rejilla, estrechables);
}

int Screen::MostrarModal(QDialog *dialogo) {
    dialogo->setWindowModality(Qt::ApplicationModal);
    return dialogo->exec();
}

void Screen::Teclado(QWidget *formulario, QAbstractButton *salida) {
    formulario->installEventFilter(new TecladoFormulario(formulario, salida));
    ModBaseDatos::LimitarTextos(formulario);
}

class Screen::RetenerFormulario::Filtro : public QObject {
public:
    Filtro(QWidget *formulario, QWidget *dialogo) : dialogo_(dialogo) {
        for (QWidget *w = formulario; w; w = w->parentWidget()) {
            w->installEventFilter(this);
            vigilados_ << w;
        }
    }
    ~Filtro() override {
        for (const QPointer<QWidget> &w : std::as_const(vigilados_))
            if (w) w->removeEventFilter(this);
        // Back to the event loop of the code that closed them.
        for (const QPointer<QObject> &o : std::as_const(retenidos_))
            if (o) o->deleteLater();
    }
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() != QEvent::DeferredDelete) return false;
        if (!retenidos_.contains(o)) retenidos_ << QPointer<QObject>(o);
        o->setProperty(kCerrandose, true);
        if (auto *d = qobject_cast<QDialog *>(dialogo_.data()))
            d->reject();
        else if (dialogo_)
            dialogo_->close();
        return true;
    }
    bool Cerrado() const { return !retenidos_.isEmpty(); }

private:
    QPointer<QWidget> dialogo_;
    QList<QPointer<QWidget>> vigilados_;
    QList<QPointer<QObject>> retenidos_;
};

Screen::RetenerFormulario::RetenerFormulario(QWidget *formulario, QWidget *dialogo)
    : filtro_(new Filtro(formulario, dialogo)) {}

Screen::RetenerFormulario::~RetenerFormulario() {
    delete filtro_;
}

bool Screen::RetenerFormulario::Cerrado() const {
    return filtro_->Cerrado();
}

bool Screen::Cerrandose(const QWidget *formulario) {
    for (const QWidget *w = formulario; w; w = w->parentWidget())
        if (w->property(kCerrandose).toBool()) return true;
    return false;
}

QWidgetList Screen::VentanasAbiertas() {
    QWidgetList lista;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isWindow() && !w->inherits("QMenu")) lista << w;
    if (area)
        for (QMdiSubWindow *s : area->subWindowList())
            if (s->widget()) lista << s->widget();
    return lista;
}

QWidget *Screen::BuscarFormulario(const QString &nombre) {
    for (QWidget *w : VentanasAbiertas())
        if (w->objectName() == nombre) return w;
    return nullptr;
}

Screen::RelojArena::RelojArena() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}
Screen::RelojArena::~RelojArena() {
    QApplication::restoreOverrideCursor();
}

void Screen::Pitido() {
    ++pitidos;
    QApplication::beep();
}
int Screen::Pitidos() {
    return pitidos;
}
