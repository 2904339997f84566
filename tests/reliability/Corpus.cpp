#include "Corpus.h"

#include "data/ModBaseDatos.h"

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
    QWidget *ventana = campo->window();
    if (!ventana->isVisible()) ventana->show();
    if (!ventana->isActiveWindow()) {
        ventana->activateWindow();
        QApplication::setActiveWindow(ventana);
    }
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
    const QString frase = u"Rana común cantando en la charca, junto a la orilla. "_s;
    QString r;
    r.reserve(n + frase.size());
    while (r.size() < n)
        r += frase;
    r.truncate(n);
    return r;
}

} // namespace

QString Corpus::NombreModo(Modo modo) {
    static const char *const nombres[] = {"tecleado", "pegado", "cortado"};
    return QLatin1String(nombres[int(modo)]);
}

QList<Corpus::Entrada> Corpus::Para(QWidget *campo) {
    QList<Entrada> r = {
        {u"vacio"_s, QString()},
        {u"comilla"_s, u"O'Neill"_s},
        {u"comillas_dobles"_s, u"\"Bufo\" 'x'"_s},
        {u"acento_agudo"_s, u"It´s"_s},
        {u"punto_y_coma"_s, u"a;b';DROP TABLE observacion;--"_s},
        {u"porcentaje"_s, u"%"_s},
        {u"subrayado"_s, u"_"_s},
        {u"asterisco"_s, u"*"_s},
        {u"comodines"_s, u"%_*?[a]\\"_s},
        {u"salto_linea"_s, u"ab\ncd"_s},
        {u"retorno_carro"_s, u"ab\r\ncd"_s},
        {u"tabulador"_s, u"a\tb"_s},
        {u"control"_s, u"a\x01\x07\x1b"_s + QChar(0) + u"b"_s},
        {u"largo_10000"_s, QString(10000, u'x')},
        {u"emoji_en_7"_s, u"ABCDEF🐸"_s},
        {u"emoji"_s, u"🐸🦎"_s},
        {u"derecha_izquierda"_s, u"\u202Eabc\u202C \u200Fשלום"_s},
        {u"invisibles"_s, u"\uFEFFa\u200Bb"_s},
        {u"combinado"_s, u"A\u0301vila ñ"_s},
        {u"blancos_alrededor"_s, u" AB12 "_s},
        {u"solo_blancos"_s, u"   "_s},
        {u"no_digitos"_s, u"12a3"_s},
        {u"negativo"_s, u"-1"_s},
        {u"exponente"_s, u"1e5"_s},
        {u"digitos_arabes"_s, u"١٢٣"_s},
        {u"digitos_anchos"_s, u"１２"_s},
        {u"ceros"_s, u"000123"_s},
        {u"cero"_s, u"0"_s},
        {u"int32_mas_1"_s, u"2147483648"_s},
        {u"uint32_mas_1"_s, u"4294967296"_s},
        {u"int64_mas_1"_s, u"9223372036854775808"_s},
        {u"veinte_nueves"_s, u"99999999999999999999"_s},
        {u"fecha_max"_s, u"31/12/3000"_s},
        {u"fecha_min"_s, u"01/01/1900"_s},
        {u"fecha_fuera"_s, u"31/12/1899"_s},
        {u"bisiesto_falso"_s, u"29/02/2023"_s},
        {u"hora_max"_s, u"23:59"_s},
        {u"hora_fuera"_s, u"24:00"_s},
        {u"html"_s, u"<b>x</b>&amp;"_s},
        {u"nulo_texto"_s, u"NULL"_s},
        // The longest description or name, and one character more: taken whole, or refused
        // whole and told; never cut (Qt's own limit would cut at 32767).
        {u"largo_maximo"_s, Largo(ModBaseDatos::kMaximoTexto)},
        {u"largo_maximo_mas_1"_s, Largo(ModBaseDatos::kMaximoTexto + 1)},
    };
    // Typed and pasted as the rest: the text a field cuts at its length.
    if (const QLineEdit *linea = Linea(campo); linea && linea->maxLength() < 32767) {
        const int n = linea->maxLength() + 1;
        QString letras, digitos;
        for (int i = 0; i < n; ++i) {
            letras += QChar(u'A' + i % 26);
            digitos += QChar(u'1' + i % 9);
        }
        r << Entrada{u"letras_max_mas_1"_s, letras} << Entrada{u"digitos_max_mas_1"_s, digitos};
    }
    return r;
}

void Corpus::Teclear(QWidget *campo, const QString &texto) {
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
