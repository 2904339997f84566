#include "gui/Completion.h"

#include "gui/KeyFilters.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

bool ModBaseDatos::BorrandoTexto = false;
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

namespace {

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
            ModBaseDatos::TeclaSuprimir(ModBaseDatos::CodigoTecla(k));
            if (const int c = ModBaseDatos::CodigoCaracter(k)) ModBaseDatos::TeclaRetroceso(c);
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

} // namespace

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
