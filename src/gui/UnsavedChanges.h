#pragma once

#include <QObject>
#include <QStringList>

class QWidget;

// Whether a form holds values that the user changed and the form has not stored. The fields'
// values are compared with those noted when the form last loaded or saved, so that a value
// typed and typed back is no change, and a date set through the picker is one. A view whose
// property "resumenCambios" is set is compared by that summary instead of its every cell.
class UnsavedChanges : public QObject {
    Q_OBJECT
public:
    // Watches every field of the form; notes the values it shows now.
    explicit UnsavedChanges(QWidget *formulario);
    // The values shown now are those stored (after a load or a save).
    void Guardado();
    bool Pendientes() const;

    // The watcher of a form, or null when it has none.
    static UnsavedChanges *De(const QWidget *formulario);
    // Before a form is closed from outside (another window opens, the program ends): a form
    // holding unsaved changes asks whether to discard them. True when it may close.
    static bool ConfirmarCierre(QWidget *formulario);

private:
    QStringList Valores() const;

    QWidget *formulario_;
    QStringList guardados_;
};
