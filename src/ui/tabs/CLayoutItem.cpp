#include "ui/tabs/CLayoutItem.h"

#include <QStandardItemModel>

CLayoutItem::CLayoutItem(const QIcon& icon, const QString& strText, int nKind, int nIndex)
    : QStandardItem(icon, strText)
    , m_nKind(nKind)
    , m_nIndex(nIndex)
{
    setEditable(false);
    setSelectable(false);
    setCheckable(true);
    setCheckState(Qt::Unchecked);
}

CLayoutItem::~CLayoutItem() = default;

CLayoutItem* CLayoutItem::FromIndex(const QModelIndex& index)
{
    const QStandardItemModel* pModel = qobject_cast<const QStandardItemModel*>(index.model());
    if (!pModel)
        return nullptr;
    QStandardItem* pItem = pModel->itemFromIndex(index);
    return (pItem && pItem->type() == ITEM_TYPE) ? static_cast<CLayoutItem*>(pItem) : nullptr;
}
