// Converts UTF-16 text to 8-bit text for the libraries that take narrow
// strings. The result is made on first use and lives as long as the object.
#pragma once

#include <QByteArray>
#include <QString>

class CAutoConvertString
{
public:
    // nCodePage 0 is the system code page; 65001 is UTF-8; other numbers
    // name a Windows code page ("CP936" and the like) where Qt knows one.
    explicit CAutoConvertString(const char16_t* pszText, unsigned int nCodePage = 0);
    explicit CAutoConvertString(const QString& strText, unsigned int nCodePage = 0);
    virtual ~CAutoConvertString() = default;

    CAutoConvertString(const CAutoConvertString&) = delete;
    CAutoConvertString& operator=(const CAutoConvertString&) = delete;

    // Null when the text cannot be converted (no text, or an unknown code page).
    const char* GetString();
    operator const char*() { return GetString(); }

private:
    QString m_strText;
    bool m_bHasText;
    unsigned int m_nCodePage;
    bool m_bConverted = false;
    bool m_bFailed = false;
    QByteArray m_abResult;
};
