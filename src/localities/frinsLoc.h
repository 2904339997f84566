#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class frinsLoc;
}

// Entry of a new locality, placed by its coordinates or by province, municipality and
// square. Modal over the locality list; accepted once the locality is stored.
class frinsLoc : public QDialog {
    Q_OBJECT
public:
    explicit frinsLoc(QWidget *parent = nullptr);
    ~frinsLoc() override;

public slots:
    void reject() override;

private slots:
    void CdIns_Click();
    void Command2_Click();

private:
    void Form_Load();
    std::unique_ptr<Ui::frinsLoc> ui;
    bool ocupado_ = false;
};
