#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class frspini;
}

class frspini : public QWidget {
    Q_OBJECT
public:
    explicit frspini(QWidget *parent = nullptr);
    ~frspini() override;

private:
    void Form_Load();
    std::unique_ptr<Ui::frspini> ui;
};
