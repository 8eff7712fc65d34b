// Parameter records from fuzzed JSON: every object of the document (the root and each member that is an
// object) becomes a CKavroParam as the link makes it; every attribute goes through every conversion, and the
// record back to JSON as the link publishes it. Two properties hold for any input: an attribute made from
// JSON converts with ToVariant (numbers and Booleans are stored in a form their type reads back), and a
// record published and decoded again comes back with the same types and texts.
#include "model/ckavroparam.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>

namespace {

void CheckRecord(const QJsonObject& object)
{
    CKavroParam record;
    record.FromJson(object);
    CKavroParam decoded;
    decoded.FromJson(record.ToJson());
    if (decoded.keys() != record.keys())
        std::abort();
    for (auto it = record.constBegin(); it != record.constEnd(); ++it) {
        const CKavroType& attribute = *it.value();
        try {
            attribute.ToBool();
        } catch (const QString&) { }
        try {
            attribute.ToUInt();
        } catch (const QString&) { }
        try {
            attribute.ToVariant();
        } catch (const QString&) {
            std::abort();
        }
        const CKavroType* pDecoded = decoded.value(it.key());
        if (pDecoded->Type() != attribute.Type() || pDecoded->ToString() != attribute.ToString())
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(pData), int(nSize));
    const QJsonObject root = QJsonDocument::fromJson(input).object();
    CheckRecord(root);
    for (auto it = root.constBegin(); it != root.constEnd(); ++it) {
        if (it.value().isObject())
            CheckRecord(it.value().toObject());
    }
    return 0;
}
