#include "gui/ChoiceService.h"

#include "gui/Screen.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>

ChoiceService::Respuestas &ChoiceService::Prueba() {
    static Respuestas respuestas;
    return respuestas;
}

void ChoiceService::Restablecer() {
    Prueba() = Respuestas();
}

int ChoiceService::MostrarDialogo(QDialog *dialogo) {
    if (Prueba().dialogo) return Prueba().dialogo(dialogo);
    return Screen::MostrarModal(dialogo);
}

QString ChoiceService::ArchivoParaGuardar(QWidget *padre, const QString &titulo,
                                          const QString &propuesto, const QString &filtro) {
    if (Prueba().archivoGuardar) return Prueba().archivoGuardar(titulo, propuesto);
    return QFileDialog::getSaveFileName(padre, titulo, propuesto, filtro);
}

QString ChoiceService::Carpeta(QWidget *padre, const QString &titulo, const QString &inicio) {
    if (Prueba().carpeta) return Prueba().carpeta(titulo, inicio);
    return QFileDialog::getExistingDirectory(padre, titulo, inicio);
}

QString ChoiceService::ArchivoParaAbrir(QWidget *padre, const QString &titulo,
                                        const QString &filtro) {
    if (Prueba().archivoAbrir) return Prueba().archivoAbrir(titulo);
    return QFileDialog::getOpenFileName(padre, titulo, QString(), filtro);
}

bool ChoiceService::Abrir(const QUrl &direccion) {
    if (Prueba().abrir) return Prueba().abrir(direccion);
    return QDesktopServices::openUrl(direccion);
}

std::optional<QString> ChoiceService::Contrasena(QWidget *padre, const QString &quien) {
    if (Prueba().contrasena) return Prueba().contrasena(quien);
    bool aceptado = false;
    const QString texto = QInputDialog::getText(padre, QStringLiteral("Contraseña"),
                                                QStringLiteral("Contraseña de %1:").arg(quien),
                                                QLineEdit::Password, QString(), &aceptado);
    if (!aceptado) return std::nullopt;
    return texto;
}
