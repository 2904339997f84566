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

namespace {
// The dialog modal over its parent form, which is kept while it runs.
int Ejecutar(QDialog *dialogo, const std::function<int(QDialog *)> &respuesta) {
    QWidget *padre = dialogo->parentWidget();
    if (padre && Screen::Cerrandose(padre)) return QDialog::Rejected;
    std::optional<Screen::RetenerFormulario> retenido;
    if (padre) retenido.emplace(padre, dialogo);
    const int resultado = respuesta ? respuesta(dialogo) : Screen::MostrarModal(dialogo);
    return retenido && retenido->Cerrado() ? int(QDialog::Rejected) : resultado;
}

// A file dialog of its own, not Qt's static ones, which keep theirs on the stack.
QString ElegirArchivo(QWidget *padre, const QString &titulo, const QString &inicio,
                      const QString &filtro, QFileDialog::AcceptMode modo,
                      QFileDialog::FileMode archivos) {
    ChoiceService::EnMonton<QFileDialog> dialogo(padre, titulo, inicio, filtro);
    dialogo->setAcceptMode(modo);
    dialogo->setFileMode(archivos);
    if (archivos == QFileDialog::Directory) dialogo->setOption(QFileDialog::ShowDirsOnly);
    if (Ejecutar(dialogo.get(), nullptr) != QDialog::Accepted || !dialogo) return {};
    const QStringList elegidos = dialogo->selectedFiles();
    return elegidos.isEmpty() ? QString() : elegidos.first();
}
} // namespace

int ChoiceService::MostrarDialogo(QDialog *dialogo) {
    return Ejecutar(dialogo, Prueba().dialogo);
}

QString ChoiceService::ArchivoParaGuardar(QWidget *padre, const QString &titulo,
                                          const QString &propuesto, const QString &filtro) {
    if (Prueba().archivoGuardar) return Prueba().archivoGuardar(titulo, propuesto);
    return ElegirArchivo(padre, titulo, propuesto, filtro, QFileDialog::AcceptSave,
                         QFileDialog::AnyFile);
}

QString ChoiceService::Carpeta(QWidget *padre, const QString &titulo, const QString &inicio) {
    if (Prueba().carpeta) return Prueba().carpeta(titulo, inicio);
    return ElegirArchivo(padre, titulo, inicio, QString(), QFileDialog::AcceptOpen,
                         QFileDialog::Directory);
}

QString ChoiceService::ArchivoParaAbrir(QWidget *padre, const QString &titulo,
                                        const QString &filtro) {
    if (Prueba().archivoAbrir) return Prueba().archivoAbrir(titulo);
    return ElegirArchivo(padre, titulo, QString(), filtro, QFileDialog::AcceptOpen,
                         QFileDialog::ExistingFile);
}

QStringList ChoiceService::ArchivosParaAbrir(QWidget *padre, const QString &titulo,
                                             const QString &filtro) {
    if (Prueba().archivosAbrir) return Prueba().archivosAbrir(titulo);
    EnMonton<QFileDialog> dialogo(padre, titulo, QString(), filtro);
    dialogo->setAcceptMode(QFileDialog::AcceptOpen);
    dialogo->setFileMode(QFileDialog::ExistingFiles);
    if (Ejecutar(dialogo.get(), nullptr) != QDialog::Accepted || !dialogo) return {};
    return dialogo->selectedFiles();
}

bool ChoiceService::Abrir(const QUrl &direccion) {
    if (Prueba().abrir) return Prueba().abrir(direccion);
    return QDesktopServices::openUrl(direccion);
}

std::optional<QString> ChoiceService::Contrasena(QWidget *padre, const QString &quien) {
    if (Prueba().contrasena) return Prueba().contrasena(quien);
    EnMonton<QInputDialog> dialogo(padre);
    dialogo->setWindowTitle(QStringLiteral("Contraseña"));
    dialogo->setLabelText(QStringLiteral("Contraseña de %1:").arg(quien));
    dialogo->setTextEchoMode(QLineEdit::Password);
    if (Ejecutar(dialogo.get(), nullptr) != QDialog::Accepted || !dialogo) return std::nullopt;
    return dialogo->textValue();
}
