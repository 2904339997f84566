#include "BaseDatosPrueba.h"

#include "data/CreacionBaseDatos.h"
#include "data/Mensajes.h"
#include "data/ModBaseDatos.h"
#include "data/ModBaseDatosGui.h"
#include "data/ModConex.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

BaseDatosPrueba::BaseDatosPrueba(Datos datos) {
    ModConex::Desconectar();
    ModConex::setSoloLectura(false);
    ModConex::setRutaAplicacion(dir_.path());
    ModBaseDatos::setEscalaEsperas(0.0);
    Mensajes::setModoPrueba(true);
    Mensajes::Limpiar();
    QString error;
    const QString origen = datos == Datos::Reales ? QStringLiteral(TRITODEX_REFDATA_DIR)
                                                  : QStringLiteral(TRITODEX_FIXTURE_DIR);
    ok_ = CreacionBaseDatos::CrearBaseDatos(ruta(), origen, &error) && ModConex::Conectar();
    if (!ok_) qWarning("test database: %s", qPrintable(error));
}

BaseDatosPrueba::~BaseDatosPrueba() { ModConex::Desconectar(); }

QString BaseDatosPrueba::ruta() const { return dir_.path() + QStringLiteral("/Tritodex.mdb"); }

QSqlDatabase BaseDatosPrueba::db() const { return ModConex::DatabaseConnection(); }

bool BaseDatosPrueba::Ejecutar(const QString &sql, const QVariantList &valores) const {
    QSqlQuery q(db());
    q.prepare(sql);
    for (const QVariant &v : valores) q.addBindValue(v);
    if (!q.exec()) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return false;
    }
    return true;
}

QVariant BaseDatosPrueba::Valor(const QString &sql, const QVariantList &valores) const {
    QSqlQuery q(db());
    q.prepare(sql);
    for (const QVariant &v : valores) q.addBindValue(v);
    if (!q.exec() || !q.next()) return QVariant();
    return q.value(0);
}

int BaseDatosPrueba::Contar(const QString &tabla) const {
    return Valor(QStringLiteral("SELECT count(*) FROM ") + tabla).toInt();
}

namespace {
void Activar(QWidget *control) {
    QWidget *ventana = control->window();
    if (!ventana->isVisible()) ventana->show();
    if (!ventana->isActiveWindow()) {
        ventana->activateWindow();
        QApplication::setActiveWindow(ventana);
    }
}
} // namespace

void Usuario::Escribir(QWidget *control, const QString &texto) {
    Activar(control);
    control->setFocus(Qt::MouseFocusReason);
    QWidget *destino = control;
    if (auto *lista = qobject_cast<QComboBox *>(control); lista && lista->lineEdit()) {
        lista->lineEdit()->selectAll();
        destino = lista;
    } else if (auto *campo = qobject_cast<QLineEdit *>(control)) {
        campo->selectAll();
    }
    if (texto.isEmpty()) {
        QTest::keyClick(destino, Qt::Key_Delete);
        return;
    }
    for (const QChar ch : texto) {
        if (ch.unicode() < 128) {
            QTest::keyClick(destino, char(ch.unicode()));
            continue;
        }
        // QTest types ASCII only; other letters arrive as a key event with their text.
        QKeyEvent pulsada(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(destino, &pulsada);
        QKeyEvent soltada(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(destino, &soltada);
    }
}

void Usuario::SalirDe(QWidget *control) {
    // Moves the focus away the way a click on another control does.
    Activar(control);
    QWidget *ventana = control->window();
    QWidget *otro = control->nextInFocusChain();
    while (otro && otro != control && (!otro->isVisible() || !otro->isEnabled() ||
                                      otro->focusPolicy() == Qt::NoFocus ||
                                      control->isAncestorOf(otro) || otro == ventana))
        otro = otro->nextInFocusChain();
    if (!control->hasFocus()) control->setFocus(Qt::OtherFocusReason);
    if (otro && otro != control) otro->setFocus(Qt::MouseFocusReason);
    else control->clearFocus();
}

void Usuario::Elegir(QComboBox *lista, const QString &texto) {
    const int i = lista->findText(texto, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QVERIFY2(i >= 0, qPrintable(QStringLiteral("no item '%1' in %2").arg(texto, lista->objectName())));
    ModBaseDatos::ElegirComoUsuario(lista, i);
}
