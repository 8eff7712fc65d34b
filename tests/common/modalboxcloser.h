#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// Closes every modal dialog that comes up while it exists: a timer looks for the application's active modal
// widget, records its window title and text (and the detailed text of a message box), and presses the
// box's default button (OK for the warning boxes). Other modal dialogs are rejected.
class ModalBoxCloser : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QString title;
        QString text;
        QString detailedText;
    };

    explicit ModalBoxCloser(QObject* parent = nullptr);

    QList<Box> boxes() const { return m_boxes; }
    int count() const { return m_boxes.size(); }
    // "title | text" of every box so far, for readable failure messages.
    QString summary() const;
    void clear() { m_boxes.clear(); }

private:
    void closeActiveModal();

    QTimer m_timer;
    QList<Box> m_boxes;
};
