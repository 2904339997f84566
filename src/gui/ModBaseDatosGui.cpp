#include "gui/ModBaseDatosGui.h"

#include "data/ColumnTable.h"
#include "data/ModBaseDatos.h"
#include "data/ModConex.h"
#include "data/SpreadsheetWriter.h"
#include "data/Store.h"
#include "gui/ChoiceService.h"
#include "gui/MessageService.h"
#include "gui/Progreso.h"
#include "gui/Screen.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QStandardPaths>
#include <QStringListModel>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QValidator>
#include <algorithm>

bool ModBaseDatos::BorrandoTexto = false;

void ModBaseDatos::SoloNumeros(int &keyAscii) {
    if (keyAscii == 8 || keyAscii == 3 || keyAscii == 22 || keyAscii == 24) return;
    if (keyAscii >= '0' && keyAscii <= '9') return;
    keyAscii = 0;
    Screen::Pitido();
}

void ModBaseDatos::TeclaSuprimir(int keyCode) {
    BorrandoTexto = (keyCode == 46);
}

void ModBaseDatos::TeclaRetroceso(int keyAscii) {
    BorrandoTexto = (keyAscii == 8);
}

void ModBaseDatos::Autocompletar(const QString &texto, QComboBox *lista) {
    // An emptied list stays empty: completing nothing would choose the first item, which
    // the user never chose.
    if (BorrandoTexto || !lista || texto.isEmpty()) return;
    const qsizetype n = texto.size();
    for (int i = 0; i < lista->count(); ++i) {
        const QString item = lista->itemText(i);
        if (item.left(n).compare(texto, Qt::CaseInsensitive) != 0) continue;
        lista->setCurrentIndex(i);
        lista->setEditText(item);
        if (QLineEdit *edit = lista->lineEdit()) edit->setSelection(int(n), int(item.size() - n));
        return;
    }
}

bool ModBaseDatos::CrearArchivoTexto(QSqlQuery *consulta, const QString &ruta, bool cabecera,
                                     const QString &separador, QWidget *padre, int *sustituidos) {
    QString error;
    if (EscribirArchivoTexto(consulta, ruta, cabecera, separador, &error, sustituidos)) return true;
    MessageService::Mostrar(padre, error, QStringLiteral("Crear archivo de texto"),
                            QMessageBox::Warning);
    return false;
}

void ModBaseDatos::CrearHojaCalculo(QWidget *padre, const QString &nombre,
                                    const ColumnTable &columnas,
                                    const std::function<QSqlQuery()> &leer) {
    const QString titulo = QStringLiteral("Exportar a MS Excel");
    const QString propuesto =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(
                QStringLiteral("%1 %2.xlsx")
                    .arg(nombre, QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
    QString ruta = ChoiceService::ArchivoParaGuardar(padre, titulo, propuesto,
                                                     QStringLiteral("Libro de Excel (*.xlsx)"));
    if (ruta.isEmpty()) return;
    if (QFileInfo(ruta).suffix().compare(QStringLiteral("xlsx"), Qt::CaseInsensitive) != 0) {
        ruta += QStringLiteral(".xlsx");
        // The dialog asked about the name without the extension, not about this file.
        if (QFileInfo::exists(ruta) &&
            MessageService::Mostrar(padre,
                                    QStringLiteral("El archivo ") + QDir::toNativeSeparators(ruta) +
                                        QStringLiteral(" ya existe. ¿Desea reemplazarlo?"),
                                    titulo, QMessageBox::Question,
                                    QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::No) != QMessageBox::Yes)
            return;
    }
    QString error;
    bool ok = false;
    {
        Screen::RelojArena reloj;
        Progreso progreso(padre, QStringLiteral("Guardando la hoja de cálculo..."));
        QSqlQuery consulta = leer();
        ok = EscribirHojaCalculo(consulta, columnas, ruta, &error, progreso.avance());
    }
    // Stopped by the user: nothing was written, and that needs no message.
    if (!ok && error == Avances::kCancelado) return;
    if (!ok) {
        MessageService::Mostrar(padre, error, titulo, QMessageBox::Warning);
        return;
    }
    if (!ChoiceService::Abrir(QUrl::fromLocalFile(ruta)))
        MessageService::Mostrar(padre,
                                QStringLiteral("La hoja de cálculo se ha guardado en %1, pero no "
                                               "hay ningún programa que pueda abrirla.")
                                    .arg(QDir::toNativeSeparators(ruta)),
                                titulo, QMessageBox::Information);
}

namespace {

// The character code a key-press would have (0 for keys that make no character).
int CodigoCaracter(const QKeyEvent *e) {
    if (e->key() == Qt::Key_Backspace) return 8;
    if (e->modifiers() & Qt::ControlModifier) {
        switch (e->key()) {
        case Qt::Key_C:
            return 3;
        case Qt::Key_V:
            return 22;
        case Qt::Key_X:
            return 24;
        default:
            break;
        }
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) return 13;
    if (e->key() == Qt::Key_Escape) return 27;
    const QString t = e->text();
    return t.isEmpty() ? 0 : t[0].unicode();
}

// The key code a key-down would carry; only Delete matters to the deleting flag.
int CodigoTecla(const QKeyEvent *e) {
    if (e->key() == Qt::Key_Delete) return 46;
    if (e->key() == Qt::Key_Backspace) return 8;
    return e->key() & 0xffff;
}

class FiltroDigitos : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() != QEvent::KeyPress) return QObject::eventFilter(o, e);
        auto *k = static_cast<QKeyEvent *>(e);
        int codigo = CodigoCaracter(k);
        // Only characters are filtered: keys that move the focus or act on the form (Tab,
        // Enter, Escape, arrows, function keys, shortcuts) make none and go on.
        const bool atajo =
            k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (codigo == 0 || (codigo != 8 && (codigo < 32 || codigo == 127)) ||
            (atajo && codigo >= 32))
            return false;
        ModBaseDatos::SoloNumeros(codigo);
        return codigo == 0;
    }
};

class FiltroCompletable : public QObject {
public:
    explicit FiltroCompletable(QComboBox *lista) : QObject(lista), lista_(lista) {
        setObjectName(QStringLiteral("completable"));
        QObject::connect(lista, &QComboBox::editTextChanged, this, [this](const QString &t) {
            if (ocupado_) return;
            ocupado_ = true;
            if (soloPrincipio_)
                CompletarPrincipio(t);
            else
                ModBaseDatos::Autocompletar(t, lista_);
            ocupado_ = false;
        });
    }
    bool soloPrincipio_ = false;
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() == QEvent::KeyPress) {
            auto *k = static_cast<QKeyEvent *>(e);
            ModBaseDatos::TeclaSuprimir(CodigoTecla(k));
            if (const int c = CodigoCaracter(k)) ModBaseDatos::TeclaRetroceso(c);
            // Cutting deletes too: what is left must not be completed back.
            if (k->matches(QKeySequence::Cut)) ModBaseDatos::BorrandoTexto = true;
        }
        return QObject::eventFilter(o, e);
    }

private:
    void CompletarPrincipio(const QString &t) {
        // The head the last completion showed stands for the letters the user typed there,
        // also when the user has deleted back into it.
        QString escrito = t, cabeza, letras;
        if (!cabeza_.isEmpty() && t.startsWith(cabeza_)) {
            cabeza = cabeza_;
            letras = escrito_;
        } else if (!t.isEmpty() && cabeza_.startsWith(t)) {
            cabeza = t;
            letras = escrito_.left(t.size());
        }
        if (!cabeza.isEmpty()) escrito = letras + t.mid(cabeza.size());
        cabeza_.clear();
        escrito_.clear();
        const qsizetype n = escrito.size();
        bool sigue = false;
        for (int i = 0; i < lista_->count() && !sigue && n > 0; ++i)
            sigue = lista_->itemText(i).left(n).compare(escrito, Qt::CaseInsensitive) == 0;
        if (sigue) {
            // A deletion completes nothing; the head shown still stands for the user's letters.
            if (ModBaseDatos::BorrandoTexto) {
                cabeza_ = cabeza;
                escrito_ = letras;
                return;
            }
            ModBaseDatos::Autocompletar(escrito, lista_);
            cabeza_ = lista_->currentText().left(n);
            escrito_ = escrito;
            return;
        }
        // No item begins so: the user is typing something else (a name), which no item's
        // completion may change or stand for.
        if (lista_->currentIndex() < 0 && escrito == t) return;
        QLineEdit *edit = lista_->lineEdit();
        const int cursor = edit ? edit->cursorPosition() : 0;
        lista_->setCurrentIndex(-1);
        lista_->setEditText(escrito);
        if (edit) edit->setCursorPosition(escrito == t ? cursor : int(escrito.size()));
    }

    QComboBox *lista_;
    bool ocupado_ = false;
    QString cabeza_, escrito_; // the completed head shown, and what the user typed for it
};

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

class LimiteLongitud : public QValidator {
public:
    LimiteLongitud(QLineEdit *campo, int maximo)
        : QValidator(campo), campo_(campo), maximo_(maximo), anterior_(campo->text()) {
        QObject::connect(campo, &QLineEdit::textChanged, this,
                         [this](const QString &t) { anterior_ = t; });
    }
    State validate(QString &texto, int &) const override {
        const qsizetype n = Caracteres(texto);
        if (n <= maximo_) return Acceptable;
        // Only the user's own edits that lengthen the text are refused: text the program
        // sets arrives with the undo history cleared, and shortening an overlong text helps.
        const qsizetype anadidos = n - Caracteres(anterior_);
        if (anadidos <= 0 || !campo_->isUndoAvailable()) return Acceptable;
        if (anadidos == 1) {
            Screen::Pitido();
        } else {
            // After the edit is undone: a box opened inside the line edit's own change
            // would show it the refused text meanwhile.
            const int maximo = maximo_;
            QPointer<QLineEdit> campo = campo_;
            QTimer::singleShot(0, campo_, [campo, maximo] {
                if (!campo) return;
                MessageService::Mostrar(campo->window(),
                                        QStringLiteral("El texto pegado no cabe en el campo: "
                                                       "admite como máximo %1 caracteres.")
                                            .arg(maximo),
                                        QStringLiteral("Tritodex"), QMessageBox::Warning);
            });
        }
        return Invalid;
    }

private:
    static qsizetype Caracteres(const QString &t) { return t.toUcs4().size(); }
    QLineEdit *campo_;
    int maximo_;
    QString anterior_;
};

} // namespace

void ModBaseDatos::LimitarLongitud(QLineEdit *campo, int maximo) {
    // Qt's own limit counts UTF-16 units and cuts silently: it is kept above ours (a
    // character may take two units), so that only the validator refuses, and says why.
    campo->setMaxLength(std::max(32767, 2 * maximo + 2));
    campo->setValidator(new LimiteLongitud(campo, maximo));
}

void ModBaseDatos::LimitarTextos(QWidget *formulario) {
    for (QLineEdit *campo : formulario->findChildren<QLineEdit *>()) {
        // A limit of its own, or a spin box's text, which its own format bounds.
        if (campo->validator() || campo->maxLength() < 32767 ||
            qobject_cast<QAbstractSpinBox *>(campo->parentWidget()))
            continue;
        LimitarLongitud(campo, kMaximoTexto);
    }
}

void ModBaseDatos::FiltrarDigitos(QLineEdit *campo) {
    campo->installEventFilter(new FiltroDigitos(campo));
}

void ModBaseDatos::HacerCompletable(QComboBox *lista, bool soloPrincipio) {
    if (auto *hecho = lista->findChild<QObject *>(QStringLiteral("completable"),
                                                  Qt::FindDirectChildrenOnly)) {
        static_cast<FiltroCompletable *>(hecho)->soloPrincipio_ = soloPrincipio;
        return;
    }
    lista->setEditable(true);
    lista->setCompleter(nullptr);
    lista->setInsertPolicy(QComboBox::NoInsert);
    auto *filtro = new FiltroCompletable(lista);
    filtro->soloPrincipio_ = soloPrincipio;
    lista->installEventFilter(filtro);
    if (lista->lineEdit()) lista->lineEdit()->installEventFilter(filtro);
}

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
// in one step, where item by item is slow for long lists.
// A list's items in one step, each with its value; other roles a form sets on an item
// (setItemData) are kept too.
class ModeloLista : public QStringListModel {
public:
    using QStringListModel::QStringListModel;
    QStringList datos;
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

void ModBaseDatos::Rellenar(QComboBox *lista, const QStringList &items, const QStringList &datos) {
    const QSignalBlocker bloqueo(lista);
    auto *modelo = dynamic_cast<ModeloLista *>(lista->model());
    if (!modelo) {
        modelo = new ModeloLista(lista);
        lista->setModel(modelo);
    }
    modelo->datos = datos;
    modelo->otros.clear();
    modelo->setStringList(items);
    lista->setCurrentIndex(-1);
    if (lista->isEditable()) lista->setEditText(QString());
}

bool ModBaseDatos::InformarError(QWidget *padre, Store &almacen) {
    if (!almacen.fallo()) return false;
    MessageService::MostrarFallo(padre, almacen.error());
    almacen.Limpiar();
    return true;
}

void ModBaseDatos::CargarRejilla(QTableView *rejilla, QSqlQueryModel *modelo, QSqlQuery consulta,
                                 const ColumnTable &columnas, QString actual) {
    if (consulta.isActive()) {
        modelo->setQuery(std::move(consulta));
        while (modelo->canFetchMore())
            modelo->fetchMore();
    } else {
        modelo->clear();
    }
    const QStringList titulos = columnas.Titulos();
    for (int i = 0; i < titulos.size() && i < modelo->columnCount(); ++i)
        modelo->setHeaderData(i, Qt::Horizontal, titulos[i]);
    int fila = -1;
    for (int r = 0; !actual.isEmpty() && r < modelo->rowCount() && fila < 0; ++r)
        if (modelo->index(r, 0).data().toString() == actual) fila = r;
    if (fila >= 0)
        rejilla->setCurrentIndex(modelo->index(fila, 0));
    else
        rejilla->selectionModel()->clear();
}

bool ModBaseDatos::Conectar(QWidget *padre) {
    bool ok = ModConex::Conectar();
    while (!ok && ModConex::EsServidor() && ModConex::FaltaContrasena()) {
        ModConex::Servidor s = *ModConex::ServidorActual();
        const auto contrasena = ChoiceService::Contrasena(
            padre, QStringLiteral("%1 en el servidor %2").arg(s.usuario, s.Descripcion()));
        if (!contrasena) break;
        s.contrasena = *contrasena;
        ModConex::setServidor(s);
        ok = ModConex::Conectar();
    }
    return ok;
}
