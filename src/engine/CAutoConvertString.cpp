#include "engine/CAutoConvertString.h"

#include <QTextCodec>

namespace
{
const unsigned int CODE_PAGE_SYSTEM = 0;
const unsigned int CODE_PAGE_UTF8 = 65001;
}

CAutoConvertString::CAutoConvertString(const char16_t* pszText, unsigned int nCodePage)
    : m_bHasText(pszText != nullptr)
    , m_nCodePage(nCodePage)
{
    if (pszText)
        m_strText = QString::fromUtf16(pszText);
}

CAutoConvertString::CAutoConvertString(const QString& strText, unsigned int nCodePage)
    : m_strText(strText)
    , m_bHasText(!strText.isNull())
    , m_nCodePage(nCodePage)
{
}

const char* CAutoConvertString::GetString()
{
    if (!m_bConverted)
    {
        m_bConverted = true;
        if (!m_bHasText)
        {
            m_bFailed = true;
        }
        else if (m_nCodePage == CODE_PAGE_SYSTEM)
        {
            m_abResult = m_strText.toLocal8Bit();
        }
        else if (m_nCodePage == CODE_PAGE_UTF8)
        {
            m_abResult = m_strText.toUtf8();
        }
        else
        {
            QTextCodec* pCodec = QTextCodec::codecForName("CP" + QByteArray::number(m_nCodePage));
            if (pCodec)
                m_abResult = pCodec->fromUnicode(m_strText);
            else
                m_bFailed = true;
        }
    }
    // constData() of an empty QByteArray still points at a terminating zero.
    return m_bFailed ? nullptr : m_abResult.constData();
}
