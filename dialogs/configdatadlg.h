#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class ConfigDataDlg;
}

// Viewer of the configuration records the device has sent since the last disconnect. It is filled while
// hidden and keeps its text across modal runs; only ClearText empties it.
class ConfigDataDlg : public QDialog
{
    Q_OBJECT

public:
    explicit ConfigDataDlg(QWidget* parent = nullptr);
    ~ConfigDataDlg() override;

    // Adds text as a new paragraph at the end.
    void AppendText(QString text);
    void ClearText();

private slots:
    void on_closeButton_clicked();

private:
    Ui::ConfigDataDlg* ui;
};
