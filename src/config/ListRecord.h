// Multi-field settings are stored as one text per key, the fields joined by
// commas. These helpers read such a record back.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <vector>

namespace ListRecord
{
// The stored value as text. A hand-edited file may hold an unquoted
// "1, 2", which the settings reader hands over as a list; it is joined back
// so that it reads the same as the quoted form.
QString ToText(const QVariant& vValue);

// Splits at every ",", keeping empty parts.
QStringList Split(const QVariant& vValue);

// Base-10 integer ignoring surrounding blanks; 0 for anything else.
int ToInt(const QString& strPart);

// Splits and converts; false (and anValues untouched) when the record does
// not have exactly nCount parts.
bool ReadInts(const QVariant& vValue, int nCount, std::vector<int>& anValues);

// The record's integers, or anDefaults when it does not have as many parts
// or fnValid (if given) refuses them.
std::vector<int> ReadIntsOr(const QVariant& vValue, const std::vector<int>& anDefaults,
                            const std::function<bool(const std::vector<int>&)>& fnValid = nullptr);

// "a, b, c" with the ", " separator of the list records.
QString JoinInts(const std::vector<int>& anValues, const QString& strSeparator = QStringLiteral(", "));
}
