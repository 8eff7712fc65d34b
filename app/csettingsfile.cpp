#include "app/csettingsfile.h"

#include "app/cuploadfile.h"

#include <QFile>
#include <QJsonObject>

CSettingsFile::CSettingsFile(const QString& sFolder)
    : m_sFolder(sFolder)
{ }

QString CSettingsFile::FilePath() const { return m_sFolder + QStringLiteral("/UCControlConfig.json"); }

bool CSettingsFile::Read(QJsonDocument* pDoc, QJsonParseError* pError) const
{
    QFile file(FilePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll();
    file.close();
    *pDoc = QJsonDocument::fromJson(text, pError);
    return true;
}

bool CSettingsFile::Write(const QJsonDocument& doc) const
{
    CUploadFile file(FilePath());
    return file.Write(doc.toJson(QJsonDocument::Indented));
}

bool CSettingsFile::SetBrokerMembers(QJsonDocument* pDoc, const QList<QPair<QString, QString>>& members)
{
    QJsonObject root = pDoc->object();
    QJsonObject address = root.value(QLatin1String("broker_address")).toObject();

    bool bChanged = false;
    for (const auto& member : members) {
        if (!address.contains(member.first) || address.value(member.first).toString() != member.second) {
            address.insert(member.first, member.second);
            bChanged = true;
        }
    }
    if (!bChanged)
        return false;

    root.insert(QStringLiteral("broker_address"), address);
    *pDoc = QJsonDocument(root);
    return true;
}
