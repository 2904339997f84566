#pragma once

#include "photos/PhotoStore.h"

#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class PhotoStrip;
}
class QListWidgetItem;

// The photographs of an observation on its form: thumbnails ("Fotos"), added by file choice
// or by dropping files, removed, and opened large in the viewer, where author and licence
// may be changed. The form stores them with the observation.
class PhotoStrip : public QWidget {
    Q_OBJECT
public:
    explicit PhotoStrip(QWidget *parent = nullptr);
    ~PhotoStrip() override;

    // Shows a stored observation's photos (their pictures read from the store).
    void Mostrar(const QList<Foto> &fotos);
    void Vaciar();
    const QList<Foto> &Fotos() const { return fotos_; }

    // Takes in the files as the user gave them; refused ones are told in one message.
    void Anadir(const QStringList &rutas);

    // Heard once per addition that put the first photo into an empty strip.
    using AlPrimera = std::function<void(const Foto &)>;
    void setAlPrimera(AlPrimera alPrimera) { alPrimera_ = std::move(alPrimera); }

    // How new photos are taken in: the settings, with the default observer as author.
    static PhotoStore::Opciones OpcionesActuales();
    // The author and licence of new photos from now on.
    static void GuardarPredeterminados(const QString &autor, const QString &licencia);
    // New photos kept as they are, or reduced (the default), from now on.
    static void GuardarOriginales(bool si);
    // Test hook: the settings read (and written) instead of the user's.
    static void setOpciones(const std::optional<PhotoStore::Opciones> &opciones);

protected:
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private slots:
    void CdFotos_Click();
    void CdQuitarFoto_Click();
    void CdVerFoto_Click();

private:
    void Poner(const Foto &f, const QByteArray &bytes);
    void Resumir();

    std::unique_ptr<Ui::PhotoStrip> ui;
    QList<Foto> fotos_;
    AlPrimera alPrimera_;
};
