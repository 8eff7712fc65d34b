#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QList>
#include <QPair>
#include <QString>

// The panel's settings file, "UCControlConfig.json" in the application folder. It is read whole at start-up
// and written whole, as indented JSON with the members in name order, whenever the broker address changes.
class CSettingsFile
{
public:
    explicit CSettingsFile(const QString& sFolder);

    QString FilePath() const;

    // Parses the file into pDoc, with the parser's verdict in pError. False, and pDoc untouched, when the
    // file does not open (it is missing or unreadable).
    bool Read(QJsonDocument* pDoc, QJsonParseError* pError) const;
    // Replaces the file with doc. It is written beside the old file and renamed over it only when every byte
    // is written, so a failed write leaves the old file in place.
    bool Write(const QJsonDocument& doc) const;

    // Sets the given members of the root object's broker_address (name, string value) in pDoc, creating
    // what is missing; a value that is not the same string counts as changed. True when anything changed;
    // pDoc is left as it was otherwise.
    static bool SetBrokerMembers(QJsonDocument* pDoc, const QList<QPair<QString, QString>>& members);

private:
    QString m_sFolder;
};
