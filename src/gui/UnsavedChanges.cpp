#include "gui/UnsavedChanges.h"

#include "gui/MessageService.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCalendarWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

UnsavedChanges::UnsavedChanges(QWidget *formulario) : QObject(formulario), formulario_(formulario) {
    setObjectName(QStringLiteral("cambiosSinGuardar"));
    Guardado();
}

void UnsavedChanges::Guardado() {
    guardados_ = Valores();
}

bool UnsavedChanges::Pendientes() const {
    return Valores() != guardados_;
}

QStringList UnsavedChanges::Valores() const {
    QStringList valores;
    for (QWidget *w : formulario_->findChildren<QWidget *>()) {
        // The parts of a compound control are read through the control; a dialog the form
        // opened keeps its own watch.
        bool propio = true;
        for (QWidget *p = w; p && p != formulario_; p = p->parentWidget()) {
            if (p->isWindow() ||
                (p != w &&
                 (qobject_cast<QComboBox *>(p) || qobject_cast<QAbstractSpinBox *>(p) ||
                  qobject_cast<QCalendarWidget *>(p) || qobject_cast<QAbstractItemView *>(p)))) {
                propio = false;
                break;
            }
        }
        // A setting shown on the form is not part of the record.
        if (!propio || w->property("ajuste").toBool()) continue;
        if (auto *lista = qobject_cast<QComboBox *>(w))
            valores << lista->currentText();
        else if (auto *linea = qobject_cast<QLineEdit *>(w))
            valores << linea->text();
        else if (auto *numero = qobject_cast<QAbstractSpinBox *>(w))
            valores << numero->text();
        else if (auto *boton = qobject_cast<QAbstractButton *>(w); boton && boton->isCheckable())
            valores << QString::number(boton->isChecked());
        else if (auto *texto = qobject_cast<QPlainTextEdit *>(w))
            valores << texto->toPlainText();
        else if (auto *rico = qobject_cast<QTextEdit *>(w))
            valores << rico->toPlainText();
        // A view of many rows may sum up what the user can change in it: a copy of every
        // cell would cost as much as the rows themselves.
        else if (const QVariant resumen = w->property("resumenCambios"); resumen.isValid())
            valores << resumen.toString();
        else if (auto *vista = qobject_cast<QAbstractItemView *>(w); vista && vista->model()) {
            const QAbstractItemModel *m = vista->model();
            for (int f = 0; f < m->rowCount(); ++f)
                for (int c = 0; c < m->columnCount(); ++c) {
                    const QModelIndex i = m->index(f, c);
                    valores << i.data(Qt::EditRole).toString()
                            << i.data(Qt::CheckStateRole).toString();
                }
        }
    }
    return valores;
}

UnsavedChanges *UnsavedChanges::De(const QWidget *formulario) {
    return formulario ? formulario->findChild<UnsavedChanges *>(QStringLiteral("cambiosSinGuardar"),
                                                                Qt::FindDirectChildrenOnly)
                      : nullptr;
}

bool UnsavedChanges::ConfirmarCierre(QWidget *formulario) {
    const UnsavedChanges *cambios = De(formulario);
    if (!cambios || !cambios->Pendientes()) return true;
    return MessageService::Mostrar(formulario,
                                   QStringLiteral("Hay cambios sin guardar en «%1». ¿Cerrarla y "
                                                  "descartarlos?")
                                       .arg(formulario->windowTitle()),
                                   QStringLiteral("Tritodex"), QMessageBox::Question,
                                   QMessageBox::Yes | QMessageBox::No,
                                   QMessageBox::No) == QMessageBox::Yes;
}
