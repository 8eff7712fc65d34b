#pragma once

#include <QtWidgets>
#include <functional>

// Closes every modal dialog that comes up while it exists: a timer looks for the application's active modal
// widget. A message box is recorded in m_boxes as "title | text" (then " | " and its detailed text, if it
// has one) and closed with m_button, or with its default button when it has no such button. Other dialogs
// go to m_onDialog (called on every tick while the dialog is up), or are rejected when it is not set.
class ModalBoxCloser : public QObject
{
public:
    ModalBoxCloser()
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalBoxCloser::closeActiveModal);
        setEnabled(true);
    }

    // Stops closing, or starts again.
    void setEnabled(bool bEnabled) { bEnabled ? m_timer.start(20) : m_timer.stop(); }
    // Every box so far, one per line.
    QString summary() const { return m_boxes.join(QLatin1Char('\n')); }
    void clear() { m_boxes.clear(); }

    QStringList m_boxes;
    QMessageBox::StandardButton m_button = QMessageBox::Ok;
    std::function<void(QDialog*)> m_onDialog;

private:
    void closeActiveModal()
    {
        QWidget* pModal = QApplication::activeModalWidget();
        if (!pModal || !pModal->isVisible())
            return;
        if (auto* pBox = qobject_cast<QMessageBox*>(pModal)) {
            const QString sDetails
                = pBox->detailedText().isEmpty() ? QString() : " | " + pBox->detailedText();
            m_boxes << pBox->windowTitle() + " | " + pBox->text() + sDetails;
            QAbstractButton* pButton = pBox->button(m_button);
            (pButton ? pButton : pBox->defaultButton())->click();
        } else if (auto* pDialog = qobject_cast<QDialog*>(pModal)) {
            m_onDialog ? m_onDialog(pDialog) : pDialog->reject();
        }
    }

    QTimer m_timer;
};
