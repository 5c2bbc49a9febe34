#pragma once

#include <QList>
#include <QString>

namespace data {

enum class FieldKind { Text, Date, Memo, Calculated };

struct FieldDef
{
    QString name;
    FieldKind kind = FieldKind::Text;
    int size = 0;          // maximum length in characters; 0: no limit
    int displayWidth = 0;  // in characters
    [[nodiscard]] bool isStored() const { return kind != FieldKind::Calculated; }
};

} // namespace data
