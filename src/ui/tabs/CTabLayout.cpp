#include "ui/tabs/CTabLayout.h"

#include "config/CLayout.h"
#include "config/CSettings.h"
#include "ui/tabs/CLayoutItem.h"
#include "ui/tabs/IDeviceCallback.h"

#include <QCoreApplication>
#include <QIcon>
#include <QListView>
#include <QPixmap>
#include <QStandardItemModel>
#include <QStyle>
#include <QVBoxLayout>

namespace
{
const int ICON_WIDTH = 120;
const int ICON_HEIGHT = 80;
const int SPACING = 10;

// The names of the layouts the program ships with, so that they can be
// translated; the layout file itself is shared by every language.
const char* const s_apszShippedNames[] = {
    QT_TRANSLATE_NOOP("CTabLayout", "Single"),
    QT_TRANSLATE_NOOP("CTabLayout", "Picture in Picture (Bottom Right)"),
    QT_TRANSLATE_NOOP("CTabLayout", "Picture in Picture (Top Left)"),
    QT_TRANSLATE_NOOP("CTabLayout", "One Above Two"),
    QT_TRANSLATE_NOOP("CTabLayout", "Side by Side"),
    QT_TRANSLATE_NOOP("CTabLayout", "Quad"),
    QT_TRANSLATE_NOOP("CTabLayout", "One Large, Five Small"),
    QT_TRANSLATE_NOOP("CTabLayout", "Six Grid"),
    QT_TRANSLATE_NOOP("CTabLayout", "One Large, Three Small"),
    QT_TRANSLATE_NOOP("CTabLayout", "Top and Bottom"),
    QT_TRANSLATE_NOOP("CTabLayout", "Three Across"),
};
}

QSize CTabLayout::GridSize(const QListView* pView)
{
    // Room for the check box beside the picture and two lines of name below.
    const int nIndicator = pView->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, pView);
    const int nLine = pView->fontMetrics().lineSpacing();
    return QSize(ICON_WIDTH + nIndicator + 4 * SPACING, ICON_HEIGHT + 2 * nLine + 2 * SPACING);
}

CTabLayout::CTabLayout(IDeviceCallback* pDevice, QWidget* pParent)
    : QWidget(pParent)
    , m_pDevice(pDevice)
{
    m_pModel = new QStandardItemModel(this);
    m_pListView = new QListView(this);
    m_pListView->setViewMode(QListView::IconMode);
    m_pListView->setIconSize(QSize(ICON_WIDTH, ICON_HEIGHT));
    m_pListView->setResizeMode(QListView::Adjust);
    m_pListView->setSpacing(SPACING);
    // Long names wrap under their picture instead of widening the entry,
    // and every entry gets the same cell, so that the pictures line up in
    // rows and columns whatever the length of the names.
    m_pListView->setWordWrap(true);
    m_pListView->setGridSize(GridSize(m_pListView));
    m_pListView->setMovement(QListView::Static);
    m_pListView->setModel(m_pModel);

    QVBoxLayout* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pListView, 1);

    AddLayouts();

    connect(m_pListView, &QListView::clicked, this, &CTabLayout::OnItemClicked);
    connect(m_pModel, &QStandardItemModel::itemChanged, this, &CTabLayout::OnItemChanged);
}

void CTabLayout::AddLayouts()
{
    const int nCurrent = g_settings.GetLayoutIndex();
    for (int nLayout = 0; nLayout < g_layout.GetLayoutCount(); ++nLayout)
    {
        // A missing thumbnail leaves an empty picture; the entry still works.
        const QIcon icon(QPixmap(g_layout.GetThumbnailPath(nLayout)));
        CLayoutItem* pItem =
            new CLayoutItem(icon, DisplayName(g_layout.GetName(nLayout)), CLayoutItem::KIND_LAYOUT, nLayout);
        pItem->setToolTip(pItem->text());
        if (nLayout == nCurrent)
        {
            pItem->setCheckState(Qt::Checked);
            m_pCurrentItem = pItem;
        }
        m_pModel->appendRow(pItem);
    }
}

QString CTabLayout::DisplayName(const QString& strName)
{
    for (const char* pszName : s_apszShippedNames)
    {
        if (strName == QLatin1String(pszName))
            return QCoreApplication::translate("CTabLayout", pszName);
    }
    return strName;
}

void CTabLayout::ShowStoredLayout()
{
    m_bUpdating = true;
    if (m_pCurrentItem)
        m_pCurrentItem->setCheckState(Qt::Unchecked);
    m_pCurrentItem = static_cast<CLayoutItem*>(m_pModel->item(g_settings.GetLayoutIndex()));
    if (m_pCurrentItem)
        m_pCurrentItem->setCheckState(Qt::Checked);
    m_bUpdating = false;
}

void CTabLayout::SelectLayout(int nLayout)
{
    QStandardItem* pItem = m_pModel->item(nLayout);
    if (!pItem || pItem == m_pCurrentItem)
        return;
    m_bUpdating = true;
    pItem->setCheckState(Qt::Checked);
    m_bUpdating = false;
    OnItemClicked(pItem->index());
}

int CTabLayout::GetCurrentLayout() const
{
    return m_pCurrentItem ? m_pCurrentItem->GetIndex() : -1;
}

void CTabLayout::OnItemClicked(const QModelIndex& index)
{
    CLayoutItem* pItem = CLayoutItem::FromIndex(index);
    if (!pItem || m_bUpdating)
        return;
    const bool bChecked = pItem->checkState() == Qt::Checked;

    if (!bChecked && pItem == m_pCurrentItem)
    {
        // The current layout cannot be unticked: there is always one.
        m_bUpdating = true;
        pItem->setCheckState(Qt::Checked);
        m_bUpdating = false;
        return;
    }
    if (!bChecked || pItem == m_pCurrentItem)
        return;

    if (m_pCurrentItem)
    {
        m_bUpdating = true;
        m_pCurrentItem->setCheckState(Qt::Unchecked);
        m_bUpdating = false;
    }
    // Stored only once the Device tab has re-placed the channels, so that
    // the stored layout never names one the mixer does not show.
    if (m_pDevice)
        m_pDevice->OnLayoutChanged(pItem->GetIndex());
    g_settings.SetLayoutIndex(pItem->GetIndex());
    m_pCurrentItem = pItem;
}

void CTabLayout::OnItemChanged(QStandardItem* pItem)
{
    // The same rules as a click; a click that already acted finds nothing
    // left to do.
    if (!m_bUpdating && pItem)
        OnItemClicked(pItem->index());
}
