#include "gui/KeyFilters.h"

#include "data/ModBaseDatos.h"
#include "gui/MessageService.h"
#include "gui/Screen.h"

#include <QAbstractSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QValidator>
#include <algorithm>

void ModBaseDatos::SoloNumeros(int &keyAscii) {
    if (keyAscii == 8 || keyAscii == 3 || keyAscii == 22 || keyAscii == 24) return;
    if (keyAscii >= '0' && keyAscii <= '9') return;
    keyAscii = 0;
    Screen::Pitido();
}

// The character code a key-press would have (0 for keys that make no character).
int ModBaseDatos::CodigoCaracter(const QKeyEvent *e) {
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
int ModBaseDatos::CodigoTecla(const QKeyEvent *e) {
    if (e->key() == Qt::Key_Delete) return 46;
    if (e->key() == Qt::Key_Backspace) return 8;
    return e->key() & 0xffff;
}

namespace {

class FiltroDigitos : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() != QEvent::KeyPress) return QObject::eventFilter(o, e);
        auto *k = static_cast<QKeyEvent *>(e);
        int codigo = ModBaseDatos::CodigoCaracter(k);
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
