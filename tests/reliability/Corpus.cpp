#include "Corpus.h"

#include "data/ModBaseDatos.h"
#include "support/User.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimeEdit>

using namespace Qt::StringLiterals;

namespace {

QLineEdit *Linea(QWidget *campo) {
    if (auto *lista = qobject_cast<QComboBox *>(campo)) return lista->lineEdit();
    if (auto *caja = qobject_cast<QAbstractSpinBox *>(campo)) return caja->findChild<QLineEdit *>();
    return qobject_cast<QLineEdit *>(campo);
}

void Ctrl(QWidget *destino, Qt::Key tecla) {
    QTest::keyClick(destino, tecla, Qt::ControlModifier);
}

// Where keys go: a list or a spin box takes them itself and hands them to its line edit.
QWidget *Destino(QWidget *campo) {
    User::Activar(campo);
    campo->setFocus(Qt::MouseFocusReason);
    // A check of the field left may take the focus back: the keys then go where it is.
    QWidget *foco = QApplication::focusWidget();
    if (foco && foco != campo && !campo->isAncestorOf(foco)) return foco;
    return campo;
}

// Ctrl+A; where the field refuses it (digit-only fields take no such key), the user selects
// with the mouse instead.
void SeleccionarTodo(QWidget *destino) {
    Ctrl(destino, Qt::Key_A);
    QLineEdit *linea = Linea(destino);
    if (linea && linea->selectedText() != linea->text()) linea->selectAll();
}

// A description of n characters, as a long field note would read.
QString Largo(int n) {
    return u"Rana común cantando en la charca, junto a la orilla. "_s.repeated(n / 50 + 1).left(n);
}

void Teclear(QWidget *campo, const QString &texto) {
    QWidget *destino = Destino(campo);
    SeleccionarTodo(destino);
    if (texto.isEmpty()) return QTest::keyClick(destino, Qt::Key_Delete);
    // Each key lays the whole text out again: past a thousand characters the rest is pasted
    // at the cursor, as a user would, to keep the test from growing with the square.
    const qsizetype tecleado = 1000;
    for (const char32_t c : QStringView(texto).left(tecleado).toUcs4()) {
        if (c >= 32 && c < 127) {
            QTest::keyClick(destino, char(c));
            continue;
        }
        for (const auto tipo : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent tecla(tipo, Qt::Key_unknown, Qt::NoModifier, QString::fromUcs4(&c, 1));
            QApplication::sendEvent(destino, &tecla);
        }
    }
    if (texto.size() > tecleado) {
        QGuiApplication::clipboard()->setText(texto.mid(tecleado));
        Ctrl(destino, Qt::Key_V);
    }
}

} // namespace

QList<Corpus::Entrada> Corpus::Para(QWidget *campo) {
    // Texts as "name=text|...", in order with those built here.
    const auto anadir = [](QList<Entrada> &r, const QString &pares) {
        for (const QString &p : pares.split(u'|'))
            r << Entrada{p.section(u'=', 0, 0), p.section(u'=', 1)};
    };
    QList<Entrada> r = {{u"vacio"_s, QString()}};
    anadir(r, u"comilla=O'Neill|comillas_dobles=\"Bufo\" 'x'|acento_agudo=It´s|"
              "punto_y_coma=a;b';DROP TABLE observacion;--|porcentaje=%|subrayado=_|asterisco=*|"
              "comodines=%_*?[a]\\|salto_linea=ab\ncd|retorno_carro=ab\r\ncd|tabulador=a\tb"_s);
    r << Entrada{u"control"_s, u"a\x01\x07\x1b"_s + QChar(0) + u"b"_s}
      << Entrada{u"largo_10000"_s, QString(10000, u'x')};
    anadir(r,
           u"emoji_en_7=ABCDEF🐸|emoji=🐸🦎|derecha_izquierda=\u202Eabc\u202C \u200Fשלום|"
           "invisibles=\uFEFFa\u200Bb|combinado=A\u0301vila ñ"_s);
    anadir(r, u"blancos_alrededor= AB12 |solo_blancos=   |no_digitos=12a3|negativo=-1|"
              "exponente=1e5|digitos_arabes=١٢٣|digitos_anchos=１２|ceros=000123|cero=0|"
              "int32_mas_1=2147483648|uint32_mas_1=4294967296|int64_mas_1=9223372036854775808|"
              "veinte_nueves=99999999999999999999|fecha_max=31/12/3000|fecha_min=01/01/1900|"
              "fecha_fuera=31/12/1899|bisiesto_falso=29/02/2023|hora_max=23:59|hora_fuera=24:00|"
              "html=<b>x</b>&amp;|nulo_texto=NULL"_s);
    // The longest description or name, and one character more: taken whole, or refused
    // whole and told; never cut (Qt's own limit would cut at 32767).
    r << Entrada{u"largo_maximo"_s, Largo(ModBaseDatos::kMaximoTexto)}
      << Entrada{u"largo_maximo_mas_1"_s, Largo(ModBaseDatos::kMaximoTexto + 1)};
    // Typed and pasted as the rest: the text a field cuts at its length.
    if (const QLineEdit *linea = Linea(campo); linea && linea->maxLength() < 32767) {
        const int n = linea->maxLength() + 1;
        r << Entrada{u"letras_max_mas_1"_s,
                     u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"_s.repeated(n / 26 + 1).left(n)}
          << Entrada{u"digitos_max_mas_1"_s, u"123456789"_s.repeated(n / 9 + 1).left(n)};
    }
    return r;
}

void Corpus::Pegar(QWidget *campo, const QString &texto) {
    QGuiApplication::clipboard()->setText(texto);
    QWidget *destino = Destino(campo);
    SeleccionarTodo(destino);
    Ctrl(destino, Qt::Key_V);
}

void Corpus::PegarPortapapeles(QWidget *campo) {
    Ctrl(Destino(campo), Qt::Key_V);
}

QWidget *Corpus::Cortar(QWidget *campo) {
    QWidget *destino = Destino(campo);
    SeleccionarTodo(destino);
    Ctrl(destino, Qt::Key_X);
    return destino;
}

void Corpus::Introducir(QWidget *campo, const QString &texto, Modo modo) {
    if (modo == Modo::Pegado) return Pegar(campo, texto);
    Teclear(campo, texto);
    if (modo == Modo::Cortado) Cortar(campo);
}

QString Corpus::Mostrado(const QWidget *control) {
    if (auto *c = qobject_cast<const QLineEdit *>(control)) return c->text();
    if (auto *c = qobject_cast<const QComboBox *>(control)) return c->currentText();
    if (auto *c = qobject_cast<const QCheckBox *>(control)) return c->isChecked() ? u"1"_s : u"0"_s;
    if (auto *c = qobject_cast<const QTimeEdit *>(control)) return c->time().toString(u"HH:mm"_s);
    if (auto *c = qobject_cast<const QDateEdit *>(control)) return c->date().toString(Qt::ISODate);
    if (auto *c = qobject_cast<const QLabel *>(control)) return c->text();
    return {};
}

QList<QWidget *> Corpus::Campos(QWidget *formulario) {
    QList<QWidget *> r;
    for (QWidget *w : formulario->findChildren<QWidget *>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(u"qt_"_s)) continue;
        const bool texto =
            (qobject_cast<QLineEdit *>(w) && !qobject_cast<QLineEdit *>(w)->isReadOnly() &&
             !qobject_cast<QComboBox *>(w->parentWidget()) &&
             !qobject_cast<QAbstractSpinBox *>(w->parentWidget())) ||
            (qobject_cast<QComboBox *>(w) && qobject_cast<QComboBox *>(w)->isEditable()) ||
            qobject_cast<QAbstractSpinBox *>(w);
        if (texto && !w->isHidden()) r << w;
    }
    return r;
}
