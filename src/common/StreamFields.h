// Checks of the RTMP address, port and stream name the user types, and the
// messages shown when one fails.
#pragma once

#include <QString>

// Four dot-separated decimal numbers 0..255; no host names.
bool IsValidIPAddress(const QString& strText);

// Decimal digits only, read as a number from 1 to 65535.
bool IsValidPort(const QString& strText);

// One or more of A-Z, a-z, 0-9, '-' and '_'.
bool IsValidStreamName(const QString& strText);

// Empty when address, port and stream name pass the three checks above,
// else the message for the first that fails.
QString GetRtmpFieldsError(const QString& strAddress, const QString& strPort, const QString& strStream);

// The message the check of one field shows when it fails.
enum ERtmpField
{
    RTMP_FIELD_ADDRESS,
    RTMP_FIELD_PORT,
    RTMP_FIELD_STREAM
};
QString GetRtmpFieldMessage(ERtmpField eField);
