#include "modalboxcloser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

ModalBoxCloser::ModalBoxCloser(QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &ModalBoxCloser::closeActiveModal);
    m_timer.start();
}

QString ModalBoxCloser::summary() const
{
    QStringList lines;
    for (const Box& box : m_boxes)
        lines << box.title + QStringLiteral(" | ") + box.text;
    return lines.join(QLatin1Char('\n'));
}

void ModalBoxCloser::closeActiveModal()
{
    QWidget* pModal = QApplication::activeModalWidget();
    if (!pModal || !pModal->isVisible())
        return;

    if (auto* pBox = qobject_cast<QMessageBox*>(pModal)) {
        m_boxes.append({ pBox->windowTitle(), pBox->text(), pBox->detailedText() });
        QAbstractButton* pButton = pBox->defaultButton();
        if (!pButton)
            pButton = pBox->button(QMessageBox::Ok);
        if (!pButton && !pBox->buttons().isEmpty())
            pButton = pBox->buttons().constFirst();
        if (pButton)
            pButton->click();
        return;
    }
    if (auto* pDialog = qobject_cast<QDialog*>(pModal)) {
        m_boxes.append({ pDialog->windowTitle(), QString(), QString() });
        pDialog->reject();
    }
}
