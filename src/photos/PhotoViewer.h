#pragma once

#include "photos/PhotoStore.h"

#include <QDialog>
#include <QImage>
#include <memory>

namespace Ui {
class PhotoViewer;
}

// One photograph large, with zoom, when and where it was taken, and its author and licence,
// which may be changed there.
class PhotoViewer : public QDialog {
    Q_OBJECT
public:
    PhotoViewer(const Foto &foto, const QByteArray &bytes, QWidget *parent = nullptr);
    ~PhotoViewer() override;

    // The photo with the author and licence as the fields show them.
    Foto Leida() const;
    // Whether the user asked for them as the defaults of new photos.
    bool Predeterminados() const;
    // The picture's size on screen against its own (1 is every pixel).
    double escala() const { return escala_; }

private slots:
    void CdAmpliar_Click();
    void CdReducir_Click();
    void CdAjustar_Click();

private:
    void Escalar(double escala);

    std::unique_ptr<Ui::PhotoViewer> ui;
    Foto foto_;
    QImage imagen_;
    double escala_ = 1;
};
