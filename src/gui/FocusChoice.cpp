#include "gui/FocusChoice.h"

#include "gui/MessageService.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QHash>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QStringListModel>
#include <QTimer>

namespace {

// Each run of a choice or lost-focus handler is one user action.
std::function<void()> ComoAccion(std::function<void()> manejador) {
    return [manejador = std::move(manejador)] {
        const MessageService::UserAction accion;
        manejador();
    };
}

class FiltroEleccion : public QObject {
public:
    FiltroEleccion(QComboBox *lista, std::function<void()> manejador)
        : QObject(lista), manejador_(std::move(manejador)) {
        QObject::connect(lista, &QComboBox::currentIndexChanged, this, [this](int i) {
            if (i < 0) return;
            pendiente_ = true;
            manejador_();
        });
        // A user's choice arrives as a change followed by activated; a choice of the item
        // already selected arrives as activated alone.
        QObject::connect(lista, &QComboBox::activated, this, [this](int) {
            if (pendiente_) {
                pendiente_ = false;
                return;
            }
            manejador_();
        });
    }
    void Reiniciar() { pendiente_ = false; }
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::KeyPress)
            pendiente_ = false;
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> manejador_;
    bool pendiente_ = false;
};

// Swallows the mouse press that is on its way to a button, then goes: at the next press or
// key anywhere, or when the program waits for the user again.
class PulsacionComida : public QObject {
public:
    explicit PulsacionComida(QWidget *boton) : QObject(boton), boton_(boton) {
        qApp->installEventFilter(this);
        QTimer::singleShot(0, this, [this] { Terminar(); });
    }
    bool eventFilter(QObject *o, QEvent *e) override {
        if (!o->isWidgetType()) return false;
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            Terminar();
            return o == boton_;
        case QEvent::KeyPress:
            Terminar();
            return false;
        default:
            return false;
        }
    }

private:
    void Terminar() {
        qApp->removeEventFilter(this);
        deleteLater();
    }
    QObject *boton_;
};

class FiltroFoco : public QObject {
public:
    FiltroFoco(QWidget *control, std::function<void()> manejador)
        : QObject(control), control_(control), manejador_(std::move(manejador)) {}
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() == QEvent::FocusOut && !dentro_) {
            const auto razon = static_cast<QFocusEvent *>(e)->reason();
            QWidget *nuevo = QApplication::focusWidget();
            const bool sigueDentro = nuevo && (nuevo == control_ || control_->isAncestorOf(nuevo));
            // A control that is being hidden or destroyed with its form is not being left.
            if (razon != Qt::ActiveWindowFocusReason && razon != Qt::PopupFocusReason &&
                !sigueDentro && control_->isVisible()) {
                dentro_ = true;
                QPointer<QObject> vivo(this);
                QPointer<QWidget> destino(nuevo);
                const qsizetype mensajes = MessageService::Mostrados().size();
                manejador_();
                if (vivo) dentro_ = false;
                // A click on a button that made the check speak does not go on: the user
                // reads the message and the form as it now is, and clicks again when ready.
                if (destino && qobject_cast<QAbstractButton *>(destino.data()) &&
                    MessageService::Mostrados().size() != mensajes)
                    new PulsacionComida(destino);
            }
        }
        return QObject::eventFilter(o, e);
    }

private:
    QWidget *control_;
    std::function<void()> manejador_;
    bool dentro_ = false;
};

} // namespace

void ModBaseDatos::AlElegir(QComboBox *lista, std::function<void()> manejador) {
    auto *filtro = new FiltroEleccion(lista, ComoAccion(std::move(manejador)));
    filtro->setObjectName(QStringLiteral("eleccion"));
    lista->installEventFilter(filtro);
    if (lista->lineEdit()) lista->lineEdit()->installEventFilter(filtro);
}

void ModBaseDatos::ElegirComoUsuario(QComboBox *lista, int indice) {
    for (auto *f :
         lista->findChildren<QObject *>(QStringLiteral("eleccion"), Qt::FindDirectChildrenOnly))
        static_cast<FiltroEleccion *>(f)->Reiniciar();
    lista->setCurrentIndex(indice);
    emit lista->activated(indice);
}

void ModBaseDatos::AlPerderFoco(QWidget *control, std::function<void()> manejador) {
    control->installEventFilter(new FiltroFoco(control, ComoAccion(std::move(manejador))));
}

void ModBaseDatos::Vaciar(QComboBox *lista, const QString &texto) {
    const QSignalBlocker bloqueo(lista);
    lista->setCurrentIndex(-1);
    if (lista->isEditable()) lista->setEditText(texto);
}

bool ModBaseDatos::EsItem(const QComboBox *lista, const QString &texto) {
    return lista->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0;
}

bool ModBaseDatos::ComprobarLista(QWidget *padre, QComboBox *lista, const QString &que) {
    const QString texto = lista->currentText();
    if (EsItem(lista, texto)) return false;
    Vaciar(lista);
    if (texto.isEmpty()) return false;
    MessageService::Mostrar(
        padre,
        QStringLiteral("«%1» no es ningún %2 de la lista: elija uno de ella.").arg(texto, que),
        QStringLiteral("Datos incorrectos"), QMessageBox::Warning);
    return true;
}

void ModBaseDatos::PonerTexto(QComboBox *lista, const QString &texto) {
    const int i = lista->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0) {
        lista->setCurrentIndex(i);
        return;
    }
    lista->setCurrentIndex(-1);
    if (lista->isEditable()) lista->setEditText(texto);
}

namespace {
// A list's items in one string list, and what each carries (Qt::UserRole) in another: filled
// in one step, where item by item is slow for long lists. Other roles a form sets on an item
// (setItemData) are kept too.
class ListModel : public QStringListModel {
public:
    using QStringListModel::QStringListModel;
    QVariantList datos;
    QHash<QPair<int, int>, QVariant> otros; // (row, role)
    QVariant data(const QModelIndex &i, int rol) const override {
        if (const auto v = otros.find({i.row(), rol}); v != otros.end()) return *v;
        if (rol == Qt::UserRole) return i.row() < datos.size() ? datos[i.row()] : QVariant();
        return QStringListModel::data(i, rol);
    }
    bool setData(const QModelIndex &i, const QVariant &v, int rol) override {
        if (rol == Qt::DisplayRole || rol == Qt::EditRole)
            return QStringListModel::setData(i, v, rol);
        if (!i.isValid()) return false;
        otros.insert({i.row(), rol}, v);
        emit dataChanged(i, i, {rol});
        return true;
    }
};
} // namespace

void ModBaseDatos::Rellenar(QComboBox *lista, const QStringList &items, const QVariantList &datos) {
    const QSignalBlocker bloqueo(lista);
    auto *modelo = dynamic_cast<ListModel *>(lista->model());
    if (!modelo) {
        modelo = new ListModel(lista);
        lista->setModel(modelo);
    }
    modelo->datos = datos;
    modelo->otros.clear();
    modelo->setStringList(items);
    lista->setCurrentIndex(-1);
    if (lista->isEditable()) lista->setEditText(QString());
}
